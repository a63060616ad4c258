// The security-session handshake end to end: our test module loaded by its configured name,
// requests 100 and 101 against the test server's side of the exchange, the session cipher
// agreeing with the server's, and every way the run can fail.
#include "comm/SecuritySession.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CommTestSupport.h"
#include "comm/CryptoManager.h"
#include "comm/FixApiClient.h"
#include "comm/IOBuffer.h"
#include "platform/core/Paths.h"
#include "testserver/SecuritySession.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;

std::string Address(uint16_t port) { return "127.0.0.1@" + std::to_string(port) + "/tcp"; }

// A connection whose authentication is the security-session one, as link mode 2 selects it.
class SessionClient : public CFixApiClient {
public:
    SessionClient(CQvCryptoManager& manager, std::string first, std::string second)
        : manager_(manager), first_(std::move(first)), second_(std::move(second)) {}
    ~SessionClient() override { StopReceiving(); }

    std::unique_ptr<CQvSymmetricCipher> cipher;
    std::string authError;

protected:
    bool Authenticate() override {
        CQvCriticalSection::Owner owner(LinkState().authLock);
        LinkState().ready.store(false);
        if (!AuthenticateBySecuritySession(*this, first_, second_, cipher, authError, manager_)) {
            return false;
        }
        LinkState().ready.store(true);
        return true;
    }

private:
    CQvCryptoManager& manager_;
    std::string first_;
    std::string second_;
};

std::vector<int32_t> Functions(const testserver::TestServer& server) {
    std::vector<int32_t> functions;
    for (const auto& request : server.Requests()) functions.push_back(request.function);
    return functions;
}

class SecuritySessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        platform::SetProgramDirForTesting(KELMON_CRYPTO_MODULE_DIR);
        SetSecuritySessionModule(kDefaultSecuritySessionModule);
    }
    void TearDown() override {
        platform::SetProgramDirForTesting("");
        SetSecuritySessionModule(kDefaultSecuritySessionModule);
    }

    testserver::TestServer server;
    testserver::SecuritySessionServer session{server};
    CQvCryptoManager manager;
};

TEST_F(SecuritySessionTest, HandshakeInstallsTheSessionCipherBothSidesAgreeOn) {
    server.Script(600, {{{507, "1"}, {600, "after"}}});
    SessionClient client(manager, "0100001234", "pass-word");
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.authError;
    EXPECT_TRUE(client.IsReady());
    EXPECT_TRUE(session.Confirmed(0));
    ASSERT_TRUE(client.cipher);
    EXPECT_EQ(client.GetCipher(), client.cipher.get());
    EXPECT_EQ(client.cipher->GetName(), "SW_ALG34");
    const std::string key = session.SessionKey(0);
    ASSERT_EQ(key.size(), 64u);
    EXPECT_EQ(client.cipher->GetKey(), key);

    const auto requests = server.Requests();
    ASSERT_EQ(Functions(server), (std::vector<int32_t>{100, 101}));
    EXPECT_FALSE(requests[0].Get(1).empty());
    EXPECT_FALSE(requests[0].Get(2).empty());
    EXPECT_EQ(requests[0].Get(4), "0100001234");
    EXPECT_EQ(requests[1].Get(4), "0100001234");
    EXPECT_EQ(requests[1].Get(5), "pass-word");
    EXPECT_EQ(requests[1].Get(6).size(), 64u);  // the key confirmation

    // The encryption switch stays off: business requests go out in clear.
    CFixRequest* request = client.CreateRequest();
    request->BeginRequest(600);
    ASSERT_TRUE(request->NextRow()) << request->GetErrorText();
    EXPECT_EQ(request->GetString(600), "after");
    request->Release();
    EXPECT_EQ(server.Requests().back().bodyFlags & 1, 0);

    // What the server encrypts the client reads, and the other way round.
    CIOBuffer::Allocator allocator(4096, 2);
    CIOBuffer* buffer = allocator.Allocate();
    const std::string plain = commtest::Packet(
        "35=600\x01"
        "600=pushed\x01",
        9, 3);
    const std::string sealed = testserver::SecuritySessionServer::EncryptPacket(key, plain);
    buffer->AddData(sealed.data(), static_cast<uint32_t>(sealed.size()));
    ASSERT_TRUE(client.cipher->Decrypt(*buffer));
    EXPECT_EQ(
        std::string(reinterpret_cast<char*>(buffer->GetBuffer()) + 14, buffer->GetUsed() - 14),
        plain.substr(14));
    ASSERT_TRUE(client.cipher->Encrypt(*buffer));
    const auto opened = testserver::SecuritySessionServer::DecryptPacket(
        key, std::string(reinterpret_cast<char*>(buffer->GetBuffer()), buffer->GetUsed()));
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(opened->substr(14), plain.substr(14));
    buffer->Release();
    client.Close();
}

TEST_F(SecuritySessionTest, EmptyAuthenticationValuesAreSentAsEmptyItems) {
    SessionClient client(manager, "", "");
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.authError;
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    ASSERT_NE(requests[0].Find(4), nullptr);
    EXPECT_EQ(requests[0].Get(4), "");
    ASSERT_NE(requests[1].Find(5), nullptr);
    client.Close();
}

struct FailureCase {
    const char* what;
    std::function<void(testserver::TestServer&, testserver::SecuritySessionServer&)> setUp;
    std::string error;
    std::vector<int32_t> functions;  // what reached the server
    bool cipherInstalled;
};

TEST_F(SecuritySessionTest, EveryFailureEndsUnauthenticatedWithItsReason) {
    const std::string noCipherModule = std::string(KELMON_CRYPTO_MODULE_DIR) + "sw_nocipher.so";
    const FailureCase cases[] = {
        {"no module beside the program",
         [](auto&, auto&) { platform::SetProgramDirForTesting("/nonexistent/"); },
         "加载加密库DORUD.dll失败!",
         {},
         false},
        {"module without SW_ALG34",
         [&](auto&, auto&) { SetSecuritySessionModule(noCipherModule); },
         "加载安全会话算法失败",
         {100},
         false},
        {"server refuses the key exchange",
         [](auto& s, auto&) {
             s.Script(100, {{{507, "-1"}, {508, "客户不存在"}}});
         },
         "客户不存在",
         {100},
         false},
        {"server's proof does not hold",
         [](auto&, auto& ss) { ss.SetBadServerProof(true); },
         "SWRSA: 服务器证明无效",
         {100},
         false},
        {"key exchange answered without a result",
         [](auto& s, auto&) {
             s.Script(100, {{{600, "x"}}});
         },
         "安全会话认证被拒绝",
         {100},
         false},
        {"confirmation answered with result 0",
         [](auto&, auto& ss) { ss.SetConfirmResult(0); },
         "会话确认未通过",
         {100, 101},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testserver::TestServer peer;
        ASSERT_TRUE(peer.Start());
        testserver::SecuritySessionServer peerSession(peer);
        platform::SetProgramDirForTesting(KELMON_CRYPTO_MODULE_DIR);
        SetSecuritySessionModule(kDefaultSecuritySessionModule);
        c.setUp(peer, peerSession);
        CQvCryptoManager own;
        SessionClient client(own, "0100001234", "pw");
        EXPECT_FALSE(client.Connect(Address(peer.Port())));
        EXPECT_FALSE(client.IsReady());
        EXPECT_EQ(client.authError, c.error);
        EXPECT_EQ(Functions(peer), c.functions);
        EXPECT_EQ(client.cipher != nullptr, c.cipherInstalled);
        EXPECT_FALSE(peerSession.Confirmed(0));
        client.Close();
    }
}

TEST_F(SecuritySessionTest, ASecondRunReplacesTheCipherAndReusesTheModule) {
    SessionClient client(manager, "0100001234", "pw");
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.authError;
    const std::string firstKey = client.cipher->GetKey();
    client.Close();
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.authError;
    EXPECT_NE(client.cipher->GetKey(), firstKey);
    EXPECT_EQ(client.cipher->GetKey(), session.SessionKey(1));
    EXPECT_EQ(client.GetCipher(), client.cipher.get());
    client.Close();
}

}  // namespace
