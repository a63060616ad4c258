// CSplitterWndXp: binding and orientation, sides of attached windows, the drag limits, the
// moves of the attached windows and the notification to the parent.
#include "flexui/SplitterWndXp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <vector>

#include "platform/ui/Dialog.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

constexpr UINT kForm = 9102;
constexpr int kTop = 2201, kBar = 2202, kBottom = 2203, kLeftEdit = 2204, kVBar = 2205,
              kRightEdit = 2206;

// The form as a top-level window that logs the bar's notifications.
class SplitForm : public CDialog {
public:
    SplitForm() : CDialog(kForm) {}
    std::vector<LPARAM> moved;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SPLITTER_MOVED && wParam == 0) moved.push_back(lParam);
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

RECT Place(const CWnd& parent, int id) {
    return GetWindowRectIn(GetDlgItem(parent.m_hWnd, id), parent.m_hWnd);
}

class SplitterWndXpTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("flexdlg-test",
                                           KELMON_SOURCE_DIR "/tests/flexui/dialogs_flexdlg");
        const platform::ui::DialogTemplate* t = platform::ui::FindDialogTemplate(kForm);
        ASSERT_NE(t, nullptr);
        platform::ui::DialogTemplate popup = *t;
        popup.style = WS_POPUP;
        ASSERT_TRUE(form_.CreateIndirect(popup));
        form_.MoveWindow(0, 0, 300, 300);
        form_.ShowWindow(SW_SHOW);
        // Top list 0..100, bar 100..104, bottom list 104..200; edits and a vertical bar below.
        Put(kTop, {0, 0, 200, 100});
        Put(kBar, {0, 100, 200, 104});
        Put(kBottom, {0, 104, 200, 200});
        Put(kLeftEdit, {0, 210, 60, 240});
        Put(kVBar, {60, 210, 64, 240});
        Put(kRightEdit, {64, 210, 124, 240});
        DrainEvents();
    }
    void TearDown() override {
        bar_.UnsubclassWindow();
        form_.DestroyWindow();
        UiTest::TearDown();
    }
    void Put(int id, RECT r) {
        MoveWindow(GetDlgItem(form_.m_hWnd, id), r.left, r.top, r.right - r.left, r.bottom - r.top,
                   TRUE);
    }
    // Press at (2, 2) of the bar, move by (dx, dy), release.
    void Drag(CWnd& bar, int dx, int dy, bool release = true) {
        bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        bar.SendMessage(WM_MOUSEMOVE, MK_LBUTTON,
                        MAKELPARAM(static_cast<WORD>(2 + dx), static_cast<WORD>(2 + dy)));
        if (release)
            bar.SendMessage(WM_LBUTTONUP, 0,
                            MAKELPARAM(static_cast<WORD>(2 + dx), static_cast<WORD>(2 + dy)));
    }
    SplitForm form_;
    CSplitterWndXp bar_;
};

TEST_F(SplitterWndXpTest, BindingTakesTheOrientationFromTheShape) {
    EXPECT_FALSE(bar_.BindWithControl(nullptr, kBar));
    EXPECT_FALSE(bar_.BindWithControl(&form_, 4242));
    ASSERT_TRUE(bar_.BindWithControl(&form_, kBar));
    EXPECT_EQ(bar_.GetOrientation(), kSplitterHorizontal);
    EXPECT_TRUE(bar_.GetStyle() & SS_NOTIFY);
    CSplitterWndXp vertical;
    ASSERT_TRUE(vertical.BindWithControl(&form_, kVBar));
    EXPECT_EQ(vertical.GetOrientation(), kSplitterVertical);
    ASSERT_TRUE(vertical.SetAttachItem(kLeftEdit, FALSE));
    ASSERT_TRUE(vertical.SetAttachItem(kRightEdit, TRUE, 30));
    EXPECT_EQ(
        vertical.GetAttachWords(),
        (std::vector<DWORD>{kSplitterLeft, kSplitterRight | SPLITTER_ATTACH_RESIZE | (30u << 16)}));
    vertical.UnsubclassWindow();
}

TEST_F(SplitterWndXpTest, ResizedNeighboursKeepTheirMinimumAndTheParentHearsOfTheMove) {
    ASSERT_TRUE(bar_.BindWithControl(&form_, kBar));
    ASSERT_TRUE(bar_.SetAttachItem(kTop, TRUE, 50));
    ASSERT_TRUE(bar_.SetAttachItem(kBottom, TRUE, 50));
    EXPECT_EQ(bar_.GetAttachWords()[0] & 0xF, kSplitterAbove);
    EXPECT_EQ(bar_.GetAttachWords()[1] & 0xF, kSplitterBelow);
    struct Case {
        int dy;
        int barTop;  // where the bar ends up
    };
    int barTop = 100;
    for (Case c : {Case{-30, 70}, Case{-80, 50}, Case{200, 146}, Case{0, 146}, Case{-20, 126}}) {
        SCOPED_TRACE(testing::Message() << "drag by " << c.dy);
        form_.moved.clear();
        Drag(bar_, 0, c.dy);
        EXPECT_FALSE(bar_.IsDragging());
        EXPECT_EQ(Place(form_, kBar), (RECT{0, c.barTop, 200, c.barTop + 4}));
        EXPECT_EQ(Place(form_, kTop), (RECT{0, 0, 200, c.barTop}));
        EXPECT_EQ(Place(form_, kBottom), (RECT{0, c.barTop + 4, 200, 200}));
        if (c.barTop == barTop) {
            EXPECT_TRUE(form_.moved.empty()) << "no move, no notification";
        } else {
            EXPECT_EQ(form_.moved, std::vector<LPARAM>{kBar});
        }
        barTop = c.barTop;
    }
}

TEST_F(SplitterWndXpTest, MovedWindowsTravelWithTheBarAndKeepTheirFarEdgeInside) {
    CSplitterWndXp vertical;
    ASSERT_TRUE(vertical.BindWithControl(&form_, kVBar));
    ASSERT_TRUE(vertical.SetAttachItem(kLeftEdit, TRUE, 20));
    ASSERT_TRUE(vertical.SetAttachItem(kRightEdit, FALSE));
    Drag(vertical, 50, 30);  // only the horizontal move counts
    EXPECT_EQ(Place(form_, kVBar), (RECT{110, 210, 114, 240}));
    EXPECT_EQ(Place(form_, kLeftEdit), (RECT{0, 210, 110, 240}));
    EXPECT_EQ(Place(form_, kRightEdit), (RECT{114, 210, 174, 240}));
    // The moved edit's left edge must stay left of the parent's right edge (300).
    Drag(vertical, 1000, 0);
    EXPECT_EQ(Place(form_, kRightEdit).left, 299);
    vertical.UnsubclassWindow();
}

TEST_F(SplitterWndXpTest, ALostCaptureKeepsTheBarAndEscapeOrTheRightButtonEndTheDrag) {
    ASSERT_TRUE(bar_.BindWithControl(&form_, kBar));
    ASSERT_TRUE(bar_.SetAttachItem(kTop, TRUE, 10));
    ASSERT_TRUE(bar_.SetAttachItem(kBottom, TRUE, 10));
    Drag(bar_, 0, 20, false);
    ASSERT_TRUE(bar_.IsDragging());
    EXPECT_EQ(bar_.GetDragRect(), (RECT{0, 120, 200, 124})) << "the drag rectangle follows";
    SetCapture(form_.m_hWnd);
    ReleaseCapture();
    EXPECT_FALSE(bar_.IsDragging());
    EXPECT_EQ(Place(form_, kBar).top, 100);

    Drag(bar_, 0, 20, false);
    bar_.SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 22));
    EXPECT_FALSE(bar_.IsDragging());
    EXPECT_EQ(Place(form_, kBar).top, 120);

    Drag(bar_, 0, -10, false);
    QTest::keyClick(form_.GetWidget(), Qt::Key_Escape);
    EXPECT_FALSE(bar_.IsDragging());
    EXPECT_EQ(Place(form_, kBar).top, 110) << "Escape ends the drag where the bar was dragged";
}

TEST_F(SplitterWndXpTest, NoDragWhileAnotherWindowHoldsTheMouse) {
    ASSERT_TRUE(bar_.BindWithControl(&form_, kBar));
    ASSERT_TRUE(bar_.SetAttachItem(kTop, TRUE, 10));
    SetCapture(form_.m_hWnd);
    bar_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_FALSE(bar_.IsDragging());
    ReleaseCapture();
    // Both neighbours at their minimum: nowhere to go.
    ASSERT_TRUE(bar_.SetAttachItem(kBottom, TRUE, 96));
    bar_.DetachAll();
    EXPECT_TRUE(bar_.GetAttachedWindows().empty());
    ASSERT_TRUE(bar_.SetAttachItem(kTop, TRUE, 100));
    ASSERT_TRUE(bar_.SetAttachItem(kBottom, TRUE, 96));
    bar_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_FALSE(bar_.IsDragging());
}

}  // namespace
