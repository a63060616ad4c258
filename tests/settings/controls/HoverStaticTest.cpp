// CHoverStatic: the digit split of any number text, the value's colour by its change, the
// change and compare rules, the painted colours, the face bitmaps with hovering, the mouse
// tracking and the hand cursor.
#include "settings/controls/HoverStatic.h"

#include <gtest/gtest.h>

#include "flexui/FlexBitmaps.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WinDefsControls.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;
using settings::controls::CHoverStatic;

// Pure colours for the change so that the painted text is easy to find.
constexpr COLORREF kRisen = RGB(255, 0, 0);
constexpr COLORREF kUnchanged = RGB(0, 0, 255);
constexpr COLORREF kFallen = RGB(0, 160, 0);

// Pixels clearly of one of the pure test colours (the glyphs' edges are smoothed).
int Near(const PixelProbe& probe, COLORREF color) {
    int count = 0;
    for (int y = 0; y < probe.Height(); ++y)
        for (int x = 0; x < probe.Width(); ++x) {
            const COLORREF c = probe.At(x, y);
            if (std::abs(GetRValue(c) - GetRValue(color)) < 40 &&
                std::abs(GetGValue(c) - GetGValue(color)) < 40 &&
                std::abs(GetBValue(c) - GetBValue(color)) < 40)
                ++count;
        }
    return count;
}

class HoverStaticTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 420, 140}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    static PixelProbe Shown(CHoverStatic& field) {
        field.Invalidate();
        DrainEvents();
        return PixelProbe(field.GetWidget());
    }

    CWnd host_;
};

TEST(HoverStaticSplit, SplitsAnyNumberTextWithinItsLength) {
    const struct {
        const char* text;
        int split;
        const char* head;
        const char* tail;
    } cases[] = {
        {"4523.5", 2, "45", "23.5"},  // the point second-last: two more go large
        {"4523.50", 2, "4523.", "50"},
        {"4523", 2, "45", "23"},    // no decimals
        {"-12.5", 2, "-", "12.5"},  // negative
        {"-0.5", 2, "", "-0.5"},    // the grown split takes all of it
        {"7", 3, "", "7"},          // longer than the text
        {"5.5", 1, "", "5.5"},
        {"123456789012.25", 15, "", "123456789012.25"},
        {"", 2, "", ""},
        {".5", 1, "", ".5"},
        {"4523.5", 0, "4523.5", ""},  // no split
        {"4523.5", -3, "4523.5", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.split);
        std::string head = "x", tail = "x";
        CHoverStatic::SplitValueText(c.text, c.split, &head, &tail);
        EXPECT_EQ(head, c.head);
        EXPECT_EQ(tail, c.tail);
    }
}

TEST(HoverStaticColour, ValueColourFollowsTheChange) {
    const struct {
        double value, base;
        DWORD style;
        COLORREF fixed;
        COLORREF expected;
    } cases[] = {
        {0.0, 5.0, 0x230, CHoverStatic::kNoColor, kUnchanged},  // a zero value has no change
        {10.0, 9.0, 0x230, CHoverStatic::kNoColor, kRisen},
        {8.0, 9.0, 0x230, CHoverStatic::kNoColor, kFallen},
        {9.0, 9.0, 0x230, CHoverStatic::kNoColor, kUnchanged},
        {1.0000005, 1.0, 0x232, CHoverStatic::kNoColor, kUnchanged},  // split: within 1e-6
        {0.9999995, 1.0, 0x232, CHoverStatic::kNoColor, kUnchanged},
        {1.0000005, 1.0, 0x230, CHoverStatic::kNoColor, kRisen},  // no split: exact
        {1.00001, 1.0, 0x232, CHoverStatic::kNoColor, kRisen},
        {10.0, 9.0, 0x230, RGB(1, 2, 3), RGB(1, 2, 3)},  // a fixed colour
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " against " << c.base);
        CHoverStatic field;
        field.SetChangeColors(kRisen, kUnchanged, kFallen);
        field.SetDisplayStyle(c.style);
        field.SetValue(c.value);
        field.SetBaseValue(c.base);
        field.SetValueColor(c.fixed);
        EXPECT_EQ(field.GetValueTextColor(), c.expected);
    }
    CHoverStatic field;
    field.SetBaseValue(5.0);
    EXPECT_EQ(field.GetChange(), 0.0);
    field.SetValue(4.5);
    EXPECT_EQ(field.GetChange(), -0.5);
    EXPECT_EQ(field.GetValueText(), "4.50");
    field.SetValue(4.56);
    field.SetDecimals(0);
    EXPECT_EQ(field.GetValueText(), "5");
    field.SetDisplayStyle(0x4230);
    field.SetColorMode(0x13);
    EXPECT_EQ(field.GetDisplayStyle(), 0x4233u) << "only the low four bits change";
}

TEST_F(HoverStaticTest, ArrowImagesLoadFromTheLibrarysBitmap) {
    CImageList arrows;
    ASSERT_TRUE(LoadFlexImageList(arrows, CHoverStatic::kArrowBitmapId, CHoverStatic::kArrowSize,
                                  CHoverStatic::kArrowSize, CHoverStatic::kArrowTransparent));
    ASSERT_EQ(arrows.GetImageCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const QImage image = arrows.GetImage(i);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "corner of image " << i << " is transparent";
        EXPECT_EQ(qAlpha(image.pixel(6, 6)), 255) << "middle of image " << i << " is drawn";
    }
}

TEST_F(HoverStaticTest, ZeroValueShowsUnchangedWithoutChange) {
    CHoverStatic field;
    ASSERT_TRUE(field.Create("", WS_CHILD | WS_VISIBLE, RECT{10, 10, 210, 40}, &host_, 1));
    field.SetChangeColors(kRisen, kUnchanged, kFallen);
    field.SetBaseValue(4000.0);
    field.SetValue(0.0);
    PixelProbe zero = Shown(field);
    EXPECT_GT(Near(zero, kUnchanged), 10) << "0.00 and its change 0.00 in the unchanged colour";
    EXPECT_EQ(Near(zero, kRisen), 0);
    EXPECT_EQ(Near(zero, kFallen), 0);

    field.SetValue(3990.0);
    PixelProbe fallen = Shown(field);
    EXPECT_GT(Near(fallen, kFallen), 10);
    EXPECT_EQ(Near(fallen, kUnchanged), 0);
    field.DestroyWindow();
}

TEST_F(HoverStaticTest, HoveringSwapsTheFacesAndNeedsNoBitmaps) {
    CBitmap normal, hover;
    QImage blue(60, 30, QImage::Format_RGB32), yellow(60, 30, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 200));
    yellow.fill(QColor(250, 220, 0));
    // The faces' purple corners are transparent.
    blue.setPixelColor(0, 0, QColor(128, 0, 128));
    ASSERT_TRUE(normal.CreateFromImage(blue));
    ASSERT_TRUE(hover.CreateFromImage(yellow));

    CHoverStatic field;
    ASSERT_TRUE(field.Create("", WS_CHILD | WS_VISIBLE, RECT{10, 10, 200, 90}, &host_, 1));
    field.SetDisplayStyle(0);
    PixelProbe plain = Shown(field);
    field.SendMessage(WM_MOUSEHOVER);
    EXPECT_TRUE(field.IsHovering());
    PixelProbe plainHovered = Shown(field);
    EXPECT_EQ(plain.Image(), plainHovered.Image()) << "no faces: hovering shows nothing";

    field.SetBitmaps(&normal, &hover);
    RECT client{}, where{};
    field.GetClientRect(&client);
    EXPECT_EQ(client.right, 60);
    EXPECT_EQ(client.bottom, 30);
    where = ::GetWindowRectIn(field.m_hWnd, host_.m_hWnd);
    EXPECT_EQ(where.left, 10) << "resized where it stands";
    EXPECT_EQ(where.top, 10);

    PixelProbe hovered = Shown(field);
    EXPECT_EQ(hovered.At(30, 15), RGB(250, 220, 0));
    field.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(field.IsHovering());
    PixelProbe left = Shown(field);
    EXPECT_EQ(left.At(30, 15), RGB(0, 0, 200));
    EXPECT_NE(left.At(0, 0), RGB(128, 0, 128)) << "the transparent corner shows the background";
    field.DestroyWindow();
}

TEST_F(HoverStaticTest, MouseMoveTracksHoverAndLeaveOnceAndTheCursorIsAHand) {
    CHoverStatic field;
    ASSERT_TRUE(field.Create("", WS_CHILD | WS_VISIBLE, RECT{10, 10, 200, 40}, &host_, 1));
    field.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    TRACKMOUSEEVENT query;
    query.dwFlags = TME_QUERY;
    query.hwndTrack = field.m_hWnd;
    ASSERT_TRUE(::TrackMouseEvent(&query));
    EXPECT_EQ(query.dwFlags & (TME_HOVER | TME_LEAVE), TME_HOVER | TME_LEAVE);
    EXPECT_EQ(query.dwHoverTime, 1u);

    EXPECT_EQ(field.SendMessage(WM_SETCURSOR, static_cast<WPARAM>(field.m_hWnd),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), ::LoadCursor(nullptr, IDC_HAND));
    field.DestroyWindow();
}

TEST_F(HoverStaticTest, Screenshot) {
    CHoverStatic fields[4];
    const struct {
        DWORD style;
        double value, base, compare;
        int decimals;
        const char* caption;
        DWORD staticStyle;
    } looks[] = {
        {0x0230, 4523.4, 4500.0, 0.0, 1, "最新价", 0},
        {0x02F2 | 0x0400 | 0x4000, 4523.5, 4530.0, 4520.0, 1, "买价", 0},
        {0x0270 | 0x2000, 3391.0, 3391.0, 0.0, 0, "卖价", SS_CENTER},
        {0x0333 | 0x8000, 17.25, 17.5, 0.0, 2, "结算", 0},
    };
    for (int i = 0; i < 4; ++i) {
        const auto& look = looks[i];
        ASSERT_TRUE(fields[i].Create(
            "", WS_CHILD | WS_VISIBLE | look.staticStyle,
            RECT{10 + (i % 2) * 205, 10 + (i / 2) * 62, 205 + (i % 2) * 205, 66 + (i / 2) * 62},
            &host_, 1 + i));
        fields[i].SetDisplayStyle(look.style);
        fields[i].SetDecimals(look.decimals);
        fields[i].SetCaption(look.caption);
        fields[i].SetBaseValue(look.base);
        fields[i].SetCompareValue(look.compare);
        fields[i].SetValue(look.value, 12, 340);
    }
    DrainEvents();
    EXPECT_TRUE(host_.GetWidget()->grab().toImage().save(kelmon::test::ui::ScreenshotDir() +
                                                         "/settings_controls_hover_static.png"));
    for (auto& field : fields) field.DestroyWindow();
}

}  // namespace
