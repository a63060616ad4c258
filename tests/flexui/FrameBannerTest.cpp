// Tests of CFrameBanner's painting: the two vertical halves and the orange line at the bottom.
#include "flexui/FrameBanner.h"

#include <gtest/gtest.h>

#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::PixelProbe;

class FrameBannerTest : public kelmon::test::ui::UiTest {};

TEST_F(FrameBannerTest, HalvesAndBottomLine) {
    CWnd parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 100}, nullptr, 0));
    CFrameBanner banner;
    ASSERT_TRUE(banner.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 200, 40}, &parent, 1));
    PixelProbe probe(banner.GetWidget());
    EXPECT_EQ(probe.At(50, 0), RGB(255, 255, 255));
    EXPECT_EQ(probe.At(50, 10), RGB(237, 245, 253));  // 255 - 37 * 10 / 20, truncated
    EXPECT_EQ(probe.At(50, 20), RGB(218, 234, 250));
    EXPECT_EQ(probe.At(150, 36), RGB(247, 250, 254));  // row 16 of 20 back towards white
    for (int y = 37; y < 40; ++y) {
        EXPECT_EQ(probe.At(0, y), RGB(247, 111, 0));
        EXPECT_EQ(probe.At(100, y), RGB(253, 208, 0));
        EXPECT_EQ(probe.At(199, y), RGB(248, 112, 0));
    }
}

}  // namespace
