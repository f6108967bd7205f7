#pragma once

class TFtpClient;
class THttpCli;
class connectionOptions;

// Gives an FTP component the firewall, proxy and time-out settings, before
// it connects: the time-out, the connection type, the FTP proxy (its port
// stays "ftp" when the setting is 0) or the SOCKS server, and passive mode
// (forced by every type but Direct, else AlwaysUsePassiveMode). HostName
// and Port stay the site's. Transfer workers also set ShareMode,
// DisplayFileFlag and MultiThreaded themselves.
void applyConnectionOptions(TFtpClient& client, const connectionOptions& options);

// Gives an HTTP component the HTTP settings: a direct connection, the HTTP
// proxy or the SOCKS 4 or 5 server of HTTPConnectionType, and TimeoutPeriod
// as the deadline of every request (when it is 0, the client's default
// deadline, since an index request must not wait forever).
void applyHttpProxy(THttpCli& http, const connectionOptions& options);
