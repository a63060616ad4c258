// The trade-return handler.
#include "market/feed/TradeReturns.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/core/Numbers.h"
#include "record/MemRecord.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Rates.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingTime.h"

namespace market::feed {
namespace {

using tradedata::OrderTable;
using tradedata::TradeDetailTable;
using tradedata::TradeTable;
using tradedata::TwoLegOrderTable;

constexpr int32_t kStateNoticeTrade = 3;
constexpr int32_t kCombinationOrderBits = 0x4 | 0x8;
constexpr int32_t kNoFillUpdateBit = 0x100;
constexpr int32_t kChangedByTrade = 0x8080;
constexpr int32_t kChangedRow = 0x8000;
constexpr int32_t kCurrencyConverted = 16;           // DBZCY: prices in another currency
constexpr std::size_t kSeenTradesReserve = 1 << 16;  // a busy day's trades, without rehashing

// Numbers trades whose push has no serial of its own (process-wide, as the serials are).
std::atomic<int32_t> g_tradeSerial{0};

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

// Trailing zeros cut behind a decimal point; the point itself stays ("3500.000" -> "3500.").
std::string PriceText(std::string_view raw) {
    std::string text(TrimLeft(raw));
    if (text.find('.', 1) != std::string::npos)
        while (!text.empty() && text.back() == '0') text.pop_back();
    return text;
}

double Round2(double value) { return std::round(value * 100.0) / 100.0; }

int32_t Long(const PushFields& push, uint32_t tag) { return platform::AtolSat(push.Get(tag)); }
double Double(const PushFields& push, uint32_t tag) { return platform::Atof(push.Get(tag)); }

// The number formed by the last 8 characters of a trade number.
int64_t TradeNumberTail(const std::string& number) {
    const std::size_t n = number.size();
    return platform::Atol64Sat(std::string_view(number).substr(n > 8 ? n - 8 : 0));
}

// Average price of an accumulated amount: per unit and multiplier, converted back when the
// contract is priced in another currency.
double AveragePrice(double amount, int32_t quantity, double multiplier, int32_t currencyKind,
                    double unit) {
    double price = amount / quantity / multiplier;
    if (currencyKind == kCurrencyConverted && unit > 1e-6) price /= unit;
    return price;
}

}  // namespace

struct CTradeReturnHandler::Trade {
    std::string khh, exchange, contract, tradingCode, tradeNumber, time, priceText;
    int32_t order = 0, kind = 0, side = 0, openClose = 0, batch = 0, serial = 0, quantity = 0;
    double price = 0, amount = 0, profit = 0, margin = 0;
    double multiplier = 0, unit = 0;
    int32_t currencyKind = 0;
};

CTradeReturnHandler::CTradeReturnHandler(std::atomic<uint32_t>& frameState, PushSink& sink,
                                         Executor executor, Hooks hooks)
    : frameState_(frameState),
      sink_(sink),
      executor_(std::move(executor)),
      hooks_(std::move(hooks)) {
    hooks_.log = WithDefaults(std::move(hooks_.log));
    seen_.reserve(kSeenTradesReserve);
    if (!hooks_.submit)
        hooks_.submit = [](const tradedata::OrderRequest& order, std::string* message) {
            return tradedata::SubmitOrder(tradedata::GetTradingConnection(), order, nullptr,
                                          message);
        };
}

void CTradeReturnHandler::ResetSeenTrades() {
    std::lock_guard hold(seenLock_);
    seen_.clear();
}

bool CTradeReturnHandler::FirstSeen(const Trade& t) {
    // A trade without a number cannot be told from another one: it always counts.
    if (t.tradeNumber.empty()) return true;
    std::string key = fmt::format("{}|{}|{}|{}", t.exchange, t.tradeNumber, t.order, t.side);
    std::lock_guard hold(seenLock_);
    return seen_.insert(std::move(key)).second;
}

void CTradeReturnHandler::OnTradeReturn(const PushFields& push) {
    Trade t;
    t.khh = std::string(push.Get(605));
    t.exchange = std::string(push.Get(599));
    t.contract = std::string(push.Get(719));
    t.tradingCode = std::string(push.Get(1716));
    t.order = Long(push, 681);
    t.kind = Long(push, 1842);
    t.side = Long(push, 683);
    t.openClose = Long(push, 1718);
    t.batch = Long(push, 1855);
    t.serial = Long(push, 862);
    t.tradeNumber = std::string(TrimLeft(push.Get(522)));
    t.time = std::string(push.Get(527));
    t.priceText = PriceText(push.Get(525));
    t.price = platform::Atof(t.priceText);
    // A lot count below 0 is no trade of ours: it would take fills off the order.
    t.quantity = std::max(0, Long(push, 528));
    t.amount = Double(push, 524);
    t.profit = Double(push, 1776);
    t.margin = push.Has(1489) ? Double(push, 1720) : 0.0;

    if (!FirstSeen(t)) {
        counters_.duplicates.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (t.serial <= 0) t.serial = g_tradeSerial.fetch_add(1, std::memory_order_relaxed) + 1;
    if (t.time.empty()) {
        const tradedata::SystemTime now = tradedata::GetTradingDate(t.exchange);
        t.time = fmt::format("{:02}:{:02}:{:02}", now.hour, now.minute, now.second);
    }

    const tradedata::RowRef ref = tradedata::FindContract(t.contract.c_str());
    if (ref >= 0) {
        t.multiplier = tradedata::GetRowDouble(1752, ref);
        t.unit = tradedata::GetRowDouble(1787, ref);
        t.currencyKind = tradedata::GetRowLong(9020, ref);
    }
    if (t.amount <= 1e-6) {
        if (t.currencyKind == kCurrencyConverted && t.unit > 1e-6)
            t.amount = Round2(t.price * t.multiplier * t.unit) * t.quantity;
        else
            t.amount = t.quantity * t.price * t.multiplier;
    }

    if ((hooks_.log.logOptions() & kTraceTrades) != 0)
        hooks_.log.trace(fmt::format("成交回报:{}\twth:{} cjsl:{} cjbh:{}\t",
                                     tradedata::GetSyncTimeText(), t.order, t.quantity,
                                     t.tradeNumber));

    WriteDetail(t);
    WriteTradeRow(t);
    const int32_t state = WriteOrder(t);
    if (t.quantity > 0 && t.order != 0) WriteTwoLeg(t);
    Notify(t, state);
    counters_.handled.fetch_add(1, std::memory_order_relaxed);
}

// The fields that name a trade, alike in the detail and the trade row.
void CTradeReturnHandler::SetIdentity(CFixRecord& table, int row, const Trade& t) {
    table.Set(605, std::string_view(t.khh), row);
    table.Set(599, std::string_view(t.exchange), row);
    table.Set(681, t.order, row);
    table.Set(1716, std::string_view(t.tradingCode), row);
    table.Set(719, std::string_view(t.contract), row);
    table.Set(683, t.side, row);
    table.Set(1718, t.openClose, row);
    table.Set(862, t.serial, row);
}

int CTradeReturnHandler::OrderRow(int32_t order) {
    CFixRecord& o = OrderTable;
    const auto hint = orderRows_.find(order);
    if (hint != orderRows_.end() && hint->second < o.GetCount() &&
        o.GetLong(681, hint->second) == order)
        return hint->second;
    const int row = o.Find(681, order);
    if (row >= 0) orderRows_[order] = row;
    return row;
}

int CTradeReturnHandler::TradeRow(const std::string& key) {
    CFixRecord& tr = TradeTable;
    const auto hint = tradeRows_.find(key);
    if (hint != tradeRows_.end() && hint->second < tr.GetCount() &&
        tr.Get(763, hint->second) == key)
        return hint->second;
    const int row = tr.Find(763, key.c_str());
    if (row >= 0) tradeRows_[key] = row;
    return row;
}

void CTradeReturnHandler::WriteDetail(const Trade& t) {
    CFixRecord& d = TradeDetailTable;
    d.acquireLockExclusive();
    if (d.GetFCount() > 0) {
        while (d.GetCount() >= kMaxTradeDetailRows) d.GetMemRecord()->Delete(d.GetCount() - 1);
        const int row = d.GetMemRecord()->Insert(nullptr, 0);
        if (row >= 0) {
            SetIdentity(d, row, t);
            d.Set(525, t.price, row);
            d.Set(528, t.quantity, row);
            d.Set(524, t.amount, row);
            d.Set(1776, t.profit, row);
            d.Set(527, std::string_view(t.time), row);
            d.Set(522, std::string_view(t.tradeNumber), row);
            tradedata::FillTradeRowTexts(d, row);
            if ((frameState_.load(std::memory_order_acquire) & kFrameCountersLoaded) != 0)
                CheckSelfTrade(t);
        }
    }
    d.releaseLockExclusive();
}

// Under the trade-detail lock; the counter lock is taken inside it, never the other way.
void CTradeReturnHandler::CheckSelfTrade(const Trade& t) {
    CFixRecord& d = TradeDetailTable;
    CMemRecord* mem = d.GetMemRecord();
    const int count = d.GetCount();
    const auto sameParties = [&](int r) {
        return int64_t{d.GetLong(683, r)} + t.side == 3 && d.Get(605, r) == t.khh &&
               d.Get(599, r) == t.exchange && d.Get(1716, r) == t.tradingCode &&
               d.Get(719, r) == t.contract;
    };
    if (t.exchange == "ZZ") {
        // That exchange numbers the two sides of a trade one apart at the same price.
        const int64_t tail = TradeNumberTail(t.tradeNumber);
        for (int r = 1; r < count; ++r) {
            if (!sameParties(r)) continue;
            if (std::fabs(d.GetDouble(525, r) - t.price) <= 1e-6 &&
                std::llabs(TradeNumberTail(d.Get(522, r)) - tail) == 1) {
                frameState_.fetch_and(~kFrameCountersLoaded, std::memory_order_acq_rel);
                return;
            }
        }
        return;
    }
    // Elsewhere both sides carry the same number: only rows of that number can match, so the
    // search runs over the numbers (one pass under one lock) instead of row by row.
    if (t.tradeNumber.empty()) return;
    const int numberField = d.FindIndex(522);
    for (int r = 1; r < count; ++r) {
        r = mem->Locate(numberField, t.tradeNumber.c_str(), r, count - 1);
        if (r < 0) return;
        if (!sameParties(r)) continue;
        CFixRecord& c = tradedata::OrderCountTable;
        c.acquireLockExclusive();
        const int row = FindOrAddCounterRow(fmt::format("{}|T|{}", t.khh, t.exchange), t.khh, "T",
                                            t.exchange, {});
        if (row >= 0) c.Set(528, AddClamped(c.GetLong(528, row), 1), row);
        c.releaseLockExclusive();
        return;
    }
}

void CTradeReturnHandler::WriteTradeRow(const Trade& t) {
    CFixRecord& tr = TradeTable;
    tr.acquireLockExclusive();
    if (tr.GetFCount() > 0) {
        const std::string key = tradedata::FormatFillKey(t.order, t.contract);
        int row = TradeRow(key);
        if (row < 0) {
            row = tr.GetMemRecord()->Append(nullptr, true);
            if (row >= 0) {
                tr.Set(763, std::string_view(key), row);
                tradeRows_[key] = row;
            }
        }
        if (row >= 0) {
            SetIdentity(tr, row, t);
            const int32_t filled = AddClamped(tr.GetLong(528, row), t.quantity);
            tr.Set(528, filled, row);
            tr.Set(1776, tr.GetDouble(1776, row) + t.profit, row);
            if (t.multiplier > 1e-6) {
                const double amount = tr.GetDouble(524, row) + t.amount;
                tr.Set(524, amount, row);
                // No average of nothing: a row still at 0 filled keeps its price.
                if (filled != 0)
                    tr.Set(525, AveragePrice(amount, filled, t.multiplier, t.currencyKind, t.unit),
                           row);
            }
            tradedata::FillTradeRowTexts(tr, row);
        }
    }
    tr.releaseLockExclusive();
}

int32_t CTradeReturnHandler::WriteOrder(const Trade& t) {
    CFixRecord& o = OrderTable;
    if (o.GetFCount() == 0) return 0;
    struct Leg {
        bool found = false;
        int row = -1;
        int32_t quantity = 0;
        double amount = 0, multiplier = 0;
    } legs[2];
    bool combination = false;

    o.acquireLockExclusive();
    int row = OrderRow(t.order);
    if (row >= 0 && (o.GetLong(1681, row) & kCombinationOrderBits) != 0) {
        // A combination's fill comes from its legs' trade rows, which are read without the
        // order lock (no two table locks are held together); the order is found again after.
        const std::string orderContract = o.Get(719, row);
        o.releaseLockExclusive();
        std::string codes[2];
        CFixRecord& cc = tradedata::CombinationContractTable;
        const int crow = tradedata::FindCombinationContract(orderContract.c_str());
        combination = crow >= 0;
        if (combination) {
            cc.acquireLockShared();
            codes[0] = cc.Get(1392, crow);
            codes[1] = cc.Get(1393, crow);
            cc.releaseLockShared();
            TradeTable.acquireLockShared();
            for (int k = 0; k < 2; ++k) {
                legs[k].row =
                    TradeTable.Find(763, tradedata::FormatFillKey(t.order, codes[k]).c_str());
                legs[k].found = legs[k].row >= 0;
                if (legs[k].found) {
                    legs[k].quantity = TradeTable.GetLong(528, legs[k].row);
                    legs[k].amount = TradeTable.GetDouble(524, legs[k].row);
                }
            }
            TradeTable.releaseLockShared();
            for (int k = 0; k < 2; ++k)
                legs[k].multiplier =
                    tradedata::GetRowDouble(1752, tradedata::FindContract(codes[k].c_str()));
        }
        o.acquireLockExclusive();
        row = OrderRow(t.order);
    }
    if (row < 0) counters_.unknownOrders.fetch_add(1, std::memory_order_relaxed);
    int32_t state = 0;
    if (row >= 0) {
        int32_t changes = o.GetLong(897, row) | kChangedByTrade;
        const int32_t ordered = o.GetLong(684, row);
        const int32_t filled = o.GetLong(528, row);
        const int32_t cancelled = o.GetLong(886, row);
        const int32_t type = o.GetLong(1681, row);
        if ((type & kCombinationOrderBits) != 0) {
            // The legs' trade rows make the combination's fill; without them it stays.
            if (combination) changes &= ~kChangedRow;
            const Leg& a = legs[0];
            const Leg& b = legs[1];
            if (combination && a.found && b.found && a.row != b.row && a.quantity == b.quantity &&
                a.quantity > filled) {
                const double m =
                    (a.multiplier == b.multiplier && a.multiplier > 0) ? a.multiplier : 1.0;
                o.Set(524, a.amount + b.amount, row);
                o.Set(525, (a.amount - b.amount) / a.quantity / m, row);
                o.Set(528, a.quantity, row);
                o.Set(753, StateAfterFill(cancelled, a.quantity, ordered), row);
                o.Set(830, std::string_view(), row);
            }
        } else {
            const int32_t newFilled = AddClamped(filled, t.quantity);
            if (newFilled <= ordered && (type & kNoFillUpdateBit) == 0) {
                o.Set(528, newFilled, row);
                if (t.quantity > 0) {
                    if (t.multiplier > 1e-6 && t.amount > 1e-6) {
                        const double amount = o.GetDouble(524, row) + t.amount;
                        o.Set(524, amount, row);
                        o.Set(525,
                              AveragePrice(amount, newFilled, t.multiplier, t.currencyKind, t.unit),
                              row);
                    }
                    o.Set(753, StateAfterFill(cancelled, newFilled, ordered), row);
                    o.Set(830, std::string_view(), row);
                }
            }
        }
        o.Set(527, static_cast<double>(tradedata::GetHighResTickCount()), row);
        o.Set(897, changes, row);
        state = o.GetLong(753, row);
    }
    o.releaseLockExclusive();
    return state;
}

void CTradeReturnHandler::WriteTwoLeg(const Trade& t) {
    CFixRecord& w = TwoLegOrderTable;
    if (w.GetFCount() == 0) return;
    w.acquireLockShared();
    int row = w.Find(681, t.order);
    const std::string contract = row >= 0 ? w.Get(719, row) : std::string();
    w.releaseLockShared();
    if (row < 0) return;
    std::string firstLeg;
    const int crow = tradedata::FindCombinationContract(contract.c_str());
    const bool combination = crow >= 0;
    if (combination) {
        tradedata::CombinationContractTable.acquireLockShared();
        firstLeg = tradedata::CombinationContractTable.Get(1392, crow);
        tradedata::CombinationContractTable.releaseLockShared();
    }
    const bool pushedFirstLeg = combination && t.contract == firstLeg;

    tradedata::OrderRequest leg;
    int32_t n = 0;
    w.acquireLockExclusive();
    row = w.Find(681, t.order);
    if (row >= 0) {
        int32_t matched;
        if (combination) {
            const uint32_t tag = pushedFirstLeg ? 528u : 1874u;
            w.Set(tag, AddClamped(w.GetLong(tag, row), t.quantity), row);
            matched = std::min(w.GetLong(528, row), w.GetLong(1874, row));
        } else {
            matched = AddClamped(w.GetLong(528, row), t.quantity);
            w.Set(528, matched, row);
        }
        const int32_t remaining = w.GetLong(1439, row);
        const int32_t pairing = w.GetLong(1783, row);
        if (pairing == 0) {
            if (matched >= w.GetLong(684, row)) n = remaining;
        } else if (pairing == 1) {
            n = std::min(t.quantity, remaining);
            if (combination && !pushedFirstLeg) n = 0;
        }
        if (n > 0) {
            // Taken off before the send, so a later trade never sends the same lots again.
            w.Set(1439, remaining - n, row);
            leg.khh = w.Get(605, row);
            leg.exchange = w.Get(1847, row);
            leg.contract = w.Get(1393, row);
            leg.tradingCode = w.Get(1848, row);
            leg.direction = w.GetLong(1849, row);
            leg.openClose = w.GetLong(1850, row);
            leg.quantity = n;
            leg.price = w.GetDouble(1418, row);
            leg.hedge = w.GetLong(1851, row);
            leg.orderType = w.GetLong(1852, row);
        }
    }
    w.releaseLockExclusive();
    if (n > 0) SendLegTwo(std::move(leg));
}

// The send waits for the server up to its time-out, so it runs on the executor; its result
// comes back as the workspace refresh on success and as a trace line on failure.
void CTradeReturnHandler::SendLegTwo(tradedata::OrderRequest order) {
    counters_.legTwoSent.fetch_add(1, std::memory_order_relaxed);
    auto job = [this, order = std::move(order)] {
        std::string message;
        const int32_t result = hooks_.submit(order, &message);
        if (result > 0) {
            sink_.Post(PushWindow::kWorkspace, tradedata::kWmFrameRefresh, kRefreshAfterTrade, 0);
            return;
        }
        counters_.legTwoFailed.fetch_add(1, std::memory_order_relaxed);
        hooks_.log.trace(fmt::format("成交回报:{}\tleg2 {} {} {} msg:{}\t",
                                     tradedata::GetSyncTimeText(), order.contract, order.quantity,
                                     result, message));
    };
    if (executor_)
        executor_(std::move(job));
    else
        job();
}

void CTradeReturnHandler::Notify(const Trade& t, int32_t state) {
    const int account = tradedata::FindLoggedInAccount(t.khh, 0);
    if (account >= 0) {
        const std::string text = fmt::format("委托(合同号:{})已成交,成交编号:{},数量:{},价格:{}",
                                             t.order, t.tradeNumber, t.quantity, t.priceText);
        tradedata::AppendInfoMessage("成交通知", text, nullptr);
        tradedata::SetAccountNotify(kNotifyFundsPositions, account);
        const uint32_t wParam = kStateNoticeTrade | (static_cast<uint32_t>(state & 0xFFFF) << 16);
        sink_.Post(PushWindow::kWorkspace, tradedata::kWmFrameEvent, wParam, t.order);
        PostOrderKindRefresh(sink_, t.kind);
    }
    if (hooks_.log.logLevel() != 0)
        hooks_.log.tradeLog(
            fmt::format("成交回报 MATCH INFO:客户号:{},委托号:{},交易所:{},合约代码:{},成交编号:{},"
                        "成交数量:{},成交价格:{},开平标志:{},保证金:{},申报结果:{}",
                        t.khh, t.order, t.exchange, t.contract, t.tradeNumber, t.quantity,
                        t.priceText, t.openClose, platform::FormatFixed(t.margin, 6), state));
}

}  // namespace market::feed
