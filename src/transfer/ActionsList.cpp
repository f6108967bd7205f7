#include "transfer/ActionsList.h"

#include "common/ProgramFolders.h"
#include "common/TransferWindow.h"

#include <QFile>
#include <QtDebug>

namespace
{
// Cache file names come from the store, which a person may edit: only a
// plain name inside the cache folder may be deleted.
bool isPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

// No window survives a run: a row stored while its window still ran (the
// store is written as operations go, so a crash leaves such rows) is
// restored as stopped, or as completed when its work was done.
OperationStatus restoredStatus(OperationStatus stored)
{
    switch (stored) {
    case OperationStatus::Running:
    case OperationStatus::Connecting:
        return OperationStatus::Stopped;
    case OperationStatus::Finished:
        return OperationStatus::Completed;
    default:
        return stored;
    }
}
} // namespace

ActionsList::ActionsList(QString registryPath, QObject* parent)
    : QObject(parent)
    , registryPath_(std::move(registryPath))
    , store_(registryPath_)
{
}

void ActionsList::loadAll(const std::string& anonymousPassword)
{
    loading_ = true;
    bool repaired = false;
    for (auto& operation : store_.loadAll(anonymousPassword)) {
        const OperationStatus stored = operation->status;
        const OperationStatus restored = restoredStatus(stored);
        repaired |= restored != stored;
        ftpOperationObject* added = addOperation(std::move(*operation));
        setStatus(added, restored, 0);
    }
    loading_ = false;
    if (repaired)
        persist();
}

std::vector<const ftpOperationObject*> ActionsList::storedRows() const
{
    std::vector<const ftpOperationObject*> operations;
    operations.reserve(rows_.size());
    for (const Row& row : rows_)
        operations.push_back(row.operation.get());
    return operations;
}

bool ActionsList::storeAll()
{
    writer_.flush();
    lastStoreError_.clear();
    return store_.storeAll(storedRows(), &lastStoreError_);
}

void ActionsList::persist()
{
    if (loading_)
        return;
    // The writer gets copies: the rows change while it writes.
    auto snapshot = std::make_shared<std::vector<ftpOperationObject>>();
    snapshot->reserve(rows_.size());
    for (const Row& row : rows_)
        snapshot->push_back(*row.operation);
    writer_.post([this, snapshot] {
        std::vector<const ftpOperationObject*> operations;
        operations.reserve(snapshot->size());
        for (const ftpOperationObject& operation : *snapshot)
            operations.push_back(&operation);
        QString error;
        if (!store_.storeAll(operations, &error))
            qWarning().noquote() << "The list of actions could not be saved:" << error;
    });
}

void ActionsList::operationChanged()
{
    persist();
}

ftpOperationObject* ActionsList::addOperation(ftpOperationObject operation)
{
    rows_.push_back({ std::make_unique<ftpOperationObject>(std::move(operation)), QString() });
    Q_EMIT rowAdded(rowCount() - 1);
    persist();
    return rows_.back().operation.get();
}

int ActionsList::indexOf(const ftpOperationObject* operation) const
{
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].operation.get() == operation)
            return static_cast<int>(i);
    return -1;
}

void ActionsList::setStatus(ftpOperationObject* operation, OperationStatus status, int percent)
{
    const int index = indexOf(operation);
    if (index < 0)
        return;
    Row& row = rows_[static_cast<size_t>(index)];
    const bool changed = operation->status != status;
    operation->status = status;
    row.statusText = statusText(status, percent, row.statusText);
    Q_EMIT rowChanged(index);
    // Progress ticks of a running operation are not worth a disk write.
    if (changed)
        persist();
}

void ActionsList::clearOperation(ftpOperationObject* operation, bool deleteCache)
{
    const int index = indexOf(operation);
    if (index < 0)
        return;
    if (deleteCache && isPlainFileName(operation->cacheFile))
        QFile::remove(
            joinPath(programFile(QStringLiteral("Cache")), QString::fromStdString(operation->cacheFile)));
    if (operation->window)
        operation->window->operationRowRemoved();
    rows_.erase(rows_.begin() + index);
    Q_EMIT rowRemoved(index);
    persist();
}

void ActionsList::discardAll()
{
    while (!rows_.empty()) {
        rows_.pop_back();
        Q_EMIT rowRemoved(rowCount());
    }
}
