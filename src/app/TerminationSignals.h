#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT (sent at logout and shutdown) into a Qt signal on
// the main thread, through a self-pipe, so the normal shut-down sequence runs
// and nothing is lost. One instance per process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
};
