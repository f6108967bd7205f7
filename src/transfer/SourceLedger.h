#pragma once

#include "common/FtpSite.h"

#include <array>
#include <cstddef>
#include <vector>

// The servers one file can be fetched from, and which connection is at
// which of them: the operation's own site first, then the other sources
// found for the file's digest. A connection keeps the server it is logged
// into; after a failure it moves on to the next one. Worker thread only.
class SourceLedger
{
public:
    static constexpr int connectionCount = 8;

    explicit SourceLedger(ftpSite ownSite);

    void addSource(ftpSite site);
    std::size_t sourceCount() const { return sources_.size(); }

    // The server `connection` is at, logged in or about to be.
    const ftpSite& sourceOf(int connection) const;
    bool atOwnServer(int connection) const { return seat(connection).source == 0; }
    bool loggedIn(int connection) const { return seat(connection).loggedIn; }
    void setLoggedIn(int connection, bool loggedIn);
    // The connection leaves its server for the next one (the same when the
    // file has only one); it is not logged in there yet.
    void moveOn(int connection);

private:
    struct Seat {
        std::size_t source = 0;
        bool loggedIn = false;
    };
    const Seat& seat(int connection) const;
    Seat& seat(int connection);

    std::vector<ftpSite> sources_;
    std::array<Seat, connectionCount> seats_ {};
};
