// CQuoteBoard: the panel slot and the published window, page selection, flashing only the
// rows on screen, refreshes at most once per screen interval, and its look.
#include "market/QuoteBoard.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include "market/Parts.h"
#include "market/feed/QuoteRowNotifier.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "shell/FrameMessages.h"
#include "shell/MainFrame.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/market/BoardFixture.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace market {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ProcessEventsUntil;
using testing::BoardMarket;

class QuoteBoardTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        ASSERT_TRUE(
            host_.Create(nullptr, "bar", WS_POPUP | WS_VISIBLE, RECT{0, 0, 900, 240}, nullptr, 0));
    }
    void TearDown() override {
        board_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Open() {
        board_.SetNotifier(&notifier_);
        ASSERT_TRUE(board_.Create(&host_));
        board_.ShowWindow(SW_SHOW);
        board_.MoveWindow(0, 0, 900, 240);
        DrainEvents();
    }
    void ShowPage(int32_t page) { board_.SendMessage(shell::WM_FRAME_COMMAND, 61, page); }
    // A quote writer changes a row and marks it.
    void Quote(int row, double last) {
        BoardMarket::SetQuote(row, 729, last);
        notifier_.MarkRow(feed::kRowQuoteChannel, row);
    }

    BoardMarket market_;
    feed::QuoteRowNotifier notifier_;
    CWnd host_;
    CQuoteBoard board_;
};

TEST_F(QuoteBoardTest, RegisterPartsFillsTheBoardSlotAndTheBoardPublishesItself) {
    shell::SlotsResetGuard guard;
    RegisterParts();
    std::unique_ptr<CWnd> made = shell::CreateBarPanel(shell::BarPanelKind::QuoteBoard, &host_);
    auto* board = dynamic_cast<CQuoteBoard*>(made.get());
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(::GetParent(board->m_hWnd), host_.m_hWnd);
    EXPECT_EQ(tradedata::GetQuoteBoardWindow(), board->m_hWnd);
    EXPECT_GE(tradedata::FindNotifyWindow(board->m_hWnd), 0);
    EXPECT_EQ(board->Page(), kFavouritesPage);
    // Enter and Esc leave the board open.
    board->ShowWindow(SW_SHOW);
    for (UINT command : {IDOK, IDCANCEL}) {
        board->SendMessage(WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        EXPECT_TRUE(board->IsWindowVisible()) << command;
    }
    const HWND published = board->m_hWnd;
    board->DestroyWindow();
    EXPECT_EQ(tradedata::GetQuoteBoardWindow(), HWND{0});
    EXPECT_LT(tradedata::FindNotifyWindow(published), 0);
}

TEST_F(QuoteBoardTest, SelectingAPageBuildsItOnceAndMarksTheShownContracts) {
    Open();
    ShowPage(0);
    EXPECT_EQ(board_.Page(), 0);
    ASSERT_EQ(board_.Rows().Count(), 3);
    EXPECT_EQ(board_.MainList().GetViewCount(), 3);
    // The shown contracts carry the visible bit, the others not.
    EXPECT_TRUE(tradedata::FuturesContractTable.GetLong(644, 0) & kContractVisible);
    EXPECT_FALSE(tradedata::FuturesContractTable.GetLong(644, 3) & kContractVisible);

    // The page already shown is not built again.
    BoardMarket::AddFuture({"cu2603", "SQ", "cu", 1, 1, 1, 1, 1, 1, 1});
    ShowPage(0);
    EXPECT_EQ(board_.Rows().Count(), 3);
    ShowPage(1);
    EXPECT_EQ(board_.Rows().Count(), 1);
    ShowPage(0);
    EXPECT_EQ(board_.Rows().Count(), 4);
    // Pages the board does not list contracts on show an empty list.
    ShowPage(kEmptyPage);
    EXPECT_EQ(board_.Rows().Count(), 0);
}

TEST_F(QuoteBoardTest, OnlyCellsOnScreenFlash) {
    // Enough contracts that most of the page is below the list's bottom.
    for (int i = 0; i < 40; ++i)
        BoardMarket::AddFuture(
            {"al26" + std::to_string(10 + i), "DL", "al", 100, 99, 101, 100, 1, 1, 1});
    tradedata::SetColorSetting("hyhq_bd_mmpjg", RGB(255, 255, 0));
    Open();
    board_.SendMessage(shell::WM_FRAME_REFRESH, 8, 0);  // reads the colours again
    ShowPage(1);
    ASSERT_EQ(board_.Rows().Count(), 41);
    const std::vector<int> visible = board_.VisibleRows();
    ASSERT_FALSE(visible.empty());
    ASSERT_LT(visible.size(), 41u);
    const int shown = visible.front();
    const int hidden = 40;  // the last row of the page
    ASSERT_EQ(std::count(visible.begin(), visible.end(), hidden), 0);

    const tradedata::RowRef shownRef = board_.Rows().Table().GetLong(3062, shown);
    const tradedata::RowRef hiddenRef = board_.Rows().Table().GetLong(3062, hidden);
    Quote(shownRef, 3005);
    Quote(hiddenRef, 105);
    ASSERT_TRUE(ProcessEventsUntil([&] { return board_.RefreshCount() == 1; }));
    // Both rows took their values; only the one on screen flashed (its last price).
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, shown), 3005);
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, hidden), 105);
    EXPECT_EQ(board_.FlashCount(), 1);
    EXPECT_EQ(board_.MainList().LiveAnimationCount(), 1);
}

TEST_F(QuoteBoardTest, RefreshesComeAtMostOncePerScreenInterval) {
    Open();
    ShowPage(0);
    Quote(0, 70040);
    ASSERT_TRUE(ProcessEventsUntil([&] { return board_.RefreshCount() == 1; }));
    // The test's clock stands still: a change right after waits for the interval's timer,
    // and whatever else changed meanwhile comes with it in one refresh.
    Quote(0, 70050);
    Quote(1, 70130);
    DrainEvents();
    EXPECT_EQ(board_.RefreshCount(), 1);
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, 0), 70040);
    ASSERT_TRUE(ProcessEventsUntil([&] { return board_.RefreshCount() == 2; }));
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, 0), 70050);
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, 1), 70130);
    // Once the interval is over, a change is shown at once.
    clock_.AdvanceMs(CQuoteBoard::kMinRefreshIntervalMs + 1);
    Quote(0, 70060);
    DrainEvents();
    EXPECT_EQ(board_.RefreshCount(), 3);
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, 0), 70060);
}

TEST_F(QuoteBoardTest, RowsFromOtherSendersRefreshTheWholePageAndTheFramesBatchDoesNot) {
    Open();
    ShowPage(0);
    BoardMarket::SetQuote(1, 729, 70300.0);  // changed without a mark in the notifier
    board_.SendMessage(shell::WM_FRAME_REFRESH, shell::kRefreshRow, 0);
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, 1), 70300);
    // The frame's wake-up for a batch only repeats what the board's own list holds: no row
    // outside that list is compared.
    clock_.AdvanceMs(CQuoteBoard::kMinRefreshIntervalMs + 1);
    BoardMarket::SetQuote(1, 729, 70400.0);
    board_.SendMessage(shell::WM_FRAME_REFRESH, shell::kRefreshRow,
                       shell::CMainFrame::kChangedRowsPending);
    EXPECT_DOUBLE_EQ(board_.Rows().Table().GetDouble(729, 1), 70300);
}

TEST_F(QuoteBoardTest, LocatingAContractTurnsToItsExchangesPage) {
    Open();
    ShowPage(1);  // DL
    auto locate = [&](const char* code) {
        auto text = std::make_unique<std::string>(code);
        board_.SendMessage(shell::WM_FRAME_COMMAND, shell::kCommandContractChanged,
                           reinterpret_cast<LPARAM>(text.release()));
    };
    locate("cu2602");
    EXPECT_EQ(board_.Page(), 0);
    EXPECT_EQ(board_.MainList().GetMapRecno(board_.MainList().GetActiveItem()), 1);
    locate("nosuch");  // unknown: the page stays
    EXPECT_EQ(board_.Page(), 0);
    board_.SendMessage(shell::WM_FRAME_COMMAND, shell::kCommandContractChanged, 0);
    EXPECT_EQ(board_.Page(), 0);
}

TEST_F(QuoteBoardTest, TheCombinationPageShowsTheSpreadsOfTheList) {
    tradedata::CombinationQuoteListTable.Create(tradedata::kCombinationQuoteListLayout);
    tradedata::testing::AddRow(
        tradedata::CombinationQuoteListTable,
        {{1392, "cu2601"}, {1393, "cu2602"}, {9036, "1"}, {9038, "2"}, {3062, "-1"}});
    Open();
    ShowPage(kCombinationPage);
    EXPECT_EQ(board_.MainList().GetViewCount(), 1);
    CFixRecord& list = tradedata::CombinationQuoteListTable;
    CMemRecord* mem = list.GetMemRecord();
    auto text = [&](unsigned tag) {
        const char* shown = CQuoteBoard::CellText(&list, 0, mem->FindIndex(tag), &board_);
        return shown ? std::string(shown) : std::string("(own)");
    };
    // Leg 1 ask 70020 less leg 2 bid 70100, with the smaller volume; no exchange combination.
    EXPECT_EQ(text(1799), "80.0    5");
    EXPECT_EQ(text(850), "70020.0");
    EXPECT_EQ(text(844), "70100.00");
    EXPECT_EQ(text(1909), "--");
    // A quote change of a leg reaches the row with the next refresh.
    Quote(0, 70200);
    ASSERT_TRUE(ProcessEventsUntil([&] { return board_.RefreshCount() == 1; }));
    EXPECT_DOUBLE_EQ(list.GetDouble(729, 0), 70200 - 70110);
}

TEST_F(QuoteBoardTest, PricesShowTheirDecimalsAndColoursFollowTheChange) {
    Open();
    ShowPage(0);
    CFixRecord& t = board_.Rows().Table();
    CMemRecord* mem = t.GetMemRecord();
    auto text = [&](int row, unsigned tag) {
        const char* shown = CQuoteBoard::CellText(&t, row, mem->FindIndex(tag), &board_);
        return shown ? std::string(shown) : t.Get(tag, row);
    };
    auto colour = [&](int row, unsigned tag) {
        return CQuoteBoard::CellTextColor(&t, row, mem->FindIndex(tag), &board_);
    };
    EXPECT_EQ(text(0, 729), "70010.0");
    EXPECT_EQ(text(0, 679), "110.0");
    EXPECT_EQ(text(0, 776), "");
    EXPECT_EQ(text(0, 1787), "--.-");
    EXPECT_EQ(colour(0, 729), board_.Colours().positive);  // above yesterday's settlement
    EXPECT_EQ(colour(1, 729), board_.Colours().negative);  // below it
    EXPECT_EQ(colour(0, 719), CLR_INVALID);                // not held
    EXPECT_EQ(colour(0, 843), board_.Colours().volumes);

    ShowPage(kForeignCurrencyPage);  // sc2601 in yuan: 500 x 14.28571
    EXPECT_EQ(text(0, 729), "7142.85");

    ShowPage(0);
    const QImage shot = board_.GetWidget()->grab().toImage();
    EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/market_quote_board.png"));
}

}  // namespace
}  // namespace market
