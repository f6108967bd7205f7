#pragma once

#include "common/BackgroundWriter.h"
#include "transfer/FtpOperation.h"
#include "transfer/OperationsStore.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// The rows of the actions list: each row owns its operation. Every change
// that matters after a crash (a row added or cleared, a status set, a
// worker's resume state) is written to the operations store at once, on the
// store's own thread so that the main thread never waits for the disk. Main
// thread only.
class ActionsList : public QObject
{
    Q_OBJECT

public:
    struct Row {
        std::unique_ptr<ftpOperationObject> operation;
        QString statusText;
    };

    explicit ActionsList(QString registryPath, QObject* parent = nullptr);

    // Reads the stored operations into rows, each with its stored status.
    void loadAll(const std::string& anonymousPassword);
    // Stored operations loadAll left out (more than the store reads).
    std::uint64_t operationsLeftOut() const { return store_.leftOut(); }
    // Writes every row to the store and waits for it. False when the store
    // could not be written (the reason in `lastStoreError()`).
    bool storeAll();
    const QString& lastStoreError() const { return lastStoreError_; }

    ftpOperationObject* addOperation(ftpOperationObject operation);
    void setStatus(ftpOperationObject* operation, OperationStatus status, int percent);
    // A running worker changed what a restart needs (the file and parts it
    // is at).
    void operationChanged();
    // Removes the row; `deleteCache` also deletes the operation's directory
    // cache file from the "Cache" folder.
    void clearOperation(ftpOperationObject* operation, bool deleteCache);
    // Discards every row without touching cache files (at the end of a run).
    void discardAll();

    int rowCount() const { return static_cast<int>(rows_.size()); }
    const Row& row(int index) const { return rows_[static_cast<size_t>(index)]; }
    int indexOf(const ftpOperationObject* operation) const;

Q_SIGNALS:
    void rowAdded(int index);
    void rowChanged(int index);
    void rowRemoved(int index);

private:
    void persist();
    std::vector<const ftpOperationObject*> storedRows() const;

    QString registryPath_;
    operationsStore store_;
    std::vector<Row> rows_;
    QString lastStoreError_;
    bool loading_ = false;
    // Last, so that it ends (writing what still waits) before the store.
    BackgroundWriter writer_;
};
