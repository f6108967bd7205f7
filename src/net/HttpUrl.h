#pragma once

#include <QString>
#include <optional>

// The parts of an absolute http URL as the HTTP client uses them. Texts stay
// as written (no percent-decoding): they go back on the wire unchanged.
struct HttpUrl {
    QString scheme; // lower case; "http" when the URL gave none
    QString user; // "" when the URL embeds no credentials
    QString password;
    QString host;
    QString port; // the URL's port, else the default given to splitHttpUrl
    bool hasPort = false;
    QString path; // from the first "/" (query included, fragment dropped); "/" at least

    // Host, port and scheme: two URLs with the same origin can share a connection.
    bool sameOrigin(const HttpUrl& other) const
    {
        return scheme == other.scheme && host.compare(other.host, Qt::CaseInsensitive) == 0
            && port == other.port;
    }

    // scheme + "://" + host + (":" + port when the URL had one) + path, the
    // request target sent to a proxy. Credentials never appear in it.
    QString absoluteTarget() const;
};

// Splits `url` ("[scheme://][user[:password]@]host[:port][/path]"). The port
// defaults to `defaultPort`. Returns nothing when there is no host or the port
// (given or defaulted) is not a number from 1 to 65535.
std::optional<HttpUrl> splitHttpUrl(const QString& url, const QString& defaultPort = QStringLiteral("80"));

// The URL a "Location" header leads to from `current`: absolute when it
// names a scheme, else a path on the current host (relative to the current
// path's folder unless it starts with "/"). Credentials of `current` are not
// carried over.
QString resolveLocation(const HttpUrl& current, const QString& location);
