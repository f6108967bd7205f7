#include "transfer/WorkerContext.h"

#include "net/TCustomFtpCli.h"

std::size_t WorkerContext::batchEnd(const std::vector<QByteArray>& commands, std::size_t first)
{
    // A command too long for a line is refused before it leaves, and with it
    // the batch it is in: it goes alone.
    const auto tooLong
        = [](const QByteArray& command) { return command.size() > TCustomFtpCli::commandLineMaxBytes; };
    std::size_t end = first;
    qsizetype bytes = 0;
    while (end < commands.size() && end - first < commandsPerBatch) {
        bytes += commands[end].size() + 2;
        if (end > first && (bytes > bytesPerBatch || tooLong(commands[end])))
            break;
        ++end;
        if (tooLong(commands[end - 1]))
            break;
    }
    return end;
}
