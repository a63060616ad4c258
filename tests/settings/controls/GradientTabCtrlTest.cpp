// CGradientTabCtrl: the tab size and spacing reach the layout (and with it the page area), and
// the painting of the tabs at the top and at the bottom.
#include "settings/controls/GradientTabCtrl.h"

#include <gtest/gtest.h>

#include "flexui/DrawHelpers.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace settings::controls {

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

class GradientTabCtrlTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 300}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Fill(CGradientTabCtrl& tabs) {
        tabs.InsertItem(0, "委托", -1, 1);
        tabs.InsertItem(1, "资金持仓", -1, 2);
        tabs.InsertItem(2, "成交", -1, 3);
    }
    static RECT Item(CGradientTabCtrl& tabs, int index) {
        RECT r{};
        EXPECT_TRUE(tabs.GetItemRect(index, &r));
        return r;
    }
    // Pixels of the rectangle where blue clearly dominates (the caption is anti-aliased).
    static int Bluish(const kelmon::test::ui::PixelProbe& probe, const RECT& r) {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = probe.At(x, y);
                if (GetBValue(c) > GetRValue(c) + 80 && GetBValue(c) > GetGValue(c) + 80) ++count;
            }
        return count;
    }
    static int Width(const RECT& r) { return r.right - r.left; }
    static int Height(const RECT& r) { return r.bottom - r.top; }

    CWnd host_;
};

TEST_F(GradientTabCtrlTest, ItemSizeAndPaddingShapeTheTabsAndThePageArea) {
    for (DWORD style : {DWORD{0}, TCS_BOTTOM}) {
        SCOPED_TRACE(testing::Message() << "style " << std::hex << style);
        CGradientTabCtrl tabs;
        ASSERT_TRUE(tabs.Create(style | WS_VISIBLE, RECT{0, 0, 300, 200}, &host_, 1006));
        Fill(tabs);
        const RECT before = Item(tabs, 1);

        const SIZE old = tabs.SetItemSize(SIZE{-1, 22});
        EXPECT_EQ(old.cy, Height(before)) << "the size before comes back";
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Height(Item(tabs, i)), 22);
        EXPECT_EQ(Width(Item(tabs, 1)), Width(before)) << "a width of -1 leaves the widths";

        tabs.SetPadding(SIZE{8, 8});
        EXPECT_EQ(Width(Item(tabs, 1)), Width(before) + 4) << "two more pixels on each side";
        EXPECT_EQ(Height(Item(tabs, 1)), 22) << "the set height holds against the padding";

        RECT page{};
        ASSERT_TRUE(GetTabClientRect(&tabs, &page));
        if (style & TCS_BOTTOM) {
            EXPECT_EQ(page.bottom, Item(tabs, 0).top);
        } else {
            EXPECT_EQ(page.top, Item(tabs, 0).bottom);
        }
        EXPECT_EQ(tabs.GetItemData(1), 2);
        tabs.DestroyWindow();
    }
}

TEST_F(GradientTabCtrlTest, FixedWidthTabsTakeTheSetWidth) {
    CGradientTabCtrl tabs;
    ASSERT_TRUE(tabs.Create(TCS_FIXEDWIDTH | WS_VISIBLE, RECT{0, 0, 300, 200}, &host_, 1006));
    Fill(tabs);
    tabs.SetItemSize(SIZE{70, 20});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Width(Item(tabs, i)), 70);
        EXPECT_EQ(Height(Item(tabs, i)), 20);
    }
    tabs.DestroyWindow();
}

TEST_F(GradientTabCtrlTest, UnselectedTabsShadeAwayFromThePageAndTheSelectedOneIsFlatAndBlue) {
    for (DWORD style : {DWORD{0}, TCS_BOTTOM}) {
        SCOPED_TRACE(testing::Message() << "style " << std::hex << style);
        const bool bottom = style & TCS_BOTTOM;
        CGradientTabCtrl tabs;
        ASSERT_TRUE(tabs.Create(style | WS_VISIBLE, RECT{0, 0, 300, 200}, &host_, 1006));
        Fill(tabs);
        tabs.SetItemSize(SIZE{-1, 22});
        tabs.SetCurSel(1);
        DrainEvents();
        kelmon::test::ui::PixelProbe probe(tabs.GetWidget());
        const RECT chosen = Item(tabs, 1);
        const RECT other = Item(tabs, 2);
        const int x = other.left + 3;

        // The gradient runs from white at the top to grey at the bottom, whichever side the
        // page is.
        const COLORREF high = probe.At(x, other.top + 1);
        const COLORREF low = probe.At(x, other.bottom - 3);
        EXPECT_GE(GetRValue(high), 0xF8);
        EXPECT_GT(GetRValue(high), GetRValue(low));
        EXPECT_EQ(GetRValue(low), GetBValue(low)) << "a grey";
        EXPECT_GE(GetRValue(low), GetRValue(CGradientTabCtrl::kGradientBottom));
        // Outlined in grey on the side away from the page.
        const int farEdge = bottom ? other.bottom - 1 : other.top;
        EXPECT_EQ(probe.At((other.left + other.right) / 2, farEdge),
                  CGradientTabCtrl::kOutlineColor);
        EXPECT_EQ(probe.At(other.left, (other.top + other.bottom) / 2),
                  CGradientTabCtrl::kOutlineColor);

        EXPECT_EQ(probe.At(chosen.left + 3, (chosen.top + chosen.bottom) / 2),
                  GetSysColor(COLOR_BTNFACE))
            << "the selected tab is flat";
        EXPECT_GT(Bluish(probe, chosen), 0) << "with a blue caption";
        EXPECT_EQ(Bluish(probe, other), 0);
        EXPECT_EQ(Bluish(probe, Item(tabs, 0)), 0);
        tabs.DestroyWindow();
    }
}

}  // namespace

}  // namespace settings::controls
