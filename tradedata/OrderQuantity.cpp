// The largest orderable quantity: the local estimate from rates, funds and positions, and the
// server's estimate for what the client cannot compute itself.
#include "tradedata/OrderQuantity.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "record/FixRecord.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Positions.h"
#include "tradedata/Rates.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

constexpr double kEpsilon = 1e-6;
constexpr int32_t kNotifyFundsPending = 0x10;
constexpr int32_t kNotifyPositionsPending = 0x20;
constexpr int32_t kCalcNoFeeOnlyCap = 2;  // bit of the calculation-option word (9020)

// A quotient of funds truncated toward zero, kept inside 32 bits.
int32_t TruncatedQuotient(double funds, double perHand) {
    const double q = std::trunc(funds / perHand);
    if (!std::isfinite(q)) return 0;
    return static_cast<int32_t>(std::clamp<double>(q, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
}

struct Rates {
    double marginRatio = 0, marginPerHand = 0, feeRatio = 0, feePerHand = 0;
};

// The loaded rate row's four rates, or none when the row is not loaded or all four are 0.
std::optional<Rates> LoadedRates(const QuantityRequest& r) {
    // Created (and asked for) outside the table's lock: FindRateRow may send a request.
    FindRateRow(r.khh, r.exchange, r.contract, r.hedge);
    std::optional<Rates> rates;
    RateTable.acquireLockExclusive();
    const int row = LookupRateRow(r.khh, r.exchange, r.contract, r.hedge);
    if (row >= 0 && (RateTable.GetLong(644, row) & kRateLoaded) != 0) {
        Rates found{RateTable.GetDouble(1759, row), RateTable.GetDouble(1760, row),
                    RateTable.GetDouble(1821, row), RateTable.GetDouble(1822, row)};
        if (!(found.marginRatio < kEpsilon && found.marginPerHand < kEpsilon &&
              found.feeRatio < kEpsilon && found.feePerHand < kEpsilon))
            rates = found;
    }
    RateTable.releaseLockExclusive();
    return rates;
}

// Step 6 of the estimate: quantity from the available funds; none when it cannot be computed.
std::optional<int32_t> EstimateOpen(TradeConnection* connection, const QuantityRequest& r,
                                    RowRef ref, const std::string& fundsAccount) {
    if (fundsAccount.empty() || TestAccountNotify(kNotifyFundsPending, -1)) return std::nullopt;
    const std::optional<Rates> rates = LoadedRates(r);
    if (!rates) return std::nullopt;
    const double hand = GetRowDouble(1752, ref);
    const std::string currency = GetRowString(511, ref);
    if (hand < kEpsilon || currency.empty()) return std::nullopt;
    int32_t cap = 0;
    if (r.applyOrderCap) cap = GetRowLong(r.limitPrice ? 686 : 1755, ref);
    double price = r.price;
    if (r.orderType == 2 || price < kEpsilon) price = GetRowDouble(706, ref);

    double available = 0, pledge = 0;
    FundsTable.acquireLockShared();
    const int funds = FundsTable.LocateEx({{605, r.khh}, {511, currency}, {716, fundsAccount}});
    if (funds >= 0) {
        available = FundsTable.GetDouble(619, funds);
        pledge = FundsTable.GetDouble(2571, funds);
    }
    FundsTable.releaseLockShared();
    const double usable =
        (ref & (kCombinationRef | kOptionRef | kUnderlyingRef)) == 0 && GetRowLong(9020, ref) != 0
            ? available + pledge
            : available;

    const double fee = rates->feeRatio * price * hand + rates->feePerHand;
    const double margin = rates->marginRatio * price * hand + rates->marginPerHand;
    // A price of 0 (no limit-up price either) leaves nothing to divide by: the server knows.
    if (!(fee + margin >= kEpsilon)) return std::nullopt;
    int32_t q = TruncatedQuotient(usable, fee + margin);
    if ((GetCalculationParameters().value9020 & kCalcNoFeeOnlyCap) == 0 && fee >= kEpsilon)
        q = std::min(q, TruncatedQuotient(available, fee));
    if (cap > 0 && q > cap) q = cap;
    if (r.exchange == "SQ" || r.exchange == "SN" || r.exchange == "ZJ") {
        const int32_t server = QueryMaxOrderQuantity(connection, r);
        if (server >= 1) q = server;
    }
    return q;
}

// Step 7: the available position on the side the order closes.
std::optional<int32_t> EstimateClose(const QuantityRequest& r, int32_t closeControl) {
    if (r.khh != GetCurrentKhh() || TestAccountNotify(kNotifyPositionsPending, -1))
        return std::nullopt;
    const int32_t side = (r.openClose == 6 || r.openClose == 7) ? r.direction : 3 - r.direction;
    PositionHolding holding;
    GetPositionQuantities(r.exchange, r.contract, r.tradingCode, side, r.hedge, &holding);
    const int32_t yesterday = holding.yesterdayAvailable, today = holding.todayAvailable;
    if (closeControl == 2) return r.openClose == 4 ? today : yesterday;
    return static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{today} + yesterday, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t GetMaxOrderQuantity(TradeConnection* connection, const QuantityRequest& r) {
    if (r.direction == 0 || r.openClose == 0 || r.contract.empty()) return 0;
    std::string fundsAccount;
    TradingCodeTable.acquireLockShared();
    if (TradingCodeTable.GetFCount() > 0) {
        const int row =
            TradingCodeTable.LocateEx({{605, r.khh}, {599, r.exchange}, {1716, r.tradingCode}});
        if (row >= 0) fundsAccount = TradingCodeTable.Get(795, row);
    }
    TradingCodeTable.releaseLockShared();
    const int exchangeRow =
        ExchangeTable.GetFCount() > 0 ? ExchangeTable.Find(599, r.exchange.c_str()) : -1;
    const int32_t closeControl = exchangeRow >= 0 ? ExchangeTable.GetLong(1710, exchangeRow) : 0;

    int32_t kind = 0;
    const RowRef ref = FindContractKind(r.contract.c_str(), &kind);
    std::optional<int32_t> result;
    if (ref >= 0) {
        if (r.openClose == 1) {
            if (kind != kOptionKind) result = EstimateOpen(connection, r, ref, fundsAccount);
        } else {
            result = EstimateClose(r, closeControl);
        }
    }
    const int32_t q = result ? *result : QueryMaxOrderQuantity(connection, r);
    return std::max(q, 0);
}

int32_t QueryMaxOrderQuantity(TradeConnection* connection, const QuantityRequest& r) {
    if (r.direction == 0 || r.openClose == 0 || r.contract.empty()) return 0;
    int32_t function = 16112, codeTag = 719;
    if (r.orderType == 4) {
        function = 16125;
        codeTag = 1060;
    } else if (r.orderType == 128) {
        function = 16140;
        codeTag = 1060;
    } else if (FindOptionContract(r.contract.c_str()) >= 0) {
        function = 16135;
        codeTag = 9100;
    }
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(static_cast<uint32_t>(function));
    FillAccountFields(*request, r.khh);
    request->SetString(599, r.exchange);
    request->SetString(codeTag, r.contract);
    request->SetString(1716, r.tradingCode);
    request->SetLong(1717, r.hedge);
    request->SetLong(function == 16112 ? 683 : 595, r.direction);
    request->SetLong(1681, r.orderType);
    request->SetLong(9020, r.applyOrderCap ? 0 : 1);
    request->SetLong(1718, r.openClose);
    request->SetDouble(682, r.orderType == 4 ? 0.0 : r.price);
    if (!request->Send() || !request->NextRow()) return 0;
    return request->GetLong(684);
}

}  // namespace tradedata
