// The operations store (Registry.ini): any bytes load, and what is stored
// loads back to the same operations.

#include "FuzzFiles.h"
#include "FuzzInput.h"

#include "transfer/OperationsStore.h"

#include <cstdint>

namespace
{

bool sameOperation(const ftpOperationObject& a, const ftpOperationObject& b)
{
    return a.request.items.files == b.request.items.files
        && a.request.items.folders == b.request.items.folders
        && a.request.items.links == b.request.items.links && a.request.destination == b.request.destination
        && a.request.kind == b.request.kind && a.status == b.status && a.cacheFile == b.cacheFile
        && a.lastFileIndex == b.lastFileIndex && a.lastFileBytePeriod == b.lastFileBytePeriod
        && a.lastFileConnections == b.lastFileConnections && a.priority == b.priority
        && a.autoTry == b.autoTry && a.request.site.name == b.request.site.name
        && a.request.site.hostAddress == b.request.site.hostAddress
        && a.request.site.p2pUserName == b.request.site.p2pUserName
        && a.request.site.displayAddress == b.request.site.displayAddress
        && a.request.site.port == b.request.site.port && a.request.site.anonymous == b.request.site.anonymous
        && a.request.site.userId == b.request.site.userId
        && a.request.site.password == b.request.site.password
        && a.request.site.persistent == b.request.site.persistent;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzInput input(data, size);
    const QString path = fuzzFile(QStringLiteral("Registry.ini"));
    const QString again = fuzzFile(QStringLiteral("again.ini"));
    if (!writeFuzzFile(path, input.restBytes()))
        return 0;
    QFile::remove(again);

    const auto loaded = operationsStore(path).loadAll("guest@example.org");
    std::vector<const ftpOperationObject*> operations;
    for (const auto& operation : loaded) {
        FUZZ_CHECK(operation->request.site.port >= 1 && operation->request.site.port <= 65535);
        operations.push_back(operation.get());
    }
    operationsStore store(again);
    QString error;
    if (!store.storeAll(operations, &error)) {
        // Operations without most of their keys take more room written
        // back: a list beyond the ini file's limits is refused, never
        // written in a form that would not load.
        FUZZ_CHECK(error.contains(QStringLiteral("could not be read back")));
        return 0;
    }
    const auto reloaded = operationsStore(again).loadAll("guest@example.org");
    FUZZ_CHECK(reloaded.size() == loaded.size());
    for (std::size_t i = 0; i < loaded.size(); ++i)
        FUZZ_CHECK(sameOperation(*loaded[i], *reloaded[i]));
    return 0;
}
