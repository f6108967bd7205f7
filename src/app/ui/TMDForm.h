#pragma once

#include "common/NewObjectChooser.h"

#include <QDialog>

#include <functional>
#include <memory>

class BookmarkTree;
class BookmarkTreeWidget;
class Prompter;
class QLineEdit;
class QRadioButton;

// "Create New Object": a new remote folder, or a bookmark chosen from its
// own copy of the bookmark tree to upload as a link file.
class TMDForm : public QDialog, public NewObjectChooser
{
    Q_OBJECT

public:
    TMDForm(const QString& linksFolder, Prompter& prompter, std::function<std::string()> anonymousPassword,
        QWidget* parent = nullptr);
    ~TMDForm() override;

    std::optional<newObjectRequest> chooseNewObject() override;

    void accept() override;

private:
    Prompter& prompter_;
    std::unique_ptr<BookmarkTree> bookmarks_;
    QRadioButton* directory_ = nullptr;
    QRadioButton* link_ = nullptr;
    QLineEdit* name_ = nullptr;
    BookmarkTreeWidget* tree_ = nullptr;
    std::optional<newObjectRequest> result_;
};
