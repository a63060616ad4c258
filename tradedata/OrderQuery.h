// The orders table kept up to date: rows of submitted orders, merged order-query answers, paged
// order queries, fill totals per order and contract, combination fill prices and the display
// texts of order and trade rows.
#pragma once

#include <cstdint>
#include <string>

class CFixRecord;
struct tagFIXHEADERINFO;

namespace NoltComm {
class CFixApiClient;
class CTradeRequest;
}  // namespace NoltComm

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

// Fill totals, one row per order and contract: key 763 = "%08d|%s" of order number and code.
extern CFixRecord OrderFillTable;
extern const tagFIXHEADERINFO kOrderFillLayout[];
// The orders layout with the display columns that the order grids show.
extern const tagFIXHEADERINFO kOrderQueryLayout[];

inline constexpr int32_t kOrderPageSize = 20;

// The key of a fill-totals row.
std::string FormatFillKey(int32_t orderNumber, const std::string& contract);
// The largest fill serial (862) seen by QueryOrderFills in this run.
int32_t GetHighestFillSerial();

// What InsertSubmittedOrder writes into the row of the order number.
struct SubmittedOrder {
    int32_t flags = 0;  // CZBZ 897
    int32_t orderNumber = 0;
    std::string khh, exchange, contract, tradingCode;
    int32_t direction = 0, openClose = 0, quantity = 0;
    double price = 0, margin = 0, fee = 0;
    int32_t hedge = 0, orderType = 0, fillCondition = 0, orderKind = 0, batchNumber = 0;
    int32_t autoKind = 0;  // SBBZ 7113
};

// Inserts or reuses the order's row (under OrderTable's exclusive lock) and writes the order
// with state 0, CXBZ "O", the synchronised time, the send tick and the station address; the
// row, or -1 for order number 0.
int InsertSubmittedOrder(const SubmittedOrder& order);
// CZBZ := (CZBZ & ~mask) | (value & mask) of the order's row, in one step under the lock.
void UpdateOrderFlags(int32_t orderNumber, int32_t mask, int32_t value);
// Merges the request's current answer row into the orders table.
void MergeOrderAnswer(NoltComm::CTradeRequest& request);

// Filters of QueryOrders; empty texts and zero numbers are not sent.
struct OrderFilter {
    std::string khh;
    int32_t batchNumber = 0;  // 1855
    int32_t orderKind = 0;    // 1842
    std::string exchange, contract;
    int32_t orderType = 0;    // 1681
    int32_t orderNumber = 0;  // 681
};

// One page of the order query (16151) after `serial`; appends the accepted rows to target and
// merges them into the orders table. `serial` moves to the last 797 of the page. Returns the
// number of answer rows; message is the error text when there were none.
int QueryOrders(TradeConnection* connection, CFixRecord& target, std::string& message,
                int32_t field9020, int32_t rowsPerPage, int32_t& serial, const OrderFilter& filter);
int QueryOrdersOfContract(TradeConnection* connection, CFixRecord& target, std::string& message,
                          int32_t field9020, int32_t rowsPerPage, int32_t& serial,
                          const std::string& khh, const std::string& contract);
// Pages from serial 0 until a page is not full or the serial stops moving; the target's row
// count.
int QueryAllOrders(TradeConnection* connection, CFixRecord& target, int32_t batchNumber,
                   int32_t orderKind);
// Queries the matching orders and cancels each on the connection; the number of accepted
// cancels.
int CancelQueriedOrders(TradeConnection* connection, int32_t batchNumber, int32_t orderKind);

// Queries one order and merges its rows that are not cancel entries; true when one was merged.
bool RequeryOrder(TradeConnection* connection, const std::string& khh, const std::string& exchange,
                  int32_t orderNumber);
// Re-reads the order of the table row from the server into the row; true when taken.
bool RefreshOrderRow(TradeConnection* connection, CFixRecord& table, int row);
// `out` gets the query layout and the one row of the order.
bool QuerySingleOrder(TradeConnection* connection, CFixRecord& out, const std::string& khh,
                      const std::string& exchange, int32_t orderNumber);

struct OrderDetails {
    int32_t quantity = 0, filled = 0, cancelled = 0, direction = 0, openClose = 0;
    std::string tradingCode, contract;
};
// 1 with the details when the order was found, 0 otherwise.
int QueryOrderDetails(TradeConnection* connection, const std::string& khh,
                      const std::string& exchange, int32_t orderNumber, OrderDetails* details);

// Adds or updates the fill-totals row of the request's current answer row.
void StoreOrderFill(NoltComm::CTradeRequest& request);
// Queries the order's fills (16161) into the fill totals; true when any row of it came.
bool QueryOrderFills(TradeConnection* connection, const std::string& khh,
                     const std::string& exchange, int32_t orderNumber);

// Fill price of a filled combination order from its legs' fill totals; with mayQuery the
// fills are queried once (on the trading connection) when the totals are incomplete.
void ComputeCombinationFillPrice(CFixRecord& table, int row, bool mayQuery);
// Folds the leg trades of combination orders into one row per order.
void MergeCombinationTrades(CFixRecord& trades);
// Copies order quantity, type and price from the orders into the trade rows.
void FillTradeOrderFields(CFixRecord& trades);

void FillOrderRowTexts(CFixRecord& table, int row);
void FillTradeRowTexts(CFixRecord& table, int row);
void SetOrderRowStyle(CFixRecord& table, int row);
void SetRowPriceDecimals(CFixRecord& table, int row);

}  // namespace tradedata
