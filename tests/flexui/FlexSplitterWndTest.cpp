// CFlexSplitterWnd: limits from the smallest and largest sizes, moved controls kept inside,
// Escape cancelling, and the message to the parent.
#include "flexui/FlexSplitterWnd.h"

#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

constexpr int kTop = 1, kBar = 2, kBottom = 3, kMoved = 4;

class Host : public CWnd {
public:
    std::vector<LPARAM> moved;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == 0x05FE) moved.push_back(lParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

RECT Place(const CWnd& parent, int id) {
    return GetWindowRectIn(GetDlgItem(parent.m_hWnd, id), parent.m_hWnd);
}

class FlexSplitterWndTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300}, nullptr, 0));
        Make(kTop, "ListBox", {0, 0, 200, 100});
        Make(kBar, "Static", {0, 100, 200, 104});
        Make(kBottom, "ListBox", {0, 104, 200, 200});
        Make(kMoved, "Button", {210, 150, 260, 180});
        ASSERT_TRUE(bar_.BindWithControl(&host_, kBar));
    }
    void TearDown() override {
        bar_.UnsubclassWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Make(int id, const char* className, RECT r) {
        CWnd control;
        ASSERT_TRUE(control.Create(className, "", WS_CHILD | WS_VISIBLE, r, &host_, id));
        control.Detach();
    }
    void Drag(int dy, bool release = true) {
        bar_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        bar_.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2, static_cast<WORD>(2 + dy)));
        if (release) bar_.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, static_cast<WORD>(2 + dy)));
    }
    Host host_;
    CFlexSplitterWnd bar_;
};

TEST_F(FlexSplitterWndTest, SizesAndTheParentBoundTheMove) {
    EXPECT_EQ(bar_.GetOrientation(), kSplitterHorizontal);
    ASSERT_TRUE(bar_.SetAttachItem(kTop, TRUE, 40, 130));
    ASSERT_TRUE(bar_.SetAttachItem(kBottom, TRUE, 30));
    ASSERT_TRUE(bar_.SetAttachItem(kMoved, FALSE, 99, 99));
    EXPECT_EQ(bar_.GetAttachments()[2].minSize, 0) << "sizes count only when resized";
    struct Case {
        int dy;
        int barTop;
    };
    // Top: 40..130 high; bottom at least 30 (bar top <= 166); the moved button stays inside
    // (its bottom 180 may go down by 120 at most).
    for (Case c : {Case{-100, 40}, Case{200, 130}, Case{-10, 120}}) {
        SCOPED_TRACE(c.dy);
        host_.moved.clear();
        Drag(c.dy);
        EXPECT_EQ(Place(host_, kBar).top, c.barTop);
        EXPECT_EQ(Place(host_, kTop).bottom, c.barTop);
        EXPECT_EQ(Place(host_, kBottom).top, c.barTop + 4);
        EXPECT_EQ(host_.moved, std::vector<LPARAM>{kBar});
    }
    EXPECT_EQ(Place(host_, kMoved), (RECT{210, 170, 260, 200})) << "moved with the bar";
}

TEST_F(FlexSplitterWndTest, AControlAtItsMinimumBlocksThatWayAndEscapeCancels) {
    ASSERT_TRUE(bar_.SetAttachItem(kTop, TRUE, 100));
    ASSERT_TRUE(bar_.SetAttachItem(kBottom, TRUE, 10));
    Drag(-30);
    EXPECT_EQ(Place(host_, kBar).top, 100) << "the top list is at its minimum";
    EXPECT_TRUE(host_.moved.empty());
    Drag(30, false);
    EXPECT_TRUE(bar_.IsDragging());
    EXPECT_EQ(bar_.GetDragRect(), (RECT{0, 130, 200, 134}));
    QTest::keyClick(host_.GetWidget(), Qt::Key_Escape);
    EXPECT_FALSE(bar_.IsDragging());
    EXPECT_EQ(Place(host_, kBar).top, 100) << "Escape cancels";
    EXPECT_TRUE(host_.moved.empty());
    Drag(30);
    EXPECT_EQ(Place(host_, kBar).top, 130);
    bar_.DetachAll();
    EXPECT_TRUE(bar_.GetAttachments().empty());
}

}  // namespace
