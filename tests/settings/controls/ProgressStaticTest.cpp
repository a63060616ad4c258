// CProgressStatic: its bounds and clamps, the bar's width (with crossed, empty and extreme
// ranges), the painted bar, and the progress messages a worker thread posts.
#include "settings/controls/ProgressStatic.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WinDefsControls.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;
using settings::controls::CProgressStatic;

class ProgressStaticTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 60}, nullptr, 0));
        ASSERT_TRUE(
            bar_.Create("", WS_CHILD | WS_VISIBLE | SS_CENTER, RECT{0, 0, 200, 20}, &host_, 1000));
    }
    void TearDown() override {
        bar_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }

    CWnd host_;
    CProgressStatic bar_;
};

TEST_F(ProgressStaticTest, PositionsAreClampedAsEachOperationSays) {
    int32_t lower = -1, upper = -1;
    bar_.GetRange(lower, upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 99);
    EXPECT_EQ(bar_.GetPos(), 0);

    bar_.SetRange(10, 50);
    EXPECT_EQ(bar_.GetPos(), 0) << "a new range leaves the position";
    EXPECT_EQ(bar_.SetPos(5), 0);
    EXPECT_EQ(bar_.GetPos(), 10) << "below the range: the lower bound";
    EXPECT_EQ(bar_.SetPos(60), 10);
    EXPECT_EQ(bar_.GetPos(), 50) << "above the range: the upper bound";
    EXPECT_EQ(bar_.SetPos(30), 50);

    EXPECT_EQ(bar_.OffsetPos(-100), 30);
    EXPECT_EQ(bar_.GetPos(), -70) << "an offset is clamped to the upper bound only";
    EXPECT_EQ(bar_.OffsetPos(500), -70);
    EXPECT_EQ(bar_.GetPos(), 50);

    EXPECT_EQ(bar_.SetStep(15), 10);
    bar_.SetPos(30);
    EXPECT_EQ(bar_.StepIt(), 30);
    EXPECT_EQ(bar_.GetPos(), 45);
    EXPECT_EQ(bar_.StepIt(), 45);
    EXPECT_EQ(bar_.GetPos(), 50);
    bar_.SetStep(-200);
    bar_.StepIt();
    EXPECT_EQ(bar_.GetPos(), -150);

    // Crossed bounds give the lower one; extreme moves saturate instead of wrapping.
    bar_.SetRange(40, 20);
    bar_.SetPos(30);
    EXPECT_EQ(bar_.GetPos(), 40);
    bar_.SetRange(INT32_MIN, INT32_MAX);
    bar_.SetPos(INT32_MAX - 1);
    bar_.OffsetPos(INT32_MAX);
    EXPECT_EQ(bar_.GetPos(), INT32_MAX);
    bar_.SetPos(INT32_MIN + 1);
    bar_.OffsetPos(INT32_MIN);
    EXPECT_EQ(bar_.GetPos(), INT32_MIN);
}

TEST_F(ProgressStaticTest, PaintsTheBarOverTheButtonFaceWithTheTextOnTop) {
    bar_.SetWindowText("交易卡委托 1/4");
    bar_.SetRange(0, 100);
    bar_.SetPos(25);
    DrainEvents();
    PixelProbe probe(bar_.GetWidget());
    // The top row stays clear of the text.
    EXPECT_EQ(probe.Count(CProgressStatic::kBarColor, RECT{0, 0, 200, 1}), 50);
    EXPECT_EQ(probe.At(49, 0), CProgressStatic::kBarColor);
    EXPECT_EQ(probe.At(50, 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_GT(probe.Count(GetSysColor(COLOR_BTNTEXT), RECT{0, 0, 200, 20}), 0) << "the text";

    bar_.SetRange(30, 30);
    bar_.SetPos(30);
    DrainEvents();
    EXPECT_EQ(PixelProbe(bar_.GetWidget()).Count(CProgressStatic::kBarColor, RECT{0, 0, 200, 20}),
              0);
}

TEST_F(ProgressStaticTest, AWorkerMovesTheBarByPostedMessages) {
    const HWND hwnd = bar_.m_hWnd;
    std::thread worker([hwnd] {
        ::PostMessage(hwnd, PBM_SETRANGE32, 0, 8);
        ::PostMessage(hwnd, PBM_SETSTEP, 3, 0);
        ::PostMessage(hwnd, PBM_SETPOS, 2, 0);
        ::PostMessage(hwnd, PBM_STEPIT, 0, 0);
        ::PostMessage(hwnd, PBM_DELTAPOS, static_cast<WPARAM>(-1), 0);
    });
    worker.join();
    DrainEvents();
    int32_t lower = -1, upper = -1;
    bar_.GetRange(lower, upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 8);
    EXPECT_EQ(bar_.GetPos(), 4);
    EXPECT_EQ(::SendMessage(hwnd, PBM_GETPOS, 0, 0), 4);
}

}  // namespace
