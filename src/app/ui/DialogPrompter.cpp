#include "app/ui/DialogPrompter.h"

#include "app/ui/TShowMessageForm.h"

bool DialogPrompter::prompt(
    const QString& title, const QString& text, const QString& firstButton, const QString& secondButton)
{
    TShowMessageForm form(title, text, firstButton, secondButton);
    if (modalStateChanged)
        modalStateChanged(true);
    const int result = form.exec();
    if (modalStateChanged)
        modalStateChanged(false);
    return result == QDialog::Accepted;
}
