// The connection procedure against test servers: fail-over past closed ports, the start server
// by the cluster's loads, the set-up of the connection that got through, and the proxy
// settings of a section, also through real proxies.
#include "comm/ConnectProcedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "comm/ProxyHandshake.h"
#include "comm/TradeConnection.h"
#include "platform/core/Encoding.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "shell/services/StartupSettings.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/comm/ProxyPeerSupport.h"
#include "tests/support/ScratchProfile.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;

std::string At(int port) { return "127.0.0.1@" + std::to_string(port) + "/tcp"; }
std::string Comma(int port) { return "127.0.0.1," + std::to_string(port) + "/tcp"; }

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

// The scratch profile, with the start-up switches read from it (and read again without it).
class ProfileScope : public testsupport::ScratchProfile {
public:
    ProfileScope() { shell::LoadStartupSettings(); }
    ~ProfileScope() {
        pavlet::SetProfileName("");
        shell::LoadStartupSettings();
    }
};

struct Attempt {
    std::unique_ptr<CTradeConnection> connection;
    std::string list, current, error;
    int result = -1;

    int Run(bool loadQuery = false, const ProxyConfig* proxy = nullptr) {
        result =
            ConnectTradeServer(&connection, &list, &current, &error, loadQuery, proxy, nullptr);
        return result;
    }
};

class ConnectProcedureTest : public ::testing::Test {
protected:
    void StartServers(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            servers.push_back(std::make_unique<testserver::TestServer>());
            ASSERT_TRUE(servers.back()->Start()) << servers.back()->ErrorText();
        }
    }
    int PortOf(std::size_t i) const { return servers[i]->Port(); }

    ProfileScope profile;
    std::vector<std::unique_ptr<testserver::TestServer>> servers;
};

TEST_F(ConnectProcedureTest, FailsOverPastClosedServersAndSetsTheConnectionUp) {
    StartServers(1);
    profile.Write("SYSTEM", "YYBBM", "0101");
    profile.Write("SYSTEM", "WTFSBM", "NET");
    profile.Write("SYSTEM", "WTGY", "77");
    const linktest::RefusingPort refusing1, refusing2;
    const int closed1 = refusing1.port(), closed2 = refusing2.port();
    Attempt a;
    a.list = At(closed1) + ";" + At(closed2) + ";" + At(PortOf(0));
    a.current = "127.0.0.1:" + std::to_string(closed2) + "/tcp";  // ':' separates too
    ASSERT_EQ(a.Run(), 1) << a.error;
    ASSERT_TRUE(a.connection);
    EXPECT_FALSE(a.connection->IsClosed());
    EXPECT_EQ(a.current, At(PortOf(0)));
    // The reconnection list: every server (those tried are on it already).
    EXPECT_EQ(Sorted(a.connection->GetServerAddresses()),
              Sorted({Comma(closed1), Comma(closed2), Comma(PortOf(0))}));
    EXPECT_TRUE(a.connection->GetAutoReconnect());
    EXPECT_EQ(a.connection->GetProgramName(), "Kelmon");
    EXPECT_EQ(a.connection->GetVersionText(), "2.0");
    // The station text: the local address, then the adapter's (none carries loopback).
    EXPECT_EQ(a.connection->GetStationInfo(), "127.0.0.1 127.0.0.1");

    servers[0]->Script(300, {{{507, "1"}}});
    ASSERT_TRUE(a.connection->BeginRequest(300));
    EXPECT_TRUE(a.connection->NextRow());
    ASSERT_TRUE(servers[0]->WaitForRequests(1, std::chrono::seconds(5)));
    EXPECT_EQ(servers[0]->Requests().front().Get(8), "3|77|NET|127.0.0.1 127.0.0.1|0101|0101|0|1|");

    // A second call with the connection in place connects nothing and reports its state.
    CTradeConnection* same = a.connection.get();
    a.list = "nowhere@1/tcp";
    EXPECT_EQ(a.Run(), 1);
    EXPECT_EQ(a.connection.get(), same);
    a.connection->Close();
    EXPECT_EQ(a.Run(), 0);
    EXPECT_EQ(a.connection.get(), same);
}

TEST_F(ConnectProcedureTest, TheCurrentServerIsTriedFirst) {
    StartServers(2);
    Attempt a;
    a.list = At(PortOf(0)) + ";" + At(PortOf(1));
    a.current = At(PortOf(1));
    ASSERT_EQ(a.Run(), 1) << a.error;
    EXPECT_EQ(a.current, At(PortOf(1)));
    EXPECT_EQ(servers[0]->ConnectionCount(), 0u);
    EXPECT_EQ(Sorted(a.connection->GetServerAddresses()),
              Sorted({Comma(PortOf(0)), Comma(PortOf(1))}));
}

TEST_F(ConnectProcedureTest, NothingConnectsLeavesNoConnection) {
    Attempt a;
    // The closed port first, then the last attempt, whose error stands: an address the link
    // cannot read.
    const linktest::RefusingPort refusing;
    const std::string current = At(refusing.port());
    a.list = current + ";127.0.0.1@99999/tcp";
    a.current = current;
    EXPECT_EQ(a.Run(), 0);
    EXPECT_FALSE(a.connection);
    EXPECT_EQ(a.error, "非法连接字符串!");
    EXPECT_EQ(a.current, current);

    a.list = "";
    a.error.clear();
    EXPECT_EQ(a.Run(), 0);
    EXPECT_FALSE(a.connection);
}

TEST_F(ConnectProcedureTest, LoadQueryStartsAtTheFirstLeastLoadedServer) {
    StartServers(3);
    profile.Write("SYSTEM", "EnableEqualization", "1");
    shell::LoadStartupSettings();
    servers[0]->SetServerList({{At(PortOf(0)), 30},
                               {"127.0.0.1:" + std::to_string(PortOf(1)) + "/TCP", 10},
                               {At(PortOf(2)), 10},
                               {"", 1}});
    Attempt a;
    a.list = At(PortOf(0));
    a.current = At(PortOf(0));
    ASSERT_EQ(a.Run(true), 1) << a.error;
    EXPECT_EQ(a.current, At(PortOf(1)));
    EXPECT_EQ(a.list, At(PortOf(0)) + ";" + At(PortOf(1)) + ";" + At(PortOf(2)));
    EXPECT_EQ(Sorted(a.connection->GetServerAddresses()),
              Sorted({Comma(PortOf(0)), Comma(PortOf(1)), Comma(PortOf(2))}));
    EXPECT_EQ(servers[2]->ConnectionCount(), 0u);

    // Without the caller's flag nothing is asked.
    Attempt plain;
    plain.list = At(PortOf(0));
    ASSERT_EQ(plain.Run(false), 1) << plain.error;
    EXPECT_EQ(plain.current, At(PortOf(0)));
    EXPECT_EQ(plain.list, At(PortOf(0)));
}

TEST_F(ConnectProcedureTest, UnreachableClusterFallsBackToTheKnownServers) {
    StartServers(1);
    profile.Write("SYSTEM", "EnableEqualization", "1");
    shell::LoadStartupSettings();
    const linktest::RefusingPort refusing;
    const int closed = refusing.port();
    servers[0]->SetServerList({{At(closed), 1}});
    Attempt a;
    a.list = At(PortOf(0));
    ASSERT_EQ(a.Run(true), 1) << a.error;
    EXPECT_EQ(a.current, At(PortOf(0)));
    EXPECT_EQ(a.list, At(PortOf(0)));  // given back as it was passed
}

TEST_F(ConnectProcedureTest, ProxySettingsOfASection) {
    profile.Write("TradeCommInfo", "PROXYTYPE", "80");
    profile.Write("TradeCommInfo", "PROXYADDR", "proxy.example");
    profile.Write("TradeCommInfo", "PROXYPORT", "3128");
    profile.Write("TradeCommInfo", "PROXYUSER", std::string(20, 'u') + "用户名字");
    profile.Write("TradeCommInfo", "PROXYPWD", "pw");
    ProxyConfig config;
    ASSERT_TRUE(LoadProxySettings("TradeCommInfo", &config));
    EXPECT_EQ(config.type, kProxyHttp);
    EXPECT_EQ(config.host, "proxy.example");
    EXPECT_EQ(config.port, 3128);
    EXPECT_EQ(config.user, std::string(20, 'u') + "用户名字");  // 28 GBK bytes fit 31
    profile.Write("TradeCommInfo", "PROXYUSER", std::string(26, 'u') + "用户名字");
    ASSERT_TRUE(LoadProxySettings("TradeCommInfo", &config));
    EXPECT_EQ(config.user, std::string(26, 'u') + "用户");  // cut to 31 GBK bytes
    EXPECT_EQ(config.password, "pw");

    // The key without a proxy type: settings that say "no proxy".
    profile.Write("QuoteCommInfo", "proxytype", "0");
    profile.Write("QuoteCommInfo", "PROXYADDR", "ignored");
    ASSERT_TRUE(LoadProxySettings("QuoteCommInfo", &config));
    EXPECT_EQ(config.type, 0);
    EXPECT_EQ(config.host, "");

    // The binary record of older installations.
    LegacyProxyRecord record{};
    std::strcpy(record.host, "10.1.2.3");
    record.type = kProxySocks5;
    record.port = 1080;
    const std::string user = platform::Utf8ToGbk("张三");
    std::memcpy(record.user, user.data(), user.size());
    std::strcpy(record.password, "secret");
    ASSERT_TRUE(
        platform::WriteProfileStruct(profile.Path(), "ACISVR", "PROXY", &record, sizeof record));
    ASSERT_TRUE(LoadProxySettings("ACISVR", &config));
    EXPECT_EQ(config.type, kProxySocks5);
    EXPECT_EQ(config.host, "10.1.2.3");
    EXPECT_EQ(config.port, 1080);
    EXPECT_EQ(config.user, "张三");
    EXPECT_EQ(config.password, "secret");

    EXPECT_FALSE(LoadProxySettings("Nothing", &config));
    EXPECT_EQ(config.type, 0);
}

// The procedure through real proxies, configured the way the settings give them.
template <typename Peer>
class ThroughProxy : public Peer {
protected:
    void ConnectThrough(int32_t type) {
        profile.Write("TradeCommInfo", "PROXYTYPE", std::to_string(type));
        profile.Write("TradeCommInfo", "PROXYADDR", "127.0.0.1");
        profile.Write("TradeCommInfo", "PROXYPORT", std::to_string(this->port));
        ProxyConfig config;
        ASSERT_TRUE(LoadProxySettings("TradeCommInfo", &config));
        ASSERT_TRUE(server.Start());
        Attempt a;
        const linktest::RefusingPort refusing1, refusing2;
        a.list = At(refusing1.port()) + ";" + At(server.Port());
        a.current = At(refusing2.port());
        ASSERT_EQ(a.Run(false, &config), 1) << a.error;
        EXPECT_EQ(a.connection->GetProxy().ProxyType, type);
        EXPECT_EQ(a.current, At(server.Port()));
        server.Script(300, {{{507, "1"}, {508, "经代理"}}});
        ASSERT_TRUE(a.connection->BeginRequest(300));
        ASSERT_TRUE(a.connection->NextRow());
        EXPECT_EQ(a.connection->GetAnswerString(508), "经代理");
    }
    ProfileScope profile;
    testserver::TestServer server;
};

using TinyproxyProcedure = ThroughProxy<linktest::TinyproxyPeer>;
using DanteProcedure = ThroughProxy<linktest::DantePeer>;

TEST_F(TinyproxyProcedure, HttpProxyFromTheSettings) {
    this->Start("");
    if (this->IsSkipped()) return;
    ConnectThrough(kProxyHttp);
}

TEST_F(DanteProcedure, Socks5ProxyFromTheSettings) {
    this->Start();
    if (this->IsSkipped()) return;
    ConnectThrough(kProxySocks5);
}

TEST_F(DanteProcedure, Socks4ProxyFromTheSettings) {
    this->Start();
    if (this->IsSkipped()) return;
    ConnectThrough(kProxySocks4);
}

}  // namespace
