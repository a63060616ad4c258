// Trading sections and the night session of an exchange, the trading date, the exchange's
// clock and the market-order and price-limit rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tradedata/ProgramClock.h"

namespace tradedata {

// Sections as "HH:MM-HH:MM;..." from the settings, the exchange row or the built-in default of
// the exchange (cached in the exchange row); empty for an unknown exchange.
std::string GetTradingSections(const std::string& exchange, const char* contract);
// Whether hhmmss (hour*10000+minute*100+second) lies in one of the "HH:MM-HH:MM;..." sections,
// ends included; a section whose end is before its start runs over midnight, and a section
// without a dash is skipped.
bool TimeInSections(int32_t hhmmss, std::string_view sections);
// Night-session start as HHMMSS; -1 when none.
int32_t GetNightSessionStart(const std::string& exchange);
// The synchronised clock minus the exchange's offset XZSJ (983, seconds within -3600..3600).
SystemTime GetExchangeTimeByCode(const std::string& exchange);
// The same for a row of the exchange table (no offset for a row that does not exist).
SystemTime GetExchangeTime(int exchangeRow);
// The exchange's time; from the night-session start on moved to the next Monday-to-Friday
// date, and a Saturday or Sunday moved to Monday, with the time of day kept.
SystemTime GetTradingDate(const std::string& exchange);
bool IsMarketOrderDisabled(const char* code);
// True when lower <= price <= upper, and whenever upper <= lower (limits unknown).
bool IsPriceWithinLimits(double price, double upper, double lower);

}  // namespace tradedata
