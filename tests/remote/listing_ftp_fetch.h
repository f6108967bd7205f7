#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Just enough FTP to fetch one listing from a server on 127.0.0.1: log in,
// enter passive mode, send the listing command and read the data connection
// to its end. The program's own FTP client is deliberately not used, so the
// parser is checked against what the server sends and nothing else.
struct fetchedListing {
    QByteArray data;
    QString error; // empty when the exchange succeeded
};

// `preparation`: commands sent after logging in, each to be answered with 2xx.
fetchedListing fetchListing(quint16 port, const QByteArray& user, const QByteArray& password,
    const QByteArray& listCommand, const QList<QByteArray>& preparation = {});
