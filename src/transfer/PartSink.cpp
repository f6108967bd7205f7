#include "transfer/PartSink.h"

#include "transfer/PartStore.h"

PartSink::PartSink(PartStore& store, int part, bool text)
    : store_(&store)
    , part_(part)
    , text_(text)
{
}

bool PartSink::start(qint64 position)
{
    if (!store_ || position < 0)
        return false;
    if (text_) {
        // Every attempt fetches the whole text again.
        if (position != 0)
            return false;
        decoder_.reset();
        store_->forgetFrom(part_, store_->parts()[static_cast<std::size_t>(part_)].start);
        return true;
    }
    return static_cast<std::uint64_t>(position) == store_->nextPosition(part_);
}

bool PartSink::writeAt(qint64 position, const char* data, qint64 length)
{
    if (!store_ || position < 0 || length < 0)
        return false;
    if (text_)
        return writeText(data, length);
    return store_->write(
        part_, static_cast<std::uint64_t>(position), data, static_cast<std::uint64_t>(length));
}

bool PartSink::writeText(const char* data, qint64 length)
{
    converted_.clear();
    decoder_.decode(data, length, converted_);
    return store_->write(part_, store_->nextPosition(part_), converted_.constData(),
        static_cast<std::uint64_t>(converted_.size()));
}

void PartSink::discardFrom(qint64 position)
{
    if (!store_ || position < 0)
        return;
    if (text_) {
        // A text transfer always starts at 0, and no later remote position
        // has a local one.
        decoder_.reset();
        store_->forgetFrom(part_, store_->parts()[static_cast<std::size_t>(part_)].start);
        return;
    }
    store_->forgetFrom(part_, static_cast<std::uint64_t>(position));
}

void PartSink::finish()
{
    if (!store_)
        return;
    if (text_) {
        converted_.clear();
        decoder_.flush(converted_);
        if (!converted_.isEmpty())
            store_->write(part_, store_->nextPosition(part_), converted_.constData(),
                static_cast<std::uint64_t>(converted_.size()));
    }
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
