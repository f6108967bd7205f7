#pragma once

#include <QDialog>

struct AboutFacts;

// Help > About: the program, its version, the Qt and TLS libraries in use,
// the program and temporary folders (selectable, so they can be copied)
// and the licences of the libraries.
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutForm(const AboutFacts& facts, QWidget* parent = nullptr);
};
