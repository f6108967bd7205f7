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

    // How a window comes up: in front (a transfer the user just started),
    // minimized (restarted from the actions list) or hidden (restarted on
    // its own).
    enum class Start { Shown, Minimized, Hidden };

    explicit TLoadForm(LoadFrameSetup setup, QWidget* parent = nullptr);

    // Creates the window for the setup and starts its worker.
    static TLoadForm* startFor(LoadFrameSetup setup, Start start);

    TLoadFrame& core();
    TLoadFrameView& frame() { return *frame_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void detailsToggled(bool shown);

    TLoadFrameView* frame_ = nullptr;
    int expandedHeight_ = 0;
};
