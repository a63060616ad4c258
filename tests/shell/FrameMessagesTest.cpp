// The frame messages: what the main frame does with each refresh bit, command code and service
// query, the owned text a posted message carries, the flagged message list shown once, the
// password re-verification, the wheel forwarded once to the scrollable window under the
// pointer, the hot key, and the quote value checks.
#include "shell/FrameMessages.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <string>
#include <vector>

#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/ScratchProfile.h"
#include "support/ui/UiTestApp.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"

namespace shell {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

// Records every message it gets; a wheel can be bounced back to the frame as a window that
// passes it up would.
class Recorder : public CWnd {
public:
    std::vector<MSG> got;
    HWND bounceWheelTo = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= WM_APP || message == WM_MOUSEWHEEL) {
            got.push_back(MSG{m_hWnd, message, wParam, lParam, 0, {}});
            if (message == WM_MOUSEWHEEL && bounceWheelTo != 0)
                ::SendMessage(bounceWheelTo, message, wParam, lParam);
            if (message == WM_FRAME_COMMAND && wParam == kCommandContractChanged)
                texts.push_back(*TakeFrameText(lParam));
            return 7;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<std::string> texts;
    bool Create() {
        return CWnd::Create(nullptr, "recorder", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0);
    }
};

class TestFrame : public CMainFrame {
public:
    std::vector<std::string> popped;
    std::vector<std::string> reverified;
    INT_PTR reverifyAnswer = IDOK;
    int pushSubscriptions = 0;
    int upgrades = 0;
    int marginLogins = 0;
    std::vector<std::string> passwordDialogs;
    HWND underPointer = 0;
    POINT askedPoint{};
    bool scrollable = false;
    bool minimized = false;
    bool foreground = false;
    int foregrounds = 0;

protected:
    // The frame's own answers, without the panel's start-up (its settings switch services).
    void LoadWorkspace(const std::string&) override {}
    void ReleaseWorkspace() override {}
    void StartOnlineUpgrade() override { ++upgrades; }
    void RunMarginWebLogin() override { ++marginLogins; }
    void RunPasswordDialog(const std::string& khh) override { passwordDialogs.push_back(khh); }
    INT_PTR RunReverifyDialog(const std::string& khh) override {
        reverified.push_back(khh);
        return reverifyAnswer;
    }
    void SubscribeTradePushes() override { ++pushSubscriptions; }
    void PopMessage(const std::string& text) override { popped.push_back(text); }
    std::string TradeServerName() const override { return "电信主站"; }
    HWND WindowAtScreenPoint(POINT point) const override {
        const_cast<TestFrame*>(this)->askedPoint = point;
        return underPointer;
    }
    bool HasScrollRange(HWND, bool vertical) const override { return scrollable && !vertical; }
    bool IsFrameMinimized() const override { return minimized; }
    bool IsFrameForeground() const override { return foreground; }
    void MakeFrameForeground() override { ++foregrounds; }
};

class FrameMessagesTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        ASSERT_TRUE(frame_.LoadFrame("frame"));
        ASSERT_TRUE(workspace_.Create());
        SetWorkspaceWindow(workspace_.m_hWnd);
    }
    void TearDown() override {
        SetWorkspaceWindow(0);
        SetHotKeyAccelerators(0);
        ClearAppStateFlags(~0u);
        if (::IsWindow(frame_.m_hWnd)) frame_.DestroyWindow();
        workspace_.DestroyWindow();
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        tradedata::MessageTable.Create(tradedata::kMessageLayout);
        UiTest::TearDown();
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        return frame_.SendMessage(message, wParam, lParam);
    }
    int AddLoggedIn(int32_t category, const std::string& khh, int32_t flags) {
        const int row = tradedata::AddAccount(category, khh, "01", "name", "pw", nullptr);
        tradedata::SetAccountFlag(flags, row);
        return row;
    }
    std::vector<WPARAM> WorkspaceRefreshes() const {
        std::vector<WPARAM> bits;
        for (const MSG& m : workspace_.got)
            if (m.message == WM_FRAME_REFRESH) bits.push_back(m.wParam);
        return bits;
    }

    testsupport::ScratchProfile profile_;
    TestFrame frame_;
    Recorder workspace_;
};

TEST(FrameValueChecks, BoundsAreExclusiveAndNoValueIsInvalid) {
    EXPECT_FALSE(IsValidLong(0x7FFFFFFF));
    EXPECT_TRUE(IsValidLong(-1));
    EXPECT_TRUE(IsValidLong(0x7FFFFFFE));
    const struct {
        double value;
        bool inFloat;
        bool inDouble;
    } cases[] = {
        {16777215.0, false, true},           {16777214.5, true, true},
        {-16777215.0, false, true},          {0.0, true, true},
        {9007199254740991.0, false, false},  {9007199254740990.0, false, true},
        {-9007199254740991.0, false, false}, {-9007199254740990.0, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsInFloatRange(c.value), c.inFloat) << c.value;
        EXPECT_EQ(IsInDoubleRange(c.value), c.inDouble) << c.value;
    }
}

TEST_F(FrameMessagesTest, PostedTextIsACopyTheReceiverOwns) {
    {
        std::string code = "IF2612";
        ASSERT_TRUE(
            PostFrameText(workspace_.m_hWnd, WM_FRAME_COMMAND, kCommandContractChanged, code));
        code.assign("overwritten before delivery");
    }
    // A window that is gone refuses the post, and the copy does not stay behind.
    EXPECT_FALSE(PostFrameText(0, WM_FRAME_COMMAND, kCommandContractChanged, "lost"));
    DrainEvents();
    EXPECT_EQ(workspace_.texts, std::vector<std::string>{"IF2612"});
    // The frame takes its own copy and answers as for every command.
    ASSERT_TRUE(PostFrameText(frame_.m_hWnd, WM_FRAME_COMMAND, kCommandContractChanged, "x"));
    DrainEvents();
    EXPECT_TRUE(TakeFrameText(0) == nullptr);
}

TEST_F(FrameMessagesTest, RefreshBitsSetNotificationsRequestsAndPushes) {
    const int row = AddLoggedIn(1, "1001", tradedata::kFlagActive);
    tradedata::SetCurrentAccount(row);
    EXPECT_EQ(Send(WM_FRAME_REFRESH, 0x10 | 0x20 | 0x40 | 0x80 | 0x4), 1);
    EXPECT_TRUE(tradedata::TestAccountNotify(tradedata::kNotifyFunds, row));
    EXPECT_TRUE(tradedata::TestAccountNotify(tradedata::kNotifyPositions, row));
    EXPECT_EQ(frame_.WorkerRequests(), 0x40u | 0x80u);
    EXPECT_EQ(frame_.pushSubscriptions, 1);

    // Bits the frame does not serve change nothing here.
    frame_.ClearWorkerRequests(~0u);
    EXPECT_EQ(Send(WM_FRAME_REFRESH, 0x100 | 0x20000, 5), 1);
    EXPECT_EQ(frame_.WorkerRequests(), 0u);
    EXPECT_EQ(frame_.pushSubscriptions, 1);
}

TEST_F(FrameMessagesTest, CommandsSetTheirBitsOrRunTheirActions) {
    const struct {
        WPARAM code;
        uint32_t requests;
        uint32_t state;
    } cases[] = {
        {3, 0, kFrameQuoteSubscriptionDue},
        {8, 0x40, 0},
        {9, 0x80, 0},
        {10, 0x200, 0},
        {14, 0x800, 0},
        {4, 0, 0},
        {99, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        frame_.ClearWorkerRequests(~0u);
        frame_.ClearFrameState(~0u);
        EXPECT_EQ(Send(WM_FRAME_COMMAND, c.code, 0), 1);
        EXPECT_EQ(frame_.WorkerRequests(), c.requests);
        EXPECT_EQ(frame_.FrameState(), c.state);
    }

    const int row = AddLoggedIn(1, "1001", tradedata::kFlagActive);
    tradedata::SetCurrentAccount(row);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 2), 1);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 5), 1);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 7), 1);
    EXPECT_EQ(frame_.upgrades, 1);
    EXPECT_EQ(frame_.marginLogins, 1);
    EXPECT_EQ(frame_.passwordDialogs, std::vector<std::string>{"1001"});

    frame_.SetNoticeText("系统将于今晚维护");
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 11), 1);
    const auto boxes = services_.CallsOf("MessageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "系统将于今晚维护");
    EXPECT_EQ(boxes[0].caption, "系统提示");
    EXPECT_EQ(boxes[0].type & MB_ICONINFORMATION, MB_ICONINFORMATION);
}

TEST_F(FrameMessagesTest, FlaggedMessagesAreShownOnceEach) {
    CFixRecord& messages = tradedata::MessageTable;
    const struct {
        const char* text;
        int32_t flags;
    } rows[] = {{"甲", 12}, {"乙", 0}, {"丙", 12}, {"丁", 3}, {"戊", 12}};
    auto fill = [&] {
        messages.Create(tradedata::kMessageLayout);
        for (const auto& r : rows) {
            const int row = messages.GetMemRecord()->Append(nullptr, true);
            messages.Set(508, r.text, row);
            messages.Set(644, r.flags, row);
        }
    };
    const std::vector<std::string> flagged{"甲", "丙", "戊"};

    // As pop-up windows while message boxes are off.
    fill();
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 12), 1);
    EXPECT_EQ(frame_.popped, flagged);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 12), 1);
    EXPECT_EQ(frame_.popped.size(), 3u);
    EXPECT_EQ(messages.GetLong(644, 3), 3);  // other flags are left alone

    // As message boxes once service 8 switched them on.
    fill();
    EXPECT_EQ(Send(WM_FRAME_SERVICE, kServiceMessageBoxes, 1), 0);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 12), 1);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 12), 1);
    std::vector<std::string> shown;
    for (const auto& call : services_.CallsOf("MessageBox")) {
        EXPECT_EQ(call.caption, "系统提示");
        shown.push_back(call.text);
    }
    EXPECT_EQ(shown, flagged);
    EXPECT_EQ(frame_.popped.size(), 3u);
}

TEST_F(FrameMessagesTest, ServiceQueriesAnswerFromTheirSources) {
    const int main = AddLoggedIn(1, "1001", tradedata::kFlagActive);
    const int linked = AddLoggedIn(3, "2002", tradedata::kFlagActive);
    tradedata::SetLoginAccount(main);
    tradedata::SetCurrentAccount(linked);
    const int64_t base = tradedata::GetClockBase();
    tradedata::SetClockBase(0x0000000512345678);
    SetAppStateFlags(0x120);

    EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, 1), GetOrderWayCode());
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, 2), 5);
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, 3), 0x12345678);
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, 6), linked);
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, 7), main);
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, 50), 0x120);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Send(WM_FRAME_SERVICE, 1, 5))), "电信主站");
    for (LPARAM table : {10, 14, 19, 30, 37, 41})
        EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, table),
                  reinterpret_cast<LRESULT>(tradedata::GetServiceTable(static_cast<int>(table))))
            << table;
    for (LPARAM unknown : {20, 25, 29, 42, 49, 51})
        EXPECT_EQ(Send(WM_FRAME_SERVICE, 1, unknown), 0) << unknown;
    tradedata::SetClockBase(base);

    // Services 2 and above 8 answer 0 and change nothing.
    for (WPARAM service : {2, 9, 16}) {
        EXPECT_EQ(Send(WM_FRAME_SERVICE, service, 1), 0) << service;
        EXPECT_EQ(frame_.FrameState(), 0u);
        EXPECT_EQ(GetAppStateFlags(), 0x120u);
    }
}

TEST_F(FrameMessagesTest, ServiceSwitchesSetTheirBitsAndAnswerZero) {
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 3, 0), 0);
    EXPECT_EQ(GetAppStateFlags() & kAppStateAcceleratorsSuspended, kAppStateAcceleratorsSuspended);
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 3, 1), 0);
    EXPECT_EQ(GetAppStateFlags() & kAppStateAcceleratorsSuspended, 0u);

    const ACCEL keys[] = {{FVIRTKEY, VK_F2, 100}};
    const HACCEL table = CreateAcceleratorTable(keys, 1);
    EXPECT_EQ(Send(WM_FRAME_SERVICE, 4, static_cast<LPARAM>(table)), 0);
    EXPECT_EQ(GetHotKeyAccelerators(), table);
    SetHotKeyAccelerators(0);
    DestroyAcceleratorTable(table);

    const struct {
        WPARAM service;
        uint32_t bit;
    } switches[] = {{7, kFrameLoginElsewhereCheck}, {8, kFrameMessageBoxes}};
    for (const auto& s : switches) {
        EXPECT_EQ(Send(WM_FRAME_SERVICE, s.service, 2), 0);
        EXPECT_EQ(frame_.FrameState(), s.bit);
        EXPECT_EQ(Send(WM_FRAME_SERVICE, s.service, 0), 0);
        EXPECT_EQ(frame_.FrameState(), 0u);
    }
}

TEST_F(FrameMessagesTest, ReverificationByAnswerAndCategory) {
    // The first logged-in row that asks for it; rows lacking either flag are passed over.
    AddLoggedIn(1, "0999", 0x4);
    const int main = AddLoggedIn(1, "1001", tradedata::kFlagActive);
    const int linked = AddLoggedIn(3, "2002", tradedata::kFlagActive | 0x4);
    tradedata::SetLoginAccount(main);
    tradedata::SetCurrentAccount(linked);

    frame_.reverifyAnswer = IDOK;
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 63), 1);
    EXPECT_EQ(frame_.reverified, std::vector<std::string>{"2002"});
    EXPECT_FALSE(tradedata::TestAccountFlag(0x4, linked));
    EXPECT_TRUE(tradedata::TestAccountFlag(tradedata::kFlagActive, linked));
    // Nobody asks any more: no dialog.
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 63), 1);
    EXPECT_EQ(frame_.reverified.size(), 1u);

    // A linked account that fails goes out; the main account takes over.
    tradedata::SetAccountFlag(0x4, linked);
    frame_.reverifyAnswer = IDCANCEL;
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 63), 1);
    EXPECT_FALSE(tradedata::TestAccountFlag(tradedata::kFlagActive, linked));
    EXPECT_EQ(tradedata::GetCurrentAccountIndex(), main);
    DrainEvents();
    EXPECT_EQ(WorkspaceRefreshes(), (std::vector<WPARAM>{0x4, 0x8}));
    EXPECT_TRUE(::IsWindow(frame_.m_hWnd));

    // The program's own account failing ends the program.
    tradedata::SetAccountFlag(0x4, main);
    EXPECT_EQ(Send(WM_FRAME_COMMAND, 63), 1);
    DrainEvents();
    EXPECT_FALSE(::IsWindow(frame_.m_hWnd));
}

TEST_F(FrameMessagesTest, WheelGoesOnceToTheScrollableWindowUnderThePointer) {
    Recorder list;
    ASSERT_TRUE(list.Create());
    const WPARAM wheel = MAKEWPARAM(0, static_cast<WORD>(-120));
    const LPARAM at = MAKELPARAM(static_cast<WORD>(-5), 300);

    // Nothing under the pointer, or a list that cannot scroll: the default procedure.
    EXPECT_EQ(Send(WM_MOUSEWHEEL, wheel, at), 0);
    frame_.underPointer = list.m_hWnd;
    EXPECT_EQ(Send(WM_MOUSEWHEEL, wheel, at), 0);
    EXPECT_TRUE(list.got.empty());
    EXPECT_EQ(frame_.askedPoint.x, -5);
    EXPECT_EQ(frame_.askedPoint.y, 300);

    // A list that scrolls gets it once, even when it passes the wheel back up.
    frame_.scrollable = true;
    list.bounceWheelTo = frame_.m_hWnd;
    EXPECT_EQ(Send(WM_MOUSEWHEEL, wheel, at), 1);
    ASSERT_EQ(list.got.size(), 1u);
    EXPECT_EQ(list.got[0].wParam, wheel);
    EXPECT_EQ(list.got[0].lParam, at);
    list.DestroyWindow();
}

TEST_F(FrameMessagesTest, HotKeyRestoresMinimisesOrActivates) {
    frame_.ShowWindow(SW_SHOW);
    frame_.foreground = false;
    EXPECT_EQ(Send(WM_HOTKEY, 1), 1);
    EXPECT_EQ(frame_.foregrounds, 1);

    frame_.foreground = true;
    EXPECT_EQ(Send(WM_HOTKEY, 7), 1);
    EXPECT_TRUE(frame_.GetWidget()->isMinimized());
    EXPECT_EQ(frame_.foregrounds, 1);

    frame_.minimized = true;
    EXPECT_EQ(Send(WM_HOTKEY, 1), 1);
    EXPECT_FALSE(frame_.GetWidget()->isMinimized());
    EXPECT_EQ(frame_.foregrounds, 2);
}

}  // namespace
}  // namespace shell
