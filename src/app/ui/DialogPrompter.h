#pragma once

#include "common/Prompter.h"

#include <functional>

// Shows the core's messages in a TShowMessageForm. While one is open the
// shell is told it is in its modal state (tray "Shut Down" disabled).
class DialogPrompter : public Prompter
{
public:
    std::function<void(bool entering)> modalStateChanged;

    bool prompt(const QString& title, const QString& text, const QString& firstButton,
        const QString& secondButton) override;
};
