#include "app/BookmarkPanel.h"

#include "ScriptedPrompter.h"

#include <gtest/gtest.h>

namespace
{
TEST(LoginPanel, AddressTextDecidesBetweenFixedAddressAndP2pUser)
{
    struct Case {
        std::string address;
        std::string profileName;
        bool persistent;
        std::string host;
        std::string name;
    };
    const Case cases[] = {
        { "ftp.example.org", "", true, "ftp.example.org", "ftp.example.org" },
        { "<bob>", "", false, "bob", "bob" },
        { "<>", "", true, "<>", "<>" },
        { "<bob", "Mine", true, "<bob", "Mine" },
        { "<bob>", "Bob's", false, "bob", "Bob's" },
    };
    for (const Case& c : cases) {
        ScriptedPrompter prompter;
        loginPanelValues panel = loginPanelValues::blank("pw");
        panel.address = c.address;
        panel.profileName = c.profileName;
        panel.port = "x21";
        const auto site = siteToConnect(panel, prompter);
        ASSERT_TRUE(site) << c.address;
        EXPECT_EQ(site->persistent, c.persistent) << c.address;
        EXPECT_EQ(site->hostAddress, c.host) << c.address;
        EXPECT_EQ(site->p2pUserName, c.persistent ? "" : c.host) << c.address;
        EXPECT_EQ(site->name, c.name) << c.address;
        EXPECT_EQ(site->port, 21u) << c.address;
        EXPECT_TRUE(prompter.shown.isEmpty());
    }
}

TEST(LoginPanel, ConnectWithoutAddressShowsTheHintAndWithoutPortDoesNothing)
{
    ScriptedPrompter prompter;
    loginPanelValues panel = loginPanelValues::blank("pw");
    EXPECT_FALSE(siteToConnect(panel, prompter));
    EXPECT_EQ(prompter.shown, QStringList({ loginTexts::loginHint() }));
    panel.address = "h";
    panel.port.clear();
    EXPECT_FALSE(siteToConnect(panel, prompter));
    EXPECT_EQ(prompter.shown.size(), 1);
}

TEST(LoginPanel, AnonymousBoxFillsOrEmptiesTheLoginAndSelectedSitesFillThePanel)
{
    loginPanelValues panel = loginPanelValues::blank("guest@example.org");
    EXPECT_EQ(panel.userId, "anonymous");
    EXPECT_EQ(panel.password, "guest@example.org");
    panel.setAnonymous(false, "guest@example.org");
    EXPECT_EQ(panel.userId, "");
    EXPECT_EQ(panel.password, "");

    ftpSite site;
    site.name = "Carol";
    site.hostAddress = site.displayAddress = site.p2pUserName = "carol";
    site.persistent = false;
    site.port = 2121;
    site.anonymous = false;
    site.userId = "ann";
    site.password = "secret";
    const loginPanelValues shown = loginPanelValues::of(site, "guest@example.org");
    EXPECT_EQ(shown.address, "<carol>");
    EXPECT_EQ(shown.port, "2121");
    EXPECT_EQ(shown.userId, "ann");
    EXPECT_EQ(shown.linkValues().password, "secret");
}
} // namespace
