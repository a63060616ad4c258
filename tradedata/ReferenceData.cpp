// Reference data loaders and the daily cache files. Every list is built in a table of its own
// and swapped in whole, and no request is sent while a global table's lock is held: what a
// request needs is read under the lock, the request goes out without it, and the answer is
// written back under the exclusive lock.
#include "tradedata/ReferenceData.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/LogLine.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/CombinationQuote.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/Registries.h"
#include "tradedata/TableLockOrder.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

constexpr uint32_t kFunctionExchanges = 16201;
constexpr uint32_t kFunctionContracts = 16203;
constexpr uint32_t kFunctionProducts = 16204;
constexpr uint32_t kFunctionQuote = 16128;
constexpr uint32_t kFunctionCombinations = 16118;
constexpr uint32_t kFunctionOptions = 16904;
constexpr uint32_t kFunctionPriceSources = 15024;
constexpr uint32_t kFunctionBanks = 12501;

constexpr std::size_t kPackedItemBudget = 255;
constexpr std::size_t kPackedTextBudget = 4095;

constexpr int32_t kContractTags[] = {599, 719, 722, 720, 590, 706, 703, 528, 524, 1806, 813};
constexpr int32_t kCombinationTags[] = {889, 599, 1060, 3549, 1008, 621, 582};
// The full option list's packed rows carry the columns the option cache keeps.
constexpr int32_t kOptionTags[] = {599, 9100, 719, 1854, 590, 1240, 1569, 1568,
                                   594, 1752, 720, 637,  627, 686,  1755, 511};

// The quote fields of a quote answer, in the order they are copied.
constexpr int32_t kQuoteTags[] = {860,  813, 726, 587, 729, 528,  524,  706,  703,  707, 704, 1807,
                                  1806, 842, 850, 843, 851, 844,  852,  845,  853,  846, 854, 847,
                                  855,  848, 856, 849, 857, 1357, 1359, 1358, 1360, 1901};

void LogSessionMissing(const char* operation) {
    shell::WriteLogLine(std::string("pSess is NULL,func:") + operation);
}

// A request on the connection; null (with the trace line) when none could be made.
std::unique_ptr<CTradeRequest> MakeRequest(TradeConnection* connection, uint32_t function,
                                           const char* operation) {
    auto request = CTradeRequest::Create(connection);
    if (request->GetHandle() == nullptr) {
        LogSessionMissing(operation);
        return nullptr;
    }
    request->SetFunction(function);
    return request;
}

// Sends the request and hands every answer row with 507 >= 0 to onRow. True when the whole
// answer arrived and no row refused the request.
bool SendAndWalk(CTradeRequest& request, const std::function<void(CTradeRequest&)>& onRow) {
    if (!request.Send()) return false;
    bool refused = false;
    while (request.NextRow()) {
        if (request.GetLong(507) < 0) {
            refused = true;
            continue;
        }
        onRow(request);
    }
    return request.IsAnswered() && !refused;
}

// Fetches the list of the function into a table of the layout; true when answered.
bool FetchList(TradeConnection* connection, CFixRecord& into, const tagFIXHEADERINFO* layout,
               uint32_t function, const char* operation,
               const std::function<void(CTradeRequest&)>& compose,
               const std::function<void(CFixRecord&, int)>& onRow = {}) {
    into.Create(layout);
    auto request = MakeRequest(connection, function, operation);
    if (!request) return false;
    if (compose) compose(*request);
    return SendAndWalk(*request, [&](CTradeRequest& r) {
        const int row = r.AppendRowTo(&into, false);
        if (onRow && row >= 0) onRow(into, row);
    });
}

int Column(CFixRecord& table, unsigned id) { return table.GetMemRecord()->FindIndex(id); }

// Row of the key in a table kept sorted on the column, added when missing.
int InsertOrFind(CFixRecord& table, int column, const std::string& key) {
    return table.GetMemRecord()->InsertKey(column, key.c_str(), true);
}

double NowMicroseconds() { return GetHighResMicroseconds(); }

std::string UpperAscii(std::string text) {
    for (char& c : text) c = platform::AsciiToUpper(c);
    return text;
}

std::string WithoutDots(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return text;
}

// Reads a cache file into the (re-created) table; a file dated after today, or undated, is
// dropped whole. Its date, empty when dropped.
std::string LoadCacheFile(CFixRecord& table, const tagFIXHEADERINFO* layout, const char* file,
                          const std::string& today) {
    table.Create(layout);
    std::string date;
    shell::LoadUserRecordFile(table, file, date);
    if (date.empty() || date > today) {
        table.Create(layout);
        date.clear();
    }
    return date;
}

// Copies the present quote fields of the answer row into the row. Limit prices of zero are not
// written (but traced) when `traceZeroLimits`; 1806 only when positive.
void CopyQuoteFields(CTradeRequest& request, CFixRecord& table, int row, bool withPushTime,
                     bool traceZeroLimits, const std::string& code) {
    for (const int32_t tag : kQuoteTags) {
        if (tag == 1901 && !withPushTime) continue;
        if (!request.HasField(tag)) continue;
        const std::string text = request.GetString(tag);
        if (tag == 1806 && platform::Atof(text) <= 0) continue;
        if (traceZeroLimits && (tag == 706 || tag == 703) && platform::Atof(text) <= 1e-6) {
            const SystemTime t = GetCurrentSystemTime();
            char head[48];
            std::snprintf(head, sizeof head, "行情查询:%02d:%02d:%02d.%03d\t", t.hour % 100,
                          t.minute % 100, t.second % 100, t.milliseconds % 1000);
            shell::WriteLogLine(std::string(head) + code + " " + platform::FormatInt(tag) + "=" +
                                platform::FormatFixed(platform::Atof(text), 6));
            continue;
        }
        table.Set(static_cast<unsigned>(tag), std::string_view(text), row);
    }
}

// Step 4 of the contract list: names, product defaults, decimals, currencies, average price.
void CompleteContractRow(CFixRecord& t, int row) {
    const std::string exchange = t.Get(599, row);
    if (const int e = ExchangeTable.Find(599, exchange.c_str()); e >= 0)
        t.Set(601, ExchangeTable.Get(601, e), row);
    const int p = ProductTable.Find(763, (exchange + t.Get(720, row)).c_str());
    if (p >= 0) {
        t.Set(721, ProductTable.Get(721, p), row);
        t.Set(9020, ProductTable.GetLong(9020, p), row);
        t.Set(1787, ProductTable.GetDouble(1787, p), row);
        std::string quoting = ProductTable.Get(2561, p);
        if (quoting.empty()) quoting = ProductTable.Get(511, p);
        if (quoting.empty()) quoting = t.Get(511, row);
        t.Set(2561, quoting, row);
        if (t.GetDouble(594, row) <= 1e-6) t.Set(594, ProductTable.GetDouble(1753, p), row);
        if (t.GetDouble(1752, row) <= 1e-6) t.Set(1752, ProductTable.GetDouble(1752, p), row);
        const std::pair<unsigned, unsigned> defaults[] = {
            {637, 1715}, {627, 1754}, {686, 686}, {1755, 1755}};
        for (const auto& [field, from] : defaults)
            if (t.GetLong(field, row) == 0) t.Set(field, ProductTable.GetLong(from, p), row);
    }
    t.Set(1045, int32_t{GetTickDecimals(t.GetDouble(594, row))}, row);
    t.Set(514, GetCurrencyName(t.Get(511, row)), row);
    t.Set(518, GetCurrencyName(t.Get(2561, row)), row);
    const double multiplier = t.GetDouble(1752, row);
    const int32_t volume = t.GetLong(528, row);
    if (exchange != "ZZ" && volume > 0 && multiplier > 0) {
        double average = t.GetDouble(524, row) / multiplier / volume;
        const double unit = t.GetDouble(1787, row);
        if (t.GetLong(9020, row) == 16 && unit > 1e-6) average /= unit;
        t.Set(1734, average, row);
    }
    if (t.GetLong(1807, row) < 1) t.Set(1807, t.GetLong(1806, row), row);
}

// The key of a combination code "kind leg1&leg2": both legs, or false.
bool SplitCombinationCode(std::string_view code, std::string& leg1, std::string& leg2) {
    const std::size_t blank = code.find(' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view rest = code.substr(blank + 1);
    const std::size_t amp = rest.find('&');
    if (amp == std::string_view::npos || amp == 0 || amp + 1 >= rest.size()) return false;
    leg1.assign(rest.substr(0, amp));
    leg2.assign(rest.substr(amp + 1));
    return true;
}

std::string LegKey(int32_t number, int32_t leg) {
    return platform::FormatInt(number) + "_" + platform::FormatInt(leg);
}

// Re-reads the option row of the table (9020 = 4) and copies the answer over it under the
// table's exclusive lock, found again by its code since rows may have moved meanwhile.
bool ReReadOptionRow(TradeConnection* connection, CFixRecord& table, int row) {
    table.acquireLockShared();
    const std::string exchange = table.Get(599, row);
    const std::string code = table.Get(9100, row);
    table.releaseLockShared();
    if (code.empty()) return false;
    auto request = MakeRequest(connection, kFunctionOptions, "LoadOptionRow");
    if (!request) return false;
    request->SetString(599, exchange);
    request->SetString(9100, code);
    request->SetLong(9020, 4);
    if (!request->Send() || !request->NextRow() || request->GetLong(507) < 0) return false;
    table.acquireLockExclusive();
    int at = row;
    if (table.Get(9100, at) != code) at = table.Find(9100, code.c_str());
    if (at >= 0) {
        request->CopyRowTo(&table, at);
        table.Set(3203, NowMicroseconds(), at);
        table.Set(1045, int32_t{GetTickDecimals(table.GetDouble(594, at))}, at);
        table.Set(644, table.GetLong(644, at) & ~kFlagQuoteLoaded, at);
    }
    table.releaseLockExclusive();
    return at >= 0;
}

// Builds the option-underlying table from the option rows (which it may re-read).
void BuildUnderlyings(TradeConnection* connection, CFixRecord& options, CFixRecord& out) {
    out.Create(UnderlyingLayout());
    const int codeColumn = Column(out, 719);
    const std::string dividend = pavlet::ReadPrivateConfigure("OPTIONS", "Dividend Yield", "1.89");
    const double dividendYield = platform::Atof(dividend);
    const int count = options.GetCount();
    for (int r = 0; r < count; ++r) {
        const std::string code = options.Get(719, r);
        if (code.empty() || out.Find(719, code.c_str()) >= 0) continue;
        const std::string exchange = options.Get(599, r);
        const int u = InsertOrFind(out, codeColumn, code);
        out.Set(599, exchange, u);
        out.Set(644, kFlagUnderlyingList, u);
        const int futures = FindFuturesContract(code.c_str());
        if (futures >= 0) {
            out.Set(1873, int32_t{0}, u);
            out.Set(3062, int32_t{futures}, u);
            for (const unsigned tag : {722u, 720u, 590u})
                out.Set(tag, FuturesContractTable.Get(tag, futures), u);
            continue;
        }
        out.Set(1873, int32_t{3}, u);
        out.Set(3062, int32_t{-1}, u);
        std::string indexExchange = exchange;
        std::string indexCode;
        if (exchange == "ZJ") {
            indexExchange = "SH";
            indexCode = code.rfind("HO", 0) == 0 ? "000016" : "000300";
        }
        ReReadOptionRow(connection, options, r);
        const std::string product = options.Get(720, r);
        std::string productName;
        if (const int p = ProductTable.Find(763, (exchange + product).c_str()); p >= 0) {
            productName = ProductTable.Get(721, p);
            if (const std::string quoted = ProductTable.Get(7125, p); !quoted.empty()) {
                indexCode = quoted;
                indexExchange = ProductTable.Get(1847, p);
            }
        }
        out.Set(1566, indexCode, u);
        out.Set(720, product, u);
        out.Set(721, productName, u);
        if (indexCode.empty() || out.Find(719, indexCode.c_str()) >= 0) continue;
        const int i = InsertOrFind(out, codeColumn, indexCode);
        out.Set(599, indexExchange, i);
        out.Set(594, 0.2, i);
        out.Set(1045, int32_t{1}, i);
        out.Set(1873, int32_t{5}, i);
        out.Set(3062, int32_t{-1}, i);
        out.Set(941, dividendYield, i);
    }
}

}  // namespace

// ------------------------------------------------------------------ layouts and helpers

const tagFIXHEADERINFO kCombinationCodeLayout[] = {
    {889, "ZHBH", "N8", 0},  {599, "JYS", "C6", 0},   {1060, "ZHDM", "C64", 0},
    {3549, "ZHTS", "N1", 0}, {1008, "JYZT", "N1", 0}, {621, "ZHLX", "N1", 0},
    {582, "IBM", "N8", 0},   {816, "F816", "C32", 0}, {763, "BROWINDEX", "C160", 0},
    {0, "", "", 0}};

const tagFIXHEADERINFO* UnderlyingLayout() {
    // The kind, contract row and index code, then the quote row's columns (its dividend
    // yield 941 as a real, so 1.89 stays 1.89).
    static const std::vector<tagFIXHEADERINFO> layout = [] {
        std::vector<tagFIXHEADERINFO> out = {{599, "JYS", "C6", 0},    {719, "ZQDM", "C32", 0},
                                             {1873, "HYLX", "N1", 0},  {3062, "RECNO", "N8", 0},
                                             {1566, "XQDM", "C32", 0}, {722, "ZQMC", "C32", 0},
                                             {720, "ZQLB", "C6", 0},   {590, "JSRQ", "C10", 0}};
        for (const tagFIXHEADERINFO* f = kFuturesContractLayout; f->id > 0; ++f) {
            if (std::any_of(out.begin(), out.end(), [&](auto& o) { return o.id == f->id; }))
                continue;
            out.push_back(*f);
            if (f->id == 941) std::snprintf(out.back().type, sizeof out.back().type, "R9.4");
        }
        out.push_back({0, "", "", 0});
        return out;
    }();
    return layout.data();
}

std::string GetCacheDateText() {
    const SystemTime t = GetCurrentSystemTime();
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", t.year % 10000, t.month % 100, t.day % 100);
    return text;
}

void ClearReferenceCacheFiles() {
    for (const char* file : {kCombinationCodeCacheFile, kCombinationLegCacheFile, kOptionCacheFile})
        shell::ClearUserRecordFile(file);
}

bool IsEfpContract(const char* code) {
    if (code == nullptr) return false;
    const std::string_view text(code);
    return text.size() >= 3 && text.substr(text.size() - 3) == "efp";
}

std::span<const int32_t> PackedContractTags() { return kContractTags; }
std::span<const int32_t> PackedCombinationTags() { return kCombinationTags; }
std::span<const int32_t> PackedOptionTags() { return kOptionTags; }

namespace {
// Calls onItem(index, item) for each comma-separated item of the cut text.
template <typename OnItem>
void ForEachPackedItem(std::string_view text, OnItem onItem) {
    text = text.substr(0, platform::CutToGbkBudget(text, kPackedTextBudget));
    std::size_t index = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        item = item.substr(0, platform::CutToGbkBudget(item, kPackedItemBudget));
        if (!onItem(index, item)) return;
        if (comma == std::string_view::npos) return;
        text.remove_prefix(comma + 1);
        ++index;
    }
}
}  // namespace

std::string PackedKey(std::string_view text, std::size_t keyItem) {
    std::string key;
    ForEachPackedItem(text, [&](std::size_t index, std::string_view item) {
        if (index == keyItem) key.assign(item);
        return index < keyItem;
    });
    return key;
}

std::string ApplyPackedText(CFixRecord& table, int row, std::string_view text,
                            std::span<const int32_t> tags, std::size_t keyItem) {
    std::string key;
    ForEachPackedItem(text, [&](std::size_t index, std::string_view item) {
        if (index == keyItem) key.assign(item);
        if (index >= tags.size()) return false;
        if (!item.empty()) table.Set(static_cast<unsigned>(tags[index]), item, row);
        return true;
    });
    return key;
}

// ------------------------------------------------------------------ small lists

bool LoadExchanges(TradeConnection* connection) {
    CFixRecord fresh;
    if (!FetchList(connection, fresh, kExchangeLayout, kFunctionExchanges, "LoadExchanges",
                   [](CTradeRequest& r) { r.SetLong(9020, 0); }))
        return false;
    ReplaceTableWhole(ExchangeTable, fresh);
    return true;
}

bool LoadProducts(TradeConnection* connection) {
    CFixRecord fresh;
    const bool answered =
        FetchList(connection, fresh, kProductLayout, kFunctionProducts, "LoadProducts", {},
                  [](CFixRecord& t, int row) {
                      if (t.GetLong(9020, row) >= 1) {
                          t.Set(9020, int32_t{1}, row);
                          return;
                      }
                      const std::string currency = t.Get(511, row);
                      const std::string quoting = t.Get(2561, row);
                      if (!currency.empty() && !quoting.empty() && currency != quoting)
                          t.Set(9020, int32_t{16}, row);
                  });
    if (!answered) return false;
    CFixRecord prefixes;
    prefixes = fresh;
    const int count = fresh.GetCount();
    for (int r = 0; r < count; ++r) {
        prefixes.Set(763, UpperAscii(prefixes.Get(566, r)), r);
        fresh.Set(763, fresh.Get(599, r) + fresh.Get(720, r), r);
    }
    prefixes.GetMemRecord()->Sort(Column(prefixes, 763), false);
    fresh.GetMemRecord()->Sort(Column(fresh, 763), true);
    ReplaceTableWhole(ProductPrefixTable, prefixes);
    ReplaceTableWhole(ProductTable, fresh);
    return true;
}

bool LoadPriceSources(TradeConnection* connection) {
    CFixRecord fresh;
    if (!FetchList(connection, fresh, kPriceSourceLayout, kFunctionPriceSources, "LoadPriceSources",
                   {}))
        return false;
    ReplaceTableWhole(PriceSourceTable, fresh);
    return true;
}

bool LoadBanks(TradeConnection* connection) {
    CFixRecord fresh;
    if (!FetchList(connection, fresh, kBankLayout, kFunctionBanks, "LoadBanks", {})) return false;
    ReplaceTableWhole(BankTable, fresh);
    return true;
}

// ------------------------------------------------------------------ futures contracts

bool GetJysHydm(TradeConnection* connection) {
    CFixRecord fresh;
    fresh.Create(kFuturesContractLayout);
    const int codeColumn = Column(fresh, 719);
    int contracts = 0;
    {
        auto request = MakeRequest(connection, kFunctionContracts, "GetJysHydm");
        if (!request) return false;
        request->SetLong(739, 1);
        request->SetLong(9020, 1);
        const bool answered = SendAndWalk(*request, [&](CTradeRequest& r) {
            int row = -1;
            if (r.HasField(1777)) {
                const std::string text = r.GetString(1777);
                const std::string key = PackedKey(text, 1);
                if (key.empty()) return;
                row = InsertOrFind(fresh, codeColumn, key);
                ApplyPackedText(fresh, row, text, kContractTags, 1);
            } else {
                const std::string key = r.GetString(719);
                if (key.empty()) return;
                row = InsertOrFind(fresh, codeColumn, key);
                r.CopyRowTo(&fresh, row);
            }
            if (row < 0) return;
            fresh.Set(3203, NowMicroseconds(), row);
            ++contracts;
        });
        // A lost or refused list must not take every contract away: lookups and orders
        // would all fail until the next reload.
        if (!answered || contracts == 0) {
            shell::WriteLogLine(std::string("GetJysHydm: 合约列表未取得，保留原有合约:") +
                                request->GetErrorText());
            return false;
        }
    }
    const int count = fresh.GetCount();
    for (int row = 0; row < count; ++row) {
        auto request = MakeRequest(connection, kFunctionQuote, "GetJysHydm");
        if (!request) return false;
        const std::string code = fresh.Get(719, row);
        request->SetString(599, fresh.Get(599, row));
        request->SetString(719, code);
        if (!request->Send()) continue;
        while (request->NextRow()) {
            if (request->GetLong(507) <= 0) continue;
            CopyQuoteFields(*request, fresh, row, true, false, code);
            fresh.Set(3203, NowMicroseconds(), row);
        }
    }
    for (int row = 0; row < count; ++row) CompleteContractRow(fresh, row);
    ReplaceTableWhole(FuturesContractTable, fresh);
    return true;
}

// ------------------------------------------------------------------ quote refresh

bool RefreshContractQuote(TradeConnection* connection, RowRef ref) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return false;
    int row = ref & kRowMask;
    const bool combination = (ref & kCombinationRef) != 0;
    const bool underlying = (ref & kUnderlyingRef) != 0 && !combination && !(ref & kOptionRef);
    const unsigned codeTag = combination ? 1060 : (ref & kOptionRef) ? 9100 : 719;

    int also = -1;  // the underlying row that named the refreshed one
    table->acquireLockShared();
    if (underlying) {
        const std::string index = table->Get(1566, row);
        const int other = index.empty() ? -1 : table->Find(719, index.c_str());
        if (other >= 0 && other != row) {
            also = row;
            row = other;
        }
    }
    const std::string exchange = table->Get(599, row);
    const std::string code = table->Get(codeTag, row);
    table->releaseLockShared();
    if (code.empty()) return false;

    bool any = false;
    auto request = MakeRequest(connection, kFunctionQuote, "RefreshContractQuote");
    if (request) {
        request->SetString(599, exchange);
        request->SetString(719, code);
        request->Send();
    }
    table->acquireLockExclusive();
    // The row may have moved while the request was out.
    if (table->Get(codeTag, row) != code) row = table->Find(codeTag, code.c_str());
    if (row >= 0) {
        while (request && request->NextRow()) {
            if (request->GetLong(507) <= 0) continue;
            any = true;
            CopyQuoteFields(*request, *table, row, false, !combination, code);
            table->Set(3203, NowMicroseconds(), row);
        }
        table->Set(644, table->GetLong(644, row) | kFlagQuoteLoaded, row);
        if (also >= 0) table->Set(644, table->GetLong(644, also) | kFlagQuoteLoaded, also);
    }
    table->releaseLockExclusive();
    return any;
}

bool RefreshFuturesQuote(TradeConnection* connection, int row) {
    return row >= 0 && RefreshContractQuote(connection, row);
}
bool RefreshCombinationQuote(TradeConnection* connection, int row) {
    return row >= 0 && RefreshContractQuote(connection, row | kCombinationRef);
}
bool RefreshOptionQuote(TradeConnection* connection, int row) {
    return row >= 0 && RefreshContractQuote(connection, row | kOptionRef);
}
bool RefreshUnderlyingQuote(TradeConnection* connection, int row) {
    return row >= 0 && RefreshContractQuote(connection, row | kUnderlyingRef);
}

RowRef FindPendingQuoteRow() {
    struct Step {
        CFixRecord* table;
        RowRef bit;
        bool underlyings;
    };
    const Step steps[] = {{&FuturesContractTable, 0, false},
                          {&CombinationContractTable, kCombinationRef, false},
                          {&OptionContractTable, kOptionRef, false},
                          {&UnderlyingTable, kUnderlyingRef, true}};
    for (const Step& step : steps) {
        CMemRecord* mem = step.table->GetMemRecord();
        mem->acquireLockShared();
        const int flags = mem->FindIndex(644u);
        const int kind = mem->FindIndex(1873u);
        const int count = std::min(mem->GetCount(), kRowMask + 1);
        int found = -1;
        for (int r = 0; flags >= 0 && r < count && found < 0; ++r) {
            const int32_t f = mem->GetLong(flags, r);
            if ((f & kFlagSubscriptionMarks) == 0 || (f & kFlagQuoteLoaded) != 0) continue;
            if (step.underlyings && mem->GetLong(kind, r) != 3) continue;
            found = r;
        }
        mem->releaseLockShared();
        if (found >= 0) return found | step.bit;
    }
    return -1;
}

// ------------------------------------------------------------------ exchange combinations

bool LoadExchangeCombinations(TradeConnection* connection, bool useCache) {
    const std::string today = GetCacheDateText();
    CFixRecord codes;
    CFixRecord legs;
    codes.Create(kCombinationCodeLayout);
    legs.Create(kCombinationLegLayout);
    std::string since;
    if (useCache) {
        const std::string codeDate =
            LoadCacheFile(codes, kCombinationCodeLayout, kCombinationCodeCacheFile, today);
        const std::string legDate =
            LoadCacheFile(legs, kCombinationLegLayout, kCombinationLegCacheFile, today);
        if (codes.GetCount() > 0 && legs.GetCount() > 0) since = std::min(codeDate, legDate);
    }

    // The server's changes since the cached day (everything without a date).
    const int codeColumn = Column(codes, 1060);
    {
        auto request = MakeRequest(connection, kFunctionCombinations, "LoadExchangeCombinations");
        if (!request) return false;
        request->SetLong(9020, 2);
        request->SetString(651, since);
        const bool answered = SendAndWalk(*request, [&](CTradeRequest& r) {
            if (r.HasField(1777)) {
                const std::string text = r.GetString(1777);
                const std::string key = PackedKey(text, 2);
                if (key.empty()) return;
                ApplyPackedText(codes, InsertOrFind(codes, codeColumn, key), text, kCombinationTags,
                                2);
            } else {
                const std::string key = r.GetString(1060);
                if (key.empty()) return;
                r.CopyRowTo(&codes, InsertOrFind(codes, codeColumn, key));
            }
        });
        // Without the changes the cached lists would be stamped today and never catch up.
        if (!answered) return false;
    }

    // Leg rows of every "kind leg1&leg2" code, over whatever the cache held for them.
    const int legKeyColumn = Column(legs, 763);
    for (int r = 0; r < legs.GetCount(); ++r)
        legs.Set(763, LegKey(legs.GetLong(797, r), legs.GetLong(889, r)), r);
    for (int r = 0; r < codes.GetCount(); ++r) {
        std::string leg1, leg2;
        if (!SplitCombinationCode(codes.Get(1060, r), leg1, leg2)) continue;
        const int32_t number = codes.GetLong(889, r);
        for (int32_t leg = 1; leg <= 2; ++leg) {
            const int l = InsertOrFind(legs, legKeyColumn, LegKey(number, leg));
            legs.Set(797, number, l);
            legs.Set(889, leg, l);
            legs.Set(719, leg == 1 ? leg1 : leg2, l);
            legs.Set(683, leg, l);
            legs.Set(1212, int32_t{1}, l);
            legs.Set(1711, int32_t{leg == 1 ? 1 : -1}, l);
        }
    }
    {
        const int keys[] = {Column(legs, 797), Column(legs, 889)};
        legs.GetMemRecord()->Sort(keys, 2, true);
    }
    // Combination number -> row of its leg 1 when leg 2 follows it.
    std::unordered_map<int32_t, int> pairs;
    for (int r = 0; r + 1 < legs.GetCount(); ++r) {
        if (legs.GetLong(889, r) == 1 && legs.GetLong(889, r + 1) == 2 &&
            legs.GetLong(797, r) == legs.GetLong(797, r + 1))
            pairs.try_emplace(legs.GetLong(797, r), r);
    }

    CFixRecord newLegs, combinations, byLegs, byFirst, bySecond;
    newLegs.Create(kCombinationLegLayout);
    combinations.Create(kCombinationContractLayout);
    byLegs.Create(kCombinationCodeLayout);
    byFirst.Create(kCombinationCodeLayout);
    bySecond.Create(kCombinationCodeLayout);
    {
        ScopedTableLock hold(FuturesContractTable, TableLockRank::FuturesContract, true);
        for (int r = 0; r < codes.GetCount(); ++r) {
            if (codes.GetLong(3549, r) != 2) continue;
            const auto it = pairs.find(codes.GetLong(889, r));
            if (it == pairs.end()) continue;
            const std::string leg1 = legs.Get(719, it->second);
            const std::string leg2 = legs.Get(719, it->second + 1);
            if (leg1.empty() || leg2.empty() || leg1 == leg2) continue;
            newLegs.Append(&legs, it->second);
            newLegs.Append(&legs, it->second + 1);
            byLegs.Append(&codes, r);
            byLegs.Set(763, leg1 + "&" + leg2);
            byFirst.Append(&codes, r);
            byFirst.Set(763, leg1);
            bySecond.Append(&codes, r);
            bySecond.Set(763, leg2);
            combinations.Append(&codes, r);
            combinations.Set(1392, leg1);
            combinations.Set(1393, leg2);
            const int f1 = FindFuturesContract(leg1.c_str());
            const int f2 = FindFuturesContract(leg2.c_str());
            if (f1 >= 0 && f2 >= 0) {
                CFixRecord& f = FuturesContractTable;
                combinations.Set(594, std::min(f.GetDouble(594, f1), f.GetDouble(594, f2)));
                combinations.Set(706, f.GetDouble(706, f1) - f.GetDouble(703, f2));
                combinations.Set(703, f.GetDouble(703, f1) - f.GetDouble(706, f2));
            }
        }
    }
    {
        const int keys[] = {Column(newLegs, 797), Column(newLegs, 889)};
        newLegs.GetMemRecord()->Sort(keys, 2, true);
    }
    combinations.GetMemRecord()->Sort(Column(combinations, 1060), true);
    for (CFixRecord* t : {&byLegs, &byFirst, &bySecond})
        t->GetMemRecord()->Sort(Column(*t, 763), true);
    // Written after the futures lock is let go: the disk never holds up the readers.
    shell::SaveUserRecordFile(byLegs, kCombinationCodeCacheFile, today);
    shell::SaveUserRecordFile(newLegs, kCombinationLegCacheFile, today);

    ReplaceTableWhole(CombinationLegTable, newLegs);
    ReplaceTableWhole(CombinationContractTable, combinations);
    ReplaceTableWhole(CombinationByLegsTable, byLegs);
    ReplaceTableWhole(CombinationByFirstLegTable, byFirst);
    ReplaceTableWhole(CombinationBySecondLegTable, bySecond);
    ResetCombinationQuotes();
    return true;
}

// ------------------------------------------------------------------ options

bool LoadOptionContracts(TradeConnection* connection, bool useCache) {
    const std::string today = GetCacheDateText();
    CFixRecord options;
    std::string cacheDate;
    if (useCache) {
        cacheDate = LoadCacheFile(options, kOptionContractLayout, kOptionCacheFile, today);
    } else {
        options.Create(kOptionContractLayout);
    }
    // Expired series go; a row without expiry is kept and asked for on its own later.
    bool missingExpiry = false;
    if (options.GetCount() > 0) {
        RebuildTable(options, kOptionContractLayout, [&](CFixRecord& t, int r) {
            const std::string expiry = WithoutDots(t.Get(590, r));
            if (expiry.empty()) {
                missingExpiry = true;
                return true;
            }
            return expiry >= today;
        });
    }
    const int codeColumn = Column(options, 9100);
    {
        auto request = MakeRequest(connection, kFunctionOptions, "LoadOptionContracts");
        if (!request) return false;
        const bool delta = options.GetCount() > 0;
        if (delta) {
            request->SetLong(9020, 3);
            request->SetString(651, cacheDate);
        } else {
            request->SetLong(9020, 1);
        }
        const bool answered = SendAndWalk(*request, [&](CTradeRequest& r) {
            int row = -1;
            if (!delta && r.HasField(1777)) {
                const std::string text = r.GetString(1777);
                const std::string key = PackedKey(text, 1);
                if (key.empty()) return;
                row = InsertOrFind(options, codeColumn, key);
                ApplyPackedText(options, row, text, kOptionTags, 1);
            } else {
                const std::string key = r.GetString(9100);
                if (key.empty()) return;
                row = InsertOrFind(options, codeColumn, key);
                r.CopyRowTo(&options, row);
            }
            if (row < 0) return;
            options.Set(3203, NowMicroseconds(), row);
            if (options.Get(590, row).empty()) missingExpiry = true;
        });
        // Keep the loaded series (and an older cache file) rather than stamp today on a list
        // that missed the day's changes.
        if (!answered) return false;
    }
    if (missingExpiry) {
        for (int r = 0; r < options.GetCount(); ++r)
            if (options.Get(590, r).empty()) ReReadOptionRow(connection, options, r);
    }
    options.GetMemRecord()->Sort(codeColumn, true);
    CFixRecord underlyings;
    BuildUnderlyings(connection, options, underlyings);
    shell::SaveUserRecordFile(options, kOptionCacheFile, today);
    {
        ScopedTableLock hold(OptionContractTable, TableLockRank::OptionContract, true);
        ReplaceTableWhole(OptionContractTable, options);
        ReplaceTableWhole(UnderlyingTable, underlyings);
    }
    return true;
}

bool LoadOptionRow(TradeConnection* connection, int row) {
    if (row < 0) return false;
    return ReReadOptionRow(connection, OptionContractTable, row);
}

bool LoadUnderlyingOptions(TradeConnection* connection, const std::string& underlying) {
    auto request = MakeRequest(connection, kFunctionOptions, "LoadUnderlyingOptions");
    if (!request) return false;
    request->SetString(719, underlying);
    request->SetLong(9020, 2);
    int rows = 0;
    SendAndWalk(*request, [&](CTradeRequest& r) {
        const std::string code = r.GetString(9100);
        if (code.empty()) return;
        ScopedTableLock hold(OptionContractTable, TableLockRank::OptionContract, true);
        if (OptionContractTable.GetFCount() == 0) OptionContractTable.Create(kOptionContractLayout);
        const int row = InsertOrFind(OptionContractTable, Column(OptionContractTable, 9100), code);
        if (row < 0) return;
        r.CopyRowTo(&OptionContractTable, row);
        OptionContractTable.Set(3203, NowMicroseconds(), row);
        OptionContractTable.Set(644, OptionContractTable.GetLong(644, row) & ~kFlagQuoteLoaded,
                                row);
        OptionContractTable.Set(
            1045, int32_t{GetTickDecimals(OptionContractTable.GetDouble(594, row))}, row);
        ++rows;
    });
    if (rows > 0)
        shell::SaveUserRecordFile(OptionContractTable, kOptionCacheFile, GetCacheDateText());
    return rows > 0;
}

bool EnsureUnderlyingOptions(TradeConnection* connection, const std::string& underlying) {
    bool needed = false;
    {
        ScopedTableLock hold(OptionContractTable, TableLockRank::OptionContract, false);
        const int count = OptionContractTable.GetCount();
        int r = 0;
        while (r < count && OptionContractTable.Get(719, r) != underlying) ++r;
        for (; r < count && OptionContractTable.Get(719, r) == underlying && !needed; ++r)
            needed = (OptionContractTable.GetLong(644, r) & kFlagQuoteLoaded) == 0;
    }
    return needed && LoadUnderlyingOptions(connection, underlying);
}

// ------------------------------------------------------------------ combination quote list

void FlagCombinationQuoteContracts() {
    ClearFlagsInAllRows(FuturesContractTable, kFlagCombinationQuoteList);
    ClearFlagsInAllRows(CombinationContractTable, kFlagCombinationQuoteList);

    // What each list row needs, read first: the list is never held with a contract table.
    struct Entry {
        std::string combination, leg1, leg2;
        int32_t combinationRow = -1;
        struct Leg {
            bool found = false;
            std::string code;
            double settlement = 0;
            int32_t decimals = 0;
        } legs[2];
    };
    std::vector<Entry> entries;
    CombinationQuoteListTable.acquireLockShared();
    for (int r = 0; r < CombinationQuoteListTable.GetCount(); ++r) {
        Entry& e = entries.emplace_back();
        e.combination = CombinationQuoteListTable.Get(1060, r);
        e.leg1 = CombinationQuoteListTable.Get(1392, r);
        e.leg2 = CombinationQuoteListTable.Get(1393, r);
    }
    CombinationQuoteListTable.releaseLockShared();

    auto takeLeg = [](const std::string& code, Entry::Leg& leg) {
        const int f = FindFuturesContract(code.c_str());
        if (f < 0) return;
        UpdateContractFlags(kFlagCombinationQuoteList, kFlagCombinationQuoteList, f);
        leg.found = true;
        leg.code = code;
        leg.settlement = FuturesContractTable.GetDouble(813, f);
        leg.decimals = GetTickDecimals(FuturesContractTable.GetDouble(594, f));
    };
    for (Entry& e : entries) {
        if (e.combination.empty()) {
            takeLeg(e.leg1, e.legs[0]);
            takeLeg(e.leg2, e.legs[1]);
            continue;
        }
        const int c = FindCombinationContract(e.combination.c_str());
        if (c < 0) continue;
        e.combinationRow = c;
        UpdateContractFlags(kFlagCombinationQuoteList, kFlagCombinationQuoteList,
                            c | kCombinationRef);
        const int32_t number = CombinationContractTable.GetLong(889, c);
        const int32_t legCount = CombinationContractTable.GetLong(3549, c);
        std::vector<std::string> legCodes;
        CombinationLegTable.acquireLockShared();
        for (int r = 0; r < CombinationLegTable.GetCount(); ++r) {
            if (CombinationLegTable.GetLong(797, r) != number) continue;
            if (static_cast<int32_t>(legCodes.size()) >= legCount) break;
            legCodes.push_back(CombinationLegTable.Get(719, r));
        }
        CombinationLegTable.releaseLockShared();
        for (std::size_t i = 0; i < legCodes.size(); ++i) {
            Entry::Leg ignored;
            takeLeg(legCodes[i], i < 2 ? e.legs[i] : ignored);
        }
    }

    CombinationQuoteListTable.acquireLockExclusive();
    const int count =
        std::min<int>(CombinationQuoteListTable.GetCount(), static_cast<int>(entries.size()));
    for (int r = 0; r < count; ++r) {
        const Entry& e = entries[static_cast<std::size_t>(r)];
        if (CombinationQuoteListTable.Get(1060, r) != e.combination) continue;  // list changed
        if (!e.combination.empty() && e.combinationRow < 0) continue;
        CombinationQuoteListTable.Set(3062, e.combinationRow, r);
        static constexpr unsigned kLegFields[2][3] = {{587, 9036, 1392}, {726, 9038, 1393}};
        for (int i = 0; i < 2; ++i) {
            if (!e.legs[i].found) continue;
            CombinationQuoteListTable.Set(kLegFields[i][0], e.legs[i].settlement, r);
            CombinationQuoteListTable.Set(kLegFields[i][1], e.legs[i].decimals, r);
            CombinationQuoteListTable.Set(kLegFields[i][2], e.legs[i].code, r);
        }
    }
    CombinationQuoteListTable.releaseLockExclusive();
}

}  // namespace tradedata
