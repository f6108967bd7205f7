#include "app/ui/TMDForm.h"

#include "app/BookmarkTree.h"
#include "app/ui/BookmarkTreeWidget.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TMDForm::TMDForm(const QString& linksFolder, Prompter& prompter,
    std::function<std::string()> anonymousPassword, QWidget* parent)
    : QDialog(parent)
    , prompter_(prompter)
    , bookmarks_(std::make_unique<BookmarkTree>(linksFolder, prompter, std::move(anonymousPassword)))
{
    setWindowTitle(QStringLiteral("Create New Object"));
    auto* layout = new QVBoxLayout(this);
    directory_ = new QRadioButton(QStringLiteral("Create new directory"));
    layout->addWidget(directory_);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Name:")));
    name_ = new QLineEdit;
    nameRow->addWidget(name_);
    layout->addLayout(nameRow);
    link_ = new QRadioButton(QStringLiteral("Create new Zelta link from bookmarks"));
    layout->addWidget(link_);
    tree_ = new BookmarkTreeWidget(*bookmarks_);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TMDForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(name_, &QLineEdit::returnPressed, this, &TMDForm::accept);
    layout->addWidget(buttons);
    directory_->setChecked(true);
    tree_->setCurrentItem(tree_->topLevelItem(0));
}

TMDForm::~TMDForm() = default;

std::optional<newObjectRequest> TMDForm::chooseNewObject()
{
    result_.reset();
    exec();
    return result_;
}

void TMDForm::accept()
{
    if (link_->isChecked()) {
        result_ = linkRequestFor(tree_->selectedNode(), prompter_);
        if (!result_)
            return;
    } else if (!name_->text().isEmpty()) {
        result_ = newObjectRequest { newObjectRequest::Kind::Directory, name_->text().toStdString(), {} };
    }
    QDialog::accept();
}
