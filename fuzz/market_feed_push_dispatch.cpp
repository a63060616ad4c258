// Fuzz target: a push of any topic through the dispatcher into the trade handlers and the
// frame's tables. The first byte picks the subscription handle; the rest is the push body
// ("tag=value" items ended by SOH).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/market_feed_tables.h"
#include "market/feed/FramePushes.h"
#include "record/MemRecord.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"

namespace {

using namespace market::feed;

struct NullSink : PushSink {
    void Post(PushWindow, uint32_t, uintptr_t, intptr_t) override {}
};

void AddRow(CFixRecord& table, std::initializer_list<std::pair<unsigned, const char*>> cells) {
    const int row = table.GetMemRecord()->Append(nullptr, true);
    for (const auto& [id, text] : cells) table.Set(id, text, row);
}

// Orders 1-3 (one of them a two-leg order's first leg, one a combination), a logged-in
// customer "8001"; handles 1-6 for the six topics.
CFramePushes& Pushes() {
    static std::atomic<uint32_t> frameState{kFrameCountersLoaded};
    static NullSink sink;
    static CFramePushes* pushes = [] {
        CQuoteProcessor& quotes = fuzzing::FuzzProcessor();
        tradedata::CreateFrameTables();
        AddRow(tradedata::CombinationContractTable,
               {{1060, "SP cu2501&cu2502"}, {1392, "cu2501"}, {1393, "cu2502"}});
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        const int account = tradedata::AddAccount(1, "8001", "0101", "", "", nullptr);
        tradedata::SetLoginAccount(account);
        tradedata::SetAccountFlag(tradedata::kFlagActive, account);
        const PushLogHooks quiet = SilentLogHooks(0xFFFFFFFFu, 1);
        CFramePushes::Options options;
        options.trades.log = quiet;
        options.trades.submit = [](const tradedata::OrderRequest&, std::string*) { return 1; };
        options.confirms = quiet;
        options.notices.log = quiet;
        options.notices.nodeAddress = [] { return std::string("10.0.0.1"); };
        options.executor = [](std::function<void()> job) { job(); };
        auto* made = new CFramePushes(frameState, quotes, sink, std::move(options));
        for (uint32_t t = 0; t < kPushTopicCount; ++t)
            made->Handles().Set(static_cast<PushTopic>(t), t + 1);
        return made;
    }();
    return *pushes;
}

// The order rows as every run starts, so state from earlier inputs never piles up.
void ResetRows() {
    for (CFixRecord* t :
         {&tradedata::OrderTable, &tradedata::TradeTable, &tradedata::TwoLegOrderTable,
          &tradedata::OrderCountTable, &tradedata::NoticeTable, &tradedata::MessageTable})
        t->GetMemRecord()->Zap();
    AddRow(tradedata::OrderTable,
           {{681, "1"}, {605, "8001"}, {599, "SQ"}, {719, "cu2501"}, {684, "5"}, {753, "1"}});
    AddRow(tradedata::OrderTable, {{681, "2"},
                                   {605, "8001"},
                                   {599, "SQ"},
                                   {719, "SP cu2501&cu2502"},
                                   {684, "2"},
                                   {1681, "4"}});
    AddRow(tradedata::OrderTable,
           {{681, "3"}, {605, "8001"}, {599, "ZJ"}, {719, "cu2501"}, {684, "1"}, {1681, "256"}});
    AddRow(tradedata::TwoLegOrderTable, {{681, "1"},
                                         {605, "8001"},
                                         {719, "cu2501"},
                                         {684, "2"},
                                         {1439, "2"},
                                         {1393, "cu2502"},
                                         {1783, "1"}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    CFramePushes& pushes = Pushes();
    ResetRows();
    pushes.TradeReturns().ResetSeenTrades();
    const uint32_t handle = data[0] % 8 == 7 ? 99u : data[0] % 8;
    const ParsedPushFields push(
        std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    pushes.Dispatcher().Dispatch(handle, push);
    if (tradedata::TradeDetailTable.GetCount() > kMaxTradeDetailRows) std::abort();
    const int row = tradedata::OrderTable.Find(681, 1);
    if (row >= 0 && tradedata::OrderTable.GetLong(528, row) > 5) std::abort();  // overfilled
    return 0;
}
