// CTradeReturnHandler: a pushed trade (16403) written into the trade-detail, trade, order,
// two-leg order and trade-counter tables, with the second leg of a two-leg order sent, the
// information line, the account's refresh mark and the windows told.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "market/feed/PushDispatcher.h"
#include "market/feed/PushSink.h"
#include "market/feed/SerialExecutor.h"

class CFixRecord;

namespace tradedata {
struct OrderRequest;
}

namespace market::feed {

// The trade-detail table keeps the newest this many trades.
inline constexpr int kMaxTradeDetailRows = 256;

struct TradeReturnCounters {
    std::atomic<uint64_t> handled{0};
    std::atomic<uint64_t> duplicates{0};     // a trade seen before, dropped whole
    std::atomic<uint64_t> unknownOrders{0};  // no order row of that number
    std::atomic<uint64_t> legTwoSent{0};     // handed to the executor
    std::atomic<uint64_t> legTwoFailed{0};   // the server refused or did not answer
};

class CTradeReturnHandler {
public:
    struct Hooks {
        PushLogHooks log;
        // Sends a leg-2 order; SubmitOrder's result (> 0 success). Default: SubmitOrder on the
        // trading connection. Runs on the executor's thread.
        std::function<int32_t(const tradedata::OrderRequest&, std::string* message)> submit;
    };

    // frameState: tested for and cleared of kFrameCountersLoaded. executor: where the leg-2
    // orders are sent from (never the receive thread: a send waits up to its time-out).
    // Everything given must outlive the handler.
    CTradeReturnHandler(std::atomic<uint32_t>& frameState, PushSink& sink, Executor executor,
                        Hooks hooks = {});

    void OnTradeReturn(const PushFields& push);

    // Forgets the trades seen (a new session: its pushes are all new).
    void ResetSeenTrades();
    const TradeReturnCounters& Counters() const { return counters_; }

private:
    struct Trade;
    // True the first time a trade's (exchange, trade number, order, side) is met.
    bool FirstSeen(const Trade& t);
    void WriteDetail(const Trade& t);
    void CheckSelfTrade(const Trade& t);
    void WriteTradeRow(const Trade& t);
    // The order's state after the trade; 0 when the order is unknown.
    int32_t WriteOrder(const Trade& t);
    void WriteTwoLeg(const Trade& t);
    void SendLegTwo(tradedata::OrderRequest order);
    static void SetIdentity(CFixRecord& table, int row, const Trade& t);
    // The row of an order / a trade key; the caller holds that table's exclusive lock.
    int OrderRow(int32_t order);
    int TradeRow(const std::string& key);
    void Notify(const Trade& t, int32_t state);

    std::atomic<uint32_t>& frameState_;
    PushSink& sink_;
    Executor executor_;
    Hooks hooks_;
    TradeReturnCounters counters_;
    // Rows found before, each checked against its key when used (queries rebuild the tables),
    // so a busy day's tables are not searched row by row for every trade. Each map is used
    // only under its table's exclusive lock.
    std::unordered_map<int32_t, int> orderRows_;
    std::unordered_map<std::string, int> tradeRows_;
    std::mutex seenLock_;
    std::unordered_set<std::string> seen_;
};

}  // namespace market::feed
