// Orders, cancels and combination instructions sent to the trading server, with their trace
// lines and round-trip times; the choice of trading code, the stop parameters of a contract and
// the per-customer trade, cancel and open counters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace NoltComm {
class CFixApiClient;
class CTradeRequest;
}  // namespace NoltComm

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

struct OrderRequest {
    std::string khh, exchange, contract, tradingCode;
    int32_t direction = 0;  // 1 buy, 2 sell
    int32_t openClose = 0;
    int32_t quantity = 0;
    double price = 0;
    int32_t hedge = 0;
    int32_t orderType = 0;
    int32_t autoKind = 0;       // SBBZ 7113
    int32_t fillCondition = 0;  // 665
    int32_t minFillQuantity = 0;
    int32_t value897 = 0;   // passed through
    int32_t value1575 = 0;  // passed through
    int32_t orderKind = 0;
    int32_t batchNumber = 0;
    int32_t rowFlags = 0;  // stored in CZBZ with bit 0x1
};

struct CancelRequest {
    std::string khh, exchange, contract, tradingCode;
    int32_t orderNumber = 0;
    int32_t openClose = 0;
    int32_t orderType = 0;
    int32_t orderKind = 0;
    int32_t batchNumber = 0;
};

// The server function and the tag that carries the code, by the selection rules.
struct InsertFunction {
    int32_t function;
    int32_t codeTag;
};
InsertFunction SelectInsertFunction(const std::string& contract, int32_t orderType,
                                    int32_t openClose);
int32_t SelectCancelFunction(const std::string& contract, int32_t orderType, int32_t openClose,
                             int32_t orderKind);

// Where the order and cancel trace lines go: the daily trace file unless a test redirects
// them (null restores the trace file).
using TraceLineWriter = int (*)(std::string_view line);
void SetOrderTraceWriter(TraceLineWriter writer);

// Results are field 507 (> 0 success; <= 0 with the message on failure).
int32_t SubmitOrder(TradeConnection* connection, const OrderRequest& order, int32_t* orderNumber,
                    std::string* message);
int32_t SubmitCancel(TradeConnection* connection, const CancelRequest& cancel,
                     std::string* message);
// On the trading connection.
int32_t SubmitCombinationInstruction(const std::string& khh, const std::string& exchange,
                                     const std::string& tradingCode, const std::string& combination,
                                     int32_t openClose, int32_t quantity, int32_t hedge,
                                     int32_t orderType, int32_t* orderNumber, std::string* message);
int32_t SubmitOrderWithStops(const OrderRequest& order, double stopLossPrice,
                             double takeProfitPrice, int32_t* orderNumber, std::string* message);
// The fields the stop-order (16421) and conditional-order (16324) requests open with, in their
// order: the account's, then 599, 719, 1716, 684, 1681, 682, 1717, 1718, 683.
void FillTriggeredOrderFields(NoltComm::CTradeRequest& request, const OrderRequest& order);

// Row of TradingCodeTable or -1; the outputs are emptied first.
int FindTradingCode(const std::string& khh, const std::string& exchange,
                    const std::string& currency, int32_t hedgeKind, std::string* tradingCode,
                    std::string* currencyOut);

struct StopParams {
    double stopLossOffset = 0, takeProfitOffset = 0;
    int32_t stopLossCount = 1, takeProfitCount = 1;
};
// FLAGS of the contract's row in ContractParamTable (0 when not listed) and its parameters.
int32_t GetCommonContractStopParams(const std::string& contract, StopParams* params);

// Refreshes OrderCountTable from function 16955; false when no answer came (table kept).
bool QueryTradeCounters(TradeConnection* connection, const std::string& khh);

}  // namespace tradedata
