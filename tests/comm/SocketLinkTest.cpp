// CSocketLink against loopback peers made by the test: connect errors and time-outs, a
// scripted proxy, packet framing, reset and closed peers, and a close from another thread.
#include "comm/SocketLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/SocketTimeouts.h"
#include "comm/SymmetricCipher.h"
#include "platform/core/Clock.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/comm/LinkTestSupport.h"

using namespace NoltComm;
using linktest::Listener;

namespace {

struct Step {
    std::string bytes;
    int delayMs = 0;  // before the bytes
};

// A proxy that reads the client's request and answers with a script; "split" scripts give
// one step per byte.
std::vector<Step> ByteByByte(const std::string& reply, int delayMs) {
    std::vector<Step> steps;
    for (char c : reply) steps.push_back({std::string(1, c), delayMs});
    return steps;
}

class ScriptedProxy {
public:
    ScriptedProxy(std::string requestEnd, std::size_t requestSize, std::vector<Step> script)
        : thread_([this, requestEnd, requestSize, script](std::stop_token stop) {
              const int fd = listener_.Accept();
              if (fd < 0) return;
              request_ = linktest::ReadUntil(fd, requestEnd, requestSize);
              for (const Step& step : script) {
                  if (step.delayMs)
                      std::this_thread::sleep_for(std::chrono::milliseconds(step.delayMs));
                  if (!linktest::SendAll(fd, step.bytes)) break;
              }
              // Hold the connection until the test has finished with it.
              while (!stop.stop_requested() && !linktest::ReadUntil(fd, "", 1, 50).empty()) {
              }
              while (!stop.stop_requested())
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              close(fd);
          }) {}
    int port() const { return listener_.port(); }
    std::string Request() {
        thread_.request_stop();
        thread_.join();
        return request_;
    }

private:
    Listener listener_;
    std::string request_;
    std::jthread thread_;
};

std::string Socks5Reply() {
    return std::string("\x05\x00", 2) + std::string("\x05\x00\x00\x01\x7F\x00\x00\x01\x1F\x90", 10);
}

TEST(SocketLinkProxy, ScriptedRepliesEndInTheRightCode) {
    const std::string http200 = "HTTP/1.1 200 Connection established\r\nProxy-agent: t\r\n\r\n";
    const struct {
        const char* name;
        int32_t type;
        std::string requestEnd;
        std::size_t requestSize;
        std::vector<Step> script;
        int32_t code;  // 0: connected
        std::string text;
    } cases[] = {
        {"http split", kProxyHttp, "\r\n\r\n", 0, ByteByByte(http200 + "FIRST", 2), 0, ""},
        {"http long headers",
         kProxyHttp,
         "\r\n\r\n",
         0,
         {{"HTTP/1.0 200 OK\r\n" + std::string(3000, 'h') + "\r\n\r\nFIRST"}},
         0,
         ""},
        {"http 407 with 200 inside",
         kProxyHttp,
         "\r\n\r\n",
         0,
         {{"HTTP/1.1 407 Proxy Authentication Required\r\nX-Note: 200 OK\r\n\r\n"}},
         -2004,
         "代理服务器登录失败!"},
        {"http late", kProxyHttp, "\r\n\r\n", 0, {{http200, 1600}}, -2004, "代理服务器登录失败!"},
        {"http silent", kProxyHttp, "\r\n\r\n", 0, {}, -2004, "代理服务器登录失败!"},
        {"socks5 split", kProxySocks5, "", 4, ByteByByte(Socks5Reply() + "FIRST", 2), 0, ""},
        {"socks5 refused",
         kProxySocks5,
         "",
         4,
         {{std::string("\x05\xFF", 2)}},
         -2004,
         "代理服务器连接失败!"},
        {"socks4 split", kProxySocks4, "", 9,
         ByteByByte(std::string("\x00\x5A\x00\x00\x00\x00\x00\x00", 8) + "FIRST", 2), 0, ""},
        {"socks4 late",
         kProxySocks4,
         "",
         9,
         {{std::string("\x00\x5A\x00\x00\x00\x00\x00\x00", 8), 1600}},
         -2004,
         "代理服务器连接失败!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedProxy proxy(c.requestEnd, c.requestSize, c.script);
        CSocketLink link;
        link.SetTimeoutSeconds(1);
        ASSERT_TRUE(link.SetProxy(c.type, "127.0.0.1", proxy.port(), "", ""));
        const bool ok = link.Connect("127.0.0.1", 8080, 1);
        EXPECT_EQ(ok, c.code == 0);
        if (c.code == 0) {
            EXPECT_TRUE(link.IsBlockingMode());
            char first[5] = {};
            EXPECT_EQ(link.ReadExact(first, 5), 5);
            EXPECT_EQ(std::string(first, 5), "FIRST");
        } else {
            EXPECT_EQ(link.GetErrorCode(), c.code);
            EXPECT_EQ(link.GetLinkErrorText(), c.text);
            EXPECT_LT(link.GetSocket(), 0);
        }
        link.Close();
        proxy.Request();
    }
}

TEST(SocketLinkProxy, ProxyClosingDuringTheHandshakeFailsAtOnce) {
    Listener listener;
    std::jthread peer([&] {
        const int fd = listener.Accept();
        linktest::ReadUntil(fd, "\r\n\r\n");
        close(fd);
    });
    CSocketLink link;
    link.SetTimeoutSeconds(30);
    link.SetProxy(kProxyHttp, "127.0.0.1", listener.port(), "", "");
    const int64_t start = platform::TickMs();
    EXPECT_FALSE(link.Connect("127.0.0.1", 1, 1));
    EXPECT_LT(platform::TickMs() - start, 10'000);
    EXPECT_EQ(link.GetErrorCode(), kLinkProxyFailed);
}

TEST(SocketLinkConnect, ErrorsHaveTheirCodesAndTexts) {
    CSocketLink link;
    EXPECT_FALSE(link.Connect("00000001.0A0B0C0D0E0F", 5, 3));
    EXPECT_EQ(link.GetErrorCode(), kLinkCreateSocketFailed);
    EXPECT_EQ(link.GetLinkErrorText(), "Create SPX Socket Fail!");

    EXPECT_FALSE(link.Connect(std::string(43, 'a'), 5, 1));
    EXPECT_EQ(link.GetErrorCode(), kLinkBadAddress);
    EXPECT_EQ(link.GetLinkErrorText(), "非法连接字符串!");

    const linktest::RefusingPort refusing;
    const int closedPort = refusing.port();
    EXPECT_FALSE(link.Connect("127.0.0.1", closedPort, 1));
    EXPECT_EQ(link.GetErrorCode(), kLinkConnectFailed);
    EXPECT_EQ(link.GetLinkErrorText(), "连接服务器失败!");
    EXPECT_TRUE(link.IsBroken());

    EXPECT_FALSE(link.SetProxy(kProxyHttp, std::string(128, 'h'), 1, "", ""));
    EXPECT_EQ(link.GetProxy().ProxyType, 0);
    EXPECT_TRUE(link.SetProxy(kProxyHttp, std::string(127, 'h'), 1, "", ""));
}

// A listener whose accept queue is full drops new SYNs, like a black-holed address.
TEST(SocketLinkConnect, ConnectToAnUnansweringAddressEndsAtTheTimeOut) {
    Listener full(1);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        const int fd = ConnectWithTimeout("127.0.0.1", full.port(), 300);
        if (fd < 0) break;
        fillers.push_back(fd);
    }
    CSocketLink link;
    link.SetTimeoutSeconds(1);
    const int64_t start = platform::TickMs();
    EXPECT_FALSE(link.Connect("127.0.0.1", full.port(), 1));
    const int64_t took = platform::TickMs() - start;
    EXPECT_EQ(link.GetErrorCode(), kLinkConnectFailed);
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 5000);
    for (int fd : fillers) close(fd);
}

class ConnectedLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(link.Connect("127.0.0.1", listener.port(), 1));
        peer = listener.Accept();
        ASSERT_GE(peer, 0);
    }
    void TearDown() override {
        link.Close();
        if (peer >= 0) close(peer);
    }
    void ResetPeer() {
        const linger abortive{1, 0};
        setsockopt(peer, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        close(peer);
        peer = -1;
    }
    Listener listener;
    CSocketLink link;
    int peer = -1;
};

TEST_F(ConnectedLink, PacketsAreFramedAndBadLengthsCloseTheLink) {
    link.SetNonBlocking();
    const std::string body =
        "95=3\x01"
        "96=a\x01=\x01"
        "8=x";
    ASSERT_TRUE(linktest::SendAll(peer, commtest::Packet("") + commtest::Packet(body)));
    uint8_t out[4096];
    int32_t got = 0;
    for (int i = 0; i < 200 && got == 0; ++i) {
        got = link.ReadPacket(out, sizeof out);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(got, static_cast<int32_t>(body.size()));
    int32_t length = 0;
    const uint8_t* raw = link.FindField(out, got, 96, &length);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw), length), "a\x01=");
    raw = link.FindField(out, got, 8, &length);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw), length), "x");

    std::string bad = commtest::Packet("abc");
    bad[0] = 13;
    ASSERT_TRUE(linktest::SendAll(peer, bad));
    for (int i = 0; i < 200 && got >= 0; ++i) {
        got = link.ReadPacket(out, sizeof out);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(got, -1);
    EXPECT_TRUE(link.IsBroken());
}

// A packet longer than the caller's buffer is dropped with its own result, and the packets
// behind it stay readable; a packet that does not decrypt gives the link up.
TEST_F(ConnectedLink, QueuedReadDropsWhatDoesNotFitAndClosesOnBadCipherText) {
    link.SetNonBlocking();
    ASSERT_TRUE(
        linktest::SendAll(peer, commtest::Packet(std::string(100, 'x')) + commtest::Packet("a=1")));
    uint8_t out[16];
    int32_t got = 0;
    for (int i = 0; i < 200 && got == 0; ++i) {
        got = link.ReadPacket(out, sizeof out);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(got, CSocketLink::kReadPacketTooLarge);
    got = 0;
    for (int i = 0; i < 200 && got == 0; ++i) {
        got = link.ReadPacket(out, sizeof out);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(got, 3);

    CQvStdCipher cipher;  // no key: every Decrypt fails
    link.SetCipher(&cipher);
    ASSERT_TRUE(linktest::SendAll(peer, commtest::Packet("a=1", 7, 0, 1)));
    got = 0;
    for (int i = 0; i < 200 && got == 0; ++i) {
        got = link.ReadPacket(out, sizeof out);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(got, -1);
    EXPECT_TRUE(link.IsBroken());
}

// rc4 keeps one key stream: packets written from two threads must be encrypted in the order
// they go out, or the peer's stream (advanced in wire order) decrypts garbage.
TEST_F(ConnectedLink, StatefulCipherIsAppliedInWireOrder) {
    std::string error;
    std::unique_ptr<CQvSymmetricCipher> sender = CreateBuiltInSymmetricCipher("rc4", error);
    std::unique_ptr<CQvSymmetricCipher> reader = CreateBuiltInSymmetricCipher("rc4", error);
    if (!sender || !reader) GTEST_SKIP() << "no RC4 in the crypto library: " << error;
    ASSERT_TRUE(sender->SetKey("0123456789abcdef"));
    ASSERT_TRUE(reader->SetKey("0123456789abcdef"));
    link.SetCipher(sender.get());
    link.SetEncryption(true);
    constexpr int kPerThread = 300;
    std::latch go(2);
    const auto writer = [&](char who) {
        go.arrive_and_wait();
        for (int i = 0; i < kPerThread; ++i) {
            const std::string packet =
                commtest::Packet(std::string("n=") + who + std::to_string(i));
            CIOBuffer* buffer = link.Allocate();
            buffer->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
            EXPECT_EQ(link.Write(*buffer), static_cast<int32_t>(packet.size()));
            buffer->Release();
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    std::string wire;
    int packets = 0;
    while (packets < 2 * kPerThread) {
        const std::string header = linktest::ReadUntil(peer, "", 14);
        ASSERT_EQ(header.size(), 14u);
        const std::size_t length = static_cast<uint8_t>(header[0]) | static_cast<uint8_t>(header[1])
                                                                         << 8;
        const std::string body = linktest::ReadUntil(peer, "", length - 14);
        CIOBuffer* buffer = link.Allocate();
        buffer->AddData(header.data(), 14);
        buffer->AddData(body.data(), static_cast<uint32_t>(body.size()));
        ASSERT_TRUE(reader->Decrypt(*buffer));
        const std::string plain(reinterpret_cast<const char*>(buffer->GetBuffer()) + 14,
                                buffer->GetUsed() - 14);
        buffer->Release();
        EXPECT_EQ(plain.substr(0, 2), "n=") << packets;
        ++packets;
    }
    a.join();
    b.join();
    link.SetCipher(nullptr);
}

TEST_F(ConnectedLink, WriteSendsWholePacketsAndRefusesEmptyOnes) {
    CIOBuffer* buffer = link.Allocate();
    EXPECT_EQ(link.Write(*buffer), -5);
    const std::string packet = commtest::Packet("1=2");
    buffer->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
    EXPECT_EQ(link.Write(*buffer), static_cast<int32_t>(packet.size()));
    buffer->Release();
    EXPECT_EQ(linktest::ReadUntil(peer, "", packet.size()), packet);
}

TEST_F(ConnectedLink, ResetPeerIsNoticedPromptly) {
    EXPECT_FALSE(link.IsBroken());
    ResetPeer();
    bool broken = false;
    for (int i = 0; i < 400 && !broken; ++i) {
        broken = link.IsBroken();
        if (!broken) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(broken);
    char byte;
    EXPECT_LT(link.ReadExact(&byte, 1), 0);
}

TEST_F(ConnectedLink, ClosedPeerEndsAnExactReadWithMinusTwo) {
    ASSERT_TRUE(linktest::SendAll(peer, "ab"));
    shutdown(peer, SHUT_WR);
    char data[3];
    EXPECT_EQ(link.ReadExact(data, 3), -2);
}

TEST_F(ConnectedLink, CloseFromAnotherThreadWakesABlockedReader) {
    std::latch reading(1);
    std::atomic<int32_t> result{1};
    std::jthread reader([&] {
        char data[16];
        reading.count_down();
        result.store(link.ReadExact(data, sizeof data));
    });
    reading.wait();
    // The reader may or may not have entered recv yet; either way it must come back.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t start = platform::TickMs();
    EXPECT_TRUE(link.Close());
    reader.join();
    EXPECT_LT(platform::TickMs() - start, 2000);
    EXPECT_LT(result.load(), 0);
    EXPECT_TRUE(link.Close());
    EXPECT_TRUE(link.IsBroken());
    EXPECT_FALSE(link.IsConnected());
}

TEST(SocketTimeouts, RecvWithTimeoutTellsAClosedPeerFromSilence) {
    Listener listener;
    const int fd = ConnectWithTimeout("127.0.0.1", listener.port(), 2000);
    ASSERT_GE(fd, 0);
    const int peer = listener.Accept();
    char buffer[8];
    EXPECT_EQ(RecvWithTimeout(fd, buffer, sizeof buffer, 50), -1);
    const int silence = errno;
    EXPECT_EQ(silence, EAGAIN);
    ASSERT_TRUE(linktest::SendAll(peer, "xy"));
    EXPECT_EQ(RecvWithTimeout(fd, buffer, sizeof buffer, 2000), 2);
    EXPECT_EQ(SendWithTimeout(fd, "abc", 3, 1000), 3);
    EXPECT_EQ(linktest::ReadUntil(peer, "abc"), "abc");  // unread bytes would make it a reset
    close(peer);
    EXPECT_EQ(RecvWithTimeout(fd, buffer, sizeof buffer, 2000), 0);
    close(fd);
    const linktest::RefusingPort refusing;
    EXPECT_EQ(ConnectWithTimeout("127.0.0.1", refusing.port(), 1000), -1);
    EXPECT_EQ(ConnectWithTimeout("not an address", 1, 1000), -1);
}

}  // namespace

namespace {

// Marks what it saw; Encrypt fails on request.
class MarkingCipher : public CQvSymmetricCipher {
public:
    explicit MarkingCipher(bool encryptWorks)
        : CQvSymmetricCipher("mark", "mark"), works_(encryptWorks) {}
    bool Encrypt(CIOBuffer& buffer) override {
        if (!works_) return false;
        buffer.GetBuffer()[7] |= 1;
        buffer.GetBuffer()[14] ^= 0x20;
        return true;
    }
    bool Decrypt(CIOBuffer& buffer) override {
        buffer.GetBuffer()[14] ^= 0x20;
        return true;
    }
    bool SetKey(const std::string&) override { return true; }
    bool GenerateKey() override { return true; }

private:
    bool works_;
};

TEST_F(ConnectedLink, CipherRunsOnWriteAndOnFlaggedPackets) {
    const std::string packet = commtest::Packet("a=1");
    MarkingCipher failing(false);
    link.SetCipher(&failing);
    link.SetEncryption(true);
    CIOBuffer* buffer = link.Allocate();
    buffer->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
    // A packet that could not be encrypted is not sent in clear text.
    EXPECT_EQ(link.Write(*buffer), CSocketLink::kWriteEncryptFailed);

    MarkingCipher marking(true);
    link.SetCipher(&marking);
    EXPECT_EQ(link.Write(*buffer), static_cast<int32_t>(packet.size()));
    buffer->Release();
    const std::string wire = linktest::ReadUntil(peer, "", packet.size());
    ASSERT_EQ(wire.size(), packet.size());
    EXPECT_EQ(wire.substr(14), "A=1");

    // Echo it back: the flagged body is decrypted on the queued read.
    link.SetNonBlocking();
    ASSERT_TRUE(linktest::SendAll(peer, wire));
    uint8_t out[64];
    int32_t got = 0;
    for (int i = 0; i < 200 && got == 0; ++i) {
        got = link.ReadPacket(out, sizeof out);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(got, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "a=1");
    EXPECT_EQ(link.GetLastHeader()[7] & 1, 1);
    link.Close();  // resets the session: the cipher is no longer used
    EXPECT_EQ(link.GetCipher(), nullptr);
}

}  // namespace
