// CQuoteTabDlg: the tabs by the display switches, favourite groups and exchanges; the page a
// tab asks the workspace for; the switches and quote-source choice the menus store; the
// states of the menu items; the strip in its slot; its look.
#include "market/QuoteTabDlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <set>

#include "market/Parts.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "record/Configure.h"
#include "shell/FrameMessages.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace market {
namespace {

using kelmon::test::ui::DrainEvents;
using tradedata::testing::AddRow;

constexpr uint32_t kBoardOn = 0x1000;

class QuoteTabDlgTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        tradedata::ExchangeTable.Create(tradedata::kExchangeLayout);
        for (auto [code, name] :
             {std::pair{"ZJ", "中金所"}, {"SQ", "上期所"}, {"NY", "能源"}, {"DL", "大商所"}})
            AddRow(tradedata::ExchangeTable, {{599, code}, {601, name}});
        tradedata::ProductTable.Create(tradedata::kProductLayout);
        displayBefore_ = shell::GetDisplaySettings();
        sourcesBefore_ = shell::GetQuoteSourceState();
        shell::SetDisplaySettings(kBoardOn);
        ASSERT_TRUE(
            workspace_.Create(nullptr, "workspace", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
        tradedata::SetWorkplaceWindow(workspace_.m_hWnd);
        ASSERT_TRUE(
            host_.Create(nullptr, "bar", WS_POPUP | WS_VISIBLE, RECT{0, 0, 800, 30}, nullptr, 0));
    }
    void TearDown() override {
        strip_.DestroyWindow();
        host_.DestroyWindow();
        tradedata::SetWorkplaceWindow(0);
        workspace_.DestroyWindow();
        shell::SetDisplaySettings(displayBefore_);
        shell::ReplaceQuoteSourceState(0xFFFFFFFF, sourcesBefore_);
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    void Open() {
        ASSERT_TRUE(strip_.Create(&host_));
        strip_.ShowWindow(SW_SHOW);
        strip_.MoveWindow(0, 0, 800, 26);
        DrainEvents();
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (int i = 0; i < strip_.TabCount(); ++i) texts.push_back(strip_.TabText(i));
        return texts;
    }
    // The pages the workspace was asked to show, in order.
    std::vector<intptr_t> PagesAsked() {
        std::vector<intptr_t> pages;
        for (const auto& m : workspace_.Got(shell::WM_FRAME_COMMAND))
            if (m.wParam == 61) pages.push_back(m.lParam);
        return pages;
    }

    tradedata::testing::SettingsSandbox sandbox_;
    std::vector<kelmon::test::ui::LoggedMessage> log_;
    kelmon::test::ui::ProbeWnd workspace_{"workspace", &log_};
    CWnd host_;
    CQuoteTabDlg strip_;
    uint32_t displayBefore_ = 0, sourcesBefore_ = 0;
};

TEST_F(QuoteTabDlgTest, TabsFollowTheSwitchesGroupsAndExchanges) {
    // Groups 5 and 9 have no page of their own (page 25 is the foreign-currency page).
    pavlet::WritePrivateConfigure("CUSTOM", "group_zxdm", "2,5,x,3,9");
    pavlet::WritePrivateConfigure("CUSTOM", "HYZ3", "能化");
    const struct {
        uint32_t display;
        std::vector<std::string> tabs;
    } cases[] = {
        {kBoardOn, {"自选", "自选2", "能化", "大商所", "上期所", "中金所", "能源"}},
        {kBoardOn | 0x8000 | 0x10000 | 0x200000 | 0x4000 | 0x2000,
         {"自选", "自选2", "能化", "期权", "期权组合", "美元报价", "大商所", "上期所", "中金所",
          "能源", "组合行情", "交易卡"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        shell::SetDisplaySettings(c.display);
        Open();
        EXPECT_EQ(Texts(), c.tabs);
        strip_.DestroyWindow();
    }
    // Each exchange tab names its row's page.
    shell::SetDisplaySettings(kBoardOn);
    Open();
    EXPECT_EQ(strip_.TabCommand(3), kFirstPageCommand + 3);  // DL, row 3
    EXPECT_EQ(strip_.TabCommand(6), kFirstPageCommand + 2);  // NY, row 2
    EXPECT_EQ(strip_.TabCommand(2), kFavouritesCommand + 3);
}

TEST_F(QuoteTabDlgTest, ExchangeRowsPastTheTenthGetNoTab) {
    for (int i = 0; i < 10; ++i)
        AddRow(tradedata::ExchangeTable,
               {{599, "E" + std::to_string(i)}, {601, "E" + std::to_string(i)}});
    Open();
    // Four exchanges above plus six: rows 10-13 would share commands with favourites pages.
    int exchangeTabs = 0;
    std::set<int32_t> pages;
    for (int i = 0; i < strip_.TabCount(); ++i) {
        const UINT command = strip_.TabCommand(i);
        if (command >= kFirstPageCommand && command < kFavouritesCommand) ++exchangeTabs;
        pages.insert(PageOfCommand(command));
    }
    EXPECT_EQ(exchangeTabs, kExchangeTabRows);
    EXPECT_EQ(pages.size(), static_cast<size_t>(strip_.TabCount()));  // no page twice
}

TEST_F(QuoteTabDlgTest, ChoosingATabAsksTheWorkspaceForItsPageOnce) {
    Open();
    ASSERT_EQ(PagesAsked(), std::vector<intptr_t>{20});  // the favourites at the start
    strip_.SelectTab(1);                                 // 大商所, exchange row 3
    strip_.SelectTab(1);                                 // already shown
    strip_.SendMessage(WM_COMMAND, kForeignCurrencyCommand, 0);
    strip_.SendMessage(shell::WM_FRAME_COMMAND, 86, kFirstPageCommand + 1);
    strip_.SelectTab(99);
    EXPECT_EQ(PagesAsked(), (std::vector<intptr_t>{20, 3, 25, 1}));
    EXPECT_EQ(strip_.CurrentCommand(), kFirstPageCommand + 1);
    EXPECT_EQ(::SendMessage(strip_.GetDlgItem(CQuoteTabDlg::kTabsId)->m_hWnd, TCM_GETCURSEL, 0, 0),
              2);  // 上期所
}

TEST_F(QuoteTabDlgTest, MenuCommandsToggleAndStoreTheSwitches) {
    Open();
    const struct {
        UINT command;
        const char* key;
        uint32_t bit;
    } toggles[] = {{32908, "SHOWZHHQ", 0x4000},
                   {32910, "ShowExtHq", 0x20000},
                   {32924, "QQHQSLXS", 0x100000},
                   {32915, "ShowPushMsg", 1u << 24}};
    for (const auto& t : toggles) {
        SCOPED_TRACE(t.key);
        strip_.SendMessage(WM_COMMAND, t.command, 0);
        EXPECT_TRUE(shell::GetDisplaySettings() & t.bit);
        EXPECT_EQ(pavlet::ReadPrivateConfigInt("SYSTEM", t.key, -1, INT32_MIN, INT32_MAX), 1);
        strip_.SendMessage(WM_COMMAND, t.command, 0);
        EXPECT_FALSE(shell::GetDisplaySettings() & t.bit);
        EXPECT_EQ(pavlet::ReadPrivateConfigInt("SYSTEM", t.key, -1, INT32_MIN, INT32_MAX), 0);
    }
    DrainEvents();
    EXPECT_EQ(workspace_.Got(shell::WM_FRAME_REFRESH).size(), 8u);

    // The calculator is not stored; the workspace opens or closes it.
    strip_.SendMessage(WM_COMMAND, CQuoteTabDlg::kShowOptionCalculator, 0);
    DrainEvents();
    const auto commands = workspace_.Got(shell::WM_FRAME_COMMAND);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back().wParam, 87u);
    EXPECT_EQ(commands.back().lParam, 1);

    strip_.SendMessage(WM_COMMAND, CQuoteTabDlg::kKeepTopMost, 0);
    EXPECT_TRUE(strip_.IsKeepTopMost());
    EXPECT_EQ(pavlet::ReadPrivateConfigInt("SYSTEM", "KeepTopMost", -1, INT32_MIN, INT32_MAX), 1);

    // Commands of the workspace go there as they came.
    strip_.SendMessage(WM_COMMAND, 32789, 0);
    EXPECT_EQ(workspace_.Got(WM_COMMAND).size(), 1u);
}

TEST_F(QuoteTabDlgTest, TheQuoteSourceChoiceIsOneBitAndItsStoredNumber) {
    Open();
    shell::SetQuoteSourceState(0x1 | 0x4);
    const struct {
        UINT command;
        uint32_t choice;
        int stored;
    } cases[] = {{CQuoteTabDlg::kSourceLevel2, 0x40000, 3},
                 {CQuoteTabDlg::kSourceBroadcast, 0x20000, 2},
                 {CQuoteTabDlg::kSourceSubscription, 0x10000, 1},
                 {CQuoteTabDlg::kSourceAutomatic, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        strip_.SendMessage(WM_COMMAND, c.command, 0);
        EXPECT_EQ(shell::GetQuoteSourceState() & shell::kQuoteSourceChoiceMask, c.choice);
        EXPECT_EQ(shell::GetQuoteSourceState() & 0x7, 0x5u);  // availability kept
        EXPECT_EQ(pavlet::ReadPrivateConfigInt("SYSTEM", "AssignQuote", -1, INT32_MIN, INT32_MAX),
                  c.stored);
    }
    // The states of menu 131: automatic checked, the broadcast greyed (not available).
    HMENU menu = CQuoteTabDlg::BuildSourceMenu();
    strip_.UpdateMenuStates(menu);
    EXPECT_TRUE(::GetMenuState(menu, CQuoteTabDlg::kSourceAutomatic, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(::GetMenuState(menu, CQuoteTabDlg::kSourceLevel2, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(::GetMenuState(menu, CQuoteTabDlg::kSourceBroadcast, MF_BYCOMMAND) & MF_GRAYED);
    ::DestroyMenu(menu);
}

TEST_F(QuoteTabDlgTest, DisplayItemsAreGreyedWhileWhatTheyNeedIsOff) {
    Open();
    const struct {
        uint32_t display;
        bool dollarProduct;
        std::vector<UINT> greyed, enabled, checked;
        bool dollarItem;
    } cases[] = {
        {0, false, {32907, 32908, 32909, 32910, 32911, 32954, 32923, 32965, 32924}, {}, {}, false},
        {kBoardOn | 0x4000 | 0x20000,
         true,
         {32907, 32924},
         {32908, 32923, 32965, CQuoteTabDlg::kDollarQuotes},
         {32908, 32910},
         true},
        {kBoardOn | 0x8000, false, {32923, 32965}, {32924, 32911}, {32911}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        shell::SetDisplaySettings(c.display);
        tradedata::ProductTable.GetMemRecord()->Zap();
        if (c.dollarProduct) AddRow(tradedata::ProductTable, {{720, "sc"}, {9020, "1"}});
        HMENU menu = CQuoteTabDlg::BuildDisplayMenu();
        strip_.UpdateMenuStates(menu);
        for (UINT id : c.greyed)
            EXPECT_TRUE(::GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) << id;
        for (UINT id : c.enabled)
            EXPECT_FALSE(::GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) << id;
        for (UINT id : c.checked)
            EXPECT_TRUE(::GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) << id;
        EXPECT_EQ(::GetMenuState(menu, CQuoteTabDlg::kDollarQuotes, MF_BYCOMMAND) !=
                      static_cast<UINT>(-1),
                  c.dollarItem);
        ::DestroyMenu(menu);
    }
    // With the board off the tabs are hidden.
    shell::SetDisplaySettings(0);
    strip_.SendMessage(shell::WM_FRAME_REFRESH, 0x100, 0);
    EXPECT_FALSE(strip_.GetDlgItem(CQuoteTabDlg::kTabsId)->IsWindowVisible());
    shell::SetDisplaySettings(kBoardOn);
    strip_.SendMessage(shell::WM_FRAME_REFRESH, 0x100, 0);
    EXPECT_TRUE(strip_.GetDlgItem(CQuoteTabDlg::kTabsId)->IsWindowVisible());
}

TEST_F(QuoteTabDlgTest, RegisterPartsFillsTheTabsSlot) {
    shell::SlotsResetGuard guard;
    RegisterParts();
    std::unique_ptr<CWnd> made = shell::CreateBarPanel(shell::BarPanelKind::QuoteTabs, &host_);
    auto* strip = dynamic_cast<CQuoteTabDlg*>(made.get());
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(::GetParent(strip->m_hWnd), host_.m_hWnd);
    EXPECT_GE(tradedata::FindNotifyWindow(strip->m_hWnd), 0);
    EXPECT_EQ(strip->ToolBar().GetCount(), 7);
    EXPECT_EQ(strip->ToolBar().GetButtonText(0), "行情");
    strip->ShowWindow(SW_SHOW);
    strip->MoveWindow(0, 0, 800, 26);
    DrainEvents();
    const QImage shot = strip->GetWidget()->grab().toImage();
    EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/market_quote_tabs.png"));
    strip->DestroyWindow();
}

}  // namespace
}  // namespace market
