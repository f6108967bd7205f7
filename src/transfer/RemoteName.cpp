#include "transfer/RemoteName.h"

#include "common/ProgramFolders.h"
#include "net/VisibleText.h"
#include "transfer/LocalName.h"

QString shownName(std::string_view bytes)
{
    return visibleRemoteText(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool isSafeLocalName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

std::optional<QString> localPathBelow(
    const QString& localBase, std::string_view remoteBase, std::string_view remotePath)
{
    if (remotePath.size() <= remoteBase.size() || !remotePath.starts_with(remoteBase))
        return std::nullopt;
    std::string_view rest = remotePath.substr(remoteBase.size());
    QString local = localBase;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        if (!isSafeLocalName(name))
            return std::nullopt;
        local = joinPath(local, localNameOf(name));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return local;
}
