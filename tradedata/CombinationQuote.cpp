// The implied quote of two-leg combination contracts: read under shared table locks, computed
// and kept in a side store under its own lock, written into the rows on request.
#include "tradedata/CombinationQuote.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "record/FixRecord.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TableLockOrder.h"

namespace tradedata {
namespace {

struct LegBook {
    double bid = 0, ask = 0;
    int32_t bidSize = 0, askSize = 0;
    double settle = 0, open = 0, last = 0, up = 0, down = 0, high = 0, low = 0;
    double time = 0, bidTime = 0, askTime = 0;
};

struct Inputs {
    std::string code, leg1Code, leg2Code;
    double time = 0, bidTime = 0, askTime = 0;
    double bookBid = 0, bookAsk = 0;
    int32_t bookBidSize = 0, bookAskSize = 0;
    // The row's stored quote, which seeds a store entry seen for the first time.
    double bid = 0, ask = 0, prevBid = 0, prevAsk = 0, computed = 0;
    LegBook leg1, leg2;
};

// The quote as last computed for one combination row.
struct Quote {
    bool valid = false;
    std::string code, leg1Code, leg2Code;
    double computed = 0;     // 899: microsecond clock of the last computation
    double rowComputed = 0;  // the row's 899 as last seen or written; another value means reload
    double bid = 0, ask = 0, last = 0, settle = 0, open = 0, up = 0, down = 0, high = 0, low = 0;
    int32_t bidSize = 0, askSize = 0;
    double prevBid = 0, prevAsk = 0, bidTime = 0, askTime = 0;
};

std::mutex g_storeMutex;     // leaf lock: no table lock is taken while it is held
std::vector<Quote> g_store;  // by combination row

// The leg's quote; only its time unless `full`.
LegBook ReadLeg(int row, bool full) {
    LegBook b;
    CFixRecord& t = FuturesContractTable;
    b.time = t.GetDouble(3203, row);
    if (!full) return b;
    b.bid = t.GetDouble(842, row);
    b.ask = t.GetDouble(850, row);
    b.bidSize = t.GetLong(843, row);
    b.askSize = t.GetLong(851, row);
    b.settle = t.GetDouble(813, row);
    b.open = t.GetDouble(587, row);
    b.last = t.GetDouble(729, row);
    b.up = t.GetDouble(706, row);
    b.down = t.GetDouble(703, row);
    b.high = t.GetDouble(707, row);
    b.low = t.GetDouble(704, row);
    b.bidTime = t.GetDouble(1812, row);
    b.askTime = t.GetDouble(1813, row);
    return b;
}

// Reads the combination row and its legs under shared locks (combination table, then futures
// table): the codes and times always, everything else when `full`. False unless the row is a
// two-leg combination with both legs known.
bool ReadInputs(int row, Inputs& in, bool full) {
    CFixRecord& c = CombinationContractTable;
    ScopedTableLock combinationHold(c, TableLockRank::CombinationContract, false);
    if (row < 0 || row >= c.GetCount()) return false;
    if (c.GetLong(3549, row) != 2) return false;
    in.code = c.Get(1060, row);
    in.leg1Code = c.Get(1392, row);
    in.leg2Code = c.Get(1393, row);
    in.time = c.GetDouble(3203, row);
    in.computed = c.GetDouble(899, row);
    if (full) {
        in.bidTime = c.GetDouble(1812, row);
        in.askTime = c.GetDouble(1813, row);
        in.bookBid = c.GetDouble(842, row);
        in.bookAsk = c.GetDouble(850, row);
        in.bookBidSize = c.GetLong(843, row);
        in.bookAskSize = c.GetLong(851, row);
        in.bid = c.GetDouble(1905, row);
        in.ask = c.GetDouble(1907, row);
        in.prevBid = c.GetDouble(2000, row);
        in.prevAsk = c.GetDouble(2002, row);
    }
    ScopedTableLock futuresHold(FuturesContractTable, TableLockRank::FuturesContract, false);
    const int leg1 = FindFuturesContract(in.leg1Code.c_str());
    const int leg2 = FindFuturesContract(in.leg2Code.c_str());
    if (leg1 < 0 || leg2 < 0) return false;
    in.leg1 = ReadLeg(leg1, full);
    in.leg2 = ReadLeg(leg2, full);
    return true;
}

bool SameEntry(const Quote& q, const Inputs& in) {
    return q.valid && q.code == in.code && q.leg1Code == in.leg1Code && q.leg2Code == in.leg2Code &&
           q.rowComputed == in.computed;
}

// No computation needed: the entry is this row's and nothing is newer than it.
bool Fresh(const Quote& q, const Inputs& in) {
    const double newest = std::max({in.time, in.leg1.time, in.leg2.time});
    return SameEntry(q, in) && q.computed != 0 && !(q.computed < newest);
}

double Difference(double a, double b) { return a > 1e-6 && b > 1e-6 ? a - b : 0.0; }

// Brings the entry up to date with the inputs; the caller holds g_storeMutex.
void Recompute(Quote& q, const Inputs& in) {
    if (!SameEntry(q, in)) {
        q = Quote{};
        q.valid = true;
        q.code = in.code;
        q.leg1Code = in.leg1Code;
        q.leg2Code = in.leg2Code;
        q.computed = in.computed;
        q.rowComputed = in.computed;
        q.bid = in.bid;
        q.ask = in.ask;
        q.prevBid = in.prevBid;
        q.prevAsk = in.prevAsk;
        q.bidTime = in.bidTime;
        q.askTime = in.askTime;
    }
    const double newest = std::max({in.time, in.leg1.time, in.leg2.time});
    if (q.computed != 0 && !(q.computed < newest)) return;
    q.computed = GetHighResMicroseconds();

    const LegBook& l1 = in.leg1;
    const LegBook& l2 = in.leg2;
    double impliedAsk = 0, impliedBid = 0;
    int32_t impliedAskSize = 0, impliedBidSize = 0;
    if (l1.ask > 1e-6 && l2.bid > 1e-6) impliedAsk = l1.ask - l2.bid;
    impliedAskSize = std::min(l1.askSize, l2.bidSize);
    if (l1.bid > 1e-6 && l2.ask > 1e-6) impliedBid = l1.bid - l2.ask;
    impliedBidSize = std::min(l2.askSize, l1.bidSize);
    q.settle = Difference(l1.settle, l2.settle);
    q.open = Difference(l1.open, l2.open);
    q.last = Difference(l1.last, l2.last);
    q.up = l1.up - l2.down;
    q.down = l1.down - l2.up;
    q.high = l1.high - l2.low;
    q.low = l1.low - l2.high;

    double bid = in.bookBid, ask = in.bookAsk;
    int32_t bidSize = in.bookBidSize, askSize = in.bookAskSize;
    if (impliedBidSize > 0) {
        if (impliedBid == bid) {
            bidSize += impliedBidSize;
        } else if (impliedBid > bid || bidSize < 1) {
            bid = impliedBid;
            bidSize = impliedBidSize;
        }
    }
    if (impliedAskSize > 0) {
        if (impliedAsk == ask) {
            askSize += impliedAskSize;
        } else if (impliedAsk < ask || askSize < 1) {
            ask = impliedAsk;
            askSize = impliedAskSize;
        }
    }
    if (ask != q.ask) {
        q.prevAsk = q.ask;
        q.askTime = std::max({in.askTime, l1.askTime, l2.askTime});
    }
    if (bid != q.bid) {
        q.prevBid = q.bid;
        q.bidTime = std::max({in.bidTime, l1.bidTime, l2.bidTime});
    }
    q.ask = ask;
    q.bid = bid;
    q.askSize = askSize;
    q.bidSize = bidSize;
}

double FieldOf(const Quote& q, uint32_t field) {
    switch (field) {
        case 1905:
            return q.bid;
        case 1907:
            return q.ask;
        case 729:
            return q.last;
        case 813:
            return q.settle;
        case 587:
            return q.open;
        case 707:
            return q.high;
        case 704:
            return q.low;
        case 706:
            return q.up;
        case 703:
            return q.down;
        case 638:
            return q.bidSize;
        case 628:
            return q.askSize;
        default:
            return 0.0;
    }
}

// Reads, recomputes when stale and copies the entry out. False when the row has no quote.
bool Refresh(int row, Quote& out) {
    Inputs in;
    if (!ReadInputs(row, in, false)) return false;
    {
        std::lock_guard lock(g_storeMutex);
        if (static_cast<std::size_t>(row) < g_store.size() && Fresh(g_store[row], in)) {
            out = g_store[row];
            return true;
        }
    }
    if (!ReadInputs(row, in, true)) return false;
    std::lock_guard lock(g_storeMutex);
    if (g_store.size() <= static_cast<std::size_t>(row)) g_store.resize(row + 1);
    Recompute(g_store[row], in);
    out = g_store[row];
    return true;
}

}  // namespace

bool IsImpliedQuoteField(uint32_t field) {
    switch (field) {
        case 1905:
        case 1907:
        case 729:
        case 813:
        case 587:
        case 707:
        case 704:
        case 706:
        case 703:
        case 638:
        case 628:
            return true;
        default:
            return false;
    }
}

bool ReadImpliedQuote(int row, uint32_t field, double* value) {
    Quote q;
    if (row < 0 || !Refresh(row, q)) return false;
    if (value != nullptr) *value = FieldOf(q, field);
    return true;
}

void UpdateCombinationQuote(int row) {
    Quote q;
    if (row < 0 || !Refresh(row, q)) return;
    CFixRecord& c = CombinationContractTable;
    ScopedTableLock hold(c, TableLockRank::CombinationContract, true);
    // The table may have been rebuilt between the read and now.
    if (row >= c.GetCount() || c.Get(1060, row) != q.code) return;
    c.Set(2002, q.prevAsk, row);
    c.Set(1813, q.askTime, row);
    c.Set(2000, q.prevBid, row);
    c.Set(1812, q.bidTime, row);
    c.Set(1907, q.ask, row);
    c.Set(1905, q.bid, row);
    c.Set(729, q.last, row);
    c.Set(628, q.askSize, row);
    c.Set(638, q.bidSize, row);
    c.Set(813, q.settle, row);
    c.Set(587, q.open, row);
    c.Set(706, q.up, row);
    c.Set(703, q.down, row);
    c.Set(707, q.high, row);
    c.Set(704, q.low, row);
    c.Set(899, q.computed, row);
    std::lock_guard lock(g_storeMutex);
    if (static_cast<std::size_t>(row) < g_store.size() && g_store[row].code == q.code)
        g_store[row].rowComputed = q.computed;
}

void ResetCombinationQuotes() {
    std::lock_guard lock(g_storeMutex);
    g_store.clear();
}

void NoteCombinationFieldWritten(int row, uint32_t field, double value) {
    std::lock_guard lock(g_storeMutex);
    if (row < 0 || static_cast<std::size_t>(row) >= g_store.size() || !g_store[row].valid) return;
    Quote& q = g_store[row];
    switch (field) {
        case 1905:
            q.bid = value;
            break;
        case 1907:
            q.ask = value;
            break;
        case 638:
            q.bidSize = static_cast<int32_t>(value);
            break;
        case 628:
            q.askSize = static_cast<int32_t>(value);
            break;
        default:
            break;
    }
}

}  // namespace tradedata
