// CQuoteProcessor: the one set of rules by which quotes of every source reach the contract
// rows (freshness between sources, tick rounding, range checks, best bid and ask history,
// the one-level book shift, average price, position change mark, one notification per row),
// and the level-2 side maps of order queues and trade statistics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "market/feed/QuoteRecords.h"
#include "market/feed/QuoteRowAccess.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/RWLockInheritable.h"

namespace market::feed {

// Frame state bits this library reads or sets.
inline constexpr uint32_t kFramePositionRefresh = 0x80;  // a held contract's price changed
inline constexpr uint32_t kFrameClosing = 0x20000000;    // bit 29: nothing is processed

// Updates whose last accepted source was another one are held back this long (ms).
inline constexpr double kSourceHoldMs = 2000.0;

enum class QuoteOrigin : uint8_t { kPush, kCompact, kLevel2, kLevel1 };

enum class Freshness : uint8_t {
    kAccept,
    kAcceptAfterStale,  // accepted; the other source's last update was old: logged
    kDrop
};

// The row's time stamps (microseconds) before the record's own arrival stamp is written.
struct QuoteStamps {
    double lastAccepted = 0;  // 3203
    double lastPush = 0;      // 1803
    double lastLevel1 = 0;    // 1739
};

// Which source yields to which within kSourceHoldMs, by the user's quote source choice (the
// `QuoteSourceState` word).
Freshness JudgeFreshness(QuoteOrigin origin, const QuoteStamps& stamps, double nowUs,
                         uint32_t quoteSource);

// Nearest multiple of the tick, halves away from zero; the value unchanged for a tick that is
// not positive (0, negative or NaN), which has no multiples to round to.
double RoundToTick(double value, double tick);

// Counts of what the processor met, for tests, benchmarks and the trace.
struct QuoteCounters {
    std::atomic<uint64_t> applied{0};    // rows updated
    std::atomic<uint64_t> held{0};       // updates dropped by the freshness rule
    std::atomic<uint64_t> unknown{0};    // records for a contract no table holds
    std::atomic<uint64_t> malformed{0};  // datagrams and records that were not well formed
};

class CQuoteProcessor {
public:
    struct Hooks {
        // Reads of the program-wide words; defaults read shell's `QuoteSourceState` and
        // `LogOptions`.
        std::function<uint32_t()> quoteSource;
        std::function<uint32_t()> logOptions;
        // One line of the daily trace file; default shell::WriteLogLine.
        std::function<void(std::string_view)> log;
    };

    // frameState: the frame's state word, tested for bit 29 and given bit 0x80 (atomically);
    // notifier: where updated rows are announced. Both must outlive the processor.
    CQuoteProcessor(std::atomic<uint32_t>& frameState, QuoteRowNotifier& notifier,
                    Hooks hooks = {});
    ~CQuoteProcessor();
    CQuoteProcessor(const CQuoteProcessor&) = delete;
    CQuoteProcessor& operator=(const CQuoteProcessor&) = delete;

    // A FixApi quote push in tag=value form; without field 719 its body is compact records.
    void ProcessQuotePush(const QuotePushFields& push);
    // A buffer of compact quote records (a push without 719, a UDP quote datagram).
    void ProcessCompactQuotes(const void* data, std::size_t size);
    // One datagram of the level-2 server or the multicast feed (what one receive returned).
    // Returns the kind it held; kNone (counted as malformed) for anything else.
    Level2Kind ProcessLevel2Datagram(const void* data, std::size_t size);

    // Copies of the last order-queue and trade-statistics records of a contract, under the
    // level-2 snapshot lock; false when none arrived.
    bool GetOrderQueue(std::string_view code, OrderQueueRecord& out);
    bool GetTradeStatistics(std::string_view code, TradeStatisticsRecord& out);

    const QuoteCounters& Counters() const { return counters_; }

private:
    struct Target;
    bool closing() const;
    bool lockRow(const QuoteCode& code, Target& target);
    void unlockRow(Target& target, uint32_t channel, bool notify);
    void logStale(const char* what, const QuoteCode& code, double stampUs);
    // Stamps the arrival and applies the freshness rule; false (the row released) when the
    // update is held back.
    bool admit(Target& target, QuoteOrigin origin, const QuoteCode& code);
    void markPosition(const Target& target);

    void applyPush(const PushQuote& quote);
    void applyCompact(const CompactRecord& record);
    void applyLevel2(const Level2Snapshot& snapshot);
    void applyLevel1(const Level1Snapshot& snapshot);
    void applyOrderQueue(OrderQueueRecord& record);
    void applyBookTotals(const BookTotalsRecord& record);
    void applySettlement(const SettlementRecord& record);
    void applyTradeStatistics(const TradeStatisticsRecord& record);

    std::atomic<uint32_t>& frameState_;
    QuoteRowNotifier& notifier_;
    Hooks hooks_;
    QuoteCounters counters_;
    // Column positions per contract table (futures, combination, option, underlying); each is
    // used only under its table's exclusive lock.
    std::array<QuoteColumns, 4> columns_;

    CRWLockInheritable level2Lock_;
    std::map<std::string, std::unique_ptr<OrderQueueRecord>, std::less<>> orderQueues_;
    std::map<std::string, std::unique_ptr<TradeStatisticsRecord>, std::less<>> tradeStatistics_;
};

}  // namespace market::feed
