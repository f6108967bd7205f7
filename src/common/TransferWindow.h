#pragma once

// What the shell and the actions list need of a running operation's transfer
// window. Main thread only.
class TransferWindow
{
public:
    virtual ~TransferWindow() = default;
    // The operation has not finished: closing the window would stop work.
    virtual bool operationUnfinished() const = 0;
    // Takes the window off the screen; it goes on running.
    virtual void hide() = 0;
    // Hides the window, stops its worker and deletes the window.
    virtual void closeAndStop() = 0;
    // The operation's row was cleared: the window must not touch it again.
    virtual void operationRowRemoved() = 0;
};
