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
    return a.files == b.files && a.folders == b.folders && a.links == b.links && a.localPath == b.localPath
        && a.kind == b.kind && a.status == b.status && a.cacheFile == b.cacheFile
        && a.lastFileIndex == b.lastFileIndex && a.lastFileBytePeriod == b.lastFileBytePeriod
        && a.lastFileConnections == b.lastFileConnections && a.priority == b.priority
        && a.autoTry == b.autoTry && a.site.name == b.site.name && a.site.hostAddress == b.site.hostAddress
        && a.site.p2pUserName == b.site.p2pUserName && a.site.displayAddress == b.site.displayAddress
        && a.site.port == b.site.port && a.site.anonymous == b.site.anonymous
        && a.site.userId == b.site.userId && a.site.password == b.site.password
        && a.site.persistent == b.site.persistent;
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
        FUZZ_CHECK(operation->site.port >= 1 && operation->site.port <= 65535);
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
