// The communication authentication against the test server: the challenge digest and the
// authentication text, whole handshakes with each body cipher, refusals and broken server
// keys that must fail with a reason, the server's refusal before it, the security-session
// way through the connection, and the masking of passwords in traces.
#include "comm/Authentication.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "tests/comm/NoHandshakeClient.h"
#include "comm/SecuritySession.h"
#include "platform/core/Paths.h"
#include "testserver/Authentication.h"
#include "testserver/SecuritySession.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;
using testserver::Row;

std::string Address(uint16_t port) { return "127.0.0.1@" + std::to_string(port) + "/tcp"; }

std::vector<int32_t> Functions(const testserver::TestServer& server) {
    std::vector<int32_t> functions;
    for (const auto& request : server.Requests()) functions.push_back(request.function);
    return functions;
}

// Modulus and exponent key texts of a fresh RSA key of the given size.
std::pair<std::string, std::string> KeyTexts(int bits) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(bits), EVP_PKEY_free);
    auto number = [&](const char* name) {
        BIGNUM* bn = nullptr;
        EVP_PKEY_get_bn_param(key.get(), name, &bn);
        std::vector<uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(bn)));
        BN_bn2bin(bn, bytes.data());
        BN_free(bn);
        return testserver::EncodeKeyText(bytes);
    };
    return {number(OSSL_PKEY_PARAM_RSA_N), number(OSSL_PKEY_PARAM_RSA_E)};
}

TEST(ChallengeDigestTest, IsTheUpperCaseMd5OfTheChallengeTwice) {
    EXPECT_EQ(ChallengeDigest("abc"), "440AC85892CA43AD26D44C7AD9D47D3E");
    EXPECT_EQ(testserver::ChallengeDigestOf("abc"), "440AC85892CA43AD26D44C7AD9D47D3E");
    // MD5 of nothing.
    EXPECT_EQ(ChallengeDigest(""), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(AuthenticationTextTest, NineCommaTerminatedValues) {
    struct Case {
        const char* what;
        AuthenticationValues values;
        const char* text;
    };
    const Case cases[] = {
        {"texts and key",
         {"0100001234", "pw", "abcdefgh", "Std", "Std", "Kelmon", "2.0"},
         "0100001234,pw,abcdefgh,0,Std,Std,Kelmon,2.0,Kelmon,"},
        {"empty texts take both defaults",
         {"", "", "abcdefgh", "Std", "", "K", "2.0"},
         "zeduror,vivizaru,abcdefgh,0,Std,,K,2.0,K,"},
        {"an empty first text ignores the second",
         {"", "pw", "k", "Std", "", "K", "2.0"},
         "zeduror,vivizaru,k,0,Std,,K,2.0,K,"},
        {"SSL: no key and no cipher",
         {"a", "b", "", "", "Std", "K", "2.0"},
         "a,b,,0,,Std,K,2.0,K,"},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildAuthenticationText(c.values), c.text) << c.what;
}

TEST(TraceMaskTest, PasswordItemsAreMasked) {
    struct Case {
        std::string body;
        std::string masked;
    };
    const Case cases[] = {
        {"605=甲001\x01"
         "598=secret\x01"
         "714=funds\x01"
         "781=2\x01",
         "605=甲001\x01"
         "598=***\x01"
         "714=***\x01"
         "781=2\x01"},
        // Other tags that merely start or end alike stay as they are.
        {"5980=a\x01"
         "1598=b\x01"
         "71=c",
         "5980=a\x01"
         "1598=b\x01"
         "71=c"},
        {"598=", "598=***"},
        {"", ""},
        {"\x01\x01"
         "714=x",
         "\x01\x01"
         "714=***"},
    };
    for (const Case& c : cases) EXPECT_EQ(MaskSecretItems(c.body), c.masked);
}

class AuthenticationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        server.SetAuthenticationRequired(true);
        server.Script(300, {{{507, "1"}, {600, "甲"}}});
        client.SetAuthTexts("0100001234", "pw");
        client.SetProgramName("Kelmon");
    }

    std::string Ask(int32_t function = 300) {
        CFixRequest* request = client.CreateRequest();
        request->BeginRequest(function);
        request->AddField(605, "x");
        std::string rows;
        while (request->NextRow()) rows += request->GetString(600) + request->GetString(508);
        request->Release();
        return rows;
    }

    testserver::TestServer server;
    CFixApiClient client;
};

class CipherHandshakeTest : public AuthenticationTest,
                            public ::testing::WithParamInterface<const char*> {};

// The whole handshake with each session cipher: the server reads the text the client sealed,
// both ends switch encryption on with the same key, and requests, answers and pushes keep
// working both ways ("rc4" with its one key stream for both directions).
TEST_P(CipherHandshakeTest, EncryptsTheBodiesAfterwards) {
    const std::string name = GetParam();
    client.SetSessionCipher(name);
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    EXPECT_TRUE(client.IsReady());
    EXPECT_FALSE(client.IsClosed());
    ASSERT_NE(client.GetCipher(), nullptr);
    EXPECT_EQ(client.GetCipher()->GetName(), name);
    EXPECT_EQ(client.GetServerText(), "testserver");

    const auto records = server.Authentication().Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].accepted) << records[0].refusal;
    const std::vector<std::string> values = records[0].values;
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], "0100001234");
    EXPECT_EQ(values[1], "pw");
    EXPECT_EQ(values[2], client.GetKeyText());
    EXPECT_EQ(values[2].size(), name == "Std" ? 8u : 16u);
    EXPECT_EQ(values[3], "0");
    EXPECT_EQ(values[4], name);
    EXPECT_EQ(values[5], "");
    EXPECT_EQ(values[6], "Kelmon");
    EXPECT_EQ(values[7], "2.0");
    EXPECT_EQ(values[8], "Kelmon");
    EXPECT_EQ(records[0].digest.size(), 32u);

    for (int i = 0; i < 5; ++i) EXPECT_EQ(Ask(), "甲") << i;
    server.Script(301, {{{507, "0"}, {600, "a"}}, {{507, "0"}, {600, "b"}}},
                  testserver::AnswerForm::Compressed);
    EXPECT_EQ(Ask(301), "ab");
    // The handshake is not among the business requests; these all arrived encrypted.
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 6u);
    for (const auto& request : requests) {
        EXPECT_NE(request.bodyFlags & 1, 0);
        EXPECT_EQ(request.Get(605), "x");
    }
    client.Close();
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CipherHandshakeTest, ::testing::Values("Std", "BF", "rc4"));

TEST_F(AuthenticationTest, PushesArriveEncryptedAndDecrypted) {
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    std::atomic<int> pushes{0};
    client.BeginRequest(601);
    const uint32_t handle = client.Subscribe(
        [](CFixApiClient* c, uint32_t h, int32_t reason) {
            auto* counter = reinterpret_cast<std::atomic<int>*>(c->GetSubscriptionUserValue(h));
            if (reason == kPushDelivered && c->GetPushString(600) == "推送") counter->fetch_add(1);
        },
        reinterpret_cast<uintptr_t>(&pushes));
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(server.WaitForSubscriptions("601", 1, std::chrono::seconds(5)));
    EXPECT_EQ(server.Push("601", {{600, "推送"}}), 1u);
    EXPECT_EQ(server.Push("601", {{600, "推送"}}, true), 1u);
    // An answer behind the pushes proves they were read before it.
    EXPECT_EQ(Ask(), "甲");
    EXPECT_EQ(pushes.load(), 2);
    client.Close();
}

TEST_F(AuthenticationTest, ChallengeDigestAndStationTexts) {
    struct Case {
        const char* what;
        std::optional<std::string> challenge;
        std::string digest;
        std::string linkStation;
    };
    const Case cases[] = {
        {"challenge abc", "abc", "440AC85892CA43AD26D44C7AD9D47D3E", ""},
        {"no challenge, no item 390", "", "", "10.9.8.7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.Authentication().SetChallenge(c.challenge);
        server.Authentication().SetLinkStation(c.linkStation);
        ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
        const auto records = server.Authentication().Records();
        ASSERT_FALSE(records.empty());
        EXPECT_TRUE(records.back().accepted);
        EXPECT_EQ(records.back().digest, c.digest);
        // Without item 212 the link keeps the local address it had.
        EXPECT_EQ(client.GetStationInfo(),
                  c.linkStation.empty() ? client.GetStationText() : c.linkStation);
        EXPECT_EQ(Ask(), "甲");
        client.Close();
    }
}

TEST_F(AuthenticationTest, ServerRefusesBusinessBeforeTheHandshake) {
    commtest::NoHandshakeClient bare;
    ASSERT_TRUE(bare.Connect(Address(server.Port())));
    CFixRequest* request = bare.CreateRequest();
    request->BeginRequest(300);
    ASSERT_TRUE(request->NextRow());
    EXPECT_EQ(request->GetLong(507), -1);
    EXPECT_EQ(request->GetString(508), "通信未认证");
    request->Release();
    // The server list is served all the same.
    server.SetServerList({{"主站", 3}});
    request = bare.CreateRequest();
    request->BeginRequest(20);
    ASSERT_TRUE(request->NextRow());
    EXPECT_EQ(request->GetString(204), "主站");
    request->Release();
    bare.Close();

    // The same server serves the client that authenticated.
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    EXPECT_EQ(Ask(), "甲");
    client.Close();
}

// Every failure ends with the link not ready, no cipher on it and a reason; a broken server
// key is never used to send the values.
TEST_F(AuthenticationTest, FailuresEndWithAReason) {
    const auto weak = KeyTexts(512);
    const auto strong = KeyTexts(1024);
    struct Case {
        const char* what;
        std::function<void(testserver::TestServer&, CFixApiClient&)> setUp;
        std::string reason;  // the start of the error text
        std::vector<int32_t> functions;
    };
    const Case cases[] = {
        {"first step refused with a text",
         [](auto& s, auto&) {
             s.Script(22, {{{507, "-1"}, {508, "不认识的客户端"}}});
         },
         "不认识的客户端",
         {22}},
        {"item 240 of 0",
         [](auto& s, auto&) {
             s.Script(22, {{{507, "1"}, {240, "0"}}});
         },
         "服务器拒绝通信认证",
         {22}},
        {"a 512-bit key",
         [&](auto& s, auto&) {
             s.Script(22, {{{507, "1"}, {242, weak.first}, {243, weak.second}}});
         },
         "服务器公钥无效",
         {22}},
        {"an even exponent",
         [&](auto& s, auto&) {
             s.Script(22, {{{507, "1"}, {242, strong.first}, {243, "/"}}});
         },
         "服务器公钥无效",
         {22}},
        {"no key at all",
         [](auto& s, auto&) {
             s.Script(22, {{{507, "1"}}});
         },
         "服务器公钥无效",
         {22}},
        {"no answer to the first step",
         [](auto& s, auto& c) {
             c.SetTimeoutSeconds(1);
             s.InjectFault(22, {testserver::FaultKind::Silence});
             s.Script(22, {{{507, "1"}}});
         },
         "通信认证没有应答",
         {22}},
        {"values too long to seal whole",
         [](auto&, auto& c) { c.SetAuthTexts(std::string(800, 'a'), "pw"); },
         "认证信息过长",
         {}},
        {"second step refused",
         [](auto& s, auto&) {
             s.Script(23, {{{507, "-1"}, {508, "密码错误"}}});
         },
         "密码错误",
         {23}},
        {"unknown session cipher",
         [](auto&, auto& c) { c.SetSessionCipher("none"); },
         "无法建立会话加密算法",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testserver::TestServer peer;
        ASSERT_TRUE(peer.Start());
        CFixApiClient failing;
        failing.SetAuthTexts("0100001234", "pw");
        c.setUp(peer, failing);
        EXPECT_FALSE(failing.Connect(Address(peer.Port())));
        EXPECT_FALSE(failing.IsReady());
        EXPECT_TRUE(failing.IsClosed());
        EXPECT_EQ(failing.GetCipher(), nullptr);
        EXPECT_EQ(failing.GetKeyText(), "");
        EXPECT_EQ(failing.GetErrorText().rfind(c.reason, 0), 0u) << failing.GetErrorText();
        EXPECT_EQ(Functions(peer), c.functions);
        for (const auto& record : peer.Authentication().Records()) EXPECT_FALSE(record.accepted);
    }
}

// A first answer with 507 = 1 and no item 240 passes.
TEST_F(AuthenticationTest, FirstAnswerWithoutItem240Passes) {
    testserver::Authenticator& keys = server.Authentication();
    server.SetHook(22, [&keys](const testserver::ReceivedRequest& r) {
        testserver::Answer answer = keys.KeyAnswer(r);
        std::erase_if(answer.rows.front(), [](const auto& f) { return f.tag == 240; });
        return answer;
    });
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    EXPECT_EQ(Ask(), "甲");
    EXPECT_EQ(Functions(server), (std::vector<int32_t>{22, 300}));
    client.Close();
}

// Link mode 2 hands the handshake to the security-session module; the server then takes the
// connection as authenticated.
TEST_F(AuthenticationTest, LinkModeTwoRunsTheSecuritySession) {
    platform::SetProgramDirForTesting(KELMON_CRYPTO_MODULE_DIR);
    SetSecuritySessionModule(kDefaultSecuritySessionModule);
    testserver::SecuritySessionServer session(server);
    client.SetLinkMode(2);
    ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    EXPECT_TRUE(session.Confirmed(0));
    ASSERT_NE(client.GetCipher(), nullptr);
    EXPECT_EQ(client.GetCipher()->GetName(), kSessionBodyCipher);
    EXPECT_EQ(Ask(), "甲");
    EXPECT_TRUE(server.Authentication().Records().empty());
    client.Close();
    platform::SetProgramDirForTesting("");
}

}  // namespace
