// Position queries, the summary, revaluation against the live quotes and the look-ups.
#include "tradedata/Positions.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/Funds.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Rates.h"
#include "tradedata/Registries.h"
#include "tradedata/TableLockOrder.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

constexpr int32_t kFunctionFuturesPositions = 16154;
constexpr int32_t kFunctionOptionPositions = 16950;
constexpr double kTiny = 1e-6;

double R(double v) { return pavlet::round(v, 2); }

// Units per hand as a divisor: 1 when not set.
double UnitsOr1(double units) { return units < kTiny ? 1.0 : units; }

// An exclusive hold of a table that is not one of the ranked global ones (or is taken in an
// order the caller fixes), released on every path.
class ExclusiveHold {
public:
    explicit ExclusiveHold(CFixRecord& table) : table_(table) { table_.acquireLockExclusive(); }
    ~ExclusiveHold() { table_.releaseLockExclusive(); }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

private:
    CFixRecord& table_;
};

void SetFilterFields(CTradeRequest& request, const PositionFilter& filter, int32_t contractTag) {
    if (!filter.contract.empty()) request.SetString(contractTag, filter.contract);
    if (!filter.exchange.empty()) request.SetString(599, filter.exchange);
    if (!filter.tradingCode.empty()) request.SetString(1716, filter.tradingCode);
    if (filter.side > 0) request.SetLong(683, filter.side);
    if (filter.hedge >= 0) request.SetLong(1717, filter.hedge);
}

// Sends one position query and appends its counted rows; false when no answer came.
template <typename OnRow>
bool AskPositions(TradeConnection* connection, int32_t function, const std::string& khh,
                  int32_t value739, int32_t value1740, const PositionFilter& filter,
                  int32_t contractTag, CFixRecord& into, OnRow onRow) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(function);
    FillAccountFields(*request, khh);
    request->SetLong(739, value739);
    request->SetLong(1740, value1740);
    SetFilterFields(*request, filter, contractTag);
    if (!request->Send()) return false;
    while (request->NextRow()) {
        if (request->GetLong(507) < 0) continue;
        const int r = request->AppendRowTo(&into, true);
        into.Set(605, khh, r);
        onRow(*request, r);
    }
    return request->IsAnswered();
}

std::string SummaryKey(CFixRecord& t, int r) {
    std::string key = t.Get(605, r);
    for (unsigned id : {599u, 719u, 1716u}) {
        key += '\x1f';
        key += t.Get(id, r);
    }
    key += '\x1f';
    key += std::to_string(t.GetLong(1717, r));
    key += '\x1f';
    key += std::to_string(t.GetLong(683, r));
    return key;
}

// Sums of the detail rows of one summary row.
struct SummarySums {
    double doubles[14] = {};
    int32_t delivery = 0, pending = 0, pledged = 0;
    int32_t yesterday = 0, today = 0, yesterdayAvailable = 0, todayAvailable = 0;
    double yesterdayAmount = 0, todayAmount = 0;
};
// Summed as doubles for every row, then for option rows only.
constexpr unsigned kSummedDoubles[] = {1234, 1720, 1714, 9129, 1776, 1774, 1773, 1210};
constexpr unsigned kSummedOptionDoubles[] = {9123, 9137, 980, 515, 1727, 1747};

bool IsOptionRow(int32_t kind) { return kind == 1 || kind == 7; }

bool SameText(CFixRecord& t, unsigned id, int r, const std::string& text) {
    return t.Get(id, r) == text;
}

// Whether the row matches; an empty exchange or trading code and a negative side or hedge
// match any.
bool MatchRow(CFixRecord& t, int r, const std::string& exchange, const std::string& contract,
              const std::string& tradingCode, int32_t side, int32_t hedge) {
    if (!SameText(t, 719, r, contract)) return false;
    if (!exchange.empty() && !SameText(t, 599, r, exchange)) return false;
    if (!tradingCode.empty() && !SameText(t, 1716, r, tradingCode)) return false;
    if (side >= 0 && t.GetLong(683, r) != side) return false;
    if (hedge >= 0 && t.GetLong(1717, r) != hedge) return false;
    return true;
}

PositionHolding HoldingOfRow(CFixRecord& t, int r) {
    PositionHolding h;
    h.yesterday = t.GetLong(853, r);
    h.yesterdayAvailable = t.GetLong(1860, r);
    h.yesterdayAverage = t.GetDouble(854, r);
    h.today = t.GetLong(845, r);
    h.todayAvailable = t.GetLong(1861, r);
    h.todayAverage = t.GetDouble(846, r);
    return h;
}

// The row of the summary table with exactly that key; -1 when none.
int FindHoldingIn(CFixRecord& t, const std::string& exchange, const std::string& contract,
                  const std::string& tradingCode, int32_t side, int32_t hedge,
                  PositionHolding* holding) {
    t.acquireLockShared();
    int found = -1;
    for (int r = 0, n = t.GetCount(); r < n && found < 0; ++r)
        if (MatchRow(t, r, exchange, contract, tradingCode, side, hedge)) found = r;
    *holding = found < 0 ? PositionHolding{} : HoldingOfRow(t, found);
    t.releaseLockShared();
    return found;
}

// Quantities only: the averages are not part of the answer.
void KeepQuantities(PositionHolding* holding) {
    holding->yesterdayAverage = 0;
    holding->todayAverage = 0;
}

// The smaller of each quantity of the two legs of a combination; false for other contracts.
bool CombinationQuantities(CFixRecord& t, const std::string& exchange, const std::string& code,
                           const std::string& tradingCode, int32_t side, int32_t hedge,
                           PositionHolding* holding) {
    const int combination = FindCombinationContract(code.c_str());
    if (combination < 0) return false;
    const std::string leg1 = CombinationContractTable.Get(1392, combination);
    const std::string leg2 = CombinationContractTable.Get(1393, combination);
    PositionHolding a, b;
    FindHoldingIn(t, exchange, leg1, tradingCode, side, hedge, &a);
    FindHoldingIn(t, exchange, leg2, tradingCode, 3 - side, hedge, &b);
    *holding = PositionHolding{};
    holding->yesterday = std::min(a.yesterday, b.yesterday);
    holding->yesterdayAvailable = std::min(a.yesterdayAvailable, b.yesterdayAvailable);
    holding->today = std::min(a.today, b.today);
    holding->todayAvailable = std::min(a.todayAvailable, b.todayAvailable);
    return true;
}

// Revaluation of a combination row from its two legs' quotes.
bool RevalueCombination(CFixRecord& t, int r, RowRef ref, double s, bool force) {
    const int row = ref & kRowMask;
    const RowRef leg1 = FindContract(CombinationContractTable.Get(1392, row).c_str());
    const RowRef leg2 = FindContract(CombinationContractTable.Get(1393, row).c_str());
    const double p1 = GetRowDouble(729, leg1), p2 = GetRowDouble(729, leg2);
    if (!(p1 > kTiny && p2 > kTiny)) return false;
    if (!force && p1 == t.GetDouble(2037, r) && p2 == t.GetDouble(2038, r)) return false;
    const double z1 = GetRowDouble(813, leg1), z2 = GetRowDouble(813, leg2);
    const double u1 = UnitsOr1(GetRowDouble(1752, leg1)), u2 = UnitsOr1(GetRowDouble(1752, leg2));
    const double n = t.GetLong(757, r);
    t.Set(1773,
          (p1 * n * u1 - t.GetDouble(2027, r)) * s + (p2 * n * u2 - t.GetDouble(2028, r)) * -s, r);
    double a = 0;
    if (z1 > kTiny && z2 > kTiny)
        a = (p1 - z1) * t.GetLong(2029, r) * u1 * s + (p2 - z2) * t.GetLong(2030, r) * u2 * -s;
    const double b = (u1 * p1 * t.GetLong(2031, r) - t.GetDouble(2035, r)) * s +
                     (u2 * p2 * t.GetLong(2032, r) - t.GetDouble(2036, r)) * -s;
    t.Set(1774, R(a + b), r);
    t.Set(729, p1 - p2, r);
    t.Set(2037, p1, r);
    t.Set(2038, p2, r);
    return true;
}

// Close and exercise estimates of an option row.
void RevalueOptionEstimates(CFixRecord& t, int r, double p, double U, double X, double u, double s,
                            double c) {
    double a = 0, b = 0, e = 0, f = 0;
    const int rate = LookupRateRow(t.Get(605, r), t.Get(599, r), t.Get(719, r), t.GetLong(1717, r));
    if (rate >= 0 && (RateTable.GetLong(644, rate) & kRateLoaded)) {
        a = RateTable.GetDouble(1823, rate);
        b = RateTable.GetDouble(1824, rate);
        e = RateTable.GetDouble(1770, rate);
        f = RateTable.GetDouble(1771, rate);
    }
    const double C = t.GetDouble(515, r);
    const double n = t.GetLong(757, r);
    // n > 0 here (the quantity less delivery is); s - a is 0 only for a close fee ratio of
    // 1 on a buy position, where the reference price has no meaning.
    t.Set(3678, C / n / u, r);
    t.Set(2016, (s * p * u * n - C) - (a * p * u + b) * n, r);
    const double sa = s - a;
    t.Set(1098, std::fabs(sa) < 1e-12 ? 0.0 : ((b * n + C) / (n * u)) / sa * s, r);
    if (t.Get(599, r) != "ZJ") {
        const double exerciseFee = (e * X * u + f) * n;
        t.Set(2017, U > kTiny ? ((U - X) * c * s * u * n - C) - exerciseFee : 0.0, r);
        t.Set(2019, ((C + exerciseFee) / (u * n * c * s) + X) * c * s, r);
    } else {
        t.Set(2017, 0.0, r);
        t.Set(2019, 0.0, r);
    }
    t.Set(2018, U, r);
}

bool RevalueRow(CFixRecord& t, int r, bool force) {
    const int32_t side = t.GetLong(683, r);
    if (side != 1 && side != 2) return false;
    const int32_t q = t.GetLong(757, r) - t.GetLong(1722, r);
    if (q <= 0) return false;
    CFixRecord* contracts = nullptr;
    int32_t kind = 0;
    const std::string code = t.Get(719, r);
    const RowRef ref = FindContractEx(code.c_str(), &contracts, &kind);
    if (ref < 0) return false;
    const double s = 3 - 2 * side;
    if (kind == kCombinationKind) return RevalueCombination(t, r, ref, s, force);

    const double p = GetRowDouble(729, ref);
    double z = GetRowDouble(813, ref);
    if (z == 0) z = (GetRowDouble(706, ref) + GetRowDouble(703, ref)) / 2;
    double U = 0, X = 0, c = 1;
    if (kind == kOptionKind) {
        const int32_t cp = GetRowLong(1854, ref);
        t.Set(1854, cp, r);
        c = 3 - 2 * cp;
        X = GetRowDouble(1569, ref);
        const RowRef underlying =
            FindTradableContract(OptionContractTable.Get(719, ref & kRowMask).c_str());
        U = underlying < 0 ? 0.0 : GetRowDouble(729, underlying);
        if (underlying >= 0) t.Set(9036, GetRowLong(1045, underlying), r);
    }
    t.Set(1045, GetRowLong(1045, ref), r);
    if (p == 0 || z == 0) return false;
    double u = GetRowDouble(1752, ref);
    if (u < kTiny) u = UnitsOr1(t.GetDouble(1752, r));
    if (!force && p == t.GetDouble(729, r) && z == t.GetDouble(813, r) && U == t.GetDouble(2018, r))
        return false;
    std::string product = GetRowString(720, ref);
    if (product.empty()) product = t.Get(720, r);
    double rate = 0;
    const int32_t ruled = GetProductUnit(t.Get(599, r), product, &rate);

    const bool currencyRule = ruled == 16 && rate > kTiny;
    const double amount = t.GetDouble(524, r);
    const double today = t.GetLong(845, r), yesterday = t.GetLong(853, r);
    const double todayAmount = t.GetDouble(2040, r);
    if (!currencyRule) {
        t.Set(1773, (p * q * u - amount) * s, r);
    } else {
        const double up = R(u * p * rate), uz = R(u * z * rate);
        t.Set(1773, ((up * today - todayAmount) + (up - uz) * yesterday) * s + t.GetDouble(1210, r),
              r);
    }
    if (kind == kFuturesKind) {
        double mtm;
        if (!currencyRule) {
            mtm = ((u * p * today - todayAmount) + (p - z) * u * yesterday) * s;
        } else {
            const double up = R(u * p * rate), uz = R(u * z * rate);
            mtm = ((up * today - todayAmount) + (up - uz) * yesterday) * s;
        }
        t.Set(1774, mtm, r);
    } else if (kind == kOptionKind) {
        t.Set(9137, p * s * q * u, r);
        RevalueOptionEstimates(t, r, p, U, X, u, s, c);
    }
    t.Set(729, p, r);
    t.Set(813, z, r);
    return true;
}

}  // namespace

int RevaluePositions(CFixRecord& table, bool force) {
    if (table.GetFCount() == 0) return 0;
    // One hold for the pass: readers on the user-interface thread see a row's figures from
    // one revaluation, never half of two.
    ExclusiveHold hold(table);
    int revalued = 0;
    for (int r = 0, n = table.GetCount(); r < n; ++r)
        if (RevalueRow(table, r, force)) ++revalued;
    return revalued;
}

int QueryPositions(TradeConnection* connection, const std::string& khh, CFixRecord& out,
                   int32_t value739, int32_t value1740, int32_t kinds,
                   const PositionFilter& filter) {
    if (kinds <= 0) kinds = kPositionKindFutures | kPositionKindOptions;
    if (!filter.contract.empty()) {
        const RowRef ref = FindContract(filter.contract.c_str());
        if (ref >= 0) {
            if (ref & kOptionRef)
                kinds = kPositionKindOptions;
            else if (ref & (kCombinationRef | kUnderlyingRef))
                kinds = 4;  // neither futures nor options: nothing to ask
            else
                kinds = kPositionKindFutures;
        }
    }
    CFixRecord temp;
    temp.Create(kPositionDetailLayout);
    if (kinds & kPositionKindFutures) {
        const bool answered =
            AskPositions(connection, kFunctionFuturesPositions, khh, value739, value1740, filter,
                         719, temp, [&](CTradeRequest&, int r) {
                             const double average = temp.GetDouble(1209, r);
                             const int32_t quantity = temp.GetLong(757, r);
                             if (temp.GetDouble(524, r) <= kTiny)
                                 temp.Set(524, R(average * quantity * temp.GetDouble(1752, r)), r);
                             const double amount = temp.GetDouble(524, r);
                             const bool yesterday = temp.GetLong(1137, r) == 0;
                             temp.Set(854, yesterday ? average : 0.0, r);
                             temp.Set(853, yesterday ? quantity : 0, r);
                             temp.Set(2039, yesterday ? amount : 0.0, r);
                             temp.Set(846, yesterday ? 0.0 : average, r);
                             temp.Set(845, yesterday ? 0 : quantity, r);
                             temp.Set(2040, yesterday ? 0.0 : amount, r);
                         });
        if (!answered) return -1;
    }
    if (kinds & kPositionKindOptions) {
        const bool answered = AskPositions(
            connection, kFunctionOptionPositions, khh, value739, value1740, filter, 9100, temp,
            [&](CTradeRequest& request, int r) {
                temp.Set(719, request.GetString(9100), r);
                temp.Set(722, request.GetString(9101), r);
                temp.Set(1873, 1, r);
                temp.Set(
                    524,
                    R(temp.GetDouble(1209, r) * temp.GetLong(757, r) * temp.GetDouble(1752, r)), r);
            });
        if (!answered) return -1;
    }
    if (temp.GetCount() > 0) {
        CMemRecord* mem = temp.GetMemRecord();
        int fields[8];
        int i = 0;
        for (unsigned id : {599u, 1716u, 719u, 683u, 1717u, 1137u, 603u, 681u})
            fields[i++] = mem->FindIndex(id);
        mem->Sort(fields, 8, true);
    }
    RevaluePositions(temp, true);
    ReplaceTableWhole(out, temp);
    return out.GetCount();
}

void BuildPositionSummary(CFixRecord& summary, CFixRecord& detail, bool keepEmpty) {
    ExclusiveHold detailHold(detail);
    ExclusiveHold summaryHold(summary);
    summary.Create(kPositionSummaryLayout);
    summary.GetMemRecord()->Zap();

    const int detailCount = detail.GetCount();
    std::unordered_map<std::string, int> rowOfKey;
    for (int d = 0; d < detailCount; ++d) {
        if (!keepEmpty && detail.GetLong(757, d) <= 0) continue;
        std::string key = SummaryKey(detail, d);
        if (!rowOfKey.contains(key)) {
            const int s = summary.GetMemRecord()->Append(nullptr, true);
            for (unsigned id : {605u, 599u, 719u, 1716u, 511u})
                summary.Set(id, detail.Get(id, d), s);
            for (unsigned id : {1717u, 683u, 1873u}) summary.Set(id, detail.GetLong(id, d), s);
            for (unsigned id : {729u, 1752u}) summary.Set(id, detail.GetDouble(id, d), s);
            summary.Set(601, GetExchangeName(detail.Get(599, d)), s);
            summary.Set(752, GetDirectionText(detail.GetLong(683, d)), s);
            summary.Set(3053, GetHedgeText(detail.GetLong(1717, d), 0), s);
            rowOfKey.emplace(std::move(key), s);
        }
    }
    // Every detail row of a key is summed once the key's row exists, also an empty row that
    // sorts before the one that made it (a closed yesterday row keeps its fee and results).
    std::vector<int> summaryOf(static_cast<std::size_t>(detailCount), -1);
    for (int d = 0; d < detailCount; ++d) {
        const auto it = rowOfKey.find(SummaryKey(detail, d));
        if (it != rowOfKey.end()) summaryOf[static_cast<std::size_t>(d)] = it->second;
    }

    const int summaryCount = summary.GetCount();
    std::vector<SummarySums> sums(static_cast<std::size_t>(summaryCount));
    for (int d = 0; d < detailCount; ++d) {
        const int s = summaryOf[static_cast<std::size_t>(d)];
        if (s < 0) continue;
        SummarySums& sum = sums[static_cast<std::size_t>(s)];
        const int32_t q = detail.GetLong(757, d) - detail.GetLong(1722, d);
        sum.delivery += detail.GetLong(1722, d);
        sum.pending += detail.GetLong(684, d);
        sum.pledged += detail.GetLong(724, d);
        int i = 0;
        for (unsigned id : kSummedDoubles) sum.doubles[i++] += detail.GetDouble(id, d);
        if (IsOptionRow(detail.GetLong(1873, d)))
            for (unsigned id : kSummedOptionDoubles) sum.doubles[i++] += detail.GetDouble(id, d);
        if (detail.GetLong(1137, d) == 0) {
            sum.yesterday += q;
            sum.yesterdayAvailable += detail.GetLong(1460, d);
            sum.yesterdayAmount += detail.GetDouble(524, d);
        } else {
            sum.today += q;
            sum.todayAvailable += detail.GetLong(1460, d);
            sum.todayAmount += detail.GetDouble(524, d);
        }
    }

    for (int s = 0; s < summaryCount; ++s) {
        const RowRef ref = FindContract(summary.Get(719, s).c_str());
        if (ref >= 0) {
            summary.Set(720, GetRowString(720, ref), s);
            summary.Set(722, GetRowString(722, ref), s);
            if (summary.GetLong(1873, s) == 0) summary.Set(1752, GetRowDouble(1752, ref), s);
        }
        const SummarySums& sum = sums[static_cast<std::size_t>(s)];
        summary.Set(1722, sum.delivery, s);
        summary.Set(684, sum.pending, s);
        summary.Set(724, sum.pledged, s);
        int i = 0;
        for (unsigned id : kSummedDoubles) summary.Set(id, sum.doubles[i++], s);
        for (unsigned id : kSummedOptionDoubles) summary.Set(id, sum.doubles[i++], s);
        summary.Set(845, sum.today, s);
        summary.Set(853, sum.yesterday, s);
        summary.Set(757, sum.today + sum.yesterday + sum.delivery, s);
        summary.Set(1861, sum.todayAvailable, s);
        summary.Set(1860, sum.yesterdayAvailable, s);
        summary.Set(1460, sum.todayAvailable + sum.yesterdayAvailable, s);
        summary.Set(2040, sum.todayAmount, s);
        summary.Set(2039, sum.yesterdayAmount, s);
        summary.Set(524, sum.todayAmount + sum.yesterdayAmount, s);
        // Units of 0 would make every average infinite: divide by 1 as the revaluation does.
        const double units = UnitsOr1(summary.GetDouble(1752, s));
        auto average = [&](double amount, int32_t quantity) {
            return quantity < 1 ? 0.0 : amount / quantity / units;
        };
        summary.Set(1209, average(sum.todayAmount + sum.yesterdayAmount, sum.today + sum.yesterday),
                    s);
        summary.Set(846, average(sum.todayAmount, sum.today), s);
        summary.Set(854, average(sum.yesterdayAmount, sum.yesterday), s);
    }
    RevaluePositions(summary, true);
}

bool QueryPositionSummary(TradeConnection* connection, const std::string& khh, CFixRecord& out,
                          const PositionFilter& filter) {
    int32_t value739 = 0, value1740 = 0;
    GetPositionQueryValues(&value739, &value1740);
    CFixRecord details;
    details.Create(kPositionDetailLayout);
    if (QueryPositions(connection, khh, details, value739, value1740, 0, filter) < 0) return false;
    CFixRecord fresh;
    fresh.Create(kPositionSummaryLayout);
    BuildPositionSummary(fresh, details, false);
    ReplaceTableWhole(out, fresh);
    return true;
}

int FindPosition(const std::string& exchange, const std::string& contract,
                 const std::string& tradingCode, int32_t side, int32_t hedge,
                 PositionHolding* holding) {
    PositionHolding ignored;
    if (holding == nullptr) holding = &ignored;
    return FindHoldingIn(PositionSummaryTable, exchange, contract, tradingCode, side, hedge,
                         holding) >= 0
               ? 1
               : 0;
}

int GetPositionQuantities(const std::string& exchange, const std::string& contract,
                          const std::string& tradingCode, int32_t side, int32_t hedge,
                          PositionHolding* holding) {
    FindPosition(exchange, contract, tradingCode, side, hedge, holding);
    if (holding != nullptr) KeepQuantities(holding);
    return 1;
}

int GetContractPositionQuantities(const std::string& exchange, const std::string& contract,
                                  const std::string& tradingCode, int32_t side, int32_t hedge,
                                  PositionHolding* holding) {
    PositionHolding ignored;
    if (holding == nullptr) holding = &ignored;
    if (!CombinationQuantities(PositionSummaryTable, exchange, contract, tradingCode, side, hedge,
                               holding))
        GetPositionQuantities(exchange, contract, tradingCode, side, hedge, holding);
    return 1;
}

PositionSides ReadPositionSides(CFixRecord& table, const std::string& contract,
                                const std::string& exchange, const std::string& tradingCode,
                                int32_t side, int32_t hedge) {
    PositionSides sides;
    table.acquireLockShared();
    for (int r = 0, n = table.GetCount(); r < n; ++r) {
        if (!MatchRow(table, r, exchange, contract, tradingCode, side, hedge)) continue;
        const int32_t rowSide = table.GetLong(683, r);
        if (rowSide == 1)
            sides.buy = HoldingOfRow(table, r);
        else if (rowSide == 2)
            sides.sell = HoldingOfRow(table, r);
    }
    table.releaseLockShared();
    return sides;
}

bool QueryPositionSums(TradeConnection* connection, const std::string& khh,
                       const PositionFilter& filter, PositionSides* sides) {
    *sides = PositionSides{};
    CFixRecord summary;
    summary.Create(kPositionSummaryLayout);
    if (!QueryPositionSummary(connection, khh, summary, filter)) return false;
    *sides = ReadPositionSides(summary, filter.contract, filter.exchange, filter.tradingCode,
                               filter.side > 0 ? filter.side : -1, filter.hedge);
    return true;
}

int QueryPositionQuantities(TradeConnection* connection, const std::string& khh,
                            const std::string& exchange, const std::string& contract,
                            const std::string& tradingCode, int32_t side, int32_t hedge,
                            PositionHolding* holding) {
    *holding = PositionHolding{};
    CFixRecord summary;
    summary.Create(kPositionSummaryLayout);
    PositionFilter filter{contract, exchange, tradingCode, side, hedge};
    if (!QueryPositionSummary(connection, khh, summary, filter)) return -1;
    FindHoldingIn(summary, exchange, contract, tradingCode, side, hedge, holding);
    KeepQuantities(holding);
    return 1;
}

int QueryContractPositionQuantities(TradeConnection* connection, const std::string& khh,
                                    const std::string& exchange, const std::string& contract,
                                    const std::string& tradingCode, int32_t side, int32_t hedge,
                                    PositionHolding* holding) {
    if (FindCombinationContract(contract.c_str()) < 0)
        return QueryPositionQuantities(connection, khh, exchange, contract, tradingCode, side,
                                       hedge, holding);
    // Both legs are needed: ask without the contract and side filters.
    *holding = PositionHolding{};
    CFixRecord summary;
    summary.Create(kPositionSummaryLayout);
    PositionFilter filter{{}, exchange, tradingCode, 0, hedge};
    if (!QueryPositionSummary(connection, khh, summary, filter)) return -1;
    CombinationQuantities(summary, exchange, contract, tradingCode, side, hedge, holding);
    return 1;
}

void GetPositionQueryValues(int32_t* value739, int32_t* value1740) {
    const uint32_t word = shell::GetDisplaySettings();
    *value739 = (word & 2048) ? ((word & 8388608) ? 4 : 0) : 1;
    *value1740 = (word & 1024) ? 0 : 1;
}

bool RefreshPositions(TradeConnection* connection) {
    const int account = GetCurrentAccountIndex();
    if (account < 0) return false;
    const std::string khh = GetCurrentKhh();
    ClearAccountNotify(kNotifyPositions, account);
    int32_t value739 = 0, value1740 = 0;
    GetPositionQueryValues(&value739, &value1740);
    if (PositionDetailTable.GetFCount() == 0) PositionDetailTable.Create(kPositionDetailLayout);
    if (QueryPositions(connection, khh, PositionDetailTable, value739, value1740, 0) < 0) {
        // The old rows stay; asking again marks them stale so the worker retries.
        SetAccountNotify(kNotifyPositions, account);
        return false;
    }
    BuildPositionSummary(PositionSummaryTable, PositionDetailTable, false);
    SetAccountFlag(kFlagPositionsLoaded, account);

    ClearFlagsInAllRows(FuturesContractTable, kContractHasPosition);
    ClearFlagsInAllRows(OptionContractTable, kContractHasPosition);
    FlagTableContracts(PositionSummaryTable, kContractHasPosition);

    // Fee rates of the option rows, collected under the lock and asked for outside it: a
    // request under the table lock would stall every reader until it is answered.
    struct RateKey {
        std::string exchange, code;
        int32_t hedge;
    };
    std::vector<RateKey> rateKeys;
    bool anyOption = false;
    PositionSummaryTable.acquireLockShared();
    const int count = PositionSummaryTable.GetCount();
    for (int r = 0; r < count; ++r) {
        if (!IsOptionRow(PositionSummaryTable.GetLong(1873, r))) continue;
        anyOption = true;
        rateKeys.push_back({PositionSummaryTable.Get(599, r), PositionSummaryTable.Get(719, r),
                            PositionSummaryTable.GetLong(1717, r)});
    }
    PositionSummaryTable.releaseLockShared();
    for (const RateKey& k : rateKeys) FindRateRow(khh, k.exchange, k.code, k.hedge);
    if (!rateKeys.empty()) RevaluePositions(PositionSummaryTable, true);

    if (count > 0) {
        SetAccountFlag(kFlagHasPositions, account);
        if (anyOption) {
            RecalcFunds(khh, PositionSummaryTable);
            PostToWindow(GetWorkplaceWindow(), kWmFrameCommand, 1, 16);
        }
    }
    // Also when the last position went: the views must drop their rows.
    PostToWindow(GetWorkplaceWindow(), kWmFrameCommand, 3, 0);
    return true;
}

bool RevaluePositionsAndFunds() {
    const int account = GetCurrentAccountIndex();
    if (account < 0 || TestAccountNotify(kNotifyPositions, account)) return false;
    RevaluePositions(PositionSummaryTable, false);
    return RecalcFunds(GetCurrentKhh(), PositionSummaryTable);
}

}  // namespace tradedata
