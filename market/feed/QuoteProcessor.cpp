// The quote rules applied per record under the contract table's exclusive lock, the level-2
// side maps, and the entry points the frame's quote threads call.
#include "market/feed/QuoteProcessor.h"

#include <fmt/format.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "platform/core/Clock.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TableLockOrder.h"

namespace market::feed {
namespace {

using F = QuoteField;

constexpr uint32_t kLogQuoteProcessing = 0x10;  // `LogOptions`: quote traces
constexpr int32_t kHeldInPosition = 0x200;      // FLAGS: the contract is held in a position

double NowUs() { return static_cast<double>(platform::TickUs()); }

// Prices are rounded to the tick; amounts, volumes and times are not.
bool IsPriceField(F f) {
    switch (f) {
        case F::kTurnover:
        case F::kVolume:
        case F::kOpenInterest:
        case F::kPrevOpenInterest:
        case F::kSuspended:
        case F::kPushTime:
            return false;
        default:
            return true;
    }
}

// Non-positive values of these are not prices at all and never overwrite a row's value
// (rows that are not combinations).
bool NeedsPositive(F f) {
    return f == F::kLast || f == F::kPrevSettle || f == F::kUpperLimit || f == F::kLowerLimit;
}

template <int N>
std::array<F, N> FieldsOf(const uint32_t (&tags)[N]) {
    std::array<F, N> out{};
    for (int k = 0; k < N; ++k) out[k] = QuoteFieldOfTag(tags[k]);
    return out;
}

const std::array<F, kPushEntries>& PushFields() {
    static const std::array<F, kPushEntries> fields = FieldsOf(kPushTags);
    return fields;
}
const std::array<F, kCompactEntries>& CompactFields() {
    static const std::array<F, kCompactEntries> fields = FieldsOf(kCompactTags);
    return fields;
}

constexpr F kBidPrices[5] = {F::kBid1, F::kBid2, F::kBid3, F::kBid4, F::kBid5};
constexpr F kBidVolumes[5] = {F::kBidVol1, F::kBidVol2, F::kBidVol3, F::kBidVol4, F::kBidVol5};
constexpr F kAskPrices[5] = {F::kAsk1, F::kAsk2, F::kAsk3, F::kAsk4, F::kAsk5};
constexpr F kAskVolumes[5] = {F::kAskVol1, F::kAskVol2, F::kAskVol3, F::kAskVol4, F::kAskVol5};
// Newest first: 2000/2001 .. 2012/2013 and 2002/2003 .. 2014/2015.
constexpr F kBidHistory[4] = {F::kBidHist1, F::kBidHist2, F::kBidHist3, F::kBidHist4};
constexpr F kBidVolHistory[4] = {F::kBidVolHist1, F::kBidVolHist2, F::kBidVolHist3,
                                 F::kBidVolHist4};
constexpr F kAskHistory[4] = {F::kAskHist1, F::kAskHist2, F::kAskHist3, F::kAskHist4};
constexpr F kAskVolHistory[4] = {F::kAskVolHist1, F::kAskVolHist2, F::kAskVolHist3,
                                 F::kAskVolHist4};

std::string ClockText(double stampUs) {
    // A pushed 1803 can hold any number: stamps outside the clock's reach show as its start.
    constexpr double kMaxStampUs = 1e15;
    if (!(stampUs >= 0 && stampUs < kMaxStampUs)) stampUs = 0;
    const int64_t fileTime = static_cast<int64_t>(stampUs) * 10 + tradedata::GetClockBase();
    const tradedata::SystemTime t = tradedata::FileTimeToSystemTime(fileTime);
    return fmt::format("{:02d}:{:02d}:{:02d}.{:03d}", t.hour, t.minute, t.second, t.milliseconds);
}

// The level-2 side maps keep one heap copy per contract, made on its first record and
// overwritten afterwards. Callers hold the level-2 snapshot lock on the matching side.
template <typename Record>
using LatestMap = std::map<std::string, std::unique_ptr<Record>, std::less<>>;

template <typename Record>
void StoreLatest(LatestMap<Record>& map, const Record& record) {
    auto it = map.find(record.code.view());
    if (it == map.end())
        it = map.emplace(std::string(record.code.view()), std::make_unique<Record>()).first;
    *it->second = record;
}

template <typename Record>
bool CopyLatest(const LatestMap<Record>& map, std::string_view code, Record& out) {
    const auto it = map.find(code);
    if (it == map.end()) return false;
    out = *it->second;
    return true;
}

}  // namespace

Freshness JudgeFreshness(QuoteOrigin origin, const QuoteStamps& s, double nowUs,
                         uint32_t quoteSource) {
    auto young = [nowUs](double stamp) { return (nowUs - stamp) / 1000.0 < kSourceHoldMs; };
    if (origin == QuoteOrigin::kLevel1) {
        const bool rule =
            (quoteSource & shell::kQuoteSourceLevel2) == 0 &&
            (quoteSource & (shell::kQuoteSourceSubscription | shell::kQuoteSourceBroadcast)) != 0;
        if (rule && s.lastPush != 0 && s.lastAccepted == s.lastPush)
            return young(s.lastPush) ? Freshness::kDrop : Freshness::kAcceptAfterStale;
        return Freshness::kAccept;
    }
    // Push, compact and level-2 records yield to a recent level-1 record unless the user chose
    // their source. A row no level-1 record ever reached (1739 still 0) holds nothing back,
    // however young the clock.
    const uint32_t chosen = origin == QuoteOrigin::kLevel2 ? shell::kQuoteSourceBroadcast
                                                           : shell::kQuoteSourceSubscription;
    if (s.lastLevel1 != 0 && s.lastAccepted == s.lastLevel1) {
        if (young(s.lastLevel1)) {
            if ((quoteSource & chosen) == 0) return Freshness::kDrop;
        } else if (origin != QuoteOrigin::kCompact) {
            return Freshness::kAcceptAfterStale;
        }
    }
    return Freshness::kAccept;
}

double RoundToTick(double value, double tick) {
    if (!(tick > 0) || !std::isfinite(tick)) return value;
    return pavlet::round(value, tick);
}

// One locked row and what the record has done to it so far.
struct CQuoteProcessor::Target {
    CFixRecord* table = nullptr;
    tradedata::RowRef ref = -1;
    bool combination = false;
    std::optional<tradedata::ScopedTableLock> lock;
    QuoteRowAccess row;
    double now = 0;
    double tick = 0;
    bool averageHere = false;  // the row computes its own average price
    bool sqsn = false;
    bool positionChange = false;
    bool turnoverWritten = false;

    // The rows' conventions once the update is accepted.
    void Accept(double nowUs) {
        row.SetDouble(F::kUpdateTime, nowUs);
        tick = row.Double(F::kTick);
        const std::string_view exchange = row.Text(F::kExchange);
        averageHere = !combination && exchange != "ZZ";
        sqsn = exchange == "SQ" || exchange == "SN";
    }

    // One side of the book's best price: a new positive price pushes the old one and its
    // volume into the history (not for combinations); any change stamps the side's time.
    struct BestSide {
        F price, volume, time;
        const F* history;
        const F* volumeHistory;
    };
    static constexpr BestSide kBidSide{F::kBid1, F::kBidVol1, F::kBidTime, kBidHistory,
                                       kBidVolHistory};
    static constexpr BestSide kAskSide{F::kAsk1, F::kAskVol1, F::kAskTime, kAskHistory,
                                       kAskVolHistory};

    void SetBest(const BestSide& side, double price) {
        const double old = row.Double(side.price);
        if (price != old) {
            if (price > 0 && !combination) {
                for (int i = 3; i > 0; --i) {
                    row.SetDouble(side.history[i], row.Double(side.history[i - 1]));
                    row.SetLong(side.volumeHistory[i], row.Long(side.volumeHistory[i - 1]));
                }
                row.SetDouble(side.history[0], old);
                row.SetLong(side.volumeHistory[0], row.Long(side.volume));
            }
            row.SetDouble(side.time, now);
        }
        row.SetDouble(side.price, price);
    }
    void SetBestBid(double bid) { SetBest(kBidSide, bid); }
    void SetBestAsk(double ask) { SetBest(kAskSide, ask); }

    // A real value already range-checked: rounded when it is a price, through the book
    // history when it is a best price.
    void SetReal(F f, double value) {
        if (IsPriceField(f)) value = RoundToTick(value, tick);
        if (f == F::kBid1)
            SetBestBid(value);
        else if (f == F::kAsk1)
            SetBestAsk(value);
        else
            row.SetDouble(f, value);
        if (f == F::kTurnover) turnoverWritten = true;
    }

    // 1734 = 524 / 1752 / 528 (/ 1787 for quote-currency kind 16) from the row's values.
    void ComputeAverage() {
        if (!averageHere) return;
        const int32_t volume = row.Long(F::kVolume);
        const double multiplier = row.Double(F::kMultiplier);
        if (volume <= 0 || !(multiplier > 0)) return;
        double average = row.Double(F::kTurnover) / multiplier / volume;
        const double rate = row.Double(F::kCurrencyRate);
        if (row.Long(F::kCurrencyKind) == 16 && rate > 0.000001) average /= rate;
        if (std::isfinite(average)) row.SetDouble(F::kAverage, average);
    }
};

CQuoteProcessor::CQuoteProcessor(std::atomic<uint32_t>& frameState, QuoteRowNotifier& notifier,
                                 Hooks hooks)
    : frameState_(frameState), notifier_(notifier), hooks_(std::move(hooks)) {
    if (!hooks_.quoteSource) hooks_.quoteSource = [] { return shell::GetQuoteSourceState(); };
    if (!hooks_.logOptions) hooks_.logOptions = [] { return shell::GetLogOptions(); };
    if (!hooks_.log) hooks_.log = [](std::string_view line) { shell::WriteLogLine(line); };
}

CQuoteProcessor::~CQuoteProcessor() = default;

bool CQuoteProcessor::closing() const {
    return (frameState_.load(std::memory_order_acquire) & kFrameClosing) != 0;
}

bool CQuoteProcessor::lockRow(const QuoteCode& code, Target& t) {
    t.ref = tradedata::FindContractTable(code.c_str(), &t.table);
    if (t.ref < 0 || t.table == nullptr) {
        counters_.unknown.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    int index = 0;
    tradedata::TableLockRank rank = tradedata::TableLockRank::FuturesContract;
    F codeField = F::kCode;
    if (t.ref & tradedata::kCombinationRef) {
        index = 1;
        rank = tradedata::TableLockRank::CombinationContract;
        codeField = F::kCombinationCode;
    } else if (t.ref & tradedata::kOptionRef) {
        index = 2;
        rank = tradedata::TableLockRank::OptionContract;
        codeField = F::kOptionCode;
    } else if (t.ref & tradedata::kUnderlyingRef) {
        index = 3;
        rank = tradedata::TableLockRank::Underlying;
    }
    t.combination = index == 1;
    t.lock.emplace(*t.table, rank, true);
    CMemRecord& mem = *t.table->GetMemRecord();
    columns_[index].Refresh(mem);
    // The row was found before the lock was taken: a table rebuilt meanwhile may hold another
    // contract there now.
    if (!t.row.Bind(mem, columns_[index], t.ref & tradedata::kRowMask) ||
        t.row.Text(codeField) != code.view()) {
        t.lock.reset();
        counters_.unknown.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    t.now = NowUs();
    return true;
}

void CQuoteProcessor::unlockRow(Target& t, uint32_t channel, bool notify) {
    t.row.Commit();
    if (t.positionChange && !t.combination && (t.row.Long(F::kFlags) & kHeldInPosition) != 0)
        frameState_.fetch_or(kFramePositionRefresh, std::memory_order_acq_rel);
    t.lock.reset();
    if (notify) {
        counters_.applied.fetch_add(1, std::memory_order_relaxed);
        notifier_.MarkRow(channel, t.ref);
    }
}

void CQuoteProcessor::logStale(const char* what, const QuoteCode& code, double stampUs) {
    hooks_.log(fmt::format("{} {} latest update:{}", code.view(), what, ClockText(stampUs)));
}

bool CQuoteProcessor::admit(Target& t, QuoteOrigin origin, const QuoteCode& code) {
    QuoteRowAccess& r = t.row;
    const QuoteStamps stamps{r.Double(F::kUpdateTime), r.Double(F::kPushTime),
                             r.Double(F::kLevel1Time)};
    // The arrival is stamped even when the update is held back.
    r.SetDouble(origin == QuoteOrigin::kLevel1 ? F::kLevel1Time : F::kPushTime, t.now);
    const Freshness fresh = JudgeFreshness(origin, stamps, t.now, hooks_.quoteSource());
    if (fresh == Freshness::kDrop) {
        counters_.held.fetch_add(1, std::memory_order_relaxed);
        unlockRow(t, kRowQuoteChannel, false);
        return false;
    }
    if (fresh == Freshness::kAcceptAfterStale) {
        if (origin == QuoteOrigin::kLevel1)
            logStale("level1", code, stamps.lastPush);
        else
            logStale("level2", code, stamps.lastLevel1);
    }
    t.Accept(t.now);
    return true;
}

// ---------------------------------------------------------------- entry points

void CQuoteProcessor::ProcessQuotePush(const QuotePushFields& push) {
    if (closing()) return;
    if (!push.Has(719)) {
        const std::string_view body = push.Body();
        if (!body.empty()) ProcessCompactQuotes(body.data(), body.size());
        return;
    }
    PushQuote quote;
    if (!DecodeQuotePush(push, quote)) {
        counters_.malformed.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    applyPush(quote);
}

void CQuoteProcessor::ProcessCompactQuotes(const void* data, std::size_t size) {
    if (closing() || data == nullptr) return;
    CompactRecordReader reader(static_cast<const uint8_t*>(data), size);
    CompactRecord record;
    for (;;) {
        const CompactRecordReader::Step step = reader.Next(record);
        if (step == CompactRecordReader::Step::kEnd) return;
        if (step == CompactRecordReader::Step::kMalformed) {
            counters_.malformed.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        applyCompact(record);
    }
}

Level2Kind CQuoteProcessor::ProcessLevel2Datagram(const void* data, std::size_t size) {
    if (closing()) return Level2Kind::kNone;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const Level2Kind kind = ClassifyLevel2(bytes, size);
    bool decoded = false;
    switch (kind) {
        case Level2Kind::kSnapshot: {
            Level2Snapshot s;
            if ((decoded = DecodeLevel2Snapshot(bytes, size, s))) applyLevel2(s);
            break;
        }
        case Level2Kind::kLevel1Short:
        case Level2Kind::kLevel1Long: {
            Level1Snapshot s;
            if ((decoded = DecodeLevel1Snapshot(bytes, size, s))) applyLevel1(s);
            break;
        }
        case Level2Kind::kOrderQueue: {
            OrderQueueRecord r;
            if ((decoded = DecodeOrderQueue(bytes, size, r))) applyOrderQueue(r);
            break;
        }
        case Level2Kind::kBookTotals: {
            BookTotalsRecord r;
            if ((decoded = DecodeBookTotals(bytes, size, r))) applyBookTotals(r);
            break;
        }
        case Level2Kind::kSettlement: {
            SettlementRecord r;
            if ((decoded = DecodeSettlement(bytes, size, r))) applySettlement(r);
            break;
        }
        case Level2Kind::kTradeStatistics: {
            TradeStatisticsRecord r;
            if ((decoded = DecodeTradeStatistics(bytes, size, r))) applyTradeStatistics(r);
            break;
        }
        case Level2Kind::kNone:
            break;
    }
    if (!decoded) {
        counters_.malformed.fetch_add(1, std::memory_order_relaxed);
        return Level2Kind::kNone;
    }
    return kind;
}

// ---------------------------------------------------------------- push and compact

void CQuoteProcessor::applyPush(const PushQuote& q) {
    Target t;
    if (!lockRow(q.code, t)) return;
    if (!admit(t, QuoteOrigin::kPush, q.code)) return;
    QuoteRowAccess& r = t.row;
    const double oldLast = r.Double(F::kLast);
    const double oldSettle = r.Double(F::kPrevSettle);
    const auto& fields = PushFields();
    for (int k = 0; k < kPushEntries; ++k) {
        if (((q.present >> k) & 1) == 0) continue;
        const F f = fields[k];
        double value = q.values[k];
        if (t.combination && f != F::kBid1 && f != F::kBidVol1 && f != F::kAsk1 && f != F::kAskVol1)
            continue;
        if (f == F::kPushTime) {
            // The source's own time: kept as pushed (a time is no price to round).
            r.SetText(F::kSourceTime, q.pushedTime);
            r.SetDouble(F::kPushTime, value);
            continue;
        }
        if (IsIntegerQuoteTag(kPushTags[k])) {
            r.SetLong(f, static_cast<int32_t>(value));
            continue;
        }
        if (!t.combination && NeedsPositive(f) && !(value > 0)) continue;
        t.SetReal(f, value);
        if (f == F::kLast) t.positionChange |= r.Double(F::kLast) != oldLast;
        if (f == F::kPrevSettle) t.positionChange |= r.Double(F::kPrevSettle) != oldSettle;
    }
    if (t.turnoverWritten) t.ComputeAverage();
    unlockRow(t, kRowQuoteChannel, true);
}

void CQuoteProcessor::applyCompact(const CompactRecord& c) {
    Target t;
    if (!lockRow(c.code, t)) return;
    if (!admit(t, QuoteOrigin::kCompact, c.code)) return;
    QuoteRowAccess& r = t.row;
    const auto& fields = CompactFields();
    for (int k = 0; k < kCompactEntries; ++k) {
        if (((c.present >> k) & 1) == 0) continue;
        const F f = fields[k];
        if (f == F::kCount) continue;  // entries no contract table holds
        if (IsIntegerQuoteTag(kCompactTags[k])) {
            const int32_t value = c.IntValue(k);
            if (value != kNoValue) r.SetLong(f, value);
            continue;
        }
        const double value = c.RealValue(k);
        if (!WithinSingleRange(value)) continue;
        if (!t.combination && NeedsPositive(f) && !(value > 0)) continue;
        t.SetReal(f, value);
        if (f == F::kLast || f == F::kPrevSettle) t.positionChange = true;
    }
    if (t.turnoverWritten) t.ComputeAverage();
    unlockRow(t, kRowQuoteChannel, true);
}

// ---------------------------------------------------------------- level-2 snapshots

void CQuoteProcessor::applyLevel2(const Level2Snapshot& s) {
    Target t;
    if (!lockRow(s.code, t)) return;
    QuoteRowAccess& r = t.row;
    r.SetLong(F::kSourceTime, s.updateTime);
    if (!admit(t, QuoteOrigin::kLevel2, s.code)) return;
    auto real = [&t](F f, double value) {
        if (!WithinDoubleRange(value)) return;
        if (!t.combination && NeedsPositive(f) && !(value > 0)) return;
        t.SetReal(f, value);
    };
    auto integer = [&r](F f, int32_t value) {
        if (value != kNoValue) r.SetLong(f, value);
    };
    if (!t.combination) {
        const double oldLast = r.Double(F::kLast);
        const double oldSettle = r.Double(F::kPrevSettle);
        r.SetLong(F::kSuspended, s.suspended);
        real(F::kPrevSettle, s.prevSettle);
        real(F::kAverage, s.average);
        real(F::kPrevClose, s.prevClose);
        real(F::kOpen, s.open);
        integer(F::kOpenInterest, s.openInterest);
        real(F::kLast, s.last);
        integer(F::kVolume, s.volume);
        real(F::kTurnover, s.turnover);
        real(F::kUpperLimit, s.upperLimit);
        real(F::kLowerLimit, s.lowerLimit);
        real(F::kHigh, s.high);
        real(F::kLow, s.low);
        t.positionChange = r.Double(F::kLast) != oldLast || r.Double(F::kPrevSettle) != oldSettle;
    }
    for (int k = 0; k < 5; ++k) {
        real(kBidPrices[k], s.levels[k].bid);
        real(kAskPrices[k], s.levels[k].ask);
        integer(kBidVolumes[k], s.levels[k].bidVolume);
        integer(kAskVolumes[k], s.levels[k].askVolume);
    }
    t.ComputeAverage();
    unlockRow(t, kRowQuoteChannel, true);
}

void CQuoteProcessor::applyLevel1(const Level1Snapshot& s) {
    Target t;
    if (!lockRow(s.code, t)) return;
    QuoteRowAccess& r = t.row;
    if (s.longForm)
        r.SetText(F::kSourceTime, s.updateText);
    else
        r.SetLong(F::kSourceTime, s.updateTime);
    if (!admit(t, QuoteOrigin::kLevel1, s.code)) return;
    // Every field is written: what is out of range or missing becomes 0.
    auto price = [](double v) { return WithinSingleRange(v) ? v : 0.0; };
    auto positive = [](double v) { return WithinSingleRange(v) && v > 0 ? v : 0.0; };
    auto volume = [](int32_t v) { return v > 0 && v != kNoValue ? v : 0; };
    if (!t.combination) {
        const double oldLast = r.Double(F::kLast);
        const double oldSettle = r.Double(F::kPrevSettle);
        if (t.averageHere)
            t.ComputeAverage();  // from the volume and turnover before this record's
        else
            t.SetReal(F::kAverage, price(s.average));
        r.SetLong(F::kSuspended, s.suspended);
        t.SetReal(F::kPrevSettle, positive(s.prevSettle));
        t.SetReal(F::kPrevClose, price(s.prevClose));
        t.SetReal(F::kOpen, price(s.open));
        r.SetLong(F::kOpenInterest, volume(s.openInterest));
        t.SetReal(F::kLast, positive(s.last));
        r.SetLong(F::kVolume, volume(s.volume));
        t.SetReal(F::kTurnover, WithinDoubleRange(s.turnover) ? s.turnover : 0.0);
        t.SetReal(F::kUpperLimit, price(s.upperLimit));
        t.SetReal(F::kLowerLimit, price(s.lowerLimit));
        t.SetReal(F::kHigh, price(s.high));
        t.SetReal(F::kLow, price(s.low));
        if (s.longForm) {
            r.SetLong(F::kBidQuantity, volume(s.bidQuantity));
            r.SetLong(F::kAskQuantity, volume(s.askQuantity));
        }
        t.positionChange = r.Double(F::kLast) != oldLast || r.Double(F::kPrevSettle) != oldSettle;
    } else {
        t.SetReal(F::kAverage, price(s.average));
    }
    const BookLevel& top = s.levels[0];
    const bool oneLevel = t.sqsn && volume(top.bidVolume) > 0 && volume(top.askVolume) > 0 &&
                          volume(s.levels[1].bidVolume) <= 0 && volume(s.levels[1].askVolume) <= 0;
    if (oneLevel) {
        // A one-level book: the deeper levels stay and move with the new best price when it
        // reaches them.
        const double tick = t.tick > 0 && std::isfinite(t.tick) ? t.tick : 0.0;
        const double bid = RoundToTick(price(top.bid), t.tick);
        const double ask = RoundToTick(price(top.ask), t.tick);
        const double bid2 = r.Double(F::kBid2);
        if (r.Long(F::kBidVol2) > 0 && bid <= bid2) {
            const double move = bid - bid2 - tick;
            for (int k = 1; k < 5; ++k)
                if (r.Long(kBidVolumes[k]) > 0)
                    r.SetDouble(kBidPrices[k], RoundToTick(r.Double(kBidPrices[k]) + move, t.tick));
        }
        const double ask2 = r.Double(F::kAsk2);
        if (r.Long(F::kAskVol2) > 0 && ask >= ask2) {
            const double move = ask - ask2 + tick;
            for (int k = 1; k < 5; ++k)
                if (r.Long(kAskVolumes[k]) > 0)
                    r.SetDouble(kAskPrices[k], RoundToTick(r.Double(kAskPrices[k]) + move, t.tick));
        }
        t.SetBestBid(bid);
        t.SetBestAsk(ask);
        r.SetLong(F::kBidVol1, volume(top.bidVolume));
        r.SetLong(F::kAskVol1, volume(top.askVolume));
    } else {
        for (int k = 0; k < 5; ++k) {
            t.SetReal(kBidPrices[k], price(s.levels[k].bid));
            t.SetReal(kAskPrices[k], price(s.levels[k].ask));
            r.SetLong(kBidVolumes[k], volume(s.levels[k].bidVolume));
            r.SetLong(kAskVolumes[k], volume(s.levels[k].askVolume));
        }
    }
    if (hooks_.logOptions() & kLogQuoteProcessing) {
        std::string line =
            fmt::format("{:.0f}\thydm:{},zxj:{:.2f},mrjg1:{:.2f},mrsl1:{},mcjg1:{:.2f},mcsl1:{}",
                        t.now, s.code.view(), r.Double(F::kLast), r.Double(F::kBid1),
                        r.Long(F::kBidVol1), r.Double(F::kAsk1), r.Long(F::kAskVol1));
        const double queued = r.Double(F::kQueueTime);
        if (queued > 0 && queued < t.now) line += fmt::format(" ***\t{:.0f}", queued);
        hooks_.log(line);
    }
    unlockRow(t, kRowQuoteChannel, true);
}

// ---------------------------------------------------------------- depth records

void CQuoteProcessor::applyOrderQueue(OrderQueueRecord& q) {
    Target t;
    if (!lockRow(q.code, t)) return;
    QuoteRowAccess& r = t.row;
    const double tick = r.Double(F::kTick);
    auto fix = [tick](double price) {
        return RoundToTick(WithinDoubleRange(price) ? price : 0.0, tick);
    };
    q.buyPrice = fix(q.buyPrice);
    q.sellPrice = fix(q.sellPrice);
    std::memcpy(q.bytes.data() + 40, &q.buyPrice, sizeof q.buyPrice);
    std::memcpy(q.bytes.data() + 88, &q.sellPrice, sizeof q.sellPrice);
    r.SetDouble(F::kQueueTime, t.now);
    if (hooks_.logOptions() & kLogQuoteProcessing) {
        auto side = [](std::string& line, const char* name, double price, const int32_t* volumes,
                       double best) {
            line += fmt::format("{}:{:.2f}", name, price);
            for (int i = 0; i < 10 && volumes[i] > 0; ++i) line += fmt::format(" {}", volumes[i]);
            if (price != best) line += fmt::format(" ***{}", price > best ? "+" : "-");
        };
        std::string line = fmt::format("{:.0f}\thydm:{},", t.now, q.code.view());
        side(line, "BestBuyOrderPrice", q.buyPrice, q.buyVolumes, r.Double(F::kBid1));
        line += ',';
        side(line, "BestSellOrderPrice", q.sellPrice, q.sellVolumes, r.Double(F::kAsk1));
        hooks_.log(line);
    }
    unlockRow(t, kRowDepthChannel, false);
    level2Lock_.acquireLockExclusive();
    StoreLatest(orderQueues_, q);
    level2Lock_.releaseLockExclusive();
    counters_.applied.fetch_add(1, std::memory_order_relaxed);
    notifier_.MarkRow(kRowDepthChannel, t.ref);
}

void CQuoteProcessor::applyBookTotals(const BookTotalsRecord& b) {
    Target t;
    if (!lockRow(b.code, t)) return;
    t.tick = t.row.Double(F::kTick);
    if (WithinDoubleRange(b.averageBid)) t.SetReal(F::kAverageBid, b.averageBid);
    if (WithinDoubleRange(b.averageAsk)) t.SetReal(F::kAverageAsk, b.averageAsk);
    if (b.totalBid != kNoValue) t.row.SetLong(F::kTotalBid, b.totalBid);
    if (b.totalAsk != kNoValue) t.row.SetLong(F::kTotalAsk, b.totalAsk);
    unlockRow(t, kRowDepthChannel, true);
}

void CQuoteProcessor::applySettlement(const SettlementRecord& s) {
    Target t;
    if (!lockRow(s.code, t)) return;
    t.tick = t.row.Double(F::kTick);
    if (WithinDoubleRange(s.price)) t.SetReal(F::kSettlement, s.price);
    unlockRow(t, kRowDepthChannel, true);
}

void CQuoteProcessor::applyTradeStatistics(const TradeStatisticsRecord& s) {
    Target t;
    if (!lockRow(s.code, t)) return;
    unlockRow(t, kRowDepthChannel, false);
    level2Lock_.acquireLockExclusive();
    StoreLatest(tradeStatistics_, s);
    level2Lock_.releaseLockExclusive();
    counters_.applied.fetch_add(1, std::memory_order_relaxed);
    notifier_.MarkRow(kRowDepthChannel, t.ref);
}

bool CQuoteProcessor::GetOrderQueue(std::string_view code, OrderQueueRecord& out) {
    level2Lock_.acquireLockShared();
    const bool found = CopyLatest(orderQueues_, code, out);
    level2Lock_.releaseLockShared();
    return found;
}

bool CQuoteProcessor::GetTradeStatistics(std::string_view code, TradeStatisticsRecord& out) {
    level2Lock_.acquireLockShared();
    const bool found = CopyLatest(tradeStatistics_, code, out);
    level2Lock_.releaseLockShared();
    return found;
}

}  // namespace market::feed
