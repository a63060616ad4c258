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

// Display and trading settings word (position query fields, window title).
uint32_t GetDisplaySettings();
void SetDisplaySettings(uint32_t word);

// Station address text, kept at login; returned as a copy.
std::string GetStationAddress();
void SetStationAddress(std::string_view text);

}  // namespace shell
