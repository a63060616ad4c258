// Speed of the FixApi client on loopback: one-row round trips through the request wrapper
// against the test server (with latency percentiles), and pushes dispatched per second to a
// no-op callback.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/testserver/LoopbackListener.h"
#include "comm/FixApiClient.h"
#include "tests/comm/NoHandshakeClient.h"
#include "comm/TradeConnection.h"
#include "testserver/TestServer.h"
#include "tradedata/TradeRequest.h"

namespace {

using namespace NoltComm;

void BM_TradeRequestRoundTrip(benchmark::State& state) {
    testserver::TestServer server;
    if (!server.Start()) {
        state.SkipWithError("test server did not start");
        return;
    }
    server.Script(700, {{{507, "1"}, {508, "ok"}, {605, "cu2501"}}});
    CTradeConnection connection;
    if (!connection.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/TCP")) {
        state.SkipWithError("no connection");
        return;
    }
    std::vector<double> micros;
    micros.reserve(1 << 20);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto request = CTradeRequest::Create(&connection);
        request->SetFunction(700);
        request->SetString(605, "cu2501");
        request->SetLong(684, 1);
        request->Send();
        if (!request->NextRow() || request->GetLong(507) != 1) {
            state.SkipWithError("bad answer");
            break;
        }
        request.reset();
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) {
        return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * micros.size()))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = micros.back();
    state.counters["over_10ms"] = static_cast<double>(
        std::count_if(micros.begin(), micros.end(), [](double us) { return us >= 10000.0; }));
}
BENCHMARK(BM_TradeRequestRoundTrip)->Iterations(20000)->UseRealTime();

// A server of its own for the push figure: it answers the one subscription and then writes
// a prepared burst of pushes as fast as the socket takes them, so the client is what is
// measured.
std::string PushPacket(const std::string& body, uint32_t id, uint8_t kind, uint8_t packetFlags) {
    const uint16_t length = static_cast<uint16_t>(14 + body.size());
    std::string p(14, '\0');
    p[0] = static_cast<char>(length & 0xFF);
    p[1] = static_cast<char>(length >> 8);
    std::memcpy(p.data() + 2, &id, 4);
    p[6] = static_cast<char>(kind);
    p[8] = static_cast<char>(packetFlags);
    return p + body;
}

std::atomic<int64_t> g_pushes{0};

void CountPush(CFixApiClient* client, uint32_t, int32_t) {
    benchmark::DoNotOptimize(client);
    g_pushes.fetch_add(1, std::memory_order_relaxed);
}

void BM_PushesToNoOpCallback(benchmark::State& state) {
    uint16_t port = 0;
    const int listener = benchsupport::ListenOnLoopback(1, port);

    constexpr int kBurst = 200000;
    std::string burst;
    for (int i = 0; i < kBurst; ++i) {
        burst += PushPacket(
            "35=500\x01"
            "384=T\x01"
            "10=600000\x01"
            "11=12.5\x01"
            "12=" +
                std::to_string(i) + "\x01",
            0, 3, 0);
    }
    int peer = -1;
    std::thread serverThread([&] {
        peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        char header[14];
        if (recv(peer, header, sizeof header, MSG_WAITALL) != 14) return;
        uint16_t length = 0;
        uint32_t id = 0;
        std::memcpy(&length, header, 2);
        std::memcpy(&id, header + 2, 4);
        std::string body(length - 14u, '\0');
        recv(peer, body.data(), body.size(), MSG_WAITALL);
        const std::string answer = PushPacket(
            "507=0\x01"
            "384=T\x01"
            "246=1\x01",
            id, 2, 0x05);
        send(peer, answer.data(), answer.size(), MSG_NOSIGNAL);
    });
    commtest::NoHandshakeClient client;
    if (!client.Connect("127.0.0.1@" + std::to_string(port) + "/TCP")) {
        state.SkipWithError("no connection");
        serverThread.join();
        return;
    }
    client.BeginRequest(500);
    const uint32_t handle = client.Subscribe(&CountPush, 0);
    serverThread.join();
    if (handle == 0) {
        state.SkipWithError("subscription refused");
        return;
    }
    for (auto _ : state) {
        const int64_t target = g_pushes.load() + kBurst;
        const auto start = std::chrono::steady_clock::now();
        std::thread writer([&] {
            std::size_t done = 0;
            while (done < burst.size()) {
                const ssize_t n =
                    send(peer, burst.data() + done, burst.size() - done, MSG_NOSIGNAL);
                if (n <= 0) return;
                done += static_cast<std::size_t>(n);
            }
        });
        while (g_pushes.load(std::memory_order_relaxed) < target) std::this_thread::yield();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        writer.join();
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(state.iterations() * kBurst);
    close(peer);
    close(listener);
}
BENCHMARK(BM_PushesToNoOpCallback)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
