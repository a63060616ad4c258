// Memory device contexts: fills, frames, shapes, lines, pixels, clipping, saved states, brushes
// and the system colours, read back pixel by pixel.
#include <gtest/gtest.h>

#include "DrawCanvas.h"
#include "platform/ui/Dc.h"
#include "platform/ui/SysColors.h"

namespace {

using kelmon::test::ui::Canvas;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST(DrawShapesTest, FillsCoverTheRectangleWithoutItsRightAndBottomEdges) {
    Canvas c(20, 20);
    CBrush red(kRed);
    RECT r{2, 3, 8, 9};
    c.dc.FillRect(&r, &red);
    EXPECT_EQ(c.Count(kRed, RECT{0, 0, 20, 20}), 6 * 6);
    EXPECT_EQ(c.At(2, 3), kRed);
    EXPECT_EQ(c.At(7, 8), kRed);
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_EQ(c.At(7, 9), kWhite);

    c.dc.FillSolidRect(10, 10, 3, 2, kBlue);
    EXPECT_EQ(c.Count(kBlue, RECT{0, 0, 20, 20}), 6);
    EXPECT_EQ(c.dc.GetBkColor(), kBlue) << "FillSolidRect leaves its colour as the background";

    RECT empty{5, 5, 5, 9}, inverted{9, 9, 4, 4};
    c.dc.FillRect(&empty, &red);
    c.dc.FillRect(&inverted, &red);
    EXPECT_EQ(c.Count(kRed, RECT{0, 0, 20, 20}), 36);
}

TEST(DrawShapesTest, FrameRectDrawsOnlyTheOnePixelBorder) {
    Canvas c(12, 12);
    CBrush blue(kBlue);
    RECT r{1, 1, 11, 7};
    c.dc.FrameRect(&r, &blue);
    EXPECT_EQ(c.Count(kBlue, RECT{0, 0, 12, 12}), 2 * 10 + 2 * 4);
    EXPECT_EQ(c.At(1, 1), kBlue);
    EXPECT_EQ(c.At(10, 6), kBlue);
    EXPECT_EQ(c.At(5, 3), kWhite);
    EXPECT_EQ(c.At(11, 6), kWhite);
}

TEST(DrawShapesTest, RectangleFramesWithThePenAndFillsWithTheBrush) {
    Canvas c(12, 12);
    CPen pen(PS_SOLID, 1, kRed);
    CBrush brush(kBlue);
    c.dc.SelectObject(&pen);
    c.dc.SelectObject(&brush);
    c.dc.Rectangle(2, 2, 8, 8);
    EXPECT_EQ(c.At(2, 2), kRed);
    EXPECT_EQ(c.At(7, 7), kRed);
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_EQ(c.Count(kBlue, RECT{0, 0, 12, 12}), 4 * 4);
    EXPECT_EQ(c.Count(kRed, RECT{0, 0, 12, 12}), 4 * 5);

    // A hollow brush keeps the inside.
    c.dc.SelectStockObject(NULL_BRUSH);
    c.dc.SelectObject(GetStockPen(BLACK_PEN));
    c.dc.Rectangle(1, 1, 11, 11);
    EXPECT_EQ(c.Count(kBlue, RECT{0, 0, 12, 12}), 16);
    EXPECT_EQ(c.At(10, 10), kBlack);
}

TEST(DrawShapesTest, EllipseAndRoundRectStayInsideTheirBox) {
    Canvas c(30, 30);
    CBrush brush(kBlue);
    c.dc.SelectObject(&brush);
    c.dc.SelectStockObject(NULL_PEN);
    c.dc.Ellipse(5, 5, 25, 25);
    EXPECT_EQ(c.At(15, 15), kBlue);
    EXPECT_EQ(c.At(5, 5), kWhite) << "corners lie outside the ellipse";
    RECT ink = c.InkBox(kWhite);
    EXPECT_GE(ink.left, 5);
    EXPECT_LE(ink.right, 25);

    Canvas r(30, 30);
    r.dc.SelectObject(&brush);
    r.dc.SelectStockObject(BLACK_PEN);
    r.dc.RoundRect(2, 2, 28, 20, 10, 10);
    EXPECT_EQ(r.At(2, 2), kWhite) << "rounded corner";
    EXPECT_EQ(r.At(15, 2), kBlack);
    EXPECT_EQ(r.At(15, 10), kBlue);
}

TEST(DrawShapesTest, LineToLeavesOutItsEndPointAndMovesTheCurrentPosition) {
    Canvas c(20, 20);
    CPen pen(PS_SOLID, 1, kRed);
    c.dc.SelectObject(&pen);
    c.dc.MoveTo(2, 5);
    c.dc.LineTo(12, 5);
    EXPECT_EQ(c.Count(kRed, RECT{0, 0, 20, 20}), 10);
    EXPECT_EQ(c.At(2, 5), kRed);
    EXPECT_EQ(c.At(11, 5), kRed);
    EXPECT_EQ(c.At(12, 5), kWhite);
    c.dc.LineTo(12, 15);
    EXPECT_EQ(c.At(12, 5), kRed);
    EXPECT_EQ(c.At(12, 15), kWhite);
    POINT at = c.dc.GetCurrentPosition();
    EXPECT_EQ(at.x, 12);
    EXPECT_EQ(at.y, 15);
}

TEST(DrawShapesTest, DottedPenLeavesGapsInTheBackgroundColourWhenOpaque) {
    Canvas c(40, 4);
    CPen dot(PS_DOT, 1, kBlack);
    c.dc.SelectObject(&dot);
    c.dc.SetBkColor(kRed);
    c.dc.MoveTo(0, 1);
    c.dc.LineTo(30, 1);
    EXPECT_GT(c.Count(kBlack, RECT{0, 1, 30, 2}), 8);
    EXPECT_GT(c.Count(kRed, RECT{0, 1, 30, 2}), 8);
    EXPECT_EQ(c.Count(kWhite, RECT{0, 1, 30, 2}), 0);

    c.dc.SetBkMode(TRANSPARENT);
    c.dc.MoveTo(0, 2);
    c.dc.LineTo(30, 2);
    EXPECT_GT(c.Count(kWhite, RECT{0, 2, 30, 3}), 8);
}

TEST(DrawShapesTest, PolygonAndBezierDraw) {
    Canvas c(30, 30);
    CBrush brush(kBlue);
    c.dc.SelectObject(&brush);
    c.dc.SelectStockObject(NULL_PEN);
    POINT triangle[] = {{0, 0}, {20, 0}, {0, 20}};
    EXPECT_TRUE(c.dc.Polygon(triangle, 3));
    EXPECT_EQ(c.At(3, 3), kBlue);
    EXPECT_EQ(c.At(18, 18), kWhite);

    Canvas b(40, 40);
    b.dc.SelectStockObject(BLACK_PEN);
    POINT curve[] = {{2, 30}, {10, 0}, {30, 0}, {38, 30}};
    EXPECT_TRUE(b.dc.PolyBezier(curve, 4));
    EXPECT_FALSE(b.dc.PolyBezier(curve, 3)) << "not 3n + 1 points";
    RECT ink = b.InkBox(kWhite);
    EXPECT_EQ(ink.left, 2);
    EXPECT_LT(ink.top, 15);
}

TEST(DrawShapesTest, PixelsReadBackAndOutsideIsInvalid) {
    Canvas c(4, 4);
    EXPECT_EQ(c.dc.SetPixel(1, 2, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(c.dc.GetPixel(1, 2), RGB(10, 20, 30));
    EXPECT_EQ(c.dc.GetPixel(4, 0), CLR_INVALID);
    EXPECT_EQ(c.dc.GetPixel(-1, 0), CLR_INVALID);
    EXPECT_EQ(c.dc.SetPixel(9, 9, kRed), CLR_INVALID);
}

TEST(DrawShapesTest, InvertRectInvertsAndASecondCallRestores) {
    Canvas c(10, 10, RGB(0x12, 0x34, 0x56));
    RECT r{2, 2, 6, 6};
    c.dc.InvertRect(&r);
    EXPECT_EQ(c.At(3, 3), RGB(0xED, 0xCB, 0xA9));
    EXPECT_EQ(c.At(6, 6), RGB(0x12, 0x34, 0x56));
    c.dc.InvertRect(&r);
    EXPECT_EQ(c.Count(RGB(0x12, 0x34, 0x56), RECT{0, 0, 10, 10}), 100);

    c.dc.DrawFocusRect(&r);
    EXPECT_GT(c.Count(RGB(0xED, 0xCB, 0xA9), RECT{0, 0, 10, 10}), 4);
    c.dc.DrawFocusRect(&r);
    EXPECT_EQ(c.Count(RGB(0x12, 0x34, 0x56), RECT{0, 0, 10, 10}), 100);
}

TEST(DrawShapesTest, ClippingLimitsDrawingAndSaveRestoreBringsItBack) {
    Canvas c(20, 20);
    CBrush red(kRed);
    RECT all{0, 0, 20, 20};
    const int level = c.dc.SaveDC();
    EXPECT_EQ(c.dc.IntersectClipRect(5, 5, 10, 10), SIMPLEREGION);
    c.dc.SetTextColor(kBlue);
    c.dc.FillRect(&all, &red);
    EXPECT_EQ(c.Count(kRed, all), 25);
    RECT box;
    EXPECT_EQ(c.dc.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{5, 5, 10, 10}));
    EXPECT_EQ(c.dc.GetPixel(2, 2), CLR_INVALID) << "outside the clip";

    EXPECT_TRUE(c.dc.RestoreDC(level));
    EXPECT_EQ(c.dc.GetTextColor(), kBlack);
    CBrush blue(kBlue);
    c.dc.FillRect(&all, &blue);
    EXPECT_EQ(c.Count(kBlue, all), 400);
    EXPECT_FALSE(c.dc.RestoreDC(level)) << "that level is gone";

    CRgn ellipse;
    ellipse.CreateEllipticRgn(0, 0, 20, 20);
    c.dc.SelectClipRgn(&ellipse);
    c.dc.FillRect(&all, &red);
    EXPECT_EQ(c.At(10, 10), kRed);
    EXPECT_EQ(c.At(0, 0), CLR_INVALID) << "GetPixel keeps to the clip as well";
    c.dc.SelectClipRgn(nullptr);
    EXPECT_EQ(c.At(0, 0), kBlue);
    c.dc.ExcludeClipRect(0, 0, 10, 20);
    c.dc.FillRect(&all, &blue);
    c.dc.SelectClipRgn(nullptr);
    EXPECT_EQ(c.At(9, 10), kRed);
    EXPECT_EQ(c.At(10, 10), kBlue);
}

TEST(DrawShapesTest, ViewportOriginMovesDrawingAndClipRectanglesAreLogical) {
    Canvas c(20, 20);
    c.dc.SetViewportOrg(5, 5);
    CBrush red(kRed);
    RECT r{0, 0, 2, 2};
    c.dc.FillRect(&r, &red);
    EXPECT_EQ(c.At(0, 0), kRed) << "pixels are read in logical coordinates too";
    c.dc.SetViewportOrg(0, 0);
    EXPECT_EQ(c.At(5, 5), kRed);
    EXPECT_EQ(c.At(4, 4), kWhite);
    c.dc.SetWindowOrg(10, 10);
    c.dc.IntersectClipRect(10, 10, 12, 12);  // device 0..2
    RECT box;
    c.dc.GetClipBox(&box);
    EXPECT_EQ(box, (RECT{10, 10, 12, 12}));
}

TEST(DrawShapesTest, HatchAndHalftoneBrushes) {
    Canvas c(8, 8);
    c.dc.SetTextColor(kBlack);
    c.dc.SetBkColor(kWhite);
    RECT all{0, 0, 8, 8};
    c.dc.FillRect(&all, CBrush::GetHalftoneBrush());
    EXPECT_EQ(c.Count(kBlack, all), 32);
    EXPECT_NE(c.At(0, 0), c.At(1, 0));
    EXPECT_EQ(c.At(0, 0), c.At(1, 1));

    Canvas h(8, 8);
    CBrush hatch;
    ASSERT_TRUE(hatch.CreateHatchBrush(HS_HORIZONTAL, kRed));
    h.dc.SetBkColor(kBlue);
    h.dc.FillRect(&all, &hatch);
    EXPECT_GT(h.Count(kRed, all), 0);
    EXPECT_GT(h.Count(kBlue, all), 0) << "opaque mode fills the gaps with the background";
    EXPECT_EQ(h.Count(kWhite, all), 0);
}

TEST(DrawShapesTest, MonochromeBitmapsHoldBlackAndWhiteOnly) {
    Canvas m(4, 1, kWhite, /*mono=*/true);
    m.dc.SetPixel(0, 0, RGB(200, 200, 200));
    m.dc.SetPixel(1, 0, RGB(100, 30, 30));
    EXPECT_EQ(m.At(0, 0), kWhite);
    EXPECT_EQ(m.At(1, 0), kBlack);

    Canvas text(60, 20, kWhite, /*mono=*/true);
    text.dc.SetBkMode(TRANSPARENT);
    text.dc.TextOut(2, 2, "Kelmon 期货");
    EXPECT_GT(text.Count(kBlack, RECT{0, 0, 60, 20}), 10);
    EXPECT_EQ(text.Count(kBlack, RECT{0, 0, 60, 20}) + text.Count(kWhite, RECT{0, 0, 60, 20}),
              60 * 20);
}

TEST(DrawShapesTest, RegionsCombineAndReportTheirKind) {
    CRgn a, b, out;
    a.CreateRectRgn(0, 0, 10, 10);
    b.CreateRectRgn(5, 5, 15, 15);
    out.CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(out.CombineRgn(&a, &b, RGN_AND), SIMPLEREGION);
    RECT box;
    out.GetRgnBox(&box);
    EXPECT_EQ(box, (RECT{5, 5, 10, 10}));
    EXPECT_EQ(out.CombineRgn(&a, &b, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(out.PtInRegion(14, 14));
    EXPECT_FALSE(out.PtInRegion(14, 1));
    EXPECT_EQ(out.CombineRgn(&a, &a, RGN_DIFF), NULLREGION);
    EXPECT_EQ(out.CombineRgn(&a, &b, RGN_XOR), COMPLEXREGION);
    EXPECT_FALSE(out.PtInRegion(7, 7));
    CRgn missing;
    EXPECT_EQ(out.CombineRgn(&a, &missing, RGN_AND), RGN_ERROR);
    CRgn round;
    round.CreateRoundRectRgn(0, 0, 20, 20, 10, 10);
    EXPECT_FALSE(round.PtInRegion(0, 0));
    EXPECT_TRUE(round.PtInRegion(10, 0));
    POINT tri[] = {{0, 0}, {10, 0}, {0, 10}};
    CRgn poly;
    poly.CreatePolygonRgn(tri, 3, ALTERNATE);
    EXPECT_TRUE(poly.PtInRegion(2, 2));
    EXPECT_FALSE(poly.PtInRegion(8, 8));
}

TEST(DrawShapesTest, SystemColoursAreTheClassicScheme) {
    struct Case {
        int index;
        COLORREF color;
    };
    const Case cases[] = {{COLOR_BTNFACE, 0xC0C0C0},       {COLOR_WINDOW, 0xFFFFFF},
                          {COLOR_WINDOWTEXT, 0},           {COLOR_HIGHLIGHT, 0x800000},
                          {COLOR_HIGHLIGHTTEXT, 0xFFFFFF}, {COLOR_BTNSHADOW, 0x808080},
                          {COLOR_GRAYTEXT, 0x808080},      {COLOR_3DDKSHADOW, 0},
                          {COLOR_INFOBK, 0xE1FFFF},        {COLOR_HOTLIGHT, 0xFF0000}};
    for (const Case& c : cases) {
        EXPECT_EQ(GetSysColor(c.index), c.color) << c.index;
        ASSERT_NE(GetSysColorBrush(c.index), nullptr);
        EXPECT_EQ(GetSysColorBrush(c.index)->Color(), c.color);
    }
    EXPECT_EQ(GetSysColor(99), 0u);
    EXPECT_EQ(GetSysColorBrush(-1), nullptr);
}

TEST(DrawShapesTest, Draw3dRectAndEdgeUseTheirColoursOnTheRightSides) {
    Canvas c(10, 10);
    c.dc.Draw3dRect(0, 0, 10, 10, kRed, kBlue);
    EXPECT_EQ(c.At(0, 0), kRed);
    EXPECT_EQ(c.At(0, 8), kRed);
    EXPECT_EQ(c.At(9, 0), kBlue);
    EXPECT_EQ(c.At(9, 9), kBlue);
    EXPECT_EQ(c.At(5, 5), kWhite);

    Canvas e(10, 10);
    RECT r{0, 0, 10, 10};
    e.dc.DrawEdge(&r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    EXPECT_EQ(e.At(0, 5), GetSysColor(COLOR_3DSHADOW));
    EXPECT_EQ(e.At(1, 5), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(e.At(9, 5), GetSysColor(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(r, (RECT{2, 2, 8, 8}));
}

TEST(DrawShapesTest, MemoryContextWithoutBitmapAndDeletedContextsDrawNothing) {
    CDC dc;
    RECT r{0, 0, 2, 2};
    EXPECT_FALSE(dc.IsValid());
    dc.FillRect(&r, GetStockBrush(BLACK_BRUSH));  // no crash, no effect
    EXPECT_EQ(dc.GetPixel(0, 0), CLR_INVALID);
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    EXPECT_EQ(dc.GetPixel(0, 0), kBlack) << "the default 1 x 1 monochrome bitmap";
    CBitmap unmade;
    EXPECT_EQ(dc.SelectObject(&unmade), nullptr);
    EXPECT_TRUE(dc.DeleteDC());
    EXPECT_EQ(dc.GetPixel(0, 0), CLR_INVALID);
}

}  // namespace
