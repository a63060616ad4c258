// Order rows: insertion at submission, merging of query answers, paging, fill totals,
// combination fill prices and trade folding, and the display texts of order and trade rows.
// Requests are never sent while a table lock is held: what a step needs from the server is
// fetched first, and the tables are then changed under their exclusive locks.
#include "tradedata/OrderQuery.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ColorSettings.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/Registries.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

CFixRecord OrderFillTable;

const tagFIXHEADERINFO kOrderFillLayout[] = {{763, "BROWINDEX", "C64", 0},
                                             {681, "WTH", "N8", 0},
                                             {719, "ZQDM", "C32", 0},
                                             {605, "KHH", "C16", 0},
                                             {599, "JYS", "C4", 0},
                                             {1716, "JYBM", "C16", 0},
                                             {683, "WTLB", "N1", 0},
                                             {1718, "JYLB", "N1", 0},
                                             {525, "CJJG", "R9.4", 0},
                                             {524, "CJJE", "R16.2", 0},
                                             {528, "CJSL", "N8", 0},
                                             {862, "HBXH", "N8", 0},
                                             {0, "", "", 0}};

const tagFIXHEADERINFO kOrderQueryLayout[] = {
    {681, "委托号", "N8", 0},     {601, "交易所", "C16", 0},  {719, "合约代码", "C32", 0},
    {754, "状态", "C16", 0},      {752, "买卖", "C8", 0},     {596, "开平", "C8", 0},
    {682, "委托价", "R9.4", 0},   {684, "委托量", "N8", 0},   {528, "成交量", "N8", 0},
    {886, "撤单量", "N8", 0},     {525, "成交价", "R9.4", 0}, {750, "委托时间", "C8", 0},
    {817, "委托类型", "C32", 0},  {3053, "投保", "C8", 0},    {830, "结果说明", "C128", 0},
    {1716, "交易编码", "C16", 0}, {100, "color", "N1", 0},    {3216, "image", "N1", 0},
    {1045, "XSJD", "N1", 0},      {897, "CZBZ", "N1", 0},     {599, "JYS", "C4", 0},
    {683, "WTLB", "N1", 0},       {1718, "JYLB", "N1", 0},    {1717, "TZLB", "N1", 0},
    {1855, "PCZXBH", "N8", 0},    {797, "LSH", "N8", 0},      {1842, "WTDLB", "N4", 0},
    {1681, "DDLX", "N4", 0},      {1857, "CJLLX", "N4", 0},   {1858, "ZXCJL", "N8", 0},
    {1682, "MCWTJG", "R9.4", 0},  {1859, "MCWTSL", "N8", 0},  {1856, "MCJYLB", "N1", 0},
    {753, "SBJG", "N4", 0},       {641, "NODE", "C48", 0},    {751, "SBSJ", "C8", 0},
    {755, "CXBZ", "C4", 0},       {605, "KHH", "C16", 0},     {7113, "SBBZ", "N4", 0},
    {524, "CJJE", "R16.2", 0},    {1720, "BZJ", "R12.2", 0},  {1234, "SXF", "R12.2", 0},
    {898, "KSSJ", "R16.0", 0},    {899, "CXSJ", "R16.0", 0},  {0, "", "", 0}};

namespace {

constexpr int32_t kFunctionOrderQuery = 16151;
constexpr int32_t kFunctionFillQuery = 16161;

std::atomic<int32_t> g_highestFillSerial{0};

// Fields an order answer brings into the orders table.
constexpr unsigned kMergedFields[] = {605,  599,  682, 684,  1842, 7113, 753,  755,  750,  751,
                                      830,  525,  528, 886,  797,  1720, 1234, 1857, 1858, 1682,
                                      1859, 1856, 719, 1716, 683,  1718, 1717, 1855, 641,  1681};

void EnsureLayout(CFixRecord& table, const tagFIXHEADERINFO* layout) {
    if (table.GetFCount() == 0) table.Create(layout);
}

// Row of the order number in the orders table, inserting it; the caller holds the lock.
int FindOrInsertOrder(int32_t orderNumber) {
    EnsureLayout(OrderTable, kOrderLayout);
    CMemRecord* mem = OrderTable.GetMemRecord();
    return mem->InsertKey(mem->FindIndex(681u), orderNumber, true);
}

int FindOrder(int32_t orderNumber) {
    if (OrderTable.GetFCount() == 0) return -1;
    return OrderTable.Find(681, orderNumber);
}

bool IsCancelEntry(CTradeRequest& request) { return request.GetString(755) == "W"; }

// Hand size of a contract code; 0 when unknown.
double HandSizeOf(const std::string& code) {
    const RowRef ref = FindContract(code.c_str());
    return ref < 0 ? 0.0 : GetRowDouble(1752, ref);
}

// The legs' common hand size when both are equal and positive, else 1.
double LegDivisor(const std::string& leg1, const std::string& leg2) {
    const double a = HandSizeOf(leg1), b = HandSizeOf(leg2);
    return (a > 0 && a == b) ? a : 1.0;
}

bool CombinationLegs(const std::string& code, std::string* leg1, std::string* leg2) {
    const int row = FindCombinationContract(code.c_str());
    if (row < 0) return false;
    *leg1 = CombinationContractTable.Get(1392, row);
    *leg2 = CombinationContractTable.Get(1393, row);
    return true;
}

bool IsCombinationOrderType(int32_t type) { return type == 4 || type == 8; }

std::string NowText() {
    const SystemTime t = GetCurrentSystemTime();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour % 100, t.minute % 100,
                  t.second % 100);
    return text;
}

// Fetches the orders of the trade rows that the orders table lacks, before any lock is taken.
void RequeryMissingOrders(CFixRecord& trades, bool (*wanted)(CFixRecord&, int)) {
    struct Missing {
        std::string khh, exchange;
        int32_t number;
    };
    std::vector<Missing> missing;
    std::set<int32_t> seen;
    trades.acquireLockShared();
    const int count = trades.GetCount();
    for (int r = 0; r < count; ++r) {
        const int32_t number = trades.GetLong(681, r);
        if (number < 1 || !wanted(trades, r) || !seen.insert(number).second) continue;
        if (FindOrder(number) < 0)
            missing.push_back({trades.Get(605, r), trades.Get(599, r), number});
    }
    trades.releaseLockShared();
    for (const Missing& m : missing)
        RequeryOrder(GetTradingConnection(), m.khh, m.exchange, m.number);
}

}  // namespace

std::string FormatFillKey(int32_t orderNumber, const std::string& contract) {
    char number[16];
    std::snprintf(number, sizeof number, "%08d", orderNumber);
    return std::string(number) + "|" + contract;
}

int32_t GetHighestFillSerial() { return g_highestFillSerial.load(); }

int InsertSubmittedOrder(const SubmittedOrder& o) {
    if (o.orderNumber == 0) return -1;
    const std::string time = NowText();
    const double tick = static_cast<double>(GetHighResTickCount());
    const std::string node = shell::GetStationAddress();
    OrderTable.acquireLockExclusive();
    const int row = FindOrInsertOrder(o.orderNumber);
    if (row >= 0) {
        OrderTable.Set(897, o.flags, row);
        OrderTable.Set(681, o.orderNumber, row);
        OrderTable.Set(605, o.khh, row);
        OrderTable.Set(599, o.exchange, row);
        OrderTable.Set(719, o.contract, row);
        OrderTable.Set(1716, o.tradingCode, row);
        OrderTable.Set(683, o.direction, row);
        OrderTable.Set(1718, o.openClose, row);
        OrderTable.Set(682, o.price, row);
        OrderTable.Set(684, o.quantity, row);
        OrderTable.Set(1855, o.batchNumber, row);
        OrderTable.Set(1842, o.orderKind, row);
        OrderTable.Set(1681, o.orderType, row);
        OrderTable.Set(1717, o.hedge, row);
        OrderTable.Set(1857, o.fillCondition, row);
        OrderTable.Set(1720, o.margin, row);
        OrderTable.Set(1234, o.fee, row);
        OrderTable.Set(7113, o.autoKind, row);
        OrderTable.Set(753, 0, row);
        OrderTable.Set(755, "O", row);
        OrderTable.Set(750, time, row);
        OrderTable.Set(898, tick, row);
        OrderTable.Set(641, node, row);
    }
    OrderTable.releaseLockExclusive();
    return row;
}

void UpdateOrderFlags(int32_t orderNumber, int32_t mask, int32_t value) {
    OrderTable.acquireLockExclusive();
    const int row = FindOrder(orderNumber);
    if (row >= 0) {
        const int32_t flags = OrderTable.GetLong(897, row);
        OrderTable.Set(897, (flags & ~mask) | (value & mask), row);
    }
    OrderTable.releaseLockExclusive();
}

void MergeOrderAnswer(CTradeRequest& request) {
    const int32_t orderNumber = request.GetLong(681);
    if (orderNumber == 0) return;
    // Read before the lock: the contract lookup takes contract table locks of its own.
    const std::string contract = request.GetString(719);
    const RowRef ref = FindContract(contract.c_str());
    const double handSize = ref < 0 ? 0.0 : GetRowDouble(1752, ref);
    const double unit = ref < 0 ? 0.0 : GetRowDouble(1787, ref);
    const bool foreignUnit = ref >= 0 && GetRowLong(9020, ref) == 16 && unit > 1e-6;
    bool changed = false;
    std::string khh;
    OrderTable.acquireLockExclusive();
    const int row = FindOrInsertOrder(orderNumber);
    if (row >= 0) {
        const int32_t filledBefore = OrderTable.GetLong(528, row);
        const int32_t cancelledBefore = OrderTable.GetLong(886, row);
        for (unsigned tag : kMergedFields)
            if (request.HasField(static_cast<int32_t>(tag)))
                OrderTable.Set(tag, request.GetString(static_cast<int32_t>(tag)), row);
        double amount = request.GetDouble(524);
        const int32_t filled = OrderTable.GetLong(528, row);
        const double price = OrderTable.GetDouble(525, row);
        if (amount <= 0 && filled > 0 && price > 0) {
            if (foreignUnit)
                amount = std::round(price * handSize * unit * 100.0) / 100.0 * filled;
            else
                amount = price * filled * handSize;
        }
        OrderTable.Set(524, amount, row);
        OrderTable.Set(897, OrderTable.GetLong(897, row) & ~0x8000, row);
        OrderTable.Set(899, static_cast<double>(GetHighResTickCount()), row);
        changed = filled != filledBefore || OrderTable.GetLong(886, row) != cancelledBefore;
        khh = OrderTable.Get(605, row);
    }
    OrderTable.releaseLockExclusive();
    if (changed) SetAccountNotifyByKhh(khh, kNotifyFunds | kNotifyPositions);
}

int QueryOrders(TradeConnection* connection, CFixRecord& target, std::string& message,
                int32_t field9020, int32_t rowsPerPage, int32_t& serial,
                const OrderFilter& filter) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionOrderQuery);
    request->SetLong(762, rowsPerPage);
    request->SetLong(797, serial);
    request->SetLong(9020, field9020);
    if (!filter.khh.empty()) FillAccountFields(*request, filter.khh);
    if (filter.batchNumber != 0) request->SetLong(1855, filter.batchNumber);
    if (filter.orderKind != 0) request->SetLong(1842, filter.orderKind);
    if (filter.orderType != 0) request->SetLong(1681, filter.orderType);
    if (filter.orderNumber != 0) request->SetLong(681, filter.orderNumber);
    if (!filter.exchange.empty()) request->SetString(599, filter.exchange);
    if (!filter.contract.empty()) request->SetString(719, filter.contract);
    request->Send();
    int rows = 0;
    while (request->NextRow()) {
        ++rows;
        // Every row that carries a serial moves the continuation point, also the rows that
        // are not taken: a page of cancel entries must not be asked for again and again.
        if (request->HasField(797)) serial = request->GetLong(797);
        if (request->GetLong(507) < 0 || IsCancelEntry(*request)) continue;
        const int row = request->AppendRowTo(&target, false);
        if (row >= 0) FillOrderRowTexts(target, row);
        MergeOrderAnswer(*request);
    }
    message = rows < 1 ? request->GetErrorText() : std::string();
    return rows;
}

int QueryOrdersOfContract(TradeConnection* connection, CFixRecord& target, std::string& message,
                          int32_t field9020, int32_t rowsPerPage, int32_t& serial,
                          const std::string& khh, const std::string& contract) {
    OrderFilter filter;
    filter.khh = khh;
    filter.contract = contract;
    return QueryOrders(connection, target, message, field9020, rowsPerPage, serial, filter);
}

int QueryAllOrders(TradeConnection* connection, CFixRecord& target, int32_t batchNumber,
                   int32_t orderKind) {
    OrderFilter filter;
    filter.batchNumber = batchNumber;
    filter.orderKind = orderKind;
    int32_t serial = 0;
    std::string message;
    for (;;) {
        const int32_t before = serial;
        const int rows =
            QueryOrders(connection, target, message, 0, kOrderPageSize, serial, filter);
        if (rows != kOrderPageSize || serial == before) break;
    }
    return target.GetCount();
}

int CancelQueriedOrders(TradeConnection* connection, int32_t batchNumber, int32_t orderKind) {
    CFixRecord queried;
    queried.Create(kOrderQueryLayout);
    QueryAllOrders(connection, queried, batchNumber, orderKind);
    int accepted = 0;
    const int count = queried.GetCount();
    for (int r = 0; r < count; ++r) {
        CancelRequest cancel;
        cancel.khh = queried.Get(605, r);
        cancel.exchange = queried.Get(599, r);
        cancel.tradingCode = queried.Get(1716, r);
        cancel.contract = queried.Get(719, r);
        cancel.orderNumber = queried.GetLong(681, r);
        cancel.openClose = queried.GetLong(1718, r);
        cancel.orderType = queried.GetLong(1681, r);
        std::string message;
        if (SubmitCancel(GetTradingConnection(), cancel, &message) > 0) ++accepted;
    }
    return accepted;
}

namespace {

// The order query for one order; the answer rows are then walked by the caller.
std::unique_ptr<CTradeRequest> SendOneOrderQuery(TradeConnection* connection,
                                                 const std::string& khh,
                                                 const std::string& exchange, int32_t orderNumber) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionOrderQuery);
    FillAccountFields(*request, khh);
    request->SetString(599, exchange);
    request->SetLong(681, orderNumber);
    request->Send();
    return request;
}

// A good answer row of the order that is not a cancel entry.
bool IsOrderRowOf(CTradeRequest& request, int32_t orderNumber) {
    return request.GetLong(507) >= 0 && request.GetLong(681) == orderNumber &&
           !IsCancelEntry(request);
}

}  // namespace

bool RequeryOrder(TradeConnection* connection, const std::string& khh, const std::string& exchange,
                  int32_t orderNumber) {
    auto request = SendOneOrderQuery(connection, khh, exchange, orderNumber);
    bool merged = false;
    while (request->NextRow()) {
        if (!IsOrderRowOf(*request, orderNumber)) continue;
        MergeOrderAnswer(*request);
        merged = true;
    }
    return merged;
}

bool RefreshOrderRow(TradeConnection* connection, CFixRecord& table, int row) {
    table.acquireLockShared();
    const std::string khh = table.Get(605, row);
    const std::string exchange = table.Get(599, row);
    const int32_t orderNumber = table.GetLong(681, row);
    table.releaseLockShared();
    auto request = SendOneOrderQuery(connection, khh, exchange, orderNumber);
    bool taken = false;
    while (request->NextRow()) {
        if (!IsOrderRowOf(*request, orderNumber)) continue;
        table.acquireLockExclusive();
        const bool present = row < table.GetCount();
        if (present) request->CopyRowTo(&table, row);
        table.releaseLockExclusive();
        if (!present) break;
        MergeOrderAnswer(*request);
        ComputeCombinationFillPrice(table, row, false);
        FillOrderRowTexts(table, row);
        taken = true;
    }
    return taken;
}

bool QuerySingleOrder(TradeConnection* connection, CFixRecord& out, const std::string& khh,
                      const std::string& exchange, int32_t orderNumber) {
    out.Create(kOrderQueryLayout);
    const int row = out.GetMemRecord()->Append(nullptr, false);
    out.Set(605, khh, row);
    out.Set(599, exchange, row);
    out.Set(681, orderNumber, row);
    return RefreshOrderRow(connection, out, row);
}

int QueryOrderDetails(TradeConnection* connection, const std::string& khh,
                      const std::string& exchange, int32_t orderNumber, OrderDetails* details) {
    CFixRecord one;
    if (!QuerySingleOrder(connection, one, khh, exchange, orderNumber)) return 0;
    if (details != nullptr) {
        details->quantity = one.GetLong(684, 0);
        details->filled = one.GetLong(528, 0);
        details->cancelled = one.GetLong(886, 0);
        details->direction = one.GetLong(683, 0);
        details->openClose = one.GetLong(1718, 0);
        details->tradingCode = one.Get(1716, 0);
        details->contract = one.Get(719, 0);
    }
    return 1;
}

void StoreOrderFill(CTradeRequest& request) {
    const int32_t orderNumber = request.GetLong(681);
    const std::string contract = request.GetString(719);
    if (orderNumber == 0 || contract.empty()) return;
    const std::string key = FormatFillKey(orderNumber, contract);
    OrderFillTable.acquireLockExclusive();
    EnsureLayout(OrderFillTable, kOrderFillLayout);
    CMemRecord* mem = OrderFillTable.GetMemRecord();
    const int row = mem->InsertKey(mem->FindIndex(763u), key.c_str(), true);
    if (row >= 0) {
        OrderFillTable.Set(681, orderNumber, row);
        OrderFillTable.Set(719, contract, row);
        for (unsigned tag : {605u, 599u, 1716u, 683u, 1718u})
            OrderFillTable.Set(tag, request.GetString(static_cast<int32_t>(tag)), row);
        for (unsigned tag : {525u, 524u, 528u, 862u})
            if (request.HasField(static_cast<int32_t>(tag)))
                OrderFillTable.Set(tag, request.GetString(static_cast<int32_t>(tag)), row);
    }
    OrderFillTable.releaseLockExclusive();
}

bool QueryOrderFills(TradeConnection* connection, const std::string& khh,
                     const std::string& exchange, int32_t orderNumber) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionFillQuery);
    FillAccountFields(*request, khh);
    request->SetLong(959, 2);
    request->SetString(599, exchange);
    request->SetLong(681, orderNumber);
    request->Send();
    bool any = false;
    while (request->NextRow()) {
        if (request->GetLong(507) < 0 || request->GetLong(681) != orderNumber) continue;
        StoreOrderFill(*request);
        const int32_t serial = request->GetLong(862);
        int32_t highest = g_highestFillSerial.load();
        while (serial > highest && !g_highestFillSerial.compare_exchange_weak(highest, serial)) {
        }
        any = true;
    }
    return any;
}

void ComputeCombinationFillPrice(CFixRecord& table, int row, bool mayQuery) {
    table.acquireLockShared();
    const int32_t type = table.GetLong(1681, row);
    const int32_t orderNumber = table.GetLong(681, row);
    const int32_t filled = table.GetLong(528, row);
    const std::string code = table.Get(719, row);
    const std::string khh = table.Get(605, row);
    const std::string exchange = table.Get(599, row);
    table.releaseLockShared();
    if (!IsCombinationOrderType(type) || orderNumber == 0 || filled < 1) return;
    std::string leg1, leg2;
    if (!CombinationLegs(code, &leg1, &leg2)) return;
    const std::string key1 = FormatFillKey(orderNumber, leg1);
    const std::string key2 = FormatFillKey(orderNumber, leg2);
    auto lookUp = [&](double* amount1, double* amount2) {
        OrderFillTable.acquireLockShared();
        bool valid = false;
        if (OrderFillTable.GetFCount() > 0) {
            const int a = OrderFillTable.Find(763, key1.c_str());
            const int b = OrderFillTable.Find(763, key2.c_str());
            valid = a >= 0 && b >= 0 && a != b && OrderFillTable.GetLong(528, a) == filled &&
                    OrderFillTable.GetLong(528, b) == filled;
            if (valid) {
                *amount1 = OrderFillTable.GetDouble(524, a);
                *amount2 = OrderFillTable.GetDouble(524, b);
            }
        }
        OrderFillTable.releaseLockShared();
        return valid;
    };
    double amount1 = 0, amount2 = 0;
    bool valid = lookUp(&amount1, &amount2);
    if (!valid && mayQuery) {
        // Asked without holding the fill-totals lock, so readers do not wait on the server.
        QueryOrderFills(GetTradingConnection(), khh, exchange, orderNumber);
        valid = lookUp(&amount1, &amount2);
    }
    if (!valid) return;
    const double price = (amount1 - amount2) / filled / LegDivisor(leg1, leg2);
    table.acquireLockExclusive();
    if (row < table.GetCount() && table.GetLong(681, row) == orderNumber)
        table.Set(525, price, row);
    table.releaseLockExclusive();
}

void MergeCombinationTrades(CFixRecord& trades) {
    RequeryMissingOrders(trades, [](CFixRecord&, int) { return true; });
    trades.acquireLockExclusive();
    CMemRecord* tradeMem = trades.GetMemRecord();
    CFixRecord working;
    working.GetMemRecord()->CreateFrom(tradeMem);
    CMemRecord* workMem = working.GetMemRecord();
    const int keyField = workMem->FindIndex(681u);
    const int count = trades.GetCount();
    std::vector<bool> gathered(static_cast<std::size_t>(count), false);
    for (int r = 0; r < count; ++r) {
        const int32_t orderNumber = trades.GetLong(681, r);
        OrderTable.acquireLockShared();
        const int order = FindOrder(orderNumber);
        int32_t quantity = 0, type = 0, direction = 0, openClose = 0, hedge = 0;
        double price = 0;
        std::string code, tradingCode, exchange;
        if (order >= 0) {
            quantity = OrderTable.GetLong(684, order);
            price = OrderTable.GetDouble(682, order);
            type = OrderTable.GetLong(1681, order);
            direction = OrderTable.GetLong(683, order);
            openClose = OrderTable.GetLong(1718, order);
            hedge = OrderTable.GetLong(1717, order);
            code = OrderTable.Get(719, order);
            tradingCode = OrderTable.Get(1716, order);
            exchange = OrderTable.Get(599, order);
        }
        OrderTable.releaseLockShared();
        if (order < 0) continue;
        trades.Set(684, quantity, r);
        trades.Set(682, price, r);
        if (!IsCombinationOrderType(type) || trades.Get(1716, r) != tradingCode) continue;
        std::string leg1, leg2;
        if (!CombinationLegs(code, &leg1, &leg2)) continue;
        const std::string tradeCode = trades.Get(719, r);
        const bool isLeg1 = tradeCode == leg1;
        if (!isLeg1 && tradeCode != leg2) continue;
        int w = working.Find(681, orderNumber);
        if (w < 0) {
            w = workMem->InsertKey(keyField, orderNumber, true);
            working.Set(599, exchange, w);
            working.Set(719, code, w);
            working.Set(1716, tradingCode, w);
            working.Set(683, direction, w);
            working.Set(1718, openClose, w);
            working.Set(1717, hedge, w);
            working.Set(1681, type, w);
            working.Set(684, quantity, w);
            working.Set(682, price, w);
            working.Set(1752, LegDivisor(leg1, leg2), w);
        }
        working.Set(862, std::max(working.GetLong(862, w), trades.GetLong(862, r)), w);
        working.Set(1776, working.GetDouble(1776, w) + trades.GetDouble(1776, r), w);
        if (isLeg1) {
            working.Set(528, working.GetLong(528, w) + trades.GetLong(528, r), w);
            working.Set(524, working.GetDouble(524, w) + trades.GetDouble(524, r), w);
        } else {
            working.Set(1874, working.GetLong(1874, w) + trades.GetLong(528, r), w);
            working.Set(2028, working.GetDouble(2028, w) + trades.GetDouble(524, r), w);
        }
        gathered[static_cast<std::size_t>(r)] = true;
    }
    // Only orders whose legs are both completely filled are folded.
    std::set<int32_t> folded;
    for (int w = 0; w < working.GetCount(); ++w) {
        const int32_t filled = working.GetLong(528, w);
        if (filled == 0 || filled != working.GetLong(1874, w)) continue;
        const double amount1 = working.GetDouble(524, w), amount2 = working.GetDouble(2028, w);
        working.Set(525, (amount1 - amount2) / filled / working.GetDouble(1752, w), w);
        working.Set(524, amount1 + amount2, w);
        folded.insert(working.GetLong(681, w));
    }
    if (!folded.empty()) {
        CMemRecord rebuilt;
        rebuilt.CreateFrom(tradeMem);
        std::set<int32_t> placed;
        for (int r = 0; r < count; ++r) {
            const int32_t orderNumber = trades.GetLong(681, r);
            if (gathered[static_cast<std::size_t>(r)] && folded.count(orderNumber) != 0) {
                if (placed.insert(orderNumber).second)
                    rebuilt.Append(workMem->GetData(working.Find(681, orderNumber)), false);
                continue;
            }
            rebuilt.Append(tradeMem->GetData(r), false);
        }
        *tradeMem = rebuilt;
    }
    trades.releaseLockExclusive();
}

void FillTradeOrderFields(CFixRecord& trades) {
    auto wanted = [](CFixRecord& t, int r) {
        return (t.GetLong(1681, r) & 0xE) == 0 && t.GetLong(684, r) == 0;
    };
    RequeryMissingOrders(trades, wanted);
    trades.acquireLockExclusive();
    const int count = trades.GetCount();
    for (int r = 0; r < count; ++r) {
        const int32_t orderNumber = trades.GetLong(681, r);
        if (orderNumber < 1 || !wanted(trades, r)) continue;
        OrderTable.acquireLockShared();
        const int order = FindOrder(orderNumber);
        if (order >= 0) {
            int32_t quantity = OrderTable.GetLong(684, order);
            double price = OrderTable.GetDouble(682, order);
            const int32_t direction = OrderTable.GetLong(683, order);
            if (direction != 1 && direction != 2 && trades.GetLong(683, r) == 2) {
                quantity = OrderTable.GetLong(1859, order);
                price = OrderTable.GetDouble(1682, order);
            }
            trades.Set(684, quantity, r);
            trades.Set(1681, OrderTable.GetLong(1681, order), r);
            trades.Set(682, price, r);
        }
        OrderTable.releaseLockShared();
    }
    trades.releaseLockExclusive();
}

void FillOrderRowTexts(CFixRecord& table, int row) {
    table.acquireLockShared();
    const std::string exchange = table.Get(599, row);
    const int32_t openClose = table.GetLong(1718, row);
    const int32_t state = table.GetLong(753, row);
    const int32_t kind = table.GetLong(1842, row);
    const int32_t type = table.GetLong(1681, row);
    const int32_t condition = table.GetLong(1857, row);
    const int32_t minimum = condition == 1 ? table.GetLong(1858, row) : 0;
    const int32_t direction = table.GetLong(683, row);
    const int32_t hedge = table.GetLong(1717, row);
    const bool emptyResult = table.Get(830, row).empty();
    table.releaseLockShared();

    std::string stateText, kindText, directionText;
    const bool pair = openClose == 10 || openClose == 11;
    if (openClose == 10) {
        stateText = "组合";
        kindText = "组合单";
    } else if (openClose == 11) {
        stateText = "解锁";
        kindText = "解锁单";
    } else {
        stateText = GetOrderStateText(state);
        kindText = GetOrderKindText(kind, type, condition, minimum);
    }
    if (openClose == 6)
        directionText = direction == 1 ? "不对冲" : "对冲";
    else if (pair)
        directionText = "-";
    else
        directionText = GetDirectionShortText(direction);
    const std::string exchangeName = GetExchangeName(exchange);
    const std::string openCloseText = GetOpenCloseText(openClose);
    const std::string hedgeText = GetHedgeText(hedge, pair ? 1 : 0);

    table.acquireLockExclusive();
    if (row < table.GetCount()) {
        table.Set(601, exchangeName, row);
        table.Set(754, stateText, row);
        table.Set(817, kindText, row);
        if (emptyResult) table.Set(830, stateText, row);
        table.Set(752, directionText, row);
        table.Set(596, openCloseText, row);
        table.Set(3053, hedgeText, row);
    }
    table.releaseLockExclusive();
    SetOrderRowStyle(table, row);
    SetRowPriceDecimals(table, row);
}

void FillTradeRowTexts(CFixRecord& table, int row) {
    table.acquireLockShared();
    const std::string exchange = GetExchangeName(table.Get(599, row));
    const std::string direction = GetDirectionShortText(table.GetLong(683, row));
    const std::string hedge = GetHedgeText(table.GetLong(1717, row), 0);
    const std::string openClose = GetOpenCloseText(table.GetLong(1718, row));
    table.releaseLockShared();
    table.acquireLockExclusive();
    if (row < table.GetCount()) {
        table.Set(601, exchange, row);
        table.Set(752, direction, row);
        table.Set(3053, hedge, row);
        table.Set(596, openClose, row);
    }
    table.releaseLockExclusive();
    SetRowPriceDecimals(table, row);
}

void SetOrderRowStyle(CFixRecord& table, int row) {
    table.acquireLockExclusive();
    if (row >= 0 && row < table.GetCount()) {
        const std::string key = table.Get(599, row) + table.Get(681, row);
        if (FindLockedOrder(key) >= 0) {
            table.Set(100, 7, row);
            table.Set(3216, 1, row);
        } else if (table.GetLong(1681, row) & 0x100) {
            table.Set(3216, 5, row);
        } else {
            const int32_t state = table.GetLong(753, row);
            table.Set(100, state >= 0 && state <= 9 ? GetOrderStatePaletteIndex(state) : 0, row);
            table.Set(3216, table.GetLong(7113, row) == 2 ? 2 : 0, row);
        }
    }
    table.releaseLockExclusive();
}

namespace {

// The smaller decimals of two legs when both have a quote; a leg without one is marked for a
// quote refresh.
int32_t LegDecimals(const std::string& leg1, const std::string& leg2) {
    const RowRef a = FindContract(leg1.c_str());
    const RowRef b = FindContract(leg2.c_str());
    const bool quotedA = a >= 0 && (GetRowLong(644, a) & 0x1);
    const bool quotedB = b >= 0 && (GetRowLong(644, b) & 0x1);
    if (a >= 0 && !quotedA) UpdateContractFlags(0x8000, 0x8000, a);
    if (b >= 0 && !quotedB) UpdateContractFlags(0x8000, 0x8000, b);
    if (!quotedA || !quotedB) return -1;
    return std::min(GetRowLong(1045, a), GetRowLong(1045, b));
}

}  // namespace

void SetRowPriceDecimals(CFixRecord& table, int row) {
    table.acquireLockShared();
    const std::string code = table.Get(719, row);
    const int32_t type = table.GetLong(1681, row);
    table.releaseLockShared();
    int32_t decimals = -1;
    int32_t kind = 0;
    const RowRef ref = FindContractKind(code.c_str(), &kind);
    if (ref >= 0 && kind == kCombinationKind) {
        std::string leg1, leg2;
        if (CombinationLegs(code, &leg1, &leg2)) decimals = LegDecimals(leg1, leg2);
    } else if (ref >= 0) {
        decimals = GetRowLong(1045, ref);
    } else if (type == 128 && code.size() > 4) {
        const std::string legs = code.substr(4);
        const std::size_t amp = legs.find('&');
        if (amp != std::string::npos && amp > 0 && amp + 1 < legs.size())
            decimals = LegDecimals(legs.substr(0, amp), legs.substr(amp + 1));
    }
    table.acquireLockExclusive();
    if (row >= 0 && row < table.GetCount()) table.Set(1045, decimals, row);
    table.releaseLockExclusive();
}

}  // namespace tradedata
