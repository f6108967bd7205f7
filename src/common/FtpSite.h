#pragma once

#include "common/P2pNetwork.h"

#include <cstdint>
#include <string>

// A site profile. It is copied by value wherever it travels; texts are bytes
// (UTF-8 here) kept as the server or the user gave them.
struct ftpSite {
    static constexpr int unmeasuredPing = 4096;

    std::string name;
    std::string hostAddress; // the address connected to
    std::string p2pUserName; // the owner's name on the P2P network
    std::string displayAddress; // hostAddress when persistent, else p2pUserName
    std::uint32_t port = 21;
    bool anonymous = true;
    std::string userId;
    std::string password;
    std::string initialDirectory;
    std::string description;
    // true: fixed address in hostAddress; false: looked up by p2pUserName
    // before every connection.
    bool persistent = true;
    int connectionSpeed = 0; // index into the shell's speed labels
    int pingMs = unmeasuredPing;
    std::string country;
    bool supportsRest = false;
    bool supportsMd5 = false;
    bool supportsWebLink = false;
    p2pNetwork network;

    // The address as lists show it: in angle brackets when it is a P2P name.
    std::string shownAddress() const { return persistent ? displayAddress : "<" + displayAddress + ">"; }
};
