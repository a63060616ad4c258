// Keeping a FixApi connection alive against the test trading server: reconnection after a
// dropped link with re-authentication and the same subscription handles, addresses tried in
// turn, renewal of subscriptions the server cancelled, receiving while a renewal waits, and a
// close while the reconnection thread is re-authenticating.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "comm/Authentication.h"
#include "comm/FixApiClient.h"
#include "comm/FixPacket.h"
#include "comm/RequestErrors.h"
#include "tests/comm/LinkTestSupport.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;
using namespace std::chrono_literals;
using testserver::Fault;
using testserver::FaultKind;
using testserver::ReceivedRequest;

std::string Address(uint16_t port) { return "127.0.0.1@" + std::to_string(port) + "/tcp"; }

// Polls a condition that no event announces (the client's open flag, its pending list).
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Every callback call of the subscriptions that point at it: (handle, reason), and pushes.
struct CallLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<uint32_t, int32_t>> calls;
    std::vector<std::string> pushes;

    static void Callback(CFixApiClient* client, uint32_t handle, int32_t reason) {
        auto* log = reinterpret_cast<CallLog*>(client->GetSubscriptionUserValue(handle));
        ASSERT_NE(log, nullptr) << "handle " << handle << " reason " << reason;
        std::lock_guard lock(log->mutex);
        log->calls.emplace_back(handle, reason);
        if (reason == kPushDelivered) log->pushes.push_back(client->GetPushString(600));
        log->changed.notify_all();
    }
    std::size_t Count(uint32_t handle, int32_t reason) {
        std::lock_guard lock(mutex);
        return static_cast<std::size_t>(
            std::count(calls.begin(), calls.end(), std::make_pair(handle, reason)));
    }
    bool WaitFor(uint32_t handle, int32_t reason, std::size_t count = 1,
                 std::chrono::milliseconds timeout = 10s) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] {
            return static_cast<std::size_t>(std::count(calls.begin(), calls.end(),
                                                       std::make_pair(handle, reason))) >= count;
        });
    }
};

uint32_t SubscribeTo(CFixApiClient& client, int32_t function, const std::string& range,
                     CallLog& log) {
    client.BeginRequest(function);
    client.AddStringField(220, range);
    return client.Subscribe(&CallLog::Callback, reinterpret_cast<uintptr_t>(&log));
}

std::vector<ReceivedRequest> Subscriptions(const testserver::TestServer& server,
                                           std::size_t connection) {
    std::vector<ReceivedRequest> found;
    for (const ReceivedRequest& request : server.Requests())
        if (request.kind == kKindSubscribe && request.connection == connection)
            found.push_back(request);
    return found;
}

class ReconnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Business before the handshake is refused: a renewal that succeeds proves the new
        // link was authenticated first.
        server.SetAuthenticationRequired(true);
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        client.SetReconnectInterval(0);
        ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    }

    testserver::TestServer server;
    CFixApiClient client;
};

// The server drops the link in the middle of an answer: the waiter fails at once, the
// receive loop connects again, re-authenticates and renews both subscriptions under their
// old handles, with their item 220, newest first; pushes then reach the same handles.
TEST_F(ReconnectTest, DropMidAnswerReconnectsWithTheSameHandles) {
    CallLog log;
    const uint32_t first = SubscribeTo(client, 530, "range(605:A)", log);
    const uint32_t second = SubscribeTo(client, 531, "", log);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    server.Script(532, {{{507, "0"}, {600, std::string(3000, 'x')}}});
    server.InjectFault(532, Fault{FaultKind::DropMidAnswer});

    CFixRequest* request = client.CreateRequest();
    request->BeginRequest(532);
    EXPECT_FALSE(request->NextRow());
    EXPECT_EQ(request->GetErrorCode(), kErrLinkClosed);
    request->Release();

    ASSERT_TRUE(log.WaitFor(first, kPushRenewed));
    ASSERT_TRUE(log.WaitFor(second, kPushRenewed));
    ASSERT_TRUE(WaitUntil([&] { return !client.IsClosed(); }));
    EXPECT_TRUE(client.IsReady());
    EXPECT_EQ(client.GetSubscriptionCount(), 2u);
    EXPECT_EQ(client.GetPendingCount(), 0u);  // the open flag follows the whole renewal
    EXPECT_EQ(server.ConnectionCount(), 2u);
    EXPECT_EQ(server.Authentication().Records().size(), 2u);

    const std::vector<ReceivedRequest> renewed = Subscriptions(server, 1);
    ASSERT_EQ(renewed.size(), 2u);
    EXPECT_EQ(renewed[0].function, 531);
    EXPECT_EQ(renewed[0].Get(220), "");
    EXPECT_EQ(renewed[1].function, 530);
    EXPECT_EQ(renewed[1].Get(220), "range(605:A)");

    ASSERT_TRUE(server.WaitForSubscriptions("530", 1, 5s));
    EXPECT_EQ(server.Push("530", {{600, "after"}}), 1u);
    ASSERT_TRUE(log.WaitFor(first, kPushDelivered));
    EXPECT_EQ(log.pushes, std::vector<std::string>{"after"});

    // Unsubscribing after the renewal names the new server-side subscription.
    EXPECT_TRUE(client.Unsubscribe(first));
    EXPECT_TRUE(server.WaitForSubscriptions("530", 0, 5s));
}

// A renewal waits for its answer on a thread of its own; meanwhile the receive thread goes
// on dispatching answers and parking subscriptions the server cancels, and a second run
// is refused at once.
TEST_F(ReconnectTest, ARenewalWaitingForItsAnswerDoesNotBlockReceiving) {
    CallLog log;
    const uint32_t stuck = SubscribeTo(client, 540, "", log);
    const uint32_t other = SubscribeTo(client, 541, "", log);
    ASSERT_TRUE(server.WaitForSubscriptions("541", 1, 5s));
    server.InjectFault(540, Fault{FaultKind::Silence});
    ASSERT_EQ(server.CancelSubscription("540"), 1u);
    ASSERT_TRUE(WaitUntil([&] { return client.GetPendingCount() == 1; }));
    // The renewal would wait this long for the silent server.
    client.SetTimeoutSeconds(60);

    server.ClearRequests();
    std::atomic<bool> renewed{true};
    std::thread renewal([&] { renewed = client.ResubscribeAll(); });
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_FALSE(client.ResubscribeAll());

    ASSERT_EQ(server.CancelSubscription("541"), 1u);
    ASSERT_TRUE(log.WaitFor(other, kPushCancelled));
    server.Script(542, {{{507, "0"}, {600, "ok"}}});
    CFixRequest* request = client.CreateRequest();
    request->SetTimeout(5);
    request->BeginRequest(542);
    EXPECT_TRUE(request->NextRow()) << request->GetErrorText();
    EXPECT_EQ(request->GetString(600), "ok");
    request->Release();
    EXPECT_TRUE(WaitUntil([&] { return client.GetPendingCount() == 2; }));

    client.Close();  // fails the renewal's wait
    renewal.join();
    EXPECT_FALSE(renewed.load());
    EXPECT_EQ(log.Count(stuck, kPushRenewed), 0u);
}

// A subscription the server cancels is renewed by the client's own timer within about five
// seconds; every client has its own, so both clients get theirs back.
TEST_F(ReconnectTest, CancelledSubscriptionsOfEveryClientAreRenewed) {
    CFixApiClient second;
    ASSERT_TRUE(second.Connect(Address(server.Port())));
    CallLog log;
    const uint32_t mine = SubscribeTo(client, 550, "", log);
    const uint32_t theirs = SubscribeTo(second, 550, "", log);
    ASSERT_TRUE(server.WaitForSubscriptions("550", 2, 5s));
    ASSERT_EQ(server.CancelSubscription("550"), 2u);
    ASSERT_TRUE(log.WaitFor(mine, kPushCancelled));
    ASSERT_TRUE(log.WaitFor(theirs, kPushCancelled));
    ASSERT_TRUE(log.WaitFor(mine, kPushRenewed, 1, 15s));
    ASSERT_TRUE(log.WaitFor(theirs, kPushRenewed, 1, 15s));
    EXPECT_TRUE(server.WaitForSubscriptions("550", 2, 5s));
    // The old entry leaves the pending list right after its callback heard of the renewal.
    EXPECT_TRUE(WaitUntil([&] { return client.GetPendingCount() == 0; }));
    EXPECT_TRUE(WaitUntil([&] { return second.GetPendingCount() == 0; }));
    EXPECT_EQ(server.Push("550", {{600, "p"}}), 2u);
    EXPECT_TRUE(log.WaitFor(mine, kPushDelivered));
    EXPECT_TRUE(log.WaitFor(theirs, kPushDelivered));
}

TEST_F(ReconnectTest, WithoutAutoReconnectTheLinkStaysDown) {
    CallLog log;
    const uint32_t handle = SubscribeTo(client, 560, "", log);
    ASSERT_NE(handle, 0u);
    client.SetAutoReconnect(false);
    ASSERT_EQ(server.DropConnections(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return client.GetPendingCount() == 1; }));
    EXPECT_TRUE(client.IsClosed());
    EXPECT_FALSE(server.WaitForConnections(2, 300ms));
    // A parked subscription is dropped without asking the server, and never renewed.
    EXPECT_TRUE(client.Unsubscribe(handle));
    EXPECT_EQ(client.GetPendingCount(), 0u);
    EXPECT_FALSE(client.Unsubscribe(handle));
    client.SetAutoReconnect(true);
    ASSERT_TRUE(server.WaitForConnections(2, 10s));
    ASSERT_TRUE(WaitUntil([&] { return !client.IsClosed(); }));
    EXPECT_EQ(client.GetSubscriptionCount(), 0u);
    EXPECT_EQ(log.Count(handle, kPushRenewed), 0u);
}

// The request that was current when the link went down is gone with it: its refusal text
// is not what a reconnection that fails reports.
TEST_F(ReconnectTest, ALostLinkTakesTheCurrentRequestWithIt) {
    server.Script(570, {{{507, "-1"}, {508, "旧请求的错误"}}});
    ASSERT_TRUE(client.BeginRequest(570));
    ASSERT_NE(client.SendCurrent(), nullptr);
    client.NextRow(nullptr);
    ASSERT_EQ(client.GetErrorText(), "旧请求的错误");

    // Every reconnection is refused: the server is gone.
    ASSERT_TRUE(server.Stop());
    ASSERT_TRUE(WaitUntil([&] {
        CFixRequest* current = client.GetCurrentRequest();
        if (current == nullptr) return true;
        current->Release();
        return false;
    }));
    EXPECT_NE(client.GetErrorText(), "旧请求的错误");
    EXPECT_EQ(client.GetErrorText(), client.GetLinkErrorText());
    EXPECT_FALSE(client.NextRow(nullptr));
}

// After a drop the next address of the list is tried, then the one after it, one attempt per
// interval: a refused address costs a whole interval before the first one comes back.
TEST(ReconnectAddressTest, AddressesAreTriedInTurnOncePerInterval) {
    testserver::TestServer primary;
    testserver::TestServer backup;
    ASSERT_TRUE(primary.Start());
    ASSERT_TRUE(backup.Start());
    linktest::RefusingPort refusing;
    CFixApiClient client;
    client.SetReconnectInterval(1);
    ASSERT_TRUE(client.Connect(Address(primary.Port())));
    client.AddServerAddress(Address(backup.Port()));
    client.AddServerAddress(Address(static_cast<uint16_t>(refusing.port())));

    ASSERT_EQ(primary.DropConnections(), 1u);
    ASSERT_TRUE(backup.WaitForConnections(1, 10s));
    ASSERT_TRUE(WaitUntil([&] { return !client.IsClosed(); }));

    const auto dropped = std::chrono::steady_clock::now();
    ASSERT_EQ(backup.DropConnections(), 1u);
    ASSERT_TRUE(primary.WaitForConnections(2, 10s));
    // The refused address took one attempt, so the primary's came an interval after it.
    EXPECT_GE(std::chrono::steady_clock::now() - dropped, 1s);
    EXPECT_TRUE(WaitUntil([&] { return !client.IsClosed(); }));
    EXPECT_EQ(backup.ConnectionCount(), 1u);
}

// Close, or destruction, while the reconnection thread waits for the server's key: the
// thread ends with the client instead of running on in freed memory (sanitizer runs).
TEST(ReconnectCloseTest, CloseDuringReauthentication) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroy" : "close");
        testserver::TestServer server;
        std::mutex mutex;
        std::condition_variable changed;
        bool reached = false;
        bool released = false;
        server.SetHook(kFunctionAuthenticationKey, [&](const ReceivedRequest& request) {
            if (request.connection >= 1) {
                std::unique_lock lock(mutex);
                reached = true;
                changed.notify_all();
                changed.wait_for(lock, 10s, [&] { return released; });
            }
            return server.Authentication().KeyAnswer(request);
        });
        ASSERT_TRUE(server.Start());
        auto client = std::make_unique<CFixApiClient>();
        client->SetReconnectInterval(0);
        ASSERT_TRUE(client->Connect(Address(server.Port())));
        CallLog log;
        ASSERT_NE(SubscribeTo(*client, 570, "", log), 0u);
        ASSERT_EQ(server.DropConnections(), 1u);
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return reached; }));
        }
        if (destroy) {
            client.reset();
        } else {
            EXPECT_TRUE(client->Close());
            EXPECT_TRUE(client->IsClosed());
            EXPECT_EQ(client->GetPendingCount(), 1u);
        }
        {
            std::lock_guard lock(mutex);
            released = true;
        }
        changed.notify_all();
        server.Stop();
    }
}

}  // namespace
