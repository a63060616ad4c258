// The order-confirmation and combination-result handlers.
#include "market/feed/OrderConfirms.h"

#include <fmt/format.h>

#include <string>
#include <utility>

#include "platform/core/Numbers.h"
#include "tradedata/Accounts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Rates.h"
#include "tradedata/Registries.h"

namespace market::feed {
namespace {

constexpr int32_t kOutcomeSuccess = 1;
constexpr int32_t kOutcomeFailure = 2;
constexpr int32_t kNoticeConfirm = 2;
constexpr int32_t kChangedRejected = 0x8004;
constexpr int32_t kChangedConfirmed = 0x2;
constexpr int32_t kChangedCancelled = 0x20;
constexpr int32_t kChangedRow = 0x8000;

int32_t Long(const PushFields& push, uint32_t tag) { return platform::AtolSat(push.Get(tag)); }

struct Notice {
    const char* kind = "";
    std::string text;
    int32_t high = 0;
};

Notice NoticeOf(char cxbz, int32_t outcome, int32_t order, int32_t cancelled,
                const std::string& error) {
    Notice n;
    if (cxbz == 'O' && outcome == kOutcomeFailure) {
        n = {"委托确认", fmt::format("委托(合同号:{})确认失败,错误说明:{}", order, error), 2};
    } else if (cxbz == 'O' && outcome == kOutcomeSuccess) {
        n = {"委托确认", fmt::format("委托(合同号:{})已成功确认", order), 1};
    } else if (cxbz == 'W' && outcome == kOutcomeSuccess) {
        n = {"撤单确认",
             cancelled > 0
                 ? fmt::format("委托(合同号:{})撤单确认成功,撤单确认数量:{}", order, cancelled)
                 : fmt::format("委托(合同号:{})撤单确认成功", order),
             3};
    } else if (cxbz == 'W' && outcome == kOutcomeFailure) {
        n = {"撤单确认", fmt::format("委托(合同号:{})确认失败,错误说明:{}", order, error), 4};
    }
    return n;
}

}  // namespace

bool IsLargeCancel(const std::string& exchange, int32_t cancelled, double limit) {
    if (exchange == "SQ" || exchange == "SN") return cancelled >= 300;
    if (exchange == "ZZ") return cancelled >= 500;
    if (exchange == "DL") return limit > 0 && cancelled >= platform::DoubleToInt32(limit * 0.8);
    return false;
}

COrderConfirmHandler::COrderConfirmHandler(PushSink& sink, PushLogHooks hooks)
    : sink_(sink), hooks_(WithDefaults(std::move(hooks))) {}

void COrderConfirmHandler::OnOrderConfirm(const PushFields& push) {
    const std::string khh(push.Get(605));
    std::string exchange(push.Get(599));
    const std::string contract(push.Get(719));
    const int32_t order = Long(push, 681);
    const int32_t kind = Long(push, 1842);
    const int32_t openClose = Long(push, 1718);
    const int32_t attribute = Long(push, 665);
    const int32_t orderType = Long(push, 1681);
    const std::string_view cxbzText = push.Get(755);
    const char cxbz = cxbzText.empty() ? '\0' : cxbzText.front();
    const std::string zcdh(push.Get(1261));
    const int32_t outcome = Long(push, 753);
    const int32_t cancelled = Long(push, 886);
    const std::string reportTime(push.Get(751));
    const std::string error(push.Get(1030));

    if ((hooks_.logOptions() & kTraceConfirms) != 0)
        hooks_.trace(fmt::format("委托确认:{}\twth:{}\t", tradedata::GetSyncTimeText(), order));

    CFixRecord& o = tradedata::OrderTable;
    bool found = false;
    int32_t ordered = 0;
    o.acquireLockExclusive();
    const int row = o.GetFCount() > 0 ? o.Find(681, order) : -1;
    if (row >= 0) {
        found = true;
        if (!zcdh.empty()) o.Set(1261, std::string_view(zcdh), row);
        int32_t changes = o.GetLong(897, row);
        exchange = o.Get(599, row);
        ordered = o.GetLong(684, row);
        const int32_t filled = o.GetLong(528, row);
        const double now = static_cast<double>(tradedata::GetHighResTickCount());
        if (cxbz == 'O') {
            if (outcome == kOutcomeFailure) {
                changes |= kChangedRejected;
                o.Set(753, kStateRejected, row);
            } else if (outcome == kOutcomeSuccess) {
                changes |= kChangedConfirmed;
                // A fill or cancel that overtook its confirmation keeps its state.
                const int32_t state = o.GetLong(753, row);
                if (state == 0 || state == 1) {
                    o.Set(753, kStateConfirmed, row);
                    o.Set(754, std::string_view(), row);
                    o.Set(751, std::string_view(reportTime), row);
                }
            }
            o.Set(1830, now, row);
        } else if (cxbz == 'W' && outcome == kOutcomeSuccess) {
            changes |= kChangedCancelled;
            if (cancelled > 0) {
                o.Set(886, cancelled, row);
                o.Set(753, filled <= 0 ? kStateCancelled : kStatePartlyCancelled, row);
                o.Set(754, std::string_view(), row);
            }
            o.Set(656, now, row);
        }
        o.Set(897, changes | kChangedRow, row);
    }
    o.releaseLockExclusive();
    if (!found) {
        counters_.unknownOrders.fetch_add(1, std::memory_order_relaxed);
        hooks_.trace(
            fmt::format("委托确认:{}\twth:{} 未知委托\t", tradedata::GetSyncTimeText(), order));
    }

    const bool opened = cxbz == 'O' && outcome == kOutcomeSuccess && exchange == "ZJ" &&
                        openClose == 1 && found && ordered > 0;
    const bool cancelCounted = cxbz == 'W' && cancelled > 0 && outcome == kOutcomeSuccess;
    if (opened || cancelCounted) {
        int32_t contractKind = 0;
        const tradedata::RowRef ref = tradedata::FindContractKind(contract.c_str(), &contractKind);
        const std::string product = tradedata::GetRowString(720, ref);
        const std::string openKey = fmt::format("{}|O|{}|{}", khh, exchange, product);
        CFixRecord& c = tradedata::OrderCountTable;
        int counterRow = -1;
        if (opened && ref >= 0) {
            c.acquireLockExclusive();
            const int r = FindOrAddCounterRow(openKey, khh, "O", exchange, product);
            if (r >= 0) c.Set(1715, AddClamped(c.GetLong(1715, r), ordered), r);
            c.releaseLockExclusive();
        }
        if (cancelCounted && ref >= 0) {
            const double limit = tradedata::GetRowDouble(686, ref);
            c.acquireLockExclusive();
            if (exchange == "ZJ" && openClose == 1 && !zcdh.empty()) {
                const int r = FindOrAddCounterRow(openKey, khh, "O", exchange, product);
                if (r >= 0) {
                    const int32_t left = AddClamped(c.GetLong(1715, r), -cancelled);
                    c.Set(1715, left < 0 ? 0 : left, r);
                }
            }
            if (!zcdh.empty() && attribute == 0 && orderType != 2) {
                counterRow = FindOrAddCounterRow(fmt::format("{}|W|{}|{}", khh, exchange, contract),
                                                 khh, "W", exchange, contract);
                if (counterRow >= 0) {
                    c.Set(886, AddClamped(c.GetLong(886, counterRow), 1), counterRow);
                    c.Set(644, c.GetLong(644, counterRow) | 1, counterRow);
                    if (IsLargeCancel(exchange, cancelled, limit))
                        c.Set(1875, AddClamped(c.GetLong(1875, counterRow), 1), counterRow);
                }
            }
            c.releaseLockExclusive();
            if (counterRow >= 0) {
                counters_.countedCancels.fetch_add(1, std::memory_order_relaxed);
                sink_.Post(PushWindow::kWorkspace, tradedata::kWmFrameCommand, kCommandCounterRow,
                           counterRow);
                sink_.Post(PushWindow::kQuoteBoard, tradedata::kWmFrameRefresh, kRefreshQuoteRow,
                           ref & tradedata::kRowMask);
            }
        }
    }

    Notice notice;
    const int account = tradedata::FindLoggedInAccount(khh, 0);
    if (account >= 0) {
        notice = NoticeOf(cxbz, outcome, order, cancelled, error);
        tradedata::SetAccountNotify(kNotifyFundsPositions, account);
        if (!notice.text.empty()) tradedata::AppendInfoMessage(notice.kind, notice.text, nullptr);
        const uint32_t wParam =
            static_cast<uint32_t>(kNoticeConfirm) | (static_cast<uint32_t>(notice.high) << 16);
        sink_.Post(PushWindow::kWorkspace, tradedata::kWmFrameEvent, wParam, order);
        PostOrderKindRefresh(sink_, kind);
    }
    if (hooks_.logLevel() != 0) {
        const bool failed = notice.high == 2 || notice.high == 4;
        hooks_.tradeLog(fmt::format(
            "委托回报 {} ORDER INFO:客户号:{},委托号:{},交易所:{},合约代码:{},主场单号:{},"
            "买卖标志:{},开平标志:{},委托数量:{},撤单数量:{},订单类型:{},订单属性:{},"
            "申报结果:{}(1表示成功、2表示失败),错误说明:{}",
            notice.kind, khh, order, exchange, contract, zcdh, Long(push, 683), openClose,
            Long(push, 684), cancelled, orderType, attribute, outcome, failed ? error : ""));
    }
    counters_.handled.fetch_add(1, std::memory_order_relaxed);
}

void COrderConfirmHandler::OnCombinationResult(const PushFields& push) {
    const char* kind = Long(push, 1718) == 10 ? "组合" : "解锁";
    const bool done = Long(push, 1029) == 0;
    const std::string text = done ? fmt::format("{}成功", kind)
                                  : fmt::format("{}失败,错误说明:{}", kind, push.Get(1030));
    // The line first: a window that refreshes on the message finds it.
    tradedata::AppendInfoMessage("组合解锁", text, nullptr);
    if (done) sink_.Post(PushWindow::kWorkspace, tradedata::kWmFrameRefresh, kRefreshAfterTrade, 0);
}

}  // namespace market::feed
