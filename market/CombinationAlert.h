// The price alert of the user's combination quotes: each row's spreads (or its exchange
// combination's prices) against the row's lower and upper alert prices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace market {

inline constexpr int32_t kAlertAtOrBelow = 0x10000;  // at or below the lower alert price
inline constexpr int32_t kAlertAtOrAbove = 0x20000;  // at or above the upper alert price
inline constexpr int32_t kAlertBits = kAlertAtOrBelow | kAlertAtOrAbove;

struct CombinationAlert {
    int row;       // row of the combination-quote list
    int32_t bits;  // kAlertAtOrBelow and kAlertAtOrAbove
    std::string text;
};

// Tests every row of the combination-quote list, stores each row's alert bits in its FLAGS and
// returns the rows whose set of bits changed to a non-empty one. A row whose two alert prices
// differ by less than 0.01, or with a leg that is not a known futures contract, never alerts.
std::vector<CombinationAlert> CheckCombinationAlerts();

}  // namespace market
