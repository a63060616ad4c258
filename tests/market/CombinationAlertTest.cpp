// The combination-quote price alert: leg spreads against the alert prices, equal alert prices
// that never alert, a spread reported once while it stays crossed and again after it came
// back, and the strip that reports it as an information message.
#include "market/CombinationAlert.h"

#include <gtest/gtest.h>

#include "market/QuoteTabDlg.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "shell/FrameMessages.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace market {
namespace {

using tradedata::testing::AddRow;

class CombinationAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        using namespace tradedata;
        tradedata::testing::ResetGlobalTables();
        FuturesContractTable.Create(kFuturesContractLayout);
        // cu2601 bid/ask 100/101, cu2602 bid/ask 103/104, five lots on every side.
        for (auto [code, bid, ask] : {std::tuple{"cu2601", "100", "101"}, {"cu2602", "103", "104"}})
            AddRow(FuturesContractTable,
                   {{719, code}, {842, bid}, {850, ask}, {843, "5"}, {851, "5"}});
        CombinationQuoteListTable.Create(kCombinationQuoteListLayout);
    }
    void TearDown() override { tradedata::testing::ResetGlobalTables(); }
    static int AddCombination(const char* lower, const char* upper) {
        return AddRow(tradedata::CombinationQuoteListTable, {{1392, "cu2601"},
                                                             {1393, "cu2602"},
                                                             {687, lower},
                                                             {686, upper},
                                                             {9036, "1"},
                                                             {9038, "2"},
                                                             {644, "0"}});
    }
    static void SetLeg(int row, double bid, double ask) {
        tradedata::FuturesContractTable.Set(842, bid, row);
        tradedata::FuturesContractTable.Set(850, ask, row);
    }
    tradedata::testing::SettingsSandbox sandbox_;
};

TEST_F(CombinationAlertTest, LegSpreadsAgainstTheAlertPrices) {
    // Buying the spread costs |101 - 103| = 2; selling it brings |100 - 104| = 4.
    const struct {
        const char* lower;
        const char* upper;
        int32_t bits;
    } cases[] = {
        {"2", "9", kAlertAtOrBelow},
        {"1", "4", kAlertAtOrAbove},
        {"3", "3.5", kAlertBits},
        {"1", "9", 0},
        {"5", "5", 0},      // equal prices never alert
        {"5", "5.005", 0},  // nor prices less than 0.01 apart
        {"0", "4", kAlertAtOrAbove},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lower) + "/" + c.upper);
        tradedata::CombinationQuoteListTable.GetMemRecord()->Zap();
        AddCombination(c.lower, c.upper);
        const auto alerts = CheckCombinationAlerts();
        if (c.bits == 0) {
            EXPECT_TRUE(alerts.empty());
            continue;
        }
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].bits, c.bits);
        EXPECT_EQ(tradedata::CombinationQuoteListTable.GetLong(644, 0) & kAlertBits, c.bits);
    }
    tradedata::CombinationQuoteListTable.GetMemRecord()->Zap();
    AddCombination("2", "3");
    const auto alerts = CheckCombinationAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].text,
              "组合行情（cu2601/cu2602） 卖2买1价差：2.0（<= 2.0） 买2卖1价差：4.0（>= 3.0）");
}

TEST_F(CombinationAlertTest, ACrossedSpreadIsReportedOnceUntilItComesBack) {
    AddCombination("2", "9");
    EXPECT_EQ(CheckCombinationAlerts().size(), 1u);
    EXPECT_TRUE(CheckCombinationAlerts().empty());  // still crossed: no new report
    SetLeg(0, 100, 95);                             // cost |95 - 103| = 8: back above
    EXPECT_TRUE(CheckCombinationAlerts().empty());
    EXPECT_EQ(tradedata::CombinationQuoteListTable.GetLong(644, 0) & kAlertBits, 0);
    SetLeg(0, 100, 101);
    EXPECT_EQ(CheckCombinationAlerts().size(), 1u);
    // A leg that is not known stops the row alerting.
    tradedata::CombinationQuoteListTable.Set(1393, "zz9999", 0);
    tradedata::CombinationQuoteListTable.Set(644, int32_t{0}, 0);
    EXPECT_TRUE(CheckCombinationAlerts().empty());
}

// The strip runs the alert when quote rows changed while the combination quotes are shown,
// and reports a crossed spread as an information message.
TEST_F(CombinationAlertTest, TheStripReportsACrossedSpread) {
    platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
    tradedata::MessageTable.GetMemRecord()->Empty();
    EXPECT_EQ(tradedata::MessageTable.GetCount(), 0);
    const uint32_t display = shell::GetDisplaySettings();
    shell::SetDisplaySettings(0x1000 | 0x4000);
    AddCombination("2", "9");
    CWnd host;
    ASSERT_TRUE(
        host.Create(nullptr, "bar", WS_POPUP | WS_VISIBLE, RECT{0, 0, 600, 30}, nullptr, 0));
    CQuoteTabDlg strip;
    ASSERT_TRUE(strip.Create(&host));
    strip.SendMessage(shell::WM_FRAME_REFRESH, 0x20000, 0);
    strip.SendMessage(shell::WM_FRAME_REFRESH, 0x20000, 0);  // still crossed: once
    ASSERT_EQ(tradedata::MessageTable.GetCount(), 1);
    EXPECT_NE(tradedata::MessageTable.Get(508, 0).find("卖2买1价差"), std::string::npos);
    // Without the combination quotes shown, nothing is tested.
    shell::SetDisplaySettings(0x1000);
    strip.SendMessage(shell::WM_FRAME_REFRESH, 0x100, 0);
    SetLeg(0, 100, 95);
    SetLeg(0, 100, 101);
    tradedata::CombinationQuoteListTable.Set(644, int32_t{0}, 0);
    strip.SendMessage(shell::WM_FRAME_REFRESH, 0x20000, 0);
    EXPECT_EQ(tradedata::MessageTable.GetCount(), 1);
    strip.DestroyWindow();
    host.DestroyWindow();
    shell::SetDisplaySettings(display);
    kelmon::test::ui::DrainEvents();
}

}  // namespace
}  // namespace market
