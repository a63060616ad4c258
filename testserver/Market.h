// The test server's live market: the trading day's futures move by whole ticks within their
// limits, with volume and open interest that only grow, stepped by a clock a test can drive.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "testserver/TradingDay.h"

namespace testserver {

inline constexpr int kBookLevels = 5;

// One contract's quote. Prices are kept as whole numbers of ticks, so they can never fall
// between two ticks; Price() turns them into prices.
struct MarketQuote {
    std::string exchange;   // 599
    std::string code;       // 719
    double tick = 1;        // 594
    double multiplier = 1;  // 1752
    int decimals = 0;       // decimals the tick needs

    int64_t upper = 0;                        // 706, in ticks
    int64_t lower = 0;                        // 703
    int64_t settlement = 0;                   // 813, the previous settlement
    int64_t close = 0;                        // 726, the previous close
    int64_t open = 0;                         // 587
    int64_t last = 0;                         // 729
    int64_t high = 0;                         // 707
    int64_t low = 0;                          // 704
    std::array<int64_t, kBookLevels> bids{};  // 842, 844, 846, 848, 1357
    std::array<int64_t, kBookLevels> asks{};  // 850, 852, 854, 856, 1359
    std::array<int32_t, kBookLevels> bidVolumes{};
    std::array<int32_t, kBookLevels> askVolumes{};

    int32_t volume = 0;            // 528
    double turnover = 0;           // 524
    int32_t openInterest = 0;      // 1807
    int32_t previousInterest = 0;  // 1806
    int32_t suspended = 0;         // 860
    int64_t updateMs = 0;          // market time of the last update, ms from the start

    double Price(int64_t ticks) const { return static_cast<double>(ticks) * tick; }
    // Turnover / multiplier / volume, 0 without volume.
    double AveragePrice() const;
};

class Market {
public:
    struct Options {
        // Updates per second per contract, on average.
        double rate = 3.0;
        uint64_t seed = 1;
        // Market time of Advance's zero as a time of day, ms after midnight (09:00 by default);
        // the records' update-time fields are written from it.
        int64_t dayStartMs = 9 * 3600 * 1000;
    };

    explicit Market(const TradingDay& day);
    Market(const TradingDay& day, Options options);

    const std::vector<MarketQuote>& Quotes() const { return quotes_; }
    const MarketQuote* Find(const std::string& code) const;
    const Options& Settings() const { return options_; }
    // Market time so far, ms.
    int64_t Now() const { return nowMs_; }
    // Time of day of a market time, ms after midnight (wraps at midnight).
    int64_t TimeOfDayMs(int64_t marketMs) const;

    // Moves market time on by `elapsed` and makes the updates that time holds (about
    // rate x contracts x seconds), each one a contract's trade and new book. Returns the
    // indexes in Quotes() of the updated contracts, in update order (a contract may appear
    // more than once). Same seed and the same steps give the same sequence.
    std::vector<std::size_t> Advance(std::chrono::milliseconds elapsed);

    // One update of one contract now (for tests that need a move at once).
    void Update(std::size_t index);

private:
    int64_t Uniform(int64_t from, int64_t to);

    Options options_;
    std::vector<MarketQuote> quotes_;
    std::mt19937_64 random_;
    int64_t nowMs_ = 0;
    double pending_ = 0;  // fractional updates carried to the next step
};

}  // namespace testserver
