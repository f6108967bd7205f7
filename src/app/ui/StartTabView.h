#pragma once

#include "app/BookmarkPanel.h"

#include <QWidget>

#include <functional>

class BookmarkNode;
class BookmarkTree;
class Prompter;
class QCheckBox;
class QLineEdit;
class BookmarkTreeWidget;

// The bookmark tree and the login panel of the "Start" tab. It shows the
// BookmarkTree and forwards the user's commands to it; the rules live there.
class StartTabView : public QWidget
{
    Q_OBJECT

public:
    using OpenSession = std::function<void(const ftpSite&)>;
    // Asks for a name: the dialog's title, prompt and initial text; empty
    // when cancelled.
    using AskName
        = std::function<QString(const QString& title, const QString& prompt, const QString& initial)>;

    // `anonymousPassword` gives the current option; `openSession` opens a
    // session on the site "&Connect" built.
    StartTabView(BookmarkTree& tree, Prompter& prompter, std::function<std::string()> anonymousPassword,
        OpenSession openSession, QWidget* parent = nullptr);

    // Replaces the name dialog (tests).
    void setAskName(AskName askName) { askName_ = std::move(askName); }
    // Replaces the chooser of the site manager file to import (tests).
    void setChooseImportFile(std::function<QString()> choose) { chooseImportFile_ = std::move(choose); }

    BookmarkTreeWidget* treeWidget() const { return tree_; }
    BookmarkNode* selectedNode() const;
    loginPanelValues panelValues() const;

    // The commands, as the buttons and keys give them.
    void newSite();
    void newFolder();
    void storeSite();
    void renameSelected();
    void deleteSelected();
    void cutSelected();
    void copySelected();
    void paste();
    void showHelp();
    void importSites();
    void LogBtnClick();

private:
    QWidget* buildPanel();
    QWidget* buildButtons();
    void buildTreeCommands();
    void selectNode(BookmarkNode* node);
    void showPanel(const loginPanelValues& panel);
    void anonymousToggled(bool checked);
    static QString defaultAskName(
        QWidget* parent, const QString& title, const QString& prompt, const QString& initial);

    BookmarkTree& bookmarks_;
    Prompter& prompter_;
    std::function<std::string()> anonymousPassword_;
    OpenSession openSession_;
    AskName askName_;
    std::function<QString()> chooseImportFile_;
    BookmarkTreeWidget* tree_ = nullptr;
    QLineEdit* profileName_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* initialPath_ = nullptr;
    QCheckBox* anonymous_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* description_ = nullptr;
};
