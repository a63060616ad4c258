// The trackbar and the progress bar: ranges, steps and clamped positions, the parent told of
// what the user does (keys, a drag of the thumb, a click beside it) and of nothing the program
// sets, both controls built from a template, the bar's drawn length and a screenshot.
#include "platform/ui/RangeControls.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <QApplication>
#include <QImage>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "support/ui/ProbeWnd.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

constexpr UINT kRangeForm = 9003;
constexpr int kHorizontal = 1101, kVertical = 1102, kSmooth = 1103, kBlocks = 1104;

// One request the parent heard, with the position it read back while handling it.
struct Heard {
    UINT message;
    WORD code;
    WORD carried;  // high word of wParam
    int posRead;
    bool operator==(const Heard&) const = default;
};

class RangeControlsTest : public UiTest {
protected:
    void SetUp() override {
        frame_.logPre = false;
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 200), nullptr, 0));
        frame_.handle = [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT*) {
            if (message != WM_HSCROLL && message != WM_VSCROLL) return false;
            const auto from = static_cast<HWND>(lParam);
            heard_.push_back({message, LOWORD(wParam), HIWORD(wParam),
                              static_cast<int>(SendMessage(from, TBM_GETPOS, 0, 0))});
            if (closeOnNotice_) DestroyWindow(from);
            return true;
        };
        QApplication::setActiveWindow(frame_.GetWidget());
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    // The thumb's rectangle as the slider's style places it.
    static QRect Thumb(CWnd& slider) {
        auto* widget = static_cast<QSlider*>(slider.GetWidget());
        QStyleOptionSlider option;
        option.initFrom(widget);
        option.orientation = widget->orientation();
        option.minimum = widget->minimum();
        option.maximum = widget->maximum();
        option.sliderPosition = widget->sliderPosition();
        option.sliderValue = widget->value();
        option.singleStep = widget->singleStep();
        option.pageStep = widget->pageStep();
        option.tickPosition = widget->tickPosition();
        option.tickInterval = widget->tickInterval();
        option.upsideDown = widget->orientation() == Qt::Horizontal ? widget->invertedAppearance()
                                                                    : !widget->invertedAppearance();
        option.subControls = QStyle::SC_All;
        return widget->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                               widget);
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    std::vector<Heard> heard_;
    bool closeOnNotice_ = false;
};

TEST_F(RangeControlsTest, TrackbarRangeAndSizesAndPositionsSetByTheProgramTellNobody) {
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE | TBS_AUTOTICKS, Rect(10, 10, 200, 30), &frame_, 7));
    EXPECT_EQ(slider.GetRangeMin(), 0);
    EXPECT_EQ(slider.GetRangeMax(), 100);
    EXPECT_EQ(slider.GetLineSize(), 1);
    EXPECT_EQ(slider.GetPageSize(), 20) << "a fifth of the range";

    slider.SetRange(0, 255, TRUE);
    EXPECT_EQ(slider.GetPageSize(), 51) << "the page follows the range until it is set";
    EXPECT_EQ(slider.SetPageSize(16), 51);
    EXPECT_EQ(slider.SetLineSize(4), 1);
    slider.SetRangeMax(1000);
    EXPECT_EQ(slider.GetPageSize(), 16) << "a page size that was set stays";
    slider.SetTicFreq(50);

    struct Case {
        int set;
        int pos;
    };
    for (Case c : {Case{128, 128}, Case{5000, 1000}, Case{-3, 0}}) {
        slider.SetPos(c.set);
        EXPECT_EQ(slider.GetPos(), c.pos) << c.set;
    }
    // The raw messages: TBM_SETRANGE packs both ends, a minimum above the maximum lifts it.
    slider.SendMessage(TBM_SETRANGE, TRUE, MAKELPARAM(10, 20));
    EXPECT_EQ(slider.GetPos(), 10);
    slider.SetRangeMin(30);
    int low = 0, high = 0;
    slider.GetRange(low, high);
    EXPECT_EQ(low, 30);
    EXPECT_EQ(high, 30);
    DrainEvents();
    EXPECT_TRUE(heard_.empty()) << "the program's own changes are never reported";
}

TEST_F(RangeControlsTest, KeysMoveTheTrackbarAndTheParentReadsTheNewPosition) {
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE | WS_TABSTOP, Rect(10, 10, 200, 30), &frame_, 7));
    slider.SetPos(50);
    slider.SetFocus();
    struct Case {
        Qt::Key key;
        WORD code;
        int pos;
    };
    for (Case c : {Case{Qt::Key_Right, TB_LINEDOWN, 51}, Case{Qt::Key_Up, TB_LINEUP, 50},
                   Case{Qt::Key_PageDown, TB_PAGEDOWN, 70}, Case{Qt::Key_PageUp, TB_PAGEUP, 50},
                   Case{Qt::Key_End, TB_BOTTOM, 100}, Case{Qt::Key_Home, TB_TOP, 0},
                   Case{Qt::Key_Left, TB_LINEUP, 0}}) {
        heard_.clear();
        QTest::keyClick(slider.GetWidget(), c.key);
        EXPECT_EQ(heard_, (std::vector<Heard>{{WM_HSCROLL, c.code, 0, c.pos},
                                              {WM_HSCROLL, TB_ENDTRACK, 0, c.pos}}))
            << c.key;
    }
    // A vertical one reports WM_VSCROLL and grows downward.
    CSliderCtrl vertical;
    ASSERT_TRUE(vertical.Create(WS_VISIBLE | TBS_VERT, Rect(220, 10, 30, 150), &frame_, 8));
    vertical.SetFocus();
    heard_.clear();
    QTest::keyClick(vertical.GetWidget(), Qt::Key_Down);
    ASSERT_FALSE(heard_.empty());
    EXPECT_EQ(heard_.front(), (Heard{WM_VSCROLL, TB_LINEDOWN, 0, 1}));
}

TEST_F(RangeControlsTest, DraggingTheThumbTracksThenSettlesAndAClickBesideItPages) {
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE, Rect(10, 10, 200, 30), &frame_, 7));
    slider.SetRange(0, 255);
    QWidget* widget = slider.GetWidget();
    const QRect thumb = Thumb(slider);
    ASSERT_TRUE(thumb.isValid());

    QTest::mousePress(widget, Qt::LeftButton, {}, thumb.center());
    QTest::mouseMove(widget, QPoint(widget->width() / 2, thumb.center().y()));
    QTest::mouseRelease(widget, Qt::LeftButton, {},
                        QPoint(widget->width() / 2, thumb.center().y()));
    ASSERT_GE(heard_.size(), 3u);
    const int middle = slider.GetPos();
    EXPECT_GT(middle, 80);
    EXPECT_LT(middle, 175);
    EXPECT_EQ(heard_.front().code, TB_THUMBTRACK);
    EXPECT_EQ(heard_[heard_.size() - 3],
              (Heard{WM_HSCROLL, TB_THUMBTRACK, static_cast<WORD>(middle), middle}));
    EXPECT_EQ(heard_[heard_.size() - 2],
              (Heard{WM_HSCROLL, TB_THUMBPOSITION, static_cast<WORD>(middle), middle}));
    EXPECT_EQ(heard_.back(), (Heard{WM_HSCROLL, TB_ENDTRACK, 0, middle}));

    // A click in the channel right of the thumb moves one page toward it.
    slider.SetPos(0);
    slider.SetPageSize(16);
    heard_.clear();
    const QPoint beside(widget->width() - 10, Thumb(slider).center().y());
    QTest::mouseClick(widget, Qt::LeftButton, {}, beside);
    EXPECT_EQ(heard_, (std::vector<Heard>{{WM_HSCROLL, TB_PAGEDOWN, 0, 16},
                                          {WM_HSCROLL, TB_ENDTRACK, 0, 16}}));
}

TEST_F(RangeControlsTest, AParentMayCloseTheTrackbarWhileTold) {
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE, Rect(10, 10, 200, 30), &frame_, 7));
    slider.SetFocus();
    closeOnNotice_ = true;
    QTest::keyPress(slider.GetWidget(), Qt::Key_Right);
    DrainEvents();
    EXPECT_EQ(heard_.size(), 1u) << "no more requests from a closed trackbar";
    EXPECT_EQ(slider.m_hWnd, 0u);
}

// The filled length both progress bars draw (the bar control and the progress static).
TEST(ProgressLengthTest, IsTheShareOfTheRangeTruncated) {
    const struct {
        int32_t lower, upper, position;
        int width, expected;
    } cases[] = {
        {0, 99, 0, 200, 0},
        {0, 100, 50, 200, 100},
        {0, 3, 1, 100, 33},
        {0, 3, 2, 100, 66},
        {0, 100, 100, 200, 200},
        {10, 10, 10, 200, 0},  // lower equal to upper: empty whatever the position
        {10, 10, 50, 200, 0},
        {0, 100, -5, 200, 0},   // below the lower bound: empty
        {40, 20, 30, 200, 0},   // crossed bounds
        {0, 10, 20, 200, 200},  // the range shrank under the position: full
        {INT32_MIN, INT32_MAX, 0, 200, 100},
        {INT32_MIN, INT32_MAX, INT32_MAX, 200, 200},
        {0, 100, 50, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lower << ".." << c.upper << " at " << c.position);
        EXPECT_EQ(platform::ui::ProgressLength(c.lower, c.upper, c.position, c.width), c.expected);
    }
}

TEST_F(RangeControlsTest, ProgressPositionsStayInTheRange) {
    CProgressCtrl bar;
    ASSERT_TRUE(bar.Create(WS_VISIBLE, Rect(10, 10, 200, 20), &frame_, 9));
    int low = -1, high = -1;
    bar.GetRange(low, high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 100);
    EXPECT_EQ(bar.SetStep(25), 10) << "the step starts at 10";

    // A download's size needs the 32-bit range.
    bar.SetRange32(0, 3'000'000);
    struct Step {
        const char* what;
        int (*run)(CProgressCtrl&);
        int returned;  // the previous position
        int pos;
    };
    const Step steps[] = {
        {"set", [](CProgressCtrl& b) { return b.SetPos(1'500'000); }, 0, 1'500'000},
        {"past the top", [](CProgressCtrl& b) { return b.SetPos(4'000'000); }, 1'500'000,
         3'000'000},
        {"step at the top", [](CProgressCtrl& b) { return b.StepIt(); }, 3'000'000, 3'000'000},
        {"below the bottom", [](CProgressCtrl& b) { return b.OffsetPos(-2'147'483'647); },
         3'000'000, 0},
        {"step", [](CProgressCtrl& b) { return b.StepIt(); }, 0, 25},
        {"huge delta", [](CProgressCtrl& b) { return b.OffsetPos(2'147'483'647); }, 25, 3'000'000},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.run(bar), step.returned) << step.what;
        EXPECT_EQ(bar.GetPos(), step.pos) << step.what;
    }
    // The 16-bit range is unsigned and answers the range it replaced; a smaller range pulls
    // the position in.
    EXPECT_EQ(bar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(100, 65535)),
              static_cast<LRESULT>(MAKELPARAM(0, static_cast<WORD>(3'000'000))));
    bar.GetRange(low, high);
    EXPECT_EQ(low, 100);
    EXPECT_EQ(high, 65535);
    EXPECT_EQ(bar.GetPos(), 65535);
    EXPECT_EQ(bar.SendMessage(PBM_GETRANGE, TRUE, 0), 100);
    // A range the wrong way round holds its lower end.
    bar.SetRange32(50, 10);
    EXPECT_EQ(bar.GetPos(), 50);
    bar.SetPos(0);
    EXPECT_EQ(bar.GetPos(), 50);
    DrainEvents();
    EXPECT_TRUE(heard_.empty());
}

class RangeTemplateTest : public RangeControlsTest {
protected:
    static void SetUpTestSuite() {
        platform::ui::RegisterDialogModule("test", KELMON_SOURCE_DIR "/tests/platform/ui/dialogs");
    }
};

// Counts the pixels of the highlight colour along the middle row of the bar's client area.
int FilledPixels(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    const QColor bar = platform::ui::ToQColor(GetSysColor(COLOR_HIGHLIGHT));
    const int row = widget->contentsRect().center().y();
    int count = 0;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, row) == bar) ++count;
    return count;
}

TEST_F(RangeTemplateTest, TheTemplateBuildsBothControlsAndTheBarDrawsItsShare) {
    CDialog dialog;
    ASSERT_TRUE(dialog.Create(kRangeForm, &frame_));
    EXPECT_EQ(GetClassName(GetDlgItem(dialog.m_hWnd, kHorizontal)), "msctls_trackbar32");
    EXPECT_EQ(GetClassName(GetDlgItem(dialog.m_hWnd, kSmooth)), "msctls_progress32");
    EXPECT_EQ(GetWindowLong(GetDlgItem(dialog.m_hWnd, kVertical), GWL_STYLE) & (TBS_VERT | 0xFF),
              static_cast<LONG>(TBS_VERT | TBS_NOTICKS));
    EXPECT_EQ(static_cast<QSlider*>(dialog.GetDlgItem(kVertical)->GetWidget())->orientation(),
              Qt::Vertical);
    EXPECT_EQ(static_cast<QSlider*>(dialog.GetDlgItem(kHorizontal)->GetWidget())->tickPosition(),
              QSlider::TicksBelow);

    SendDlgItemMessage(dialog.m_hWnd, kHorizontal, TBM_SETRANGE, TRUE, MAKELPARAM(0, 255));
    SendDlgItemMessage(dialog.m_hWnd, kHorizontal, TBM_SETPOS, TRUE, 200);
    SendDlgItemMessage(dialog.m_hWnd, kHorizontal, TBM_SETTICFREQ, 32, 0);
    EXPECT_EQ(static_cast<QSlider*>(dialog.GetDlgItem(kHorizontal)->GetWidget())->tickInterval(),
              32);
    SendDlgItemMessage(dialog.m_hWnd, kVertical, TBM_SETPOS, TRUE, 30);
    for (int id : {kSmooth, kBlocks}) {
        SendDlgItemMessage(dialog.m_hWnd, id, PBM_SETRANGE32, 0, 1000);
        SendDlgItemMessage(dialog.m_hWnd, id, PBM_SETPOS, 500, 0);
    }
    dialog.ShowWindow(SW_SHOW);
    DrainEvents();

    QWidget* smooth = dialog.GetDlgItem(kSmooth)->GetWidget();
    const int inner = smooth->contentsRect().width() - 4;  // inside the bar's own edge
    EXPECT_EQ(FilledPixels(smooth), inner / 2);
    // Blocks leave gaps: less than the smooth share, but most of it.
    const int blocks = FilledPixels(dialog.GetDlgItem(kBlocks)->GetWidget());
    EXPECT_LT(blocks, (smooth->width() - 4) / 2);
    EXPECT_GT(blocks, (smooth->width() - 4) / 3);
    SendDlgItemMessage(dialog.m_hWnd, kSmooth, PBM_SETPOS, 1000, 0);
    DrainEvents();
    EXPECT_EQ(FilledPixels(smooth), inner);

    SendDlgItemMessage(dialog.m_hWnd, kSmooth, PBM_SETPOS, 650, 0);
    DrainEvents();
    const QImage image = dialog.GetWidget()->grab().toImage();
    const QString path = kelmon::test::ui::ScreenshotDir() + "/range_controls_9003.png";
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    dialog.DestroyWindow();
}

}  // namespace
