// The locally kept lists: their lines in the private profile, the option combinations built
// from their legs, the pre-placed orders of the day and their submission.
#include "tradedata/LocalLists.h"

#include <cmath>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ReferenceData.h"
#include "tradedata/Registries.h"
#include "tradedata/SettingsRows.h"
#include "tradedata/TradingHelpers.h"

namespace tradedata {
namespace {

constexpr std::string_view kCombinationQuoteSection = "ZHHQ";
constexpr std::string_view kOptionCombinationSection = "QQZH";
constexpr std::string_view kPreplacedSection = "YYWT";
constexpr std::string_view kContractParamSection = "HYDMCS";

std::string Key(std::string_view section, int n) {
    return std::string(section) + std::to_string(n);
}

// Item n of a comma-separated list line, at most 63 bytes.
std::string LineItem(const std::string& line, int n) {
    std::string item = pavlet::GetSubString(line, ',', n);
    item.resize(platform::CutToGbkBudget(item, 63));
    return item;
}

// The lines "<section>1", "<section>2", ... up to the first missing or empty one.
std::vector<std::string> ReadNumberedLines(const std::string& file, std::string_view section) {
    std::vector<std::string> lines;
    for (int n = 1;; ++n) {
        std::string line = platform::ReadProfileString(file, section, Key(section, n));
        if (line.empty()) break;
        lines.push_back(std::move(line));
    }
    return lines;
}

bool IsFuturesOrOption(RowRef ref) {
    return ref >= 0 && (ref & (kCombinationRef | kUnderlyingRef)) == 0;
}

}  // namespace

// ------------------------------------------------------------------ combination quotes

void LoadCombinationQuotes() {
    CFixRecord fresh;
    fresh.Create(kCombinationQuoteListLayout);
    for (const std::string& line :
         ReadNumberedLines(PrivateProfileFile(), kCombinationQuoteSection)) {
        const std::string leg1 = LineItem(line, 1);
        const std::string leg2 = LineItem(line, 2);
        const std::string code = LineItem(line, 5);
        if (code.empty() && (leg1.empty() || leg2.empty())) continue;
        const int row = fresh.GetMemRecord()->Append(nullptr, true);
        if (!code.empty()) {
            fresh.Set(1375, code, row);
            fresh.Set(1060, code, row);
        } else {
            fresh.Set(1375, leg1 + " / " + leg2, row);
            fresh.Set(1392, leg1, row);
            fresh.Set(1393, leg2, row);
        }
        fresh.Set(687, platform::Atof(LineItem(line, 3)), row);
        fresh.Set(686, platform::Atof(LineItem(line, 4)), row);
    }
    ReplaceTableWhole(CombinationQuoteListTable, fresh);
    FlagCombinationQuoteContracts();
}

void SaveCombinationQuotes(CFixRecord& table) {
    const std::string file = PrivateProfileFile();
    platform::DeleteProfileSection(file, kCombinationQuoteSection);
    table.acquireLockShared();
    const int count = table.GetCount();
    for (int row = 0; row < count; ++row) {
        const std::string line =
            table.Get(1375, row) + "," + table.Get(1392, row) + "," + table.Get(1393, row) + "," +
            platform::FormatFixed(table.GetDouble(687, row), 2) + "," +
            platform::FormatFixed(table.GetDouble(686, row), 2) + "," + table.Get(1060, row);
        platform::WriteProfileString(file, kCombinationQuoteSection,
                                     Key(kCombinationQuoteSection, row + 1), line);
    }
    table.releaseLockShared();
    // The empty key after the last line ends the list for readers of older files too.
    platform::WriteProfileString(file, kCombinationQuoteSection,
                                 Key(kCombinationQuoteSection, count + 1), "");
}

// ------------------------------------------------------------------ option combinations

void LoadOptionCombinations(CFixRecord& table) {
    CFixRecord fresh;
    fresh.Create(kOptionCombinationLayout);
    for (const std::string& line :
         ReadNumberedLines(PrivateProfileFile(), kOptionCombinationSection)) {
        const std::string leg1 = LineItem(line, 1);
        const std::string leg2 = LineItem(line, 2);
        if (leg1.empty() || leg2.empty()) continue;
        const int row = fresh.GetMemRecord()->Append(nullptr, true);
        fresh.Set(1332, platform::AtolSat(LineItem(line, 0)), row);
        fresh.Set(1392, leg1, row);
        fresh.Set(1393, leg2, row);
        fresh.Set(1060, LineItem(line, 3), row);
    }
    ReplaceTableWhole(table, fresh);
    BuildOptionCombinations(table);
}

void SaveOptionCombinations(CFixRecord& table) {
    const std::string file = PrivateProfileFile();
    platform::DeleteProfileSection(file, kOptionCombinationSection);
    table.acquireLockShared();
    for (int row = 0; row < table.GetCount(); ++row) {
        const std::string line = platform::FormatInt(table.GetLong(1332, row)) + "," +
                                 table.Get(1392, row) + "," + table.Get(1393, row) + "," +
                                 table.Get(1060, row);
        platform::WriteProfileString(file, kOptionCombinationSection,
                                     Key(kOptionCombinationSection, row + 1), line);
    }
    table.releaseLockShared();
}

void BuildOptionCombinations(CFixRecord& table) {
    ClearFlagsInAllRows(OptionContractTable, kMarkOptionCombinationLeg);
    struct Combination {
        int32_t type = 0;
        std::string leg1, leg2;
        std::string typeText{}, code{}, exchangeName{};
        RowRef ref1 = -1, ref2 = -1;
    };
    // The legs are looked up without the list's lock: a list lock is never held together with
    // a contract table's.
    std::vector<Combination> rows;
    table.acquireLockShared();
    for (int row = 0; row < table.GetCount(); ++row)
        rows.push_back(Combination{.type = table.GetLong(1332, row),
                                   .leg1 = table.Get(1392, row),
                                   .leg2 = table.Get(1393, row)});
    table.releaseLockShared();

    for (Combination& c : rows) {
        int32_t kind1 = -1, kind2 = -1;
        c.ref1 = FindContractKind(c.leg1.c_str(), &kind1);
        c.ref2 = FindContractKind(c.leg2.c_str(), &kind2);
        if (c.ref1 < 0 || c.ref2 < 0 || kind1 != kOptionKind || kind2 != kOptionKind) continue;
        const std::string exchange = GetRowString(599, c.ref1);
        if (exchange != GetRowString(599, c.ref2)) continue;
        const int32_t cp1 = GetRowLong(1854, c.ref1), cp2 = GetRowLong(1854, c.ref2);
        const double strike1 = GetRowDouble(1569, c.ref1), strike2 = GetRowDouble(1569, c.ref2);
        const bool equalStrikes = std::fabs(strike1 - strike2) < 1e-6;
        std::string prefix;
        if (c.type == 1 && cp1 == cp2 && !equalStrikes &&
            ((cp1 == 1 && strike2 > strike1) || (cp1 == 2 && strike1 > strike2))) {
            prefix = cp1 == 1 ? "BUL" : "BER";
            c.typeText = "价差组合";
        } else if (c.type == 2 && cp1 == 1 && cp2 == 2 && (equalStrikes || strike1 > strike2)) {
            prefix = equalStrikes ? "STD" : "STG";
            c.typeText = "跨式组合";
        } else {
            continue;
        }
        c.code = prefix + " " + c.leg1 + "&" + c.leg2;
        c.exchangeName = GetExchangeName(exchange);
        UpdateContractFlags(kMarkOptionCombinationLeg, kMarkOptionCombinationLeg, c.ref1);
        UpdateContractFlags(kMarkOptionCombinationLeg, kMarkOptionCombinationLeg, c.ref2);
    }

    table.acquireLockExclusive();
    for (std::size_t i = 0; i < rows.size() && static_cast<int>(i) < table.GetCount(); ++i) {
        const int row = static_cast<int>(i);
        if (table.Get(1392, row) != rows[i].leg1 || table.Get(1393, row) != rows[i].leg2) continue;
        table.Set(3053, rows[i].typeText, row);
        table.Set(1060, rows[i].code, row);
        table.Set(601, rows[i].exchangeName, row);
    }
    table.releaseLockExclusive();
}

// ------------------------------------------------------------------ pre-placed orders

void LoadPreplacedOrders() {
    const std::string file = PrivateProfileFile();
    CFixRecord fresh;
    fresh.Create(kPreplacedOrderLayout);
    LoadFlexRowsFromIni(fresh, kPreplacedSection, file);
    if (fresh.GetCount() > 0) {
        const std::string today = FormatDate(GetCurrentSystemTime(), 0);
        bool dropped = false;
        for (int row = fresh.GetCount() - 1; row >= 0; --row) {
            if (fresh.Get(7107, row) == today) continue;
            fresh.GetMemRecord()->Delete(row);
            dropped = true;
        }
        if (dropped) SaveFlexRowsToIni(fresh, kPreplacedSection, file);
    }
    ReplaceTableWhole(PreplacedOrderTable, fresh);
    SubscribePreplacedOrderQuotes();
}

void SavePreplacedOrders() {
    SaveFlexRowsToIni(PreplacedOrderTable, kPreplacedSection, PrivateProfileFile());
}

void SubscribePreplacedOrderQuotes() {
    ClearFlagsInAllRows(FuturesContractTable, kMarkPreplacedOrder);
    ClearFlagsInAllRows(OptionContractTable, kMarkPreplacedOrder);
    std::vector<std::string> codes;
    PreplacedOrderTable.acquireLockShared();
    for (int row = 0; row < PreplacedOrderTable.GetCount(); ++row) {
        if (PreplacedOrderTable.GetLong(755, row) != kPreplacedWaiting) continue;
        codes.push_back(PreplacedOrderTable.Get(719, row));
        codes.push_back(PreplacedOrderTable.Get(7125, row));
    }
    PreplacedOrderTable.releaseLockShared();
    for (const std::string& code : codes) {
        if (code.empty()) continue;
        const RowRef ref = FindContract(code.c_str());
        if (IsFuturesOrOption(ref))
            UpdateContractFlags(kMarkPreplacedOrder, kMarkPreplacedOrder, ref);
    }
}

int32_t SendPreplacedOrder(int row, int32_t* orderNumber, std::string* message) {
    if (orderNumber != nullptr) *orderNumber = -1;
    OrderRequest order;
    double offset = 0;
    // Claimed under the exclusive lock: of two threads that send the same row, one sends it.
    PreplacedOrderTable.acquireLockExclusive();
    const bool waiting = row >= 0 && row < PreplacedOrderTable.GetCount() &&
                         PreplacedOrderTable.GetLong(755, row) == kPreplacedWaiting;
    if (waiting) {
        PreplacedOrderTable.Set(755, kPreplacedSent, row);
        order.khh = PreplacedOrderTable.Get(605, row);
        order.exchange = PreplacedOrderTable.Get(599, row);
        order.contract = PreplacedOrderTable.Get(719, row);
        order.tradingCode = PreplacedOrderTable.Get(1716, row);
        order.direction = PreplacedOrderTable.GetLong(683, row);
        order.openClose = PreplacedOrderTable.GetLong(1718, row);
        order.quantity = PreplacedOrderTable.GetLong(684, row);
        order.hedge = PreplacedOrderTable.GetLong(1717, row);
        order.orderType = PreplacedOrderTable.GetLong(1681, row);
        order.price = PreplacedOrderTable.GetDouble(682, row);
        offset = PreplacedOrderTable.GetDouble(834, row);
    }
    PreplacedOrderTable.releaseLockExclusive();
    if (!waiting) return 0;
    if (order.khh.empty()) order.khh = GetCurrentKhh();

    const RowRef ref = FindContract(order.contract.c_str());
    if (order.orderType == 0 || order.orderType == 1) {
        order.orderType = 1;
    } else if (order.orderType == 2) {
        if (!ExchangeSupportsOrderType(order.exchange, 2) && ref >= 0) {
            order.orderType = 1;
            order.price = GetRowDouble(order.direction == 1 ? 850 : 842, ref);
        } else {
            order.price = 0;
        }
    } else {
        // Any other value names the quote field that gives the price.
        order.price = ref >= 0 ? GetRowDouble(static_cast<uint32_t>(order.orderType), ref) : 0;
        order.orderType = 1;
    }
    if (order.orderType == 1 && order.price != 0 && ref >= 0 && offset != 0) {
        order.price += offset;
        const double lower = GetRowDouble(703, ref), upper = GetRowDouble(706, ref);
        if (lower < upper) order.price = std::fmin(std::fmax(order.price, lower), upper);
    }

    // Sent without any table lock held.
    int32_t number = 0;
    std::string text;
    const int32_t result = SubmitOrder(GetTradingConnection(), order, &number, &text);
    const bool accepted = result > 0 && number > 0;
    const int32_t stored = accepted ? number : -1;
    if (orderNumber != nullptr) *orderNumber = stored;
    if (message != nullptr) *message = text;

    const std::string sentAt = FormatTimeOfDay(FileTimeToSystemTime(LocalFileTimeNow()));
    PreplacedOrderTable.acquireLockExclusive();
    if (row < PreplacedOrderTable.GetCount() &&
        PreplacedOrderTable.Get(719, row) == order.contract) {
        PreplacedOrderTable.Set(681, stored, row);
        PreplacedOrderTable.Set(865, sentAt, row);
        // Marked sent either way: the order may have reached the exchange even when the answer
        // was lost, so it is never sent a second time.
        PreplacedOrderTable.Set(755, kPreplacedSent, row);
        const int32_t flags = PreplacedOrderTable.GetLong(644, row);
        PreplacedOrderTable.Set(
            644, accepted ? flags & ~kPreplacedFailed : flags | kPreplacedFailed, row);
    }
    PreplacedOrderTable.releaseLockExclusive();
    SavePreplacedOrders();
    SubscribePreplacedOrderQuotes();
    if (!accepted) {
        AddNotice(order.khh,
                  "预埋单发送失败: " + order.contract + " " + platform::FormatInt(order.quantity) +
                      "手, " + (text.empty() ? std::string("未返回委托号") : text),
                  0, nullptr, nullptr);
    }
    return accepted ? result : (result > 0 ? 0 : result);
}

// ------------------------------------------------------------------ contract parameters

void LoadContractParams() {
    CFixRecord fresh;
    fresh.Create(kContractParamLayout);
    LoadFlexRowsFromIni(fresh, kContractParamSection, PrivateProfileFile());
    ReplaceTableWhole(ContractParamTable, fresh);
}

void SaveContractParams() {
    SaveFlexRowsToIni(ContractParamTable, kContractParamSection, PrivateProfileFile());
}

}  // namespace tradedata
