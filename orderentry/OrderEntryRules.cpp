// The order-entry panel's window-free rules, its send loop and the conditional order request.
#include "orderentry/OrderEntryRules.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/FixApiClient.h"
#include "orderentry/controls/ContractEdit.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TradeRequest.h"

namespace orderentry {

bool RefusesPrice(double price, double tick, double upper, double lower, bool marketPrice,
                  int32_t openClose) {
    if (marketPrice || openClose == 6 || openClose == 7) return false;
    return price < lower - tick / 2 || price > upper + tick / 2;
}

bool SpreadCrossesLimit(bool downward, double price, double spread, double upper, double lower) {
    if (upper <= lower || spread <= 1e-6) return false;
    return downward ? price - spread < lower - 1e-6 : price + spread > upper + 1e-6;
}

int32_t OrderPriceTypeOf(bool exerciseMode, bool marketPrice, bool combination) {
    if (exerciseMode) return 1;
    if (marketPrice) return 2;
    if (combination) return 4;
    return 1;
}

int32_t OrderAttributeOf(const AttributeInputs& in) {
    if (in.exerciseMode) return 0;
    int32_t attribute = 0;
    if (in.enableZlsx && in.fakAvailable && in.fakTicked) attribute = 1;
    if (in.enableZlsx && in.fokAvailable && in.fokTicked) attribute = 2;
    if (in.enableZlsx && in.extendedEnabled && in.extendedShown) attribute = in.extendedValue;
    return attribute;
}

int32_t HedgeFlagOf(bool hedgeTicked, bool arbitrageTicked, bool arbitrageAvailable) {
    if (hedgeTicked) return 1;
    if (!arbitrageTicked) return 0;
    return arbitrageAvailable ? 2 : 0;
}

bool RefusesQuantity(int32_t quantity, bool exerciseShown, int32_t side, std::string_view exchange,
                     int32_t openClose) {
    if (quantity < 0) return true;
    if (quantity > 0) return false;
    if (exerciseShown && side == 2) return false;
    return !(exchange == "DL" && openClose == 6);
}

int32_t SplitChunk(bool autoSplit, int32_t splitSize, int32_t limitMaximum, int32_t marketMaximum,
                   bool marketPrice) {
    if (!autoSplit) return 0;
    if (splitSize > 0) return splitSize;
    return std::max(0, marketPrice ? marketMaximum : limitMaximum);
}

SendOutcome RunSendLoop(int32_t quantity, int32_t chunk, bool zeroOrder,
                        const std::function<SubmitResult(int32_t quantity)>& submit) {
    SendOutcome out;
    out.requested = quantity;
    int32_t remaining = zeroOrder ? 0 : quantity;
    bool once = zeroOrder;
    while (once || remaining >= 1) {
        const int32_t piece = once ? 0 : (chunk > 0 ? std::min(remaining, chunk) : remaining);
        once = false;
        SubmitResult r = submit(piece);
        ++out.attempts;
        out.lastResult = r.result;
        out.lastText = std::move(r.text);
        if (r.result <= 0) break;
        if (out.accepted == 0) out.firstOrderNumber = r.orderNumber;
        ++out.accepted;
        remaining -= piece;
        out.sent += piece;
    }
    return out;
}

std::string OutcomeText(const SendOutcome& o) {
    if (o.attempts == 0) return kNothingSentText;
    std::string failure = o.lastText;
    if (o.lastResult < 1 && failure.empty()) failure = kUnknownErrorText;
    // One accepted order followed by a failure is a split too: the user must learn that the
    // first part went out.
    if (o.attempts > 1) {
        std::string text =
            fmt::format("自动分笔委托成功,总委托数量:{},成功委托数量:{}", o.requested, o.sent);
        if (o.firstOrderNumber > 0)
            text += fmt::format("\n第一笔委托合同号:{}", o.firstOrderNumber);
        if (o.lastResult <= 0) text += "\n最后一笔失败提示:" + failure;
        return text;
    }
    return o.lastResult < 1 ? failure : o.lastText;
}

bool OutcomeFailed(const SendOutcome& o) { return o.attempts == 0 || o.lastResult < 1; }

std::string FormatPrice(double value, int decimals) {
    return fmt::format("{:.{}f}", value, std::clamp(decimals, 0, 8));
}

std::string ConfirmationText(const ConfirmationFacts& f) {
    std::string text;
    text += fmt::format("\n   市场 ：{}", f.exchangeName);
    text += fmt::format("\n   合约 ：{}", f.code);
    text += fmt::format("\n   操作 ：{}、{}、{}", f.hedgeText, f.directionText, f.openCloseText);
    if (f.openClose != 6 && f.openClose != 7) text += fmt::format("\n   价格 ：{}", f.priceText);
    if (f.option) {
        text += fmt::format("\n   执行价格 ：{}", FormatPrice(f.strike, f.decimals));
        text += fmt::format("\n   标的最新价 ：{}", FormatPrice(f.underlyingLast, f.decimals));
        const double moneyness =
            f.callPut == 1 ? f.underlyingLast - f.strike : f.strike - f.underlyingLast;
        if (moneyness < -0.001) text += " (注意: 预计虚值行权)";
    }
    text += fmt::format("\n   数量 ：{}", f.quantity);
    if (f.stopMode) {
        if (f.stopLoss > 1e-6) text += "\n   止损 ：" + FormatPrice(f.stopLoss, f.decimals);
        if (f.takeProfit > 1e-6) text += "\n   止盈 ：" + FormatPrice(f.takeProfit, f.decimals);
    }
    if (f.conditionalMode)
        text += fmt::format("\n   条件 ：{} {} {}", f.triggerTypeText, f.comparisonText,
                            f.triggerPriceText);
    return text;
}

namespace {

uint32_t ReadU32(const uint8_t* bytes, std::size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<tradedata::OrderFill> ParseOrderFillRecord(uintptr_t id, uint32_t length,
                                                         const void* data) {
    constexpr std::size_t kSize = std::tuple_size_v<tradedata::OrderFillRecord>;
    if (id != tradedata::kOrderFillDataId || length != kSize || data == nullptr)
        return std::nullopt;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (ReadU32(bytes, 0) != kSize) return std::nullopt;
    const auto* code = reinterpret_cast<const char*>(bytes + 4);
    const void* end = std::memchr(code, 0, 32);
    if (end == nullptr) return std::nullopt;
    tradedata::OrderFill fill;
    fill.code.assign(code, static_cast<const char*>(end));
    if (controls::CheckCodeText(fill.code) == controls::CodeTextCheck::kNotGbk) return std::nullopt;
    fill.openClose = static_cast<int32_t>(ReadU32(bytes, 72));
    fill.direction = static_cast<int32_t>(ReadU32(bytes, 76));
    fill.quantity = static_cast<int32_t>(ReadU32(bytes, 80));
    uint64_t raw = uint64_t(ReadU32(bytes, 88)) | uint64_t(ReadU32(bytes, 92)) << 32;
    std::memcpy(&fill.price, &raw, sizeof fill.price);
    if (!std::isfinite(fill.price)) fill.price = 0;
    fill.priceField = static_cast<int32_t>(ReadU32(bytes, 96));
    fill.requestKind = static_cast<int32_t>(ReadU32(bytes, 100));
    return fill;
}

int32_t SplitSizeSetting(const std::string& exchange, const std::string& code) {
    if (exchange.empty() || code.empty()) return 0;
    constexpr int kMax = 0x7FFFFFFF;
    int size = pavlet::ReadPrivateConfigInt("DBWTSX", code, 0, 0, kMax);
    if (size <= 0) size = pavlet::ReadPrivateConfigInt("DBWTSX", exchange, 0, 0, kMax);
    if (size <= 0) size = pavlet::ReadPrivateConfigInt("QHWT", "DBWTSX", 0, 0, kMax);
    return std::max(size, 0);
}

SubmitResult SubmitConditionalOrder(tradedata::TradeConnection* connection,
                                    const ConditionalOrder& c) {
    const tradedata::OrderRequest& o = c.order;
    auto request = NoltComm::CTradeRequest::Create(connection);
    request->SetFunction(16324);
    tradedata::FillTriggeredOrderFields(*request, o);
    request->SetLong(1795, c.marketPrice ? 2 : 0);
    request->SetLong(1846, c.triggerType);
    request->SetDouble(1800, c.triggerPrice);
    request->SetLong(1783, c.comparison);
    request->SetString(1240, c.date);
    request->SetString(1836, c.date);
    request->SetLong(742, 1);
    request->SetLong(533, 1);
    SubmitResult r;
    request->Send();
    if (request->NextRow()) {
        r.result = request->GetLong(507);
        r.orderNumber = request->GetLong(681);
    }
    r.text = request->GetErrorText();
    if (r.result < 1 && r.text.empty()) r.text = kUnknownErrorText;
    if (r.result >= 1)
        tradedata::SetAccountNotifyByKhh(
            o.khh, o.openClose == 1 ? tradedata::kNotifyFunds : tradedata::kNotifyPositions);
    return r;
}

int RecordCloseThenOpen(const tradedata::OrderRequest& o, int32_t orderNumber, int32_t mode) {
    if (orderNumber < 1) return -1;
    CFixRecord& table = tradedata::TwoLegOrderTable;
    table.acquireLockExclusive();
    if (table.FindIndex(681) < 0) table.Create(tradedata::kTwoLegOrderLayout);
    int row = table.Find(681, orderNumber);
    if (row < 0) row = table.GetMemRecord()->Append(nullptr, true);
    table.Set(681, orderNumber, row);
    table.Set(1783, mode, row);
    table.Set(605, o.khh.c_str(), row);
    table.Set(599, o.exchange.c_str(), row);
    table.Set(719, o.contract.c_str(), row);
    table.Set(1716, o.tradingCode.c_str(), row);
    table.Set(683, o.direction, row);
    table.Set(1718, o.openClose, row);
    table.Set(684, o.quantity, row);
    table.Set(682, o.price, row);
    table.Set(1717, o.hedge, row);
    table.Set(1681, o.orderType, row);
    // The second leg opens the same contract on the same side value.
    table.Set(1847, o.exchange.c_str(), row);
    table.Set(1393, o.contract.c_str(), row);
    table.Set(1848, o.tradingCode.c_str(), row);
    table.Set(1849, o.direction, row);
    table.Set(1850, 1, row);
    table.Set(1439, o.quantity, row);
    table.Set(1418, o.price, row);
    table.Set(1851, o.hedge, row);
    table.Set(1852, o.orderType, row);
    table.releaseLockExclusive();
    return row;
}

std::string ConditionalDateText() {
    const tradedata::SystemTime t = tradedata::GetCurrentSystemTime();
    return fmt::format("{:04}.{:02}.{:02}", t.year, t.month, t.day);
}

}  // namespace orderentry
