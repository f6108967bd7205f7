#include "common/UnreadableStore.h"

#include "common/IniFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

std::optional<UnreadableStore> setAsideUnreadableStore(const QString& path)
{
    QString problem = IniFile(path).readProblem();
    if (problem.isEmpty())
        return std::nullopt;
    UnreadableStore store { path, std::move(problem), {}, {} };
    const QString keptAs = path + QStringLiteral(".bad");
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(keptAs);
    // rename() replaces an earlier copy in one step (QFile::rename would not
    // replace it); it never follows a link in the way.
    if (std::rename(from.constData(), to.constData()) != 0) {
        store.moveError = QString::fromLocal8Bit(std::strerror(errno));
        return store;
    }
    // It may hold passwords, and an unreadable file is readable again.
    ::chmod(to.constData(), 0600);
    store.keptAs = keptAs;
    return store;
}

QString unreadableStoreText(const UnreadableStore& store)
{
    const QString head = QStringLiteral("%1 could not be read: %2.").arg(store.path, store.problem);
    if (store.keptAs.isEmpty())
        return head
            + QStringLiteral(" It could not be set aside (%1): it is left as it is and not overwritten, and "
                             "the program starts as if it were missing.")
                  .arg(store.moveError);
    return head
        + QStringLiteral(" It was kept as %1, and the program starts as if it were missing.")
              .arg(store.keptAs);
}
