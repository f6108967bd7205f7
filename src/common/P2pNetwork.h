#pragma once

#include <string>

// One peer-to-peer network: where its index server lives and how to log in.
// `indexUrl` is filled once the base URL has been resolved to the index server.
struct p2pNetwork {
    std::string name;
    std::string baseUrl;
    std::string userName;
    std::string password;
    int flags = 0;
    std::string indexUrl;
};
