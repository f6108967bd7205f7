#pragma once

#include "common/Prompter.h"

#include <QStringList>

#include <deque>

// Answers questions from a script (yes when it runs out) and remembers every
// text shown.
struct ScriptedPrompter : Prompter {
    std::deque<bool> answers;
    QStringList shown;
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        shown << text;
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
