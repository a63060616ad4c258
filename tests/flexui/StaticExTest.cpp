// Tests of CStaticEx: the link look and its clicks and cursor, font changes, colours, icon,
// bitmap (transparent, stretched, greyed), fitting to the text and the border switch.
#include "flexui/StaticEx.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>

#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::PixelProbe;

// Pixels of the rectangle within 40 of the colour in every channel (text is smoothed).
int CountNear(const PixelProbe& probe, COLORREF color, const RECT& rect) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF c = probe.At(x, y);
            if (std::abs(GetRValue(c) - GetRValue(color)) <= 40 &&
                std::abs(GetGValue(c) - GetGValue(color)) <= 40 &&
                std::abs(GetBValue(c) - GetBValue(color)) <= 40)
                ++count;
        }
    return count;
}

// A parent that records the commands of its children.
class Parent : public CWnd {
public:
    std::vector<WPARAM> commands;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override {
        commands.push_back(wParam);
        return TRUE;
    }
};

class StaticExTest : public kelmon::test::ui::UiTest {
protected:
    void TearDown() override {
        parent.DestroyWindow();
        UiTest::TearDown();
    }
    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100},
                                    nullptr, 0));
        ASSERT_TRUE(
            label.Create("Link text", WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 30}, &parent, 7));
    }
    Parent parent;
    CStaticEx label;
};

TEST_F(StaticExTest, ButtonLookIsUnderlinedColouredWithTheHandAndReportsClicks) {
    const COLORREF blue = RGB(0, 0, 200);
    label.SetButton(blue);
    EXPECT_TRUE(label.GetStyle() & SS_NOTIFY);
    EXPECT_EQ(label.GetLogFont().lfUnderline, 1);
    EXPECT_EQ(label.GetLinkCursor(), LoadCursor(nullptr, IDC_HAND));
    EXPECT_EQ(label.SendMessage(WM_SETCURSOR, label.m_hWnd, HTCLIENT), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));

    // The text is in the colour and one row of it is a long run: the underline.
    PixelProbe probe(label.GetWidget());
    int longestRun = 0;
    for (int y = 0; y < probe.Height(); ++y)
        longestRun = std::max(longestRun, probe.Count(blue, RECT{0, y, probe.Width(), y + 1}));
    EXPECT_GT(longestRun, 30);

    QTest::mouseClick(label.GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0], MAKEWPARAM(7, STN_CLICKED));
    label.SetLink(FALSE);
    QTest::mouseClick(label.GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(parent.commands.size(), 1u);
}

TEST_F(StaticExTest, WithoutALinkCursorTheClassCursorStays) {
    EXPECT_EQ(label.GetLinkCursor(), HCURSOR{0});
    const HCURSOR own = LoadCursor(nullptr, IDC_ARROW);
    label.SetLinkCursor(own);
    EXPECT_EQ(label.GetLinkCursor(), own);
}

TEST_F(StaticExTest, FontChangesRebuildTheDescription) {
    label.SetFontSize(14);
    EXPECT_EQ(label.GetLogFont().lfHeight, -14);
    label.SetFontBold(TRUE);
    EXPECT_EQ(label.GetLogFont().lfWeight, FW_BOLD);
    label.SetFontBold(FALSE);
    EXPECT_EQ(label.GetLogFont().lfWeight, FW_NORMAL);
    label.SetFontItalic(TRUE);
    EXPECT_EQ(label.GetLogFont().lfItalic, 1);
    // At most 31 bytes, cut on a character: 10 x "字" is 30 bytes, the 11th would pass 31.
    std::string name;
    for (int i = 0; i < 12; ++i) name += "字";
    label.SetFontName(name);
    EXPECT_EQ(std::string(label.GetLogFont().lfFaceName), name.substr(0, 30));
    label.SetFontName("Sans");
    EXPECT_STREQ(label.GetLogFont().lfFaceName, "Sans");
    CFont font;
    LOGFONT lf{};
    lf.lfHeight = -20;
    lf.lfUnderline = 1;
    font.CreateFontIndirect(&lf);
    label.SetFont(&font);
    EXPECT_EQ(label.GetLogFont().lfHeight, -20);
    EXPECT_EQ(label.GetLogFont().lfUnderline, 1);
}

TEST_F(StaticExTest, ControlColourAnswerAndBackground) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    EXPECT_EQ(label.CtlColor(&dc), GetStockBrush(HOLLOW_BRUSH));
    EXPECT_EQ(dc.GetBkMode(), TRANSPARENT);
    label.SetTextColor(RGB(10, 20, 30));
    label.SetBkColor(RGB(200, 100, 0));
    HBRUSH brush = label.CtlColor(&dc);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->Color(), RGB(200, 100, 0));
    EXPECT_EQ(dc.GetTextColor(), RGB(10, 20, 30));
    LRESULT answer = 0;
    EXPECT_TRUE(label.OnChildNotify(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(&dc),
                                    static_cast<LPARAM>(label.m_hWnd), &answer));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(answer), brush);
    EXPECT_EQ(PixelProbe(label.GetWidget()).At(99, 19), RGB(200, 100, 0));
}

TEST_F(StaticExTest, BitmapTransparentStretchedAndGreyed) {
    constexpr COLORREF purple = RGB(128, 0, 128);
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(128, 0, 128));
    image.setPixel(1, 0, qRgb(0, 0, 200));
    CBitmap bitmap;
    bitmap.CreateFromImage(image);
    label.SetBkColor(RGB(1, 1, 1));  // the bitmap is drawn over the parent, not this brush
    EXPECT_EQ(label.SetBitmap(&bitmap), nullptr);
    EXPECT_EQ(label.GetStyle() & SS_TYPEMASK, SS_BITMAP);
    PixelProbe plain(label.GetWidget());
    EXPECT_NE(plain.At(0, 0), purple);  // transparent
    EXPECT_EQ(plain.At(1, 0), RGB(0, 0, 200));
    EXPECT_NE(plain.At(50, 10), RGB(0, 0, 200));  // at its own size

    label.SetImageBkColor(CLR_INVALID);  // stretched and opaque
    PixelProbe stretched(label.GetWidget());
    EXPECT_EQ(stretched.At(10, 10), purple);
    EXPECT_EQ(stretched.At(90, 10), RGB(0, 0, 200));

    label.EnableWindow(FALSE);  // greyed: the top-left colour stays, blue turns grey
    PixelProbe grey(label.GetWidget());
    EXPECT_EQ(grey.At(10, 10), purple);
    EXPECT_EQ(grey.At(90, 10), RGB(22, 22, 22));
    EXPECT_EQ(label.SetBitmap(nullptr), &bitmap);
}

TEST_F(StaticExTest, IconBeforeTheTextAndEmbossedWhenDisabled) {
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(QColor(0, 180, 0));
    label.SetIcon(icon);
    PixelProbe probe(label.GetWidget());
    EXPECT_EQ(probe.At(4, 2), RGB(0, 180, 0));  // spacing 4, centred in 20 rows
    EXPECT_EQ(probe.At(19, 17), RGB(0, 180, 0));
    EXPECT_NE(probe.At(3, 2), RGB(0, 180, 0));
    EXPECT_EQ(CountNear(probe, GetSysColor(COLOR_WINDOWTEXT), RECT{0, 0, 24, 20}), 0);
    EXPECT_GT(CountNear(probe, GetSysColor(COLOR_WINDOWTEXT), RECT{24, 0, 100, 20}), 5);
    label.SetIconSpacing(10);
    EXPECT_EQ(PixelProbe(label.GetWidget()).At(10, 2), RGB(0, 180, 0));
    label.EnableWindow(FALSE);
    PixelProbe disabled(label.GetWidget());
    // Embossed: shadow-coloured text over a highlight copy, no text in the window colour.
    EXPECT_GT(CountNear(disabled, GetSysColor(COLOR_BTNSHADOW), RECT{36, 0, 100, 20}), 5);
    EXPECT_EQ(CountNear(disabled, GetSysColor(COLOR_WINDOWTEXT), RECT{36, 0, 100, 20}), 0);
}

TEST_F(StaticExTest, ResizeToFitAndBorder) {
    label.SetFontSize(20);
    label.ResizeToFit();
    RECT rect;
    label.GetClientRect(&rect);
    CDC measure;
    measure.CreateCompatibleDC(nullptr);
    CFont font;
    LOGFONT lf = label.GetLogFont();
    font.CreateFontIndirect(&lf);
    measure.SelectObject(&font);
    const SIZE text = measure.GetTextExtent("Link text");
    EXPECT_EQ(rect.right, text.cx);
    EXPECT_GE(rect.bottom, 20);
    RECT window;
    label.GetWindowRect(&window);
    label.DrawBorder(TRUE);
    EXPECT_TRUE(label.GetStyle() & WS_BORDER);
    RECT after;
    label.GetWindowRect(&after);
    EXPECT_EQ(after, window);
    label.DrawBorder(FALSE);
    EXPECT_FALSE(label.GetStyle() & WS_BORDER);
}

}  // namespace
