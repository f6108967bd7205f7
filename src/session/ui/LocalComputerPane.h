#pragma once

#include <QSplitter>
#include <QStringList>

class ModeListView;
class Prompter;
class QFileSystemModel;
class QTreeView;

// "My Computer": the local folder tree and the list of the shown folder,
// with the commands a Linux desktop offers on them: delete moves to the
// trash, cut, copy and paste go through the clipboard's file list
// (text/uri-list), open uses the desktop's default application.
class LocalComputerPane : public QSplitter
{
    Q_OBJECT

public:
    LocalComputerPane(Prompter& prompter, const QString& initialFolder, QWidget* parent = nullptr);

    QTreeView* tree() const { return tree_; }
    ModeListView* list() const { return list_; }
    QFileSystemModel* listModel() const { return listModel_; }

    // The shown folder; empty when it is no file-system folder.
    QString folder() const { return folder_; }
    void showFolder(const QString& folder);
    // Reads the shown folder again from the disk.
    void reload();
    void goUp();

    // Paths of the selected list items, or of the selected tree folder.
    QStringList selectedPaths(bool tree) const;
    void trashSelected(bool tree);
    void renameSelected(bool tree);
    void createFolder();
    void openSelected();
    void copySelected(bool cut);
    // Into the selected folder when one is selected, else the shown folder.
    void paste();
    bool clipboardHasFiles() const;

Q_SIGNALS:
    // A click or a change of selection: the list (true) or the tree.
    void activated(bool list);

private:
    void listModelFor(const QString& folder);

    Prompter& prompter_;
    QFileSystemModel* treeModel_;
    QFileSystemModel* listModel_ = nullptr;
    QTreeView* tree_;
    ModeListView* list_;
    QString folder_;
};
