// The order-entry panel's window-free rules: the price range check, the order price type,
// attribute and hedge flag, the quantity check, the split send loop with its summary, the
// confirmation text, the order-fill record as a typed value and the conditional order request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tradedata/OrderSubmit.h"
#include "tradedata/TradingHelpers.h"

namespace orderentry {

inline constexpr const char* kPriceRangeText = "报入价位不合理!";
inline constexpr const char* kMinimumAboveQuantityText = "最小成交量必须小于等于委托数量";
inline constexpr const char* kOrderCaption = "委托下单";
inline constexpr const char* kConfirmCaption = "委托确认";
inline constexpr const char* kUnknownErrorText = "未知错误";
inline constexpr const char* kMarketKeyword = "0";
inline constexpr const char* kMarketDisplay = "FAK市价单";
inline constexpr const char* kOpeningAutoDuringTradingText = "交易期间不应该使用开市自动单";
// Said when the send loop had nothing to send, so a press never ends in silence.
inline constexpr const char* kNothingSentText = "委托数量为0,未发送委托";
inline constexpr const char* kUnusableCodeText = "合约代码无效";

// True when a price is refused: out of [lower - tick/2, upper + tick/2], unless it is a market
// price or the open/close code is an exercise kind (6, 7).
bool RefusesPrice(double price, double tick, double upper, double lower, bool marketPrice,
                  int32_t openClose);

inline constexpr const char* kStopLossTooWideText = "止损价差太大，触发价格超出涨跌停。";
inline constexpr const char* kTakeProfitTooWideText = "止盈价差太大，触发价格超出涨跌停。";

// Whether a stop spread put below (`downward`) or above the price passes the limits by more
// than 1e-6; never while the limits are unknown (upper <= lower) or the spread is not set.
bool SpreadCrossesLimit(bool downward, double price, double spread, double upper, double lower);

// DDLX 1681: 1 in exercise mode, 2 for a market price, 4 for a combination, else 1.
int32_t OrderPriceTypeOf(bool exerciseMode, bool marketPrice, bool combination);

// ZLSX 665 from the ticks and what the exchange offers; later rules replace earlier ones.
struct AttributeInputs {
    bool exerciseMode = false;
    bool enableZlsx = false;  // setting EnableZLSX
    bool fakAvailable = false, fakTicked = false;
    bool fokAvailable = false, fokTicked = false;
    bool extendedEnabled = false;  // setting Extend_OrderPriceType
    bool extendedShown = false;
    int32_t extendedValue = 0;  // combo 1806 (3 to 8)
};
int32_t OrderAttributeOf(const AttributeInputs& in);

// 1 hedge ticked; 2 arbitrage ticked where arbitrage is available; else 0.
int32_t HedgeFlagOf(bool hedgeTicked, bool arbitrageTicked, bool arbitrageAvailable);

// A negative quantity is always refused; 0 only passes with the exercise boxes shown for
// side 2, or for exercise kind 6 on "DL".
bool RefusesQuantity(int32_t quantity, bool exerciseShown, int32_t side, std::string_view exchange,
                     int32_t openClose);

// The chunk of a split: 0 (no split) with the automatic split off; the split size when it is
// set; else the contract's single-order maximum for the price kind.
int32_t SplitChunk(bool autoSplit, int32_t splitSize, int32_t limitMaximum, int32_t marketMaximum,
                   bool marketPrice);

// What one submitted order came back with.
struct SubmitResult {
    int32_t result = 0;       // 507: > 0 accepted
    int32_t orderNumber = 0;  // 681
    std::string text;
};

// What a send loop did.
struct SendOutcome {
    int32_t requested = 0;
    int32_t sent = 0;      // quantity accepted
    int32_t attempts = 0;  // orders tried
    int32_t accepted = 0;
    int32_t firstOrderNumber = 0;  // of the first accepted order
    int32_t lastResult = 0;
    std::string lastText;
};

// Sends `quantity` in chunks (0: one order) through `submit`; the first failure stops it.
// `zeroOrder` sends one order of quantity 0 (exercise kind 6 on "DL").
SendOutcome RunSendLoop(int32_t quantity, int32_t chunk, bool zeroOrder,
                        const std::function<SubmitResult(int32_t quantity)>& submit);

// The text the panel reports: a summary whenever more than one order was tried, naming the
// first accepted order; else the answer's text ("未知错误" for an empty failure text); a
// loop that tried nothing says so.
std::string OutcomeText(const SendOutcome& outcome);
// Whether the outcome is reported as a failure.
bool OutcomeFailed(const SendOutcome& outcome);

// The facts the order confirmation shows.
struct ConfirmationFacts {
    std::string exchangeName, code, hedgeText, directionText, openCloseText;
    int32_t openClose = 0;
    std::string priceText;
    bool option = false;
    int32_t callPut = 0;  // CPFLAG 1854: 1 call
    double strike = 0, underlyingLast = 0;
    int decimals = 0;
    int32_t quantity = 0;
    bool stopMode = false;
    double stopLoss = 0, takeProfit = 0;
    bool conditionalMode = false;
    std::string triggerTypeText, comparisonText, triggerPriceText;
};
std::string ConfirmationText(const ConfirmationFacts& facts);

// Locale-free fixed decimals.
std::string FormatPrice(double value, int decimals);

// The order-fill record as a value, or nullopt for anything but a well-formed 104-byte
// record: identifier and length 104, the size field 104, a code ended inside its 32 bytes and
// representable in GBK.
std::optional<tradedata::OrderFill> ParseOrderFillRecord(uintptr_t id, uint32_t length,
                                                         const void* data);

// The split size of a contract: setting `code` of section "DBWTSX", else that of the exchange,
// else "DBWTSX" of "QHWT"; 0 when none is above 0.
int32_t SplitSizeSetting(const std::string& exchange, const std::string& code);

// A conditional order (16324) as the panel sends it.
struct ConditionalOrder {
    tradedata::OrderRequest order;
    bool marketPrice = false;
    int32_t triggerType = 0;  // 1846
    double triggerPrice = 0;  // 1800
    int32_t comparison = 1;   // 1783
    std::string date;         // "%Y.%m.%d"
};
SubmitResult SubmitConditionalOrder(tradedata::TradeConnection* connection,
                                    const ConditionalOrder& conditional);
// Notes an accepted close whose position is to be opened again on the same side (the
// close-then-open mode `mode`, setting FSKCMODE) in the two-leg order table, keyed by the order
// number, under the table's exclusive lock. The row, or -1 for order number 0.
int RecordCloseThenOpen(const tradedata::OrderRequest& order, int32_t orderNumber, int32_t mode);

// Today's date as the conditional order carries it.
std::string ConditionalDateText();

}  // namespace orderentry
