// The SSL layer against real peers on loopback: openssl s_server (verification, client
// certificates, cipher strings, legacy servers) and socat's SSL listener in front of the test
// server. Certificates are made by the openssl command; a missing peer skips with a message.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "comm/FixApiClient.h"
#include "comm/SocketLink.h"
#include "comm/SslLayer.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/comm/OpenSslTool.h"
#include "tests/support/TempDir.h"
#include "testserver/Packet.h"
#include "testserver/TestServer.h"

using namespace NoltComm;

namespace {

constexpr char kOpenSslProgram[] = "/usr/bin/openssl";
constexpr char kSocatProgram[] = "/usr/bin/socat";
// The pass phrase of the client's key files.
constexpr char kKeyPassPhrase[] = "731406";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The certificates of the suite, made once in a scratch folder: a trusted CA with a server
// and a client certificate, an untrusted CA with a server certificate, and a server with a
// 1024-bit RSA key.
class Pki {
public:
    static Pki& Get() {
        static Pki pki;
        return pki;
    }
    bool ready() const { return ready_; }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    Pki() {
        if (!commtest::HasOpenSslTool()) return;
        const std::string dir = dir_.path().string();
        const auto ec = [&](const std::string& name) {
            return commtest::OpenSsl(
                dir, "ecparam -name prime256v1 -genkey -noout -out " + name + ".key");
        };
        const auto ca = [&](const std::string& name) {
            return ec(name) && commtest::OpenSsl(dir, "req -x509 -new -key " + name + ".key -out " +
                                                          name + ".pem -days 2 -subj /CN=" + name);
        };
        const auto signedBy = [&](const std::string& name, const std::string& issuer) {
            return commtest::OpenSsl(dir, "req -new -key " + name + ".key -out " + name +
                                              ".csr -subj /CN=127.0.0.1") &&
                   commtest::OpenSsl(dir, "x509 -req -in " + name + ".csr -CA " + issuer +
                                              ".pem -CAkey " + issuer + ".key -CAcreateserial" +
                                              " -days 2 -out " + name + ".pem");
        };
        ready_ = ca("ca") && ca("otherca") && ec("server") && signedBy("server", "ca") &&
                 ec("stranger") && signedBy("stranger", "otherca") && ec("client") &&
                 signedBy("client", "ca") &&
                 commtest::OpenSsl(dir, std::string("pkey -in client.key -aes256 -passout pass:") +
                                            kKeyPassPhrase + " -out client.enc.key") &&
                 commtest::OpenSsl(dir,
                                   "genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 "
                                   "-out weak.key") &&
                 signedBy("weak", "ca");
        // The client's file: its certificate, then its key under the pass phrase.
        std::ofstream(file("client-bundle.pem"))
            << ReadText(file("client.pem")) << ReadText(file("client.enc.key"));
    }
    testsupport::TempDir dir_;
    bool ready_ = false;
};

// An outside program run quietly for the length of a test (its output goes to a log file
// of the suite's folder, shown when the program does not start listening).
class QuietPeer {
public:
    QuietPeer(const std::string& commandLine, const std::string& log)
        : log_(log),
          process_({"/bin/sh", "-c", "exec " + commandLine + " </dev/null >'" + log + "' 2>&1"}) {}
    bool started() const { return process_.started(); }
    linktest::PeerProcess& process() { return process_; }
    std::string log() const { return ReadText(log_); }

private:
    std::string log_;
    linktest::PeerProcess process_;
};

class SslPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kOpenSslProgram, X_OK) != 0)
            GTEST_SKIP() << "the openssl command is not installed";
        ASSERT_TRUE(pki().ready()) << "the openssl command could not make the certificates";
    }
    static Pki& pki() { return Pki::Get(); }

    // openssl s_server on a free port, answering each line with the line reversed.
    void StartServer(const std::string& certificate, const std::string& options = "") {
        std::string log;
        peer = linktest::StartOnFreePort<QuietPeer>(port, [&](int free) {
            log = pki().file("s_server-" + std::to_string(free) + ".log");
            return std::make_unique<QuietPeer>(
                std::string(kOpenSslProgram) + " s_server -quiet -rev -accept 127.0.0.1:" +
                    std::to_string(free) + " -cert '" + pki().file(certificate + ".pem") +
                    "' -key '" + pki().file(certificate + ".key") + "' " + options,
                log);
        });
        ASSERT_TRUE(peer) << "s_server did not start: " << ReadText(log);
    }

    SslSettings Trusting() const {
        SslSettings settings;
        settings.caFile = pki().file("ca.pem");
        return settings;
    }

    // Connects the link and starts SSL on it: StartSsl's result, its reason in `reason`.
    bool Connect(CSocketLink& link, const SslSettings& settings, std::string& reason) {
        link.SetTimeoutSeconds(linktest::kPeerTimeoutSeconds);
        if (!link.Connect("127.0.0.1", port, 1)) {
            reason = "TCP: " + link.GetLinkErrorText();
            return false;
        }
        return StartSsl(link, settings, reason);
    }

    std::unique_ptr<QuietPeer> peer;
    int port = 0;
};

int32_t WriteText(CSocketLink& link, const std::string& text) {
    CIOBuffer* packet = link.Allocate();
    packet->AddData(text.data(), static_cast<uint32_t>(text.size()));
    const int32_t written = link.Write(*packet);
    packet->Release();
    return written;
}

// One line through s_server's reversing echo, in blocking mode.
std::string RoundTrip(CSocketLink& link, const std::string& line) {
    if (WriteText(link, line + "\n") != static_cast<int32_t>(line.size() + 1)) return "<write>";
    std::string back(line.size() + 1, '\0');
    const int32_t got = link.ReadExact(back.data(), static_cast<int32_t>(back.size()));
    if (got != static_cast<int32_t>(back.size())) return "<read " + std::to_string(got) + ">";
    back.pop_back();
    return back;
}

TEST_F(SslPeerTest, TrustedServerConnectsAndCarriesData) {
    StartServer("server");
    // Two connections one after the other: the second skips the library set-up.
    for (int round = 0; round < 2; ++round) {
        CSocketLink link;
        std::string reason;
        ASSERT_TRUE(Connect(link, Trusting(), reason)) << reason;
        EXPECT_TRUE(reason.empty()) << reason;
        EXPECT_TRUE(link.IsSslOn());
        const std::string description = link.GetSslDescription();
        EXPECT_NE(description.find("位)"), std::string::npos) << description;
        EXPECT_EQ(RoundTrip(link, "ping over ssl"), "lss revo gnip");
        // The socket under SSL stays non-blocking while blocking mode is kept by polling.
        EXPECT_TRUE(link.IsBlockingMode());
        link.Close();
        EXPECT_FALSE(link.IsSslOn());
        EXPECT_TRUE(link.GetSslDescription().empty());
        EXPECT_EQ(WriteText(link, "after close\n"), -1);
    }
}

TEST_F(SslPeerTest, ServerThatDoesNotVerifyIsRefused) {
    struct Case {
        const char* name;
        const char* certificate;
        bool withCa;
    };
    const Case cases[] = {
        // An empty CA file name means none: only the system's authorities are asked.
        {"no CA file", "server", false},
        {"server of another CA", "stranger", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartServer(c.certificate);
        CSocketLink link;
        SslSettings settings = c.withCa ? Trusting() : SslSettings{};
        std::string reason;
        EXPECT_FALSE(Connect(link, settings, reason));
        EXPECT_NE(reason.find("服务器证书验证失败"), std::string::npos) << reason;
        EXPECT_FALSE(link.IsSslOn());
        peer.reset();
    }
}

TEST_F(SslPeerTest, ContextSettingsThatCannotWorkFailBeforeConnecting) {
    StartServer("server");
    struct Case {
        const char* name;
        SslSettings settings;
        const char* reason;
    };
    SslSettings missingCa = Trusting();
    missingCa.caFile = pki().file("no-such-ca.pem");
    SslSettings oldCipher = Trusting();
    oldCipher.cipherList = "DES-CBC3-SHA";
    SslSettings nonsense = Trusting();
    nonsense.cipherList = "NO-SUCH-CIPHER";
    const Case cases[] = {
        {"missing CA file", missingCa, "加载CA证书文件失败"},
        {"cipher the library lacks", oldCipher, "SSL加密算法设置无效: DES-CBC3-SHA"},
        {"unknown cipher", nonsense, "SSL加密算法设置无效"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSocketLink link;
        std::string reason;
        EXPECT_FALSE(Connect(link, c.settings, reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_FALSE(link.IsSslOn());
    }
}

TEST_F(SslPeerTest, ChosenCipherIsNegotiatedAndDescribed) {
    StartServer("server", "-tls1_2");
    SslSettings settings = Trusting();
    settings.cipherList = "ECDHE-ECDSA-AES128-GCM-SHA256";
    CSocketLink link;
    std::string reason;
    ASSERT_TRUE(Connect(link, settings, reason)) << reason;
    EXPECT_EQ(link.GetSslDescription(), "ECDHE-ECDSA-AES128-GCM-SHA256(128位)");
    EXPECT_EQ(RoundTrip(link, "abc"), "cba");
}

TEST_F(SslPeerTest, ClientCertificateDemandedByTheServer) {
    StartServer("server", "-Verify 1 -CAfile '" + pki().file("ca.pem") + "'");
    {
        SslSettings settings = Trusting();
        settings.certificateFile = pki().file("client-bundle.pem");
        CSocketLink link;
        std::string reason;
        ASSERT_TRUE(Connect(link, settings, reason)) << reason;
        EXPECT_TRUE(reason.empty()) << reason;
        EXPECT_EQ(RoundTrip(link, "with certificate"), "etacifitrec htiw");
    }
    // Without one the server ends the session: in the handshake (TLS 1.2) or right after it
    // (TLS 1.3, where the client finishes first); either way no data passes.
    struct Case {
        const char* name;
        std::string certificateFile;
        const char* note;
    };
    const Case cases[] = {
        {"no certificate", "", ""},
        {"unreadable certificate file", pki().file("no-such-cert.pem"), "未使用客户端证书"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SslSettings settings = Trusting();
        settings.certificateFile = c.certificateFile;
        CSocketLink link;
        std::string reason;
        if (Connect(link, settings, reason)) {
            EXPECT_NE(reason.find(c.note), std::string::npos) << reason;
            EXPECT_EQ(reason.empty(), std::string(c.note).empty()) << reason;
            EXPECT_NE(RoundTrip(link, "without"), "tuohtiw");
        }
    }
}

TEST_F(SslPeerTest, LegacyServersNeedTheLegacySetting) {
    struct Case {
        const char* name;
        const char* certificate;
        const char* options;
    };
    const Case cases[] = {
        {"TLS 1.0 only", "server", "-tls1 -cipher DEFAULT:@SECLEVEL=0"},
        {"1024-bit RSA key", "weak", "-cipher DEFAULT:@SECLEVEL=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartServer(c.certificate, c.options);
        {
            CSocketLink link;
            std::string reason;
            EXPECT_FALSE(Connect(link, Trusting(), reason));
            EXPECT_FALSE(reason.empty());
        }
        SslSettings legacy = Trusting();
        legacy.legacyTls = true;
        CSocketLink link;
        std::string reason;
        ASSERT_TRUE(Connect(link, legacy, reason)) << reason;
        EXPECT_EQ(RoundTrip(link, "old"), "dlo");
        peer.reset();
    }
}

TEST_F(SslPeerTest, CloseFromAnotherThreadWakesReaderAndWriters) {
    StartServer("server");
    CSocketLink link;
    std::string reason;
    ASSERT_TRUE(Connect(link, Trusting(), reason)) << reason;
    // Writers and the reader share the SSL connection while it is busy.
    std::vector<std::jthread> writers;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([&link] {
            for (int i = 0; i < 50; ++i)
                if (WriteText(link, "0123456789\n") < 0) return;
        });
    int32_t readResult = 0;
    std::jthread reader([&] {
        char buffer[11];
        for (;;) {
            readResult = link.ReadExact(buffer, sizeof buffer);
            if (readResult < 0) return;
        }
    });
    for (auto& writer : writers) writer.join();
    link.Close();
    reader.join();
    EXPECT_LT(readResult, 0);
    EXPECT_FALSE(link.IsSslOn());
}

TEST(SslLayer, HandshakeWithSilentPeerEndsAtTheTimeout) {
    // The kernel completes the connection; nobody ever answers the client's hello.
    linktest::Listener silent;
    CSocketLink link;
    link.SetTimeoutSeconds(1);
    ASSERT_TRUE(link.Connect("127.0.0.1", silent.port(), 1));
    std::string reason;
    EXPECT_FALSE(StartSsl(link, SslSettings{}, reason));
    EXPECT_EQ(reason, "SSL握手超时");
    EXPECT_FALSE(link.IsSslOn());
}

TEST(SslLayer, CloseFromAnotherThreadEndsTheHandshake) {
    linktest::Listener silent;
    CSocketLink link;
    link.SetTimeoutSeconds(30);
    ASSERT_TRUE(link.Connect("127.0.0.1", silent.port(), 1));
    const int server = silent.Accept();
    ASSERT_GE(server, 0);
    bool started = true;
    std::string reason;
    const auto begin = std::chrono::steady_clock::now();
    std::jthread handshake([&] { started = StartSsl(link, SslSettings{}, reason); });
    // The client's hello has arrived: the handshake waits for the answer.
    ASSERT_FALSE(linktest::ReadUntil(server, "", 1).empty());
    link.Close();
    handshake.join();
    close(server);
    EXPECT_FALSE(started);
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(link.IsSslOn());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
}

TEST(SslLayer, StartWithoutSocketFails) {
    CSocketLink link;
    std::string reason;
    EXPECT_FALSE(StartSsl(link, SslSettings{}, reason));
    EXPECT_FALSE(reason.empty());
}

// socat's SSL listener in front of the test server: FixApi packets pass through SSL both
// ways, on the blocking and on the queued (non-blocking) path.
class SocatTest : public SslPeerTest {
protected:
    void SetUp() override {
        SslPeerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (access(kSocatProgram, X_OK) != 0) GTEST_SKIP() << "socat is not installed";
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        server.Script(7777, {{{10, "hello"}}});
        std::string log;
        peer = linktest::StartOnFreePort<QuietPeer>(port, [&](int free) {
            log = pki().file("socat-" + std::to_string(free) + ".log");
            return std::make_unique<QuietPeer>(
                std::string(kSocatProgram) + " OPENSSL-LISTEN:" + std::to_string(free) +
                    ",bind=127.0.0.1,reuseaddr,fork,verify=0,cert='" + pki().file("server.pem") +
                    "',key='" + pki().file("server.key") +
                    "' TCP:127.0.0.1:" + std::to_string(server.Port()),
                log);
        });
        ASSERT_TRUE(peer) << "socat did not start: " << ReadText(log);
    }
    void TearDown() override {
        peer.reset();
        server.Stop();
    }
    static std::string Request(uint32_t id) {
        testserver::PacketHeader header;
        header.packetId = id;
        header.kind = testserver::kKindRequest;
        return testserver::MakePacket(header, testserver::EncodeBody({{8, "FIX"}, {35, "7777"}}));
    }
    testserver::TestServer server;
};

TEST_F(SocatTest, PacketsPassThroughSslBothWays) {
    CSocketLink link;
    std::string reason;
    ASSERT_TRUE(Connect(link, Trusting(), reason)) << reason;

    // Blocking path.
    const std::string request = Request(1);
    CIOBuffer* packet = link.Allocate();
    packet->AddData(request.data(), static_cast<uint32_t>(request.size()));
    ASSERT_EQ(link.Write(*packet), static_cast<int32_t>(request.size()));
    packet->Release();
    uint8_t header[CSocketLink::kHeaderSize];
    ASSERT_EQ(link.ReadExact(header, sizeof header), CSocketLink::kHeaderSize);
    const testserver::PacketHeader answer =
        testserver::ReadHeader(reinterpret_cast<const char*>(header));
    ASSERT_GT(answer.length, CSocketLink::kHeaderSize);
    std::string body(answer.length - CSocketLink::kHeaderSize, '\0');
    ASSERT_EQ(link.ReadExact(body.data(), static_cast<int32_t>(body.size())),
              static_cast<int32_t>(body.size()));
    EXPECT_NE(body.find("10=hello"), std::string::npos);
    ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(5)));
    EXPECT_EQ(server.Requests().front().function, 7777);

    // Queued path: the send queue and the packet reader go through SSL as well.
    link.SetNonBlocking();
    const std::string second = Request(2);
    packet = link.Allocate();
    packet->AddData(second.data(), static_cast<uint32_t>(second.size()));
    link.QueueSend(packet);
    packet->Release();
    uint8_t received[4096];
    int32_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got == 0 && std::chrono::steady_clock::now() < deadline) {
        got = link.ReadPacket(received, sizeof received);
        if (got != 0) break;
        pollfd pfd{link.GetSocket(), POLLIN, 0};
        poll(&pfd, 1, 50);
    }
    ASSERT_GT(got, 0);
    EXPECT_NE(std::string(reinterpret_cast<char*>(received), static_cast<std::size_t>(got))
                  .find("10=hello"),
              std::string::npos);
    EXPECT_TRUE(server.WaitForRequests(2, std::chrono::seconds(5)));
}

}  // namespace

// The client in link mode 3: SSL right after the TCP connection, then the authentication in
// its SSL form (no session key: SSL protects the bodies), then business requests.
TEST_F(SocatTest, ClientInSslModeAuthenticatesInsideSsl) {
    server.SetAuthenticationRequired(true);
    CFixApiClient client;
    client.SetAuthTexts("0100001234", "pw");
    client.SetLinkMode(3);
    client.SetSslSettings(Trusting());
    ASSERT_TRUE(client.Connect("127.0.0.1@" + std::to_string(port) + "/tcp"))
        << client.GetErrorText();
    EXPECT_TRUE(client.IsSslOn());
    EXPECT_TRUE(client.IsReady());
    const auto records = server.Authentication().Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].accepted) << records[0].refusal;
    ASSERT_EQ(records[0].values.size(), 9u);
    EXPECT_EQ(records[0].values[2], "");
    EXPECT_EQ(client.GetCipher(), nullptr);

    CFixRequest* request = client.CreateRequest();
    request->BeginRequest(7777);
    std::string text;
    while (request->NextRow()) text += request->GetString(10);
    request->Release();
    EXPECT_EQ(text, "hello");
    client.Close();
    EXPECT_FALSE(client.IsSslOn());

    // A server that does not verify leaves the client unconnected, with the reason.
    SslSettings untrusting;
    client.SetSslSettings(untrusting);
    EXPECT_FALSE(client.Connect("127.0.0.1@" + std::to_string(port) + "/tcp"));
    EXPECT_NE(client.GetErrorText().find("服务器证书验证失败"), std::string::npos)
        << client.GetErrorText();
    EXPECT_FALSE(client.IsSslOn());
}
