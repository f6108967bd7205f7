#pragma once

#include <QString>
#include <QTemporaryDir>

// Points RANQUIL_HOME (and XDG_DATA_HOME, XDG_RUNTIME_DIR) at a fresh
// temporary folder for the lifetime of the object, so a test never touches
// the user's real program folder, and restores the previous values after.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    // Whole contents of a file in the home folder ("" when missing).
    QByteArray read(const QString& name) const;
    void write(const QString& name, const QByteArray& contents) const;

private:
    QTemporaryDir dir_;
    QByteArray savedHome_, savedData_, savedRuntime_;
};
