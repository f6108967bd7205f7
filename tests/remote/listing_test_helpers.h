#pragma once

#include "remote/ListingParser.h"

#include <cctype>
#include <string>
#include <string_view>

// A listing of a test site's folder.
inline listingSource sourceIn(std::string directory, bool search = false)
{
    ftpSite site;
    site.name = "test site";
    site.hostAddress = "127.0.0.1";
    listingSource source;
    source.site = sharedSite(site);
    source.directory = std::move(directory);
    source.search = search;
    return source;
}

// The GoogleTest name of a table row from its description: "UNIX folder in
// ls columns" gives "UNIXFolderInLsColumns".
inline std::string caseName(std::string_view description)
{
    std::string name;
    bool wordStart = true;
    for (const char c : description) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            wordStart = true;
            continue;
        }
        name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        wordStart = false;
    }
    return name;
}

// The row-name function for tables whose rows carry a `what` description.
struct describedCaseName {
    template <typename Info> std::string operator()(const Info& info) const
    {
        return caseName(info.param.what);
    }
};
