#include "session/ui/LocalComputerPane.h"

#include "common/Prompter.h"
#include "session/ui/ModeListView.h"
#include "session/ui/NameDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

namespace
{

// The marker file managers put beside a cut file list.
constexpr const char* cutMarkerFormat = "application/x-kde-cutselection";

QString renameNothingSelected()
{
    return QStringLiteral("Please select file(s) and/or directory(s) to rename and then rename again.");
}

// `name` copied into `folder`, never over an existing item: "a (copy).txt".
QString freeTargetIn(const QString& folder, const QString& name)
{
    QString target = QDir(folder).filePath(name);
    const QFileInfo info(name);
    for (int copy = 1; QFileInfo::exists(target); ++copy) {
        const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
        target = QDir(folder).filePath(
            info.completeBaseName() + QStringLiteral(" (copy %1)").arg(copy) + suffix);
    }
    return target;
}

bool copyTree(const QString& from, const QString& to)
{
    const QFileInfo source(from);
    // Links are copied as links, so that a copy never reaches outside what
    // was selected.
    if (source.isSymLink())
        return QFile::link(source.symLinkTarget(), to);
    if (!source.isDir())
        return QFile::copy(from, to);
    if (!QDir().mkpath(to))
        return false;
    bool copied = true;
    const QDir folder(from);
    for (const QString& name :
        folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        copied = copyTree(folder.filePath(name), QDir(to).filePath(name)) && copied;
    return copied;
}

} // namespace

LocalComputerPane::LocalComputerPane(Prompter& prompter, const QString& initialFolder, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent)
    , prompter_(prompter)
    , treeModel_(new QFileSystemModel(this))
    , tree_(new QTreeView(this))
    , list_(new ModeListView(this))
{
    tree_->setObjectName(QStringLiteral("ShellTree"));
    tree_->setAccessibleName(QStringLiteral("My Computer Tree View"));
    list_->setObjectName(QStringLiteral("ShellList"));
    list_->setAccessibleName(QStringLiteral("My Computer List View"));
    treeModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    treeModel_->setRootPath(QDir::rootPath());
    tree_->setModel(treeModel_);
    for (int column = 1; column < treeModel_->columnCount(); ++column)
        tree_->hideColumn(column);
    tree_->header()->hide();
    addWidget(tree_);
    addWidget(list_);
    setStretchFactor(1, 1);
    connect(tree_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        showFolder(treeModel_->filePath(index));
        Q_EMIT activated(false);
    });
    connect(list_, &ModeListView::activated, this, [this](int) { openSelected(); });
    const QString start = QFileInfo(initialFolder).isDir() ? initialFolder : QDir::homePath();
    showFolder(start);
}

void LocalComputerPane::listModelFor(const QString& folder)
{
    // A fresh model reads the folder anew; the old one goes with its view.
    QFileSystemModel* old = listModel_;
    listModel_ = new QFileSystemModel(this);
    listModel_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
    listModel_->setReadOnly(false);
    const QModelIndex root = listModel_->setRootPath(folder);
    list_->setModel(listModel_);
    list_->detailView()->setRootIndex(root);
    list_->iconView()->setRootIndex(root);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this] { Q_EMIT activated(true); });
    delete old;
}

void LocalComputerPane::showFolder(const QString& folder)
{
    folder_ = QFileInfo(folder).isDir() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : QString();
    listModelFor(folder_);
    const QModelIndex node = treeModel_->index(folder_);
    tree_->setCurrentIndex(node);
    tree_->scrollTo(node);
}

void LocalComputerPane::reload()
{
    showFolder(folder_);
}

void LocalComputerPane::goUp()
{
    QDir folder(folder_);
    if (!folder_.isEmpty() && folder.cdUp())
        showFolder(folder.path());
}

QStringList LocalComputerPane::selectedPaths(bool tree) const
{
    QStringList paths;
    if (tree) {
        if (tree_->currentIndex().isValid())
            paths << treeModel_->filePath(tree_->currentIndex());
        return paths;
    }
    if (!list_->selectionModel())
        return paths;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        paths << listModel_->filePath(index);
    return paths;
}

void LocalComputerPane::trashSelected(bool tree)
{
    const QStringList paths = selectedPaths(tree);
    if (paths.isEmpty()) {
        prompter_.showErrorBox(QStringLiteral("Please select files(s) and/or directory(s) first."));
        return;
    }
    QStringList failed;
    for (const QString& path : paths) {
        if (!QFile::moveToTrash(path))
            failed << path;
    }
    if (!failed.isEmpty())
        prompter_.showErrorBox(QStringLiteral("These items could not be moved to the trash:\n")
            + failed.join(QLatin1Char('\n')));
    reload();
}

void LocalComputerPane::renameSelected(bool tree)
{
    const QStringList paths = selectedPaths(tree);
    if (paths.isEmpty()) {
        prompter_.showErrorBox(renameNothingSelected());
        return;
    }
    const QString answer = NameDialog::ask(
        { QStringLiteral("Enter new object name"), QStringLiteral("Ok"), paths.front() }, window());
    if (answer.isEmpty() || answer == paths.front())
        return;
    if (QFileInfo::exists(answer) || !QFile::rename(paths.front(), answer))
        prompter_.showErrorBox(
            QStringLiteral("\"%1\" could not be renamed to \"%2\".").arg(paths.front(), answer));
    reload();
}

void LocalComputerPane::createFolder()
{
    if (folder_.isEmpty()) {
        prompter_.showErrorBox(
            QStringLiteral("Cannot create new folder here because you are in a virtual folder"));
        return;
    }
    const QString name = NameDialog::ask(
        { QStringLiteral("Enter new folder name"), QStringLiteral("Ok"), QStringLiteral("New Folder") },
        window());
    if (name.isEmpty())
        return;
    if (!QDir(folder_).mkdir(name))
        prompter_.showErrorBox(QStringLiteral("The folder \"%1\" could not be created.").arg(name));
    reload();
}

void LocalComputerPane::openSelected()
{
    for (const QString& path : selectedPaths(false)) {
        if (QFileInfo(path).isDir()) {
            showFolder(path);
            return;
        }
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

void LocalComputerPane::copySelected(bool cut)
{
    QList<QUrl> urls;
    for (const QString& path : selectedPaths(false))
        urls << QUrl::fromLocalFile(path);
    if (urls.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setData(QString::fromLatin1(cutMarkerFormat), cut ? QByteArray("1") : QByteArray("0"));
    QApplication::clipboard()->setMimeData(data);
}

bool LocalComputerPane::clipboardHasFiles() const
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasUrls();
}

void LocalComputerPane::paste()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasUrls() || folder_.isEmpty())
        return;
    const QStringList selected = selectedPaths(false);
    const QString target
        = selected.size() == 1 && QFileInfo(selected.front()).isDir() ? selected.front() : folder_;
    const bool cut = data->data(QString::fromLatin1(cutMarkerFormat)) == "1";
    QStringList failed;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString source = url.toLocalFile();
        const QString destination = freeTargetIn(target, QFileInfo(source).fileName());
        const bool done = cut ? QFile::rename(source, destination) : copyTree(source, destination);
        if (!done)
            failed << source;
    }
    if (cut && failed.isEmpty())
        QApplication::clipboard()->clear();
    if (!failed.isEmpty())
        prompter_.showErrorBox(
            QStringLiteral("These items could not be pasted:\n") + failed.join(QLatin1Char('\n')));
    reload();
}
