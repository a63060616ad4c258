// Trading sections, night session, trading date and market-order rules.
#include "tradedata/TradingTime.h"

#include "platform/core/Numbers.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramHelpers.h"

namespace tradedata {
namespace {

std::string DefaultSections(const std::string& exchange) {
    if (exchange == "ZJ") return "09:15-11:30;13:00-15:15";
    if (exchange == "DL") return "9:00-10:15;10:30-11:30;13:30-15:00;21:00-23:30";
    if (exchange == "SQ") return "9:00-10:15;10:30-11:30;13:30-15:00;21:00-02:30";
    if (exchange == "SN" || exchange == "ZZ") return "9:00-10:15;10:30-11:30;13:30-15:00";
    return "9:00-11:30;13:30-15:00";
}

int32_t ParseValidTime(const std::string& text) {
    const int32_t value = ParseTimeValue(text);
    return value > 0 && value < 240000 ? value : -1;
}

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerDay = 86'400 * kTicksPerSecond;

// The synchronised clock minus the offset of the exchange row (none for a row that is gone:
// the table may have been replaced since the caller found it).
int64_t ExchangeFileTimeAt(int row) {
    int64_t now = GetClockBase() + 10'000 * GetHighResTickCount();
    if (row >= 0) {
        ExchangeTable.acquireLockShared();
        const int64_t offset = row < ExchangeTable.GetCount() ? ExchangeTable.GetLong(983, row) : 0;
        ExchangeTable.releaseLockShared();
        if (offset >= -3600 && offset <= 3600) now -= offset * kTicksPerSecond;
    }
    return now;
}

int64_t ExchangeFileTime(const std::string& exchange) {
    return ExchangeFileTimeAt(ExchangeTable.LocateEx({{599, exchange}}));
}

}  // namespace

std::string GetTradingSections(const std::string& exchange, const char* contract) {
    CFixRecord& x = ExchangeTable;
    const int row = x.Find(599, exchange.c_str());
    if (row < 0) return {};
    std::string productKey, prefixKey;
    if (contract != nullptr) {
        int32_t kind = 0;
        const RowRef ref = FindContractKind(contract, &kind);
        if (ref >= 0 && GetRowString(599, ref) == exchange) {
            const std::string product = GetRowString(720, ref);
            productKey = exchange + "." + product;
            const int productRow = ProductTable.Find(763, (exchange + product).c_str());
            if (productRow >= 0) prefixKey = exchange + "." + ProductTable.Get(566, productRow);
        }
    }
    std::string sections;
    if (!prefixKey.empty()) sections = pavlet::ReadConfigure("JYSJ", prefixKey, "");
    if (sections.empty() && !productKey.empty())
        sections = pavlet::ReadConfigure("JYSJ", productKey, "");
    if (sections.empty()) sections = x.Get(3113, row);
    if (sections.empty()) {
        sections = pavlet::ReadConfigure("JYSJ", exchange, "");
        if (sections.empty()) sections = DefaultSections(exchange);
        x.acquireLockExclusive();
        if (row < x.GetCount() && x.Get(599, row) == exchange) x.Set(3113, sections.c_str(), row);
        x.releaseLockExclusive();
    }
    return sections;
}

int32_t GetNightSessionStart(const std::string& exchange) {
    CFixRecord& x = ExchangeTable;
    const int row = x.Find(599, exchange.c_str());
    int32_t value = -1;
    if (row >= 0) {
        value = x.GetLong(898, row);
        if (value == 0) {
            const std::string text =
                pavlet::ReadConfigure("YSJYSJ", exchange, exchange == "SQ" ? "20:30" : "");
            value = ParseValidTime(text);
            x.acquireLockExclusive();
            if (row < x.GetCount() && x.Get(599, row) == exchange) x.Set(898, value, row);
            x.releaseLockExclusive();
        }
    }
    if (row < 0 || value == -1)
        value = ParseValidTime(pavlet::ReadConfigure("SYSTEM", "YSJYSJ", ""));
    return value;
}

SystemTime GetExchangeTime(int exchangeRow) {
    return FileTimeToSystemTime(ExchangeFileTimeAt(exchangeRow));
}

SystemTime GetExchangeTimeByCode(const std::string& exchange) {
    return FileTimeToSystemTime(ExchangeFileTime(exchange));
}

SystemTime GetTradingDate(const std::string& exchange) {
    int64_t time = ExchangeFileTime(exchange);
    SystemTime t = FileTimeToSystemTime(time);
    const int32_t start = GetNightSessionStart(exchange);
    const bool nightSession = start > 0 && t.hour * 10000 + t.minute * 100 + t.second >= start;
    // A Saturday or Sunday is never a trading date: the small hours of Saturday still belong to
    // Friday's night session, whose trading date is Monday.
    if (nightSession || t.dayOfWeek == 0 || t.dayOfWeek == 6) {
        if (nightSession) {
            time += kTicksPerDay;
            t = FileTimeToSystemTime(time);
        }
        while (t.dayOfWeek == 0 || t.dayOfWeek == 6) {
            time += kTicksPerDay;
            t = FileTimeToSystemTime(time);
        }
    }
    return t;
}

bool IsMarketOrderDisabled(const char* code) {
    if (code == nullptr) return false;
    const std::string full(code);
    if (full.size() < 3) return false;
    const std::string family = full.substr(0, 2);
    const std::string barred =
        pavlet::ReadConfigure("DisableMarketOrder", family, family == "IF" ? "34" : "");
    if (barred.empty()) return false;
    CFixRecord& f = FuturesContractTable;
    f.acquireLockShared();
    const int count = f.GetCount();
    int position = 0, found = 0;
    for (int r = 0; r < count && found == 0; ++r) {
        const std::string candidate = f.Get(719, r);
        if (candidate.compare(0, 2, family) != 0 || candidate.size() < 2) continue;
        ++position;
        if (candidate == full) found = position;
    }
    f.releaseLockShared();
    return found > 0 && barred.find(platform::FormatInt(found)) != std::string::npos;
}

bool IsPriceWithinLimits(double price, double upper, double lower) {
    if (upper <= lower) return true;
    return lower <= price && price <= upper;
}

bool TimeInSections(int32_t hhmmss, std::string_view sections) {
    const auto trim = [](std::string_view text) {
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        return text;
    };
    while (!sections.empty()) {
        const std::size_t semicolon = sections.find(';');
        const std::string_view section = sections.substr(0, semicolon);
        sections = semicolon == std::string_view::npos ? std::string_view{}
                                                       : sections.substr(semicolon + 1);
        const std::size_t dash = section.find('-');
        if (dash == std::string_view::npos) continue;
        const int32_t from = ParseTimeValue(trim(section.substr(0, dash)));
        const int32_t to = ParseTimeValue(trim(section.substr(dash + 1)));
        if (from <= to ? (hhmmss >= from && hhmmss <= to) : (hhmmss >= from || hhmmss <= to))
            return true;
    }
    return false;
}

}  // namespace tradedata
