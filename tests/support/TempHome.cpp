#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{
QByteArray swapEnv(const char* name, const QByteArray& value)
{
    QByteArray old = qgetenv(name);
    qputenv(name, value);
    return old;
}

void restoreEnv(const char* name, const QByteArray& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}
} // namespace

TempHome::TempHome()
{
    QDir root(dir_.path());
    root.mkpath(QStringLiteral("xdg-data"));
    root.mkpath(QStringLiteral("xdg-runtime"));
    QFile::setPermissions(
        root.filePath(QStringLiteral("xdg-runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    savedHome_ = swapEnv("RANQUIL_HOME", dir_.path().toUtf8());
    savedData_ = swapEnv("XDG_DATA_HOME", root.filePath(QStringLiteral("xdg-data")).toUtf8());
    savedRuntime_ = swapEnv("XDG_RUNTIME_DIR", root.filePath(QStringLiteral("xdg-runtime")).toUtf8());
}

TempHome::~TempHome()
{
    restoreEnv("RANQUIL_HOME", savedHome_);
    restoreEnv("XDG_DATA_HOME", savedData_);
    restoreEnv("XDG_RUNTIME_DIR", savedRuntime_);
}

QByteArray TempHome::read(const QString& name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TempHome::write(const QString& name, const QByteArray& contents) const
{
    QFile f(file(name));
    QDir().mkpath(QFileInfo(f).absolutePath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(contents);
}
