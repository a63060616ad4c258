// CCombQuoteSettingDlg: the alarm band's range of a custom spread (negatives allowed, none while
// a limit is unknown), the working list rebuilt from the program's list (rows gone dropped),
// the presence marks following adds, deletes and clears, custom pairs added once, the band
// loaded, ranged and written back, the moves, and the save that reloads the program's list.
#include "options/CombQuoteSettingDlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "options/Parts.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "shell/PartOpeners.h"
#include "shell/PartSlots.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/options/OptionsDialogTest.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/LocalLists.h"

namespace options {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using Dlg = CCombQuoteSettingDlg;
using Names = std::vector<std::string>;
using testing::Click;
using testing::Enabled;

TEST(CustomSpreadRangeTest, FromLegOnesLimitsLessLegTwosWithNegativesKept) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        double up1, down1, up2, down2;
        double minimum, maximum;
    } cases[] = {
        {"straddles zero", 75000, 65000, 76000, 66000, -11000, 9000},
        {"wholly negative", 100, 90, 300, 250, -210, -150},
        {"wholly positive", 300, 250, 100, 90, 150, 210},
        {"negative limits", -10, -30, 20, 5, -50, -15},
        {"leg one unknown", 0, 0, 76000, 66000, 0, 0},
        {"one limit unknown", 75000, 65000, 76000, 0, 0, 0},
        {"not a number", nan, 65000, 76000, 66000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SpreadRange range = CustomSpreadRange(c.up1, c.down1, c.up2, c.down2);
        EXPECT_DOUBLE_EQ(range.minimum, c.minimum);
        EXPECT_DOUBLE_EQ(range.maximum, c.maximum);
        EXPECT_LE(range.minimum, range.maximum);
    }
}

class CombQuoteSettingDlgTest : public UiTest {
protected:
    static constexpr tagFIXHEADERINFO kExchangeLayout[] = {
        {599, "JYS", "C8", 0}, {602, "JYSQC", "C32", 0}, {1681, "DDLX", "N8", 0}, {0, "", "", 0}};

    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        using tradedata::testing::AddRow;
        tradedata::ExchangeTable.Create(kExchangeLayout);
        AddRow(tradedata::ExchangeTable, {{599, "SQ"}, {602, "上海期货交易所"}, {1681, "7"}});
        AddRow(tradedata::ExchangeTable, {{599, "ZJ"}, {602, "中国金融期货交易所"}, {1681, "3"}});
        tradedata::CombinationContractTable.Create(tradedata::kCombinationContractLayout);
        AddRow(tradedata::CombinationContractTable,
               {{1060, "SP cu2501&cu2502"}, {599, "SQ"}, {594, "10"}, {706, "500"}, {703, "-500"}});
        AddRow(tradedata::CombinationContractTable,
               {{1060, "SP al2501&al2502"}, {599, "SQ"}, {594, "5"}});
        AddRow(tradedata::CombinationContractTable, {{1060, "SP m2501&m2505"}, {599, "DL"}});
        Sort(tradedata::CombinationContractTable, 1060);
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable,
               {{719, "cu2501"}, {594, "10"}, {706, "75000"}, {703, "65000"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "cu2502"}, {594, "10"}, {706, "76000"}, {703, "66000"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "al2501"}, {594, "5"}, {706, "21000"}, {703, "19000"}});
        Sort(tradedata::FuturesContractTable, 719);

        // The stored list: an exchange code, one no longer a combination, a custom spread and
        // one whose second leg is no contract.
        CFixRecord stored;
        stored.Create(tradedata::kCombinationQuoteListLayout);
        AddRow(stored, {{1375, "SP cu2501&cu2502"}, {1060, "SP cu2501&cu2502"}, {686, "30"}});
        AddRow(stored, {{1375, "SP gone&gone"}, {1060, "SP gone&gone"}});
        AddRow(stored, {{1375, "cu2501 / cu2502"},
                        {1392, "cu2501"},
                        {1393, "cu2502"},
                        {686, "200"},
                        {687, "-300"}});
        AddRow(stored, {{1375, "cu2501 / nosuch"}, {1392, "cu2501"}, {1393, "nosuch"}});
        tradedata::SaveCombinationQuotes(stored);
        tradedata::LoadCombinationQuotes();
    }
    void TearDown() override {
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    static void Sort(CFixRecord& table, unsigned field) {
        table.GetMemRecord()->Sort(table.FindIndex(field), true);
    }
    static Names RowNames(Dlg& d) {
        Names names;
        for (int row = 0; row < d.Rows().GetCount(); ++row)
            names.push_back(d.Rows().Get(1375, row));
        return names;
    }
    static bool Marked(const char* code) {
        const int row = tradedata::FindCombinationContract(code);
        return (tradedata::CombinationContractTable.GetLong(644, row) & kMarkInCombinationQuotes) !=
               0;
    }
    static LRESULT Send(Dlg& d, int id, UINT message, WPARAM w = 0, LPARAM l = 0) {
        return ::SendMessage(d.GetDlgItem(id)->m_hWnd, message, w, l);
    }
    static void SelectListItem(Dlg& d, int item) {
        testing::SelectListItem(d, Dlg::kContractListId, item);
        DrainEvents();
    }
    static void ChooseLegs(Dlg& d, const char* leg1, const char* leg2) {
        for (auto [id, code] : {std::pair{Dlg::kLeg1Id, leg1}, std::pair{Dlg::kLeg2Id, leg2}}) {
            const LRESULT item = Send(d, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(code));
            Send(d, id, CB_SETCURSEL, static_cast<WPARAM>(item));
            d.SendMessage(WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), 0);
        }
    }
    static void ChooseRow(Dlg& d, int row) {
        d.Grid().SetActiveItem(row);
        DrainEvents();
    }
    static int Image(Dlg& d, int item) { return testing::ListImage(d, Dlg::kContractListId, item); }
    // Types a band value and leaves the field.
    static void TypeBand(Dlg& d, int id, const char* text) {
        d.GetDlgItem(id)->SetWindowText(text);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
                      static_cast<LPARAM>(d.GetDlgItem(id)->m_hWnd));
    }
    INT_PTR Run(const std::function<void(Dlg&)>& act) {
        Dlg dialog;
        return testing::RunWith(driver_, dialog, act);
    }

    tradedata::testing::SettingsSandbox sandbox_;
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(CombQuoteSettingDlgTest, EditsTheListWithItsMarksAndBandsAndSavesItInOrder) {
    EXPECT_EQ(Run([&](Dlg& d) {
                  // Rows that name nothing any more are dropped; the exchange row is marked.
                  EXPECT_EQ(RowNames(d), (Names{"SP cu2501&cu2502", "cu2501 / cu2502"}));
                  EXPECT_TRUE(Marked("SP cu2501&cu2502"));
                  EXPECT_FALSE(Marked("SP al2501&al2502"));
                  // Only exchanges with arbitrage instructions; the first one's contracts.
                  EXPECT_EQ(Send(d, Dlg::kExchangeId, CB_GETCOUNT), 1);
                  ASSERT_EQ(d.OfferedRows().size(), 2u);
                  EXPECT_EQ(Image(d, 0), Dlg::kAbsentImage);   // al
                  EXPECT_EQ(Image(d, 1), Dlg::kPresentImage);  // cu
                  EXPECT_FALSE(Enabled(d, Dlg::kAddExchangeId));

                  SelectListItem(d, 1);  // already listed
                  EXPECT_FALSE(Enabled(d, Dlg::kAddExchangeId));
                  SelectListItem(d, 0);
                  EXPECT_TRUE(Enabled(d, Dlg::kAddExchangeId));
                  Click(d, Dlg::kAddExchangeId);
                  Click(d, Dlg::kAddExchangeId);  // nothing more
                  EXPECT_EQ(RowNames(d),
                            (Names{"SP cu2501&cu2502", "cu2501 / cu2502", "SP al2501&al2502"}));
                  EXPECT_TRUE(Marked("SP al2501&al2502"));
                  EXPECT_EQ(Image(d, 0), Dlg::kPresentImage);
                  EXPECT_FALSE(Enabled(d, Dlg::kAddExchangeId));

                  // A custom pair: two different legs, not yet listed.
                  ChooseLegs(d, "cu2501", "cu2501");
                  EXPECT_FALSE(Enabled(d, Dlg::kAddCustomId));
                  ChooseLegs(d, "cu2501", "cu2502");
                  EXPECT_FALSE(Enabled(d, Dlg::kAddCustomId));
                  ChooseLegs(d, "al2501", "cu2502");
                  EXPECT_TRUE(Enabled(d, Dlg::kAddCustomId));
                  Click(d, Dlg::kAddCustomId);
                  EXPECT_EQ(RowNames(d).back(), "al2501 / cu2502");
                  EXPECT_FALSE(Enabled(d, Dlg::kAddCustomId));

                  // The custom row's band: its values, legs and the range of the legs' limits.
                  ChooseRow(d, 1);
                  EXPECT_TRUE(Enabled(d, Dlg::kUpperId));
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetDouble(), 200);
                  EXPECT_DOUBLE_EQ(d.LowerEdit().GetDouble(), -300);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetMinimum(), -11000);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetMaximum(), 9000);
                  EXPECT_DOUBLE_EQ(d.LowerEdit().GetIncrement(), 10);
                  EXPECT_EQ(d.UpperEdit().GetDecimals(), 0);
                  EXPECT_EQ(d.GetDlgItem(Dlg::kLeg2Id)->GetWindowText(), "cu2502");
                  TypeBand(d, Dlg::kLowerId, "-800");
                  EXPECT_DOUBLE_EQ(d.Rows().GetDouble(687, 1), -800);
                  EXPECT_DOUBLE_EQ(d.Rows().GetDouble(686, 1), 200);  // untouched

                  // The exchange row's band takes the contract's own limits.
                  ChooseRow(d, 0);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetDouble(), 30);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetMinimum(), -500);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetMaximum(), 500);
                  // A spread that is always negative keeps its negative range.
                  ChooseRow(d, 3);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetMinimum(), -57000);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetMaximum(), -45000);
                  EXPECT_DOUBLE_EQ(d.UpperEdit().GetIncrement(), 10);

                  // Moves, then the delete clears the exchange row's mark.
                  ChooseRow(d, 0);
                  EXPECT_FALSE(Enabled(d, Dlg::kMoveUpId));
                  Click(d, Dlg::kMoveDownId);
                  EXPECT_EQ(RowNames(d), (Names{"cu2501 / cu2502", "SP cu2501&cu2502",
                                                "SP al2501&al2502", "al2501 / cu2502"}));
                  EXPECT_TRUE(Enabled(d, Dlg::kMoveUpId));
                  Click(d, Dlg::kDeleteId);
                  EXPECT_EQ(RowNames(d),
                            (Names{"cu2501 / cu2502", "SP al2501&al2502", "al2501 / cu2502"}));
                  EXPECT_FALSE(Marked("SP cu2501&cu2502"));
                  EXPECT_EQ(Image(d, 1), Dlg::kAbsentImage);

                  const QImage shot = d.GetWidget()->grab().toImage();
                  EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() +
                                        "/options_combination_quote_settings.png"));
                  Click(d, IDOK);
              }),
              IDOK);
    // Saved in the grid's order and reloaded into the program's list; marks gone with the
    // dialog.
    CFixRecord& list = tradedata::CombinationQuoteListTable;
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.Get(1375, 0), "cu2501 / cu2502");
    EXPECT_DOUBLE_EQ(list.GetDouble(687, 0), -800);
    EXPECT_DOUBLE_EQ(list.GetDouble(686, 0), 200);
    EXPECT_EQ(list.Get(1060, 1), "SP al2501&al2502");
    EXPECT_EQ(list.Get(1393, 2), "cu2502");
    EXPECT_FALSE(Marked("SP al2501&al2502"));
}

TEST_F(CombQuoteSettingDlgTest, ClearAllUnmarksEverythingAndCancelKeepsTheList) {
    EXPECT_EQ(Run([&](Dlg& d) {
                  EXPECT_TRUE(Enabled(d, Dlg::kClearId));
                  Click(d, Dlg::kClearId);
                  EXPECT_EQ(d.Rows().GetCount(), 0);
                  EXPECT_FALSE(Marked("SP cu2501&cu2502"));
                  EXPECT_FALSE(Enabled(d, Dlg::kClearId));
                  EXPECT_FALSE(Enabled(d, Dlg::kDeleteId));
                  EXPECT_FALSE(Enabled(d, Dlg::kUpperId));
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(tradedata::CombinationQuoteListTable.GetCount(), 4);
    tradedata::LoadCombinationQuotes();
    EXPECT_EQ(tradedata::CombinationQuoteListTable.GetCount(), 4);
}

TEST_F(CombQuoteSettingDlgTest, TheBoardOpensItThroughTheShellsOpener) {
    shell::SlotsResetGuard guard;
    RegisterParts();
    ASSERT_TRUE(shell::PartOpeners().combinationQuoteSettings);
    std::string title;
    driver_.OnNextModal([&](QWidget* window) {
        title = window->windowTitle().toStdString();
        EXPECT_TRUE(kelmon::test::ui::ModalDriver::ClickButton(window, "取消"));
    });
    EXPECT_EQ(shell::PartOpeners().combinationQuoteSettings(nullptr), IDCANCEL);
    EXPECT_EQ(title, "组合行情设置");
}

}  // namespace
}  // namespace options
