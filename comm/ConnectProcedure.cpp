// The connection procedure of the trading and quote connections, and the proxy settings it is
// given.
#include "comm/ConnectProcedure.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "comm/MachineInfo.h"
#include "comm/ProxyHandshake.h"
#include "comm/ServerEntry.h"
#include "comm/TradeConnection.h"
#include "platform/core/Encoding.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "record/StringHelpers.h"
#include "shell/services/LogLine.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"

namespace NoltComm {

namespace {

constexpr std::size_t kProxyTextBudget = 31;

bool IsProxyType(int32_t type) {
    return type == kProxySocks4 || type == kProxySocks5 || type == kProxyHttp;
}

std::string ProxyText(std::string_view text) {
    return std::string(text.substr(0, platform::CutToGbkBudget(text, kProxyTextBudget)));
}

// A NUL-terminated GBK field of a binary record as UTF-8.
std::string RecordText(const char* field, std::size_t size) {
    return platform::GbkToUtf8(std::string_view(field, strnlen(field, size)));
}

// The working form of an address text: every '@' and ':' becomes ','.
std::string CommaForm(std::string text) {
    std::replace(text.begin(), text.end(), '@', ',');
    std::replace(text.begin(), text.end(), ':', ',');
    return text;
}

std::vector<std::string> SplitItems(std::string_view list) {
    std::vector<std::string> items;
    for (;;) {
        const std::size_t semicolon = list.find(';');
        items.emplace_back(list.substr(0, semicolon));
        if (semicolon == std::string_view::npos) return items;
        list.remove_prefix(semicolon + 1);
    }
}

std::string JoinItems(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ";") + item;
    return list;
}

// "address@port/protocol" of a working item; the item itself when it does not parse.
std::string AtForm(const std::string& item) {
    std::string address, protocol;
    int32_t port = 0;
    if (!ParseServerAddress(item, &address, &port, &protocol)) return item;
    return FormatServerAddress(address, port, protocol);
}

void Trace(const std::string& text) {
    if (shell::GetLogOptions() & shell::kLogConnectionLines) shell::WriteLogLine(text);
}

// The cluster list the start server reports: its addresses (working form) replace the items
// and the first least loaded one becomes the start. False when nothing usable came back.
bool ApplyServerLoads(CTradeConnection& connection, std::vector<std::string>* items, int* start) {
    const std::string& first = (*items)[static_cast<std::size_t>(*start)];
    if (first.empty()) return false;  // the client would take an address of its own list
    std::vector<std::string> names;
    std::vector<int32_t> loads;
    if (!connection.QueryServerList(first, names, loads) || names.empty() ||
        names.size() != loads.size())
        return false;
    std::vector<std::string> answered;
    int best = 0;
    int32_t bestLoad = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string address = names[i];
        for (char& c : address) c = platform::AsciiToLower(c);
        address = CommaForm(std::move(address));
        if (address.empty()) continue;
        if (answered.empty() || loads[i] < bestLoad) {
            best = static_cast<int>(answered.size());
            bestLoad = loads[i];
        }
        answered.push_back(std::move(address));
    }
    if (answered.empty()) return false;
    *items = std::move(answered);
    *start = best;
    return true;
}

bool TryItem(CTradeConnection& connection, const std::string& item, std::string* reached,
             std::string* errorText) {
    if (item.empty()) return false;
    Trace("try connnect to " + item);
    if (connection.Connect(item)) {
        *reached = item;
        Trace("connnect successed");
        return true;
    }
    *errorText = connection.GetErrorText();
    Trace("connnect failed");
    return false;
}

// The start item, then the others in list order: the index of the one that connected, or -1.
int TryItems(CTradeConnection& connection, const std::vector<std::string>& items, int start,
             std::string* reached, std::string* errorText) {
    if (start >= 0 &&
        TryItem(connection, items[static_cast<std::size_t>(start)], reached, errorText))
        return start;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (static_cast<int>(i) == start) continue;
        if (TryItem(connection, items[i], reached, errorText)) return static_cast<int>(i);
    }
    return -1;
}

// Built once and given to every connection made here.
std::mutex g_stationMutex;
std::string g_stationText;

void ApplyStationText(CTradeConnection& connection) {
    std::lock_guard lock(g_stationMutex);
    if (g_stationText.empty()) {
        std::string adapter;
        GetConnectionMacAddress(connection, &adapter);
        g_stationText = connection.GetStationInfo() + " " + adapter;
    }
    connection.SetStationInfo(g_stationText);
}

}  // namespace

bool LoadProxySettings(std::string_view section, ProxyConfig* out) {
    *out = ProxyConfig();
    const int type = shell::GetLocalizeInt(section, "PROXYTYPE", 0);
    if (IsProxyType(type)) {
        out->type = type;
        out->host = ProxyText(shell::GetLocalizeString(section, "PROXYADDR"));
        out->port = shell::GetLocalizeInt(section, "PROXYPORT", 0);
        out->user = ProxyText(shell::GetLocalizeString(section, "PROXYUSER"));
        out->password = ProxyText(shell::GetLocalizeString(section, "PROXYPWD"));
        return true;
    }
    const std::string profile = pavlet::GetProfileName();
    if (profile.empty()) return false;
    for (const std::string& key : platform::ReadProfileKeyNames(profile, section)) {
        if (platform::EqualsNoCaseAscii(key, "PROXYTYPE")) return true;
    }
    LegacyProxyRecord record{};
    if (!platform::ReadProfileStruct(profile, section, "PROXY", &record, sizeof record))
        return false;
    out->host = RecordText(record.host, sizeof record.host);
    out->type = record.type;
    out->port = record.port;
    out->user = RecordText(record.user, sizeof record.user);
    out->password = RecordText(record.password, sizeof record.password);
    return true;
}

int ChooseStartIndex(std::string_view list, std::string_view current, uint32_t draw) {
    int start = pavlet::FindSubString(list, ';', current);
    const auto count = static_cast<uint32_t>(std::count(list.begin(), list.end(), ';') + 1);
    if (start < 0 && count >= 2) start = static_cast<int>(draw % count);
    return std::max(start, 0);
}

uint32_t DrawRandom() {
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard lock(mutex);
    return static_cast<uint32_t>(generator());
}

int ConnectTradeServer(std::unique_ptr<CTradeConnection>* connection, std::string* addressList,
                       std::string* currentAddress, std::string* errorText, bool loadQuery,
                       const ProxyConfig* proxy, const ConnectionRecord* record) {
    if (!*connection) {
        auto made = std::make_unique<CTradeConnection>();
        if (proxy != nullptr && IsProxyType(proxy->type) && !proxy->host.empty() &&
            proxy->port >= 1)
            made->SetProxy(proxy->type, proxy->host, proxy->port, proxy->user, proxy->password);
        made->SetAuthAlgorithm("Std");
        made->SetHeadValue1("3");
        made->SetProgramName("Kelmon");
        made->SetVersionText("2.0");
        if (record != nullptr && record->linkMode >= 1) {
            made->SetLinkMode(record->linkMode);
            made->SetAuthTexts(record->firstAuthText, record->secondAuthText);
        }

        const std::string passedList = *addressList;
        const std::string workingList = CommaForm(passedList);
        std::vector<std::string> items = SplitItems(workingList);
        int start = ChooseStartIndex(workingList, CommaForm(*currentAddress), DrawRandom());
        bool balanced = false;
        if (loadQuery && (shell::GetCommOptions() & shell::kCommEqualization) &&
            ApplyServerLoads(*made, &items, &start)) {
            balanced = true;
            std::vector<std::string> rewritten;
            for (const std::string& item : items) rewritten.push_back(AtForm(item));
            *addressList = JoinItems(rewritten);
        }

        std::string reached;
        int index = TryItems(*made, items, start, &reached, errorText);
        if (index < 0 && balanced) {
            // The cluster's addresses may not be reachable from here (a private network
            // behind the start server): fall back to the servers the caller knows.
            *addressList = passedList;
            items = SplitItems(workingList);
            index = TryItems(*made, items, -1, &reached, errorText);
        }
        if (index < 0) {
            made->Close();
            return 0;
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (static_cast<int>(i) != index && !items[i].empty()) made->AddServerAddress(items[i]);
        }
        *currentAddress = AtForm(reached);
        made->SetAutoReconnect(true);
        const std::string branch = pavlet::ReadConfigure("SYSTEM", "YYBBM", "0");
        made->SetHeadValue5(branch);
        made->SetHeadValue6(branch);
        made->SetHeadValue3(pavlet::ReadConfigure("SYSTEM", "WTFSBM", "IN"));
        made->SetHeadValue2(pavlet::ReadConfigure("SYSTEM", "WTGY", "0"));
        ApplyStationText(*made);
        *connection = std::move(made);
    }
    return *connection && !(*connection)->IsClosed() ? 1 : 0;
}

}  // namespace NoltComm
