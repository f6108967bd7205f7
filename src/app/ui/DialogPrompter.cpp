#include "app/ui/DialogPrompter.h"

#include "app/MainForm.h"
#include "app/ui/TShowMessageForm.h"

bool DialogPrompter::prompt(
    const QString& title, const QString& text, const QString& firstButton, const QString& secondButton)
{
    TShowMessageForm form(title, text, firstButton, secondButton);
    shell_.setModalState(true);
    const int result = form.exec();
    shell_.setModalState(false);
    return result == QDialog::Accepted;
}
