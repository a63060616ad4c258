// Figures of quote reception: a datagram sent on a loopback socket until its row is written
// and the row's receiver woken (p50 and p99 over the runs), and the quote thread's returns
// from its wait while no quote arrives for a second.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteReceiver.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tests/comm/LinkTestSupport.h"
#include "testserver/Market.h"
#include "testserver/QuoteRecords.h"
#include "tradedata/GlobalTables.h"

namespace {

using namespace market::feed;
using Clock = std::chrono::steady_clock;

void FillOneContract() {
    tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
    const int r = tradedata::FuturesContractTable.GetMemRecord()->Append(nullptr, true);
    tradedata::FuturesContractTable.Set(719, "cu2501", r);
    tradedata::FuturesContractTable.Set(599, "SQ", r);
    tradedata::FuturesContractTable.Set(594, 1.0, r);
    tradedata::FuturesContractTable.Set(1752, 10.0, r);
}

// The level-2 snapshot the test server sends, its last price moving by whole ticks.
std::string Snapshot(int i) {
    testserver::MarketQuote q;
    q.exchange = "SQ";
    q.code = "cu2501";
    q.upper = 6000;
    q.lower = 4000;
    q.last = 5000 + i % 50;
    return testserver::EncodeLevel2Snapshot(q, 93000000);
}

struct WokenReceiver : QuoteRowReceiver {
    void Wake() override {
        woken.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    }
    std::atomic<Clock::rep> woken{0};
};

// Port 0 cannot be asked for: a port the system just handed out.
uint16_t FreePort() {
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    const int port = linktest::BindLoopback(probe, false);
    close(probe);
    return static_cast<uint16_t>(port);
}

void BM_LoopbackDatagramToWokenReceiver(benchmark::State& state) {
    FillOneContract();
    std::atomic<uint32_t> frameState{0};
    QuoteRowNotifier notifier;
    WokenReceiver receiver;
    notifier.AddReceiver(&receiver, kRowQuoteChannel);
    CQuoteProcessor::Hooks hooks;
    hooks.quoteSource = [] { return 0x8000u; };
    hooks.logOptions = [] { return 0u; };
    hooks.log = [](std::string_view) {};
    CQuoteProcessor processor(frameState, notifier, hooks);
    CQuoteReceiver quotes(processor, CQuoteReceiver::Hooks{[](std::string_view) {}});
    const uint16_t port = FreePort();
    if (!quotes.JoinMulticast(QuoteSocketSlot::kMulticast, port, "")) {
        state.SkipWithError("no socket");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread thread([&] {
        while (!stop.load()) quotes.Step();
    });
    const int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<double> micros;
    int i = 0;
    for (auto _ : state) {
        const std::string datagram = Snapshot(++i);
        receiver.woken.store(0);
        notifier.TakeRows(&receiver);  // drained: the next row wakes it again
        const Clock::time_point sent = Clock::now();
        sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to);
        Clock::rep woken;
        while ((woken = receiver.woken.load(std::memory_order_acquire)) == 0) {
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::duration(woken) -
                                                                   sent.time_since_epoch())
                             .count());
    }
    stop.store(true);
    quotes.Wake();
    thread.join();
    close(sender);
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["p50_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    }
}
BENCHMARK(BM_LoopbackDatagramToWokenReceiver)->Iterations(20000)->UseRealTime();

void BM_IdleQuoteThreadWakeUpsPerSecond(benchmark::State& state) {
    std::atomic<uint32_t> frameState{0};
    QuoteRowNotifier notifier;
    CQuoteProcessor processor(frameState, notifier);
    for (auto _ : state) {
        CQuoteReceiver quotes(processor, CQuoteReceiver::Hooks{[](std::string_view) {}});
        // An open socket that nothing is sent to: the thread must stay blocked on it.
        if (!quotes.JoinMulticast(QuoteSocketSlot::kMulticast, FreePort(), "")) {
            state.SkipWithError("no socket");
            return;
        }
        std::atomic<bool> stop{false};
        std::thread thread([&] {
            while (!stop.load()) quotes.Step();
        });
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const uint64_t idle = quotes.WaitReturns();
        stop.store(true);
        quotes.Wake();
        thread.join();
        state.counters["wakeups_idle_1s"] = static_cast<double>(idle);
    }
}
BENCHMARK(BM_IdleQuoteThreadWakeUpsPerSecond)->Iterations(1)->UseRealTime();

}  // namespace
