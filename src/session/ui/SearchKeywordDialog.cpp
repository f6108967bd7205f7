#include "session/ui/SearchKeywordDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

SearchKeywordDialog::SearchKeywordDialog(QWidget* parent)
    : QDialog(parent)
    , keyword_(new QLineEdit(this))
    , mode_(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Search on the connected FTP server"));
    mode_->addItems({ QStringLiteral("All keywords"), QStringLiteral("Any keyword") });
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Keywords:"), keyword_);
    form->addRow(QStringLiteral("Match:"), mode_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

std::optional<searchRequest> SearchKeywordDialog::ask(QWidget* parent)
{
    SearchKeywordDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return searchRequest { dialog.keyword_->text(), dialog.mode_->currentIndex() };
}
