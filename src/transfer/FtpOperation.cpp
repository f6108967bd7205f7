#include "transfer/FtpOperation.h"

#include <QStringList>

#include <algorithm>

QString kindText(OperationKind kind)
{
    switch (kind) {
    case OperationKind::Download:
        return QStringLiteral("Download");
    case OperationKind::Upload:
        return QStringLiteral("Upload");
    case OperationKind::Delete:
        return QStringLiteral("Delete");
    }
    return {};
}

QString siteColumnText(const ftpSite& site)
{
    return QString::fromStdString(site.shownAddress()) + QLatin1Char(':') + QString::number(site.port);
}

namespace
{

// A name that could not be told apart from its neighbours as it stands: it
// holds the separator, a quote, a space or a control character, or nothing
// at all.
bool needsQuotes(const QString& name)
{
    return name.isEmpty() || std::any_of(name.begin(), name.end(), [](QChar c) {
        return c == QLatin1Char(',') || c == QLatin1Char('"') || c.unicode() <= 0x20;
    });
}

QString commaTextItem(const QString& name)
{
    if (!needsQuotes(name))
        return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString itemsColumnText(const std::vector<std::string>& displayNames)
{
    QStringList names;
    for (const std::string& name : displayNames)
        names << commaTextItem(QString::fromStdString(name));
    return names.join(QLatin1Char(','));
}

QString statusText(OperationStatus status, int percent, const QString& previousText)
{
    switch (status) {
    case OperationStatus::Finished:
    case OperationStatus::Completed:
        return QStringLiteral("Completed!");
    case OperationStatus::Running:
        return QStringLiteral("%1% Completed").arg(percent);
    case OperationStatus::Connecting:
        return QStringLiteral("Connecting...");
    case OperationStatus::ConnectionError:
        return QStringLiteral("Connection error");
    case OperationStatus::Stopped:
        return QStringLiteral("Incomplete (Stopped)");
    }
    return previousText;
}
