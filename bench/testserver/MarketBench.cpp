// CPU use of the live market at 2,000 contracts and 10 updates per second each: one
// iteration is one market second (20,000 updates), so the CPU time per iteration is the share
// of one core the market takes. Three depths: the moves alone; the moves with every record
// encoded; the moves published through all sources (a FixApi subscriber of every code, a
// registered UDP link client and a level-2 UDP client; the FixApi reader drains on its own
// thread, the datagrams are left to overflow their receivers).
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "tests/testserver/QuoteSockets.h"
#include "tests/testserver/RawClient.h"
#include "testserver/Level2Server.h"
#include "testserver/MarketPublisher.h"
#include "testserver/QuoteRecords.h"
#include "testserver/TestServer.h"
#include "testserver/UdpQuoteServer.h"

namespace {

using namespace std::chrono_literals;
using testserver::Market;
using testserver::MarketPublisher;

constexpr int kContracts = 2000;
constexpr double kRate = 10;

const testserver::TradingDay& Day() {
    static const testserver::TradingDay day = testserver::GeneratedTradingDay(kContracts, 0);
    return day;
}

void Report(benchmark::State& state, std::size_t updates) {
    state.counters["updates"] =
        benchmark::Counter(static_cast<double>(updates), benchmark::Counter::kAvgIterations);
    state.counters["contracts"] = static_cast<double>(kContracts);
}

void BM_MarketMoves(benchmark::State& state) {
    Market market(Day(), {.rate = kRate, .seed = 1});
    std::size_t updates = 0;
    for (auto _ : state) updates += market.Advance(1000ms).size();
    Report(state, updates);
}
BENCHMARK(BM_MarketMoves)->Unit(benchmark::kMillisecond);

void BM_MarketMovesAndRecords(benchmark::State& state) {
    Market market(Day(), {.rate = kRate, .seed = 1});
    std::size_t updates = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (std::size_t index : market.Advance(1000ms)) {
            const testserver::MarketQuote& q = market.Quotes()[index];
            const int32_t time = testserver::UpdateTimeOf(market, q);
            bytes += testserver::EncodeLevel2Snapshot(q, time).size() +
                     testserver::EncodeOrderQueue(q).size() +
                     testserver::EncodeBookTotals(q).size() +
                     testserver::EncodeTradeStatistics(q).size() +
                     testserver::EncodeSettlementPrice(q).size() +
                     testserver::EncodeCompactRecord(q).size() + testserver::QuotePushRow(q).size();
            ++updates;
        }
    }
    benchmark::DoNotOptimize(bytes);
    Report(state, updates);
}
BENCHMARK(BM_MarketMovesAndRecords)->Unit(benchmark::kMillisecond);

// Reads and drops whatever arrives on a socket until it is shut down.
std::jthread Drain(int fd) {
    return std::jthread([fd] {
        std::string buffer(65536, '\0');
        while (recv(fd, buffer.data(), buffer.size(), 0) > 0) {
        }
    });
}

void BM_MarketPublished(benchmark::State& state) {
    testserver::TestServer fix;
    testserver::UdpQuoteServer udp;
    testserver_test::DatagramSocket level2Quotes;
    testserver::Level2Server level2({.mode = 5, .quotePort = level2Quotes.port()});
    if (!fix.Start() || !udp.Start() || !level2.Start()) {
        state.SkipWithError("a server did not start");
        return;
    }
    // A quote subscription without a range takes every code.
    testserver_test::RawClient pushes(fix.Port());
    pushes.Send(testserver_test::Request(1, 16404, {}, 2));
    pushes.ReadAnswer();
    testserver_test::DatagramSocket link;
    link.SendTo(udp.Port(), std::string("\x28\x00\x01\x00", 4) + std::string(36, '\0'));
    link.Receive();
    testserver_test::RawClient control(level2.Port());
    std::string subscribe = "4001|000123|x\r\n4014|udp";
    const Market codes(Day());
    for (const auto& quote : codes.Quotes()) subscribe += "|" + quote.code;
    control.Send(subscribe + "\r\n");
    control.ReadExact(testserver::kLevel2LoginAnswerSize + testserver::kLevel2SubscribeAnswerSize);

    std::jthread readers[] = {Drain(pushes.fd())};
    MarketPublisher publisher(Day(), {.rate = kRate, .seed = 1});
    publisher.SetFixServer(&fix);
    publisher.SetUdpServer(&udp);
    publisher.SetLevel2Server(&level2);
    std::size_t updates = 0;
    for (auto _ : state) updates += publisher.Step(1000ms);
    publisher.SetFixServer(nullptr);
    shutdown(pushes.fd(), SHUT_RDWR);
    Report(state, updates);
}
BENCHMARK(BM_MarketPublished)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
