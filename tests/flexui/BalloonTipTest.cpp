// Balloon tips: placement by quadrant and at the work-area edges, sizes, the time-out, closing
// on clicks, keys and the close button, and following a dragged dialog.
#include "flexui/BalloonTip.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <vector>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;

const RECT kDesktop{0, 0, 1280, 984};

struct PlacementCase {
    const char* name;
    POINT anchor;
    SIZE size;
    DWORD options;
    int quadrant;
    RECT window;
    int tipX;  // in window coordinates
};

TEST(BalloonPlacement, QuadrantsEdgesAndPlainRectangles) {
    const PlacementCase cases[] = {
        {"upper right", {1000, 100}, {200, 100}, 0, 1, {816, 99, 1016, 199}, 184},
        {"upper left", {100, 100}, {200, 100}, 0, 2, {84, 99, 284, 199}, 16},
        {"lower right", {1000, 800}, {200, 100}, 0, 3, {816, 702, 1016, 802}, 184},
        {"lower left", {100, 800}, {200, 100}, 0, 4, {84, 702, 284, 802}, 16},
        // The window stays on the desktop, the tip stays on the anchor.
        {"left edge", {5, 100}, {200, 100}, 0, 2, {0, 99, 200, 199}, 5},
        {"right edge", {1275, 900}, {200, 100}, 0, 3, {1080, 802, 1280, 902}, 195},
        // The stem band may stand above the top; the body may not.
        {"top edge", {600, 0}, {200, 100}, 0, 2, {584, -1, 784, 99}, 16},
        {"tall above", {100, 500}, {200, 600}, 0, 4, {84, 0, 284, 600}, 16},
        // No stem: the top-left corner on the anchor, else the other side of it.
        {"plain", {300, 300}, {200, 80}, BALLOON_NOSTEM, 0, {300, 300, 500, 380}, 0},
        {"plain at right edge",
         {1270, 500},
         {200, 80},
         BALLOON_NOSTEM,
         0,
         {1070, 500, 1270, 580},
         0},
        {"plain at bottom", {300, 950}, {200, 80}, BALLOON_NOSTEM, 0, {300, 870, 500, 950}, 0},
        {"plain beyond the corner", {-10, -10}, {200, 80}, BALLOON_NOSTEM, 0, {0, 0, 200, 80}, 0},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        BalloonGeometry g = PlaceBalloon(c.anchor, c.size, c.options, kDesktop);
        EXPECT_EQ(g.quadrant, c.quadrant);
        EXPECT_EQ(g.window, c.window);
        if (c.quadrant) {
            EXPECT_EQ(g.window.left + g.stem[2].x, c.anchor.x);
            EXPECT_EQ(g.stem[2].x, c.tipX);
        }
    }
}

TEST(BalloonPlacement, StemSideAndClientArea) {
    BalloonGeometry upper = PlaceBalloon({1000, 100}, {200, 100}, 0, kDesktop);
    EXPECT_EQ(upper.body, (RECT{0, 24, 200, 100}));
    EXPECT_EQ(upper.client, (RECT{4, 28, 196, 96}));
    EXPECT_EQ(upper.stem[0], (POINT{160, 25}));
    EXPECT_EQ(upper.stem[2], (POINT{184, 1}));
    BalloonGeometry lower = PlaceBalloon({100, 800}, {200, 100}, 0, kDesktop);
    EXPECT_EQ(lower.body, (RECT{0, 0, 200, 76}));
    EXPECT_EQ(lower.client, (RECT{4, 4, 196, 72}));
    EXPECT_EQ(lower.stem[0], (POINT{40, 74}));
    EXPECT_EQ(lower.stem[2], (POINT{16, 98}));
}

TEST(BalloonPlacement, WindowSizeAddsIconCloseButtonAndStem) {
    EXPECT_EQ(BalloonWindowSize({100, 30}, true, BALLOON_CLOSEBUTTON).cx, 148);
    EXPECT_EQ(BalloonWindowSize({100, 30}, false, BALLOON_CLOSEBUTTON).cx, 126);
    EXPECT_EQ(BalloonWindowSize({100, 30}, false, 0).cx, 108);
    EXPECT_EQ(BalloonWindowSize({100, 30}, false, 0).cy, 98);
    EXPECT_EQ(BalloonWindowSize({100, 30}, false, BALLOON_NOSTEM).cy, 74);
}

// Records the time-outs the balloons ask for instead of starting window timers.
struct TimerCall {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
};
std::vector<TimerCall> gTimers;
UINT_PTR RecordTimer(HWND hwnd, UINT_PTR id, UINT elapse) {
    gTimers.push_back({hwnd, id, elapse});
    return id;
}

class BalloonTipTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        gTimers.clear();
        CBalloonTip::SetTimerStarter(&RecordTimer);
        ASSERT_TRUE(dialog_.CreateEx(0, nullptr, "dialog", WS_POPUP | WS_VISIBLE,
                                     RECT{100, 100, 500, 400}, nullptr, 0));
        ASSERT_TRUE(edit_.Create("Edit", "13", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                 RECT{20, 20, 140, 44}, &dialog_, 1001));
        ASSERT_TRUE(other_.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                  RECT{20, 60, 140, 84}, &dialog_, 1002));
        QApplication::setActiveWindow(dialog_.GetWidget());
        DrainEvents();
    }
    void TearDown() override {
        CBalloonTip::SetTimerStarter(nullptr);
        dialog_.DestroyWindow();
        kelmon::test::ui::UiTest::TearDown();
    }
    CBalloonTip* Launch() {
        CBalloonTip* tip =
            CBalloonTip::LaunchBalloon(&dialog_, 1001, "输入错误", "数据无效", 1, TRUE);
        DrainEvents();  // the balloon hears input from the next event on
        return tip;
    }

    CWnd dialog_;
    CWnd edit_;
    CWnd other_;
};

TEST_F(BalloonTipTest, PointsAtTheEditAndClosesAfterTenSeconds) {
    CBalloonTip* tip = Launch();
    ASSERT_NE(tip, nullptr);
    HWND hwnd = tip->m_hWnd;
    // 4 pixels inside the bottom-left corner of the text area, the tip on it.
    POINT expected{4, 24 - 4};
    edit_.ClientToScreen(&expected);
    EXPECT_EQ(tip->AnchorOnScreen(), expected);
    RECT w;
    ::GetWindowRect(hwnd, &w);
    EXPECT_EQ(w.left + tip->GetGeometry().stem[2].x, expected.x);
    EXPECT_EQ(w.top + tip->GetGeometry().stem[2].y, expected.y);
    EXPECT_EQ(tip->GetOptions(), BALLOON_CLOSEONCLICK | BALLOON_CLOSEONKEY);
    EXPECT_EQ(GetFocus(), edit_.m_hWnd);
    EXPECT_EQ(edit_.SendMessage(EM_GETSEL), MAKELPARAM(0, 2));

    ASSERT_EQ(gTimers.size(), 1u);
    EXPECT_EQ(gTimers[0].hwnd, hwnd);
    EXPECT_EQ(gTimers[0].elapse, 10000u);
    ::SendMessage(hwnd, WM_TIMER, gTimers[0].id, 0);
    DrainEvents();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CBalloonTip::WatchedCount(), 0u);
}

TEST_F(BalloonTipTest, AClickOrAKeyAnywhereClosesEveryBalloonWithoutLimit) {
    for (const char* how : {"click", "key"}) {
        SCOPED_TRACE(how);
        std::vector<HWND> tips;
        for (int i = 0; i < 40; ++i) tips.push_back(Launch()->m_hWnd);
        EXPECT_EQ(CBalloonTip::WatchedCount(), 40u);
        if (std::string(how) == "click")
            QTest::mouseClick(other_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
        else
            QTest::keyClick(edit_.GetWidget(), Qt::Key_A);
        DrainEvents();
        for (HWND hwnd : tips) EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(CBalloonTip::WatchedCount(), 0u);
    }
}

// A window whose click launches a balloon, as a field refused on losing the focus does.
class LaunchingWindow : public CWnd {
public:
    HWND launched = 0;

protected:
    void OnLButtonDown(UINT, POINT point) override {
        ClientToScreen(&point);
        CBalloonTip* tip =
            CBalloonTip::LaunchBalloon("t", "c", point, 1, BALLOON_CLOSEONCLICK, nullptr, 0);
        launched = tip ? tip->m_hWnd : 0;
    }
};

TEST_F(BalloonTipTest, TheClickThatLaunchedABalloonDoesNotCloseIt) {
    LaunchingWindow window;
    ASSERT_TRUE(
        window.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{200, 20, 300, 80}, &dialog_, 1003));
    QTest::mouseClick(window.GetWidget(), Qt::LeftButton, {}, QPoint(10, 10));
    DrainEvents();
    ASSERT_TRUE(IsWindow(window.launched));
    QTest::mouseClick(other_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    DrainEvents();
    EXPECT_FALSE(IsWindow(window.launched));
}

TEST_F(BalloonTipTest, WithoutCloseOptionsInputLeavesItOpen) {
    CBalloonTip* tip = CBalloonTip::LaunchBalloon("t", "c", POINT{600, 600}, 2, 0, nullptr, 0);
    ASSERT_NE(tip, nullptr);
    HWND hwnd = tip->m_hWnd;
    DrainEvents();
    QTest::mouseClick(other_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(edit_.GetWidget(), Qt::Key_A);
    DrainEvents();
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(gTimers.empty());
    ::SendMessage(hwnd, WM_CLOSE);
    DrainEvents();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(BalloonTipTest, FollowsTheDialogThatCarriesItsControl) {
    CBalloonTip* tip = Launch();
    HWND hwnd = tip->m_hWnd;
    RECT before;
    ::GetWindowRect(hwnd, &before);
    dialog_.MoveWindow(150, 130, 400, 300);
    DrainEvents();
    RECT after;
    ::GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.top - before.top, 30);
    ::SendMessage(hwnd, WM_CLOSE);
    DrainEvents();
}

TEST_F(BalloonTipTest, CloseButtonClosesOnlyWhenPressAndReleaseAreOnIt) {
    CBalloonTip* tip = CBalloonTip::LaunchBalloon("标题", "内容", POINT{300, 300}, 1,
                                                  BALLOON_CLOSEBUTTON, nullptr, 0);
    ASSERT_NE(tip, nullptr);
    HWND hwnd = tip->m_hWnd;
    const RECT& c = tip->GetGeometry().client;
    POINT onButton{c.right - 9, c.top + 10};
    POINT elsewhere{c.left + 2, c.bottom - 2};
    auto lp = [](POINT p) { return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)); };
    ::SendMessage(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lp(onButton));
    ::SendMessage(hwnd, WM_LBUTTONUP, 0, lp(elsewhere));
    DrainEvents();
    EXPECT_TRUE(IsWindow(hwnd));
    ::SendMessage(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lp(elsewhere));
    ::SendMessage(hwnd, WM_LBUTTONUP, 0, lp(onButton));
    DrainEvents();
    EXPECT_TRUE(IsWindow(hwnd));
    ::SendMessage(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lp(onButton));
    ::SendMessage(hwnd, WM_LBUTTONUP, 0, lp(onButton));
    DrainEvents();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(BalloonTipTest, TwoLinesAreAsWideAsTheLongerOne) {
    CFont font;
    font.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 134, 0, 0, 0, 0, "宋体");
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    dc.SelectObject(&font);
    const std::string shortLine = "短行";
    const std::string longLine = "这一行比另一行长得多";
    int longWidth = dc.GetTextExtent(longLine).cx;
    CBalloonTip* tip = CBalloonTip::LaunchBalloon("", shortLine + "\r\n" + longLine,
                                                  POINT{300, 300}, 1, 0, nullptr, 0);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->GetContentSize().cx, longWidth + 4);
    EXPECT_GE(tip->GetContentSize().cy, 2 * dc.GetTextExtent(longLine).cy);
    // With an icon the window is 48 wider than the content.
    RECT w;
    ::GetWindowRect(tip->m_hWnd, &w);
    EXPECT_EQ(w.right - w.left, longWidth + 4 + 48);
    ::SendMessage(tip->m_hWnd, WM_CLOSE);
    DrainEvents();
}

}  // namespace
