#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Texts from servers as people see them. Remote names and reply lines are
// bytes in whatever encoding the server uses; they travel as bytes and are
// turned into text only to be shown.

// The bytes as UTF-8 when they are valid UTF-8, else as Latin-1 (every byte
// one character), so no name shows as replacement characters. Every view of
// a remote name or path decodes it here, so a name reads the same in the
// list, the tree, the dialogs and the transfer window.
QString decodeRemoteText(QByteArrayView bytes);

// `text` with every C0 control character, DEL and the C1 controls (some
// terminals take U+009B for ESC "[") written as "\xHH" (ESC becomes
// "\x1B"), so a name or a reply cannot move a terminal's cursor, recolour a
// log or hide a line.
QString visibleText(const QString& text);

// Both of the above: what a person sees of bytes a server sent.
QString visibleRemoteText(const QByteArray& bytes);
