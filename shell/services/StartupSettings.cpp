// The start-up settings words: atomic words for the numbers and bit sets, a lock for the texts.
#include "shell/services/StartupSettings.h"

#include <atomic>
#include <mutex>

#include "record/Configure.h"
#include "shell/services/SettingsWriters.h"

namespace shell {
namespace {

constexpr std::string_view kSection = "SYSTEM";

std::atomic<int32_t> orderWayCode{32};
std::atomic<uint32_t> logOptions{kLogConnectionLines};
std::atomic<int32_t> logLevel{0};
std::atomic<uint32_t> commOptions{kCommEncipher};
std::atomic<int32_t> optionPriceModel{1};
std::atomic<int32_t> binomialSteps{250};
std::atomic<uint32_t> appStateFlags{0};
std::atomic<uint32_t> clientSettings{0};
std::atomic<uint32_t> displaySettings{0};
std::atomic<uint32_t> orderEntryOptions{0};
std::atomic<int32_t> rowsPerRequest{20};
std::atomic<uint32_t> quoteSourceState{0};
std::atomic<int32_t> tradingTimeAdjust{5};

struct Texts {
    std::mutex lock;
    std::string banner{kProgramName};
    std::string station;
};

Texts& texts() {
    static Texts t;
    return t;
}

}  // namespace

void LoadStartupSettings() {
    orderWayCode = pavlet::ReadConfigInt(kSection, "WTFS", 32, 0, 0);
    logOptions = static_cast<uint32_t>(pavlet::ReadConfigInt(kSection, "TradeLog", 0, 0, 0)) |
                 kLogConnectionLines;
    logLevel = pavlet::ReadConfigInt(kSection, "LogLevel", 0, 0, 0);

    std::string banner = pavlet::ReadConfigure(kSection, "BANNER", "");
    if (banner.empty()) banner = kProgramName;
    {
        std::lock_guard guard(texts().lock);
        texts().banner = std::move(banner);
    }

    uint32_t comm = 0;
    if (pavlet::ReadConfigure(kSection, "EncipherCommInfo", 1) != 0) comm |= kCommEncipher;
    if (pavlet::ReadConfigure(kSection, "EnableEqualization", 0) != 0) comm |= kCommEqualization;
    commOptions = comm;
    if (GetLocalizeInt(kSection, "CheckStamp", 0) != 0) {
        appStateFlags.fetch_or(kAppStateCheckStamp);
    } else {
        appStateFlags.fetch_and(~kAppStateCheckStamp);
    }

    optionPriceModel = pavlet::ReadConfigInt(kSection, "OptionPriceModel", 1, 1, 2);
    binomialSteps = pavlet::ReadConfigInt(kSection, "BinomialSteps", 250, 2, 4096);
}

int32_t GetOrderWayCode() { return orderWayCode; }
uint32_t GetLogOptions() { return logOptions; }
int32_t GetLogLevel() { return logLevel; }
uint32_t GetCommOptions() { return commOptions; }

std::string GetBannerText() {
    std::lock_guard guard(texts().lock);
    return texts().banner;
}

int32_t GetOptionPriceModel() { return optionPriceModel; }
int32_t GetBinomialSteps() { return binomialSteps; }

uint32_t GetAppStateFlags() { return appStateFlags; }
uint32_t SetAppStateFlags(uint32_t bits) { return appStateFlags.fetch_or(bits); }
uint32_t ClearAppStateFlags(uint32_t bits) { return appStateFlags.fetch_and(~bits); }

uint32_t GetClientSettings() { return clientSettings; }
void SetClientSettings(uint32_t word) { clientSettings = word; }

uint32_t GetDisplaySettings() { return displaySettings; }
void SetDisplaySettings(uint32_t word) { displaySettings = word; }
uint32_t SetDisplaySettingsBits(uint32_t bits) { return displaySettings.fetch_or(bits); }
uint32_t ClearDisplaySettingsBits(uint32_t bits) { return displaySettings.fetch_and(~bits); }

uint32_t GetOrderEntryOptions() { return orderEntryOptions; }
void SetOrderEntryOptions(uint32_t word) { orderEntryOptions = word; }

int32_t GetRowsPerRequest() { return rowsPerRequest; }
void SetRowsPerRequest(int32_t rows) { rowsPerRequest = rows; }

uint32_t GetQuoteSourceState() { return quoteSourceState; }
uint32_t SetQuoteSourceState(uint32_t bits) { return quoteSourceState.fetch_or(bits); }
uint32_t ClearQuoteSourceState(uint32_t bits) { return quoteSourceState.fetch_and(~bits); }

void ReplaceQuoteSourceState(uint32_t mask, uint32_t bits) {
    uint32_t word = quoteSourceState.load();
    while (!quoteSourceState.compare_exchange_weak(word, (word & ~mask) | (bits & mask))) {
    }
}

int32_t GetTradingTimeAdjust() { return tradingTimeAdjust; }
void SetTradingTimeAdjust(int32_t seconds) { tradingTimeAdjust = seconds; }

std::string GetStationAddress() {
    std::lock_guard guard(texts().lock);
    return texts().station;
}

void SetStationAddress(std::string_view text) {
    std::lock_guard guard(texts().lock);
    texts().station = text;
}

}  // namespace shell
