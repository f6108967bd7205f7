// Part records (".parts") and the files a resumed download finds beside
// them: any bytes read as a record or as none, a record read writes back
// to the same record, and a download resumed over them trusts no byte
// beyond what the record, the data file and an old part file hold, with
// every part inside its own range.
//
// The input: one byte choosing the plan (bit 7 clear: the size and count of
// parts the record gives, as a download of the file it names plans them;
// set: a count from 1 to 8 of a size read from three bytes), three bytes for
// the data file's length, one for the length of an old part file ".1" (in
// units of 257 bytes), three for the planned size, then the record's bytes.

#include "FuzzFiles.h"
#include "FuzzInput.h"

#include "transfer/PartPlan.h"
#include "transfer/PartRecord.h"
#include "transfer/PartStore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>

namespace
{

struct Plan {
    int count = 1;
    std::uint64_t size = 0;
    std::uint64_t dataLength = 0;
    std::uint64_t oldPartLength = 0;
};

std::uint64_t takeNumber(FuzzInput& input, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | input.takeByte();
    return value;
}

bool sameRecord(const PartRecord& a, const PartRecord& b)
{
    return a.size == b.size && a.partLength == b.partLength && a.done == b.done && a.source == b.source
        && a.date == b.date;
}

// A file of `length` bytes: a head of data, then a hole, so that long files
// cost a run nothing.
bool writeFilled(const QString& path, std::uint64_t length, char fill)
{
    QFile file(path);
    return writeFuzzFile(
               path, QByteArray(static_cast<qsizetype>(std::min<std::uint64_t>(length, 4096)), fill))
        && file.resize(static_cast<qint64>(length));
}

void checkReadRecord(const PartRecord& record)
{
    FUZZ_CHECK(!record.done.empty() && record.done.size() <= 64);
    const QString again = fuzzFile(QStringLiteral("again.parts"));
    QString error;
    FUZZ_CHECK(writePartRecord(again, record, &error, false));
    const auto reread = readPartRecord(again);
    FUZZ_CHECK(reread && sameRecord(*reread, record));
}

// What a resumed part may hold at most: the record's count when the record
// is of this plan, else part 0 what the data file holds and the others
// nothing; part 1 may also take what an old part file ".1" holds.
std::uint64_t mostTrusted(const std::optional<PartRecord>& record, const std::vector<FilePart>& planned,
    const Plan& plan, std::size_t index)
{
    const bool matches = record && record->size == planned.back().end
        && record->partLength == planned.front().length() && record->done.size() == planned.size();
    const std::uint64_t most = matches ? record->done[index] : (index == 0 ? plan.dataLength : 0);
    return index == 1 ? std::max(most, plan.oldPartLength) : most;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t choice = input.takeByte();
    Plan plan;
    plan.dataLength = takeNumber(input, 3);
    plan.oldPartLength = takeNumber(input, 1) * 257;
    plan.size = takeNumber(input, 3);
    plan.count = 1 + choice % 8;

    const QString target = fuzzFile(QStringLiteral("file.bin"));
    for (const QString& name : { target, partFileName(target, 0), partFileName(target, 1) })
        QFile::remove(name);
    if (!writeFuzzFile(partRecordName(target), input.restBytes()))
        return 0;

    const auto record = readPartRecord(partRecordName(target));
    if (record)
        checkReadRecord(*record);
    PartStore::Origin origin { "/pub/file.bin", {} };
    if (record && (choice & 0x80) == 0) {
        plan.size = record->size;
        plan.count = static_cast<int>(record->done.size());
        origin = { record->source.value_or(std::string()), record->date };
    }

    const std::vector<FilePart> planned = splitIntoParts(plan.size, plan.count);
    const QString dataFile = plan.count > 1 ? partFileName(target, 0) : target;
    if (!writeFilled(dataFile, plan.dataLength, 'a')
        || (plan.count > 1 && plan.oldPartLength > 0
            && !writeFilled(partFileName(target, 1), plan.oldPartLength, 'A')))
        return 0;

    PartStore store(target, planned, false, origin);
    if (!store.open(true)) {
        FUZZ_CHECK(!store.error().isEmpty());
        return 0;
    }
    const std::vector<FilePart>& parts = store.parts();
    FUZZ_CHECK(parts.size() == planned.size());
    const auto inFile = static_cast<std::uint64_t>(QFileInfo(dataFile).size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const FilePart& part = parts[i];
        FUZZ_CHECK(part.start == planned[i].start && part.end == planned[i].end);
        FUZZ_CHECK(part.done <= part.length());
        FUZZ_CHECK(part.done == 0 || part.start + part.done <= inFile);
        FUZZ_CHECK(part.done <= mostTrusted(record, planned, plan, i));
        const std::uint64_t next = store.nextPosition(static_cast<int>(i));
        FUZZ_CHECK(next >= part.start && next <= part.end);
    }
    if (parts.size() > 1) {
        // The record on disk now says what the parts hold.
        const auto written = readPartRecord(partRecordName(target));
        FUZZ_CHECK(written && written->size == plan.size && written->done.size() == parts.size());
        for (std::size_t i = 0; i < parts.size(); ++i)
            FUZZ_CHECK(written->done[i] == parts[i].done);
    }
    return 0;
}
