#pragma once

#include "app/MessageHelpers.h"

class TMainForm;

// Shows the core's messages in a TShowMessageForm and keeps the shell in its
// modal state (tray "Shut Down" disabled) while one is open.
class DialogPrompter : public Prompter
{
public:
    explicit DialogPrompter(TMainForm& shell)
        : shell_(shell)
    {
    }

    bool prompt(const QString& title, const QString& text, const QString& firstButton,
        const QString& secondButton) override;

private:
    TMainForm& shell_;
};
