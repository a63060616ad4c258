// The standard panel's settings: the keys it reads into the program-wide option words and
// switches, its own settings, and the bits of those words it acts on.
#pragma once

#include <cstdint>

namespace shell {

// `DisplayOptions` bits.
inline constexpr uint32_t kDisplayLayered = 0x1;
inline constexpr uint32_t kDisplayNameInTitle = 0x2;
inline constexpr uint32_t kDisplayNumberInTitle = 0x4;
inline constexpr uint32_t kDisplayCustomService = 0x8;
inline constexpr uint32_t kDisplaySoundAlerts = 0x10;
inline constexpr uint32_t kDisplayHorzLayout = 0x20;
inline constexpr uint32_t kDisplayBindStampSelf = 0x80;
inline constexpr uint32_t kDisplayTimedPreplaced = 0x100;
inline constexpr uint32_t kDisplayNumericAlign = 0x200;
inline constexpr uint32_t kDisplayQuoteBoard = 0x1000;
inline constexpr uint32_t kDisplayTradeCard = 0x2000;
inline constexpr uint32_t kDisplayCombinationQuotes = 0x4000;
inline constexpr uint32_t kDisplayOptions = 0x8000;
inline constexpr uint32_t kDisplayOptionSpread = 0x10000;
inline constexpr uint32_t kDisplayExtQuotes = 0x20000;
inline constexpr uint32_t kDisplayExtQuotesLeft = 0x40000;
inline constexpr uint32_t kDisplayCombinedPage = 0x80000;
inline constexpr uint32_t kDisplayOptionList = 0x100000;
inline constexpr uint32_t kDisplayOptionSpreadLayout = 0x400000;
inline constexpr uint32_t kDisplayInfoList = 0x1000000;
inline constexpr uint32_t kDisplayAccountSummary = 0x4000000;
inline constexpr uint32_t kDisplaySummaryAtBottom = 0x8000000;
inline constexpr uint32_t kDisplayTabsAtBottom = 0x10000000;
inline constexpr uint32_t kDisplayIgnoreExtendedOrders = 0x20000000;

// `OrderEntryOptions` bits (the two 4-bit fields are at kOrderPriceFieldShift and
// kOrderQuantityFieldShift).
inline constexpr uint32_t kOrderSwitchToOrders = 0x1;
inline constexpr uint32_t kOrderDefaultPrice = 0x2;
inline constexpr uint32_t kOrderConfirm = 0x8;
inline constexpr uint32_t kOrderNotify = 0x10;
inline constexpr uint32_t kOrderCancelConfirm = 0x20;
inline constexpr uint32_t kOrderCancelNotify = 0x40;
inline constexpr uint32_t kOrderLeftRightTab = 0x1000;
inline constexpr uint32_t kOrderLeftRightSpin = 0x2000;
inline constexpr uint32_t kOrderUpDownTab = 0x4000;
inline constexpr uint32_t kOrderUpDownSpin = 0x8000;
inline constexpr int kOrderPriceFieldShift = 16;
inline constexpr int kOrderQuantityFieldShift = 20;
inline constexpr uint32_t kOrderClearCode = 0x1000000;
inline constexpr uint32_t kOrderClearQuantity = 0x2000000;
inline constexpr uint32_t kOrderClearPrice = 0x4000000;

// The panel's own settings, read with the option words.
struct PanelSettings {
    int32_t autoLockSeconds = 0;  // "Auto Lock" minutes x 60; 0: no lock
    int32_t loginCheck = 1;
    int32_t loginNotify = 1;
    int32_t sessionEndReminder = 0;  // BSTS
    int32_t closeAllDialog = 1;      // QBPCQR
    int32_t keepTopMost = 0;
    int32_t cardCancelSeconds = 10;   // JYKCDSJ
    int32_t reminderLeadSeconds = 0;  // BSTSTQSJ
};

// Reads the settings from the private store and the installation profile: rebuilds
// `DisplayOptions` and `OrderEntryOptions` from 0 (the layered bit when `layeredBound`),
// writes `RowsPerRequest`, the quote-source choice, the trading-time adjustment, the number
// grouping, the grids' row space and field margin and the key pad translation switch, and
// returns the panel's own values. The quote board bit is left off when the current account
// lacks the quote service.
PanelSettings ReadPanelSettings(bool layeredBound);

}  // namespace shell
