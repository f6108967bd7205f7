#pragma once

// What the frame's tests share: files with a given age, a prompter that
// answers from a script, answering the next modal dialog, and the site of a
// test server.

#include "../net/ftp_test_support.h"
#include "FtpTestServer.h"

#include "common/FtpSite.h"
#include "common/Prompter.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/TClientFrame.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <ostream>

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void makeFile(const QString& path, const QByteArray& contents, const QDateTime& modified)
{
    QDir().mkpath(QFileInfo(path).path());
    writeLocalFile(path, contents);
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(modified, QFileDevice::FileModificationTime);
}

// Yes or no in order (then yes), and every message shown.
struct scriptedPrompter : Prompter {
    QStringList texts;
    std::deque<bool> answers;
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        texts << text;
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Runs `act` on the next modal dialog of type D as soon as it shows.
template <typename D> inline void whenDialogShows(std::function<void(D&)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start();
}

inline ftpSite siteOf(const FtpTestServer& server)
{
    ftpSite site;
    site.name = "Frame site";
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = server.port();
    site.anonymous = server.user() == "anonymous";
    site.userId = server.user().toStdString();
    site.password = server.password().toStdString();
    return site;
}

// The names the remote list shows, in its order.
inline QStringList shownNamesOf(const TClientFrame& frame)
{
    frame.remoteModel()->flush();
    QStringList names;
    for (int row = 0; row < frame.remoteModel()->rowCount(); ++row)
        names << frame.remoteModel()->data(frame.remoteModel()->index(row, 0), Qt::DisplayRole).toString();
    return names;
}
