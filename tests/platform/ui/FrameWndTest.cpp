// Frame layout: dialog bars and control bars docked on the four sides, the view filling the
// rest, and the layout following hidden bars, re-docking and frame resizing.
#include "platform/ui/FrameWnd.h"

#include <gtest/gtest.h>

#include "platform/ui/ControlBar.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::UiTest;

// A bar of a fixed thickness; with CBRS_SIZE_DYNAMIC it answers the dynamic layout itself
// and remembers the mode it was asked with.
class StripBar : public CControlBar {
public:
    explicit StripBar(LONG thickness) { m_sizeDefault = SIZE{thickness, thickness}; }
    BOOL Create(CFrameWnd* frame, DWORD style, UINT id) {
        return CreateBar(frame, nullptr, style, RECT{0, 0, 10, 10}, id);
    }
    SIZE CalcDynamicLayout(int length, DWORD mode) override {
        lastLength = length;
        lastMode = mode;
        return SIZE{2 * m_sizeDefault.cx, 2 * m_sizeDefault.cy};
    }
    int lastLength = 0;
    DWORD lastMode = 0;
};

RECT WindowRectIn(const CWnd& parent, const CWnd& child) {
    RECT rect;
    child.GetWindowRect(&rect);
    parent.ScreenToClient(&rect);
    return rect;
}

class FrameWndTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("test", KELMON_SOURCE_DIR "/tests/platform/ui/dialogs");
        ASSERT_TRUE(frame_.Create(nullptr, "frame", WS_POPUP | WS_VISIBLE, RECT{0, 0, 600, 400},
                                  nullptr, 0));
        ASSERT_TRUE(view_.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 1, 1}, &frame_,
                                 AFX_IDW_PANE_FIRST));
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    CFrameWnd frame_;
    CWnd view_;
};

TEST_F(FrameWndTest, BarsTakeTheirSidesAndTheViewGetsTheRest) {
    CDialogBar top, bottom;
    StripBar left(80), right(25);
    ASSERT_TRUE(top.Create(&frame_, 9002, CBRS_TOP | WS_VISIBLE, 0xE801));
    ASSERT_TRUE(bottom.Create(&frame_, 9002, CBRS_BOTTOM | WS_VISIBLE, 0xE802));
    ASSERT_TRUE(left.Create(&frame_, CBRS_LEFT | WS_VISIBLE, 0xE803));
    ASSERT_TRUE(right.Create(&frame_, CBRS_RIGHT | CBRS_SIZE_DYNAMIC | WS_VISIBLE, 0xE804));
    EXPECT_EQ(top.m_sizeDefault.cx, 150) << "the template's size in pixels";
    EXPECT_EQ(top.m_sizeDefault.cy, 33);
    EXPECT_NE(top.GetDlgItem(2001), nullptr) << "the template's controls";
    EXPECT_EQ(top.CalcFixedLayout(TRUE, TRUE).cx, kStretchLength);
    EXPECT_EQ(top.CalcFixedLayout(FALSE, TRUE).cx, 150);
    EXPECT_TRUE(top.IsHorzDocked());
    EXPECT_TRUE(left.IsVertDocked());
    EXPECT_EQ(top.GetDockingFrame(), &frame_);

    frame_.RecalcLayout();
    EXPECT_EQ(WindowRectIn(frame_, top), (RECT{0, 0, 600, 33}));
    EXPECT_EQ(WindowRectIn(frame_, bottom), (RECT{0, 367, 600, 400}));
    EXPECT_EQ(WindowRectIn(frame_, left), (RECT{0, 33, 80, 367}));
    EXPECT_EQ(WindowRectIn(frame_, right), (RECT{550, 33, 600, 367}))
        << "a dynamic bar answers its own size";
    EXPECT_EQ(right.lastLength, -1);
    EXPECT_EQ(right.lastMode, LM_STRETCH | LM_VERTDOCK);
    EXPECT_EQ(WindowRectIn(frame_, view_), (RECT{80, 33, 550, 367}));
    EXPECT_EQ(frame_.GetViewRect(), (RECT{80, 33, 550, 367}));

    // A hidden bar takes no room; a bar docked again goes inside the bars of its new side.
    frame_.ShowControlBar(&top, FALSE);
    EXPECT_EQ(WindowRectIn(frame_, view_), (RECT{80, 0, 550, 367}));
    frame_.DockControlBar(&bottom, CBRS_ALIGN_LEFT);
    EXPECT_EQ(WindowRectIn(frame_, left), (RECT{0, 0, 80, 400}));
    EXPECT_EQ(WindowRectIn(frame_, bottom), (RECT{80, 0, 230, 400}));
    EXPECT_EQ(WindowRectIn(frame_, view_), (RECT{230, 0, 550, 400}));

    // The frame lays itself out when it is resized.
    frame_.MoveWindow(0, 0, 700, 300);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(WindowRectIn(frame_, right), (RECT{650, 0, 700, 300}));
    EXPECT_EQ(WindowRectIn(frame_, view_), (RECT{230, 0, 650, 300}));
}

TEST_F(FrameWndTest, BarsNeverTakeMoreThanTheRoomLeftAndLeaveWhenDestroyed) {
    StripBar huge(1000), second(30);
    ASSERT_TRUE(huge.Create(&frame_, CBRS_TOP | WS_VISIBLE, 1));
    ASSERT_TRUE(second.Create(&frame_, CBRS_TOP | WS_VISIBLE, 2));
    frame_.RecalcLayout();
    EXPECT_EQ(WindowRectIn(frame_, huge), (RECT{0, 0, 600, 400}));
    EXPECT_EQ(WindowRectIn(frame_, second), (RECT{0, 400, 600, 400}));
    huge.DestroyWindow();
    EXPECT_EQ(huge.GetDockingFrame(), nullptr);
    frame_.RecalcLayout();
    EXPECT_EQ(WindowRectIn(frame_, second), (RECT{0, 0, 600, 30}));
    EXPECT_EQ(WindowRectIn(frame_, view_), (RECT{0, 30, 600, 400}));
    {
        CDialogBar missing;
        EXPECT_FALSE(missing.Create(&frame_, 4242, CBRS_TOP, 3));
    }
}

}  // namespace
