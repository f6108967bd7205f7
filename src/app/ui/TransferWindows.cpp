#include "app/ui/TransferWindows.h"

TransferWindows::TransferWindows(QObject* parent)
    : QObject(parent)
{
}

TLoadForm* TransferWindows::open(LoadFrameSetup setup, TLoadForm::Start start)
{
    TLoadForm* form = TLoadForm::startFor(std::move(setup), start);
    forms_.insert(&form->core(), form);
    connect(form, &QObject::destroyed, this, [this, core = &form->core()] { forms_.remove(core); });
    return form;
}

void TransferWindows::openTransferWindow(LoadFrameSetup setup)
{
    open(std::move(setup), TLoadForm::Start::Shown);
}

TLoadForm* TransferWindows::formOf(const TransferWindow* window) const
{
    return forms_.value(window).data();
}

void TransferWindows::toggle(const TransferWindow* window)
{
    TLoadForm* form = formOf(window);
    if (!form)
        return;
    if (form->isVisible()) {
        form->hide();
    } else {
        form->showNormal();
        form->raise();
    }
}
