#pragma once

#include "transfer/LoaderWindow.h"

#include <QDialog>
#include <QTimer>

class QPushButton;

// The overwrite question asked for a worker: six answers, and an answer of
// its own after ten seconds (Resume when offered, otherwise Overwrite), so
// that an unattended transfer never waits for ever. Modal: the main window
// takes no input while it is open.
class TQuestionForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int autoAnswerMs = 10000;
    static constexpr int shownNameLength = 24;

    TQuestionForm(const QString& name, ExistenceKind kind, QWidget* parent = nullptr);

    // Runs the dialog and returns the answer.
    OverwriteAnswer ask();
    OverwriteAnswer answer() const { return answer_; }
    QString questionText() const;
    // The automatic answer's timer; tests shorten it instead of waiting.
    QTimer& autoAnswerTimer() { return timer_; }

private:
    void choose(OverwriteAnswer answer);

    QTimer timer_;
    OverwriteAnswer answer_;
    OverwriteAnswer automatic_;
    QString text_;
};
