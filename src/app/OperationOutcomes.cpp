#include "app/OperationOutcomes.h"

#include "transfer/ActionsList.h"

namespace
{
bool underWay(OperationStatus status)
{
    return status == OperationStatus::Running || status == OperationStatus::Connecting;
}

bool ended(OperationStatus status)
{
    return status == OperationStatus::Finished || status == OperationStatus::Stopped
        || status == OperationStatus::ConnectionError;
}
} // namespace

OperationOutcomes::OperationOutcomes(ActionsList& actions, QObject* parent)
    : QObject(parent)
    , actions_(actions)
{
    for (int i = 0; i < actions_.rowCount(); ++i)
        lastStatus_.insert(actions_.row(i).operation.get(), actions_.row(i).operation->status);
    connect(&actions_, &ActionsList::rowChanged, this, &OperationOutcomes::rowChanged);
    connect(&actions_, &ActionsList::rowAdded, this, &OperationOutcomes::rowChanged);
    // A cleared row's record is gone; its address may come back for another.
    connect(&actions_, &ActionsList::rowRemoved, this, [this] {
        QHash<const ftpOperationObject*, OperationStatus> kept;
        for (int i = 0; i < actions_.rowCount(); ++i) {
            const ftpOperationObject* operation = actions_.row(i).operation.get();
            kept.insert(operation, lastStatus_.value(operation, operation->status));
        }
        lastStatus_ = std::move(kept);
    });
}

void OperationOutcomes::rowChanged(int index)
{
    if (index < 0 || index >= actions_.rowCount())
        return;
    const ActionsList::Row& row = actions_.row(index);
    const ftpOperationObject& operation = *row.operation;
    const auto previous = lastStatus_.find(&operation);
    const bool wasUnderWay = previous != lastStatus_.end() && underWay(*previous);
    lastStatus_.insert(&operation, operation.status);
    if (wasUnderWay && ended(operation.status))
        Q_EMIT operationEnded(kindText(operation.request.kind) + QStringLiteral(": ")
                + itemsColumnText(displayNamesOf(operation.request.items)),
            row.statusText);
}
