#pragma once

#include "settings/ConnectionOptions.h"

#include <QStringList>

#include <string>
#include <vector>

// The fields of the two option dialogs as values: how each is filled from
// connectionOptions and how it is read back on "OK". The dialogs only show
// these values and hand them back.

// "Connection Options".
struct optionsFormFields {
    static constexpr int maxTimeout = connectionOptions::maxTimeoutPeriod;
    static constexpr int maxKeepAlive = 25000;
    static constexpr int maxAttempts = 25000;

    int modeChoice = 0; // 0 "Auto", 1 "ASCII", 2 "Binary"
    std::vector<std::string> asciiTypes; // in the list's sorted order
    // The number fields as typed: only digits, possibly empty.
    std::string timeout;
    std::string keepAlive;
    std::string attempts;
    bool alwaysPassive = false;
    std::string anonymousPassword;
    // 0 "Ask", 1 "No", 2 "Yes"
    int downloadsChoice = 0;
    int uploadsChoice = 0;
    int deletesChoice = 0;

    static optionsFormFields from(const connectionOptions& options);
    void applyTo(connectionOptions& options) const;

    // "Add": false when an entry equal but for case is listed already.
    bool addAsciiType(const std::string& extension);
    // "Delete file type".
    void removeAsciiType(int index);
};

// "Firewall & Proxy Options", in its FTP or its HTTP view.
struct firewallProxyFields {
    enum View { Ftp = 0, Http = 1 };

    int type = 0; // index of the view's connection type choice
    std::string proxyServer;
    std::string proxyPort; // "" for a stored 0
    std::string proxyUser; // HTTP view only
    std::string proxyPassword; // HTTP view only
    std::string socksServer;
    std::string socksPort;
    std::string socksUser;
    std::string socksPassword;

    static QString title(View view);
    static QStringList typeChoices(View view);
    static firewallProxyFields from(const connectionOptions& options, View view);
    // Stores the view's settings; the other view's stay as they are.
    void applyTo(connectionOptions& options, View view) const;
};
