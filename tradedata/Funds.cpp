// Funds recomputation from the funds answer and the revalued positions.
#include "tradedata/Funds.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TableLockOrder.h"

namespace tradedata {
namespace {

double R(double v) { return pavlet::round(v, 2); }

std::string CurrencyOrRmb(std::string currency) {
    return currency.empty() ? std::string("RMB") : currency;
}

// Sums over the position rows of one customer and currency.
struct PositionSums {
    double markToMarket = 0;    // 1774 of futures rows
    double floating = 0;        // 1773 of futures rows
    double optionFloating = 0;  // 1773 of option rows
    double optionValue = 0;     // 9137 of option rows
    double currencyRuled = 0;   // 1774 of rows whose product has DBZCY 1
};

bool IsOptionKind(int32_t kind) { return kind == 1 || kind == 7; }

}  // namespace

AvailableFunds CalcAvailableFunds(CFixRecord& t, int row, const CalculationParameters& rules) {
    const uint32_t F = static_cast<uint32_t>(rules.value823);
    const uint32_t G = static_cast<uint32_t>(rules.value9020);
    const double k = rules.value873;
    auto v = [&](unsigned id) { return t.GetDouble(id, row); };
    const double balance = v(709), frozen = v(764), deposit = v(652), margin = v(1720),
                 closeResult = v(1776), fees = v(1746), premiumIn = v(9125), premiumOut = v(9126),
                 pledgeIn = v(2570), pledgeOut = v(2569), closeMargin = v(542),
                 markToMarket = v(1774), orderMargin = v(684), positionMargin = v(1740),
                 currencyRuled = v(1792);

    double A = balance - frozen + deposit - margin + closeResult - fees + premiumIn - premiumOut -
               pledgeOut;
    const double x = v(1236) - v(827);
    const double xPlus = std::max(x, 0.0);
    double W = balance - (margin + closeMargin) - (frozen - x) - xPlus - fees -
               (margin + positionMargin + ((frozen - x) - v(827)) + orderMargin) * k - premiumOut -
               pledgeOut;

    if (F & 4) A -= closeMargin;
    if (F & 2)
        A += markToMarket;
    else if (!(F & 64))
        A += std::min(markToMarket, 0.0);

    if (F & 8) W += closeMargin;
    W += (F & 128) ? closeResult : std::min(closeResult, 0.0);
    W += (F & 16) ? markToMarket : std::min(markToMarket, 0.0);
    if (F & 256) W += premiumIn;

    AvailableFunds out;
    if (pledgeIn > 0) {
        out.pledgeBalance = pledgeIn;
        double P = 0, Q = 0;
        if (G & 1) {
            P = v(2573) - v(2576);
            if (F & 4) P += v(2576);
            Q = v(2573);
            if (F & 8) Q -= v(2576);
        }
        if (G & 2) {
            const double frozenTs = v(2575) - std::min(v(2577), 0.0);
            P += frozenTs;
            if (F & 2)
                P -= currencyRuled;
            else if (!(F & 64))
                P -= std::min(currencyRuled, 0.0);
            Q += frozenTs;
            if (F & 128)
                Q -= std::min(currencyRuled, 0.0);
            else if (F & 16)
                Q -= currencyRuled;
            else
                Q -= std::min(currencyRuled, 0.0);
        }
        P = std::min(P, pledgeIn);
        Q = std::min(Q, pledgeIn);
        if (P > 0) {
            A += P;
            out.pledgeBalance = pledgeIn - P;
        }
        if (Q > 0) W += Q;
        out.pledgeTradable = std::min(out.pledgeBalance + std::max(A, 0.0), pledgeIn);
    }
    W = std::min(W, balance + markToMarket + closeResult - fees + deposit + premiumIn - premiumOut +
                        pledgeIn - pledgeOut);

    out.available = R(A);
    out.withdrawable = std::max(R(W), 0.0);
    if (pledgeIn > 0) {
        out.pledgeBalance = std::max(R(out.pledgeBalance), 0.0);
        out.pledgeTradable = std::max(R(out.pledgeTradable), 0.0);
    } else {
        out.pledgeBalance = 0;
        out.pledgeTradable = 0;
    }
    return out;
}

AvailableFunds CalcAvailableFunds(CFixRecord& funds, int row) {
    return CalcAvailableFunds(funds, row, GetCalculationParameters());
}

double CalcRiskRatio(double margin, double equity) {
    constexpr double kCeiling = 999.99;
    double ratio;
    if (equity < -0.001)
        ratio = kCeiling;
    else if (std::fabs(equity) >= 0.001)
        ratio = margin <= 0.001 ? 0 : margin / equity;
    else
        ratio = margin <= 0.001 ? 0 : kCeiling;
    return std::min(ratio, kCeiling);
}

bool RecalcFunds(const std::string& khh, CFixRecord& positions) {
    // Products under the currency rule, collected before any lock of the loop is taken.
    std::set<std::string> ruledProducts;
    ProductTable.acquireLockShared();
    for (int r = 0, n = ProductTable.GetCount(); r < n; ++r)
        if (ProductTable.GetLong(9020, r) == 1) ruledProducts.insert(ProductTable.Get(720, r));
    ProductTable.releaseLockShared();

    if (FundsTable.GetFCount() == 0) return false;
    bool recomputed = false;
    // The positions are the source (shared, taken first), the funds the destination.
    ScopedTableLock source(positions, TableLockRank::PositionSummary, false);
    std::map<std::string, PositionSums> sumsByCurrency;
    for (int p = 0, n = positions.GetCount(); p < n; ++p) {
        const int32_t side = positions.GetLong(683, p);
        if (side != 1 && side != 2) continue;
        if (positions.Get(605, p) != khh) continue;
        PositionSums& sums = sumsByCurrency[CurrencyOrRmb(positions.Get(511, p))];
        const int32_t kind = positions.GetLong(1873, p);
        if (kind == 0) {
            sums.markToMarket += positions.GetDouble(1774, p);
            sums.floating += positions.GetDouble(1773, p);
        } else if (IsOptionKind(kind)) {
            sums.optionFloating += positions.GetDouble(1773, p);
            sums.optionValue += positions.GetDouble(9137, p);
        }
        if (!ruledProducts.empty() && ruledProducts.count(positions.Get(720, p)) > 0)
            sums.currencyRuled += positions.GetDouble(1774, p);
    }
    // Held for the whole loop, so a keyed insert of a funds answer on another thread cannot
    // move rows between finding the customer's row and writing it.
    ScopedTableLock destination(FundsTable, TableLockRank::AccountData, true);
    for (int f = 0, n = FundsTable.GetCount(); f < n; ++f) {
        if (FundsTable.Get(605, f) != khh) continue;
        const auto found = sumsByCurrency.find(CurrencyOrRmb(FundsTable.Get(511, f)));
        const PositionSums sums = found == sumsByCurrency.end() ? PositionSums{} : found->second;
        auto v = [&](unsigned id) { return FundsTable.GetDouble(id, f); };
        const double equity = v(709) + v(652) + sums.markToMarket + v(1776) + v(9125) - v(9126) -
                              v(1746) + v(2570) - v(2569);
        FundsTable.Set(1779, equity, f);
        FundsTable.Set(1774, sums.markToMarket, f);
        FundsTable.Set(1773, sums.floating, f);
        FundsTable.Set(761, sums.optionFloating, f);
        FundsTable.Set(9137, sums.optionValue, f);
        FundsTable.Set(1792, sums.currencyRuled, f);
        const AvailableFunds a = CalcAvailableFunds(FundsTable, f);
        FundsTable.Set(619, a.available, f);
        FundsTable.Set(617, a.withdrawable, f);
        FundsTable.Set(2571, a.pledgeBalance, f);
        FundsTable.Set(2572, a.pledgeTradable, f);
        FundsTable.Set(1724, CalcRiskRatio(v(1720), equity), f);
        recomputed = true;
    }
    return recomputed;
}

int FindFundsRow(const std::string& khh, const std::string& currency) {
    if (FundsTable.GetFCount() == 0) return -1;
    const std::string bz = CurrencyOrRmb(currency);
    return FundsTable.LocateEx({{605, khh}, {511, bz}});
}

double GetAvailableFunds(const std::string& khh, const std::string& currency) {
    FundsTable.acquireLockShared();
    const int row = FindFundsRow(khh, currency);
    const double value = row < 0 ? 0.0 : FundsTable.GetDouble(619, row);
    FundsTable.releaseLockShared();
    return value;
}

}  // namespace tradedata
