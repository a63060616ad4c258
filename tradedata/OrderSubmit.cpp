// Order, cancel, combination and stop-order requests with their trace lines, round-trip times
// and the order rows they record; trading-code choice, contract stop parameters and counters.
#include "tradedata/OrderSubmit.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string_view>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "shell/services/TradeLogger.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Registries.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

std::atomic<TraceLineWriter> g_traceWriter{nullptr};

void WriteTrace(const std::string& line) {
    const TraceLineWriter writer = g_traceWriter.load();
    if (writer != nullptr)
        writer(line);
    else
        shell::WriteLogLine(line);
}

// The first answer row of an order request (result, order number, the order's margin and fee)
// and the text to show; the request is given back.
struct OrderAnswer {
    int32_t result = 0;
    int32_t orderNumber = 0;
    double margin = 0;
    double fee = 0;
    std::string message;
};

OrderAnswer SendOrder(std::unique_ptr<CTradeRequest> request) {
    OrderAnswer answer;
    request->Send();
    if (request->NextRow()) {
        answer.result = request->GetLong(507);
        answer.orderNumber = request->GetLong(681);
        answer.margin = request->GetDouble(1720);
        answer.fee = request->GetDouble(1234);
    }
    answer.message = request->GetErrorText();
    return answer;
}

constexpr int32_t kFunctionCombination = 16143;
constexpr int32_t kFunctionStopOrder = 16421;
constexpr int32_t kFunctionCounters = 16955;

std::string ClockText(const SystemTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour % 100, t.minute % 100,
                  t.second % 100, t.milliseconds % 1000);
    return text;
}

std::string SecondsText() {
    const SystemTime t = GetCurrentSystemTime();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour % 100, t.minute % 100,
                  t.second % 100);
    return text;
}

bool IsOptionCode(const std::string& code) { return FindOptionContract(code.c_str()) >= 0; }

std::string CostText(int32_t orderNumber, double t0, double t1) {
    char text[96];
    std::snprintf(text, sizeof text, "wth:%d\tcost:%.3f(ms)", orderNumber, (t1 - t0) / 1000.0);
    return text;
}

// The quote line of the trade log, when the contract is known.
void LogQuoteSnapshot(const char* action, const std::string& status, const std::string& khh,
                      const std::string& exchange, const std::string& code) {
    const RowRef ref = FindContract(code.c_str());
    if (ref < 0) return;
    std::string pushTime = GetRowString(1901, ref);
    if (pushTime.empty() || GetRowDouble(1901, ref) == 0.0) pushTime = SecondsText();
    shell::GetTradeLogger("", 400).Info(
        "%s %s QUTE INFO: 客户号:%s,行情更新时间:%s,交易所:%s,合约代码:%s,最新价:%lf,买盘价:%lf,"
        "卖盘价:%lf,买盘量:%ld,卖盘量:%ld",
        action, status, khh, pushTime, exchange, code, GetRowDouble(729, ref),
        GetRowDouble(842, ref), GetRowDouble(850, ref), GetRowLong(843, ref), GetRowLong(851, ref));
}

SubmittedOrder RowOf(const OrderRequest& o, int32_t orderNumber) {
    SubmittedOrder row;
    row.flags = o.rowFlags | 1;
    row.orderNumber = orderNumber;
    row.khh = o.khh;
    row.exchange = o.exchange;
    row.contract = o.contract;
    row.tradingCode = o.tradingCode;
    row.direction = o.direction;
    row.openClose = o.openClose;
    row.quantity = o.quantity;
    row.price = o.price;
    row.hedge = o.hedge;
    row.orderType = o.orderType;
    row.fillCondition = o.fillCondition;
    row.orderKind = o.orderKind;
    row.batchNumber = o.batchNumber;
    row.autoKind = o.autoKind;
    return row;
}

}  // namespace

void SetOrderTraceWriter(TraceLineWriter writer) { g_traceWriter.store(writer); }

InsertFunction SelectInsertFunction(const std::string& contract, int32_t orderType,
                                    int32_t openClose) {
    if (orderType == 4 || orderType == 8) return {16116, 1060};
    if (orderType == 128) return {16138, 1060};
    if (IsOptionCode(contract)) {
        if (openClose == 6 || openClose == 7) return {16133, 9100};
        if (openClose == 9) return {16137, 9100};
        return {16131, 9100};
    }
    return {16150, 719};
}

int32_t SelectCancelFunction(const std::string& contract, int32_t orderType, int32_t openClose,
                             int32_t orderKind) {
    switch (orderKind) {
        case 2:
            return 16441;
        case 3:
            return 16417;
        case 4:
            return 16413;
        case 7:
        case 11:
            return 16471;
        default:
            break;
    }
    if (orderType & (0x4 | 0x8)) return 16117;
    if (orderType & 0x100) return 16142;
    if (orderType & 0x80) return 16139;
    if (IsOptionCode(contract)) return (openClose == 6 || openClose == 7) ? 16134 : 16132;
    return 16153;
}

int32_t SubmitOrder(TradeConnection* connection, const OrderRequest& o, int32_t* orderNumberOut,
                    std::string* messageOut) {
    const SystemTime started = GetCurrentSystemTime();
    const double t0 = GetHighResMicroseconds();
    const InsertFunction selected = SelectInsertFunction(o.contract, o.orderType, o.openClose);
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(static_cast<uint32_t>(selected.function));
    FillAccountFields(*request, o.khh);
    request->SetString(599, o.exchange);
    request->SetString(selected.codeTag, o.contract);
    request->SetLong(684, o.quantity);
    request->SetDouble(682, o.price);
    request->SetLong(1718, o.openClose);
    request->SetString(1716, o.tradingCode);
    request->SetLong(1717, o.hedge);
    request->SetLong(683, o.direction);
    request->SetLong(1681, o.orderType);
    request->SetLong(1842, o.orderKind);
    request->SetLong(797, o.batchNumber);
    request->SetLong(7113, o.autoKind);
    request->SetLong(665, o.fillCondition);
    request->SetLong(1858, o.minFillQuantity);
    request->SetLong(897, o.value897);
    request->SetLong(1575, o.value1575);
    request->SetLong(933, 1);
    const auto [result, orderNumber, margin, fee, message] = SendOrder(std::move(request));
    const double t1 = GetHighResMicroseconds();

    const bool ok = result > 0 && orderNumber > 0;
    if ((shell::GetLogOptions() & shell::kLogSuccessfulOrders) || !ok) {
        std::string line = "委托申请:" + ClockText(started) + "\t";
        if (ok) {
            line += CostText(orderNumber, t0, t1);
        } else {
            char text[160];
            std::snprintf(text, sizeof text, "mmlb:%d kpbz:%d wtjg:%f", o.direction, o.openClose,
                          o.price);
            line += "jys:" + o.exchange + " hydm:" + o.contract + " jybm:" + o.tradingCode + " " +
                    text + " msg:" + message + "\t";
        }
        WriteTrace(line);
    }
    std::string status = "成功";
    if (ok) {
        SubmittedOrder row = RowOf(o, orderNumber);
        row.margin = margin;
        row.fee = fee;
        const int r = InsertSubmittedOrder(row);
        if (o.minFillQuantity > 0 && r >= 0) {
            OrderTable.acquireLockExclusive();
            const int again = OrderTable.Find(681, orderNumber);
            if (again >= 0) OrderTable.Set(1858, o.minFillQuantity, again);
            OrderTable.releaseLockExclusive();
        }
        SetAccountNotifyByKhh(o.khh, kNotifyFunds | kNotifyPositions);
    } else {
        status = "失败 " + message;
    }
    if (shell::GetLogLevel() != 0) {
        LogQuoteSnapshot("报单", status, o.khh, o.exchange, o.contract);
        shell::GetTradeLogger("", 400).Info(
            "报单 %s ORDER INFO: 客户号:%s,交易所:%s,合约代码:%s,买卖标志:%ld,开平标志:%ld,"
            "委托价格:%lf,委托数量:%ld,订单类型:%ld,订单属性:%ld,自动单类型:%ld",
            status, o.khh, o.exchange, o.contract, o.direction, o.openClose, o.price, o.quantity,
            o.orderType, o.fillCondition, o.autoKind);
    }
    if (orderNumberOut != nullptr) *orderNumberOut = orderNumber;
    if (messageOut != nullptr) *messageOut = message;
    return result;
}

int32_t SubmitCancel(TradeConnection* connection, const CancelRequest& c, std::string* messageOut) {
    const SystemTime started = GetCurrentSystemTime();
    const double t0 = GetHighResMicroseconds();
    const int32_t function =
        SelectCancelFunction(c.contract, c.orderType, c.openClose, c.orderKind);
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(static_cast<uint32_t>(function));
    FillAccountFields(*request, c.khh);
    request->SetString(599, c.exchange);
    request->SetString(1716, c.tradingCode);
    request->SetLong(681, c.orderNumber);
    if (function == 16142) request->SetString(755, "W");
    if (c.batchNumber > 0) request->SetLong(797, c.batchNumber);
    if (c.orderKind > 0) request->SetLong(1842, c.orderKind);
    request->SetLong(933, 1);
    request->Send();
    int32_t result = 0;
    if (request->NextRow()) result = request->GetLong(507);
    const std::string message = request->GetErrorText();
    request.reset();
    const double t1 = GetHighResMicroseconds();

    const bool ok = result > 0;
    if ((shell::GetLogOptions() & shell::kLogSuccessfulCancels) || !ok) {
        std::string line = "撤单申请:" + ClockText(started) + "\t";
        if (ok)
            line += CostText(c.orderNumber, t0, t1);
        else
            line += "jys:" + c.exchange + " jybm:" + c.tradingCode +
                    " wth:" + std::to_string(c.orderNumber) + " msg:" + message + "\t";
        WriteTrace(line);
    }
    std::string status = "成功";
    if (ok) {
        if (function == 16153 || function == 16132 || function == 16134 || function == 16117) {
            bool unacknowledged = false;
            OrderTable.acquireLockExclusive();
            const int row = OrderTable.GetFCount() > 0 ? OrderTable.Find(681, c.orderNumber) : -1;
            if (row >= 0) unacknowledged = OrderTable.GetLong(753, row) == 0;
            OrderTable.releaseLockExclusive();
            if (unacknowledged)
                PostToWindow(GetWorkplaceWindow(), kWmFrameEvent, 0x30002, c.orderNumber);
        }
        SetAccountNotifyByKhh(c.khh, kNotifyFunds | kNotifyPositions);
    } else {
        status = "失败 " + message;
    }
    if (shell::GetLogLevel() != 0) {
        LogQuoteSnapshot("撤单", status, c.khh, c.exchange, c.contract);
        shell::GetTradeLogger("", 400).Info(
            "撤单 %s CANCEL ORDER INFO: 客户号:%s,交易所:%s,合约代码:%s,开平标志:%ld,订单类型:%ld",
            status, c.khh, c.exchange, c.contract, c.openClose, c.orderType);
    }
    if (messageOut != nullptr) *messageOut = message;
    return result;
}

int32_t SubmitCombinationInstruction(const std::string& khh, const std::string& exchange,
                                     const std::string& tradingCode, const std::string& combination,
                                     int32_t openClose, int32_t quantity, int32_t hedge,
                                     int32_t orderType, int32_t* orderNumberOut,
                                     std::string* messageOut) {
    auto request = CTradeRequest::Create(GetTradingConnection());
    request->SetFunction(kFunctionCombination);
    FillAccountFields(*request, khh);
    request->SetString(599, exchange);
    request->SetString(1716, tradingCode);
    request->SetString(1060, combination);
    request->SetLong(1718, openClose);
    request->SetLong(1717, hedge);
    request->SetLong(684, quantity);
    request->SetLong(1681, orderType);
    const auto [result, orderNumber, margin, fee, message] = SendOrder(std::move(request));
    if (result > 0 && orderNumber > 0) {
        SubmittedOrder row;
        row.flags = 1;
        row.orderNumber = orderNumber;
        row.khh = khh;
        row.exchange = exchange;
        row.contract = combination;
        row.tradingCode = tradingCode;
        row.openClose = openClose;
        row.quantity = quantity;
        row.hedge = hedge;
        row.orderType = orderType;
        InsertSubmittedOrder(row);
        PostToWindow(GetWorkplaceWindow(), kWmFrameRefresh, 0x1000, orderNumber);
    }
    if (orderNumberOut != nullptr) *orderNumberOut = orderNumber;
    if (messageOut != nullptr) *messageOut = message;
    return result;
}

void FillTriggeredOrderFields(CTradeRequest& request, const OrderRequest& o) {
    FillAccountFields(request, o.khh);
    request.SetString(599, o.exchange);
    request.SetString(719, o.contract);
    request.SetString(1716, o.tradingCode);
    request.SetLong(684, o.quantity);
    request.SetLong(1681, o.orderType);
    request.SetDouble(682, o.price);
    request.SetLong(1717, o.hedge);
    request.SetLong(1718, o.openClose);
    request.SetLong(683, o.direction);
}

int32_t SubmitOrderWithStops(const OrderRequest& o, double stopLossPrice, double takeProfitPrice,
                             int32_t* orderNumberOut, std::string* messageOut) {
    const RowRef ref = FindContract(o.contract.c_str());
    const double tick = ref < 0 ? 0.0 : GetRowDouble(594, ref);
    StopParams params;
    const int32_t flags = GetCommonContractStopParams(o.contract, &params);
    auto request = CTradeRequest::Create(GetTradingConnection());
    request->SetFunction(kFunctionStopOrder);
    FillTriggeredOrderFields(*request, o);
    if (stopLossPrice > 1e-6) {
        request->SetDouble(1798, stopLossPrice);
        request->SetLong(745, params.stopLossCount);
        if (flags & 0x2) {
            request->SetLong(1795, 2);
        } else {
            request->SetDouble(1799, stopLossPrice + params.stopLossOffset * tick);
            request->SetLong(1795, 0);
        }
    }
    if (takeProfitPrice > 1e-6) {
        request->SetDouble(1796, takeProfitPrice);
        request->SetLong(742, params.takeProfitCount);
        if (flags & 0x4) {
            request->SetLong(1826, 2);
        } else {
            request->SetDouble(1797, takeProfitPrice - params.takeProfitOffset * tick);
            request->SetLong(1826, 0);
        }
    }
    request->SetLong(1827, 1);
    request->SetLong(1828, 1);
    const auto [result, orderNumber, margin, fee, message] = SendOrder(std::move(request));
    if (result > 0) {
        SetAccountNotifyByKhh(o.khh, kNotifyFunds | kNotifyPositions);
        if (orderNumber > 0) {
            InsertSubmittedOrder(RowOf(o, orderNumber));
            PostToWindow(GetWorkplaceWindow(), kWmFrameRefresh, 0x101000, orderNumber);
        }
    }
    if (orderNumberOut != nullptr) *orderNumberOut = orderNumber;
    if (messageOut != nullptr) *messageOut = message;
    return result;
}

int FindTradingCode(const std::string& khh, const std::string& exchange,
                    const std::string& currency, int32_t hedgeKind, std::string* tradingCode,
                    std::string* currencyOut) {
    if (tradingCode != nullptr) tradingCode->clear();
    if (currencyOut != nullptr) currencyOut->clear();
    TradingCodeTable.acquireLockShared();
    int first = -1, chosen = -1;
    const int count = TradingCodeTable.GetCount();
    for (int r = 0; r < count && chosen < 0; ++r) {
        if (TradingCodeTable.Get(605, r) != khh || TradingCodeTable.Get(599, r) != exchange)
            continue;
        if (!currency.empty() && TradingCodeTable.Get(511, r) != currency) continue;
        if (first < 0) first = r;
        const int32_t bits = TradingCodeTable.GetLong(574, r);
        bool fits;
        if (bits & 0x20)
            fits = hedgeKind == 1;
        else if (bits & 0x40)
            fits = hedgeKind == 2;
        else if (bits & 0x10)
            fits = hedgeKind == 0;
        else
            fits = exchange != "ZJ" || hedgeKind == 0;
        if (fits) chosen = r;
    }
    if (chosen < 0) chosen = first;
    if (chosen >= 0) {
        if (tradingCode != nullptr) *tradingCode = TradingCodeTable.Get(1716, chosen);
        if (currencyOut != nullptr) *currencyOut = TradingCodeTable.Get(511, chosen);
    }
    TradingCodeTable.releaseLockShared();
    return chosen;
}

int32_t GetCommonContractStopParams(const std::string& contract, StopParams* params) {
    StopParams found;
    int32_t flags = 0;
    ContractParamTable.acquireLockShared();
    const int row =
        ContractParamTable.GetFCount() > 0 ? ContractParamTable.LocateEx({{719, contract}}) : -1;
    if (row >= 0) {
        found.stopLossOffset = ContractParamTable.GetDouble(1797, row);
        found.takeProfitOffset = ContractParamTable.GetDouble(1799, row);
        found.stopLossCount = std::max(1, ContractParamTable.GetLong(742, row));
        found.takeProfitCount = std::max(1, ContractParamTable.GetLong(745, row));
        flags = ContractParamTable.GetLong(644, row);
    }
    ContractParamTable.releaseLockShared();
    if (params != nullptr) *params = found;
    return flags;
}

bool QueryTradeCounters(TradeConnection* connection, const std::string& khh) {
    CFixRecord fresh;
    fresh.Create(kOrderCountLayout);
    CMemRecord* mem = fresh.GetMemRecord();
    const int keyField = mem->FindIndex(763u);
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionCounters);
    FillAccountFields(*request, khh);
    request->Send();
    while (request->NextRow()) {
        if (request->GetLong(507) < 0) continue;
        const std::string type = request->GetString(1332);
        std::string key = khh + "|" + type + "|" + request->GetString(599);
        if (type != "T") key += "|" + request->GetString(7125);
        const int row = mem->InsertKey(keyField, key.c_str(), true);
        if (row < 0) continue;
        request->CopyRowTo(&fresh, row);
        fresh.Set(605, khh, row);
        fresh.Set(763, key, row);
    }
    // A request that got no answer keeps the counters as they were.
    const bool answered = request->IsAnswered();
    request.reset();
    if (!answered) return false;
    OrderCountTable.acquireLockExclusive();
    const bool hasOld = OrderCountTable.GetFCount() > 0;
    for (int r = 0; r < fresh.GetCount(); ++r) {
        const std::string key = fresh.Get(763, r);
        const int old = hasOld ? OrderCountTable.Find(763, key.c_str()) : -1;
        if (old < 0) continue;
        const std::string type = fresh.Get(1332, r);
        const unsigned counter = type == "T" ? 528u : type == "W" ? 886u : 1715u;
        int32_t flags = OrderCountTable.GetLong(644, old);
        if ((type == "T" || type == "W" || type == "O") &&
            OrderCountTable.GetLong(counter, old) != fresh.GetLong(counter, r))
            flags |= 0x1;
        fresh.Set(644, flags, r);
    }
    ReplaceTableWhole(OrderCountTable, fresh);
    OrderCountTable.releaseLockExclusive();
    return true;
}

}  // namespace tradedata
