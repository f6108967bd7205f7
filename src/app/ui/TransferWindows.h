#pragma once

#include "session/TransferHandOver.h"
#include "transfer/ui/LoadForm.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class TransferWindow;

// Every stand-alone transfer window of the program, whichever part starts
// it: a session's operation on connections of its own, or a row restarted
// from the actions list. The actions list shows and hides them by their
// operation's window, so all of them are kept here. Main thread only.
class TransferWindows : public QObject, public transferWindowOpener
{
public:
    explicit TransferWindows(QObject* parent = nullptr);

    // Creates the window for the setup and starts its worker.
    TLoadForm* open(LoadFrameSetup setup, TLoadForm::Start start);
    void openTransferWindow(LoadFrameSetup setup) override;

    // The window made for `window`, while it exists.
    TLoadForm* formOf(const TransferWindow* window) const;
    // Shows a hidden window, hides a shown one; an embedded transfer view
    // has no window of its own and is left alone.
    void toggle(const TransferWindow* window);

private:
    QHash<const TransferWindow*, QPointer<TLoadForm>> forms_;
};
