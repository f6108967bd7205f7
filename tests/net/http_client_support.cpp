#include "http_client_support.h"

#include <QBuffer>

namespace
{

HttpReply run(THttpCli& http, const QString& url, const QByteArray* body)
{
    QBuffer document;
    document.open(QIODevice::WriteOnly);
    QBuffer sent;
    http.SetURL(url);
    http.SetRcvdStream(&document);
    HttpReply reply;
    try {
        if (body) {
            sent.setData(*body);
            sent.open(QIODevice::ReadOnly);
            http.SetSendStream(&sent);
            http.Post();
        } else {
            http.Get();
        }
    } catch (const EHttpException& error) {
        reply.raised = true;
        reply.message = error.message();
        reply.code = error.ErrorCode();
    }
    http.SetRcvdStream(nullptr);
    http.SetSendStream(nullptr);
    reply.body = document.data();
    return reply;
}

} // namespace

HttpReply httpGet(THttpCli& http, const QString& url)
{
    return run(http, url, nullptr);
}

HttpReply httpPost(THttpCli& http, const QString& url, const QByteArray& body)
{
    return run(http, url, &body);
}
