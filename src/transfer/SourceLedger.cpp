#include "transfer/SourceLedger.h"

SourceLedger::SourceLedger(ftpSite ownSite)
{
    sources_.push_back(std::move(ownSite));
}

void SourceLedger::addSource(ftpSite site)
{
    sources_.push_back(std::move(site));
}

const SourceLedger::Seat& SourceLedger::seat(int connection) const
{
    return seats_.at(static_cast<std::size_t>(connection));
}

SourceLedger::Seat& SourceLedger::seat(int connection)
{
    return seats_.at(static_cast<std::size_t>(connection));
}

const ftpSite& SourceLedger::sourceOf(int connection) const
{
    return sources_[seat(connection).source];
}

void SourceLedger::setLoggedIn(int connection, bool loggedIn)
{
    seat(connection).loggedIn = loggedIn;
}

void SourceLedger::moveOn(int connection)
{
    Seat& s = seat(connection);
    s.source = (s.source + 1) % sources_.size();
    s.loggedIn = false;
}
