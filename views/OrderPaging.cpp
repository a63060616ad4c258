// The order query view's paging pass, hide rules, account list and cell texts.
#include "views/OrderPaging.h"

#include <fmt/format.h>

#include <cstdlib>

#include "comm/FixApiClient.h"
#include "record/MemRecord.h"
#include "shell/services/LogLine.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ColorSettings.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"

namespace views {
namespace {

constexpr uint32_t kDefaultColor = 0xFFFFFFFFu;

// Names of the fill conditions 1-8 of field 1857.
constexpr const char* kOrderConditionNames[] = {
    "", "FAK", "FOK", "任意价", "任意转限", "五档市价", "五档转限", "最优价", "最优转限"};

// The last row of the account with the serial, searching from the end; -1 when none.
int FindLastRowOf(CFixRecord& table, const std::string& khh, int32_t serial) {
    for (int row = table.GetCount() - 1; row >= 0; --row)
        if (table.GetLong(797, row) == serial && table.Get(605, row) == khh) return row;
    return -1;
}

// "%.*f" with at most one trailing '0' and then a trailing '.' removed.
std::string TrimOneZero(std::string text) {
    if (!text.empty() && text.back() == '0' && text.find('.') != std::string::npos) text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

uint32_t MakeFilterMask(const HideFlags& hide) {
    uint32_t mask = 0;
    if (hide.filled) mask |= 1;
    if (hide.cancelled) mask |= 2;
    if (hide.rejected) mask |= 4;
    if (hide.extended) mask |= 8;
    return mask;
}

bool IsHiddenOrder(const HideFlags& hide, int32_t state, int32_t quantity, int32_t filled,
                   int32_t cancelled) {
    if (state == 3 && hide.rejected != 0) return true;
    if (cancelled >= 1 && hide.cancelled != 0) return true;
    return filled >= quantity && hide.filled != 0;
}

OrderMerge MergeOrderRow(CFixRecord& shown, CFixRecord& all, CFixRecord& fresh,
                         const HideFlags& hide, int* row) {
    const int32_t number = fresh.GetLong(681, 0);
    const int at = fresh.GetCount() > 0 ? shown.Find(681, number) : -1;
    if (row != nullptr) *row = at;
    if (at < 0) return OrderMerge::NotFound;
    shown.Update(&fresh, 0, at);
    const int copy = all.GetFCount() > 0 ? all.Find(681, number) : -1;
    if (copy >= 0) all.Update(&fresh, 0, copy);
    if (!IsHiddenOrder(hide, shown.GetLong(753, at), shown.GetLong(684, at), shown.GetLong(528, at),
                       shown.GetLong(886, at)))
        return OrderMerge::Updated;
    shown.GetMemRecord()->Delete(at);
    return OrderMerge::Removed;
}

void TrimToPage(CFixRecord& all, CFixRecord& shown, int32_t limit, SerialMap& serials,
                int32_t& moreSerial) {
    CMemRecord* work = shown.GetMemRecord();
    while (work != nullptr && shown.GetCount() > limit && limit >= 0) {
        const int last = shown.GetCount() - 1;
        const std::string khh = shown.Get(605, last);
        const int32_t serial = shown.GetLong(797, last);
        int32_t& entry = serials[khh];
        if (entry == 0 || serial >= entry) {
            entry = serial + 1;
            moreSerial = serial + 1;
            const int row = FindLastRowOf(all, khh, serial);
            if (row >= 0) all.GetMemRecord()->Delete(row);
        }
        work->Delete(last);
    }
}

void RunOrderPage(NoltComm::CFixApiClient* connection, OrderPageJob& job, OrderPageResult& out) {
    const int32_t pageSize = job.pageSize > 0 ? job.pageSize : tradedata::kOrderPageSize;
    out.serials = job.serials;
    int32_t baseCount = 0;
    if (job.full) {
        for (auto& [khh, serial] : out.serials) serial = 0;
        out.allRows.Create(tradedata::kOrderQueryLayout);
    } else {
        out.allRows = job.allRows;
        if (out.allRows.GetFCount() == 0) out.allRows.Create(tradedata::kOrderQueryLayout);
        baseCount = job.baseCount;
    }
    out.moreSerial = 0;
    int accountsWithRows = 0;
    for (const std::string& khh : job.accounts) {
        int32_t serial = 0;
        if (auto it = out.serials.find(khh); it != out.serials.end()) serial = it->second;
        if (!job.full && serial == 0) continue;
        CFixRecord page;
        page.Create(tradedata::kOrderQueryLayout);
        tradedata::OrderFilter filter;
        filter.khh = khh;
        const int32_t before = serial;
        const int answered =
            tradedata::QueryOrders(connection, page, out.status,
                                   static_cast<int32_t>(job.filterMask), pageSize, serial, filter);
        if (answered != pageSize) {
            serial = 0;
        } else if (serial == before || serial <= 0) {
            // A full page that does not move the continuation would ask the same page for
            // ever: end the account's paging here.
            shell::WriteLogLine(
                fmt::format("委托查询: {} 的分页序号未前进({}), 停止分页", khh, before));
            serial = 0;
        }
        out.serials[khh] = serial;
        if (serial != 0) out.moreSerial = serial;
        // Fill prices are computed once, for the rows this pass brought.
        for (int row = 0; row < page.GetCount(); ++row)
            tradedata::ComputeCombinationFillPrice(page, row, false);
        if (page.GetCount() > 0) {
            out.allRows.GetMemRecord()->Append(page.GetMemRecord());
            ++accountsWithRows;
        }
    }
    CMemRecord* all = out.allRows.GetMemRecord();
    if (accountsWithRows > 1) all->Sort(all->FindIndex(797u), false);
    out.shownRows = out.allRows;
    TrimToPage(out.allRows, out.shownRows, baseCount + pageSize, out.serials, out.moreSerial);
    out.missingDecimals = false;
    for (int row = 0; row < out.shownRows.GetCount() && !out.missingDecimals; ++row)
        if (out.shownRows.GetLong(1045, row) < 0) out.missingDecimals = true;
}

bool FormatOrderCell(CFixRecord& table, int row, int field, std::string& text) {
    const int32_t type = table.GetLong(1681, row);
    const bool twoSided = (type & 0x100) != 0;
    if (field == 682 || field == 525 || field == 1209) {
        const int32_t decimals = table.GetLong(1045, row);
        if (twoSided && field == 682) {
            const int d = decimals < 0 ? 2 : decimals;
            text = fmt::format("{:.{}f}[{:.{}f}]", table.GetDouble(682, row), d,
                               table.GetDouble(1682, row), d);
            return true;
        }
        if (decimals < 0) return false;
        const int d = decimals > 10 ? 10 : decimals;
        if (field != 682) {
            text = TrimOneZero(fmt::format("{:.{}f}", table.GetDouble(field, row), d + 1));
            return true;
        }
        const double price = table.GetDouble(682, row);
        text =
            (type & 2) != 0 && price == 0 ? std::string("市价") : fmt::format("{:.{}f}", price, d);
        const int32_t condition = table.GetLong(1857, row);
        const int32_t minimum = table.GetLong(1858, row);
        if (condition == 1 && minimum >= 1)
            text += fmt::format("({}:{})", "FAK", minimum);
        else if (condition >= 1 && condition <= 8)
            text += fmt::format("({})", kOrderConditionNames[condition]);
        return true;
    }
    if (!twoSided) return false;
    switch (field) {
        case 596:
            text = fmt::format("{}[{}]", tradedata::GetOpenCloseText(table.GetLong(1718, row)),
                               tradedata::GetOpenCloseText(table.GetLong(1856, row)));
            return true;
        case 684:
            text = fmt::format("{}[{}]", table.GetLong(684, row), table.GetLong(1859, row));
            return true;
        case 752: {
            const int32_t direction = table.GetLong(683, row);
            text = direction == 1 ? "单买" : direction == 2 ? "单卖" : "双向";
            return true;
        }
        default:
            return false;
    }
}

std::vector<AccountChoice> ListAccountChoices(bool* offerAll) {
    std::vector<AccountChoice> choices;
    if (offerAll != nullptr) *offerAll = false;
    CFixRecord& accounts = tradedata::AccountTable;
    const int current = tradedata::GetCurrentAccountIndex();
    accounts.acquireLockShared();
    const int count = accounts.GetCount();
    auto choiceOf = [&](int row) {
        AccountChoice choice;
        choice.row = row;
        choice.khh = accounts.Get(605, row);
        const size_t digit = choice.khh.find_first_not_of('0');
        const std::string shortKhh = digit == std::string::npos ? "" : choice.khh.substr(digit);
        choice.caption = shortKhh + " " + accounts.Get(613, row);
        return choice;
    };
    if (current >= 0 && current < count) {
        choices.push_back(choiceOf(current));
        const int32_t group = accounts.GetLong(1837, current);
        for (int row = 0; row < count; ++row)
            if (row != current && accounts.GetLong(608, row) == 2 &&
                accounts.GetLong(1837, row) == group &&
                accounts.Get(605, row) != choices.front().khh)
                choices.push_back(choiceOf(row));
        if (offerAll != nullptr) *offerAll = group > 0 && choices.size() > 1;
    }
    accounts.releaseLockShared();
    return choices;
}

std::string JoinAccounts(const std::vector<AccountChoice>& choices, int index) {
    if (index < 0) {
        std::string list;
        for (const AccountChoice& choice : choices) {
            if (!list.empty()) list += ',';
            list += choice.khh;
        }
        return list;
    }
    return index < static_cast<int>(choices.size()) ? choices[index].khh : std::string();
}

std::vector<std::string> SplitAccounts(const std::string& list) {
    std::vector<std::string> accounts;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!item.empty()) accounts.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return accounts;
}

uint32_t OpenCloseDirectionTextColor(CFixRecord& table, int row, int field) {
    if (field == 596) {
        switch (table.GetLong(1718, row)) {
            case 1:
                return tradedata::GetColorSetting("kpbz_jylb1");
            case 2:
                return tradedata::GetColorSetting("kpbz_jylb2");
            case 4:
                return tradedata::GetColorSetting("kpbz_jylb4");
            default:
                return kDefaultColor;
        }
    }
    if (field == 752) {
        switch (table.GetLong(683, row)) {
            case 1:
                return tradedata::GetColorSetting("wtlb_mmlb1");
            case 2:
                return tradedata::GetColorSetting("wtlb_mmlb2");
            default:
                return kDefaultColor;
        }
    }
    return kDefaultColor;
}

uint32_t MergedPositionTextColor(CFixRecord&, int, int field) {
    if (field >= 2044 && field <= 2050) return tradedata::GetColorSetting("wtlb_mmlb1");
    if (field >= 2051 && field <= 2057) return tradedata::GetColorSetting("wtlb_mmlb2");
    return kDefaultColor;
}

}  // namespace views
