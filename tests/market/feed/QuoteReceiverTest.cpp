// Quote reception: datagrams by broadcast on loopback and by multicast and broadcast inside a
// network namespace of the test's own, the feeds reopened after a close, a quote thread that
// sleeps until woken, sockets held past their close, and the UDP quote link's callback, alone
// and as the feeds connect it to the compact-record processing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "market/feed/QuoteFeeds.h"
#include "tests/market/feed/Level2Fixture.h"
#include "testserver/QuoteRecords.h"
#include "testserver/UdpQuoteServer.h"

namespace market::feed::testing {
namespace {

std::string Snapshot(const char* code, int64_t last) { return TickSnapshot(code, last); }

// Sends one datagram to the address (broadcast allowed); false when it could not be sent.
bool SendDatagram(const char* address, uint16_t port, const std::string& bytes) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    const unsigned char loop = 1;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    in_addr local{};
    inet_pton(AF_INET, "127.0.0.1", &local);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, address, &to.sin_addr);
    const ssize_t sent =
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
    return sent == static_cast<ssize_t>(bytes.size());
}

class QuoteReceiverTest : public Level2Test {};

TEST_F(QuoteReceiverTest, BroadcastOnLoopbackReachesTheRow) {
    const uint16_t port = FreePort();
    ASSERT_TRUE(receiver.JoinMulticast(QuoteSocketSlot::kMulticast, port, ""));
    const int fd = receiver.Socket(QuoteSocketSlot::kMulticast)->fd();
    int value = 0;
    socklen_t size = sizeof value;
    getsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, &size);
    EXPECT_EQ(value, 1);
    getsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &value, &size);
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(SendDatagram("127.255.255.255", port, Snapshot("cu2501", 7010)));
    EXPECT_TRUE(thread.WaitFor([] { return D("cu2501", 729) == 70100.0; }));
    // A datagram of no known kind is counted and applies nothing.
    ASSERT_TRUE(SendDatagram("127.0.0.1", port, std::string(100, 'x')));
    EXPECT_TRUE(thread.WaitFor([&] { return processor.Counters().malformed.load() == 1; }));
    EXPECT_EQ(D("cu2501", 729), 70100.0);
}

TEST_F(QuoteReceiverTest, PortZeroOrAGroupThatCannotBeJoinedLeavesTheSlotClosed) {
    EXPECT_FALSE(receiver.JoinMulticast(QuoteSocketSlot::kMulticast, 0, ""));
    EXPECT_FALSE(receiver.IsOpen(QuoteSocketSlot::kMulticast));
    uint32_t group = 0;
    const struct {
        const char* text;
        bool valid;
    } groups[] = {{"239.1.1.1", true}, {"0.0.0.0", false}, {"", false},
                  {"239.1.1", false},  {"x", false},       {"239.1.1.1.1", false}};
    for (const auto& g : groups) EXPECT_EQ(ParseGroupAddress(g.text, group), g.valid) << g.text;
}

// Inside a namespace the test makes itself, with only its loopback (up, with multicast and a
// route for the multicast groups): a joined group and a broadcast both reach the row. Runs in
// a child process, whose exit code tells what happened.
TEST_F(QuoteReceiverTest, MulticastAndBroadcastInsideANetworkNamespace) {
    thread.Stop();  // the child must start without other threads
    constexpr int kRefused = 77;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(kRefused);
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq request{};
        std::strcpy(request.ifr_name, "lo");
        if (ioctl(fd, SIOCGIFFLAGS, &request) != 0) _exit(10);
        request.ifr_flags |= IFF_UP | IFF_MULTICAST;
        if (ioctl(fd, SIOCSIFFLAGS, &request) != 0) _exit(11);
        rtentry route{};
        auto* dst = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
        dst->sin_family = AF_INET;
        inet_pton(AF_INET, "224.0.0.0", &dst->sin_addr);
        auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
        mask->sin_family = AF_INET;
        inet_pton(AF_INET, "240.0.0.0", &mask->sin_addr);
        char device[] = "lo";
        route.rt_dev = device;
        route.rt_flags = RTF_UP;
        if (ioctl(fd, SIOCADDRT, &route) != 0) _exit(12);
        close(fd);

        CQuoteReceiver inside(processor);
        QuoteThread quotes(inside);
        if (!inside.JoinMulticast(QuoteSocketSlot::kLevel2Quote, 9000, "239.1.1.1")) _exit(20);
        if (!SendDatagram("239.1.1.1", 9000, Snapshot("cu2501", 7020))) _exit(21);
        if (!quotes.WaitFor([] { return D("cu2501", 729) == 70200.0; })) _exit(22);
        if (!inside.JoinMulticast(QuoteSocketSlot::kMulticast, 9001, "")) _exit(30);
        if (!SendDatagram("127.255.255.255", 9001, Snapshot("IF2501", 4000))) _exit(31);
        if (!quotes.WaitFor([] { return D("IF2501", 729) != 0.0; })) _exit(32);
        quotes.Stop();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kRefused)
        GTEST_SKIP() << "this machine refuses a network namespace (unshare CLONE_NEWNET)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "step that failed, by exit code";
}

TEST_F(QuoteReceiverTest, IdleThreadSleepsUntilWokenAndStops) {
    CQuoteReceiver idle(processor);
    QuoteThread quotes(idle);
    // One datagram, one return from the wait; opening and closing sockets wakes nothing; the
    // stop ends the wait the thread is blocked in.
    const uint16_t port = FreePort();
    ASSERT_TRUE(idle.JoinMulticast(QuoteSocketSlot::kMulticast, port, ""));
    ASSERT_TRUE(SendDatagram("127.0.0.1", port, Snapshot("cu2501", 7030)));
    ASSERT_TRUE(quotes.WaitFor([] { return D("cu2501", 729) == 70300.0; }));
    EXPECT_EQ(idle.WaitReturns(), 1u);  // counted as the wait returns, before the datagram
    ASSERT_TRUE(idle.JoinMulticast(QuoteSocketSlot::kLevel2Quote, FreePort(), ""));
    idle.CloseAll();
    quotes.Stop();
    // At most the stop's own return (none when the thread saw the stop before waiting again).
    EXPECT_LE(idle.WaitReturns(), 2u);
}

TEST_F(QuoteReceiverTest, HeldSocketOutlivesItsCloseAndTheSlotIgnoresAStaleOwner) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    receiver.AdoptControl(pair[0], false);
    QuoteSocketRef held = receiver.Socket(QuoteSocketSlot::kControl);
    ASSERT_TRUE(held);
    receiver.Close(QuoteSocketSlot::kControl);
    EXPECT_FALSE(receiver.IsOpen(QuoteSocketSlot::kControl));
    EXPECT_EQ(fcntl(pair[0], F_GETFD), FD_CLOEXEC);  // still this socket's number
    // A close on behalf of the old socket leaves a newer one alone.
    int other[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, other), 0);
    receiver.AdoptControl(other[0], false);
    receiver.Close(QuoteSocketSlot::kControl, held.get());
    EXPECT_TRUE(receiver.IsOpen(QuoteSocketSlot::kControl));
    held.reset();
    EXPECT_EQ(fcntl(pair[0], F_GETFD), -1);
    // The peer goes away: the quote thread closes the slot.
    close(other[1]);
    EXPECT_TRUE(thread.WaitFor([&] { return !receiver.IsOpen(QuoteSocketSlot::kControl); }));
    close(pair[1]);
}

TEST_F(QuoteReceiverTest, FeedsReopenWhatWasClosed) {
    std::atomic<uint32_t> state{0};
    CQuoteFeeds::Hooks hooks;
    const uint16_t port = FreePort();
    hooks.multicastSettings = [port] { return MulticastSettings{16404, port, ""}; };
    int32_t function = 0;
    hooks.setSubscribeFunction = [&](int32_t f) { function = f; };
    hooks.control = ControlHooks();
    hooks.receiver.debug = [](std::string_view) {};
    CQuoteFeeds feeds(state, hooks);
    feeds.OpenMulticastFeed();
    EXPECT_EQ(function, 16404);
    EXPECT_NE(state.load() & kFrameMulticastFeedOpen, 0u);
    EXPECT_NE(shell::GetQuoteSourceState() & kQuoteStateMulticast, 0u);
    EXPECT_FALSE(feeds.RestoreQuoteFeeds());
    feeds.Receiver().Close(QuoteSocketSlot::kMulticast);
    EXPECT_TRUE(feeds.RestoreQuoteFeeds());
    EXPECT_TRUE(feeds.Receiver().IsOpen(QuoteSocketSlot::kMulticast));

    // "BroadcastPort" 0: nothing opened and nothing to restore.
    std::atomic<uint32_t> none{0};
    hooks.multicastSettings = [] { return MulticastSettings{16404, 0, ""}; };
    CQuoteFeeds off(none, hooks);
    off.OpenMulticastFeed();
    EXPECT_EQ(none.load() & kFrameMulticastFeedOpen, 0u);
    EXPECT_FALSE(off.RestoreQuoteFeeds());
}

TEST_F(QuoteReceiverTest, UdpLinkDeliversOnlyDataMessagesToTheCallback) {
    testserver::UdpQuoteServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorText();
    CUdpCallbackReceiver link;
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::string> payloads;
    link.SetCallback([&](const uint8_t* payload, int32_t length) {
        std::lock_guard hold(lock);
        payloads.emplace_back(reinterpret_cast<const char*>(payload),
                              static_cast<std::size_t>(length));
        arrived.notify_all();
    });
    ASSERT_TRUE(link.Register("127.0.0.1", server.Port(), 5)) << link.GetLastErrorText();
    auto message = [](uint8_t type, const std::string& payload) {
        std::string m(4, '\0');
        m[0] = static_cast<char>((payload.size() + 4) & 0xff);
        m[1] = static_cast<char>((payload.size() + 4) >> 8);
        m[2] = 1;
        m[3] = static_cast<char>(type);
        return m + payload;
    };
    auto waitFor = [&](std::size_t count) {
        std::unique_lock hold(lock);
        return arrived.wait_for(hold, std::chrono::seconds(10),
                                [&] { return payloads.size() >= count; });
    };
    ASSERT_EQ(
        server.SendRaw(message(2, "keepalive") + message(0, "register") + message(4, "quotes-1")),
        1u);
    ASSERT_TRUE(waitFor(1));
    link.SetCallback(nullptr);
    // The keep-alive answer behind the data message tells when the link has walked past it.
    const uint32_t answers = link.GetKeepAliveAnswers();
    ASSERT_EQ(server.SendRaw(message(4, "dropped") + message(2, "keepalive")), 1u);
    for (int i = 0; i < 10000 && link.GetKeepAliveAnswers() == answers; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(link.GetKeepAliveAnswers(), answers);
    link.SetCallback([&](const uint8_t* payload, int32_t length) {
        std::lock_guard hold(lock);
        payloads.emplace_back(reinterpret_cast<const char*>(payload),
                              static_cast<std::size_t>(length));
        arrived.notify_all();
    });
    ASSERT_EQ(server.SendData("quotes-2"), 1u);
    ASSERT_TRUE(waitFor(2));
    link.Close();
    EXPECT_EQ(payloads, (std::vector<std::string>{"quotes-1", "quotes-2"}));
}

// The frame's UDP quote link, once connected, hands its data messages to the compact-record
// processing: the row is written and its receiver woken; once closed, nothing more arrives.
TEST_F(QuoteReceiverTest, FeedsUdpLinkAppliesCompactRecords) {
    struct WokenReceiver : QuoteRowReceiver {
        void Wake() override {
            std::lock_guard hold(lock);
            woken = true;
            changed.notify_all();
        }
        bool WaitWoken() {
            std::unique_lock hold(lock);
            return changed.wait_for(hold, std::chrono::seconds(10), [&] { return woken; });
        }
        std::mutex lock;
        std::condition_variable changed;
        bool woken = false;
    };
    testserver::UdpQuoteServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorText();
    std::atomic<uint32_t> state{0};
    CQuoteFeeds::Hooks hooks;
    hooks.receiver.debug = [](std::string_view) {};
    CQuoteFeeds feeds(state, hooks);
    WokenReceiver window;
    feeds.Notifier().AddReceiver(&window, kRowQuoteChannel);
    feeds.ConnectUdpCallback();
    ASSERT_TRUE(feeds.Udp().Register("127.0.0.1", server.Port(), 5))
        << feeds.Udp().GetLastErrorText();
    ASSERT_EQ(server.SendData(testserver::EncodeCompactRecord(TickQuote("cu2501", 7040))), 1u);
    ASSERT_TRUE(window.WaitWoken());
    const std::vector<tradedata::RowRef> rows = feeds.Notifier().TakeRows(&window);
    EXPECT_EQ(rows, std::vector<tradedata::RowRef>{tradedata::FindContract("cu2501")});
    EXPECT_EQ(D("cu2501", 729), 70400.0);
    feeds.Close();
    feeds.Notifier().RemoveReceiver(&window);
}

}  // namespace
}  // namespace market::feed::testing
