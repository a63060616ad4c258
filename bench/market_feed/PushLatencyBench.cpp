// Figures of a push from the wire to its table row and window message: the in-process test
// server pushes trade returns to a subscribed push connection on loopback, one at a time, and
// the time until the handler's notice is posted is taken per push (p50, p99); also while a
// leg-2 order waits for an answer that does not come.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "market/feed/FramePushes.h"
#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "testserver/TestServer.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Registries.h"

namespace {

using namespace market::feed;
using Clock = std::chrono::steady_clock;

// Wakes the measuring thread on the notice of the order it waits for.
struct WaitingSink : PushSink {
    void Post(PushWindow, uint32_t message, uintptr_t, intptr_t lParam) override {
        if (message != tradedata::kWmFrameEvent) return;
        std::lock_guard hold(lock);
        last = lParam;
        changed.notify_all();
    }
    bool WaitFor(intptr_t order) {
        std::unique_lock hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(5), [&] { return last == order; });
    }
    std::mutex lock;
    std::condition_variable changed;
    intptr_t last = 0;
};

void AddRow(CFixRecord& table, std::initializer_list<std::pair<unsigned, std::string>> cells) {
    const int row = table.GetMemRecord()->Append(nullptr, true);
    for (const auto& [id, text] : cells) table.Set(id, text.c_str(), row);
}

void BM_PushWireToNotice(benchmark::State& state) {
    const bool legTwoWaiting = state.range(0) != 0;
    tradedata::CreateFrameTables();
    tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
    AddRow(tradedata::FuturesContractTable, {{719, "cu2501"}, {1752, "5"}});
    tradedata::AccountTable.Create(tradedata::kAccountLayout);
    const int account = tradedata::AddAccount(1, "8001", "0101", "", "", nullptr);
    tradedata::SetLoginAccount(account);
    tradedata::SetAccountFlag(tradedata::kFlagActive, account);
    AddRow(tradedata::OrderTable,
           {{681, "1"}, {605, "8001"}, {719, "cu2501"}, {684, "1000000000"}});
    AddRow(tradedata::TwoLegOrderTable, {{681, "1"},
                                         {605, "8001"},
                                         {719, "cu2501"},
                                         {1783, "1"},
                                         {1439, legTwoWaiting ? "1" : "0"},
                                         {1393, "cu2502"}});

    testserver::TestServer server;
    if (!server.Start()) {
        state.SkipWithError("the test server did not start");
        return;
    }
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    std::atomic<uint32_t> frameState{0};
    QuoteRowNotifier notifier;
    CQuoteProcessor quotes{frameState, notifier};
    WaitingSink sink;
    CFramePushes::Options options;
    options.trades.log = SilentLogHooks(0, 0);
    options.confirms = SilentLogHooks(0, 0);
    options.trades.submit = [answered](const tradedata::OrderRequest&, std::string*) {
        answered.wait();  // the server's answer to the leg-2 order is late
        return 1;
    };
    auto pushes = std::make_unique<CFramePushes>(frameState, quotes, sink, std::move(options));
    auto push = std::make_unique<NoltComm::CFixApiClient>();
    if (!push->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp")) {
        state.SkipWithError("no push connection");
        return;
    }
    pushes->Attach(push.get());
    pushes->Subscriptions().RequestTradePushes();
    pushes->Subscriptions().RunPending({.push = push.get()});

    std::vector<double> micros;
    int64_t n = 0;
    for (auto _ : state) {
        ++n;
        const testserver::Row row{{605, "8001"},  {599, "SQ"}, {719, "cu2501"},
                                  {681, "1"},     {683, "1"},  {522, std::to_string(n)},
                                  {525, "70000"}, {528, "1"}};
        // The order number in lParam is the same every time: the notice awaited is the one
        // after the last seen was cleared.
        {
            std::lock_guard hold(sink.lock);
            sink.last = 0;
        }
        const Clock::time_point start = Clock::now();
        server.PushToCustomer("16403", "8001", row);
        if (!sink.WaitFor(1)) {
            state.SkipWithError("a push did not arrive");
            break;
        }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
    }
    answer.set_value();
    pushes.reset();
    push.reset();
    server.Stop();
    tradedata::OrderTable.GetMemRecord()->Zap();
    tradedata::TwoLegOrderTable.GetMemRecord()->Zap();
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_PushWireToNotice)->Arg(0)->Arg(1)->UseManualTime()->Iterations(5000);

}  // namespace
