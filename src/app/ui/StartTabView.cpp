#include "app/ui/StartTabView.h"

#include "app/BookmarkTree.h"
#include "app/ui/BookmarkTreeWidget.h"
#include "common/Prompter.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
std::string textOf(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

QString shown(const std::string& text)
{
    return QString::fromStdString(text);
}

QRegularExpression refusedNameCharacters()
{
    return QRegularExpression(QStringLiteral("[^")
        + QRegularExpression::escape(QString::fromLatin1(loginTexts::refusedNameCharacters.data(),
            static_cast<qsizetype>(loginTexts::refusedNameCharacters.size())))
        + QStringLiteral("]*"));
}
} // namespace

StartTabView::StartTabView(BookmarkTree& tree, Prompter& prompter,
    std::function<std::string()> anonymousPassword, OpenSession openSession, QWidget* parent)
    : QWidget(parent)
    , bookmarks_(tree)
    , prompter_(prompter)
    , anonymousPassword_(std::move(anonymousPassword))
    , openSession_(std::move(openSession))
    , askName_([this](const QString& title, const QString& prompt, const QString& initial) {
        return defaultAskName(this, title, prompt, initial);
    })
    , chooseImportFile_([this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Import Sites"),
            QDir::home().filePath(QStringLiteral(".config/filezilla/sitemanager.xml")),
            QStringLiteral("FileZilla site manager (sitemanager.xml);;XML files (*.xml)"));
    })
{
    tree_ = new BookmarkTreeWidget(tree);
    tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* splitter = new QSplitter;
    splitter->addWidget(tree_);
    splitter->addWidget(buildPanel());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(buildButtons());
    buildTreeCommands();

    connect(tree_, &BookmarkTreeWidget::nodeSelected, this, &StartTabView::selectNode);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (tree_->itemFor(tree_->selectedNode()) == item && !tree_->selectedNode()->isFolder())
            LogBtnClick();
    });
    tree_->setCurrentItem(tree_->topLevelItem(0));
    anonymous_->setChecked(true);
    anonymousToggled(true);
}

QWidget* StartTabView::buildPanel()
{
    auto* panel = new QWidget;
    auto* form = new QFormLayout(panel);
    const auto addEdit = [&](const QString& label, QLineEdit*& edit) {
        edit = new QLineEdit;
        form->addRow(label, edit);
        connect(edit, &QLineEdit::returnPressed, this, &StartTabView::LogBtnClick);
    };
    addEdit(QStringLiteral("Site Profile Name:"), profileName_);
    profileName_->setPlaceholderText(loginTexts::profilePlaceholder());
    profileName_->setValidator(new QRegularExpressionValidator(refusedNameCharacters(), profileName_));
    addEdit(QStringLiteral("Address:"), address_);
    address_->setPlaceholderText(loginTexts::addressPlaceholder());
    addEdit(QStringLiteral("Port:"), port_);
    port_->setMaxLength(5);
    port_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
    port_->setText(QStringLiteral("21"));
    addEdit(QStringLiteral("Initial Path:"), initialPath_);
    anonymous_ = new QCheckBox(QStringLiteral("Anonymous FTP Site"));
    form->addRow(anonymous_);
    connect(anonymous_, &QCheckBox::toggled, this, &StartTabView::anonymousToggled);
    addEdit(QStringLiteral("User Name:"), user_);
    addEdit(QStringLiteral("Password:"), password_);
    password_->setEchoMode(QLineEdit::Password);
    description_ = new QLineEdit;
    form->addRow(QStringLiteral("Description:"), description_);
    return panel;
}

QWidget* StartTabView::buildButtons()
{
    // Two rows, so the tab fits a window of a saved small size.
    auto* row = new QWidget;
    auto* layout = new QGridLayout(row);
    int index = 0;
    const std::pair<QString, void (StartTabView::*)()> buttons[] = {
        { QStringLiteral("New Site"), &StartTabView::newSite },
        { QStringLiteral("New Folder"), &StartTabView::newFolder },
        { QStringLiteral("Store Site"), &StartTabView::storeSite },
        { QStringLiteral("Rename"), &StartTabView::renameSelected },
        { QStringLiteral("Delete"), &StartTabView::deleteSelected },
        { QStringLiteral("Cut"), &StartTabView::cutSelected },
        { QStringLiteral("Copy"), &StartTabView::copySelected },
        { QStringLiteral("Paste"), &StartTabView::paste },
        { QStringLiteral("Import Sites..."), &StartTabView::importSites },
        { QStringLiteral("Help"), &StartTabView::showHelp },
        { QStringLiteral("&Connect"), &StartTabView::LogBtnClick },
    };
    for (const auto& [text, command] : buttons) {
        auto* button = new QPushButton(text);
        button->setAutoDefault(false);
        layout->addWidget(button, index / 6, index % 6);
        ++index;
        connect(button, &QPushButton::clicked, this, command);
    }
    return row;
}

void StartTabView::buildTreeCommands()
{
    const std::tuple<QString, QKeySequence, void (StartTabView::*)()> commands[] = {
        { QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), &StartTabView::cutSelected },
        { QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), &StartTabView::copySelected },
        { QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), &StartTabView::paste },
    };
    for (const auto& [text, keys, command] : commands) {
        auto* action = new QAction(text, tree_);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        tree_->addAction(action);
        connect(action, &QAction::triggered, this, command);
    }
    for (const auto key : { Qt::Key_Return, Qt::Key_Enter }) {
        auto* enter = new QShortcut(QKeySequence(key), tree_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, &StartTabView::LogBtnClick);
    }
}

QString StartTabView::defaultAskName(
    QWidget* parent, const QString& title, const QString& prompt, const QString& initial)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("Ok"));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

BookmarkNode* StartTabView::selectedNode() const
{
    return tree_->selectedNode();
}

void StartTabView::selectNode(BookmarkNode* node)
{
    if (!node->isFolder())
        showPanel(loginPanelValues::of(node->site(), anonymousPassword_()));
}

void StartTabView::showPanel(const loginPanelValues& panel)
{
    profileName_->setText(shown(panel.profileName));
    address_->setText(shown(panel.address));
    port_->setText(shown(panel.port));
    initialPath_->setText(shown(panel.initialPath));
    anonymous_->setChecked(panel.anonymous);
    user_->setText(shown(panel.userId));
    password_->setText(shown(panel.password));
    user_->setEnabled(!panel.anonymous);
    password_->setEnabled(!panel.anonymous);
    description_->setText(shown(panel.description));
}

loginPanelValues StartTabView::panelValues() const
{
    loginPanelValues panel;
    panel.profileName = textOf(profileName_);
    panel.address = textOf(address_);
    panel.port = textOf(port_);
    panel.initialPath = textOf(initialPath_);
    panel.anonymous = anonymous_->isChecked();
    panel.userId = textOf(user_);
    panel.password = textOf(password_);
    panel.description = textOf(description_);
    return panel;
}

void StartTabView::anonymousToggled(bool checked)
{
    loginPanelValues panel = panelValues();
    panel.setAnonymous(checked, anonymousPassword_());
    showPanel(panel);
}

void StartTabView::newSite()
{
    showPanel(loginPanelValues::blank(anonymousPassword_()));
}

void StartTabView::newFolder()
{
    const QString name
        = askName_(QStringLiteral("New Folder"), QStringLiteral("Enter new folder name"), QString());
    bookmarks_.newFolder(selectedNode(), name.toStdString());
    tree_->showTree();
}

void StartTabView::storeSite()
{
    const loginPanelValues panel = panelValues();
    const BookmarkNode* stored = bookmarks_.storeSite(selectedNode(), panel.profileName, panel.linkValues());
    tree_->showTree();
    if (stored)
        tree_->select(stored);
}

void StartTabView::renameSelected()
{
    BookmarkNode* node = selectedNode();
    if (node == bookmarks_.root())
        return;
    const QString name
        = askName_(QStringLiteral("Rename"), QStringLiteral("Enter new object name"), shown(node->text()));
    if (bookmarks_.rename(node, name.toStdString()) && !node->isFolder())
        profileName_->setText(name);
    tree_->showTree();
}

void StartTabView::deleteSelected()
{
    BookmarkNode* node = selectedNode();
    const BookmarkNode* parent = node->parent();
    const bool removed = bookmarks_.remove(node);
    tree_->showTree();
    if (removed)
        tree_->select(parent);
}

void StartTabView::cutSelected()
{
    bookmarks_.cut(selectedNode());
    tree_->showTree();
}

void StartTabView::copySelected()
{
    bookmarks_.copy(selectedNode());
    tree_->showTree();
}

void StartTabView::paste()
{
    bookmarks_.paste(selectedNode());
    tree_->showTree();
}

void StartTabView::showHelp()
{
    prompter_.showHint(loginTexts::loginHint());
}

void StartTabView::importSites()
{
    const QString path = chooseImportFile_();
    if (path.isEmpty())
        return;
    bookmarks_.importSites(selectedNode(), path);
    tree_->showTree();
}

void StartTabView::LogBtnClick()
{
    const auto site = siteToConnect(panelValues(), prompter_);
    if (site && openSession_)
        openSession_(*site);
}
