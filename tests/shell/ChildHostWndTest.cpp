// The workspace container: the hosted window fills the client area at once and after every
// resize, a replaced child is sized before the next resize, focus goes to the child, and a
// container without a child keeps its plain window-colour area.
#include "shell/ChildHostWnd.h"

#include <gtest/gtest.h>

#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace shell {
namespace {

using kelmon::test::ui::UiTest;

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

class ChildHostWndTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.Create(nullptr, "frame", WS_POPUP | WS_VISIBLE, Rect(0, 0, 400, 300),
                                  nullptr, 0));
        ASSERT_TRUE(host_.Create(&frame_, 59648, Rect(10, 20, 200, 150),
                                 WS_CHILD | WS_VISIBLE | WS_BORDER, WS_EX_CLIENTEDGE));
        QApplication::setActiveWindow(frame_.GetWidget());
        kelmon::test::ui::DrainEvents();
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    void MakeChild(CWnd* child, const char* className = "Edit") {
        ASSERT_TRUE(
            child->Create(className, "", WS_CHILD | WS_VISIBLE, Rect(3, 4, 20, 10), &host_, 100));
    }
    RECT ChildRect(const CWnd& child) const {
        RECT r{};
        child.GetWindowRect(&r);
        host_.ScreenToClient(&r);
        return r;
    }
    RECT HostClient() const {
        RECT r{};
        host_.GetClientRect(&r);
        return r;
    }

    CWnd frame_;
    CChildHostWnd host_;
};

TEST_F(ChildHostWndTest, HasNoFrameOfItsOwn) {
    EXPECT_EQ(host_.GetStyle() & WS_BORDER, 0u);
    EXPECT_EQ(host_.GetExStyle() & WS_EX_CLIENTEDGE, 0u);
    EXPECT_TRUE(host_.GetStyle() & WS_CHILD);
    EXPECT_EQ(HostClient(), Rect(0, 0, 200, 150));
}

TEST_F(ChildHostWndTest, HostedWindowFillsTheClientAreaAtOnceAndAfterEveryResize) {
    CWnd first;
    MakeChild(&first);
    host_.SetChildWnd(&first);
    EXPECT_EQ(host_.GetChildWnd(), &first);
    EXPECT_EQ(ChildRect(first), HostClient());

    for (const RECT& size : {Rect(0, 0, 320, 240), Rect(5, 5, 1, 1), Rect(0, 0, 640, 90)}) {
        host_.MoveWindow(size);
        EXPECT_EQ(ChildRect(first), HostClient());
    }

    // Switching views: the new child is sized before any further resize of the frame.
    CWnd second;
    MakeChild(&second, "Static");
    host_.SetChildWnd(&second);
    EXPECT_EQ(ChildRect(second), HostClient());
    host_.MoveWindow(Rect(0, 0, 150, 100));
    EXPECT_EQ(ChildRect(second), HostClient());
    EXPECT_EQ(ChildRect(first), Rect(0, 0, 640, 90));  // the old child is left alone

    // A hosted window destroyed behind the container's back is no longer hosted.
    second.DestroyWindow();
    EXPECT_EQ(host_.GetChildWnd(), nullptr);
    host_.MoveWindow(Rect(0, 0, 120, 80));
    host_.SetChildWnd(static_cast<CWnd*>(nullptr));
    EXPECT_EQ(host_.GetChildWnd(), nullptr);
}

TEST_F(ChildHostWndTest, FocusGoesToTheHostedWindowAndIsIgnoredWithoutOne) {
    host_.SetFocus();
    EXPECT_EQ(CWnd::GetFocus(), &host_);  // no child: the container keeps it, nothing breaks

    CWnd edit;
    MakeChild(&edit);
    host_.SetChildWnd(&edit);
    frame_.SetFocus();
    host_.SetFocus();
    EXPECT_EQ(CWnd::GetFocus(), &edit);
}

TEST_F(ChildHostWndTest, WithoutAChildTheAreaKeepsTheWindowColour) {
    host_.UpdateWindow();
    kelmon::test::ui::PixelProbe probe(host_.GetWidget());
    const RECT all = Rect(0, 0, probe.Width(), probe.Height());
    EXPECT_EQ(probe.Count(GetSysColor(COLOR_WINDOW), all), probe.Width() * probe.Height());
}

}  // namespace
}  // namespace shell
