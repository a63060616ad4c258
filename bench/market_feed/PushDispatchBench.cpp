// Figures of the trade pushes on one receive thread: trade returns and order confirmations
// parsed, routed by the dispatcher and written into the frame's tables under their locks
// (2,000 open orders, a logged-in customer, the information line and notices included).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "market/feed/FramePushes.h"
#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"

namespace {

using namespace market::feed;

constexpr int kOrders = 2'000;
constexpr uint32_t kTradeHandle = 11;
constexpr uint32_t kConfirmHandle = 12;

struct NullSink : PushSink {
    void Post(PushWindow, uint32_t, uintptr_t, intptr_t) override {
        posts.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<uint64_t> posts{0};
};

void Set(CFixRecord& t, int row, unsigned id, const std::string& text) {
    t.Set(id, text.c_str(), row);
}

void FillTables() {
    tradedata::CreateFrameTables();
    tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
    for (const char* code : {"cu2501", "al2501", "m2501"}) {
        const int r = tradedata::FuturesContractTable.GetMemRecord()->Append(nullptr, true);
        Set(tradedata::FuturesContractTable, r, 719, code);
        Set(tradedata::FuturesContractTable, r, 1752, "5");
        Set(tradedata::FuturesContractTable, r, 720, "cu");
    }
    tradedata::FuturesContractTable.GetMemRecord()->Sort(
        tradedata::FuturesContractTable.FindIndex(719), true);
    tradedata::AccountTable.Create(tradedata::kAccountLayout);
    const int account = tradedata::AddAccount(1, "8001", "0101", "", "", nullptr);
    tradedata::SetLoginAccount(account);
    tradedata::SetAccountFlag(tradedata::kFlagActive, account);
    CFixRecord& o = tradedata::OrderTable;
    for (int i = 1; i <= kOrders; ++i) {
        const int r = o.GetMemRecord()->Append(nullptr, true);
        Set(o, r, 681, std::to_string(i));
        Set(o, r, 605, "8001");
        Set(o, r, 599, "SQ");
        Set(o, r, 719, i % 2 ? "cu2501" : "al2501");
        Set(o, r, 684, "1000000000");
        Set(o, r, 753, "2");
    }
}

std::string TradeBody(int i) {
    const int order = 1 + i % kOrders;
    return "605=8001\x01"
           "599=SQ\x01"
           "719=" +
           std::string(order % 2 ? "cu2501" : "al2501") +
           "\x01"
           "1716=81001234\x01"
           "681=" +
           std::to_string(order) +
           "\x01"
           "1842=2\x01"
           "683=1\x01"
           "1718=1\x01"
           "522=" +
           std::to_string(10'000'000 + i) +
           "\x01"
           "527=09:30:01\x01"
           "525=70010.000\x01"
           "528=1\x01"
           "524=350050\x01"
           "862=" +
           std::to_string(i + 1) + "\x01";
}

std::string ConfirmBody(int i) {
    const int order = 1 + i % kOrders;
    return "605=8001\x01"
           "599=SQ\x01"
           "719=cu2501\x01"
           "681=" +
           std::to_string(order) +
           "\x01"
           "1842=2\x01"
           "1718=1\x01"
           "665=0\x01"
           "1681=0\x01"
           "755=O\x01"
           "1261=" +
           std::to_string(100000 + order) +
           "\x01"
           "753=1\x01"
           "886=0\x01"
           "751=09:30:00\x01"
           "683=1\x01"
           "684=1\x01";
}

struct Fixture {
    Fixture() {
        FillTables();
        const PushLogHooks quiet = SilentLogHooks(0u, 0);
        CFramePushes::Options options;
        options.trades.log = quiet;
        options.trades.submit = [](const tradedata::OrderRequest&, std::string*) { return 1; };
        options.confirms = quiet;
        pushes = std::make_unique<CFramePushes>(frameState, quotes, sink, std::move(options));
        pushes->Handles().Set(PushTopic::kTradeReturn, kTradeHandle);
        pushes->Handles().Set(PushTopic::kOrderConfirm, kConfirmHandle);
    }
    std::atomic<uint32_t> frameState{kFrameCountersLoaded};
    QuoteRowNotifier notifier;
    CQuoteProcessor quotes{frameState, notifier};
    NullSink sink;
    std::unique_ptr<CFramePushes> pushes;
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

// The pushes are parsed before the clock runs (the connection reads its fields in place):
// what is measured is the routing and the handler with its table locks.
void Run(benchmark::State& state, uint32_t handle, const std::function<std::string(int)>& make) {
    Fixture& f = TheFixture();
    constexpr int kBatch = 20'000;
    std::vector<std::unique_ptr<ParsedPushFields>> pushes(kBatch);
    int round = 0;
    const auto fill = [&] {
        for (int i = 0; i < kBatch; ++i)
            pushes[static_cast<std::size_t>(i)] =
                std::make_unique<ParsedPushFields>(make(round * kBatch + i));
        ++round;
    };
    fill();
    int64_t n = 0;
    for (auto _ : state) {
        if (n > 0 && n % kBatch == 0) {
            // New trade numbers, so nothing is taken for a replay.
            state.PauseTiming();
            fill();
            state.ResumeTiming();
        }
        f.pushes->Dispatcher().Dispatch(handle, *pushes[static_cast<std::size_t>(n % kBatch)]);
        ++n;
    }
    state.SetItemsProcessed(n);
}

void BM_TradeReturnThroughDispatcher(benchmark::State& state) {
    Run(state, kTradeHandle, &TradeBody);
}
BENCHMARK(BM_TradeReturnThroughDispatcher);

void BM_OrderConfirmThroughDispatcher(benchmark::State& state) {
    Run(state, kConfirmHandle, &ConfirmBody);
}
BENCHMARK(BM_OrderConfirmThroughDispatcher);

}  // namespace
