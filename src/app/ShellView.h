#pragma once

#include <QString>

class QObject;

// What the shell core asks of its window. The Qt main window implements it;
// tests record the calls. Main thread only.
class ShellView
{
public:
    virtual ~ShellView() = default;

    // Places the window: position and restored client size, then maximizes
    // it when asked.
    virtual void applyGeometry(int left, int top, int clientWidth, int clientHeight, bool maximize) = 0;
    virtual void setTitle(const QString& title) = 0;
    virtual void hideWindow() = 0;
    // "Send to Tray": only the tray icon stays (without a tray the window is
    // minimized, so that it can always come back).
    virtual void sendToTray() = 0;
    virtual void restoreWindow(bool maximized) = 0;
    virtual void removeTrayIcon() = 0;
    virtual void setTrayShutDownEnabled(bool enabled) = 0;
    // The session commands of the File menu and the "View" menu.
    virtual void setSessionCommandsEnabled(bool enabled) = 0;
    // The kind tag of the active tab: 0 start and actions, 1 search, 2 session.
    virtual int activeTabTag() const = 0;
    virtual void deleteTabPage(QObject* page) = 0;
};
