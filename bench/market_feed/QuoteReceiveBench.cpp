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
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteReceiver.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
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

std::vector<uint8_t> Snapshot(int i) {
    std::vector<uint8_t> b(287, 0);
    const uint32_t mark = 287;
    std::memcpy(b.data(), &mark, 4);
    std::memcpy(b.data() + 12, "cu2501", 6);
    const double last = 5000.0 + i % 50;
    std::memcpy(b.data() + 99, &last, 8);
    return b;
}

struct WokenReceiver : QuoteRowReceiver {
    void Wake() override {
        woken.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    }
    std::atomic<Clock::rep> woken{0};
};

uint16_t BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
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
    // Port 0 cannot be asked for: find a free one first.
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local);
    const uint16_t port = BoundPort(probe);
    close(probe);
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
        const std::vector<uint8_t> datagram = Snapshot(++i);
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
        quotes.JoinMulticast(QuoteSocketSlot::kMulticast, 0, "");
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
