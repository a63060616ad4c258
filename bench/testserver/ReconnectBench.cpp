// Keeping a FixApi connection alive on loopback: re-authentication plus twenty renewed
// subscriptions after a dropped link, the time until a waiting request hears of a reset
// peer, and thread and descriptor counts after a stretch against a server that resets every
// connection it accepts.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bench/testserver/LoopbackListener.h"
#include "comm/FixApiClient.h"
#include "comm/RequestErrors.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;
using Clock = std::chrono::steady_clock;

std::string Address(uint16_t port) { return "127.0.0.1@" + std::to_string(port) + "/TCP"; }

struct Renewals {
    std::mutex mutex;
    std::condition_variable changed;
    int64_t count = 0;

    static void Callback(CFixApiClient* client, uint32_t handle, int32_t reason) {
        if (reason != kPushRenewed) return;
        auto* self = reinterpret_cast<Renewals*>(client->GetSubscriptionUserValue(handle));
        std::lock_guard lock(self->mutex);
        ++self->count;
        self->changed.notify_all();
    }
    bool WaitFor(int64_t total) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return count >= total; });
    }
};

// From the drop until the link is authenticated again and all twenty subscriptions are back.
void BM_ReauthenticateAndRenew20(benchmark::State& state) {
    constexpr int kSubscriptions = 20;
    testserver::TestServer server;
    server.SetAuthenticationRequired(true);
    if (!server.Start()) {
        state.SkipWithError("test server did not start");
        return;
    }
    CFixApiClient client;
    client.SetReconnectInterval(0);
    if (!client.Connect(Address(server.Port()))) {
        state.SkipWithError("no connection");
        return;
    }
    Renewals renewals;
    for (int i = 0; i < kSubscriptions; ++i) {
        client.BeginRequest(900 + i);
        if (client.Subscribe(&Renewals::Callback, reinterpret_cast<uintptr_t>(&renewals)) == 0) {
            state.SkipWithError("subscription refused");
            return;
        }
    }
    int64_t expected = 0;
    for (auto _ : state) {
        expected += kSubscriptions;
        const auto start = Clock::now();
        server.DropConnections();
        if (!renewals.WaitFor(expected)) {
            state.SkipWithError("subscriptions not renewed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        // The open flag follows the last renewal on the reconnection thread.
        while (client.IsClosed()) std::this_thread::yield();
    }
}
BENCHMARK(BM_ReauthenticateAndRenew20)
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// From the server's abortive close until a request waiting for an answer has failed.
void BM_NoticeResetPeer(benchmark::State& state) {
    testserver::TestServer server;
    server.InjectFault(910, testserver::Fault{testserver::FaultKind::Silence});
    if (!server.Start()) {
        state.SkipWithError("test server did not start");
        return;
    }
    CFixApiClient client;
    client.SetAutoReconnect(false);
    for (auto _ : state) {
        state.PauseTiming();
        if (!client.Connect(Address(server.Port()))) {
            state.SkipWithError("no connection");
            break;
        }
        server.ClearRequests();
        std::atomic<int32_t> code{0};
        Clock::time_point failed;
        std::thread waiter([&] {
            CFixRequest* request = client.CreateRequest();
            request->SetTimeout(30);
            request->BeginRequest(910);
            request->NextRow();
            failed = Clock::now();
            code = request->GetErrorCode();
            request->Release();
        });
        server.WaitForRequests(1, std::chrono::seconds(10));
        state.ResumeTiming();
        const auto start = Clock::now();
        server.DropConnections();
        waiter.join();
        state.SetIterationTime(std::chrono::duration<double>(failed - start).count());
        if (code.load() != kErrLinkClosed) {
            state.SkipWithError("the waiter did not fail with the link");
            break;
        }
    }
}
BENCHMARK(BM_NoticeResetPeer)->Iterations(50)->UseManualTime()->Unit(benchmark::kMicrosecond);

std::size_t CountEntries(const char* directory) {
    std::size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') ++count;
        }
        closedir(dir);
    }
    return count;
}

// Accepts every connection and resets it at once, until stopped.
class ResettingServer {
public:
    ResettingServer() {
        fd_ = benchsupport::ListenOnLoopback(16, port_);
        thread_ = std::jthread([this](std::stop_token token) {
            while (!token.stop_requested()) {
                pollfd poll_fd{fd_, POLLIN, 0};
                if (poll(&poll_fd, 1, 20) != 1) continue;
                const int peer = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (peer < 0) continue;
                const linger abortive{1, 0};
                setsockopt(peer, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
                close(peer);
                accepted_.fetch_add(1);
            }
        });
    }
    ~ResettingServer() {
        thread_.request_stop();
        thread_.join();
        close(fd_);
    }
    uint16_t Port() const { return port_; }
    int64_t Accepted() const { return accepted_.load(); }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int64_t> accepted_{0};
    std::jthread thread_;
};

// The client reconnects for state.range(0) ms to a server that resets every connection (its
// first server gone): each attempt connects, starts a re-authentication that fails, and the
// next one follows. Thread and descriptor counts stay where they were.
void BM_AcceptThenResetServer(benchmark::State& state) {
    const auto stretch = std::chrono::milliseconds(state.range(0));
    for (auto _ : state) {
        auto server = std::make_unique<testserver::TestServer>();
        ResettingServer resetting;
        if (!server->Start()) {
            state.SkipWithError("test server did not start");
            return;
        }
        CFixApiClient client;
        client.SetReconnectInterval(0);
        if (!client.Connect(Address(server->Port()))) {
            state.SkipWithError("no connection");
            return;
        }
        client.AddServerAddress(Address(resetting.Port()));
        server->Stop();
        server.reset();
        // Counted once the cycle runs, so the first server's threads are gone already.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::size_t threadsBefore = CountEntries("/proc/self/task");
        const std::size_t fdsBefore = CountEntries("/proc/self/fd");
        std::size_t threadsMax = threadsBefore;
        const auto end = Clock::now() + stretch;
        while (Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            threadsMax = std::max(threadsMax, CountEntries("/proc/self/task"));
        }
        state.counters["attempts"] = static_cast<double>(resetting.Accepted());
        state.counters["threads_before"] = static_cast<double>(threadsBefore);
        state.counters["threads_after"] = static_cast<double>(CountEntries("/proc/self/task"));
        state.counters["threads_max"] = static_cast<double>(threadsMax);
        state.counters["fds_before"] = static_cast<double>(fdsBefore);
        state.counters["fds_after"] = static_cast<double>(CountEntries("/proc/self/fd"));
        client.Close();
    }
}
BENCHMARK(BM_AcceptThenResetServer)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
