#pragma once

#include <QString>

#include <optional>
#include <string>

// What the "Create New Object" dialog returns to a session's "New Object"
// command: a folder to make, or a bookmark to upload as a link file.
struct newObjectRequest {
    enum class Kind { Directory, Link };
    Kind kind = Kind::Directory;
    std::string name; // the folder's name, or the remote file name of the link ("<bookmark>.wkt")
    QString linkFile; // a link: the bookmark's local link file
};

// Asks the user for a new object. Main thread only. The shell's
// implementation is the "Create New Object" dialog over the bookmarks.
class NewObjectChooser
{
public:
    virtual ~NewObjectChooser() = default;
    // Nothing when the user cancelled or gave an empty folder name.
    virtual std::optional<newObjectRequest> chooseNewObject() = 0;
};
