#include "transfer/PartSink.h"

#include "transfer/PartStore.h"

PartSink::PartSink(PartStore& store, int part)
    : store_(&store)
    , part_(part)
{
}

bool PartSink::start(qint64 position)
{
    return store_ && position >= 0 && static_cast<std::uint64_t>(position) == store_->nextPosition(part_);
}

bool PartSink::writeAt(qint64 position, const char* data, qint64 length)
{
    return store_ && position >= 0 && length >= 0
        && store_->write(
            part_, static_cast<std::uint64_t>(position), data, static_cast<std::uint64_t>(length));
}

void PartSink::discardFrom(qint64 position)
{
    if (store_ && position >= 0)
        store_->forgetFrom(part_, static_cast<std::uint64_t>(position));
}

void PartSink::finish()
{
    if (store_)
        store_->recordProgress(false);
}

QString PartSink::name() const
{
    return store_ ? store_->dataFile() : QString();
}

QString PartSink::failureText() const
{
    return QStringLiteral("the transfer does not start where the part stands");
}
