// CFlexDialogBar: docked sizes, the sizing border on the inner side, resize drags with their
// limits, and the hosted in-place window with its shown / hidden notifications.
#include "flexui/FlexDialogBar.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <vector>

#include "platform/ui/DialogResources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

constexpr UINT kBarTemplate = 9101;
constexpr UINT kBarId = 0xE810;
constexpr int kFrameWidth = 600, kFrameHeight = 400;
constexpr int kTemplateWidth = 150, kTemplateHeight = 65;  // 100 x 40 dialog units

// The in-place window: logs the notify codes its bar sends.
class HostedWnd : public CWnd {
public:
    std::vector<int> codes;

protected:
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT*) override {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == kBarId) codes.push_back(static_cast<int>(header->code));
        return TRUE;
    }
};

RECT RectIn(HWND parent, const CWnd& child) { return GetWindowRectIn(child.m_hWnd, parent); }

class FlexDialogBarTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("flexdlg-test",
                                           KELMON_SOURCE_DIR "/tests/flexui/dialogs_flexdlg");
        ASSERT_TRUE(frame_.Create(nullptr, "frame", WS_POPUP | WS_VISIBLE,
                                  RECT{0, 0, kFrameWidth, kFrameHeight}, nullptr, 0));
        ASSERT_TRUE(view_.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 1, 1}, &frame_,
                                 AFX_IDW_PANE_FIRST));
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    // Presses on the middle of the sizing border, moves by (dx, dy) and releases (or loses
    // the capture instead).
    static void Drag(CFlexDialogBar& bar, int dx, int dy, bool release = true) {
        const RECT border = bar.GetBorderRect();
        const POINT start{(border.left + border.right) / 2, (border.top + border.bottom) / 2};
        bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        ASSERT_TRUE(bar.GetStateFlags() & CFlexDialogBar::kTracking);
        const LPARAM to =
            MAKELPARAM(static_cast<WORD>(start.x + dx), static_cast<WORD>(start.y + dy));
        bar.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, to);
        if (release) bar.SendMessage(WM_LBUTTONUP, 0, to);
    }
    CFrameWnd frame_;
    CWnd view_;
};

TEST_F(FlexDialogBarTest, DockedSizesStartFromTheTemplate) {
    CFlexDialogBar bar;
    ASSERT_TRUE(
        bar.Create(&frame_, kBarTemplate, CBRS_TOP | CBRS_SIZE_DYNAMIC | WS_VISIBLE, kBarId));
    EXPECT_EQ(bar.GetDockedWidth(), kTemplateWidth);
    EXPECT_EQ(bar.GetDockedHeight(), kTemplateHeight);
    EXPECT_EQ(bar.CalcFixedLayout(TRUE, TRUE).cx, kStretchLength);
    EXPECT_EQ(bar.CalcFixedLayout(TRUE, TRUE).cy, kTemplateHeight);
    EXPECT_EQ(bar.CalcFixedLayout(TRUE, FALSE).cy, kStretchLength);
    bar.SetBarSize(200, 10);  // a height under 16 is refused
    EXPECT_EQ(bar.GetDockedWidth(), 200);
    EXPECT_EQ(bar.GetDockedHeight(), kTemplateHeight);
    EXPECT_EQ(bar.CalcFixedLayout(FALSE, FALSE).cx, 200);
    EXPECT_EQ(bar.CalcFixedLayout(FALSE, FALSE).cy, kTemplateHeight);
    bar.SetBarSize(0, 80);
    EXPECT_EQ(RectIn(frame_.m_hWnd, bar), (RECT{0, 0, kFrameWidth, 80}))
        << "the frame lays out again";
    bar.DestroyWindow();
}

TEST_F(FlexDialogBarTest, TheSizingBorderIsOnTheInnerSide) {
    struct Case {
        DWORD style;
        RECT border;  // in a bar of w x h
        RECT attach;
    };
    constexpr int w = 100, h = 60;
    const Case cases[] = {
        {CBRS_LEFT | CBRS_SIZE_DYNAMIC, {w - 4, 0, w, h}, {0, 1, w - 4, h}},
        {CBRS_TOP | CBRS_SIZE_DYNAMIC, {0, h - 4, w, h}, {0, 1, w, h - 4}},
        {CBRS_RIGHT | CBRS_SIZE_DYNAMIC, {0, 0, 4, h}, {4, 1, w, h}},
        {CBRS_BOTTOM | CBRS_SIZE_DYNAMIC, {0, 0, w, 4}, {0, 5, w, h}},
        {CBRS_TOP, {0, 0, 0, 0}, {0, 1, w, h}},  // not dynamic: no border
        {CBRS_TOP | CBRS_SIZE_DYNAMIC | CBRS_FLOATING, {0, 0, 0, 0}, {0, 1, w, h}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << std::hex << c.style);
        CFlexDialogBar bar;
        ASSERT_TRUE(bar.Create(&frame_, kBarTemplate, c.style, kBarId));
        bar.MoveWindow(0, 0, w, h);
        EXPECT_EQ(bar.GetBorderRect(), c.border);
        EXPECT_EQ(bar.GetAttachClientRect(), c.attach);
        if (c.border.right > c.border.left) {
            POINT inside{(c.border.left + c.border.right) / 2,
                         (c.border.top + c.border.bottom) / 2};
            bar.ClientToScreen(&inside);
            EXPECT_EQ(bar.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)), HTSIZE);
        }
        POINT middle{w / 2, h / 2};
        bar.ClientToScreen(&middle);
        EXPECT_EQ(bar.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(middle.x, middle.y)), HTCLIENT);
        bar.DestroyWindow();
    }
}

TEST_F(FlexDialogBarTest, DragsResizeTowardTheInsideWithinLimits) {
    struct Case {
        DWORD side;
        int dx, dy;
        int expected;  // docked height (top, bottom) or width (left, right)
    };
    const Case cases[] = {
        {CBRS_TOP, 0, 30, kTemplateHeight + 30},
        {CBRS_TOP, 50, -20, kTemplateHeight - 20},  // only the vertical move counts
        {CBRS_BOTTOM, 0, -30, kTemplateHeight + 30},
        {CBRS_LEFT, 40, 0, kTemplateWidth + 40},
        {CBRS_RIGHT, -40, 7, kTemplateWidth + 40},
        {CBRS_TOP, 0, -500, 16},  // dragged to nothing
        {CBRS_LEFT, -1000, 0, 16},
        {CBRS_TOP, 0, 5000, kTemplateHeight + kFrameHeight},  // beyond the frame
        {CBRS_RIGHT, -5000, 0, kTemplateWidth + kFrameWidth},
        {CBRS_TOP, 0, 0, kTemplateHeight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "side " << std::hex << c.side << std::dec << " move "
                                        << c.dx << "," << c.dy);
        CFlexDialogBar bar;
        ASSERT_TRUE(
            bar.Create(&frame_, kBarTemplate, c.side | CBRS_SIZE_DYNAMIC | WS_VISIBLE, kBarId));
        Drag(bar, c.dx, c.dy);
        EXPECT_FALSE(bar.GetStateFlags() & CFlexDialogBar::kTracking);
        const bool horz = c.side == CBRS_TOP || c.side == CBRS_BOTTOM;
        EXPECT_EQ(horz ? bar.GetDockedHeight() : bar.GetDockedWidth(), c.expected);
        EXPECT_EQ(horz ? bar.GetDockedWidth() : bar.GetDockedHeight(),
                  horz ? kTemplateWidth : kTemplateHeight);
        bar.DestroyWindow();
    }
}

TEST_F(FlexDialogBarTest, TheTrackerFollowsOnlyAlongTheAxisAndALostCaptureChangesNothing) {
    CFlexDialogBar bar;
    ASSERT_TRUE(
        bar.Create(&frame_, kBarTemplate, CBRS_TOP | CBRS_SIZE_DYNAMIC | WS_VISIBLE, kBarId));
    const RECT border = bar.GetBorderRect();
    Drag(bar, 70, 25, false);
    const RECT tracker = bar.GetTrackerRect();
    EXPECT_EQ(tracker.left, border.left);
    EXPECT_EQ(tracker.right, border.right);
    EXPECT_EQ(tracker.top, border.top + 25);
    EXPECT_EQ(tracker.bottom, border.bottom + 25);
    // Another window takes the mouse: the drag ends without a change.
    SetCapture(view_.m_hWnd);
    EXPECT_FALSE(bar.GetStateFlags() & CFlexDialogBar::kTracking);
    ReleaseCapture();
    EXPECT_EQ(bar.GetDockedHeight(), kTemplateHeight);
    // A press inside the bar is no drag.
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(bar.GetStateFlags() & CFlexDialogBar::kTracking);
    bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    bar.DestroyWindow();
}

TEST_F(FlexDialogBarTest, TheInPlaceWindowFillsTheBarAndHearsShowAndHide) {
    CFlexDialogBar bar;
    ASSERT_TRUE(
        bar.Create(&frame_, kBarTemplate, CBRS_TOP | CBRS_SIZE_DYNAMIC | WS_VISIBLE, kBarId));
    HostedWnd hosted;
    ASSERT_TRUE(hosted.Create(nullptr, "", WS_CHILD, RECT{0, 0, 30, 30}, &frame_, 0));
    bar.SetInPlaceWnd(&hosted, FALSE);
    EXPECT_EQ(hosted.GetParent(), &bar);
    EXPECT_EQ(bar.GetInPlaceWnd(), &hosted);
    EXPECT_TRUE(hosted.IsWindowVisible());
    EXPECT_EQ(RectIn(bar.m_hWnd, hosted), bar.GetAttachClientRect());

    bar.SetBarSize(0, 120);
    RECT attach = bar.GetAttachClientRect();
    EXPECT_EQ(attach.bottom, 120 - CFlexDialogBar::kBorder);
    EXPECT_EQ(RectIn(bar.m_hWnd, hosted), attach) << "refitted after the resize";

    hosted.codes.clear();
    frame_.ShowControlBar(&bar, FALSE);
    frame_.ShowControlBar(&bar, TRUE);
    EXPECT_EQ(hosted.codes, (std::vector<int>{-97, -98}));

    // Fitting the bar to the window: the docked sizes take the window plus the border.
    hosted.MoveWindow(0, 0, 90, 50);
    bar.SetInPlaceWnd(&hosted, TRUE);
    EXPECT_EQ(bar.GetDockedWidth(), 90);
    EXPECT_EQ(bar.GetDockedHeight(), 50 + CFlexDialogBar::kBorder + 1);

    // A new in-place window hides the previous one.
    HostedWnd other;
    ASSERT_TRUE(other.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, &frame_, 0));
    bar.SetInPlaceWnd(&other, FALSE);
    EXPECT_FALSE(hosted.IsWindowVisible());
    EXPECT_EQ(bar.GetInPlaceWnd(), &other);
    other.DestroyWindow();
    EXPECT_EQ(bar.GetInPlaceWnd(), nullptr);
    bar.SetInPlaceWnd(nullptr, FALSE);
    hosted.DestroyWindow();
    bar.DestroyWindow();
}

TEST_F(FlexDialogBarTest, TheBorderIsPaintedInItsColour) {
    CFlexDialogBar bar;
    ASSERT_TRUE(
        bar.Create(&frame_, kBarTemplate, CBRS_TOP | CBRS_SIZE_DYNAMIC | WS_VISIBLE, kBarId));
    DrainEvents();
    kelmon::test::ui::PixelProbe probe(bar.GetWidget());
    const RECT border = bar.GetBorderRect();
    EXPECT_EQ(probe.Count(CFlexDialogBar::kBorderColor, border),
              (border.right - border.left) * (border.bottom - border.top));
    EXPECT_EQ(probe.At(border.left + 300, border.top - 2), GetSysColor(COLOR_BTNFACE));
    bar.DestroyWindow();
}

}  // namespace
