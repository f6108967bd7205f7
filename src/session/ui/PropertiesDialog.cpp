#include "session/ui/PropertiesDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
constexpr int manualDigits = 3;
}

PropertiesDialog::PropertiesDialog(const permissionsQuestion& question, QWidget* parent)
    : QDialog(parent)
    , manual_(new QLineEdit)
{
    setWindowTitle(QStringLiteral("Properties"));
    setObjectName(QStringLiteral("PropertiesDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(question.name));
    layout->addWidget(new QLabel(question.sizeText));

    auto* rights = new QGroupBox(QStringLiteral("Permissions"));
    auto* grid = new QGridLayout(rights);
    const QStringList who = { QStringLiteral("Administrator"), QStringLiteral("Group Users"),
        QStringLiteral("Rest of the World") };
    const QStringList what = { QStringLiteral("Read"), QStringLiteral("Write"), QStringLiteral("Execute") };
    for (int group = 0; group < 3; ++group) {
        grid->addWidget(new QLabel(who[group]), group, 0);
        for (int right = 0; right < 3; ++right) {
            const int index = group * 3 + right;
            auto* box = new QCheckBox(what[right]);
            box->setChecked(question.checked[static_cast<size_t>(index)]);
            boxes_[static_cast<size_t>(index)] = box;
            grid->addWidget(box, group, right + 1);
        }
    }
    auto* fromBoxes = new QDialogButtonBox;
    fromBoxes->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("BoxesOk"));
    grid->addWidget(fromBoxes, 3, 0, 1, 4);
    layout->addWidget(rights);
    connect(fromBoxes, &QDialogButtonBox::accepted, this, [this] {
        answer_.from = permissionsAnswer::source::Boxes;
        for (size_t index = 0; index < boxes_.size(); ++index)
            answer_.checked[index] = boxes_[index]->isChecked();
        accept();
    });

    auto* manual = new QGroupBox(QStringLiteral("Permission Manually"));
    auto* manualLayout = new QHBoxLayout(manual);
    manualLayout->addWidget(new QLabel(QStringLiteral("CHMod (numerical):")));
    manualLayout->addWidget(manual_);
    manual_->installEventFilter(this);
    auto* manualOk = new QPushButton(QStringLiteral("OK"));
    manualOk->setObjectName(QStringLiteral("ManualOk"));
    manualLayout->addWidget(manualOk);
    layout->addWidget(manual);
    connect(manualOk, &QPushButton::clicked, this, [this] {
        answer_.from = permissionsAnswer::source::Manual;
        answer_.manualText = manual_->text();
        accept();
    });

    auto* hint = new QLabel(QStringLiteral("Hint: Don't ever deselect the admin checked boxes or assign a "
                                           "CHMod lower than 711, OTHERWISE YOU'LL  "
                                           "LOOSE YOUR PRIVILIGES TO ACCESS YOUR ACCOUNT."));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* cancel = new QDialogButtonBox(QDialogButtonBox::Cancel);
    connect(cancel, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(cancel);
}

permissionsAnswer PropertiesDialog::ask(const permissionsQuestion& question, QWidget* parent)
{
    PropertiesDialog dialog(question, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.answer() : permissionsAnswer {};
}

bool PropertiesDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Digits while fewer than three are typed, and Backspace; nothing else.
    if (watched == manual_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace)
            return false;
        const QString text = key->text();
        const bool digit
            = text.size() == 1 && text.front() >= QLatin1Char('0') && text.front() <= QLatin1Char('9');
        return !(digit && manual_->text().size() < manualDigits);
    }
    return QDialog::eventFilter(watched, event);
}
