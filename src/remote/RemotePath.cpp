#include "remote/RemotePath.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace remotePath
{

namespace
{

constexpr std::size_t maxFileNameBytes = 255;

void appendEscaped(std::string& out, unsigned char c)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    out += '~';
    out += digits[c >> 4];
    out += digits[c & 0xF];
}

// One field of a cache file name: the four stand-ins for the separators,
// and every character that could be mistaken for one of them, escaped;
// bytes beyond ASCII too, so that the name means the same whatever the
// file system makes of them.
void appendField(std::string& out, std::string_view text)
{
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '/':
            out += '-';
            break;
        case '<':
            out += '!';
            break;
        case '>':
            out += '=';
            break;
        case ':':
            out += '@';
            break;
        case '-':
        case '!':
        case '=':
        case '@':
        case '%':
        case '~':
        case '#':
            appendEscaped(out, c);
            break;
        default:
            if (c < 0x20 || c >= 0x7F)
                appendEscaped(out, c);
            else
                out += ch;
        }
    }
}

} // namespace

std::string withDriveSlash(std::string_view path)
{
    std::string result(path);
    if (!result.empty() && result.back() == ':')
        result += '/';
    return result;
}

std::string slashForm(std::string_view path)
{
    std::string result = withDriveSlash(path);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

std::string plainForm(std::string_view path)
{
    std::string result = withDriveSlash(path);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    if (result.empty())
        result = "/";
    return result;
}

std::string join(std::string_view folder, std::string_view name)
{
    std::string result(folder);
    if (result.empty() || result.back() != '/')
        result += '/';
    if (!name.empty() && name.front() == '/')
        name.remove_prefix(1);
    result += name;
    return result;
}

std::string parentOf(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return "/";
    return std::string(path.substr(0, slash + 1));
}

std::string cacheFileName(std::string_view address, std::uint32_t port, std::string_view folder)
{
    std::string_view folderPart = folder;
    while (!folderPart.empty() && folderPart.back() == '/')
        folderPart.remove_suffix(1);
    std::string name = "%";
    appendField(name, address);
    name += '%' + std::to_string(port) + '%';
    appendField(name, folderPart);
    name += ".tmp";
    if (name.size() <= maxFileNameBytes)
        return name;
    const QByteArray digest
        = QCryptographicHash::hash(QByteArray::fromRawData(name.data(), static_cast<qsizetype>(name.size())),
            QCryptographicHash::Sha256);
    return "#" + digest.toHex().toStdString() + ".tmp";
}

} // namespace remotePath
