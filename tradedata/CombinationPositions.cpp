// Pairing of leg positions into combination positions for the positions views.
#include "tradedata/CombinationPositions.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Positions.h"
#include "tradedata/TableLockOrder.h"

namespace tradedata {
namespace {

constexpr double kTiny = 1e-6;

double R(double v) { return pavlet::round(v, 2); }

// Fields that add up when rows of one key are folded together; the others keep the first
// row's value (units, prices, averages, texts and flags do not add).
constexpr unsigned kAdditive[] = {757,  1460, 684,  1722, 524,  1210, 2040, 2039, 724,  1807,
                                  9137, 9123, 980,  515,  1740, 1727, 1747, 2016, 2017, 1720,
                                  1774, 1773, 1234, 853,  845,  2027, 2028, 2029, 2030, 2031,
                                  2032, 2033, 2034, 2035, 2036, 1714, 9129, 958,  2026};
// Amounts moved from a leg row into the combination row, in proportion to the paired part.
constexpr unsigned kMovedAmounts[] = {1720, 1774, 1776, 1773};

double Units(double u) { return u < kTiny ? 1.0 : u; }

std::string KeyOf(CFixRecord& t, int r, const std::vector<unsigned>& ids) {
    std::string key;
    for (unsigned id : ids) {
        key += t.Get(id, r);
        key += '\x1f';
    }
    return key;
}

// Folds the rows of `from` (detail layout) into `into` (detail layout, emptied) by the key
// fields; averages are recomputed from the folded amounts.
void Regroup(CFixRecord& into, CFixRecord& from, const std::vector<unsigned>& ids) {
    into.Create(kPositionDetailLayout);
    into.GetMemRecord()->Zap();
    std::unordered_map<std::string, int> rowOfKey;
    for (int r = 0, n = from.GetCount(); r < n; ++r) {
        std::string key = KeyOf(from, r, ids);
        auto it = rowOfKey.find(key);
        if (it == rowOfKey.end()) {
            into.GetMemRecord()->Append(from.GetMemRecord()->GetData(r), false);
            rowOfKey.emplace(std::move(key), into.GetCount() - 1);
            continue;
        }
        const int g = it->second;
        for (unsigned id : kAdditive) {
            if (into.GetMemRecord()->GetFieldType(into.FindIndex(id)) == 'I')
                into.Set(id, into.GetLong(id, g) + from.GetLong(id, r), g);
            else
                into.Set(id, into.GetDouble(id, g) + from.GetDouble(id, r), g);
        }
        const double u = Units(into.GetDouble(1752, g));
        auto average = [&](unsigned amount, unsigned quantity) {
            const int32_t q = into.GetLong(quantity, g);
            return q < 1 ? 0.0 : into.GetDouble(amount, g) / q / u;
        };
        into.Set(1209, average(524, 757), g);
        into.Set(854, average(2039, 853), g);
        into.Set(846, average(2040, 845), g);
    }
}

// The source rows in the detail layout (copied as they are when the source has it).
void CopyAsDetails(CFixRecord& into, CFixRecord& source) {
    into.Create(kPositionDetailLayout);
    into.GetMemRecord()->Zap();
    const bool same = into.GetMemRecord()->SameLayout(source.GetMemRecord());
    for (int r = 0, n = source.GetCount(); r < n; ++r) {
        if (same) {
            into.GetMemRecord()->Append(source.GetMemRecord()->GetData(r), false);
        } else {
            into.Append(&source, r);
            const int added = into.GetCount() - 1;
            // A summary row's quantities are today's and yesterday's together: mark it today's
            // when it has no yesterday quantity.
            into.Set(1137, source.GetLong(853, r) > 0 ? 0 : 1, added);
        }
    }
}

int32_t Remaining(CFixRecord& t, int r) { return t.GetLong(757, r) - t.GetLong(1722, r); }
int32_t Unpaired(CFixRecord& t, int r) { return Remaining(t, r) - t.GetLong(2026, r); }

// Price of a leg contract for the combination row: last price, settlement when there is none.
double LegPrice(RowRef leg) {
    const double last = GetRowDouble(729, leg);
    return last > kTiny ? last : GetRowDouble(813, leg);
}

double LegUnits(const std::string& code, CFixRecord& t, int r) {
    const double u = GetRowDouble(1752, FindContract(code.c_str()));
    return u >= kTiny ? u : Units(t.GetDouble(1752, r));
}

struct Pairing {
    CFixRecord& working;
    CFixRecord& out;
    bool detailMode;
    bool overPaid = false;

    // Row of the combination in `out`, appended when absent.
    int CombinationRow(int combination, int leg1, int32_t side) {
        const std::string code = CombinationContractTable.Get(1060, combination);
        const std::string khh = working.Get(605, leg1), exchange = working.Get(599, leg1),
                          tradingCode = working.Get(1716, leg1);
        const int32_t hedge = working.GetLong(1717, leg1), day = working.GetLong(1137, leg1);
        for (int r = 0, n = out.GetCount(); r < n; ++r) {
            if (out.GetLong(1873, r) != 2 || out.Get(719, r) != code) continue;
            if (out.Get(605, r) != khh || out.Get(599, r) != exchange ||
                out.Get(1716, r) != tradingCode || out.GetLong(683, r) != side ||
                out.GetLong(1717, r) != hedge)
                continue;
            if (detailMode && out.GetLong(1137, r) != day) continue;
            return r;
        }
        const int c = out.GetMemRecord()->Append(nullptr, true);
        for (unsigned id : {599u, 605u, 511u, 1716u}) out.Set(id, working.Get(id, leg1), c);
        out.Set(719, code, c);
        const std::string code1 = CombinationContractTable.Get(1392, combination);
        const std::string code2 = CombinationContractTable.Get(1393, combination);
        out.Set(1392, code1, c);
        out.Set(1393, code2, c);
        out.Set(683, side, c);
        out.Set(1717, hedge, c);
        if (detailMode) out.Set(1137, day, c);
        out.Set(1873, 2, c);
        out.Set(729, LegPrice(FindContract(code1.c_str())) - LegPrice(FindContract(code2.c_str())),
                c);
        out.Set(1752, Units(GetRowDouble(1752, FindContract(code1.c_str()))), c);
        return c;
    }

    // Moves m paired units of leg1 and leg2 (and `available` of them available) into the
    // combination row c.
    void Move(int c, int leg1, int leg2, int32_t m, int32_t available) {
        out.Set(757, out.GetLong(757, c) + m, c);
        out.Set(1460, out.GetLong(1460, c) + available, c);
        out.Set(958, out.GetLong(958, c) + m, c);
        const int legs[2] = {leg1, leg2};
        double ratio[2];
        for (int i = 0; i < 2; ++i) {
            const int32_t open = Remaining(working, legs[i]) - working.GetLong(2026, legs[i]);
            ratio[i] = open > 0 ? static_cast<double>(m) / open : 0.0;
        }
        double moved[2][4], amount[2];
        for (int i = 0; i < 2; ++i) {
            for (int k = 0; k < 4; ++k) {
                moved[i][k] = R(working.GetDouble(kMovedAmounts[k], legs[i]) * ratio[i]);
                out.Set(kMovedAmounts[k], out.GetDouble(kMovedAmounts[k], c) + moved[i][k], c);
            }
            amount[i] = R(working.GetDouble(524, legs[i]) * ratio[i]);
        }
        out.Set(2027, out.GetDouble(2027, c) + amount[0], c);
        out.Set(2028, out.GetDouble(2028, c) + amount[1], c);
        const double u1 = LegUnits(working.Get(719, leg1), working, leg1);
        const double u2 = LegUnits(working.Get(719, leg2), working, leg2);
        const int32_t quantity = out.GetLong(757, c);
        out.Set(1209,
                quantity < 1
                    ? 0.0
                    : (out.GetDouble(2027, c) / u1 - out.GetDouble(2028, c) / u2) / quantity,
                c);
        const bool yesterday = working.GetLong(1137, leg1) == 0;
        const unsigned qty = yesterday ? 853 : 845, avail = yesterday ? 1860 : 1861,
                       q1 = yesterday ? 2029 : 2031, q2 = yesterday ? 2030 : 2032,
                       a1 = yesterday ? 2033 : 2035, a2 = yesterday ? 2034 : 2036,
                       avg = yesterday ? 854 : 846, legAmount = yesterday ? 2039 : 2040;
        out.Set(qty, out.GetLong(qty, c) + m, c);
        out.Set(avail, out.GetLong(avail, c) + available, c);
        out.Set(q1, out.GetLong(q1, c) + m, c);
        out.Set(q2, out.GetLong(q2, c) + m, c);
        out.Set(a1, out.GetDouble(a1, c) + amount[0], c);
        out.Set(a2, out.GetDouble(a2, c) + amount[1], c);
        const int32_t dayQuantity = out.GetLong(qty, c);
        out.Set(avg,
                dayQuantity < 1 ? 0.0
                                : (out.GetDouble(a1, c) - out.GetDouble(a2, c)) / dayQuantity / u1,
                c);
        out.Set(684, out.GetLong(757, c) - out.GetLong(1460, c), c);

        for (int i = 0; i < 2; ++i) {
            const int r = legs[i];
            const int32_t paired = working.GetLong(2026, r) + m;
            working.Set(2026, paired, r);
            working.Set(684, std::min(working.GetLong(684, r), working.GetLong(757, r) - m), r);
            working.Set(958, working.GetLong(958, r) - m, r);
            working.Set(1460, working.GetLong(1460, r) - available, r);
            for (int k = 0; k < 4; ++k)
                working.Set(kMovedAmounts[k], working.GetDouble(kMovedAmounts[k], r) - moved[i][k],
                            r);
            working.Set(524, working.GetDouble(524, r) - amount[i], r);
            working.Set(legAmount, working.GetDouble(legAmount, r) - amount[i], r);
            if (paired > working.GetLong(757, r)) overPaid = true;
        }
    }
};

bool SameTexts(CFixRecord& t, int a, int b, std::initializer_list<unsigned> ids) {
    for (unsigned id : ids)
        if (t.Get(id, a) != t.Get(id, b)) return false;
    return true;
}

bool SameNumbers(CFixRecord& t, int a, int b, std::initializer_list<unsigned> ids) {
    for (unsigned id : ids)
        if (t.GetLong(id, a) != t.GetLong(id, b)) return false;
    return true;
}

// The server's combination number of a leg, trimmed; empty (or 0) when it has none.
std::string CombinationNumber(CFixRecord& t, int r) {
    std::string text = t.Get(889, r);
    pavlet::alltrim(text);
    return text == "0" ? std::string() : text;
}

// First pass: legs of one order, opened together, with the server's combination number.
bool PairByOrder(Pairing& p, bool onlyWithNumber) {
    CFixRecord& w = p.working;
    bool formed = false;
    const int n = w.GetCount();
    for (int i = 0; i < n; ++i) {
        const int32_t sideI = w.GetLong(683, i);
        if (w.GetLong(1873, i) != 0 || Remaining(w, i) <= 0 || (sideI != 1 && sideI != 2)) continue;
        if (onlyWithNumber && w.GetLong(681, i) <= 0) continue;
        for (int j = i + 1; j < n; ++j) {
            if (w.GetLong(1873, j) != 0 || Remaining(w, j) <= 0) continue;
            if (w.GetLong(683, j) + sideI != 3) continue;
            if (!SameTexts(w, i, j, {605, 599, 1716, 603}) ||
                !SameNumbers(w, i, j, {1137, 681, 1717}))
                continue;
            const std::string codeI = w.Get(719, i), codeJ = w.Get(719, j);
            if (codeI == codeJ) continue;
            const int combination = FindCombinationByLegs(codeI.c_str(), codeJ.c_str(), false);
            if (combination < 0) continue;
            const std::string number = CombinationNumber(w, i);
            if (number.empty() || number != CombinationNumber(w, j)) continue;
            const bool iIsLeg1 = CombinationContractTable.Get(1392, combination) == codeI;
            const int leg1 = iIsLeg1 ? i : j, leg2 = iIsLeg1 ? j : i;
            const int32_t m = std::min(w.GetLong(958, i), w.GetLong(958, j));
            if (m <= 0) continue;
            const int32_t available = std::min({w.GetLong(1460, i), w.GetLong(1460, j), m});
            const int c = p.CombinationRow(combination, leg1, w.GetLong(683, leg1));
            p.Move(c, leg1, leg2, m, available);
            formed = true;
        }
    }
    return formed;
}

// Second pass: extends each combination row with unpaired leg quantities of any order, day
// and combination number (in detail mode within the row's day), until a leg runs out.
void PairRemaining(Pairing& p) {
    CFixRecord& w = p.working;
    for (int c = 0, n = p.out.GetCount(); c < n; ++c) {
        if (p.out.GetLong(1873, c) != 2) continue;
        const std::string code1 = p.out.Get(1392, c), code2 = p.out.Get(1393, c);
        const int32_t side = p.out.GetLong(683, c);
        for (;;) {
            int leg1 = -1, leg2 = -1;
            for (int r = 0, rows = w.GetCount(); r < rows; ++r) {
                if (w.GetLong(1873, r) != 0 || Unpaired(w, r) <= 0) continue;
                if (w.Get(605, r) != p.out.Get(605, c) || w.Get(599, r) != p.out.Get(599, c) ||
                    w.Get(1716, r) != p.out.Get(1716, c) ||
                    w.GetLong(1717, r) != p.out.GetLong(1717, c))
                    continue;
                if (p.detailMode && w.GetLong(1137, r) != p.out.GetLong(1137, c)) continue;
                if (p.detailMode && w.GetLong(958, r) <= 0) continue;
                if (leg1 < 0 && w.Get(719, r) == code1 && w.GetLong(683, r) == side) leg1 = r;
                if (leg2 < 0 && w.Get(719, r) == code2 && w.GetLong(683, r) == 3 - side) leg2 = r;
            }
            if (leg1 < 0 || leg2 < 0) break;
            int32_t m = std::min(Unpaired(w, leg1), Unpaired(w, leg2));
            if (p.detailMode) m = std::min({m, w.GetLong(958, leg1), w.GetLong(958, leg2)});
            if (m <= 0) break;
            const int32_t available =
                std::max(std::min({w.GetLong(1460, leg1), w.GetLong(1460, leg2), m}), 0);
            p.Move(c, leg1, leg2, m, available);
        }
    }
}

// What is left of each leg row after pairing is shown as a single position.
void ShrinkToUnpaired(CFixRecord& w) {
    for (int r = 0, n = w.GetCount(); r < n; ++r) {
        const int32_t paired = w.GetLong(2026, r);
        if (paired <= 0) continue;
        w.Set(757, w.GetLong(757, r) - paired, r);
        const unsigned day = w.GetLong(1137, r) == 0 ? 853 : 845;
        w.Set(day, std::max(w.GetLong(day, r) - paired, 0), r);
        w.Set(1460, std::max(w.GetLong(1460, r), 0), r);
    }
}

void AppendRows(CFixRecord& out, CFixRecord& rows) {
    const bool same = out.GetMemRecord()->SameLayout(rows.GetMemRecord());
    for (int r = 0, n = rows.GetCount(); r < n; ++r) {
        if (same)
            out.GetMemRecord()->Append(rows.GetMemRecord()->GetData(r), false);
        else
            out.Append(&rows, r);
    }
}

}  // namespace

int BuildPositionView(CFixRecord& out, CFixRecord& source, bool detailMode, bool onlyWithNumber) {
    if (&out == &source) return -1;
    ScopedTableLock sourceHold(source, TableLockRank::PositionDetail, true);
    ScopedTableLock outHold(out, TableLockRank::PositionSummary, true);
    ScopedTableLock combinationHold(CombinationContractTable, TableLockRank::CombinationContract,
                                    true);
    out.Create(detailMode ? kPositionDetailLayout : kPositionSummaryLayout);
    out.GetMemRecord()->Zap();

    CFixRecord details;
    CopyAsDetails(details, source);
    CFixRecord working;
    Regroup(working, details, {599, 719, 683, 1717, 1716, 1137, 603, 681, 889});

    Pairing pairing{working, out, detailMode};
    const bool formed = PairByOrder(pairing, onlyWithNumber);
    if (!formed) {
        if (detailMode)
            AppendRows(out, working);
        else
            BuildPositionSummary(out, working, true);
    } else {
        // Server-sent combination rows and fully paired legs leave the single rows.
        CFixRecord kept;
        kept.Create(kPositionDetailLayout);
        for (int r = 0, n = working.GetCount(); r < n; ++r) {
            if (working.GetLong(1873, r) == 2) continue;
            if (working.GetLong(2026, r) == Remaining(working, r)) continue;
            kept.GetMemRecord()->Append(working.GetMemRecord()->GetData(r), false);
        }
        CFixRecord singles;
        Regroup(singles, kept, {599, 719, 683, 1717, 1716, 1137});
        // Rows stay apart by day, so the summary below still tells today's quantities from
        // yesterday's; the second pass pairs across days instead of folding them together.
        CFixRecord* rest = &singles;
        if (!onlyWithNumber) {
            Pairing second{*rest, out, detailMode};
            PairRemaining(second);
            pairing.overPaid = pairing.overPaid || second.overPaid;
        }
        ShrinkToUnpaired(*rest);
        CFixRecord left;
        left.Create(kPositionDetailLayout);
        for (int r = 0, n = rest->GetCount(); r < n; ++r)
            if (rest->GetLong(757, r) > 0)
                left.GetMemRecord()->Append(rest->GetMemRecord()->GetData(r), false);
        if (detailMode) {
            AppendRows(out, left);
        } else {
            CFixRecord summary;
            summary.Create(kPositionSummaryLayout);
            BuildPositionSummary(summary, left, true);
            AppendRows(out, summary);
        }
    }

    for (int r = 0, n = out.GetCount(); r < n; ++r) {
        out.Set(752, GetDirectionText(out.GetLong(683, r)), r);
        out.Set(601, GetExchangeName(out.Get(599, r)), r);
        out.Set(3053, GetHedgeText(out.GetLong(1717, r), 0), r);
        if (detailMode) out.Set(662, out.GetLong(1137, r) == 1 ? "今" : "昨", r);
    }
    RevaluePositions(out, true);
    if (pairing.overPaid) return -1;
    return formed ? 1 : 0;
}

}  // namespace tradedata
