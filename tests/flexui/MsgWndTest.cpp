// Tests of the pop-up notices: stacking 3 px apart and covering the lowest place when no room
// is left, growing to exactly the full height, waiting and shrinking, the mouse pausing them,
// clicks on the close button and on the message, and the alert sounds.
#include "flexui/MsgWnd.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/core/SoundPlayer.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"
#include "tests/support/RecordingSoundPlayer.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;

constexpr UINT kNotify = WM_APP + 77;

// A window that records the messages posted to it.
class Receiver : public CWnd {
public:
    struct Got {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Got> got;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kNotify) got.push_back({message, wParam, lParam});
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class MsgWndTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        services_.SetWorkArea(RECT{0, 0, 1000, 800});
        previousFresh_ = CMsgWnd::SetFreshElapse(20);
        previousDelay_ = CMsgWnd::SetDelayElapse(10000);
    }
    void TearDown() override {
        CMsgWnd::RemoveAll();
        CMsgWnd::SetFreshElapse(previousFresh_);
        CMsgWnd::SetDelayElapse(previousDelay_);
        CMsgWnd::SetAlignWnd(0);
        UiTest::TearDown();
    }
    static RECT WindowRect(CMsgWnd* popup) {
        RECT rect;
        popup->GetWindowRect(&rect);
        return rect;
    }
    static void Tick(CMsgWnd* popup, UINT_PTR id, int times = 1) {
        for (int i = 0; i < times; ++i) popup->SendMessage(WM_TIMER, id);
    }
    static void GrowFully(CMsgWnd* popup) {
        while (popup->GetTimerId() == CMsgWnd::kGrowTimer) Tick(popup, CMsgWnd::kGrowTimer);
    }
    static LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

    testsupport::RecordingSoundPlayer player_;
    platform::ScopedSoundPlayer playerScope_{player_};
    UINT previousFresh_ = 0;
    UINT previousDelay_ = 0;
};

TEST_F(MsgWndTest, ThreePopupsStackThreePixelsApart) {
    std::vector<CMsgWnd*> popups;
    for (int i = 0; i < 3; ++i) {
        popups.push_back(CMsgWnd::PopMsgWnd("notice " + std::to_string(i), 0));
        ASSERT_NE(popups.back(), nullptr);
    }
    EXPECT_EQ(CMsgWnd::OpenPopups(), popups);
    const int w = popups[0]->GetFullWidth(), h = popups[0]->GetFullHeight();
    for (CMsgWnd* popup : popups) GrowFully(popup);
    const int bottoms[] = {800, 800 - h - 3, 800 - 2 * (h + 3)};
    for (int i = 0; i < 3; ++i) {
        const RECT rect = WindowRect(popups[i]);
        EXPECT_EQ(rect, (RECT{1000 - w - 2, bottoms[i] - h, 1000 - 2, bottoms[i]})) << i;
    }
    EXPECT_EQ(WindowRect(popups[1]).bottom + 3, WindowRect(popups[0]).top);
    EXPECT_EQ(WindowRect(popups[2]).bottom + 3, WindowRect(popups[1]).top);
}

TEST_F(MsgWndTest, NoRoomAboveCoversTheLowestPlace) {
    services_.SetWorkArea(RECT{0, 0, 1000, 300});
    CMsgWnd* first = CMsgWnd::PopMsgWnd("a", 0);
    CMsgWnd* second = CMsgWnd::PopMsgWnd("b", 0);
    CMsgWnd* third = CMsgWnd::PopMsgWnd("c", 0);
    const int h = first->GetFullHeight();
    ASSERT_LT(300 - 2 * (h + 3), h);  // a third place would pass the top of the screen
    EXPECT_EQ(WindowRect(first).bottom, 300);
    EXPECT_EQ(WindowRect(second).bottom, 300 - h - 3);
    EXPECT_EQ(WindowRect(third).bottom, 300);
}

TEST_F(MsgWndTest, AlignWindowAnchorsAtItsClientCorner) {
    CWnd frame;
    ASSERT_TRUE(
        frame.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{100, 50, 600, 450}, nullptr, 0));
    EXPECT_EQ(CMsgWnd::SetAlignWnd(frame.m_hWnd), HWND{0});
    CMsgWnd* popup = CMsgWnd::PopMsgWnd("aligned", 0);
    RECT client;
    frame.GetClientRect(&client);
    POINT corner{client.right, client.bottom};
    frame.ClientToScreen(&corner);
    EXPECT_EQ(WindowRect(popup),
              (RECT{corner.x - popup->GetFullWidth(), corner.y - 1, corner.x, corner.y}));
    CMsgWnd::RemoveAll();
    frame.DestroyWindow();
    // A dead align window falls back to the work area.
    CMsgWnd* next = CMsgWnd::PopMsgWnd("work area", 0);
    EXPECT_EQ(WindowRect(next).bottom, 800);
}

TEST_F(MsgWndTest, GrowsByTwoUpToExactlyTheFullHeightThenWaits) {
    CMsgWnd* popup = CMsgWnd::PopMsgWnd("grow", 0);
    const int h = popup->GetFullHeight();
    ASSERT_GT(h, 0);
    std::vector<int> heights{popup->GetCurrentHeight()};
    while (popup->GetTimerId() == CMsgWnd::kGrowTimer) {
        Tick(popup, CMsgWnd::kGrowTimer);
        heights.push_back(WindowRect(popup).bottom - WindowRect(popup).top);
        EXPECT_EQ(WindowRect(popup).bottom, 800);  // the bottom stays on the anchor
        ASSERT_LE(heights.size(), static_cast<size_t>(h));
    }
    EXPECT_EQ(heights.front(), 1);
    EXPECT_EQ(heights[1], 3);
    EXPECT_EQ(*std::max_element(heights.begin(), heights.end()), h);
    EXPECT_EQ(heights.back(), h);
    EXPECT_EQ(popup->GetTimerId(), CMsgWnd::kDelayTimer);
    // Fully grown, the picture reaches the bottom row: no unpainted strip.
    PixelProbe probe(popup->GetWidget());
    EXPECT_EQ(probe.Height(), h);
    EXPECT_EQ(probe.At(popup->GetFullWidth() / 2, h - 1), RGB(70, 100, 160));
}

TEST_F(MsgWndTest, WaitsThenShrinksAndCloses) {
    CMsgWnd* popup = CMsgWnd::PopMsgWnd("shrink", 0);
    const HWND hwnd = popup->m_hWnd;
    GrowFully(popup);
    Tick(popup, CMsgWnd::kDelayTimer);
    ASSERT_EQ(popup->GetTimerId(), CMsgWnd::kShrinkTimer);
    Tick(popup, CMsgWnd::kShrinkTimer);
    EXPECT_EQ(popup->GetCurrentHeight(), popup->GetFullHeight() - 2);
    EXPECT_EQ(WindowRect(popup).bottom, 800);
    while (popup->GetCurrentHeight() > 0) Tick(popup, CMsgWnd::kShrinkTimer);
    EXPECT_TRUE(IsWindow(hwnd));
    Tick(popup, CMsgWnd::kShrinkTimer);  // at 0: closes
    DrainEvents();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(CMsgWnd::OpenPopups().empty());
}

TEST_F(MsgWndTest, ShrinkIntervalZeroKeepsThePopup) {
    EXPECT_EQ(CMsgWnd::SetFreshElapse(0), 20u);
    CMsgWnd* popup = CMsgWnd::PopMsgWnd("stays", 0);
    GrowFully(popup);
    Tick(popup, CMsgWnd::kDelayTimer);
    EXPECT_EQ(popup->GetTimerId(), UINT_PTR{0});
    EXPECT_EQ(popup->GetCurrentHeight(), popup->GetFullHeight());
}

TEST_F(MsgWndTest, TheMouseOnThePopupPausesItUntilItLeaves) {
    CMsgWnd* popup = CMsgWnd::PopMsgWnd("pause", 0);
    Tick(popup, CMsgWnd::kGrowTimer, 5);
    const int height = popup->GetCurrentHeight();
    const RECT close = popup->GetCloseRect();
    popup->SendMessage(WM_MOUSEMOVE, 0, At({close.left + 2, close.top + 2}));
    EXPECT_EQ(popup->GetCloseCell(), 1);
    Tick(popup, CMsgWnd::kGrowTimer, 3);
    EXPECT_EQ(popup->GetCurrentHeight(), height);
    popup->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At({close.left + 2, close.top + 2}));
    EXPECT_EQ(popup->GetCloseCell(), 2);
    const RECT message = popup->GetMessageRect();
    popup->SendMessage(WM_MOUSEMOVE, 0, At({message.left + 5, message.top + 5}));
    EXPECT_EQ(popup->GetCloseCell(), 0);
    Tick(popup, CMsgWnd::kGrowTimer);
    EXPECT_EQ(popup->GetCurrentHeight(), height);  // over the message: still paused
    popup->SendMessage(WM_MOUSELEAVE);
    Tick(popup, CMsgWnd::kGrowTimer);
    EXPECT_EQ(popup->GetCurrentHeight(), height + 2);
}

TEST_F(MsgWndTest, ClicksOnTheCloseButtonAndTheMessage) {
    Receiver receiver;
    ASSERT_TRUE(receiver.CreateEx(0, nullptr, "", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    struct Case {
        const char* name;
        bool notifyWindow;
        int press, release;  // 0 close button, 1 message, 2 elsewhere
        bool posted, closed;
    };
    const Case cases[] = {
        {"close button", true, 0, 0, false, true},
        {"close button released outside", true, 0, 2, false, false},
        {"message released on the close button", true, 1, 0, false, false},
        {"message", true, 1, 1, true, true},
        {"message without a notify window", false, 1, 1, false, true},
        {"elsewhere", true, 2, 2, false, false},
    };
    for (const Case& c : cases) {
        receiver.got.clear();
        CMsgWnd* popup = CMsgWnd::PopMsgWnd("click me", 0, c.notifyWindow ? receiver.m_hWnd : 0,
                                            kNotify, 11, 22);
        const HWND hwnd = popup->m_hWnd;
        const RECT close = popup->GetCloseRect(), message = popup->GetMessageRect();
        const POINT points[] = {{close.left + 3, close.top + 3},
                                {message.left + 5, message.top + 5},
                                {5, popup->GetFullHeight() - 3}};
        popup->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(points[c.press]));
        popup->SendMessage(WM_LBUTTONUP, 0, At(points[c.release]));
        DrainEvents();
        EXPECT_EQ(!receiver.got.empty(), c.posted) << c.name;
        if (c.posted) {
            EXPECT_EQ(receiver.got[0].wParam, WPARAM{11});
            EXPECT_EQ(receiver.got[0].lParam, LPARAM{22});
        }
        EXPECT_EQ(!IsWindow(hwnd), c.closed) << c.name;
        CMsgWnd::RemoveAll();
    }
    receiver.DestroyWindow();
}

std::string ResourceBytes(int id) {
    QFile file(QStringLiteral(":/pavlet/wave_%1.wav").arg(id));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST_F(MsgWndTest, EachKindPlaysItsSoundThroughThePlayer) {
    const struct {
        int kind;
        int resource;
    } cases[] = {{1, 110}, {2, 111}, {3, 109}, {0, 108}, {7, 108}};
    for (const auto& c : cases) {
        player_.played.clear();
        CMsgWnd::PopMsgWnd("sound", c.kind);
        ASSERT_EQ(player_.played.size(), 1u) << c.kind;
        EXPECT_FALSE(player_.played[0].wait);
        const std::string path = player_.played[0].path;
        EXPECT_TRUE(path.ends_with("-" + std::to_string(c.resource) + ".wav")) << path;
        const std::string expected = ResourceBytes(c.resource);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(FileBytes(path), expected) << c.kind;
    }
    // A sound file removed meanwhile (a temp-folder clean-up) is written again.
    player_.played.clear();
    CMsgWnd::PlayAlertSound(1);
    ASSERT_EQ(player_.played.size(), 1u);
    std::remove(player_.played[0].path.c_str());
    CMsgWnd::PlayAlertSound(1);
    ASSERT_EQ(player_.played.size(), 2u);
    EXPECT_EQ(FileBytes(player_.played[1].path), ResourceBytes(110));

    player_.played.clear();
    player_.hasDevice = false;
    CMsgWnd::PlayAlertSound(1);
    EXPECT_TRUE(player_.played.empty());
}

// A player that asks for another sound while it starts one: the inner call plays nothing.
class ReentrantPlayer : public testsupport::RecordingSoundPlayer {
public:
    bool PlayFile(const std::string& path, bool wait) override {
        RecordingSoundPlayer::PlayFile(path, wait);
        if (played.size() == 1) CMsgWnd::PlayAlertSound(2);
        return true;
    }
};

TEST_F(MsgWndTest, SoundsDoNotOverlap) {
    ReentrantPlayer reentrant;
    platform::ScopedSoundPlayer scope(reentrant);
    CMsgWnd::PlayAlertSound(1);
    EXPECT_EQ(reentrant.played.size(), 1u);
    CMsgWnd::PlayAlertSound(3);  // free again afterwards
    EXPECT_EQ(reentrant.played.size(), 2u);
}

TEST_F(MsgWndTest, TitleSettersAndRemoveAll) {
    CMsgWnd::RemoveAll();  // nothing open: nothing happens
    EXPECT_TRUE(CMsgWnd::OpenPopups().empty());
    const std::string original = CMsgWnd::GetMsgTitle();
    EXPECT_EQ(original, "Nolt Messenger");
    CMsgWnd::SetMsgTitle("");
    EXPECT_EQ(CMsgWnd::GetMsgTitle(), original);
    CMsgWnd::SetMsgTitle("消息");
    EXPECT_EQ(CMsgWnd::GetMsgTitle(), "消息");
    CMsgWnd::SetMsgTitle(original);
    EXPECT_EQ(CMsgWnd::SetDelayElapse(5000), 10000u);
    EXPECT_EQ(CMsgWnd::SetDelayElapse(10000), 5000u);

    const HWND a = CMsgWnd::PopMsgWnd("a", 0)->m_hWnd;
    const HWND b = CMsgWnd::PopMsgWnd("b", 0)->m_hWnd;
    CMsgWnd::RemoveAll();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_TRUE(CMsgWnd::OpenPopups().empty());
}

TEST_F(MsgWndTest, ACallerOwnedPopupLeavesTheListWhenDestroyed) {
    {
        CMsgWnd own;
        ASSERT_TRUE(own.Create("own", 0));
        EXPECT_EQ(CMsgWnd::OpenPopups().size(), 1u);
    }
    EXPECT_TRUE(CMsgWnd::OpenPopups().empty());
}

}  // namespace
