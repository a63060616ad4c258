// Blits between memory contexts with the raster operations, colour and monochrome
// conversions, the transparent copy built from them, and masked image lists.
#include <gtest/gtest.h>

#include "DrawCanvas.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"

namespace {

using kelmon::test::ui::Canvas;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

COLORREF Channelwise(COLORREF a, COLORREF b, int (*op)(int, int)) {
    return RGB(static_cast<BYTE>(op(GetRValue(a), GetRValue(b)) & 0xFF),
               static_cast<BYTE>(op(GetGValue(a), GetGValue(b)) & 0xFF),
               static_cast<BYTE>(op(GetBValue(a), GetBValue(b)) & 0xFF));
}

TEST(DrawBlitTest, RasterOperationsCombineSourceAndDestinationBitwise) {
    const COLORREF source = RGB(0xF0, 0x3C, 0x55);
    const COLORREF target = RGB(0x0F, 0xFF, 0x33);
    struct Case {
        const char* name;
        DWORD rop;
        COLORREF expected;
    };
    const Case cases[] = {
        {"SRCCOPY", SRCCOPY, source},
        {"SRCAND", SRCAND, Channelwise(source, target, [](int s, int d) { return s & d; })},
        {"SRCPAINT", SRCPAINT, Channelwise(source, target, [](int s, int d) { return s | d; })},
        {"SRCINVERT", SRCINVERT, Channelwise(source, target, [](int s, int d) { return s ^ d; })},
        {"SRCERASE", SRCERASE, Channelwise(source, target, [](int s, int d) { return s & ~d; })},
        {"NOTSRCCOPY", NOTSRCCOPY, Channelwise(source, target, [](int s, int) { return ~s; })},
        {"MERGEPAINT", MERGEPAINT,
         Channelwise(source, target, [](int s, int d) { return ~s | d; })},
        {"DSTINVERT", DSTINVERT, Channelwise(source, target, [](int, int d) { return ~d; })},
        {"BLACKNESS", BLACKNESS, kBlack},
        {"WHITENESS", WHITENESS, kWhite},
    };
    for (const Case& c : cases) {
        Canvas src(6, 6, source);
        Canvas dst(10, 10, target);
        ASSERT_TRUE(dst.dc.BitBlt(2, 2, 4, 4, &src.dc, 1, 1, c.rop)) << c.name;
        EXPECT_EQ(dst.At(2, 2), c.expected) << c.name;
        EXPECT_EQ(dst.At(5, 5), c.expected) << c.name;
        EXPECT_EQ(dst.At(6, 6), target) << c.name << " went past the rectangle";
        EXPECT_EQ(dst.At(1, 1), target) << c.name;
    }
}

TEST(DrawBlitTest, StretchBltScalesAndUnknownOperationsFail) {
    Canvas src(2, 2, kWhite);
    src.dc.SetPixel(0, 0, kBlack);
    Canvas dst(8, 8, RGB(1, 2, 3));
    ASSERT_TRUE(dst.dc.StretchBlt(0, 0, 8, 8, &src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(dst.Count(kBlack, RECT{0, 0, 8, 8}), 16);
    EXPECT_EQ(dst.At(3, 3), kBlack);
    EXPECT_EQ(dst.At(4, 4), kWhite);
    EXPECT_FALSE(dst.dc.BitBlt(0, 0, 2, 2, &src.dc, 0, 0, 0x00123456));
    CDC window;  // not a memory context
    EXPECT_FALSE(dst.dc.BitBlt(0, 0, 2, 2, &window, 0, 0, SRCCOPY));
}

TEST(DrawBlitTest, ColourToMonochromeAndBackFollowTheContextColours) {
    // Colour -> monochrome: the source context's background colour becomes white.
    Canvas image(4, 1, RGB(10, 20, 30));
    image.dc.SetPixel(1, 0, kMagenta);
    image.dc.SetBkColor(kMagenta);
    Canvas mask(4, 1, kWhite, /*mono=*/true);
    ASSERT_TRUE(mask.dc.BitBlt(0, 0, 4, 1, &image.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(mask.At(0, 0), kBlack);
    EXPECT_EQ(mask.At(1, 0), kWhite);

    // Monochrome -> colour: black takes the text colour, white the background colour.
    Canvas out(4, 1, kWhite);
    out.dc.SetTextColor(RGB(1, 2, 3));
    out.dc.SetBkColor(RGB(200, 100, 50));
    ASSERT_TRUE(out.dc.BitBlt(0, 0, 4, 1, &mask.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(out.At(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(out.At(1, 0), RGB(200, 100, 50));
}

// The transparent copy the drawing helpers build: a mask from the key colour, the key pixels of
// the image blacked out, the destination ANDed with the mask and the image ORed in.
TEST(DrawBlitTest, MaskedCopyThroughSrcAndAndSrcPaintKeepsTheBackgroundUnderTheKeyColour) {
    const COLORREF background = RGB(0x20, 0x80, 0x40);
    const COLORREF ink = RGB(0xC0, 0x10, 0x70);
    Canvas image(8, 8, kMagenta);
    CBrush inkBrush(ink);
    RECT square{2, 2, 6, 6};
    image.dc.FillRect(&square, &inkBrush);

    Canvas mask(8, 8, kWhite, /*mono=*/true);
    image.dc.SetBkColor(kMagenta);
    mask.dc.BitBlt(0, 0, 8, 8, &image.dc, 0, 0, SRCCOPY);
    // Black out the key pixels of the image: AND with the inverted mask.
    image.dc.SetTextColor(kWhite);
    image.dc.SetBkColor(kBlack);
    image.dc.BitBlt(0, 0, 8, 8, &mask.dc, 0, 0, SRCAND);

    Canvas screen(8, 8, background);
    screen.dc.SetTextColor(kBlack);
    screen.dc.SetBkColor(kWhite);
    screen.dc.BitBlt(0, 0, 8, 8, &mask.dc, 0, 0, SRCAND);
    screen.dc.BitBlt(0, 0, 8, 8, &image.dc, 0, 0, SRCPAINT);
    EXPECT_EQ(screen.Count(ink, RECT{0, 0, 8, 8}), 16);
    EXPECT_EQ(screen.Count(background, RECT{0, 0, 8, 8}), 64 - 16);
}

class ImageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Three 4 x 4 cells: red, green and blue squares with a magenta corner pixel each.
        strip_.CreateCompatibleBitmap(nullptr, 12, 4);
        const COLORREF colors[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
        for (int cell = 0; cell < 3; ++cell)
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const COLORREF c = (x == 0 && y == 0) ? kMagenta : colors[cell];
                    strip_.Image().setPixel(cell * 4 + x, y, platform::ui::ToQColor(c).rgb());
                }
        ASSERT_TRUE(list_.Create(4, 4, ILC_COLOR32 | ILC_MASK, 3, 1));
        ASSERT_EQ(list_.Add(&strip_, kMagenta), 0);
    }
    CBitmap strip_;
    CImageList list_;
};

TEST_F(ImageListTest, CutsTheStripAndDrawsTransparentlyWhereTheMaskColourWas) {
    EXPECT_EQ(list_.GetImageCount(), 3);
    const COLORREF background = RGB(9, 9, 9);
    for (UINT style : {ILD_NORMAL, ILD_TRANSPARENT}) {
        Canvas c(6, 6, background);
        ASSERT_TRUE(list_.Draw(&c.dc, 2, POINT{1, 1}, style));
        EXPECT_EQ(c.At(1, 1), background) << style;
        EXPECT_EQ(c.At(2, 1), RGB(0, 0, 255)) << style;
        EXPECT_EQ(c.Count(RGB(0, 0, 255), RECT{0, 0, 6, 6}), 15) << style;
    }
    EXPECT_FALSE(list_.Draw(nullptr, 0, POINT{}, ILD_NORMAL));
    Canvas c(6, 6);
    EXPECT_FALSE(list_.Draw(&c.dc, 3, POINT{}, ILD_NORMAL));
}

TEST_F(ImageListTest, BackgroundColourFillsMaskedPixelsAndMaskStyleDrawsTheMask) {
    list_.SetBkColor(RGB(1, 1, 1));
    Canvas normal(4, 4, kWhite);
    list_.Draw(&normal.dc, 0, POINT{0, 0}, ILD_NORMAL);
    EXPECT_EQ(normal.At(0, 0), RGB(1, 1, 1));
    Canvas transparent(4, 4, kWhite);
    list_.Draw(&transparent.dc, 0, POINT{0, 0}, ILD_TRANSPARENT);
    EXPECT_EQ(transparent.At(0, 0), kWhite);

    Canvas mask(4, 4, RGB(7, 7, 7));
    mask.dc.SetTextColor(kBlack);
    mask.dc.SetBkColor(kWhite);
    list_.Draw(&mask.dc, 1, POINT{0, 0}, ILD_MASK);
    EXPECT_EQ(mask.At(0, 0), kWhite);
    EXPECT_EQ(mask.Count(kBlack, RECT{0, 0, 4, 4}), 15);
}

TEST_F(ImageListTest, MaskBitmapRemoveAndReplace) {
    CBitmap mask;
    mask.CreateBitmap(12, 4, 1, 1, nullptr);  // all black: nothing transparent
    mask.Image().setPixel(5, 0, 0xFFFFFFFF);
    CImageList withMask;
    withMask.Create(4, 4, ILC_COLOR32 | ILC_MASK, 3, 1);
    ASSERT_EQ(withMask.Add(&strip_, &mask), 0);
    EXPECT_EQ(qAlpha(withMask.GetImage(0).pixel(0, 0)), 255) << "the key colour means nothing here";
    EXPECT_EQ(qAlpha(withMask.GetImage(1).pixel(1, 0)), 0);

    EXPECT_TRUE(list_.Remove(0));
    EXPECT_EQ(list_.GetImageCount(), 2);
    EXPECT_EQ(qGreen(list_.GetImage(0).pixel(1, 1)), 255);
    EXPECT_TRUE(list_.Replace(1, &strip_, nullptr));
    EXPECT_EQ(qRed(list_.GetImage(1).pixel(1, 1)), 255);
    EXPECT_FALSE(list_.Remove(5));
    EXPECT_TRUE(list_.Remove(-1));
    EXPECT_EQ(list_.GetImageCount(), 0);
}

}  // namespace
