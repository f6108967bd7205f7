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

    // The first signal received (SIGTERM or SIGINT), 0 before any: a shell
    // tool's exit status tells which one stopped it.
    int received() const { return received_; }

Q_SIGNALS:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};
