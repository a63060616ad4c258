// Dictionary and reference-table texts, with an index of the dictionary that is rebuilt when
// the table changes, and the built-in code maps.
#include "tradedata/CodeDictionaries.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/core/Numbers.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {
namespace {

std::string TextOr(CFixRecord& table, unsigned keyId, const std::string& key, unsigned textId) {
    const int row = table.Find(keyId, key.c_str());
    return row < 0 ? key : table.Get(textId, row);
}

std::string RightTrimmed(std::string text) {
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

// The dictionary as maps from (category, code) to text, built from the first block of rows of
// each category, first row of a code winning.
struct DictIndex {
    uint64_t generation = ~0ull;
    int rows = -1;
    const CMemRecord* table = nullptr;
    std::unordered_map<std::string, std::unordered_map<int32_t, std::string>> byNumber;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> byChar;
};

std::shared_mutex g_dictMutex;
DictIndex g_dict;
std::atomic<uint64_t> g_dictGeneration{0};

bool Current(const DictIndex& index, CMemRecord* table) {
    return index.generation == g_dictGeneration.load() && index.rows == table->GetCount() &&
           index.table == table;
}

void Rebuild(DictIndex& index, CMemRecord* table) {
    index.byNumber.clear();
    index.byChar.clear();
    CFixRecord& t = DictionaryTable;
    table->acquireLockShared();
    index.generation = g_dictGeneration.load();
    index.rows = table->GetCount();
    index.table = table;
    std::unordered_set<std::string> finished;
    std::string previous;
    for (int r = 0; r < index.rows; ++r) {
        std::string category = t.Get(566, r);
        if (category != previous) {
            if (!previous.empty()) finished.insert(previous);
            previous = category;
        }
        if (finished.count(category) != 0) continue;  // a later block of the category
        std::string note = RightTrimmed(t.Get(642, r));
        index.byNumber[category].try_emplace(t.GetLong(582, r), note);
        index.byChar[category].try_emplace(t.Get(516, r), std::move(note));
    }
    table->releaseLockShared();
}

// Runs read(index) on an index that is current.
template <typename Read>
auto WithDictIndex(Read read) {
    CMemRecord* table = DictionaryTable.GetMemRecord();
    {
        std::shared_lock lock(g_dictMutex);
        if (Current(g_dict, table)) return read(g_dict);
    }
    std::unique_lock lock(g_dictMutex);
    if (!Current(g_dict, table)) Rebuild(g_dict, table);
    return read(g_dict);
}

std::string CharCodeText(const std::string& category, const std::string& code) {
    return WithDictIndex([&](const DictIndex& index) {
        auto cat = index.byChar.find(category);
        if (cat == index.byChar.end()) return code;
        auto it = cat->second.find(code);
        return it == cat->second.end() ? code : it->second;
    });
}

}  // namespace

std::string GetCurrencyName(const std::string& currency) {
    return TextOr(CurrencyTable, 511, currency, 514);
}
std::string GetExchangeName(const std::string& exchange) {
    return TextOr(ExchangeTable, 599, exchange, 601);
}
std::string GetExchangeFullName(const std::string& exchange) {
    return TextOr(ExchangeTable, 599, exchange, 602);
}
std::string GetProductName(const std::string& product, const std::string& exchange) {
    const int row = ProductTable.Find(763, (exchange + product).c_str());
    return row < 0 ? product : ProductTable.Get(721, row);
}
std::string GetPriceSourceName(const std::string& source) {
    return TextOr(PriceSourceTable, 1160, source, 834);
}

int32_t GetProductUnit(const std::string& exchange, const std::string& product, double* unit) {
    const int row = ProductTable.Find(763, (exchange + product).c_str());
    if (unit != nullptr) *unit = row < 0 ? 0.0 : ProductTable.GetDouble(1787, row);
    return row < 0 ? 0 : ProductTable.GetLong(9020, row);
}

bool ExchangeSupportsOrderType(const std::string& exchange, int32_t mask) {
    const int row = ExchangeTable.Find(599, exchange.c_str());
    return row >= 0 && (ExchangeTable.GetLong(1681, row) & mask) != 0;
}

std::string GetDictText(const std::string& categories, int32_t code) {
    return WithDictIndex([&](const DictIndex& index) {
        std::string_view rest(categories);
        while (!rest.empty()) {
            const std::size_t bar = rest.find('|');
            const std::string_view category = rest.substr(0, bar);
            if (category.empty()) break;
            auto cat = index.byNumber.find(std::string(category));
            if (cat != index.byNumber.end()) {
                auto it = cat->second.find(code);
                if (it != cat->second.end()) return it->second;
            }
            if (bar == std::string_view::npos) break;
            rest.remove_prefix(bar + 1);
        }
        return platform::FormatInt(code);
    });
}

std::string GetDictTextByCharCode(const std::string& category, const std::string& code) {
    return CharCodeText(category, code);
}

std::string GetDictItems(const std::string& category, const std::string& codes) {
    std::string result;
    std::string_view rest(codes);
    while (!rest.empty()) {
        const std::size_t bar = rest.find('|');
        std::string code(rest.substr(0, bar));
        if (code.empty()) break;
        if (code.size() > 64) code.resize(64);
        if (!result.empty()) result += '|';
        result += code + "," + CharCodeText(category, code);
        if (bar == std::string_view::npos) break;
        rest.remove_prefix(bar + 1);
    }
    return result;
}

std::string GetOrderStateText(int32_t state) { return GetDictText("WTSBJG", state); }
std::string GetOpenCloseText(int32_t code) { return GetDictText("QHKPFX", code); }
std::string GetExchangeComboTypeText(int32_t type) { return GetDictText("JYSZHLX", type); }
std::string GetTransferKindText(const std::string& code) { return CharCodeText("YZWTLB", code); }
std::string GetOrderTypeText(int32_t code) { return GetDictText("DDLX", code); }
std::string GetOpenCloseItems(const std::string& codes) { return GetDictItems("QHKPFX", codes); }

std::string GetOrderKindText(int32_t kind, int32_t flags, int32_t attribute,
                             int32_t minimumVolume) {
    static const char* const kAttributes[] = {"FAK",      "FOK",      "任意价", "任意转限",
                                              "五档市价", "五档转限", "最优价", "最优转限"};
    std::string text = GetDictText("WTDLB", kind);
    if (kind != 0) return text;
    if (flags & (1 << 8)) return "互换指令";
    if (flags & (1 << 4)) return "套利指令";
    if (attribute >= 1 && attribute <= 8) {
        text = kAttributes[attribute - 1];
        if (attribute == 1 && minimumVolume >= 1) text += ":" + platform::FormatInt(minimumVolume);
    }
    return text;
}

void InvalidateDictionaryCache() { g_dictGeneration.fetch_add(1); }

void BuildCurrencyTable() {
    CFixRecord fresh;
    fresh.Create(kCurrencyLayout);
    static const char* const kRows[][2] = {{"RMB", "人民币"}, {"HKD", "港币"}, {"USD", "美元"}};
    for (const auto& row : kRows) {
        const int r = fresh.GetMemRecord()->Append(nullptr, true);
        fresh.Set(511, row[0], r);
        fresh.Set(514, row[1], r);
    }
    ReplaceTableWhole(CurrencyTable, fresh);
}

namespace {

// Appends every answer row of one category request to `rows`, stamped with the category.
void AppendCategory(NoltComm::CFixApiClient* connection, int32_t function,
                    const std::string& category, CFixRecord& rows) {
    auto request = NoltComm::CTradeRequest::Create(connection);
    request->SetFunction(static_cast<uint32_t>(function));
    request->SetString(566, category);
    request->SetLong(9020, 1);
    if (!request->Send()) return;
    while (request->NextRow()) {
        // A refusal row is no entry: stored, it would mark the category loaded and blank.
        if (request->GetLong(507) < 0) continue;
        const int r = request->AppendRowTo(&rows, true);
        rows.Set(566, category, r);
    }
}

bool HasCategory(const std::string& category) {
    return DictionaryTable.Find(566, category.c_str()) >= 0;
}

}  // namespace

void LoadDictionaries(NoltComm::CFixApiClient* connection) {
    BuildCurrencyTable();
    CFixRecord fresh;
    fresh.Create(kDictionaryLayout);
    AppendCategory(connection, 15006, "WTSBJG", fresh);
    AppendCategory(connection, 15006, "YZWTLB", fresh);
    ReplaceTableWhole(DictionaryTable, fresh);
    InvalidateDictionaryCache();
    for (const char* category : {"DDLX", "QHKPFX", "WTDLB"}) LoadDictCategory(connection, category);
}

void LoadDictCategory(NoltComm::CFixApiClient* connection, const std::string& category) {
    if (DictionaryTable.GetFCount() > 0 && HasCategory(category)) return;
    CFixRecord block;
    block.Create(kDictionaryLayout);
    AppendCategory(connection, 16200, category, block);
    if (block.GetCount() == 0) return;
    // Appended as one block under the exclusive lock, so a reader never sees half a category.
    DictionaryTable.acquireLockExclusive();
    if (DictionaryTable.GetFCount() == 0) DictionaryTable.Create(kDictionaryLayout);
    if (!HasCategory(category)) {
        CMemRecord* mem = DictionaryTable.GetMemRecord();
        for (int r = 0; r < block.GetCount(); ++r)
            mem->Append(block.GetMemRecord()->GetData(r), true);
    }
    DictionaryTable.releaseLockExclusive();
    InvalidateDictionaryCache();
}

std::string GetDirectionText(int32_t direction) { return direction == 1 ? "买入" : "卖出"; }
std::string GetDirectionShortText(int32_t direction) { return direction == 1 ? "买   " : "   卖"; }

std::string GetHedgeText(int32_t flag, int32_t pair) {
    if (pair == -1) {
        switch (flag) {
            case 1:
                return "投机-投机";
            case 2:
                return "投机-套保";
            case 3:
                return "套保-套保";
            case 4:
                return "套保-投机";
            default:
                return {};
        }
    }
    return flag == 0 ? "投机" : "套保";
}

std::string GetArbitrageKindText(int32_t kind) { return kind == 1 ? "跨期" : "跨品种"; }

std::string GetTriggerModeText(int32_t mode) {
    if (mode == 0) return "按委托数量全部触发";
    return mode == 1 ? "按最小申报数量触发" : "使用挂单模式触发";
}

std::string GetTriggerStateText(int32_t state) {
    if (state == 0) return "未触发";
    return state == 1 ? "部分触发" : "全部触发";
}

std::string GetTriggerResultText(int32_t result) {
    switch (result) {
        case 0:
            return "正常";
        case 1:
            return "部份成交";
        case 2:
            return "全部成交";
        default:
            return "触发失败";
    }
}

std::string GetLinkedOrderModeText(int32_t mode) {
    static const char* const kModes[] = {"单客户委托", "按基数下单", "按总量下单"};
    return kModes[mode >= 0 && mode <= 2 ? mode : 0];
}

std::string GetNoticeKindText(int32_t kind) {
    switch (kind) {
        case 11:
            return "普通提示";
        case 12:
            return "追保风险率";
        case 13:
            return "强平风险率提示";
        case 14:
            return "多用户登录提示";
        case 15:
            return "重新效验密码";
        case 21:
            return "修改服务项目";
        default:
            return {};
    }
}

std::string GetPriceFieldText(int32_t field) {
    switch (field) {
        case 729:
            return "最新价";
        case 813:
            return "昨结算";
        case 706:
            return "涨停价";
        case 703:
            return "跌停价";
        case 842:
            return "买盘价";
        case 850:
            return "卖盘价";
        case 587:
            return "开盘价";
        default:
            return {};
    }
}

namespace {
// The first character of a hot-key setting, or the default.
char HotKeyChar(const char* key, char def) {
    const std::string value = pavlet::ReadPrivateConfigure("HOTKEY", key, "");
    return value.empty() ? def : value[0];
}
}  // namespace

std::string GetBuySellItems() {
    return std::string("1,") + HotKeyChar("MMLB1", '1') + "|2," + HotKeyChar("MMLB2", '2');
}

std::string GetTradeKindItems() {
    return std::string("1,") + HotKeyChar("JYLB1", '1') + "|2," + HotKeyChar("JYLB2", '2') + "|4," +
           HotKeyChar("JYLB4", '4') + "|6," + HotKeyChar("JYLB6", '6') + "|7," +
           HotKeyChar("JYLB7", '7');
}

}  // namespace tradedata
