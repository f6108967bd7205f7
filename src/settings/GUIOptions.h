#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

// The view layout and the search choices, kept in sections "Search",
// "MainWindow" and "My Computer" of Ranquil.ini. Main thread only; loads when
// created and saves when destroyed.
class GUIOptions
{
public:
    explicit GUIOptions(QString iniPath = {});
    ~GUIOptions();
    GUIOptions(const GUIOptions&) = delete;
    GUIOptions& operator=(const GUIOptions&) = delete;

    void load();
    bool save() const;

    // The country code of `Country` ("UN" for an index outside the list).
    std::string_view countryCode() const;

    std::int32_t Category = 0; // 0 All .. 6 Others
    std::int32_t Country = 0; // index into countryCodes
    std::int32_t NoofResults = 0; // 0 "50", 1 "100", 2 "200"
    std::int32_t KeywordLogic = 0; // 0 ANDed, 1 ORed
    std::int32_t TreeViewWidth = 0;
    std::string FTPListViewMode; // "Large", "Small", "List" or "Detail"
    std::string LocalListViewMode;
    std::int32_t PageHeight = 0;
    std::int32_t ShellTreeViewWidth = 0;
    QString InitialPath;

private:
    QString iniPath_;
};
