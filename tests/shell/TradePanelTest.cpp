// The standard trading panel: the workspace messages passed to the frame and the registered
// windows (sent or posted, and in which order), tabs and pages, the conditional tabs of the
// account services, the order panel's bar, the sticky status rule, the settings words, the hot
// keys, the worker's stop and the auto lock.
#include "shell/TradePanel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "flexui/GridCtrl.h"
#include "orderentry/controls/HotkeyTable.h"
#include "platform/core/SoundPlayer.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/StringHelpers.h"
#include "shell/FrameMessages.h"
#include "shell/MainFrame.h"
#include "shell/PartSlots.h"
#include "shell/TradeApp.h"
#include "shell/ViewPlugin.h"
#include "shell/WindowHelpers.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/RecordingSoundPlayer.h"
#include "support/ScratchProfile.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"
#include "tradedata/AccountFiles.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/Registries.h"
#include "tradedata/RunRegisters.h"
#include "tradedata/TradingHelpers.h"

namespace shell {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::UiTest;

constexpr const char* kKhh = "000123456789";

// One message as the frame saw it.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Logs the workspace messages it receives into a shared log (the order across windows
// counts) and answers them; takes the owned text of a contract change.
class Recorder : public ProbeWnd {
public:
    explicit Recorder(std::vector<LoggedMessage>* log) : ProbeWnd("recorder", log) {
        logPre = false;
        logOnly = [](UINT message) { return message >= WM_FRAME_REFRESH && message <= WM_APP + 4; };
        handle = [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
            if (!logOnly(message)) return false;
            if (message == WM_FRAME_COMMAND && wParam == kCommandContractChanged)
                texts.push_back(*TakeFrameText(lParam));
            *result = 1;
            return true;
        };
    }
    BOOL Make(CWnd* parent) {
        return Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 40, 20}, parent, 0);
    }
    std::vector<std::string> texts;
};

// The frame: logs what the panel gives it.
class RecordingFrame : public CFrameWnd {
public:
    std::vector<Seen> got;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FRAME_REFRESH || message == WM_FRAME_COMMAND ||
            message == WM_FRAME_SERVICE || message == WM_COMMAND || message == WM_CLOSE)
            got.push_back({m_hWnd, message, wParam, lParam});
        if (message == WM_CLOSE) return 0;  // the test's frame stays
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<WPARAM> Of(UINT message) const {
        std::vector<WPARAM> out;
        for (const Seen& s : got)
            if (s.message == message) out.push_back(s.wParam);
        return out;
    }
};

class TestPanel : public CTradePanelDlg {
public:
    struct Status {
        std::string text;
        BOOL sticky;
    };
    std::vector<Status> statuses;
    CTradePanelWorker::Jobs jobs;

protected:
    void ShowStatusText(const std::string& text, BOOL sticky) override {
        statuses.push_back({text, sticky});
    }
    CTradePanelWorker::Jobs WorkerJobs() override { return jobs; }
};

class TradePanelTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        account_ = tradedata::AddAccount(1, kKhh, "01", "张三", "pw", nullptr);
        tradedata::SetCurrentAccount(account_);
        tradedata::AddAccountService(0x20, account_);
        pavlet::SetPrivateProfileName(tradedata::GetAccountFilePath(kKhh, "ini"));
        ASSERT_TRUE(frame_.Create(nullptr, "frame", WS_POPUP | WS_VISIBLE, RECT{0, 0, 900, 600},
                                  nullptr, 0));
        ASSERT_TRUE(host_.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 1, 1}, &frame_,
                                 AFX_IDW_PANE_FIRST));
        SetMainWindow(frame_.m_hWnd);
        InstallWindowSender();
    }
    void TearDown() override {
        if (panel_ && ::IsWindow(panel_->m_hWnd)) panel_->DestroyWindow();
        panel_.reset();
        for (auto& r : recorders_)
            if (::IsWindow(r->m_hWnd)) {
                tradedata::RemoveNotifyWindow(r->m_hWnd);
                r->DestroyWindow();
            }
        recorders_.clear();
        tradedata::SetWindowSender({});
        tradedata::SetQuoteBoardWindow(0);
        tradedata::SetOrderEntryWindow(0);
        SetMainWindow(0);
        host_.DestroyWindow();
        frame_.DestroyWindow();
        ClearAppStateFlags(~0u);
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        pavlet::SetPrivateProfileName("");
        UiTest::TearDown();
    }
    void Open() {
        panel_ = std::make_unique<TestPanel>();
        panel_->SetFrame(&frame_);
        ASSERT_TRUE(panel_->Create(CTradePanelDlg::IDD, &host_));
        DrainEvents();
        frame_.got.clear();
    }
    Recorder* Register() {
        recorders_.push_back(std::make_unique<Recorder>(&log_));
        Recorder* r = recorders_.back().get();
        EXPECT_TRUE(r->Make(&host_));
        tradedata::AddNotifyWindow(r->m_hWnd);
        return r;
    }
    // A page factory that makes a recorder (kept by the panel).
    PanelWindowFactory RecorderFactory(std::vector<CWnd*>* made = nullptr) {
        return [this, made](CWnd* parent) -> std::unique_ptr<CWnd> {
            auto r = std::make_unique<Recorder>(&log_);
            if (!r->Make(parent)) return nullptr;
            if (made) made->push_back(r.get());
            return r;
        };
    }
    void WriteSetting(const char* section, const char* key, int value) {
        pavlet::WritePrivateConfigure(section, key, value);
    }
    std::vector<int32_t> TabPages() const {
        std::vector<int32_t> pages;
        for (int i = 0; i < panel_->TabCount(); ++i) pages.push_back(panel_->TabPage(i));
        return pages;
    }

    SlotsResetGuard slots_;  // first made, last gone: after the panel and its windows
    testsupport::ScratchProfile profile_;
    RecordingFrame frame_;
    CWnd host_;
    int account_ = -1;
    std::unique_ptr<TestPanel> panel_;
    std::vector<LoggedMessage> log_;
    std::vector<std::unique_ptr<Recorder>> recorders_;
};

// ---- notification dispatch ----

TEST_F(TradePanelTest, RefreshBitsReachTheFrameWholeAndTheWindowsStripped) {
    Open();
    Recorder* r = Register();
    const struct {
        WPARAM bits;
        bool sent;        // arrived before the send returned
        WPARAM received;  // 0: nothing reaches the registered window
    } cases[] = {
        {0x30, false, 0},       // only the frame serves funds and positions
        {0x130, false, 0x100},  // a settings change once 0x10 and 0x20 are gone
        {0x101, true, 0x101},   // no case of its own: sent unchanged
        {0x4, true, 0x4},       // pushes re-subscribed
        {0x8, true, 0x8},       // account switched
        {0x200, true, 0x200},   // account services
        {0x20000, false, 0x20000}, {0x40, true, 0x40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        log_.clear();
        frame_.got.clear();
        panel_->SendMessage(WM_FRAME_REFRESH, c.bits, 7);
        EXPECT_EQ(!log_.empty(), c.sent && c.received != 0);
        DrainEvents();
        ASSERT_EQ(frame_.Of(WM_FRAME_REFRESH), std::vector<WPARAM>{c.bits});
        if (c.received == 0) {
            EXPECT_TRUE(log_.empty());
            continue;
        }
        ASSERT_EQ(log_.size(), 1u);
        EXPECT_EQ(log_[0].hwnd, r->m_hWnd);
        EXPECT_EQ(log_[0].wParam, c.received);
        EXPECT_EQ(log_[0].lParam, 7);
    }
}

TEST_F(TradePanelTest, RowChangeGoesFirstToBoardAndOrderPanelBySend) {
    Open();
    Recorder* first = Register();
    Recorder* board = Register();
    Recorder* order = Register();
    Recorder* last = Register();
    tradedata::SetQuoteBoardWindow(board->m_hWnd);
    tradedata::SetOrderEntryWindow(order->m_hWnd);

    panel_->PostToNotifyWindows(WM_FRAME_REFRESH, 0x20000, 5);
    // The two sends have happened before anything posted is handled.
    ASSERT_EQ(log_.size(), 2u);
    EXPECT_EQ(log_[0].hwnd, board->m_hWnd);
    EXPECT_EQ(log_[1].hwnd, order->m_hWnd);
    DrainEvents();
    ASSERT_EQ(log_.size(), 4u);  // neither of the two gets a posted copy too
    EXPECT_EQ(log_[2].hwnd, first->m_hWnd);
    EXPECT_EQ(log_[3].hwnd, last->m_hWnd);

    // A contract change: the board by send, everybody else (the order panel too) by post, each
    // with a copy of the code of its own.
    log_.clear();
    PostFrameText(panel_->m_hWnd, WM_FRAME_COMMAND, kCommandContractChanged, "IF2612");
    DrainEvents();
    ASSERT_EQ(log_.size(), 4u);
    EXPECT_EQ(log_[0].hwnd, board->m_hWnd);
    for (Recorder* w : {first, board, order, last})
        EXPECT_EQ(w->texts, std::vector<std::string>{"IF2612"});

    // Any other message: posted to all, in list order.
    log_.clear();
    panel_->PostToNotifyWindows(WM_FRAME_REFRESH, 0x100, 0);
    EXPECT_TRUE(log_.empty());
    DrainEvents();
    ASSERT_EQ(log_.size(), 4u);
    EXPECT_EQ(log_[1].hwnd, board->m_hWnd);
}

TEST_F(TradePanelTest, SendsSkipDeadWindowsAndNoticesChooseTheirRoad) {
    Open();
    Recorder* dead = Register();
    Recorder* live = Register();
    dead->DestroyWindow();  // still listed: a send tests the handle first
    const struct {
        WPARAM wParam;
        bool sent;
    } cases[] = {{MAKEWPARAM(2, 0), true},
                 {MAKEWPARAM(3, 0), true},
                 {MAKEWPARAM(1, 0), false},
                 {MAKEWPARAM(4, 0), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wParam);
        log_.clear();
        panel_->SendMessage(WM_FRAME_NOTICE, c.wParam, 9);
        EXPECT_EQ(log_.size(), c.sent ? 1u : 0u);
        DrainEvents();
        ASSERT_EQ(log_.size(), 1u);
        EXPECT_EQ(log_[0].hwnd, live->m_hWnd);
    }
}

TEST_F(TradePanelTest, OrderAndTradeNoticesSoundAtMostOncePerSecond) {
    testsupport::RecordingSoundPlayer player;
    platform::ScopedSoundPlayer playerScope(player);
    for (int event = 0; event <= 8; ++event)
        pavlet::WritePrivateConfigure("ALERT", tradedata::GetAlertEventName(event),
                                      "/snd/" + std::to_string(event) + ".wav");
    Open();
    tradedata::ClearTickMark(3);
    tradedata::ClearTickMark(4);
    clock_.AdvanceMs(1);
    const struct {
        int kind;
        int argument;
        int64_t advanceMs;  // before the notice
        bool batch;
        bool alerts;
        const char* played;  // null: nothing
    } cases[] = {
        {2, 3, 0, false, true, "/snd/2.wav"},
        {2, 3, 1000, false, true, nullptr},    // not more than a second since the last
        {3, 1, 0, false, true, "/snd/4.wav"},  // trades keep a mark of their own
        {2, 1, 1, false, true, "/snd/0.wav"},
        {3, 6, 1001, false, true, "/snd/8.wav"},
        {2, 0, 1001, false, true, nullptr},  // no state: no sound
        {2, 2, 0, true, true, nullptr},      // a batch operation is running
        {3, 1, 0, false, false, nullptr},    // sound alerts are off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << "/" << c.argument);
        clock_.AdvanceMs(c.advanceMs);
        if (c.batch) tradedata::BeginBatchOperation();
        if (!c.alerts) ClearDisplaySettingsBits(kDisplaySoundAlerts);
        player.played.clear();
        panel_->SendMessage(WM_FRAME_NOTICE, MAKEWPARAM(c.kind, c.argument), 0);
        if (c.batch) tradedata::EndBatchOperation();
        if (!c.alerts) SetDisplaySettingsBits(kDisplaySoundAlerts);
        if (c.played == nullptr) {
            EXPECT_TRUE(player.played.empty());
        } else {
            ASSERT_EQ(player.played.size(), 1u);
            EXPECT_EQ(player.played[0].path, c.played);
        }
    }
}

TEST_F(TradePanelTest, FrameCommandsGoToTheFrameOrTheWindows) {
    Open();
    Register();
    for (WPARAM code : {3, 5, 8, 9, 10, 14}) {
        SCOPED_TRACE(code);
        log_.clear();
        frame_.got.clear();
        EXPECT_EQ(panel_->SendMessage(WM_FRAME_COMMAND, code, 2), 1);
        DrainEvents();
        EXPECT_EQ(frame_.Of(WM_FRAME_COMMAND), std::vector<WPARAM>{code});
        EXPECT_TRUE(log_.empty());
    }
    log_.clear();
    panel_->SendMessage(WM_FRAME_COMMAND, 40, 2);  // no case of its own: sent to the windows
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].wParam, 40u);
    // No option calculator yet: the answer is no window.
    EXPECT_EQ(panel_->SendMessage(WM_FRAME_COMMAND, 87, 1), 0);
}

// ---- tabs and pages ----

TEST_F(TradePanelTest, FixedTabsInTheirOrderAndPagesMadeOnFirstUse) {
    std::vector<CWnd*> made;
    SetPageFactory(PageKind::OrderQuery, RecorderFactory(&made));
    SetPageFactory(PageKind::HistoryQuery, RecorderFactory(&made));
    Open();
    EXPECT_EQ(TabPages(), (std::vector<int32_t>{1, 2, 3, 4, 6, 7, 5}));
    EXPECT_EQ(panel_->TabText(0), "委托");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(panel_->CurrentPage(), made[0]);
    EXPECT_EQ(panel_->CurrentPageId(), 1);
    // The page in front was told so.
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.back().hwnd, made[0]->m_hWnd);
    EXPECT_EQ(log_.back().wParam, kCommandShowPage);

    // A page without a window leaves the area empty.
    EXPECT_EQ(panel_->SelectPage(1), 2);
    EXPECT_EQ(panel_->CurrentPage(), nullptr);
    EXPECT_FALSE(made[0]->IsWindowVisible());
    panel_->SelectPage(4);
    ASSERT_EQ(made.size(), 2u);
    panel_->SelectPage(0);
    EXPECT_EQ(made.size(), 2u);  // made once
    EXPECT_TRUE(made[0]->IsWindowVisible());
}

TEST_F(TradePanelTest, ShowPageCommandForAPageWithoutATabDoesNothing) {
    Open();
    panel_->SelectPage(2);
    ASSERT_EQ(panel_->FindTabByPage(kPageExtendedFunctions), -1);
    panel_->SendMessage(WM_FRAME_COMMAND, kCommandShowPage, kPageExtendedFunctions);
    EXPECT_EQ(panel_->CurrentPageId(), 3);
    // The high word names the item inside the page; the page id is the low word.
    panel_->SendMessage(WM_FRAME_COMMAND, kCommandShowPage, MAKELPARAM(kPageBill, 3));
    EXPECT_EQ(panel_->CurrentPageId(), kPageBill);
    EXPECT_EQ(panel_->CurrentTab(), panel_->FindTabByPage(kPageBill));
}

TEST_F(TradePanelTest, ConditionalTabsFollowTheAccountServices) {
    const struct {
        int32_t services;
        int32_t group;
        const char* extra;
        std::vector<int32_t> tabs;
    } cases[] = {
        {0x20, 0, "", {1, 2, 3, 4, 6, 7, 5}},
        {0x20 | 0x1, 0, "", {1, 2, 3, 4, 6, 7, 5, 8}},
        {0x20 | 0x8, 0, "", {1, 2, 3, 4, 6, 7, 5}},  // the group service needs a group
        {0x20 | 0x8, 4, "", {1, 2, 3, 4, 6, 7, 5, 8}},
        {0x20 | 0x40, 0, "", {1, 2, 3, 4, 6, 7, 5, 9}},
        {0x20 | 0x200 | 0x400, 0, "2,29991231", {1, 2, 3, 4, 6, 7, 5, 8, 12, 13}},
        {0x20 | 0x4000, 0, "2,20000101", {1, 2, 3, 4, 6, 7, 5, 12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.services);
        tradedata::RemoveAccountService(~0, account_);
        tradedata::AddAccountService(c.services, account_);
        tradedata::AccountTable.Set(1837, c.group, account_);
        tradedata::AccountTable.Set(922, c.extra, account_);
        Open();
        EXPECT_EQ(TabPages(), c.tabs);
        panel_->DestroyWindow();
    }
}

TEST_F(TradePanelTest, ExtendedInstructionsGoBeforeOtherServicesAndTabsComeAndGo) {
    tradedata::AccountTable.Set(922, "2,29991231", account_);
    Open();
    EXPECT_EQ(TabPages(), (std::vector<int32_t>{1, 2, 3, 4, 6, 7, 5, 13}));
    panel_->SelectPage(7);  // 其他服务 in front; an insertion before it keeps it selected
    tradedata::AddAccountService(0x200 | 0x400, account_);
    panel_->SendMessage(WM_FRAME_COMMAND, kCommandLoaded, 0x80 | 0x400);
    EXPECT_EQ(TabPages(), (std::vector<int32_t>{1, 2, 3, 4, 6, 7, 5, 12, 13, 8}));
    EXPECT_EQ(panel_->TabPage(panel_->CurrentTab()), 13);
    EXPECT_EQ(panel_->CurrentPageId(), 13);

    tradedata::RemoveAccountService(0x400, account_);
    panel_->SendMessage(WM_FRAME_REFRESH, kRefreshAccountStatus, 0);
    EXPECT_EQ(TabPages(), (std::vector<int32_t>{1, 2, 3, 4, 6, 7, 5, 12, 13}));
}

TEST_F(TradePanelTest, RemovingTheTransferTabInFrontSelectsTheFirstTab) {
    std::vector<CWnd*> made;
    SetPageFactory(PageKind::TransferMain, RecorderFactory(&made));
    tradedata::AddAccountService(0x40, account_);
    Open();
    panel_->SendMessage(WM_COMMAND, ID_PANEL_PAGE_FIRST + kPageTransfer, 0);
    ASSERT_EQ(panel_->CurrentPageId(), kPageTransfer);
    ASSERT_EQ(made.size(), 1u);
    const HWND transferPage = made[0]->m_hWnd;

    tradedata::RemoveAccountService(0x40, account_);
    panel_->SendMessage(WM_FRAME_COMMAND, 30, 0);
    EXPECT_EQ(panel_->FindTabByPage(kPageTransfer), -1);
    EXPECT_EQ(panel_->CurrentTab(), 0);
    EXPECT_EQ(panel_->CurrentPageId(), 1);
    EXPECT_FALSE(::IsWindow(transferPage));
    EXPECT_EQ(panel_->Page(PageKind::TransferMain), nullptr);
}

TEST_F(TradePanelTest, TransferPageIsTheFundsPasswordUntilTheAccountHasOne) {
    std::vector<CWnd*> password, transfer;
    SetPageFactory(PageKind::FundsPassword, RecorderFactory(&password));
    SetPageFactory(PageKind::TransferMain, RecorderFactory(&transfer));
    tradedata::AddAccountService(0x40, account_);
    SetAppStateFlags(kAppStateFundsPasswordFirst);
    Open();
    panel_->SendMessage(WM_COMMAND, ID_PANEL_PAGE_FIRST + kPageTransfer, 0);
    EXPECT_EQ(password.size(), 1u);
    EXPECT_TRUE(transfer.empty());
    panel_->SelectPage(0);
    tradedata::SetAccountFlag(32, account_);
    panel_->SendMessage(WM_COMMAND, ID_PANEL_PAGE_FIRST + kPageTransfer, 0);
    EXPECT_EQ(transfer.size(), 1u);
    EXPECT_EQ(panel_->CurrentPage(), transfer[0]);
}

// ---- order panels ----

TEST_F(TradePanelTest, OrderPanelModesChooseTheBar) {
    std::vector<CWnd*> vertical, horizontal, arbitrage;
    std::vector<int> modes;
    SetOrderPanelFactory(OrderPanelKind::OrderEntry, RecorderFactory(&vertical),
                         [&modes](CWnd*, int mode) { modes.push_back(mode); });
    SetOrderPanelFactory(OrderPanelKind::OrderEntryHorizontal, RecorderFactory(&horizontal));
    SetOrderPanelFactory(OrderPanelKind::Arbitrage, RecorderFactory(&arbitrage));
    Open();
    const struct {
        int mode;
        uint32_t bits;
        bool right;
        bool top;
    } cases[] = {
        {1, kPanelOrderBarRight, true, false},
        {0, 0, false, false},
        {2, kPanelOrderBarRight, true, false},
        {5, kPanelOrderBarRight, true, false},
        {7, 0, false, false},
        {3, 0, false, false},  // no transfer form yet
        {1, kPanelOrderBarRight, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        panel_->ShowOrderPanel(c.mode);
        EXPECT_EQ(panel_->State() & (kPanelOrderBarRight | kPanelOrderBarTop), c.bits);
        EXPECT_EQ(panel_->Bar(PanelBar::OrderRight)->IsWindowVisible() != FALSE, c.right);
        EXPECT_EQ(panel_->Bar(PanelBar::OrderTop)->IsWindowVisible() != FALSE, c.top);
        EXPECT_EQ(tradedata::GetOrderEntryWindow(),
                  panel_->CurrentOrderPanel() ? panel_->CurrentOrderPanel()->m_hWnd : 0u);
    }
    EXPECT_EQ(vertical.size(), 1u);
    EXPECT_EQ(arbitrage.size(), 1u);
    EXPECT_TRUE(horizontal.empty());
    EXPECT_EQ(modes, (std::vector<int>{1, 1, 2, 1}));  // the first page's, then each choice
    EXPECT_EQ(panel_->Bar(PanelBar::OrderRight)->GetInPlaceWnd(), vertical[0]);
}

TEST_F(TradePanelTest, HorizontalLayoutMovesTheOrderPanelToTheTopBar) {
    std::vector<CWnd*> vertical, horizontal;
    SetOrderPanelFactory(OrderPanelKind::OrderEntry, RecorderFactory(&vertical));
    SetOrderPanelFactory(OrderPanelKind::OrderEntryHorizontal, RecorderFactory(&horizontal));
    Open();
    ASSERT_EQ(panel_->CurrentPageId(), 1);
    ASSERT_EQ(panel_->CurrentOrderPanel(), vertical.at(0));

    for (int round = 0; round < 2; ++round) {
        WriteSetting("SYSTEM", "HorzLayout", 1);
        panel_->SendMessage(WM_FRAME_REFRESH, kRefreshSettings, 0);
        EXPECT_EQ(panel_->State() & (kPanelOrderBarRight | kPanelOrderBarTop), kPanelOrderBarTop);
        EXPECT_EQ(panel_->CurrentOrderPanel(), horizontal.at(0));
        EXPECT_TRUE(panel_->Bar(PanelBar::OrderTop)->IsWindowVisible());
        EXPECT_FALSE(panel_->Bar(PanelBar::OrderRight)->IsWindowVisible());
        WriteSetting("SYSTEM", "HorzLayout", 0);
        panel_->SendMessage(WM_FRAME_REFRESH, kRefreshSettings, 0);
        EXPECT_EQ(panel_->CurrentOrderPanel(), vertical.at(0));
    }
    EXPECT_EQ(horizontal.size(), 1u);  // made once
    EXPECT_EQ(vertical.size(), 1u);
}

TEST_F(TradePanelTest, KeysGoOnlyToAVisibleOrderPanel) {
    class KeyPanel : public CWnd {
    public:
        int keys = 0;
        BOOL PreTranslateMessage(MSG*) override {
            ++keys;
            return TRUE;
        }
    };
    KeyPanel* keyPanel = nullptr;
    SetOrderPanelFactory(
        OrderPanelKind::OrderEntry, [&keyPanel](CWnd* parent) -> std::unique_ptr<CWnd> {
            auto p = std::make_unique<KeyPanel>();
            if (!p->Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, parent, 0))
                return nullptr;
            keyPanel = p.get();
            return p;
        });
    Open();
    MSG key{panel_->m_hWnd, WM_KEYDOWN, 'A', 0, 0, {}};
    ASSERT_NE(keyPanel, nullptr);
    EXPECT_TRUE(panel_->PreTranslateMessage(&key));
    EXPECT_EQ(keyPanel->keys, 1);
    panel_->SelectPage(panel_->FindTabByPage(kPageHistory));  // mode 0: no order panel
    EXPECT_FALSE(panel_->PreTranslateMessage(&key));
    EXPECT_EQ(keyPanel->keys, 1);
}

TEST_F(TradePanelTest, RoutedCommandsReachTheFrameTheWindowsAndTheOrderPanel) {
    CWnd* orderPanel = nullptr;
    SetOrderPanelFactory(OrderPanelKind::OrderEntry, [&](CWnd* parent) -> std::unique_ptr<CWnd> {
        auto wnd = RecorderFactory()(parent);
        orderPanel = wnd.get();
        return wnd;
    });
    Open();
    Recorder* r = Register();
    const struct {
        UINT command;
        UINT frameMessage;  // 0: none
        WPARAM frameWParam;
    } cases[] = {
        {ID_PANEL_ABOUT, WM_COMMAND, 57664},
        {ID_PANEL_EXIT, WM_CLOSE, 0},
        {ID_PANEL_LOCK, WM_FRAME_COMMAND, kCommandScreenLock},
        {ID_PANEL_LAYER_RESTORE, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        frame_.got.clear();
        log_.clear();
        panel_->SendMessage(WM_COMMAND, c.command, 0);
        DrainEvents();
        std::vector<std::pair<UINT, WPARAM>> got;
        for (const Seen& s : frame_.got) got.emplace_back(s.message, s.wParam);
        if (c.frameMessage != 0) {
            EXPECT_EQ(got, (std::vector<std::pair<UINT, WPARAM>>{{c.frameMessage, c.frameWParam}}));
        } else {
            EXPECT_TRUE(got.empty());
        }
    }
    // Making the window opaque tells the registered windows (posted, lParam 0).
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].hwnd, r->m_hWnd);
    EXPECT_EQ(log_[0].message, WM_FRAME_COMMAND);
    EXPECT_EQ(log_[0].wParam, 6u);

    // The order-panel command gives the keyboard focus to the order panel.
    ASSERT_NE(orderPanel, nullptr);
    panel_->SendMessage(WM_COMMAND, ID_PANEL_FOCUS_ORDER, 0);
    EXPECT_EQ(CWnd::GetFocus(), orderPanel);
}

// ---- status texts ----

TEST_F(TradePanelTest, StickyStatusHoldsTenSecondsOrUntilTheUserActs) {
    Open();
    auto post = [&](WPARAM code, const char* text) {
        PostFrameText(panel_->m_hWnd, WM_FRAME_COMMAND, code, text);
        DrainEvents();
    };
    post(kCommandStatusText, "a");
    post(kCommandStatusTextFlagged, "sticky");
    post(kCommandStatusText, "held back");
    clock_.AdvanceMs(10000);
    post(kCommandStatusText, "still held");  // 10000 ms is not more than 10000
    clock_.AdvanceMs(1);
    post(kCommandStatusText, "after");
    post(kCommandStatusTextFlagged, "sticky 2");
    clock_.AdvanceMs(5);
    StampLastActivityTick(platform::TickMs());
    post(kCommandStatusText, "user acted");
    ASSERT_EQ(panel_->statuses.size(), 5u);
    const std::vector<std::string> shown{"a", "sticky", "after", "sticky 2", "user acted"};
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(panel_->statuses[i].text, shown[i]);
        EXPECT_EQ(panel_->statuses[i].sticky, shown[i].rfind("sticky", 0) == 0 ? TRUE : FALSE);
    }
}

TEST_F(TradePanelTest, StatusTextsFromAnotherThreadArriveAsPostedCopies) {
    Open();
    ASSERT_EQ(tradedata::GetWorkplaceWindow(), panel_->m_hWnd);
    std::thread worker([] {
        std::string text = "查询可撤单委托 ...";
        tradedata::SendTextToMainWindow(text, false);
        text = "overwritten after the post";  // the message holds a copy of its own
        tradedata::SendTextToMainWindow("没有可撤单委托 ...", true);
    });
    worker.join();
    EXPECT_TRUE(panel_->statuses.empty());  // nothing runs on the worker's side
    DrainEvents();
    ASSERT_EQ(panel_->statuses.size(), 2u);
    EXPECT_EQ(panel_->statuses[0].text, "查询可撤单委托 ...");
    EXPECT_EQ(panel_->statuses[1].text, "没有可撤单委托 ...");
    EXPECT_EQ(panel_->statuses[1].sticky, TRUE);
}

// ---- settings ----

TEST_F(TradePanelTest, SettingsChangesShowHideAndMoveTheBars) {
    Open();
    ASSERT_TRUE(panel_->Bar(PanelBar::InfoList)->IsWindowVisible());
    ASSERT_TRUE(panel_->Bar(PanelBar::AccountSummary)->IsWindowVisible());
    const struct {
        const char* key;
        int value;
        PanelBar bar;
        bool visible;
        DWORD align;  // 0: not checked
    } cases[] = {
        {"ShowPushMsg", 0, PanelBar::InfoList, false, 0},
        {"ShowPushMsg", 1, PanelBar::InfoList, true, 0},
        {"SHOWHYHQ", 0, PanelBar::QuoteBoard, false, 0},
        {"KhqyAlign", 1, PanelBar::AccountSummary, true, CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP},
        {"KhqyAlign", 0, PanelBar::AccountSummary, true, CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM},
        {"ShowKhqy", 0, PanelBar::AccountSummary, false, 0},
        {"KeepTopMost", 1, PanelBar::StatusStrip, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        WriteSetting("SYSTEM", c.key, c.value);
        panel_->SendMessage(WM_FRAME_REFRESH, kRefreshSettings, 0);
        EXPECT_EQ(panel_->Bar(c.bar)->IsWindowVisible() != FALSE, c.visible);
        if (c.align != 0) {
            EXPECT_EQ(panel_->Bar(c.bar)->GetBarStyle() & 0xFF00, c.align);
        }
        EXPECT_EQ(panel_->AppliedDisplayOptions(), GetDisplaySettings());
    }
    EXPECT_TRUE(frame_.GetExStyle() & WS_EX_TOPMOST);
    WriteSetting("SYSTEM", "KeepTopMost", 0);
    panel_->ReadSettings();
    EXPECT_FALSE(frame_.GetExStyle() & WS_EX_TOPMOST);
}

TEST_F(TradePanelTest, SettingsTellTheFrameTheLoginSwitches) {
    WriteSetting("SYSTEM", "LOGINCHECK", 0);
    Open();
    frame_.got.clear();
    panel_->ReadSettings();
    std::vector<std::pair<WPARAM, LPARAM>> services;
    for (const Seen& s : frame_.got)
        if (s.message == WM_FRAME_SERVICE) services.emplace_back(s.wParam, s.lParam);
    EXPECT_EQ(services, (std::vector<std::pair<WPARAM, LPARAM>>{{7, 0}, {8, 1}}));
}

// ---- hot keys ----

TEST_F(TradePanelTest, HotkeysLabelTheTabsAndAltDigitsSelectTabs) {
    const int32_t ctrlF1 = (HOTKEYF_CONTROL << 8) | 0x70;
    WriteSetting("HOTKEY", "CCCX", ctrlF1);
    WriteSetting("HOTKEY", "WTCX", 0);
    tradedata::AddAccountService(0x1 | 0x40 | 0x200, account_);
    tradedata::AccountTable.Set(922, "2,29991231", account_);
    Open();
    EXPECT_EQ(panel_->TabText(0), "委托");
    EXPECT_EQ(panel_->TabText(1),
              std::string("资金持仓") + orderentry::controls::GetHotkeyText(ctrlF1));
    EXPECT_NE(GetHotKeyAccelerators(), 0u);
    ASSERT_EQ(panel_->TabCount(), 11);

    // Alt+0 is the tenth tab; the page hot key's command is 32880 + page id.
    panel_->SendMessage(WM_COMMAND, ID_PANEL_TAB_FIRST + 9, 0);
    EXPECT_EQ(panel_->CurrentTab(), 9);
    panel_->SendMessage(WM_COMMAND, ID_PANEL_TAB_FIRST + 11, 0);  // no twelfth tab
    EXPECT_EQ(panel_->CurrentTab(), 9);
    panel_->SendMessage(WM_COMMAND, ID_PANEL_PAGE_FIRST + kPageFundsPositions, 0);
    EXPECT_EQ(panel_->CurrentPageId(), kPageFundsPositions);

    // A hot key taken away leaves the bare caption.
    WriteSetting("HOTKEY", "CCCX", 0);
    panel_->LoadHotkeys();
    EXPECT_EQ(panel_->TabText(1), "资金持仓");
}

// ---- auto lock and teardown ----

TEST_F(TradePanelTest, AutoLockAfterTheIdleMinutes) {
    WriteSetting("SYSTEM", "Auto Lock", 1);
    StampLastActivityTick(platform::TickMs());
    Open();
    clock_.AdvanceMs(59999);
    panel_->SendMessage(WM_TIMER, kAutoLockTimer, 0);
    EXPECT_FALSE(GetAppStateFlags() & kAppStateScreenLocked);
    clock_.AdvanceMs(1);
    panel_->SendMessage(WM_TIMER, kAutoLockTimer, 0);
    panel_->SendMessage(WM_TIMER, kAutoLockTimer, 0);  // locked already: once only
    EXPECT_TRUE(GetAppStateFlags() & kAppStateScreenLocked);
    DrainEvents();
    EXPECT_EQ(frame_.Of(WM_FRAME_COMMAND), std::vector<WPARAM>{kCommandScreenLock});
    std::vector<std::pair<WPARAM, LPARAM>> services;
    for (const Seen& s : frame_.got)
        if (s.message == WM_FRAME_SERVICE) services.emplace_back(s.wParam, s.lParam);
    EXPECT_EQ(services, (std::vector<std::pair<WPARAM, LPARAM>>{{kServiceKeyForwarding, 0}}));
}

TEST_F(TradePanelTest, StandardWorkspaceEntriesMakeAndReleaseThePanel) {
    // The status strip is another folder's window: a stand-in fills its slot.
    std::vector<CWnd*> strips;
    std::vector<std::pair<std::string, BOOL>> shown;
    SetBarPanelFactory(BarPanelKind::StatusStrip, RecorderFactory(&strips),
                       [&](CWnd* strip, const std::string& text, BOOL sticky) {
                           ASSERT_EQ(strip, strips.at(0));
                           shown.emplace_back(text, sticky);
                       });
    ViewCreateParams params;
    params.frame = frame_.m_hWnd;
    params.parent = host_.m_hWnd;
    CWnd* workspace = CreateStandardWorkspace(&params, 0);
    ASSERT_NE(workspace, nullptr);
    EXPECT_EQ(GetWorkspaceWindow(), workspace->m_hWnd);
    EXPECT_EQ(::GetParent(workspace->m_hWnd), host_.m_hWnd);
    auto* panel = dynamic_cast<CTradePanelDlg*>(workspace);
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(panel->BarPanel(BarPanelKind::StatusStrip), strips[0]);
    EXPECT_TRUE(panel->Bar(PanelBar::StatusStrip)->IsWindowVisible());
    EXPECT_EQ(panel->Bar(PanelBar::StatusStrip)->GetInPlaceWnd(), strips[0]);
    // The status texts reach the strip in its bar through the slot's text hook.
    tradedata::SendTextToMainWindow("合约代码[x]无效", true);
    DrainEvents();
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, BOOL>>{{"合约代码[x]无效", TRUE}}));
    const HWND bar = panel->Bar(PanelBar::QuoteTabs)->m_hWnd;
    const HWND hwnd = workspace->m_hWnd;
    ReleaseStandardWorkspace(workspace);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(::IsWindow(bar));
    EXPECT_EQ(GetWorkspaceWindow(), 0u);
    EXPECT_EQ(GetHotKeyAccelerators(), 0u);
    // The quote board's bar height is kept for the next start.
    EXPECT_GT(pavlet::ReadPrivateConfigInt("SYSTEM", "HYHQHEIGHT", -1, 0, 0), 0);
}

}  // namespace
}  // namespace shell
