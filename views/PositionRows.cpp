// Summary rows, cell texts and expiry marks of the position grids.
#include "views/PositionRows.h"

#include <fmt/format.h>

#include <cmath>
#include <vector>

#include "record/MemRecord.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace views {
namespace {

constexpr unsigned kContractSums[] = {605,  757,  1460, 1861, 1860, 684, 1774, 1776,
                                      1773, 9137, 9123, 1720, 853,  845, 724};
constexpr unsigned kDetailSums[] = {605, 757, 1460, 684, 1774, 1773, 1776, 9137, 9123, 1720};
constexpr unsigned kContractShown[] = {601,  752,  719,  722,  757,  1460, 1861, 1860, 684,
                                       1774, 1776, 1773, 9137, 9123, 1720, 853,  845,  724};
constexpr unsigned kDetailShown[] = {601,  752,  719,  722,  757,  1460, 684,
                                     1774, 1773, 1776, 9137, 9123, 1720};

template <size_t N>
bool Contains(const unsigned (&list)[N], int field) {
    for (unsigned id : list)
        if (static_cast<int>(id) == field) return true;
    return false;
}

void CopySums(CFixRecord& target, int to, CFixRecord& group, int from, bool detailMode) {
    auto copy = [&](const unsigned* ids, size_t n) {
        for (size_t i = 0; i < n; ++i) target.Set(ids[i], group.Get(ids[i], from), to);
    };
    if (detailMode)
        copy(kDetailSums, std::size(kDetailSums));
    else
        copy(kContractSums, std::size(kContractSums));
}

// "%.*f" of d + 1 decimals with one trailing '0' and then a trailing '.' dropped.
std::string AverageText(double value, int decimals) {
    std::string text = fmt::format("{:.{}f}", value, decimals + 1);
    if (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

bool NearZero(double value) { return std::fabs(value) < 1e-6; }

}  // namespace

void BuildSummaryRows(CFixRecord& target, const SummaryGrouping& grouping) {
    CMemRecord* mem = target.GetMemRecord();
    if (mem == nullptr) return;
    for (int row = target.GetCount() - 1; row >= 0; --row)
        if (target.GetLong(683, row) == 0) mem->Delete(row);
    if (target.GetCount() == 0) return;

    std::vector<std::string> currencies;
    for (int row = 0; row < target.GetCount(); ++row) {
        const tradedata::RowRef ref = tradedata::FindContract(target.Get(719, row).c_str());
        if (ref >= 0) target.Set(720, tradedata::GetRowString(720, ref), row);
        const std::string currency = target.Get(511, row);
        bool known = false;
        for (const std::string& c : currencies) known = known || c == currency;
        if (!known) currencies.push_back(currency);
    }

    CFixRecord groups;
    const bool grouped = grouping.byProduct || grouping.byDirection;
    if (grouped) {
        std::vector<unsigned> keys = {605};
        if (grouping.byProduct) keys.insert(keys.end(), {599, 720, 1873});
        if (grouping.byDirection) keys.push_back(683);
        keys.insert(keys.end(), {511, 1873});
        groups.GroupFrom(&target, static_cast<int>(keys.size()), keys.data());
    }
    CFixRecord totals;
    const bool manyCurrencies = currencies.size() > 1;
    if (manyCurrencies) {
        const unsigned keys[] = {605, 511};
        totals.GroupFrom(&target, 2, keys);
    }

    for (int g = 0; grouped && g < groups.GetCount(); ++g) {
        const int row = mem->Append(nullptr, true);
        const std::string currency = groups.Get(511, g);
        const std::string currencyName = tradedata::GetCurrencyName(currency);
        std::string name, direction, label;
        const int32_t kind = groups.GetLong(1873, g);
        if (grouping.byProduct) {
            name = tradedata::GetProductName(groups.Get(720, g), groups.Get(599, g));
            if (kind == 1 || kind == 7) name += "期权";
            label = name;
        }
        if (grouping.byDirection) {
            direction = tradedata::GetDirectionText(groups.GetLong(683, g));
            if (label.empty()) label = currencyName;
            label += direction;
        }
        target.Set(601, label, row);
        target.Set(722, name, row);
        target.Set(752, direction, row);
        target.Set(511, currency, row);
        target.Set(514, currencyName, row);
        if (grouping.byProduct) target.Set(1873, kind, row);
        CopySums(target, row, groups, g, grouping.detailMode);
        target.Set(100, 12, row);
    }
    for (int t = 0; manyCurrencies && t < totals.GetCount(); ++t) {
        const int row = mem->Append(nullptr, true);
        const std::string currency = totals.Get(511, t);
        const std::string currencyName = tradedata::GetCurrencyName(currency);
        const std::string label = currencyName + "合计";
        target.Set(601, label, row);
        target.Set(719, label, row);
        target.Set(511, currency, row);
        target.Set(514, currencyName, row);
        CopySums(target, row, totals, t, grouping.detailMode);
        target.Set(100, 12, row);
    }
}

bool FormatPositionCell(CFixRecord& table, int row, int field, bool detailMode, std::string& text) {
    const int32_t direction = table.GetLong(683, row);
    if (direction == 0) {
        const bool shown =
            detailMode ? Contains(kDetailShown, field) : Contains(kContractShown, field);
        if (shown) return false;
        text.clear();
        return true;
    }
    const int32_t decimals = table.GetLong(1045, row);
    switch (field) {
        case 729:
        case 1098:
        case 2017: {
            const double value = table.GetDouble(static_cast<unsigned>(field), row);
            if (NearZero(value)) {
                text = "--.-";
                return true;
            }
            if (field == 2017) {
                text = fmt::format("{:.2f}", value);
                return true;
            }
            if (decimals < 0) return false;
            text = field == 729 ? fmt::format("{:.{}f}", value, decimals)
                                : fmt::format("{:+.{}f}", value, decimals);
            return true;
        }
        case 1209:
        case 3678:
        case 854:
        case 846: {
            if (decimals < 0) return false;
            if ((field == 854 && table.GetLong(853, row) <= 0) ||
                (field == 846 && table.GetLong(845, row) <= 0)) {
                text = "--.-";
                return true;
            }
            text = AverageText(table.GetDouble(static_cast<unsigned>(field), row),
                               decimals > 9 ? 9 : decimals);
            return true;
        }
        case 2018:
        case 2019: {
            int32_t d = table.GetLong(9036, row);
            if (d < 0) d = decimals;
            if (d < 0) return false;
            double value = table.GetDouble(static_cast<unsigned>(field), row);
            if (NearZero(value) || (field == 2019 && direction == 2)) {
                text = "--.-";
                return true;
            }
            if (field == 2018) {
                text = fmt::format("{:.{}f}", value, d);
                return true;
            }
            const int32_t s = (3 - 2 * table.GetLong(1854, row)) * (3 - 2 * direction);
            value *= s;
            text = (s >= 1 ? "+" : "-") + fmt::format("{:.{}f}", std::fabs(value), d);
            return true;
        }
        default:
            return false;
    }
}

void MarkExpiringOptions(CFixRecord& options, const std::string& tradingDate) {
    if (tradingDate.size() < 7) return;
    CFixRecord& contracts = tradedata::OptionContractTable;
    for (int row = 0; row < options.GetCount(); ++row) {
        const int32_t direction = options.GetLong(683, row);
        if (direction != 1 && direction != 2) continue;
        contracts.acquireLockShared();
        const int contract =
            contracts.GetCount() > 0 ? contracts.Find(9100, options.Get(719, row).c_str()) : -1;
        const std::string expiry = contract >= 0 ? contracts.Get(590, contract) : std::string();
        contracts.releaseLockShared();
        if (expiry.empty()) continue;
        const std::string name = options.Get(722, row);
        if (name.rfind("[", 0) == 0) continue;  // marked already
        if (expiry == tradingDate)
            options.Set(722, "[到期]" + name, row);
        else if (expiry.compare(0, 7, tradingDate, 0, 7) == 0)
            options.Set(722, "[本月到期]" + name, row);
    }
}

}  // namespace views
