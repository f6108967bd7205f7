#pragma once

// A session without widgets: a view that records what it is shown, a
// prompter that records the messages (and answers yes), and a receiver of
// the session's notices.

#include "common/Notices.h"
#include "common/Prompter.h"
#include "remote/FtpObject.h"
#include "session/FtpClient.h"
#include "session/RemoteTree.h"
#include "session/SessionView.h"

#include <QObject>
#include <QStringList>

#include <optional>
#include <vector>

struct recordingView : sessionView {
    QString caption;
    std::vector<sessionState> states;
    sessionCommands commands;
    QStringList statuses;
    QStringList log;
    std::vector<logColour> colours;
    QString pathText;
    int treeNodes = 0;
    const ftpTreeViewObject* selected = nullptr;
    int listed = 0;
    int blocks = 0;
    int modalToggles = 0;
    std::optional<searchRequest> keyword;

    void setCaption(const QString& text) override { caption = text; }
    void bringToFront() override { }
    void setState(sessionState state, const sessionCommands& allowed) override
    {
        states.push_back(state);
        commands = allowed;
    }
    void setModal(bool) override { ++modalToggles; }
    void showStatus(const QString& text) override { statuses << text; }
    void clearLog() override
    {
        log.clear();
        colours.clear();
    }
    void appendLog(const QString& line, logColour colour) override
    {
        log << line;
        colours.push_back(colour);
    }
    void setPathText(const QString& path) override { pathText = path; }
    void clearTree() override
    {
        treeNodes = 0;
        selected = nullptr;
    }
    void addTreeNode(const ftpTreeViewObject&) override { ++treeNodes; }
    void selectTreeNode(const ftpTreeViewObject& node) override { selected = &node; }
    void sortTree() override { }
    void expandTree() override { }
    void clearList() override { listed = 0; }
    void addListEntries(std::span<const ftpObject* const> entries) override
    {
        listed += static_cast<int>(entries.size());
        ++blocks;
    }
    void updateListEntry(const ftpObject&) override { }
    void removeListEntries(std::span<const ftpObject* const> entries) override
    {
        listed -= static_cast<int>(entries.size());
    }
    void removeTreeNodes(std::span<const ftpTreeViewObject* const> nodes) override
    {
        treeNodes -= static_cast<int>(nodes.size());
    }
    std::optional<searchRequest> askSearchKeyword() override { return keyword; }
    QString askName(const nameQuestion&) override { return {}; }
    permissionsAnswer askPermissions(const permissionsQuestion&) override { return {}; }
    std::optional<newObjectAnswer> askNewObject() override { return std::nullopt; }

    int logLinesStartingWith(const QString& prefix) const
    {
        int count = 0;
        for (const QString& line : log)
            count += line.startsWith(prefix) ? 1 : 0;
        return count;
    }
};

struct recordingPrompter : Prompter {
    QStringList texts;
    bool prompt(const QString& title, const QString& text, const QString&, const QString&) override
    {
        texts << title + QStringLiteral(": ") + text;
        return true;
    }
};

// Stands for the main window: counts the session-closed notices.
class noticeCounter : public QObject
{
public:
    int closed = 0;
    int lastValue = -1;

protected:
    bool event(QEvent* event) override
    {
        if (!NoticeEvent::isNotice(event))
            return QObject::event(event);
        const auto* notice = static_cast<NoticeEvent*>(event);
        if (notice->notice() == Notice::SessionClosed) {
            ++closed;
            lastValue = notice->value();
        }
        return true;
    }
};

// The entry names of a session's list.
inline QStringList entryNames(const ftpClient& session)
{
    QStringList names;
    for (const auto& entry : session.entries())
        names << QString::fromStdString(entry->name);
    return names;
}
