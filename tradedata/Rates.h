// Numbers the client's own calculations take from the server or the settings: the funds
// parameters, exchange rates, the option risk-free rate and volatility, margin and fee rates
// per customer and contract, client margins, the server clock offset, and number texts.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {
class CFixApiClient;
}

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

// ---- funds parameters, exchange rates, option pricing inputs ----
struct CalculationParameters {
    int32_t value823 = 0;
    int32_t value9020 = 0;
    double value873 = 0;
};
CalculationParameters GetCalculationParameters();
double GetRiskFreeRate();  // continuously compounded, 6 decimals
double GetVolatility();
void LoadCalculationParameters(TradeConnection* connection);
// Text 679 of the first answer row of 15013; empty when none.
std::string QuerySystemParameter(TradeConnection* connection, const std::string& branch,
                                 int32_t parameter);

// ---- server time ----
// Sets the clock base from the server's time (150013), allowing for the half round trip the
// answer spent on the way back; a failed request keeps the base. The round trip is kept.
void SyncServerTime(TradeConnection* connection);
// Server time := the PC's local time.
void ResetServerTimeOffset();
void ResyncServerTime(TradeConnection* connection);
uint32_t GetTimeSyncDuration();
// The keep-alive stores its round trips here as well.
void SetTimeSyncDuration(uint32_t milliseconds);
std::string GetSyncTimeText();

// ---- margin and fee rates (RateTable) ----
inline constexpr int32_t kRateLoaded = 0x8;
std::string FormatRateKey(const std::string& khh, const std::string& exchange,
                          const std::string& code, int32_t hedge);
// Row of the key, created (and loaded at once when the server answers) when missing.
int FindRateRow(const std::string& khh, const std::string& exchange, const std::string& code,
                int32_t hedge);
int LookupRateRow(const std::string& khh, const std::string& exchange, const std::string& code,
                  int32_t hedge);
// Loads one pending row; rows of unknown contracts are marked loaded with zero rates. True
// when a row was marked loaded.
bool LoadPendingRates(TradeConnection* connection);
// Margin ratio 1759 of the row, waiting at most the request time-out for it to load.
double GetMarginRatio(TradeConnection* connection, const std::string& khh,
                      const std::string& exchange, const std::string& code, int32_t hedge);
// Client margins per trading code and product (16956); product may be null.
void LoadClientMargins(TradeConnection* connection, const std::string& khh,
                       const std::string& exchange, const std::string& tradingCode,
                       const char* product);

// ---- number texts ----
std::string FormatDouble(double value, int decimals);
std::string FormatSignedNumber(double value, int decimals, bool showSign);
// The value on the tick's grid with the tick's decimals; the value itself for a tick <= 0.
double RoundToTickDecimals(double value, double tick);
std::string FormatValueWithCount(double value, int decimals, int count, int width);

}  // namespace tradedata
