#pragma once

class TFtpClient;
class connectionOptions;

// Gives a component the firewall, proxy and time-out settings, before it
// connects: the time-out, the connection type, the FTP proxy (its port
// stays "ftp" when the setting is 0) or the SOCKS server, and passive mode
// (forced by every type but Direct, else AlwaysUsePassiveMode). HostName
// and Port stay the site's. Transfer workers also set ShareMode,
// DisplayFileFlag and MultiThreaded themselves.
void applyConnectionOptions(TFtpClient& client, const connectionOptions& options);
