#pragma once

#include "net/THttpCli.h"

#include <QByteArray>
#include <QString>

// The outcome of one blocking request, whatever it raised.
struct HttpReply {
    bool raised = false;
    QString message; // of the EHttpException
    int code = 0; // of the EHttpException
    QByteArray body; // what reached the received stream
};

HttpReply httpGet(THttpCli& http, const QString& url);
HttpReply httpPost(THttpCli& http, const QString& url, const QByteArray& body);
