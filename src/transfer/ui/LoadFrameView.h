#pragma once

#include "transfer/LoadFrame.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The widgets of a transfer window: they draw what the TLoadFrame core
// computes and forward the user's commands to it. Owns its core; before the
// widgets go, the core's destroy rule runs (it may wait for the worker).
class TLoadFrameView : public QWidget, public LoadFrameView
{
    Q_OBJECT

public:
    // `noticeReceiver`: for a frame embedded in a session's tab, the main
    // window that deletes it once it has closed (null for a stand-alone one).
    TLoadFrameView(std::unique_ptr<TLoadFrame> core, QObject* noticeReceiver, QWidget* parent = nullptr);
    ~TLoadFrameView() override;

    TLoadFrame& core() { return *core_; }

    void render(const LoadFrameDisplay& display) override;
    void closeFrame() override;
    void hideFrame() override;
    bool openFolder(const QString& folder) override;
    OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) override;

    // The stand-alone window closes itself this way.
    std::function<void()> closeWindow;

Q_SIGNALS:
    void statusLineChanged(const QString& text);
    void detailsToggled(bool shown);

private:
    void build();
    QLabel* addRow(const QString& caption, QWidget* rowWidget = nullptr);
    void renderConnections(const LoadFrameDisplay& display);

    std::unique_ptr<TLoadFrame> core_;
    QObject* noticeReceiver_;
    bool lastDetailsShown_ = false;
    bool rendered_ = false;

    QTabWidget* tabs_ = nullptr;
    QWidget* progressPage_ = nullptr;
    QLabel *host_ = nullptr, *localPath_ = nullptr, *totals_ = nullptr, *throughput_ = nullptr;
    QLabel *elapsed_ = nullptr, *estimated_ = nullptr, *resume_ = nullptr, *digest_ = nullptr;
    QLabel *percent_ = nullptr, *statusBar_ = nullptr;
    QWidget *localPathRow_ = nullptr, *throughputRow_ = nullptr, *estimatedRow_ = nullptr;
    QComboBox* priority_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QCheckBox* closeWhenDone_ = nullptr;
    QPushButton *openFolder_ = nullptr, *cancel_ = nullptr, *details_ = nullptr, *pause_ = nullptr;
    QTreeWidget* connections_ = nullptr;
    std::array<QTreeWidgetItem*, LoaderProgress::connectionCount> connectionItems_ {};
};
