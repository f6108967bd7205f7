#include "remote/ListingSink.h"

#include "net/TFtpClient.h"

#include <utility>

listingSink::listingSink(listingSource source, taker take)
    : take_(std::move(take))
    , parser_(std::move(source))
{
}

bool listingSink::fetch(TFtpClient& client)
{
    // A request that fails before its data starts leaves the sink set; the
    // client must not reach this one after it is gone.
    struct release {
        TFtpClient& client;
        ~release() { client.SetDownloadSink(nullptr); }
    } const releaseAfter { client };
    client.SetDownloadSink(this);
    const bool listed = client.Dir();
    if (listed)
        complete();
    else
        abandon();
    return listed;
}

void listingSink::feed(std::string_view bytes)
{
    fed_ += static_cast<qint64>(bytes.size());
    if (copy_ && copyWhole_)
        copyWhole_ = copy_->write(bytes.data(), static_cast<qint64>(bytes.size()))
            == static_cast<qint64>(bytes.size());
    if (declined_)
        return;
    parser_.feed(bytes);
    hand(parser_.take());
}

void listingSink::complete()
{
    if (declined_ || std::exchange(completed_, true))
        return;
    parser_.finish();
    for (auto parsed = parser_.waitForMore(); !parsed.empty() && !declined_; parsed = parser_.waitForMore())
        hand(std::move(parsed));
}

void listingSink::abandon()
{
    declined_ = true;
    parser_.stop();
}

bool listingSink::start(qint64 position)
{
    return position == 0 && fed_ == 0;
}

bool listingSink::writeAt(qint64, const char* data, qint64 length)
{
    feed(std::string_view(data, static_cast<std::size_t>(length)));
    return true;
}

void listingSink::discardFrom(qint64)
{
    abandon();
}

QString listingSink::failureText() const
{
    return QStringLiteral("a listing cannot be read again once part of it was read");
}

void listingSink::hand(parallelListingParser::entries parsed)
{
    for (entryBlock& block : parsed) {
        if (declined_ || !take_(std::move(block))) {
            abandon();
            return;
        }
    }
}
