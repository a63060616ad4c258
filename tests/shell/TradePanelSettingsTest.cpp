// The standard panel's settings: the option words rebuilt from the private store with their
// defaults, the clamped numbers and the quote-source choice.
#include "shell/TradePanelSettings.h"

#include <gtest/gtest.h>

#include <functional>

#include "record/Configure.h"
#include "shell/TradeApp.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/ScratchProfile.h"
#include "tradedata/AccountFiles.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"

namespace shell {
namespace {

class TradePanelSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        account_ = tradedata::AddAccount(1, "000123456789", "01", "name", "pw", nullptr);
        tradedata::SetCurrentAccount(account_);
        tradedata::AddAccountService(0x20, account_);
        pavlet::SetPrivateProfileName(tradedata::GetAccountFilePath("000123456789", "ini"));
    }
    void TearDown() override {
        pavlet::SetPrivateProfileName("");
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        ClearQuoteSourceState(~0u);
        SetDisplaySettings(0);
        SetOrderEntryOptions(0);
        SetRowsPerRequest(20);
    }
    static void WriteSetting(const char* section, const char* key, int value) {
        pavlet::WritePrivateConfigure(section, key, value);
    }

    testsupport::ScratchProfile profile_;
    int account_ = -1;
};

TEST_F(TradePanelSettingsTest, SettingsDefaultsAndClamps) {
    SetQuoteSourceState(0x1 | kQuoteSourceLevel2);
    PanelSettings s = ReadPanelSettings(false);
    EXPECT_EQ(GetDisplaySettings(), 0x1000u | 0x2000 | 0x10 | 0x8000 | 0x10000 | 0x100000 | 0x4 |
                                        0x1000000 | 0x4000000 | 0x20000000 | 0x80);
    EXPECT_EQ(GetOrderEntryOptions(), 0x2u | 0x10 | 0x20 | 0x8000 | 0x2000000 | (15u << 16));
    EXPECT_EQ(GetRowsPerRequest(), 20);
    EXPECT_EQ(GetQuoteSourceState(), 0x1u | kQuoteSourceAutomatic);  // the old choice goes
    EXPECT_EQ(s.autoLockSeconds, 0);
    EXPECT_EQ(s.cardCancelSeconds, 10);
    EXPECT_EQ(s.closeAllDialog, 1);
    EXPECT_TRUE(GetNumpadTranslation());

    const struct {
        const char* section;
        const char* key;
        int value;
        std::function<int()> read;
        int expected;
    } cases[] = {
        {"SYSTEM", "ROWCOUNT", 1, [] { return GetRowsPerRequest(); }, 5},
        {"SYSTEM", "ROWCOUNT", 999, [] { return GetRowsPerRequest(); }, 200},
        {"SYSTEM", "ROWCOUNT", 50, [] { return GetRowsPerRequest(); }, 50},
        {"QHWT", "JYKCDSJ", 601, [] { return ReadPanelSettings(false).cardCancelSeconds; }, 600},
        {"QHWT", "WTJGXZ", 16, [] { return int((GetOrderEntryOptions() >> 16) & 0xF); }, 15},
        {"QHWT", "WTSLXZ", 7, [] { return int((GetOrderEntryOptions() >> 20) & 0xF); }, 7},
        {"SYSTEM", "AssignQuote", 9,
         [] { return int(GetQuoteSourceState() & kQuoteSourceChoiceMask); }, 0x40000},
        {"SYSTEM", "AssignQuote", 1,
         [] { return int(GetQuoteSourceState() & kQuoteSourceChoiceMask); }, 0x10000},
        {"SYSTEM", "Auto Lock", 3, [] { return ReadPanelSettings(false).autoLockSeconds; }, 180},
        {"SYSTEM", "HorzLayout", 1, [] { return int(GetOrderEntryOptions() & kOrderLeftRightTab); },
         0x1000},
        {"SYSTEM", "SHOWHYHQ", 0, [] { return int(GetDisplaySettings() & kDisplayQuoteBoard); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        WriteSetting(c.section, c.key, c.value);
        ReadPanelSettings(false);
        EXPECT_EQ(c.read(), c.expected);
    }
    // The quote board needs the account's quote service.
    WriteSetting("SYSTEM", "SHOWHYHQ", 1);
    tradedata::RemoveAccountService(0x20, account_);
    ReadPanelSettings(true);
    EXPECT_EQ(GetDisplaySettings() & (kDisplayQuoteBoard | kDisplayLayered), kDisplayLayered);
    ClearQuoteSourceState(~0u);
}

}  // namespace
}  // namespace shell
