// COptionUnderlyingBar: the item list from the settings, the underlying list (favourites else
// every futures or index underlying), the choice told to the panel once, the values redrawn
// only for a newer quote stamp, command 85, the context menu's two dialogs, and the strip in
// the shell's slot.
#include "options/OptionUnderlyingBar.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "options/Parts.h"
#include "platform/core/Numbers.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/FrameMessages.h"
#include "shell/PartOpeners.h"
#include "shell/PartSlots.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Rates.h"
#include "tradedata/ReferenceData.h"

namespace options {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using Bar = COptionUnderlyingBar;
using Codes = std::vector<std::string>;
using Items = std::vector<Bar::Item>;

// The panel the strip lives in: counts the choices the strip reports.
class PanelWnd : public CWnd {
public:
    int choices = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == shell::WM_FRAME_COMMAND && wParam == kCommandChooseUnderlying && lParam == 0)
            ++choices;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class OptionUnderlyingBarTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        using tradedata::testing::AddRow;
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable, {{719, "m2505"},
                                                 {594, "1"},
                                                 {729, "3000"},
                                                 {813, "2950"},
                                                 {707, "3010"},
                                                 {704, "2940"},
                                                 {706, "3100"},
                                                 {703, "2800"},
                                                 {528, "12345"},
                                                 {1807, "6789"},
                                                 {590, "20250515"},
                                                 {1212, "1"},
                                                 {3203, "5"}});
        // No previous settlement: the change is taken from the middle of the limits.
        AddRow(tradedata::FuturesContractTable, {{719, "cu2506"},
                                                 {594, "10"},
                                                 {729, "70000"},
                                                 {706, "73000"},
                                                 {703, "66000"},
                                                 {590, "20250616"},
                                                 {3203, "5"}});
        tradedata::FuturesContractTable.GetMemRecord()->Sort(
            tradedata::FuturesContractTable.FindIndex(719), true);
        tradedata::UnderlyingTable.Create(tradedata::UnderlyingLayout());
        AddRow(tradedata::UnderlyingTable, {{719, "m2505"}, {1873, "0"}});
        AddRow(tradedata::UnderlyingTable, {{719, "cu2506"}, {1873, "0"}});
        AddRow(tradedata::UnderlyingTable, {{719, "000016"}, {1873, "3"}, {590, "20250620"}});
        AddRow(tradedata::UnderlyingTable, {{719, "zz"}, {1873, "1"}});  // another kind
        tradedata::UnderlyingTable.GetMemRecord()->Sort(tradedata::UnderlyingTable.FindIndex(719),
                                                        true);
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        AddRow(tradedata::OptionContractTable,
               {{9100, "m2505-C-3000"}, {719, "m2505"}, {590, "20250407"}});
        ASSERT_TRUE(panel_.Create(nullptr, "panel", WS_POPUP | WS_VISIBLE, RECT{0, 0, 1000, 40},
                                  nullptr, 0));
    }
    void TearDown() override {
        panel_.DestroyWindow();
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    // The strip opened in the panel, with its first refresh served.
    void Open(Bar& bar) {
        ASSERT_TRUE(bar.Create(&panel_));
        bar.ShowWindow(SW_SHOW);
        DrainEvents();
    }
    static std::string Value(Bar& bar, Bar::Item item) {
        return bar.GetDlgItemText(Bar::kValueBaseId + item);
    }
    static void ChooseByCommand(Bar& bar, const char* text) {
        bar.SendMessage(shell::WM_FRAME_COMMAND, kCommandChooseUnderlying,
                        reinterpret_cast<LPARAM>(text));
        DrainEvents();
    }
    static void SetFutures(const char* code, unsigned field, double value) {
        const int row = tradedata::FindFuturesContract(code);
        tradedata::FuturesContractTable.Set(field, value, row);
    }

    tradedata::testing::SettingsSandbox sandbox_;
    shell::SlotsResetGuard slots_;
    kelmon::test::ui::ModalDriver driver_;
    PanelWnd panel_;
};

TEST(OptionUnderlyingBarItems, StoredListsAndTheChoosersDictionary) {
    using B = Bar;
    const Items defaults = {
        B::kExpiry,   B::kHistoricalVolatility, B::kOptionExpiry, B::kLastPrice, B::kChange,
        B::kVolume,   B::kOpenInterest,         B::kHigh,         B::kLow,       B::kLimitUp,
        B::kLimitDown};
    const struct {
        const char* stored;
        Items shown;
    } cases[] = {
        {"", defaults},
        {"FOO,BAR", defaults},  // no code of the dictionary
        {"ZXJ,FOO,HQZD", {B::kLastPrice, B::kChange}},
        {"CCSL,ZXJ,CCSL", {B::kOpenInterest, B::kLastPrice}},
        {"zxj", defaults},  // codes are matched exactly
        {"LSBDL", {B::kHistoricalVolatility}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(B::ParseItems(c.stored), c.shown);
    }
    EXPECT_EQ(B::ItemDictionary(),
              "JSRQ:结束日期,ZXJ:最新价,HQZD:涨跌,ZGJ:最高价,ZDJ:最低价,ZGBJ:涨停,ZDBJ:跌停,"
              "CJSL:成交量,CCSL:持仓量,QQJSRQ:期权结束日期,LSBDL:历史波动率");
}

TEST_F(OptionUnderlyingBarTest, ListsEveryFuturesOrIndexUnderlyingAndShowsTheFirst) {
    pavlet::WritePrivateConfigure("CUSTOM", kUnderlyingItemsKey, "ZXJ,HQZD,LSBDL,QQJSRQ,JSRQ");
    Bar bar;
    Open(bar);
    EXPECT_EQ(bar.ListedCodes(), (Codes{"000016", "cu2506", "m2505"}));
    // The first is chosen and the panel told once; an index traded as no other contract
    // shows its own row.
    EXPECT_EQ(bar.ChosenCode(), "000016");
    EXPECT_EQ(panel_.choices, 1);
    EXPECT_EQ(Value(bar, Bar::kLastPrice), "0");
    EXPECT_EQ(Value(bar, Bar::kExpiry), "20250620");

    ChooseByCommand(bar, "M25");  // the first item that begins with it, case ignored
    EXPECT_EQ(bar.ChosenCode(), "m2505");
    EXPECT_EQ(panel_.choices, 2);
    EXPECT_EQ(Value(bar, Bar::kLastPrice), "3000");
    EXPECT_EQ(Value(bar, Bar::kChange), "+50");
    EXPECT_EQ(Value(bar, Bar::kHigh), "3010");
    EXPECT_EQ(Value(bar, Bar::kVolume), "12345");
    EXPECT_EQ(Value(bar, Bar::kOpenInterest), "6789");
    EXPECT_EQ(Value(bar, Bar::kExpiry), "20250515");
    EXPECT_EQ(Value(bar, Bar::kOptionExpiry), "20250407");
    EXPECT_EQ(Value(bar, Bar::kHistoricalVolatility), "100.00%");
    EXPECT_EQ(bar.ShownItems(), (Items{Bar::kLastPrice, Bar::kChange, Bar::kHistoricalVolatility,
                                       Bar::kOptionExpiry, Bar::kExpiry}));
    // Chosen items in their order, one row; the others disabled, hidden and after them.
    auto left = [&](int id) {
        RECT r{};
        bar.GetDlgItem(id)->GetWindowRect(&r);
        return r.left;
    };
    EXPECT_LT(left(Bar::kValueBaseId + Bar::kLastPrice), left(Bar::kCaptionBaseId + Bar::kChange));
    EXPECT_LT(left(Bar::kValueBaseId + Bar::kOptionExpiry),
              left(Bar::kCaptionBaseId + Bar::kExpiry));
    EXPECT_LT(left(Bar::kValueBaseId + Bar::kExpiry), left(Bar::kCaptionBaseId + Bar::kHigh));
    EXPECT_FALSE(bar.GetDlgItem(Bar::kCaptionBaseId + Bar::kHigh)->IsWindowEnabled());
    EXPECT_FALSE(bar.GetDlgItem(Bar::kValueBaseId + Bar::kHigh)->IsWindowVisible());
    EXPECT_TRUE(bar.GetDlgItem(Bar::kValueBaseId + Bar::kChange)->IsWindowVisible());
    // The strip marks each listed futures underlying and remembers its futures row.
    const int futures = tradedata::FindFuturesContract("m2505");
    EXPECT_TRUE(tradedata::FuturesContractTable.GetLong(644, futures) & kMarkStripUnderlying);
    EXPECT_EQ(tradedata::UnderlyingTable.GetLong(3062, tradedata::FindUnderlyingContract("m2505")),
              futures);
    EXPECT_EQ(tradedata::UnderlyingTable.GetLong(3062, tradedata::FindUnderlyingContract("000016")),
              -1);

    const QImage shot = bar.GetWidget()->grab().toImage();
    EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/options_underlying_strip.png"));

    // The same underlying again, or a text no item begins with, changes nothing.
    ChooseByCommand(bar, "m2505");
    ChooseByCommand(bar, "rb");
    EXPECT_EQ(bar.ChosenCode(), "m2505");
    EXPECT_EQ(panel_.choices, 2);

    // Without a previous settlement the change is measured from the middle of the limits.
    ChooseByCommand(bar, "cu");
    EXPECT_EQ(Value(bar, Bar::kChange), "+500");
    EXPECT_EQ(Value(bar, Bar::kOptionExpiry), "");  // no option of it listed
    // No volatility of its own: the program's default.
    EXPECT_EQ(Value(bar, Bar::kHistoricalVolatility),
              platform::FormatFixed(tradedata::GetVolatility() * 100, 2) + "%");
    bar.DestroyWindow();
}

TEST_F(OptionUnderlyingBarTest, RedrawsOnlyForAQuoteNewerThanTheLastDrawing) {
    Bar bar;
    Open(bar);
    ChooseByCommand(bar, "m2505");
    ASSERT_EQ(Value(bar, Bar::kLastPrice), "3000");

    // A change whose stamp is not newer than the drawing is not shown.
    SetFutures("m2505", 729, 3020);
    bar.SendMessage(shell::WM_FRAME_REFRESH, kBarValues, 0);
    EXPECT_EQ(Value(bar, Bar::kLastPrice), "3000");

    clock_.AdvanceUs(10);
    SetFutures("m2505", 3203, tradedata::GetHighResMicroseconds());
    bar.SendMessage(shell::WM_FRAME_REFRESH, kBarValues, 0);
    EXPECT_EQ(Value(bar, Bar::kLastPrice), "3020");
    EXPECT_EQ(Value(bar, Bar::kChange), "+70");

    // Drawn once more only after a newer stamp again.
    SetFutures("m2505", 729, 2900);
    bar.SendMessage(shell::WM_FRAME_REFRESH, kBarValues, 0);
    EXPECT_EQ(Value(bar, Bar::kLastPrice), "3020");
    clock_.AdvanceUs(10);
    SetFutures("m2505", 3203, tradedata::GetHighResMicroseconds());
    bar.SendMessage(shell::WM_FRAME_REFRESH, kBarValues, 0);
    EXPECT_EQ(Value(bar, Bar::kChange), "-50");  // no "+" below the previous settlement

    // Enter and Esc close nothing.
    bar.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    bar.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    DrainEvents();
    EXPECT_TRUE(::IsWindow(bar.m_hWnd));
    bar.DestroyWindow();
}

TEST_F(OptionUnderlyingBarTest, FavouritesFirstAndTheMenusDialogs) {
    pavlet::WritePrivateConfigure(kFavoriteUnderlyingSection, "HYDM", "m2505,nosuch,cu2506,m2505");
    Bar bar;
    Open(bar);
    EXPECT_EQ(bar.ListedCodes(), (Codes{"m2505", "cu2506"}));
    EXPECT_EQ(bar.ChosenCode(), "m2505");

    // The items chooser, through the settings folder's opener.
    shell::DisplaySettingsRequest asked;
    shell::PartOpeners().displaySettings = [&](CWnd*, const shell::DisplaySettingsRequest& r) {
        asked = r;
        pavlet::WritePrivateConfigure("CUSTOM", kUnderlyingItemsKey, "CJSL,ZXJ");
        return INT_PTR{IDOK};
    };
    bar.SendMessage(WM_COMMAND, Bar::kItemsCommand, 0);
    EXPECT_EQ(asked.catalogue, Bar::ItemDictionary());
    EXPECT_EQ(asked.defaults, Bar::kDefaultItems);
    EXPECT_EQ(asked.key, "BDDMXX");
    EXPECT_EQ(bar.ShownItems(), (Items{Bar::kVolume, Bar::kLastPrice}));

    // The favourites dialog for option underlyings; after OK the list is filled again and a
    // choice that left the list moves to the first item.
    pavlet::WritePrivateConfigure(kFavoriteUnderlyingSection, "HYDM", "cu2506");
    std::string title;
    driver_.OnNextModal([&](QWidget* window) {
        DrainEvents();
        title = window->windowTitle().toStdString();
        ::SendMessage(platform::ui::WindowOf(window), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    bar.SendMessage(WM_COMMAND, Bar::kFavoritesCommand, 0);
    DrainEvents();
    EXPECT_EQ(title, "设置自选期权标的合约");
    EXPECT_EQ(bar.ListedCodes(), (Codes{"cu2506"}));
    EXPECT_EQ(bar.ChosenCode(), "cu2506");
    bar.DestroyWindow();
}

TEST_F(OptionUnderlyingBarTest, TheBoardMakesItThroughTheShellsSlot) {
    RegisterParts();
    std::unique_ptr<CWnd> strip =
        shell::CreateFromSlot(shell::PartOpeners().optionUnderlyingBar, &panel_);
    ASSERT_NE(strip, nullptr);
    EXPECT_NE(dynamic_cast<Bar*>(strip.get()), nullptr);
    EXPECT_TRUE(strip->GetStyle() & WS_CHILD);
    strip->DestroyWindow();
}

}  // namespace
}  // namespace options
