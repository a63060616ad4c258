// Reading the standard panel's settings into the program-wide words.
#include "shell/TradePanelSettings.h"

#include "flexui/GridCtrl.h"
#include "record/Configure.h"
#include "record/StringHelpers.h"
#include "shell/TradeApp.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"

namespace shell {
namespace {

// A switch of the private store that sets one bit of a word when it is non-zero.
struct SwitchKey {
    const char* section;
    const char* key;
    int def;
    uint32_t bit;
};

constexpr SwitchKey kDisplayKeys[] = {
    {"SYSTEM", "SHOWHYHQ", 1, kDisplayQuoteBoard},
    {"SYSTEM", "SHOWZHHQ", 0, kDisplayCombinationQuotes},
    {"SYSTEM", "ShowExtHq", 0, kDisplayExtQuotes},
    {"SYSTEM", "LeftExtHq", 0, kDisplayExtQuotesLeft},
    {"SYSTEM", "ZHHQTPXS", 0, kDisplayCombinedPage},
    {"ALERT", "SOUNDALERT", 1, kDisplaySoundAlerts},
    {"SYSTEM", "HorzLayout", 0, kDisplayHorzLayout},
    {"SYSTEM", "ShowOption", 1, kDisplayOptions},
    {"SYSTEM", "OptionSpreadLayout", 0, kDisplayOptionSpreadLayout},
    {"SYSTEM", "ViewOptionSpread", 1, kDisplayOptionSpread},
    {"SYSTEM", "QQHQSLXS", 1, kDisplayOptionList},
    {"SYSTEM", "SHOWKHXMINTITLE", 0, kDisplayNameInTitle},
    {"SYSTEM", "SHOWKHHINTITLE", 1, kDisplayNumberInTitle},
    {"SYSTEM", "ExtendPrecastOrder", 0, kDisplayTimedPreplaced},
    {"SYSTEM", "Input Numeric Align", 0, kDisplayNumericAlign},
    {"SYSTEM", "ShowPushMsg", 1, kDisplayInfoList},
    {"SYSTEM", "ShowKhqy", 1, kDisplayAccountSummary},
    {"SYSTEM", "KhqyAlign", 0, kDisplaySummaryAtBottom},
    {"SYSTEM", "WorkplaceLabelInBottom", 0, kDisplayTabsAtBottom},
    {"SYSTEM", "IgnoreExtendedOrders", 1, kDisplayIgnoreExtendedOrders},
};

// "LRTOTAB" is left out: its default depends on the display word.
constexpr SwitchKey kOrderKeys[] = {
    {"QHWT", "SWITCHTOWTCX", 0, kOrderSwitchToOrders},
    {"QHWT", "DEFAULTWTJG", 1, kOrderDefaultPrice},
    {"QHWT", "WTNOTIFY", 1, kOrderNotify},
    {"QHWT", "WTCONFIRM", 0, kOrderConfirm},
    {"QHWT", "CDCONFIRM", 1, kOrderCancelConfirm},
    {"QHWT", "CDNOTIFY", 0, kOrderCancelNotify},
    {"QHWT", "LRTOSPIN", 0, kOrderLeftRightSpin},
    {"QHWT", "UDTOTAB", 0, kOrderUpDownTab},
    {"QHWT", "UDTOSPIN", 1, kOrderUpDownSpin},
    {"QHWT", "CLEARZQDM", 0, kOrderClearCode},
    {"QHWT", "CLEARWTJG", 0, kOrderClearPrice},
    {"QHWT", "CLEARWTSL", 1, kOrderClearQuantity},
};

// A number of the private store as it stands (the int form of the read is a switch: 0 or 1).
int PrivateNumber(const char* section, const char* key, int def) {
    return pavlet::ReadPrivateConfigInt(section, key, def, 0, 0);
}

bool PrivateSwitch(const char* section, const char* key, int def) {
    return pavlet::ReadPrivateConfigure(section, key, def) != 0;
}

uint32_t ReadSwitches(const SwitchKey* keys, size_t count) {
    uint32_t word = 0;
    for (size_t i = 0; i < count; ++i)
        if (PrivateSwitch(keys[i].section, keys[i].key, keys[i].def)) word |= keys[i].bit;
    return word;
}

}  // namespace

PanelSettings ReadPanelSettings(bool layeredBound) {
    PanelSettings s;
    s.autoLockSeconds = PrivateNumber("SYSTEM", "Auto Lock", 0) * 60;
    s.loginCheck = PrivateNumber("SYSTEM", "LOGINCHECK", 1);
    s.loginNotify = PrivateNumber("SYSTEM", "LOGINNOTIFY", 1);
    s.sessionEndReminder = PrivateNumber("SYSTEM", "BSTS", 0);
    s.closeAllDialog = PrivateNumber("QHWT", "QBPCQR", 1);
    s.reminderLeadSeconds = PrivateNumber("SYSTEM", "BSTSTQSJ", 0);
    SetRowsPerRequest(pavlet::ReadPrivateConfigInt("SYSTEM", "ROWCOUNT", 20, 5, 200));

    uint32_t display = layeredBound ? kDisplayLayered : 0;
    SetTradingTimeAdjust(pavlet::ReadConfigInt("SYSTEM", "ZddAdjust", 5, -60, 60));
    if (pavlet::ReadConfigure("SYSTEM", "EnableBindStampSelf", 1) != 0)
        display |= kDisplayBindStampSelf;
    if (pavlet::ReadConfigure("SYSTEM", "EnableCustomService", 0) != 0)
        display |= kDisplayCustomService;
    display |= ReadSwitches(kDisplayKeys, std::size(kDisplayKeys));
    if (!tradedata::HasAccountService(0x20, -1)) display &= ~kDisplayQuoteBoard;
    if (pavlet::ReadConfigure("SYSTEM", "ENABLETRADECARD", 1) != 0 &&
        PrivateSwitch("SYSTEM", "VIEWCARD", 1))
        display |= kDisplayTradeCard;
    SetDisplaySettings(display);

    uint32_t order = ReadSwitches(kOrderKeys, std::size(kOrderKeys));
    if (PrivateSwitch("QHWT", "LRTOTAB", (display & kDisplayHorzLayout) ? 1 : 0))
        order |= kOrderLeftRightTab;
    const int assignQuote = pavlet::ReadPrivateConfigInt("SYSTEM", "AssignQuote", 0, 0, 3);
    // The choice is one bit of four: the one chosen before goes with the new one.
    ReplaceQuoteSourceState(kQuoteSourceChoiceMask, kQuoteSourceAutomatic << assignQuote);
    const auto priceField =
        static_cast<uint32_t>(pavlet::ReadPrivateConfigInt("QHWT", "WTJGXZ", 15, 0, 15));
    const auto quantityField =
        static_cast<uint32_t>(pavlet::ReadPrivateConfigInt("QHWT", "WTSLXZ", 0, 0, 15));
    order |= priceField << kOrderPriceFieldShift;
    order |= quantityField << kOrderQuantityFieldShift;
    SetOrderEntryOptions(order);

    s.cardCancelSeconds = pavlet::ReadPrivateConfigInt("QHWT", "JYKCDSJ", 10, 0, 600);
    const bool grouping = PrivateSwitch("SYSTEM", "NumberGroup", 1);
    const int groupSize = pavlet::ReadPrivateConfigInt("SYSTEM", "NumberGrouping", 3, 1, 9);
    pavlet::SetFlexNumericGrouping(grouping ? groupSize : 0);
    CGridCtrl::SetRowSpace(pavlet::ReadPrivateConfigInt("SYSTEM", "LISTCTRLROWSPACE", 7, 1, 17));
    CGridCtrl::SetFieldMargin(
        pavlet::ReadPrivateConfigInt("SYSTEM", "LISTCTRLFIELDMARGIN", 6, 1, 17));
    s.keepTopMost = PrivateNumber("SYSTEM", "KeepTopMost", 0);
    SetNumpadTranslation(PrivateSwitch("SYSTEM", "TranslateNumpad", 1));
    return s;
}

}  // namespace shell
