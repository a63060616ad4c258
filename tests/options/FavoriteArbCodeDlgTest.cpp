// CFavoriteArbCodeDlg: the exchanges offered, the list per exchange (refilled from the table as
// it is now), the chosen mark, adding once, delete, clear and the moves, and the stored list
// (codes gone from the table dropped, an empty tree stored empty).
#include "options/FavoriteArbCodeDlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/ProfileFile.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
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
using Dlg = CFavoriteArbCodeDlg;
using Codes = std::vector<std::string>;
using testing::Click;
using testing::Enabled;

class FavoriteArbCodeDlgTest : public UiTest {
protected:
    static constexpr tagFIXHEADERINFO kExchangeLayout[] = {
        {599, "JYS", "C8", 0}, {602, "JYSQC", "C32", 0}, {0, "", "", 0}};

    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        using tradedata::testing::AddRow;
        tradedata::ExchangeTable.Create(kExchangeLayout);
        AddRow(tradedata::ExchangeTable, {{599, "SQ"}, {602, "上海期货交易所"}});
        AddRow(tradedata::ExchangeTable, {{599, "ZJ"}, {602, "中国金融期货交易所"}});  // none
        AddRow(tradedata::ExchangeTable, {{599, "DL"}, {602, "大连商品交易所"}});
        tradedata::CombinationContractTable.Create(tradedata::kCombinationContractLayout);
        for (const auto& [code, exchange] :
             {std::pair{"SP cu2501&cu2502", "SQ"}, std::pair{"SP m2501&m2505", "DL"},
              std::pair{"SP al2501&al2502", "SQ"}})
            AddRow(tradedata::CombinationContractTable, {{1060, code}, {599, exchange}});
        tradedata::CombinationContractTable.GetMemRecord()->Sort(
            tradedata::CombinationContractTable.FindIndex(1060), true);
    }
    void TearDown() override {
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    std::string Stored() const {
        return platform::ReadProfileString(sandbox_.dir.file("private.ini"), kFavoriteArbSection,
                                           "HYDM", "<none>");
    }
    static LRESULT Send(Dlg& d, int id, UINT message, WPARAM w = 0, LPARAM l = 0) {
        return ::SendMessage(d.GetDlgItem(id)->m_hWnd, message, w, l);
    }
    static std::string ComboText(Dlg& d, int index) {
        char buffer[128] = {};
        Send(d, Dlg::kExchangeId, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    static Codes Listed(Dlg& d) {
        Codes codes;
        for (int row : d.OfferedRows())
            codes.push_back(tradedata::CombinationContractTable.Get(1060, row));
        return codes;
    }
    static void SelectListItem(Dlg& d, int item) {
        testing::SelectListItem(d, Dlg::kContractListId, item);
    }
    static void SelectTreeItem(Dlg& d, int index) {
        auto item = static_cast<HTREEITEM>(Send(d, Dlg::kFavoritesId, TVM_GETNEXTITEM, TVGN_ROOT));
        for (int i = 0; i < index && item; ++i)
            item = static_cast<HTREEITEM>(
                Send(d, Dlg::kFavoritesId, TVM_GETNEXTITEM, TVGN_NEXT, item));
        Send(d, Dlg::kFavoritesId, TVM_SELECTITEM, TVGN_CARET, item);
    }
    // The image the list shows for an item.
    static int Image(Dlg& d, int item) { return testing::ListImage(d, Dlg::kContractListId, item); }
    INT_PTR Run(const std::function<void(Dlg&)>& act) {
        Dlg dialog;
        return testing::RunWith(driver_, dialog, act);
    }

    tradedata::testing::SettingsSandbox sandbox_;
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(FavoriteArbCodeDlgTest, ChoosesAddsOnceReordersAndStoresInOrder) {
    pavlet::WritePrivateConfigure(kFavoriteArbSection, "HYDM", "SP m2501&m2505,SP gone&gone");
    EXPECT_EQ(Run([&](Dlg& d) {
                  // Only exchanges with combination contracts.
                  EXPECT_EQ(Send(d, Dlg::kExchangeId, CB_GETCOUNT), 2);
                  EXPECT_EQ(ComboText(d, 0), "上海期货交易所");
                  EXPECT_EQ(ComboText(d, 1), "大连商品交易所");
                  EXPECT_EQ(Listed(d), (Codes{"SP al2501&al2502", "SP cu2501&cu2502"}));
                  // A stored code that is no combination contract any more is dropped.
                  EXPECT_EQ(d.ChosenCodes(), (Codes{"SP m2501&m2505"}));
                  EXPECT_FALSE(Enabled(d, Dlg::kAddId));

                  SelectListItem(d, 1);
                  Click(d, Dlg::kAddId);
                  Click(d, Dlg::kAddId);  // already chosen: nothing more
                  EXPECT_EQ(d.ChosenCodes(), (Codes{"SP m2501&m2505", "SP cu2501&cu2502"}));
                  EXPECT_EQ(Image(d, 1), Dlg::kChosenImage);
                  EXPECT_EQ(Image(d, 0), Dlg::kNotChosenImage);

                  SelectTreeItem(d, 1);
                  Click(d, Dlg::kAddId);
                  EXPECT_TRUE(Enabled(d, Dlg::kMoveUpId));
                  EXPECT_FALSE(Enabled(d, Dlg::kMoveDownId));
                  Click(d, Dlg::kMoveUpId);
                  EXPECT_EQ(d.ChosenCodes(), (Codes{"SP cu2501&cu2502", "SP m2501&m2505"}));
                  EXPECT_FALSE(Enabled(d, Dlg::kMoveUpId));  // the moved item stays selected

                  // Another exchange: the list is refilled from the table as it is now.
                  tradedata::testing::AddRow(tradedata::CombinationContractTable,
                                             {{1060, "SP m2505&m2509"}, {599, "DL"}});
                  Send(d, Dlg::kExchangeId, CB_SETCURSEL, 1);
                  d.SendMessage(WM_COMMAND, MAKEWPARAM(Dlg::kExchangeId, CBN_SELENDOK), 0);
                  EXPECT_EQ(Listed(d), (Codes{"SP m2501&m2505", "SP m2505&m2509"}));
                  EXPECT_EQ(Image(d, 0), Dlg::kChosenImage);
                  const QImage shot = d.GetWidget()->grab().toImage();
                  EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() +
                                        "/options_favorite_arbitrage_codes.png"));
                  Click(d, IDOK);
              }),
              IDOK);
    EXPECT_EQ(Stored(), "SP cu2501&cu2502,SP m2501&m2505");
}

TEST_F(FavoriteArbCodeDlgTest, DeleteClearAndAnEmptyTreeStoredEmpty) {
    pavlet::WritePrivateConfigure(kFavoriteArbSection, "HYDM", "SP cu2501&cu2502,SP al2501&al2502");
    EXPECT_EQ(Run([&](Dlg& d) {
                  SelectTreeItem(d, 0);
                  Click(d, Dlg::kDeleteId);
                  EXPECT_EQ(d.ChosenCodes(), (Codes{"SP al2501&al2502"}));
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(Stored(), "SP cu2501&cu2502,SP al2501&al2502");  // cancel writes nothing

    EXPECT_EQ(Run([&](Dlg& d) {
                  EXPECT_TRUE(Enabled(d, Dlg::kClearId));
                  Click(d, Dlg::kClearId);
                  EXPECT_TRUE(d.ChosenCodes().empty());
                  EXPECT_FALSE(Enabled(d, Dlg::kClearId));
                  EXPECT_FALSE(Enabled(d, Dlg::kDeleteId));
                  Click(d, IDOK);
              }),
              IDOK);
    EXPECT_EQ(Stored(), "");
}

}  // namespace
}  // namespace options
