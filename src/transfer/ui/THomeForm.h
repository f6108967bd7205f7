#pragma once

#include <QDialog>

class QFileSystemModel;
class QTreeView;

// The download-folder chooser: a tree of the local folders, opened at the
// user's download folder. Used by a session before "Download To...".
class THomeForm : public QDialog
{
    Q_OBJECT

public:
    explicit THomeForm(QWidget* parent = nullptr);

    // Runs the dialog: the chosen folder ending in "/", or "" when cancelled
    // or when nothing is selected.
    QString chooseDownloadFolder();
    // The folder "Download" would return now ("" when none is selected).
    QString selectedFolder() const;
    QTreeView* tree() const { return tree_; }

private:
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
};
