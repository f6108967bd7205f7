#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>

// What the file commands ask the user through their session's view, and
// the answers the view gives back. The rules that build the questions and
// read the answers live in session/Permissions.h and the commands.

// The name dialog: a caption that is the prompt, one edit preset with
// `initialText`, a confirming button and Cancel.
struct nameQuestion {
    QString prompt;
    QString confirmButton;
    QString initialText;
    bool masked = false; // a password: characters shown as "*"
};

// The properties dialog.
struct permissionsQuestion {
    QString name; // shortened to 20 characters, or "Multiple Objects"
    QString sizeText; // "1234 Bytes"
    // Read, write, execute for the owner, the group and the others.
    std::array<bool, 9> checked {};
};

struct permissionsAnswer {
    enum class source { Cancelled, Boxes, Manual };
    source from = source::Cancelled;
    std::array<bool, 9> checked {}; // when from the boxes
    QString manualText; // when typed in "CHMod (numerical):"
};

// The "Create New Object" dialog: a folder name, or a bookmark to upload.
struct newObjectAnswer {
    QString folderName; // empty for a bookmark
    QString linkName; // the name on the server
    QString linkFile; // the local link file
};
