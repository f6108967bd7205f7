#include "p2p/IndexServerClient.h"

#include "common/DigestText.h"
#include "common/Prompter.h"
#include "net/THttpCli.h"
#include "p2p/IndexTexts.h"
#include "settings/ApplyOptions.h"
#include "settings/ConnectionOptions.h"

#include <QBuffer>
#include <QScopeGuard>

namespace
{

// One GET (without body) or POST on the caller's client. Returns the reply
// text, or nothing when the request failed or the server answered 400 or
// more. The client keeps no pointer to the buffers afterwards.
std::optional<std::string> exchange(THttpCli& http, const std::string& url, const std::string* body)
{
    // A client already busy (the caller was re-entered while it waited)
    // keeps its own request's streams.
    if (http.State() != httpReady)
        return std::nullopt;
    QBuffer received;
    received.open(QIODevice::WriteOnly);
    QBuffer sent;
    http.SetURL(QString::fromStdString(url));
    http.SetRcvdStream(&received);
    const auto releaseStreams = qScopeGuard([&http] {
        http.SetRcvdStream(nullptr);
        http.SetSendStream(nullptr);
    });
    try {
        if (body) {
            sent.setData(QByteArray::fromStdString(*body));
            sent.open(QIODevice::ReadOnly);
            http.SetSendStream(&sent);
            http.Post();
        } else {
            http.Get();
        }
    } catch (const EHttpException&) {
        return std::nullopt;
    }
    const QByteArray& data = received.data();
    return replyText(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
}

std::string resumeUrl(const p2pNetwork& network)
{
    return urlJoin(network.indexUrl, "/v6/resume.php");
}

} // namespace

bool resolveIndexServer(
    IndexCaller caller, const connectionOptions& options, p2pNetwork& network, bool showErrors)
{
    applyHttpProxy(caller.http, options);
    const auto reply = exchange(caller.http, urlJoin(network.baseUrl, "getsindex.php"), nullptr);
    if (reply && isUsableIndexUrl(*reply)) {
        network.indexUrl = *reply;
        return true;
    }
    // What a failed request left behind is no address to use.
    network.indexUrl.clear();
    if (showErrors && !caller.aborted && caller.prompter)
        caller.prompter->showErrorBox(indexTexts::unresolvedIndexServer());
    return false;
}

std::optional<std::string> searchIndex(
    IndexCaller caller, const connectionOptions& options, const p2pNetwork& network, const SearchQuery& query)
{
    applyHttpProxy(caller.http, options);
    const std::string body = searchBody(query, network.userName, network.password);
    auto reply = exchange(caller.http, urlJoin(network.indexUrl, "/v6/search.php"), &body);
    if (!reply && !caller.aborted && caller.prompter)
        caller.prompter->showErrorBox(indexTexts::searchFailed());
    return reply;
}

std::optional<UserAddress> resolveUserAddress(IndexCaller caller, const connectionOptions& options,
    p2pNetwork& network, const std::string& p2pUser, bool showErrors)
{
    if (network.indexUrl.empty() && !resolveIndexServer(caller, options, network, true))
        return std::nullopt;
    const std::string body = resolveUserBody(p2pUser, network.userName, network.password);
    const auto reply = exchange(caller.http, resumeUrl(network), &body);
    if (reply && !caller.aborted && resumeReplySucceeded(*reply) && reply->find('*') != std::string::npos) {
        if (auto address = parseUserAddress(*reply))
            return address;
    }
    if (showErrors && !caller.aborted && caller.prompter)
        caller.prompter->showErrorBox(indexTexts::userOffline(QString::fromStdString(p2pUser)));
    return std::nullopt;
}

std::optional<std::string> findOtherSources(
    IndexCaller caller, const p2pNetwork& network, const std::string& md5)
{
    if (!isDigestText(md5))
        return std::nullopt;
    const std::string body = otherSourcesBody(md5, network.userName, network.password);
    auto reply = exchange(caller.http, resumeUrl(network), &body);
    if (!reply || caller.aborted || !resumeReplySucceeded(*reply))
        return std::nullopt;
    return reply;
}

bool findUpdateIndex(IndexCaller caller, const p2pNetwork& network, UpdateIndexUrlStore& store)
{
    const auto reply = exchange(caller.http, urlJoin(network.baseUrl, "getpindex.php"), nullptr);
    if (reply && updateIndexReplyAccepted(*reply)) {
        std::string updateIndexUrl = urlJoin(*reply, "p2p/v6");
        if (isUsableIndexUrl(updateIndexUrl)) {
            store.setUpdateIndexUrl(std::move(updateIndexUrl));
            return true;
        }
    }
    store.setUpdateIndexUrl({});
    return false;
}

bool publishMd5(IndexCaller caller, const UpdateIndexUrlStore& store, const Md5Report& report,
    const QStringList& ownAddresses)
{
    std::vector<std::string> addresses;
    for (const QString& address : ownAddresses)
        addresses.push_back(address.toStdString());
    const std::string publicAddress = firstPublicAddress(addresses);
    if (publicAddress.empty() || !isDigestText(report.md5))
        return false;
    caller.http.SetContentTypePost(QStringLiteral("application/x-www-form-urlencoded"));
    const std::string body = publishBody(report, publicAddress);
    const auto reply = exchange(caller.http, urlJoin(store.getUpdateIndexUrl(), "updatemd5.php"), &body);
    return reply && publishReplySucceeded(*reply);
}
