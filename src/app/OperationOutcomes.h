#pragma once

#include "transfer/FtpOperation.h"

#include <QHash>
#include <QObject>
#include <QString>

class ActionsList;

// Watches the rows of the actions list and tells when an operation that was
// under way ends: finished, stopped or unable to connect. The main window
// shows these in the tray while it sits there. Main thread only.
class OperationOutcomes : public QObject
{
    Q_OBJECT

public:
    explicit OperationOutcomes(ActionsList& actions, QObject* parent = nullptr);

Q_SIGNALS:
    // `title` names the operation ("Upload: a.txt,b.txt"); `outcome` is its
    // Progress text ("Completed!", "Incomplete (Stopped)", ...).
    void operationEnded(const QString& title, const QString& outcome);

private:
    void rowChanged(int index);

    ActionsList& actions_;
    QHash<const ftpOperationObject*, OperationStatus> lastStatus_;
};
