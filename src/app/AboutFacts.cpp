#include "app/AboutFacts.h"

#include "app/BuildInfo.h"
#include "common/ProgramFolders.h"

#include <QSslSocket>

namespace
{
QString qtVersionInUse()
{
    const QString running = QString::fromLatin1(qVersion());
    const QString built = QString::fromLatin1(QT_VERSION_STR);
    return running == built ? running : running + QStringLiteral(" (built with ") + built + QLatin1Char(')');
}

QString tlsLibraryInUse()
{
    const QString library = QSslSocket::sslLibraryVersionString();
    return library.isEmpty() ? QStringLiteral("none loaded") : library;
}

QString temporaryFolderOrReason()
{
    QString error;
    const QString folder = temporaryFolder(&error);
    return folder.isEmpty() ? error : folder;
}
} // namespace

AboutFacts aboutFacts()
{
    return AboutFacts {
        QStringLiteral("Quorvane Ranquil"),
        programVersion(),
        qtVersionInUse(),
        tlsLibraryInUse(),
        programFolder(),
        temporaryFolderOrReason(),
        {
            QStringLiteral(
                "Qt 6: GNU Lesser General Public License, version 3 (the system's shared libraries)"),
            QStringLiteral("OpenSSL 3: Apache License 2.0 (loaded by Qt for TLS when installed)"),
        },
    };
}
