// How the connection settings reach a component before it connects.

#include "settings/ApplyOptions.h"
#include "net/TFtpClient.h"
#include "settings/ConnectionOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct OptionsCase {
    const char* name;
    std::int32_t type;
    bool alwaysPassive;
    std::int32_t proxyPort;
    // Expected.
    TFtpConnectionType connectionType;
    bool passive;
    QString proxyServer, proxyPortText, socksServer, socksPort;
};

class FtpConnectionOptions : public testing::TestWithParam<OptionsCase>
{
};

TEST_P(FtpConnectionOptions, ReachTheComponentAsTheirTypeAsks)
{
    const OptionsCase& c = GetParam();
    connectionOptions options;
    options.Type = c.type;
    options.AlwaysUsePassiveMode = c.alwaysPassive;
    options.TimeoutPeriod = 42;
    options.ProxyServer = "proxy.example.com";
    options.ProxyPort = c.proxyPort;
    options.SocksServer = "socks.example.com";
    options.SocksPort = 1080;
    options.SocksUser = "alice";
    options.SocksPassword = "wonder";
    TFtpClient client;
    client.SetHostName(QStringLiteral("ftp.example.com"));
    client.SetPort(QStringLiteral("2121"));

    applyConnectionOptions(client, options);

    EXPECT_EQ(client.Timeout(), 42);
    EXPECT_EQ(client.ConnectionType(), c.connectionType);
    EXPECT_EQ(client.Passive(), c.passive);
    EXPECT_EQ(client.ProxyServer(), c.proxyServer);
    EXPECT_EQ(client.ProxyPort(), c.proxyPortText);
    EXPECT_EQ(client.socksRoute().server, c.socksServer);
    EXPECT_EQ(client.socksRoute().port, c.socksPort);
    EXPECT_EQ(client.HostName(), QStringLiteral("ftp.example.com")) << "the site stays the site";
    EXPECT_EQ(client.Port(), QStringLiteral("2121"));
}

const QString noProxy;
const QString ftpPort = QStringLiteral("ftp");
const QString proxyHost = QStringLiteral("proxy.example.com");
const QString socksHost = QStringLiteral("socks.example.com");
const QString socksPort = QStringLiteral("1080");

INSTANTIATE_TEST_SUITE_P(Types, FtpConnectionOptions,
    testing::Values(OptionsCase { "direct_active", 0, false, 0, ftpDirect, false, noProxy, ftpPort, {}, {} },
        OptionsCase { "direct_passive", 0, true, 0, ftpDirect, true, noProxy, ftpPort, {}, {} },
        OptionsCase {
            "proxy_with_port", 1, false, 2100, ftpProxy, true, proxyHost, QStringLiteral("2100"), {}, {} },
        OptionsCase { "proxy_port_zero_keeps_ftp", 1, false, 0, ftpProxy, true, proxyHost, ftpPort, {}, {} },
        OptionsCase { "socks4", 2, false, 0, ftpSocks4, true, noProxy, ftpPort, socksHost, socksPort },
        OptionsCase { "socks4a", 3, false, 0, ftpSocks4A, true, noProxy, ftpPort, socksHost, socksPort },
        OptionsCase { "socks5", 4, false, 0, ftpSocks5, true, noProxy, ftpPort, socksHost, socksPort },
        OptionsCase { "unknown_type_is_direct", 7, false, 0, ftpDirect, false, noProxy, ftpPort, {}, {} }),
    [](const testing::TestParamInfo<OptionsCase>& info) { return std::string(info.param.name); });

TEST(FtpConnectionOptionsSocks, TheSocksAccountReachesTheComponent)
{
    connectionOptions options;
    options.Type = connectionOptions::Socks5;
    options.SocksUser = "alice";
    options.SocksPassword = "wonder";
    TFtpClient client;

    applyConnectionOptions(client, options);

    EXPECT_EQ(client.socksRoute().user, QStringLiteral("alice"));
    EXPECT_EQ(client.socksRoute().password, QStringLiteral("wonder"));
}

} // namespace
