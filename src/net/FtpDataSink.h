#pragma once

#include <QString>
#include <QtGlobal>

// Where the bytes of a download go. Positions are offsets in the remote
// file: a resumed transfer starts at its resume position, and the sink maps
// them to wherever it keeps them (the end of a local file, a part file, a
// parser). The FTP component calls it on its own thread, within one
// request: start() once per attempt, then writeAt() with positions that
// follow each other, maybe discardFrom(), and finish() whatever happened.
class FtpDataSink
{
public:
    virtual ~FtpDataSink() = default;

    // A transfer is about to deliver the remote file from `position` on.
    // False when nothing can be stored; failureText() then says why.
    virtual bool start(qint64 position) = 0;
    // `length` bytes that belong at `position`. False when they could not
    // be stored; the transfer then fails.
    virtual bool writeAt(qint64 position, const char* data, qint64 length) = 0;
    // The bytes from `position` on are not the file's (the server sent more
    // than the file holds, or ignored the resume position): forget them.
    virtual void discardFrom(qint64 position) = 0;
    // The transfer is over, whatever its outcome; what start() took is
    // released. Called once after every start(), also after a failed one.
    virtual void finish() = 0;

    // How messages name the sink ("Unable to open local file " + name()).
    virtual QString name() const = 0;
    virtual QString failureText() const { return {}; }
};
