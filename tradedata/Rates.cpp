// Funds parameters, exchange rates, option inputs, rate rows, client margins, the server clock
// offset and number texts. No request is sent while a table lock is held: what a request needs
// is read under the lock, the request goes out without it, and the answer is written back
// under the exclusive lock.
#include "tradedata/Rates.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/Numbers.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LogLine.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/RunRegisters.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

constexpr int32_t kFunctionParameters = 16344;
constexpr int32_t kFunctionExchangeRates = 15029;
constexpr int32_t kFunctionRiskFreeRate = 15687;
constexpr int32_t kFunctionSystemParameter = 15013;
constexpr int32_t kFunctionServerTime = 150013;
constexpr int32_t kFunctionFuturesRates = 16390;
constexpr int32_t kFunctionOptionRates = 16951;
constexpr int32_t kFunctionClientMargins = 16956;

std::mutex g_parameterMutex;
CalculationParameters g_parameters;
double g_riskFreeRate = 0;
double g_volatility = 0.2;

std::atomic<uint32_t> g_syncDuration{0};
std::atomic<bool> g_ratesPending{false};

constexpr unsigned kRatioFields[] = {1759, 1821, 1823, 1764, 1770};
constexpr unsigned kAmountFields[] = {1760, 1822, 1824, 1765, 1771};

// The option model's logarithm of 1 + x.
double OptionLog(double x) { return std::log1p(x); }

}  // namespace

// ------------------------------------------------------------------ parameters

CalculationParameters GetCalculationParameters() {
    std::lock_guard lock(g_parameterMutex);
    return g_parameters;
}

double GetRiskFreeRate() {
    std::lock_guard lock(g_parameterMutex);
    return g_riskFreeRate;
}

double GetVolatility() {
    std::lock_guard lock(g_parameterMutex);
    return g_volatility;
}

void LoadCalculationParameters(TradeConnection* connection) {
    {
        auto request = CTradeRequest::Create(connection);
        request->SetFunction(kFunctionParameters);
        request->Send();
        while (request->NextRow()) {
            if (request->GetLong(507) < 0) break;
            CalculationParameters p;
            p.value823 = request->GetLong(823);
            p.value9020 = request->GetLong(9020);
            p.value873 = request->GetDouble(873);
            {
                std::lock_guard lock(g_parameterMutex);
                g_parameters = p;
            }
            SetSystemParameterRecord(request->GetString(531));
        }
    }
    {
        // Built aside and swapped in, so readers never see a half-filled table.
        CFixRecord rates;
        rates.Create(kExchangeRateLayout);
        auto request = CTradeRequest::Create(connection);
        request->SetFunction(kFunctionExchangeRates);
        request->SetString(599, "SN");
        request->SetLong(1213, 2);
        request->SetLong(9020, 1);
        request->Send();
        while (request->NextRow()) {
            if (request->GetLong(507) < 0) break;
            request->AppendRowTo(&rates, false);
        }
        ReplaceTableWhole(ExchangeRateTable, rates);
    }
    double rate = 0;
    {
        auto request = CTradeRequest::Create(connection);
        request->SetFunction(kFunctionRiskFreeRate);
        request->SetString(511, "RMB");
        request->SetLong(699, 0);
        request->Send();
        while (request->NextRow()) {
            if (request->GetLong(507) < 0) break;
            rate = request->GetDouble(620);
        }
    }
    if (rate <= 0) {
        double r = platform::Atof(pavlet::ReadPrivateConfigure("OPTIONS", "GZNLL", "0.05"));
        if (r < 1e-6 || r > 1) r = 0.05;
        rate = OptionLog(r);
    }
    rate = std::round(rate * 1e6) / 1e6;
    double sigma = platform::Atof(pavlet::ReadPrivateConfigure("OPTIONS", "sigma", ""));
    if (sigma < 1e-6 || sigma > 10) sigma = 0.2;
    std::lock_guard lock(g_parameterMutex);
    g_riskFreeRate = rate;
    g_volatility = sigma;
}

std::string QuerySystemParameter(TradeConnection* connection, const std::string& branch,
                                 int32_t parameter) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionSystemParameter);
    request->SetString(697, branch);
    request->SetLong(566, parameter);
    request->Send();
    return request->NextRow() ? request->GetString(679) : std::string();
}

// ------------------------------------------------------------------ server time

void SyncServerTime(TradeConnection* connection) {
    const int64_t t0 = GetHighResTickCount() * 10000;
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionServerTime);
    request->SetTimeout(5);
    request->Send();
    if (request->NextRow() && request->GetLong(507) > 0) {
        const int32_t date = request->GetLong(651);
        std::chrono::year_month_day day;
        if (date > 0) {
            day = std::chrono::year{date / 10000} / std::chrono::month(date / 100 % 100) /
                  std::chrono::day(date % 100);
        } else {
            // No date in the answer: the server's time of day on the synchronised date.
            day = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(GetNowTime()));
        }
        const std::string text = request->GetString(1219).substr(0, 127);
        int hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
        const std::size_t c1 = text.find(':');
        hours = std::atoi(text.c_str());
        if (c1 != std::string::npos) {
            minutes = std::atoi(text.c_str() + c1 + 1);
            const std::size_t c2 = text.find(':', c1 + 1);
            if (c2 != std::string::npos) {
                const std::string secondsPart = text.substr(c2 + 1);
                seconds = std::atoi(secondsPart.c_str());
                const std::size_t dot = secondsPart.find('.');
                if (dot != std::string::npos)
                    milliseconds = std::atoi(secondsPart.c_str() + dot + 1) % 1000;
            }
        }
        const bool valid = day.ok() && hours >= 0 && hours < 24 && minutes >= 0 && minutes < 60 &&
                           seconds >= 0 && seconds < 61 && milliseconds >= 0;
        if (valid) {
            const std::chrono::local_seconds wall =
                std::chrono::local_days(day) + std::chrono::hours(hours) +
                std::chrono::minutes(minutes) + std::chrono::seconds(seconds);
            const int64_t f = LocalSecondsToFileTime(wall) + int64_t{milliseconds} * 10000;
            const int64_t t1 = GetHighResTickCount() * 10000;
            // The server stamped its time about half a round trip before the answer arrived,
            // so its clock now reads that much later than the stamp.
            const int64_t offset = f - t1 + (t1 - t0) / 2;
            SetClockBase(offset);
            const int64_t local = LocalFileTimeNow() - t1;
            char line[128];
            std::snprintf(line, sizeof line, "sync datetime difference:%.0f(msec) cost:%.0f(msec)",
                          static_cast<double>(local - offset) / 10000.0,
                          static_cast<double>(t1 - t0) / 10000.0);
            shell::WriteLogLine(line);
        }
    }
    request.reset();
    g_syncDuration.store(static_cast<uint32_t>(GetHighResTickCount() - t0 / 10000));
}

void ResetServerTimeOffset() { SetClockBase(LocalFileTimeNow() - GetHighResTickCount() * 10000); }

void ResyncServerTime(TradeConnection* connection) {
    ResetServerTimeOffset();
    SyncServerTime(connection);
}

uint32_t GetTimeSyncDuration() { return g_syncDuration.load(); }
void SetTimeSyncDuration(uint32_t milliseconds) { g_syncDuration.store(milliseconds); }

std::string GetSyncTimeText() {
    const SystemTime t = GetCurrentSystemTime();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour % 100, t.minute % 100,
                  t.second % 100, t.milliseconds % 1000);
    return text;
}

// ------------------------------------------------------------------ rate rows

std::string FormatRateKey(const std::string& khh, const std::string& exchange,
                          const std::string& code, int32_t hedge) {
    return khh + "|" + exchange + "|" + code + "|" + platform::FormatInt(hedge);
}

int LookupRateRow(const std::string& khh, const std::string& exchange, const std::string& code,
                  int32_t hedge) {
    if (RateTable.GetFCount() == 0) return -1;
    return RateTable.Find(763, FormatRateKey(khh, exchange, code, hedge).c_str());
}

int FindRateRow(const std::string& khh, const std::string& exchange, const std::string& code,
                int32_t hedge) {
    const std::string key = FormatRateKey(khh, exchange, code, hedge);
    RateTable.acquireLockExclusive();
    if (RateTable.GetFCount() == 0) RateTable.Create(kRateLayout);
    int row = RateTable.Find(763, key.c_str());
    if (row < 0) {
        CMemRecord* mem = RateTable.GetMemRecord();
        row = mem->InsertKey(mem->FindIndex(763u), key.c_str(), true);
        RateTable.Set(605, khh, row);
        RateTable.Set(599, exchange, row);
        RateTable.Set(719, code, row);
        RateTable.Set(1717, hedge, row);
        g_ratesPending.store(true);
    }
    RateTable.releaseLockExclusive();
    LoadPendingRates(GetTradingConnection());
    return LookupRateRow(khh, exchange, code, hedge);
}

bool LoadPendingRates(TradeConnection* connection) {
    if (!g_ratesPending.load()) return false;
    struct Pending {
        std::string key, khh, exchange, code, underlying;
        int32_t hedge = 0;
        bool option = false;
    };
    Pending pending;
    bool found = false, marked = false;
    RateTable.acquireLockExclusive();
    const int count = RateTable.GetCount();
    for (int r = 0; r < count && !found; ++r) {
        const int32_t flags = RateTable.GetLong(644, r);
        if (flags & kRateLoaded) continue;
        const std::string code = RateTable.Get(719, r);
        int32_t kind = 0;
        if (FindContractKind(code.c_str(), &kind) < 0) {
            // Unknown contract: answered with zero rates, so no one waits for it.
            RateTable.Set(644, flags | kRateLoaded, r);
            marked = true;
            continue;
        }
        pending.key = RateTable.Get(763, r);
        pending.khh = RateTable.Get(605, r);
        pending.exchange = RateTable.Get(599, r);
        pending.code = code;
        pending.hedge = RateTable.GetLong(1717, r);
        pending.option = kind == kOptionKind;
        if (pending.option) {
            const int option = FindOptionContract(code.c_str());
            pending.underlying = option >= 0 ? OptionContractTable.Get(719, option) : "";
        }
        found = true;
    }
    if (!found) g_ratesPending.store(false);
    RateTable.releaseLockExclusive();
    if (!found) return marked;

    auto request = CTradeRequest::Create(connection);
    request->SetFunction(pending.option ? kFunctionOptionRates : kFunctionFuturesRates);
    request->SetString(605, pending.khh);
    request->SetString(599, pending.exchange);
    if (pending.option) {
        request->SetString(719, pending.underlying);
        request->SetString(9100, pending.code);
    } else {
        request->SetString(719, pending.code);
    }
    request->SetLong(1717, pending.hedge);
    request->Send();
    double values[10] = {};
    const unsigned* fields[2] = {kRatioFields, kAmountFields};
    while (request->NextRow()) {
        if (request->GetLong(507) < 0) continue;
        for (int kind = 0; kind < 2; ++kind)
            for (int i = 0; i < 5; ++i) {
                const auto tag = static_cast<int32_t>(fields[kind][i]);
                if (request->HasField(tag)) values[kind * 5 + i] = request->GetDouble(tag);
            }
    }
    request.reset();
    // The server's "not set" values count as no rate.
    for (int i = 0; i < 5; ++i) {
        if (values[i] >= 99.0) values[i] = 0;
        if (values[5 + i] >= 999999.0) values[5 + i] = 0;
    }
    RateTable.acquireLockExclusive();
    const int row = RateTable.Find(763, pending.key.c_str());
    if (row >= 0) {
        for (int i = 0; i < 5; ++i) {
            RateTable.Set(kRatioFields[i], values[i], row);
            RateTable.Set(kAmountFields[i], values[5 + i], row);
        }
        RateTable.Set(644, RateTable.GetLong(644, row) | kRateLoaded, row);
    }
    RateTable.releaseLockExclusive();
    return true;
}

double GetMarginRatio(TradeConnection* connection, const std::string& khh,
                      const std::string& exchange, const std::string& code, int32_t hedge) {
    FindRateRow(khh, exchange, code, hedge);
    const int64_t timeout = NoltComm::CTradeRequest::kDefaultTimeoutMs;
    const int64_t deadline = GetHighResTickCount() + timeout;
    // Bounded twice: by the program clock and by the number of pauses.
    for (int64_t pauses = 0;; ++pauses) {
        RateTable.acquireLockShared();
        const int row = LookupRateRow(khh, exchange, code, hedge);
        const double ratio = row >= 0 ? RateTable.GetDouble(1759, row) : 0.0;
        const bool loaded = row >= 0 && (RateTable.GetLong(644, row) & kRateLoaded);
        RateTable.releaseLockShared();
        if (loaded || pauses * 100 >= timeout || GetHighResTickCount() >= deadline) return ratio;
        // Another row may stand before ours in the queue: load the next one here.
        if (!LoadPendingRates(connection))
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void LoadClientMargins(TradeConnection* connection, const std::string& khh,
                       const std::string& exchange, const std::string& tradingCode,
                       const char* product) {
    CFixRecord answers;
    answers.Create(kClientMarginLayout);
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionClientMargins);
    request->SetString(605, khh);
    request->SetString(599, exchange);
    request->SetString(1716, tradingCode);
    if (product != nullptr) request->SetString(720, product);
    request->Send();
    while (request->NextRow())
        if (request->GetLong(507) >= 0 && !request->GetString(720).empty())
            request->AppendRowTo(&answers, false);
    request.reset();
    ClientMarginTable.acquireLockExclusive();
    if (ClientMarginTable.GetFCount() == 0) ClientMarginTable.Create(kClientMarginLayout);
    CMemRecord* mem = ClientMarginTable.GetMemRecord();
    const int keyField = mem->FindIndex(763u);
    for (int r = 0; r < answers.GetCount(); ++r) {
        const std::string key =
            khh + "|" + exchange + "|" + tradingCode + "|" + answers.Get(720, r);
        const int row = mem->InsertKey(keyField, key.c_str(), true);
        if (row < 0) continue;
        ClientMarginTable.Update(&answers, r, row);
        ClientMarginTable.Set(763, key, row);
        ClientMarginTable.Set(605, khh, row);
        ClientMarginTable.Set(599, exchange, row);
        ClientMarginTable.Set(1716, tradingCode, row);
    }
    ClientMarginTable.releaseLockExclusive();
}

// ------------------------------------------------------------------ number texts

std::string FormatDouble(double value, int decimals) {
    std::string out;
    FormatString(out, "%.*f", std::clamp(decimals, 0, 16), value);
    return out;
}

std::string FormatSignedNumber(double value, int decimals, bool showSign) {
    const int n = std::clamp(decimals, 0, 16);
    std::string out;
    if (showSign && value != 0)
        FormatString(out, "%+.*f", n, value);
    else
        FormatString(out, "%.*f", n, showSign ? value : std::fabs(value));
    return out;
}

double RoundToTickDecimals(double value, double tick) {
    if (!(tick > 0) || !std::isfinite(tick)) return value;
    return platform::Atof(
        FormatDouble(std::floor(value / tick + 0.5) * tick, GetTickDecimals(tick)));
}

std::string FormatValueWithCount(double value, int decimals, int count, int width) {
    const std::string v = FormatDouble(value, decimals);
    const std::string c = platform::FormatInt(count);
    const int used = static_cast<int>(v.size() + c.size());
    if (used < width) return v + std::string(static_cast<std::size_t>(width - used), ' ') + c;
    return v + "/" + c;
}

}  // namespace tradedata
