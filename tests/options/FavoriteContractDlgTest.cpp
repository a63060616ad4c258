// CFavoriteContractDlg: the categories (products quoted elsewhere left out), the offered
// contracts per category and per typed text (exchange-for-physical codes left out), adding
// once, the order stored with the position switch for the board's list, codes that no longer
// exist surviving a save, the option-underlying kind with its title, and the opener slot.
#include "options/FavoriteContractDlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "options/Parts.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/PartOpeners.h"
#include "shell/PartSlots.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/options/OptionsDialogTest.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace options {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using Dlg = CFavoriteContractDlg;
using Texts = std::vector<std::string>;
using options::testing::Click;

class FavoriteContractDlgTest : public UiTest {
protected:
    static constexpr tagFIXHEADERINFO kUnderlyingLayout[] = {
        {719, "ZQDM", "C32", 0}, {599, "JYS", "C6", 0}, {720, "ZQLB", "C6", 0}, {0, "", "", 0}};

    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        using tradedata::testing::AddRow;
        tradedata::ExchangeTable.Create(tradedata::kExchangeLayout);
        AddRow(tradedata::ExchangeTable, {{599, "SQ"}, {601, "上期"}});
        AddRow(tradedata::ExchangeTable, {{599, "DL"}, {601, "大商"}});
        tradedata::ProductTable.Create(tradedata::kProductLayout);
        AddRow(tradedata::ProductTable, {{599, "SQ"}, {720, "cu"}, {721, "铜"}});
        AddRow(tradedata::ProductTable, {{599, "DL"}, {720, "m"}, {721, "豆粕"}, {1847, "DL"}});
        AddRow(tradedata::ProductTable, {{599, "DL"}, {720, "x"}, {721, "别处"}, {1847, "SQ"}});
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        for (const auto& [code, exchange, product, name] :
             {std::tuple{"cu2501", "SQ", "cu", "沪铜2501"},
              std::tuple{"cu2502", "SQ", "cu", "沪铜2502"},
              std::tuple{"m2505", "DL", "m", "豆粕2505"},
              std::tuple{"m2505efp", "DL", "m", "期转现"}})
            AddRow(tradedata::FuturesContractTable,
                   {{719, code}, {599, exchange}, {720, product}, {722, name}});
        tradedata::FuturesContractTable.GetMemRecord()->Sort(
            tradedata::FuturesContractTable.FindIndex(719), true);
        tradedata::UnderlyingTable.Create(kUnderlyingLayout);
        AddRow(tradedata::UnderlyingTable, {{719, "510050"}, {599, "SH"}});
        AddRow(tradedata::UnderlyingTable, {{719, "m2505"}, {599, "DL"}});
        tradedata::UnderlyingTable.GetMemRecord()->Sort(tradedata::UnderlyingTable.FindIndex(719),
                                                        true);
    }
    void TearDown() override {
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    std::string Stored(const char* section, const char* key) const {
        return platform::ReadProfileString(sandbox_.dir.file("private.ini"), section, key,
                                           "<none>");
    }
    static LRESULT Send(Dlg& d, int id, UINT message, WPARAM w = 0, LPARAM l = 0) {
        return ::SendMessage(d.GetDlgItem(id)->m_hWnd, message, w, l);
    }
    static Texts Categories(Dlg& d) {
        Texts texts;
        for (int i = 0; i < Send(d, Dlg::kCategoryId, CB_GETCOUNT); ++i) {
            char buffer[128] = {};
            Send(d, Dlg::kCategoryId, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
            texts.emplace_back(buffer);
        }
        return texts;
    }
    static Texts Offered(Dlg& d, int kind = 0) {
        CFixRecord& table = kind == kUnderlyingContracts ? tradedata::UnderlyingTable
                                                         : tradedata::FuturesContractTable;
        Texts codes;
        for (int row : d.OfferedRows()) codes.push_back(table.Get(719, row));
        return codes;
    }
    static void ChooseCategory(Dlg& d, int index) {
        Send(d, Dlg::kCategoryId, CB_SETCURSEL, index);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(Dlg::kCategoryId, CBN_SELENDOK), 0);
    }
    static void Select(Dlg& d, int item) {
        LVITEM state;
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        Send(d, Dlg::kAvailableId, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    }
    INT_PTR Run(Dlg& dialog, const std::function<void(Dlg&)>& act) {
        return options::testing::RunWith(driver_, dialog, act);
    }

    tradedata::testing::SettingsSandbox sandbox_;
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(FavoriteContractDlgTest, CategoriesFilterAndTheBoardListStoredWithItsSwitch) {
    pavlet::WritePrivateConfigure("HYHQXS", "HYDM", "m2505,gone2501");
    Dlg dialog;
    EXPECT_EQ(Run(dialog,
                  [&](Dlg& d) {
                      EXPECT_EQ(d.GetWindowText(), "设置自选合约");
                      EXPECT_TRUE(d.GetDlgItem(Dlg::kIncludePositionId)->IsWindowVisible());
                      EXPECT_EQ(Categories(d),
                                (Texts{"全部合约", "上期", "大商", "上期 铜", "大商 豆粕"}));
                      EXPECT_EQ(Offered(d), (Texts{"cu2501", "cu2502", "m2505"}));
                      // A code that is no contract keeps its place.
                      EXPECT_EQ(d.ChosenCodes(), (Texts{"m2505", "gone2501"}));

                      ChooseCategory(d, 3);  // the copper product
                      EXPECT_EQ(Offered(d), (Texts{"cu2501", "cu2502"}));
                      d.SetDlgItemText(Dlg::kFilterId, "502");
                      EXPECT_EQ(Offered(d), (Texts{"cu2502"}));
                      // The first match is selected: add it, twice, once in the list.
                      Click(d, Dlg::kAddId);
                      Click(d, Dlg::kAddId);
                      EXPECT_EQ(d.ChosenCodes(), (Texts{"m2505", "gone2501", "cu2502"}));
                      ChooseCategory(d, 2);  // an exchange; the typed text goes
                      EXPECT_EQ(d.GetDlgItemText(Dlg::kFilterId), "");
                      EXPECT_EQ(Offered(d), (Texts{"m2505"}));
                      Select(d, 0);
                      Click(d, Dlg::kAddId);  // already chosen
                      EXPECT_EQ(d.ChosenCodes().size(), 3u);
                      d.CheckDlgButton(Dlg::kIncludePositionId, BST_CHECKED);
                      const QImage shot = d.GetWidget()->grab().toImage();
                      EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() +
                                            "/options_favorite_contracts.png"));
                      Click(d, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(Stored("HYHQXS", "HYDM"), "m2505,gone2501,cu2502");
    EXPECT_EQ(Stored("HYHQXS", "IncludePosition"), "1");
}

TEST_F(FavoriteContractDlgTest, OptionUnderlyingsWithTheirTitleAndAnEmptyList) {
    pavlet::WritePrivateConfigure("OptionObject", "HYDM", "510050");
    Dlg dialog;
    dialog.section = "OptionObject";
    dialog.kind = kUnderlyingContracts;
    dialog.title = "设置自选期权标的合约";
    EXPECT_EQ(Run(dialog,
                  [&](Dlg& d) {
                      EXPECT_EQ(d.GetWindowText(), "设置自选期权标的合约");
                      EXPECT_FALSE(d.GetDlgItem(Dlg::kIncludePositionId)->IsWindowVisible());
                      EXPECT_EQ(Offered(d, kUnderlyingContracts), (Texts{"510050", "m2505"}));
                      EXPECT_EQ(d.ChosenCodes(), (Texts{"510050"}));
                      Click(d, Dlg::kClearId);
                      Click(d, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(Stored("OptionObject", "HYDM"), "");
    EXPECT_EQ(Stored("OptionObject", "IncludePosition"), "<none>");
}

TEST_F(FavoriteContractDlgTest, RegisterPartsFillsTheFavouritesOpener) {
    shell::SlotsResetGuard guard;
    RegisterParts();
    ASSERT_TRUE(shell::PartOpeners().favoriteContracts);
    std::string title;
    driver_.OnNextModal([&](QWidget* window) {
        title = window->windowTitle().toStdString();
        EXPECT_TRUE(kelmon::test::ui::ModalDriver::ClickButton(window, "取消"));
    });
    shell::FavoriteContractsRequest request;
    request.section = "OptionObject";
    request.kind = kUnderlyingContracts;
    request.title = "设置自选期权标的合约";
    EXPECT_EQ(shell::PartOpeners().favoriteContracts(nullptr, request), IDCANCEL);
    EXPECT_EQ(title, "设置自选期权标的合约");
}

}  // namespace
}  // namespace options
