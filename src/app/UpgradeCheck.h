#pragma once

#include <QBuffer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

class THttpCli;
class connectionOptions;

// The information file the upgrade check reads, an ini text:
//   [Ranquil]
//   Version=5.7.0
//   Page=https://www.quorvane.example/ranquil/
// The page is where a person reads about the version and fetches it; the
// program only offers its link.
struct UpgradeInformation {
    QString version;
    QUrl page;
};

// A version of one to four dot-separated decimal numbers ("5.6.0"), as
// numbers; nothing for any other text.
std::optional<std::vector<int>> parseVersion(const QString& text);
// Below zero, zero or above zero as `a` is older than, the same as or newer
// than `b`; missing trailing numbers count as 0 ("5.6" equals "5.6.0").
int compareVersions(const std::vector<int>& a, const std::vector<int>& b);

// Nothing, with `problem` saying why, when `text` is no such file: it lacks
// the version or the page, the version is no version, or the page is no
// http or https address.
std::optional<UpgradeInformation> parseUpgradeInformation(const QByteArray& text, QString* problem);

// The upgrade check at start: one GET of the information file through the
// HTTP proxy settings, asynchronous on the main thread, so the program
// starts and runs meanwhile. A newer version than `runningVersion` is
// announced by newerVersionAvailable; the same or an older one, an
// unreachable address and a malformed file are only logged (category
// "ranquil.upgrade"): nobody is asked anything, nothing is downloaded or
// started. Main thread only.
class UpgradeCheck : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Newer, NotNewer, Unreachable, Malformed };
    Q_ENUM(Outcome)

    // The information file is at most this large.
    static constexpr qint64 maxFileSize = 16 * 1024;

    UpgradeCheck(QString informationUrl, QString runningVersion, const connectionOptions& options,
        QObject* parent = nullptr);
    ~UpgradeCheck() override;

    // Sends the request and returns; finished follows once, from the event
    // loop, at the latest after the HTTP time-out of the settings.
    void start();

Q_SIGNALS:
    void newerVersionAvailable(const QString& version, const QUrl& page);
    void finished(UpgradeCheck::Outcome outcome);

private:
    void onRequestDone(int error);
    void conclude(Outcome outcome);
    Outcome judge(const QByteArray& text);

    QString informationUrl_;
    QString runningVersion_;
    std::unique_ptr<THttpCli> http_;
    QBuffer received_;
    QTimer deadline_;
    bool concluded_ = false;
};
