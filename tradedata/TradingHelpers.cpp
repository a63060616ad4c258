// The shared trading helpers: order-fill records and workplace texts, title and version,
// trading-card parameters, the pre-placed order store, flex rows, service items, two queries and
// parsing utilities.
#include "tradedata/Scrambler.h"
#include "tradedata/TradingHelpers.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

std::mutex g_senderMutex;
std::shared_ptr<const WindowSender> g_sender;
std::atomic<WindowId> g_quickOrderWindow{0};
std::atomic<WindowId> g_orderEntryWindow{0};
std::atomic<WindowId> g_quoteBoardWindow{0};

std::shared_ptr<const WindowSender> Sender() {
    std::lock_guard lock(g_senderMutex);
    return g_sender;
}

bool IsVisible(const WindowSender& sender, WindowId window) {
    return window != 0 && sender.isVisible && sender.isVisible(window);
}

intptr_t Send(const WindowSender& sender, WindowId window, uint32_t message, uintptr_t wParam,
              intptr_t lParam) {
    if (window == 0 || !sender.send) return 0;
    return sender.send(window, message, wParam, lParam);
}

void PutU32(OrderFillRecord& record, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutDouble(OrderFillRecord& record, std::size_t offset, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) record[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

// The UTF-8 text cut to at most `bytes` bytes, never inside a character.
std::string CutUtf8(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

std::string CutGbk(std::string text, std::size_t budget) {
    text.resize(platform::CutToGbkBudget(text, budget));
    return text;
}

std::string NumberedKey(std::string_view section, int n) {
    return std::string(section) + std::to_string(n);
}

constexpr std::string_view kTradeCardSection = "JYKWTSL";
constexpr std::string_view kPreplacedSection = "YYWT";
constexpr unsigned kTradeCardItems[] = {599, 720, 847, 855, 1798, 1796};

std::mutex g_serviceMutex;
std::vector<ServiceItem>& ServiceItems() {
    static std::vector<ServiceItem> items = {{0x1, "行情触发单", 0},
                                             {0x2, "止损止盈触发单", 0},
                                             {0x4, "成交触发单", 0},
                                             {0x8, "关联委托", 1},
                                             {0x10, "批量委托", 0},
                                             {0x20, "行情关联", 0},
                                             {0x40, "前端银期转帐", 1},
                                             {0x80, "组合套利委托", 0},
                                             {0x200, "交易所套利指令", 0},
                                             {0x800, "交易所互换指令", 0},
                                             {0x4000, "交易所止损止盈指令", 0},
                                             {0x400, "互换交易", 1},
                                             {0x800000, "交易所组合解锁指令", 0}};
    return items;
}

bool ParseUnsigned(std::string_view text, uint32_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

// ------------------------------------------------------------------ windows

void SetWindowSender(WindowSender sender) {
    auto shared = std::make_shared<const WindowSender>(std::move(sender));
    std::lock_guard lock(g_senderMutex);
    g_sender = std::move(shared);
}

void SetQuickOrderWindow(WindowId window) { g_quickOrderWindow.store(window); }
void SetOrderEntryWindow(WindowId window) { g_orderEntryWindow.store(window); }
WindowId GetQuickOrderWindow() { return g_quickOrderWindow.load(); }
WindowId GetOrderEntryWindow() { return g_orderEntryWindow.load(); }
void SetQuoteBoardWindow(WindowId window) { g_quoteBoardWindow.store(window); }
WindowId GetQuoteBoardWindow() { return g_quoteBoardWindow.load(); }

OrderFillRecord BuildOrderFillRecord(const OrderFill& fill) {
    OrderFillRecord record{};
    PutU32(record, 0, 104);
    const std::string code = CutUtf8(fill.code, 31);
    std::memcpy(record.data() + 4, code.data(), code.size());
    PutU32(record, 72, static_cast<uint32_t>(fill.openClose));
    PutU32(record, 76, static_cast<uint32_t>(fill.direction));
    PutU32(record, 80, static_cast<uint32_t>(fill.quantity));
    PutDouble(record, 88, fill.price);
    PutU32(record, 96, static_cast<uint32_t>(fill.priceField));
    PutU32(record, 100, static_cast<uint32_t>(fill.requestKind));
    return record;
}

intptr_t SendOrderFillRequest(bool mayOpen, WindowId sender, const OrderFill& fill) {
    const auto windows = Sender();
    if (!windows) return 0;
    const OrderFillRecord record = BuildOrderFillRecord(fill);
    const CopyData data{kOrderFillDataId, static_cast<uint32_t>(record.size()), record.data()};
    const intptr_t lParam = reinterpret_cast<intptr_t>(&data);
    const WindowId quick = GetQuickOrderWindow();
    if (IsVisible(*windows, quick)) return Send(*windows, quick, kWmCopyData, sender, lParam);
    const WindowId panel = GetOrderEntryWindow();
    if (!mayOpen || panel == 0) return 0;
    if (!IsVisible(*windows, panel)) Send(*windows, GetWorkplaceWindow(), kWmFrameCommand, 62, 1);
    return Send(*windows, panel, kWmCopyData, sender, lParam);
}

intptr_t SendTextToMainWindow(const std::string& text, bool flag) {
    const auto windows = Sender();
    const WindowId workplace = GetWorkplaceWindow();
    if (!windows || !windows->postText || workplace == 0) return 0;
    return windows->postText(workplace, kWmFrameCommand, flag ? 80 : 79, text) ? 1 : 0;
}

// ------------------------------------------------------------------ title, version, profiles

std::string GetProgramVersion() { return shell::GetProgramVersionText(); }

std::string GetWindowTitle() {
    std::string title = pavlet::ReadConfigure("SYSTEM", "TITLE", "");
    if (title.empty()) title = std::string(shell::kProgramName);
    title += " v" + GetProgramVersion();
    const int account = GetCurrentAccountIndex();
    if (AccountTable.GetCount() > 0 && account >= 0) {
        const uint32_t settings = shell::GetDisplaySettings();
        if (settings & 2) title = AccountTable.Get(613, account) + " " + title;
        if (settings & 4) {
            title = AccountTable.Get(605, account) + " " + title;
            title.erase(0, title.find_first_not_of('0'));
        }
    }
    return title;
}

bool HasIniSection(std::string_view section, const std::string& file) {
    for (const std::string& name : platform::ReadProfileSectionNames(file))
        if (platform::EqualsNoCaseAscii(name, section)) return true;
    return false;
}

std::string PrivateProfileFile() {
    std::string file = pavlet::GetPrivateProfileName();
    return file.empty() ? pavlet::GetFilePath(pavlet::GetProfileName()) : file;
}

CodeAliases LoadCodeAliases() {
    CodeAliases result;
    std::string file = PrivateProfileFile();
    if (HasIniSection("CODE", file)) {
        result.helpInfo = pavlet::ReadPrivateConfigure("CODE", "HelpInfo", "");
    } else {
        file = pavlet::GetFilePath(pavlet::GetProfileName());
        result.helpInfo = pavlet::ReadConfigure("CODE", "HelpInfo", "");
    }
    // The section as one 2,048-byte list of NUL-ended lines.
    std::size_t used = 1;
    for (std::string& line : platform::ReadProfileSection(file, "CODE")) {
        used += line.size() + 1;
        if (used > 2048) break;
        result.aliases.push_back(std::move(line));
    }
    return result;
}

// ------------------------------------------------------------------ trading-card parameters

void LoadTradeCardParams() {
    const std::string file = PrivateProfileFile();
    CFixRecord fresh;
    fresh.Create(kTradeCardParamLayout);
    for (int n = 0;; ++n) {
        const std::string record =
            platform::ReadProfileString(file, kTradeCardSection, NumberedKey(kTradeCardSection, n));
        if (record.empty()) break;
        const std::string exchange = pavlet::GetFlexItem(record, 599u);
        const std::string product = pavlet::GetFlexItem(record, 720u);
        ProductTable.acquireLockShared();
        const int productRow = ProductTable.GetFCount() > 0
                                   ? ProductTable.Find(763, (exchange + product).c_str())
                                   : -1;
        const std::string productName = productRow >= 0 ? ProductTable.Get(721, productRow) : "";
        ProductTable.releaseLockShared();
        if (productRow < 0) continue;
        const int row = fresh.GetMemRecord()->Append(nullptr, true);
        fresh.Set(599, exchange, row);
        fresh.Set(720, product, row);
        fresh.Set(601, GetExchangeName(exchange), row);
        fresh.Set(721, productName, row);
        for (const unsigned id : {847u, 855u, 1798u, 1796u})
            fresh.Set(id, pavlet::GetFlexItem(record, id), row);
    }
    ReplaceTableWhole(TradeCardParamTable, fresh);
}

void SaveTradeCardParams() {
    const std::string file = PrivateProfileFile();
    platform::DeleteProfileSection(file, kTradeCardSection);
    TradeCardParamTable.acquireLockShared();
    for (int row = 0; row < TradeCardParamTable.GetCount(); ++row) {
        std::string record;
        for (const unsigned id : kTradeCardItems)
            pavlet::SetFlexItem(record, id, TradeCardParamTable.Get(id, row));
        platform::WriteProfileString(file, kTradeCardSection, NumberedKey(kTradeCardSection, row),
                                     record);
    }
    TradeCardParamTable.releaseLockShared();
}

int32_t GetTradeCardParams(const std::string& contract, bool open, double* takeProfitSpread,
                           double* stopLossSpread) {
    if (takeProfitSpread != nullptr) *takeProfitSpread = 0;
    if (stopLossSpread != nullptr) *stopLossSpread = 0;
    const RowRef ref = FindContract(contract.c_str());
    if (ref < 0) return 0;
    const std::string exchange = GetRowString(599, ref);
    const std::string product = GetRowString(720, ref);
    int32_t quantity = 0;
    TradeCardParamTable.acquireLockShared();
    const int row = TradeCardParamTable.GetFCount() > 0
                        ? TradeCardParamTable.LocateEx({{599, exchange}, {720, product}})
                        : -1;
    if (row >= 0) {
        quantity = TradeCardParamTable.GetLong(open ? 847 : 855, row);
        if (takeProfitSpread != nullptr)
            *takeProfitSpread = TradeCardParamTable.GetDouble(1798, row);
        if (stopLossSpread != nullptr) *stopLossSpread = TradeCardParamTable.GetDouble(1796, row);
    }
    TradeCardParamTable.releaseLockShared();
    return quantity;
}

// ------------------------------------------------------------------ pre-placed order store

int SavePreplacedOrder(const PreplacedOrder& order) {
    const std::string file = PrivateProfileFile();
    int n = 1;
    while (!platform::ReadProfileString(file, kPreplacedSection, NumberedKey(kPreplacedSection, n))
                .empty())
        ++n;
    const SystemTime now = GetCurrentSystemTime();
    std::string record;
    pavlet::SetFlexItem(record, 605u, order.khh);
    pavlet::SetFlexItem(record, 599u, order.exchange);
    pavlet::SetFlexItem(record, 719u, order.contract);
    pavlet::SetFlexItem(record, 1716u, order.tradingCode);
    pavlet::SetFlexItem(record, 684u, order.quantity);
    pavlet::SetFlexItem(record, 682u, order.price);
    pavlet::SetFlexItem(record, 1681u, order.orderType);
    pavlet::SetFlexItem(record, 1717u, order.hedge);
    pavlet::SetFlexItem(record, 1718u, order.openClose);
    pavlet::SetFlexItem(record, 683u, order.direction);
    pavlet::SetFlexItem(record, 7107u, FormatDate(now, 0));
    pavlet::SetFlexItem(record, 750u, FormatTimeOfDay(now));
    platform::WriteProfileString(file, kPreplacedSection, NumberedKey(kPreplacedSection, n),
                                 record);
    return n;
}

// ------------------------------------------------------------------ flex rows

int AppendFlexRows(CFixRecord& table, std::string_view text) {
    CMemRecord* mem = table.GetMemRecord();
    if (mem == nullptr || table.GetFCount() == 0) return 0;
    int appended = 0;
    table.acquireLockExclusive();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\x05', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view record = text.substr(start, end - start);
        if (!record.empty()) {
            const int row = mem->Append(nullptr, true);
            for (int f = 0; f < table.GetFCount(); ++f) {
                const unsigned id = table.GetIndexID(f);
                if (id != 0) table.Set(id, CutGbk(pavlet::GetFlexItem(record, id), 2047), row);
            }
            ++appended;
        }
        start = end + 1;
    }
    table.releaseLockExclusive();
    return appended;
}

std::string TableRowsToFlexText(CFixRecord& table, int first, int last) {
    std::string text;
    table.acquireLockShared();
    const int count = table.GetCount();
    if (first < 0 || first >= count) first = 0;
    if (last < 0 || last >= count) last = count - 1;
    for (int row = first; row <= last; ++row) {
        std::string record;
        for (int f = 0; f < table.GetFCount(); ++f) {
            const unsigned id = table.GetIndexID(f);
            if (id != 0) pavlet::SetFlexItem(record, id, table.Get(id, row));
        }
        if (row > first) text += '\x05';
        text += record;
    }
    table.releaseLockShared();
    return text;
}

void SplitAnswerFieldToRow(CFixRecord& table, int row, CTradeRequest& request, int32_t answerTag,
                           std::span<const unsigned> tags) {
    const std::string text = CutGbk(request.GetString(answerTag), 4095);
    std::vector<std::string> items;
    SplitByChars(text, ",", items);
    table.acquireLockExclusive();
    for (std::size_t i = 0; i < items.size() && i < tags.size() && tags[i] != 0; ++i)
        table.Set(tags[i], items[i], row);
    table.releaseLockExclusive();
}

// ------------------------------------------------------------------ utilities

double GetYearsToExpiry(std::string_view date) {
    std::string digits(date);
    pavlet::strremove(digits, '.');
    if (digits.size() != 8 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    const int value = platform::AtolSat(digits);
    const std::chrono::year_month_day day{
        std::chrono::year(value / 10000),
        std::chrono::month(static_cast<unsigned>(value / 100 % 100)),
        std::chrono::day(static_cast<unsigned>(value % 100))};
    if (!day.ok()) return 0;
    const auto expiry = std::chrono::local_days(day) + std::chrono::hours(15);
    const auto seconds = (expiry - GetNowTime()).count();
    return static_cast<double>(seconds) / 24 / 3600 / 365;
}

int SplitByChars(std::string_view text, std::string_view separators,
                 std::vector<std::string>& out) {
    out.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return static_cast<int>(out.size());
}

bool ParseDateTime(std::string_view text, std::chrono::local_seconds& out) {
    std::vector<std::string> pieces;
    if (SplitByChars(text, "-/.: ", pieces) < 3) return false;
    int values[6] = {0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < pieces.size() && i < 6; ++i) {
        if (pieces[i].find_first_not_of("0123456789") != std::string::npos) return false;
        values[i] = platform::AtolSat(pieces[i]);
    }
    // The calendar range of the time type the windows show.
    if (values[0] < 1970 || values[0] > 3000) return false;
    const std::chrono::year_month_day day{std::chrono::year(values[0]),
                                          std::chrono::month(static_cast<unsigned>(values[1])),
                                          std::chrono::day(static_cast<unsigned>(values[2]))};
    if (!day.ok() || values[3] > 23 || values[4] > 59 || values[5] > 59) return false;
    out = std::chrono::local_days(day) + std::chrono::hours(values[3]) +
          std::chrono::minutes(values[4]) + std::chrono::seconds(values[5]);
    return true;
}

std::string GetWeekdayName(int day) {
    static constexpr const char* kNames[] = {"星期天", "星期一", "星期二", "星期三",
                                             "星期四", "星期五", "星期六"};
    return day >= 0 && day < 7 ? kNames[day] : "";
}

std::vector<int32_t> LoadInputOrderSettings(std::span<const int32_t> allowed) {
    std::vector<int32_t> order;
    std::vector<std::string> items;
    SplitByChars(pavlet::ReadPrivateConfigure("QHWT", "INPUTORDER", ""), ",;", items);
    for (const std::string& item : items) {
        const int32_t id = platform::AtolSat(item);
        if (std::find(allowed.begin(), allowed.end(), id) != allowed.end() &&
            std::find(order.begin(), order.end(), id) == order.end())
            order.push_back(id);
    }
    for (const int32_t id : allowed)
        if (std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
    return order;
}

int FindBankRow(const std::string& bank, const std::string& currency) {
    if (BankTable.GetFCount() == 0) return -1;
    return BankTable.LocateEx({{692, bank}, {511, currency}});
}

// ------------------------------------------------------------------ service items

std::vector<ServiceItem> GetServiceItems() {
    std::lock_guard lock(g_serviceMutex);
    return ServiceItems();
}

ServiceItem FindServiceItem(uint32_t bit) {
    std::lock_guard lock(g_serviceMutex);
    for (const ServiceItem& item : ServiceItems())
        if (item.bit == bit && bit != 0) return item;
    return {};
}

void ApplyServiceOrder() {
    std::string setting = pavlet::ReadPrivateConfigure("SYSTEM", "ServiceOrder", "");
    setting.resize(std::min<std::size_t>(setting.size(), 255));
    std::vector<std::string> items;
    SplitByChars(setting, ",", items);
    std::lock_guard lock(g_serviceMutex);
    std::vector<ServiceItem>& table = ServiceItems();
    std::vector<ServiceItem> front;
    for (std::string& item : items) {
        uint32_t bit = 0;
        if (!ParseUnsigned(pavlet::alltrim(item), bit)) continue;
        auto it = std::find_if(table.begin(), table.end(),
                               [bit](const ServiceItem& s) { return s.bit == bit; });
        if (it == table.end()) continue;
        front.push_back(std::move(*it));
        table.erase(it);
    }
    table.insert(table.begin(), std::make_move_iterator(front.begin()),
                 std::make_move_iterator(front.end()));
}

// ------------------------------------------------------------------ requests

int32_t VerifyClientPassword(TradeConnection* connection, const std::string& khh,
                             const std::string& password, std::string* text,
                             std::string* clientOut) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(13002);
    request->SetString(605, khh);
    request->SetBytes(598, XorScrambleUtf8(password));
    request->SetLong(781, 2);
    if (shell::GetClientSettings() & shell::kClientSendMachineInfo)
        request->SetString(1062, GetMachineDescription());
    int32_t result = -1;
    if (request->Send() && request->NextRow()) {
        result = request->GetLong(507);
        if (clientOut != nullptr) *clientOut = request->GetString(605);
    }
    if (text != nullptr) *text = request->GetErrorText();
    return result;
}

std::string QuerySettlementText(TradeConnection* connection, const std::string& khh,
                                const std::string& value618, const std::string& date) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(16169);
    request->SetString(605, khh);
    request->SetString(618, value618);
    request->SetString(1831, date);
    std::string text;
    if (!request->Send()) return text;
    while (request->NextRow()) {
        if (request->GetLong(507) < 0) break;
        std::string row = request->GetString(1777);
        for (std::size_t at = row.find("\\r\\n"); at != std::string::npos;
             at = row.find("\\r\\n", at + 1))
            row.replace(at, 4, "\r\n");
        text += row;
        text += "\r\n";
    }
    return text;
}

}  // namespace tradedata
