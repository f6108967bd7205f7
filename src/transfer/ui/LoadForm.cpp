#include "transfer/ui/LoadForm.h"

#include "transfer/ui/LoadFrameView.h"

#include <QCloseEvent>
#include <QVBoxLayout>

TLoadForm::TLoadForm(LoadFrameSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Initializing.."));
    frame_ = new TLoadFrameView(std::make_unique<TLoadFrame>(std::move(setup)), nullptr, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame_);
    expandedHeight_ = 420;
    resize(collapsedWidth, expandedHeight_);
    frame_->closeWindow = [this] {
        hide();
        deleteLater();
    };
    connect(frame_, &TLoadFrameView::statusLineChanged, this, &QWidget::setWindowTitle);
    connect(frame_, &TLoadFrameView::detailsToggled, this, &TLoadForm::detailsToggled);
    frame_->render(frame_->core().display());
}

TLoadFrame& TLoadForm::core()
{
    return frame_->core();
}

TLoadForm* TLoadForm::startFor(LoadFrameSetup setup, Start start)
{
    auto* form = new TLoadForm(std::move(setup));
    if (start == Start::Shown)
        form->show();
    else if (start == Start::Minimized)
        form->showMinimized();
    form->core().start();
    if (start == Start::Hidden)
        form->hide();
    return form;
}

void TLoadForm::closeEvent(QCloseEvent* event)
{
    // The worker stops while every widget is still whole.
    core().destroy();
    QWidget::closeEvent(event);
}

void TLoadForm::detailsToggled(bool shown)
{
    if (shown) {
        resize(width(), expandedHeight_);
        return;
    }
    if (height() > collapsedHeight)
        expandedHeight_ = height();
    const bool deletion = core().kind() == OperationKind::Delete;
    resize(collapsedWidth, deletion ? collapsedDeleteHeight : collapsedHeight);
}
