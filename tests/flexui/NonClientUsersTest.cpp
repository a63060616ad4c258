// The library's users of non-client frames and window regions: the record grid's thin border
// in its own colour and the balloon tip's rounded window region.
#include <gtest/gtest.h>

#include <QWidget>

#include "flexui/BalloonTip.h"
#include "flexui/GridCtrl.h"
#include "platform/ui/Region.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;

class NonClientUsersTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE,
                                   RECT{100, 100, 520, 420}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    CWnd host_;
};

TEST_F(NonClientUsersTest, TheGridPaintsItsThinBorderInItsOwnColour) {
    constexpr COLORREF kBorder = 0x908782;
    for (const bool fromTemplate : {false, true}) {
        SCOPED_TRACE(fromTemplate ? "subclassed list with a client edge" : "created");
        CGridCtrl grid;
        if (fromTemplate) {
            // A dialog's list control: a client edge, which the grid turns into a thin border.
            CWnd list;
            ASSERT_TRUE(list.CreateEx(WS_EX_CLIENTEDGE, "SysListView32", "", WS_CHILD | WS_VISIBLE,
                                      RECT{10, 10, 310, 210}, &host_, 7));
            list.Detach();
            ASSERT_TRUE(grid.SubclassDlgItem(7, &host_));
        } else {
            ASSERT_TRUE(grid.Create(WS_CHILD | WS_VISIBLE, RECT{10, 10, 310, 210}, &host_, 7));
        }
        DrainEvents();
        EXPECT_TRUE(grid.GetStyle() & WS_BORDER);
        EXPECT_FALSE(grid.GetExStyle() & WS_EX_CLIENTEDGE);
        RECT client;
        grid.GetClientRect(&client);
        EXPECT_EQ(client.right, 298);
        EXPECT_EQ(client.bottom, 198);
        PixelProbe probe(grid.GetWidget());
        const POINT onBorder[] = {{0, 0}, {299, 0}, {0, 199}, {299, 199}, {150, 0}, {0, 100}};
        for (const POINT& p : onBorder) EXPECT_EQ(probe.At(p.x, p.y), kBorder) << p.x << "," << p.y;
        EXPECT_NE(probe.At(1, 100), kBorder);
        EXPECT_NE(probe.At(150, 100), kBorder);
        grid.DestroyWindow();
    }
}

TEST_F(NonClientUsersTest, TheBalloonsWindowRegionIsItsRoundedBodyAndStem) {
    POINT anchor{200, 200};
    CBalloonTip* tip = CBalloonTip::LaunchBalloon("标题", "内容", anchor, 1, 0, &host_, 0);
    ASSERT_NE(tip, nullptr);
    DrainEvents();
    const BalloonGeometry& g = tip->GetGeometry();
    CRgn region;
    region.CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(tip->GetWindowRgn(region), RGN_ERROR);
    EXPECT_EQ(tip->GetWidget()->mask(), region.Region());
    // The body's corner is cut away, its middle and the stem are inside.
    EXPECT_FALSE(region.PtInRegion(g.body.left, g.body.top));
    EXPECT_TRUE(
        region.PtInRegion((g.body.left + g.body.right) / 2, (g.body.top + g.body.bottom) / 2));
    ASSERT_NE(g.quadrant, 0);
    EXPECT_TRUE(region.PtInRegion((g.stem[0].x + g.stem[1].x + g.stem[2].x) / 3,
                                  (g.stem[0].y + g.stem[1].y + g.stem[2].y) / 3));
    RECT window;
    tip->GetWindowRect(&window);
    EXPECT_EQ(tip->SendMessage(WM_NCHITTEST, 0,
                               MAKELPARAM(window.left + g.body.left, window.top + g.body.top)),
              LRESULT{HTCLIENT})
        << "the balloon answers the hit test itself";
    tip->DestroyWindow();
    DrainEvents();
}

}  // namespace
