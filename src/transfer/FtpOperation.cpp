#include "transfer/FtpOperation.h"

#include "transfer/EntryFields.h"

#include <QStringList>

#include <algorithm>

std::string fileEntry(
    std::string_view digest, std::string_view dateText, std::string_view remotePath, std::uint64_t size)
{
    std::string entry(digest.size() >= zeroDigest.size() ? digest : zeroDigest);
    entry += '?';
    entry += dateText;
    entry += '?';
    entry += remotePath;
    entry += '?';
    entry += std::to_string(size);
    return entry;
}

std::string linkEntry(std::string_view dateText, std::string_view remotePath, std::uint64_t size)
{
    return fileEntry(zeroDigest, dateText, remotePath, size);
}

std::string folderEntry(std::string_view dateText, std::string_view remotePath)
{
    std::string entry(dateText);
    entry += '?';
    entry += remotePath;
    return entry;
}

std::string uploadFileEntry(std::string_view localPath, std::uint64_t size)
{
    return std::string(localPath) + '?' + std::to_string(size);
}

std::string uploadFolderEntry(std::string_view localPath)
{
    return std::string(localPath);
}

EntryForm fileEntryForm(OperationKind kind)
{
    return kind == OperationKind::Upload ? EntryForm::UploadFile : EntryForm::RemoteFile;
}

EntryForm folderEntryForm(OperationKind kind)
{
    return kind == OperationKind::Upload ? EntryForm::UploadFolder : EntryForm::RemoteFolder;
}

namespace
{
// Stores of the older program hold local paths with "\\".
std::string_view lastComponent(std::string_view path)
{
    size_t cut = path.rfind('/');
    if (cut == std::string_view::npos)
        cut = path.rfind('\\');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}
} // namespace

std::string displayNameOf(std::string_view entry, EntryForm form)
{
    switch (form) {
    case EntryForm::RemoteFile:
        if (const auto fields = parseRemoteFileEntry(entry))
            return std::string(lastComponent(fields->remotePath));
        break;
    case EntryForm::UploadFile:
        if (const auto fields = parseUploadFileEntry(entry))
            return std::string(lastComponent(fields->localPath));
        break;
    case EntryForm::RemoteFolder:
        return std::string(lastComponent(folderEntryPath(entry))) + '/';
    case EntryForm::UploadFolder:
        return std::string(lastComponent(entry)) + '/';
    }
    // A damaged entry shows as it is rather than as nothing.
    return std::string(lastComponent(entry));
}

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
