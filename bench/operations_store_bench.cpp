#include "transfer/OperationsStore.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

// One download of `files` files beside 199 small ones: the actions list a
// user has after queueing a large folder.
std::vector<std::unique_ptr<ftpOperationObject>> actionsList(std::int64_t files)
{
    std::vector<std::unique_ptr<ftpOperationObject>> operations;
    for (int i = 0; i < 200; ++i) {
        auto op = std::make_unique<ftpOperationObject>();
        op->request.site.name = "site " + std::to_string(i);
        op->request.site.hostAddress = "ftp.example.org";
        op->request.site.persistent = true;
        const std::int64_t count = i == 0 ? files : 3;
        for (std::int64_t f = 0; f < count; ++f)
            op->request.items.files.push_back(entryAt(
                "/pub/folder " + std::to_string(f / 100) + "/file " + std::to_string(f) + ".bin", 4096));
        operations.push_back(std::move(op));
    }
    return operations;
}

std::vector<const ftpOperationObject*> pointersTo(const std::vector<std::unique_ptr<ftpOperationObject>>& ops)
{
    std::vector<const ftpOperationObject*> pointers;
    for (const auto& op : ops)
        pointers.push_back(op.get());
    return pointers;
}

void storeActionsList(benchmark::State& state)
{
    const QTemporaryDir folder;
    const auto operations = actionsList(state.range(0));
    const auto pointers = pointersTo(operations);
    operationsStore store(folder.filePath(QStringLiteral("Registry.ini")));
    for (auto _ : state)
        benchmark::DoNotOptimize(store.storeAll(pointers));
}

void loadActionsList(benchmark::State& state)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Registry.ini"));
    operationsStore(path).storeAll(pointersTo(actionsList(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(operationsStore(path).loadAll("guest@"));
}

} // namespace

BENCHMARK(storeActionsList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(loadActionsList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
