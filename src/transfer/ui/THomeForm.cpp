#include "transfer/ui/THomeForm.h"

#include "common/ProgramFolders.h"

#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

THomeForm::THomeForm(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Download Folder"));
    setModal(true);
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    model_->setRootPath(QDir::rootPath());
    tree_ = new QTreeView(this);
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    const QString start = defaultDownloadFolder();
    QDir().mkpath(start);
    const QModelIndex startIndex = model_->index(start);
    tree_->setCurrentIndex(startIndex);
    tree_->scrollTo(startIndex);

    auto* group = new QGroupBox(QStringLiteral("Download Folder"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(
        new QLabel(QStringLiteral("Files/Folders you have chosen will be downloaded to .."), group));
    groupLayout->addWidget(tree_);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* download = new QPushButton(QStringLiteral("Download"), this);
    // Enter answers "Download".
    download->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(download, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(download);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
    resize(420, 460);
}

QString THomeForm::selectedFolder() const
{
    const QModelIndex current = tree_->currentIndex();
    if (!current.isValid() || !tree_->selectionModel()->isSelected(current))
        return {};
    QString folder = model_->filePath(current);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString THomeForm::chooseDownloadFolder()
{
    return exec() == QDialog::Accepted ? selectedFolder() : QString();
}
