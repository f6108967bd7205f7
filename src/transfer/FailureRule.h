#pragma once

// What a download does next when a part or a file did not come as it
// should, decided in one place: the connections' handlers, the stall check
// and the file's end all ask here, so that a new kind of source changes one
// rule rather than four handlers.

enum class NextStep {
    SameSource, // the connection goes on at its source: the next part, or this one again
    NextSource, // the connection logs in again, at the next source of the file
    Rest, // the connection stops for now; the others fetch the rest, the restart round may wake it
    Withdraw, // the source takes no more connections: this connection stays out for the file
    RefetchFromOwnServer, // the bytes from other sources are fetched again from the operation's site
    FailFile, // the file is not whole: it is named, and the run ends not complete
    Ask, // the user decides (whether a stopped file's parts stay)
};

struct Failure {
    enum class Kind {
        PartEnded, // a connection's transfer ended (a part not whole counts as a failure)
        RequestFailed, // a connection's command failed or its connection broke
        Stalled, // a connection heard nothing for the time-out
        FileIncomplete, // every connection settled and parts are missing
        FileStopped, // the run stops with the file unfinished
        DigestMismatch, // the merged file's digest is not the server's
    };
    Kind kind = Kind::RequestFailed;
    int replyCode = 0; // the server's last reply on that connection
    int failures = 0; // the connection's failures with this file, this one counted
    int failuresAllowed = 3; // the user's attempts: this many failures rest a connection
    bool stopping = false;
    bool paused = false;
    bool fromOtherSources = false; // some of the file's bytes came from other servers
};

NextStep nextStepAfter(const Failure& failure);
