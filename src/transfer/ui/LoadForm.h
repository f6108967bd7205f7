#pragma once

#include "transfer/LoadFrame.h"

#include <QWidget>

class TLoadFrameView;

// The stand-alone transfer window: a top-level window of its own whose
// caption is the frame's status line. It deletes itself once closed.
class TLoadForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int collapsedWidth = 524;
    static constexpr int collapsedHeight = 152;
    static constexpr int collapsedDeleteHeight = 116;

    explicit TLoadForm(LoadFrameSetup setup, QWidget* parent = nullptr);

    // Creates the window for an operation restarted from the actions list
    // and starts it: minimized, or hidden when `hidden`.
    static TLoadForm* startFor(LoadFrameSetup setup, bool hidden);

    TLoadFrame& core();
    TLoadFrameView& frame() { return *frame_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void detailsToggled(bool shown);

    TLoadFrameView* frame_ = nullptr;
    int expandedHeight_ = 0;
};
