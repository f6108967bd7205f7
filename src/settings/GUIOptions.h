#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

// The view layout and the search choices, a plain value kept in sections
// "Search", "MainWindow" and "My Computer" of Ranquil.ini by GUIOptionsStore.
class GUIOptions
{
public:
    // The country code of `Country` ("UN" for an index outside the list).
    std::string_view countryCode() const;

    std::int32_t Category = 0; // 0 All .. 6 Others
    std::int32_t Country = 0; // index into countryCodes
    std::int32_t NoofResults = 0; // 0 "50", 1 "100", 2 "200"
    std::int32_t KeywordLogic = 0; // 0 ANDed, 1 ORed
    std::int32_t TreeViewWidth = 120;
    std::string FTPListViewMode = "Detail"; // "Large", "Small", "List" or "Detail"
    std::string LocalListViewMode = "Large";
    std::int32_t PageHeight = 174;
    std::int32_t ShellTreeViewWidth = 184;
    QString InitialPath;

    bool operator==(const GUIOptions&) const = default;
};

// Reads and writes GUIOptions (Ranquil.ini of the program folder by
// default). Main thread only.
class GUIOptionsStore
{
public:
    explicit GUIOptionsStore(QString iniPath = {});
    GUIOptions load() const;
    bool save(const GUIOptions& options) const;

private:
    QString iniPath_;
};
