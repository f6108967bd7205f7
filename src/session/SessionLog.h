#pragma once

#include <QString>

// The colour class of a line of the session log, by its first character.
enum class logColour {
    Command, // "> ": a command sent (black)
    Reply, // "< ": a server reply (dark green)
    Own, // anything else, the session's own "! " lines (blue)
};

logColour logColourOf(const QString& line);

// The line as the log may show it: the argument of every command that
// carries a password ("PASS", "ACCT", "SITE CHPWD") replaced by "********",
// and control characters written visibly ("\x0a"), so that nothing a server
// sends can forge a line or hide text.
QString loggableLine(const QString& line);
