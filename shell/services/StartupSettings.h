// The program-wide settings words read at start-up (log switches, communication switches,
// order-way code, banner, option pricing defaults) and the words the login and the workplace
// set later; every one of them is safe to read from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace shell {

// `LogOptions` bits.
inline constexpr uint32_t kLogSuccessfulOrders = 0x1;
inline constexpr uint32_t kLogSuccessfulCancels = 0x2;
inline constexpr uint32_t kLogConnectionLines = 0x20;  // always set: start, stop, login, connects
inline constexpr uint32_t kLogPacketTraces = 0x40;

// `CommOptions` bits.
inline constexpr uint32_t kCommEncipher = 0x1;
inline constexpr uint32_t kCommEqualization = 0x2;

// `AppStateFlags` bits that start-up itself sets or clears.
inline constexpr uint32_t kAppStateCheckStamp = 0x100;

// Client settings word bits.
inline constexpr uint32_t kClientAlertSounds = 0x10;
inline constexpr uint32_t kClientEmptyLoginBinding = 0x80;
inline constexpr uint32_t kClientSendMachineInfo = 0x100;

// The program's name, used when "BANNER" is empty.
inline constexpr std::string_view kProgramName = "Velmora交易终端";

// Reads the start-up switches of section "SYSTEM" of the installation profile: "WTFS",
// "TradeLog" (with kLogConnectionLines always added), "LogLevel", "BANNER",
// "EncipherCommInfo", "EnableEqualization", "CheckStamp" (through "localize.ini" first),
// "OptionPriceModel" and "BinomialSteps". Every loaded value is replaced, so a second call
// reads the profile afresh.
void LoadStartupSettings();

// Order-way code ("WTFS", default 32, not clamped).
int32_t GetOrderWayCode();
// `LogOptions` ("TradeLog" | 0x20).
uint32_t GetLogOptions();
// Log level ("LogLevel", default 0); non-zero turns on the trade-logger lines.
int32_t GetLogLevel();
// `CommOptions`.
uint32_t GetCommOptions();
// "BANNER", or kProgramName when it is empty.
std::string GetBannerText();
// Option pricing defaults: "OptionPriceModel" (default 1, 1..2) and "BinomialSteps" (default
// 250, 2..4096).
int32_t GetOptionPriceModel();
int32_t GetBinomialSteps();

// `AppStateFlags`: the whole word, and bits set or cleared at once; both return the word as it
// stood before.
uint32_t GetAppStateFlags();
uint32_t SetAppStateFlags(uint32_t bits);
uint32_t ClearAppStateFlags(uint32_t bits);

// Client settings word (alert sounds, login binding, machine description).
uint32_t GetClientSettings();
void SetClientSettings(uint32_t word);

// Display and trading settings word (`DisplayOptions`: position query fields, window title,
// bars and layouts). The standard panel rebuilds it from the settings; single bits are changed
// with one atomic step each, since other threads read it meanwhile. Set/Clear return the word
// as it stood before.
uint32_t GetDisplaySettings();
void SetDisplaySettings(uint32_t word);
uint32_t SetDisplaySettingsBits(uint32_t bits);
uint32_t ClearDisplaySettingsBits(uint32_t bits);

// `OrderEntryOptions`: the order-entry switches of the standard panel's settings.
uint32_t GetOrderEntryOptions();
void SetOrderEntryOptions(uint32_t word);

// `RowsPerRequest`: rows asked for per page of a paged query (20 until the settings are read).
int32_t GetRowsPerRequest();
void SetRowsPerRequest(int32_t rows);

// `QuoteSourceState` bits of the user's chosen quote source (one of them at a time).
inline constexpr uint32_t kQuoteSourceAutomatic = 0x8000;
inline constexpr uint32_t kQuoteSourceSubscription = 0x10000;
inline constexpr uint32_t kQuoteSourceBroadcast = 0x20000;
inline constexpr uint32_t kQuoteSourceLevel2 = 0x40000;
inline constexpr uint32_t kQuoteSourceChoiceMask = 0x78000;
// `QuoteSourceState`: the quote threads only ever set bits; the settings replace the choice.
// Set/Clear return the word as it stood before.
uint32_t GetQuoteSourceState();
uint32_t SetQuoteSourceState(uint32_t bits);
uint32_t ClearQuoteSourceState(uint32_t bits);
// Replaces the bits under `mask` with `bits` in one atomic step, so no reader sees no choice
// or two at once.
void ReplaceQuoteSourceState(uint32_t mask, uint32_t bits);

// Seconds of adjustment of the exchanges' trading-time test (installation "ZddAdjust").
int32_t GetTradingTimeAdjust();
void SetTradingTimeAdjust(int32_t seconds);

// Station address text, kept at login; returned as a copy.
std::string GetStationAddress();
void SetStationAddress(std::string_view text);

}  // namespace shell
