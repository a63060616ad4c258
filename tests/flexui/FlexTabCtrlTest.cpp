// CFlexTabCtrl: the page rectangle for each strip position, and the painting of tabs (gradient,
// pressed tab flat with blue text, border lines).
#include "flexui/FlexTabCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

class FlexTabCtrlTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 300}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    CWnd host_;
};

TEST_F(FlexTabCtrlTest, TheAttachRectLeavesOutTheStripAndOnePixelOfBorder) {
    for (DWORD style : {DWORD{0}, TCS_BOTTOM, TCS_VERTICAL | TCS_MULTILINE,
                        TCS_VERTICAL | TCS_MULTILINE | TCS_RIGHT}) {
        SCOPED_TRACE(testing::Message() << "style " << std::hex << style);
        CFlexTabCtrl tabs;
        ASSERT_TRUE(tabs.Create(style | WS_VISIBLE, RECT{0, 0, 300, 200}, &host_, 7));
        tabs.InsertItem(0, "委托");
        tabs.InsertItem(1, "成交");
        RECT strip{}, other{};
        ASSERT_TRUE(tabs.GetItemRect(0, &strip));
        ASSERT_TRUE(tabs.GetItemRect(1, &other));
        strip = RECT{std::min(strip.left, other.left), std::min(strip.top, other.top),
                     std::max(strip.right, other.right), std::max(strip.bottom, other.bottom)};
        RECT attach{};
        tabs.GetAttachRect(&attach);
        if (style & TCS_VERTICAL) {
            if (style & TCS_RIGHT)
                EXPECT_EQ(attach.right, strip.left - 1);
            else
                EXPECT_EQ(attach.left, strip.right + 1);
            EXPECT_EQ(attach.top, 1);
            EXPECT_EQ(attach.bottom, 199);
        } else if (style & TCS_BOTTOM) {
            EXPECT_EQ(attach.bottom, strip.top - 1);
            EXPECT_EQ(attach.top, 1);
        } else {
            EXPECT_EQ(attach.top, strip.bottom + 1);
            EXPECT_EQ(attach.bottom, 199);
            EXPECT_EQ(attach.left, 1);
            EXPECT_EQ(attach.right, 299);
        }
        tabs.DestroyWindow();
    }
}

TEST_F(FlexTabCtrlTest, TabsArePaintedWithTheirGradientAndThePressedOneFlat) {
    CFlexTabCtrl tabs;
    ASSERT_TRUE(tabs.Create(WS_VISIBLE, RECT{0, 0, 300, 200}, &host_, 7));
    tabs.InsertItem(0, "委托");
    tabs.InsertItem(1, "成交");
    tabs.SetCurSel(0);
    DrainEvents();
    kelmon::test::ui::PixelProbe probe(tabs.GetWidget());
    RECT first{}, second{};
    tabs.GetItemRect(0, &first);
    tabs.GetItemRect(1, &second);
    const int midX = (second.left + second.right) / 2;
    // The unselected tab: white at the top, the gradient's end near the bottom.
    EXPECT_EQ(probe.At(second.left + 3, second.top + 1), RGB(255, 255, 255));
    const COLORREF low = probe.At(second.left + 3, second.bottom - 2);
    EXPECT_NE(low, RGB(255, 255, 255));
    EXPECT_GT(GetBValue(low), GetRValue(low)) << "towards 0xDCC4B0 (a light blue)";
    EXPECT_EQ(probe.At(first.left + 3, (first.top + first.bottom) / 2), GetSysColor(COLOR_BTNFACE))
        << "the pressed tab is flat";
    EXPECT_GT(probe.Count(CFlexTabCtrl::kPressedText, first), 0) << "its text is blue";
    EXPECT_EQ(probe.Count(CFlexTabCtrl::kPressedText, second), 0);
    EXPECT_EQ(probe.At(midX, second.top), CFlexTabCtrl::kLineColor) << "outlined";
    EXPECT_EQ(probe.At(0, 199), CFlexTabCtrl::kLineColor) << "the border";
    tabs.DestroyWindow();
}

}  // namespace
