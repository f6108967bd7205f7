#pragma once

#include "common/P2pNetwork.h"
#include "common/UpdateIndexUrlStore.h"
#include "p2p/IndexProtocol.h"

#include <QStringList>

#include <atomic>
#include <optional>
#include <string>

class Prompter;
class THttpCli;
class connectionOptions;

// The requests a client makes to the index server of a P2P network. Each
// runs synchronously on the caller's thread, on the caller's own HTTP
// client (one per search, session and loader thread), and keeps serving
// that thread's events while it waits. The caller aborts a request by
// setting its abort flag first and then aborting the client (THttpCli::
// Abort on its own thread, RequestAbort from another); an aborted request
// never shows a message.

// The caller's side of a request.
struct IndexCaller {
    THttpCli& http;
    const std::atomic<bool>& aborted;
    // Tells the user of failures; null: nobody is told.
    Prompter* prompter = nullptr;
};

// GET getsindex.php below the network's base URL; the reply becomes the
// network's indexUrl. On failure indexUrl is emptied (so that the next user
// resolves again) and, when `showErrors` and not aborted, the user is told.
// A reply that is no usable index URL (isUsableIndexUrl) is a failure.
bool resolveIndexServer(
    IndexCaller caller, const connectionOptions& options, p2pNetwork& network, bool showErrors);

// POST of a search to the resolved index server. Returns the reply (result
// lines, see replyLines and isResultLine), or nothing when the request
// failed; then, unless aborted, the user has been told.
std::optional<std::string> searchIndex(IndexCaller caller, const connectionOptions& options,
    const p2pNetwork& network, const SearchQuery& query);

// The address and port of a P2P user's server. Resolves the index server
// first when the network has none yet. Returns nothing when the user cannot
// be found or the reply names no usable host and port (parseUserAddress);
// then, when `showErrors` and not aborted, the user has been told.
std::optional<UserAddress> resolveUserAddress(IndexCaller caller, const connectionOptions& options,
    p2pNetwork& network, const std::string& p2pUser, bool showErrors);

// Other servers that hold a file with this MD5: the reply's result lines
// (see replyLines, isResultLine and resultLineToObject), or nothing. The
// network must have its indexUrl already. An `md5` that is no digest is
// never sent: nothing is found. Never shows a message.
std::optional<std::string> findOtherSources(
    IndexCaller caller, const p2pNetwork& network, const std::string& md5);

// GET getpindex.php below the network's base URL and store the update
// server's address (reply + "p2p/v6") in `store`; emptied on failure, and
// when that address is no usable index URL.
bool findUpdateIndex(IndexCaller caller, const p2pNetwork& network, UpdateIndexUrlStore& store);

// Reports a file's digest to the update server (findUpdateIndex first).
// `ownAddresses` are this machine's addresses in the platform's order
// (TCustomWSocket::LocalIPList()); without a public one, or when the
// report's md5 is no digest, nothing is sent and the result is false.
bool publishMd5(IndexCaller caller, const UpdateIndexUrlStore& store, const Md5Report& report,
    const QStringList& ownAddresses);
