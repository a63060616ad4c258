// CPixelStatic: the frame, the dot grid and the bar's height and colour for levels inside,
// at and beyond the meter's ends.
#include "settings/controls/PixelStatic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;
using settings::controls::CPixelStatic;

// A meter whose inner area (inside the one-pixel frame) is 10 x 20 pixels.
constexpr int kWidth = 12;
constexpr int kHeight = 22;

class PixelStaticTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 60}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    static PixelProbe Shown(CPixelStatic& meter) {
        DrainEvents();
        return PixelProbe(meter.GetWidget());
    }
    static RECT Inner() { return RECT{1, 1, kWidth - 1, kHeight - 1}; }

    CWnd host_;
};

TEST_F(PixelStaticTest, FrameAndDotGridWithoutABar) {
    CPixelStatic meter;
    ASSERT_TRUE(
        meter.Create(WS_CHILD | WS_VISIBLE, RECT{4, 4, 4 + kWidth, 4 + kHeight}, &host_, 1));
    const PixelProbe probe = Shown(meter);
    ASSERT_EQ(probe.Width(), kWidth);
    EXPECT_EQ(probe.At(0, 0), CPixelStatic::kFrameShadow);
    EXPECT_EQ(probe.At(0, kHeight - 2), CPixelStatic::kFrameShadow);
    EXPECT_EQ(probe.At(kWidth - 1, kHeight - 1), CPixelStatic::kFrameLight);
    EXPECT_EQ(probe.At(kWidth - 1, 1), CPixelStatic::kFrameLight);
    // Dots at even x on the area's first row and every second row after it.
    EXPECT_EQ(probe.At(2, 1), CPixelStatic::kDot);
    EXPECT_EQ(probe.At(3, 1), CPixelStatic::kBackground);
    EXPECT_EQ(probe.At(2, 2), CPixelStatic::kBackground);
    EXPECT_EQ(probe.At(4, 3), CPixelStatic::kDot);
    const RECT inner = Inner();
    EXPECT_EQ(
        probe.Count(CPixelStatic::kDot, inner) + probe.Count(CPixelStatic::kBackground, inner),
        10 * 20);
    EXPECT_EQ(probe.Count(CPixelStatic::kDot, inner), 5 * 10);
    meter.DestroyWindow();
}

TEST_F(PixelStaticTest, BarHeightAndColourFollowTheLevel) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double level;
        int rows;  // of the 20 inner rows, from the bottom
        COLORREF color;
    } cases[] = {
        {0.0, 0, 0},
        {0.5, 10, RGB(127, 127, 0)},
        {0.25, 5, RGB(63, 191, 0)},
        {1.0, 20, RGB(255, 0, 0)},
        {1.7, 20, RGB(255, 0, 0)},
        {inf, 20, RGB(255, 0, 0)},
        {-0.3, 0, 0},
        {-1e300, 0, 0},
        {nan, 0, 0},
        {1e-9, 1, RGB(0, 254, 0)},
    };
    CPixelStatic meter;
    ASSERT_TRUE(
        meter.Create(WS_CHILD | WS_VISIBLE, RECT{4, 4, 4 + kWidth, 4 + kHeight}, &host_, 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level);
        meter.SetRatio(c.level);
        const PixelProbe probe = Shown(meter);
        const RECT inner = Inner();
        const int dots = probe.Count(CPixelStatic::kDot, inner);
        if (c.rows == 0) {
            EXPECT_EQ(dots, 50) << "no bar over the grid";
            continue;
        }
        EXPECT_EQ(probe.Count(c.color, inner), c.rows * 10);
        const RECT bar{1, kHeight - 1 - c.rows, kWidth - 1, kHeight - 1};
        EXPECT_EQ(probe.Count(c.color, bar), c.rows * 10) << "the bar stands on the bottom";
    }
    EXPECT_EQ(meter.GetRatio(), 1e-9);
    meter.SetRatio(nan);
    EXPECT_EQ(meter.GetRatio(), 0.0) << "a level that is not a number counts as 0";
    meter.DestroyWindow();
}

TEST_F(PixelStaticTest, Screenshot) {
    CPixelStatic meters[5];
    const double levels[5] = {0.0, 0.25, 0.5, 0.8, 1.2};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(meters[i].Create(WS_CHILD | WS_VISIBLE,
                                     RECT{10 + i * 30, 8, 10 + i * 30 + 14, 52}, &host_, 1 + i));
        meters[i].SetRatio(levels[i]);
    }
    DrainEvents();
    EXPECT_TRUE(host_.GetWidget()->grab().toImage().save(kelmon::test::ui::ScreenshotDir() +
                                                         "/settings_controls_pixel_static.png"));
    for (auto& meter : meters) meter.DestroyWindow();
}

}  // namespace
