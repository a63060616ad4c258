// Tests of the drawing helpers and CMemDC: exact gradient values, greyed, lightened and masked
// bitmaps, nine-part frames, the button face, tab client areas and DIB images, by pixel probe.
#include "flexui/DrawHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "flexui/MemDC.h"
#include "platform/ui/Dc.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"
#include "support/ui/UiTestApp.h"

namespace {

// A memory context over a colour bitmap filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3)) {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateCompatibleBitmap(&dc, width, height);
        old = dc.SelectObject(&bitmap);
        const RECT all{0, 0, width, height};
        dc.FillSolidRect(&all, fill);
    }
    ~Canvas() { dc.SelectObject(old); }
    COLORREF At(int x, int y) const { return dc.GetPixel(x, y); }

    CDC dc;
    CBitmap bitmap;
    CBitmap* old = nullptr;
};

// A bitmap of the given rows of pixels.
std::unique_ptr<CBitmap> MakeBitmap(const std::vector<std::vector<COLORREF>>& rows) {
    QImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                 QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const COLORREF c = rows[y][x];
            image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    auto bitmap = std::make_unique<CBitmap>();
    bitmap->CreateFromImage(image);
    return bitmap;
}

constexpr COLORREF kBack = RGB(1, 2, 3);

TEST(GradientFillTest, ExactValuesPerLine) {
    struct Case {
        const char* name;
        RECT rect;
        COLORREF start, end;
        int direction;
        POINT probe;
        COLORREF expected;
    };
    const Case cases[] = {
        // Line i of n: start + (end - start) * i / n, truncated towards zero.
        {"first column is the start",
         {2, 1, 6, 3},
         RGB(0, 100, 255),
         RGB(255, 0, 0),
         0,
         {2, 1},
         RGB(0, 100, 255)},
        {"column 1 of 4",
         {2, 1, 6, 3},
         RGB(0, 100, 255),
         RGB(255, 0, 0),
         0,
         {3, 2},
         RGB(63, 75, 192)},
        {"last column stops short of the end",
         {2, 1, 6, 3},
         RGB(0, 100, 255),
         RGB(255, 0, 0),
         0,
         {5, 1},
         RGB(191, 25, 64)},
        {"falling channel truncates towards the start",
         {0, 0, 3, 1},
         RGB(255, 255, 255),
         RGB(0, 0, 0),
         0,
         {1, 0},
         RGB(170, 170, 170)},
        {"row 2 of 3, top to bottom",
         {0, 0, 5, 3},
         RGB(0, 0, 0),
         RGB(30, 60, 90),
         1,
         {4, 2},
         RGB(20, 40, 60)},
        {"1-pixel-wide rectangle, rows",
         {7, 0, 8, 4},
         RGB(0, 0, 0),
         RGB(100, 200, 40),
         1,
         {7, 3},
         RGB(75, 150, 30)},
        {"1-pixel rectangle is the start colour",
         {4, 4, 5, 5},
         RGB(9, 8, 7),
         RGB(200, 200, 200),
         1,
         {4, 4},
         RGB(9, 8, 7)},
        {"outside the rectangle untouched",
         {4, 4, 5, 5},
         RGB(9, 8, 7),
         RGB(200, 200, 200),
         1,
         {5, 4},
         kBack},
        {"empty rectangle draws nothing",
         {3, 3, 3, 6},
         RGB(9, 8, 7),
         RGB(200, 200, 200),
         1,
         {3, 3},
         kBack},
        {"inverted rectangle draws nothing",
         {6, 6, 3, 3},
         RGB(9, 8, 7),
         RGB(200, 200, 200),
         0,
         {4, 4},
         kBack},
    };
    for (const Case& c : cases) {
        Canvas canvas(10, 8);
        GradientFill(&canvas.dc, c.rect, c.start, c.end, c.direction);
        EXPECT_EQ(canvas.At(c.probe.x, c.probe.y), c.expected) << c.name;
    }
}

TEST(GradientFillTest, OneLinePerColumnInDirectionZero) {
    Canvas canvas(4, 3);
    GradientFill(&canvas.dc, RECT{0, 0, 4, 3}, RGB(0, 0, 0), RGB(200, 0, 0), 0);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 3; ++y) EXPECT_EQ(canvas.At(x, y), RGB(50 * x, 0, 0)) << x << "," << y;
}

TEST(GradientFillTest, ExSplitsTheBottomPixels) {
    Canvas canvas(2, 10);
    // Rows 0-5 from colour 1 to 2, rows 6-9 from colour 2 to 3.
    GradientFillEx(&canvas.dc, RECT{0, 0, 2, 10}, RGB(0, 0, 0), RGB(60, 60, 60), RGB(100, 100, 100),
                   4, 1);
    EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(1, 5), RGB(50, 50, 50));
    EXPECT_EQ(canvas.At(0, 6), RGB(60, 60, 60));
    EXPECT_EQ(canvas.At(1, 9), RGB(90, 90, 90));
}

TEST(GradientFillTest, RectCornersAndEdgesIncluded) {
    Canvas canvas(8, 8);
    const COLORREF tl = RGB(0, 0, 0), bl = RGB(0, 200, 0), tr = RGB(200, 0, 0),
                   br = RGB(200, 200, 200);
    GradientFillRect(&canvas.dc, RECT{1, 1, 5, 5}, tl, bl, tr, br);
    EXPECT_EQ(canvas.At(1, 1), tl);
    EXPECT_EQ(canvas.At(1, 5), bl);  // bottom edge included
    EXPECT_EQ(canvas.At(5, 1), tr);  // right edge included
    EXPECT_EQ(canvas.At(5, 5), br);
    EXPECT_EQ(canvas.At(3, 3), RGB(100, 100, 50));
    EXPECT_EQ(canvas.At(6, 6), kBack);
}

TEST(GradientFillTest, MemDcTakesTargetCoordinates) {
    Canvas target(20, 20, RGB(9, 9, 9));
    {
        CMemDC memory(&target.dc, RECT{10, 10, 20, 20});
        EXPECT_EQ(memory.GetPixel(0, 0), RGB(9, 9, 9));  // starts with the target's pixels
        const RECT mapped = memory.MapMemRect(RECT{12, 14, 16, 18});
        EXPECT_EQ(mapped, (RECT{2, 4, 6, 8}));
        memory.GradientFill(RECT{12, 10, 14, 20}, RGB(0, 0, 0), RGB(100, 0, 0), 0);
        EXPECT_EQ(target.At(13, 10), RGB(9, 9, 9));  // nothing reaches the target yet
    }
    EXPECT_EQ(target.At(12, 15), RGB(0, 0, 0));
    EXPECT_EQ(target.At(13, 15), RGB(50, 0, 0));
    EXPECT_EQ(target.At(14, 15), RGB(9, 9, 9));
    EXPECT_EQ(target.At(9, 15), RGB(9, 9, 9));
}

TEST(MemDcTest, ReattachCopiesTheFirstDrawingBack) {
    Canvas target(10, 10, RGB(9, 9, 9));
    CMemDC memory;
    EXPECT_FALSE(memory.IsAttached());
    ASSERT_TRUE(memory.AttachDC(&target.dc, RECT{0, 0, 5, 5}));
    const RECT all{0, 0, 5, 5};
    memory.FillSolidRect(&all, RGB(200, 0, 0));
    ASSERT_TRUE(memory.AttachDC(&target.dc, RECT{5, 5, 10, 10}));
    EXPECT_EQ(target.At(4, 4), RGB(200, 0, 0));
    memory.DetachDC();
    memory.DetachDC();  // a second detach does nothing
    EXPECT_EQ(target.At(5, 5), RGB(9, 9, 9));
    EXPECT_FALSE(memory.AttachDC(&target.dc, RECT{3, 3, 3, 8}));
}

TEST(DrawLineTest, EndPointLeftOutAndPenRestored) {
    Canvas canvas(10, 3);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 255));
    CPen* old = canvas.dc.SelectObject(&pen);
    DrawLine(&canvas.dc, 1, 1, 6, 1, RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(5, 1), RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(6, 1), kBack);
    EXPECT_EQ(canvas.dc.GetCurrentPen(), &pen);
    DrawLine(&canvas.dc, 1, 2, 4, 2);  // the selected pen
    EXPECT_EQ(canvas.At(2, 2), RGB(0, 0, 255));
    canvas.dc.SelectObject(old);
}

constexpr COLORREF kMagenta = RGB(255, 0, 255);

TEST(BitmapEffectsTest, DisabledGreysAllButTransparentAndTopLeftColour) {
    // Top-left colour (10,20,30) is kept wherever it appears, as is the transparent magenta.
    auto bitmap = MakeBitmap({{RGB(10, 20, 30), RGB(255, 255, 255), RGB(100, 50, 200)},
                              {kMagenta, RGB(10, 20, 30), RGB(0, 255, 0)}});
    Canvas canvas(3, 2);
    canvas.dc.SelectObject(bitmap.get());
    SetDisabledBitmap(&canvas.dc, RECT{0, 0, 3, 2}, kMagenta);
    EXPECT_EQ(canvas.At(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(canvas.At(1, 1), RGB(10, 20, 30));
    EXPECT_EQ(canvas.At(0, 1), kMagenta);
    EXPECT_EQ(canvas.At(1, 0), RGB(255, 255, 255));  // white stays white
    // 0.299*100 + 0.587*50 + 0.114*200 = 82.05
    EXPECT_EQ(canvas.At(2, 0), RGB(82, 82, 82));
    EXPECT_EQ(canvas.At(2, 1), RGB(149, 149, 149));  // 0.587*255 = 149.685
    canvas.dc.SelectObject(&canvas.bitmap);
}

TEST(BitmapEffectsTest, LightenMovesChannelsTowardsWhite) {
    struct Case {
        double factor;
        COLORREF in, out;
    };
    const Case cases[] = {
        {0.5, RGB(100, 0, 255), RGB(177, 127, 255)},
        {0.0, RGB(100, 0, 255), RGB(100, 0, 255)},
        {1.0, RGB(100, 0, 7), RGB(255, 255, 255)},
        {2.0, RGB(100, 0, 7), RGB(255, 255, 255)},  // clamped
        {-1.0, RGB(100, 200, 255), RGB(0, 145, 255)},
    };
    for (const Case& c : cases) {
        auto bitmap = MakeBitmap({{RGB(1, 1, 1), c.in, kMagenta}});
        Canvas canvas(3, 1);
        canvas.dc.SelectObject(bitmap.get());
        SetLightenBitmap(&canvas.dc, RECT{0, 0, 3, 1}, c.factor, kMagenta);
        EXPECT_EQ(canvas.At(1, 0), c.out) << c.factor;
        EXPECT_EQ(canvas.At(2, 0), kMagenta);
        EXPECT_EQ(canvas.At(0, 0), RGB(1, 1, 1));
        canvas.dc.SelectObject(&canvas.bitmap);
    }
}

TEST(TransparentBitmapTest, ModesPlaceAndStretchLeavingTransparentPixelsOut) {
    const COLORREF red = RGB(200, 0, 0), blue = RGB(0, 0, 200);
    auto bitmap = MakeBitmap({{red, kMagenta}, {kMagenta, blue}});
    struct Case {
        const char* name;
        int mode;
        std::vector<std::pair<POINT, COLORREF>> probes;
    };
    const Case cases[] = {
        {"mode 0 at the top-left",
         0,
         {{{2, 2}, red}, {{3, 2}, kBack}, {{3, 3}, blue}, {{4, 4}, kBack}}},
        {"mode 1 centred", 1, {{{4, 4}, red}, {{5, 5}, blue}, {{5, 4}, kBack}, {{2, 2}, kBack}}},
        {"mode 2 stretched",
         2,
         {{{2, 2}, red},
          {{4, 3}, red},
          {{5, 3}, kBack},
          {{5, 5}, blue},
          {{7, 7}, blue},
          {{3, 7}, kBack}}},
    };
    for (const Case& c : cases) {
        Canvas canvas(10, 10);
        DrawTransparentBitmap(&canvas.dc, RECT{2, 2, 8, 8}, bitmap.get(), c.mode, TRUE, kMagenta);
        for (const auto& [point, color] : c.probes)
            EXPECT_EQ(canvas.At(point.x, point.y), color)
                << c.name << " " << point.x << "," << point.y;
    }
    // The caller's bitmap is not greyed by a disabled draw.
    Canvas canvas(10, 10);
    DrawBitmap(&canvas.dc, RECT{0, 0, 2, 2}, bitmap.get(), kMagenta, FALSE, FALSE);
    EXPECT_EQ(canvas.At(0, 0), red);              // the top-left colour stays
    EXPECT_EQ(canvas.At(1, 1), RGB(22, 22, 22));  // 0.114*200 = 22.8
    EXPECT_EQ(bitmap->Image().pixel(1, 1) & 0xFFFFFF, 0x0000C8u);
}

TEST(TransparentBitmapTest, Blt2NeedsAMemorySource) {
    Canvas canvas(4, 4);
    CDC notCreated;
    EXPECT_FALSE(TransparentBlt2(&canvas.dc, 0, 0, 2, 2, &notCreated, 0, 0, 2, 2, kMagenta));
    EXPECT_FALSE(TransparentBlt2(&canvas.dc, 0, 0, 2, 2, nullptr, 0, 0, 2, 2, kMagenta));
}

TEST(NinePartTest, FrameLeavesTheInsideAndRectangleFillsIt) {
    // A 3 x 3 source: corners 1-4, edges 5-8, centre 9 (as red values).
    auto source = MakeBitmap({{RGB(1, 0, 0), RGB(5, 0, 0), RGB(2, 0, 0)},
                              {RGB(7, 0, 0), RGB(9, 0, 0), RGB(8, 0, 0)},
                              {RGB(3, 0, 0), RGB(6, 0, 0), RGB(4, 0, 0)}});
    for (bool inside : {false, true}) {
        Canvas canvas(12, 12);
        CDC memory;
        memory.CreateCompatibleDC(&canvas.dc);
        CBitmap* old = memory.SelectObject(source.get());
        const RECT rect{1, 1, 11, 9};
        if (inside)
            StretchRectangleBlt(&canvas.dc, rect, &memory, 3, 3, 1, 1, 1, 1, 1, 1, 1, 1);
        else
            StretchRectBlt(&canvas.dc, rect, &memory, 3, 3, 1, 1, 1, 1, 1, 1, 1, 1);
        memory.SelectObject(old);
        EXPECT_EQ(canvas.At(1, 1), RGB(1, 0, 0));
        EXPECT_EQ(canvas.At(10, 1), RGB(2, 0, 0));
        EXPECT_EQ(canvas.At(1, 8), RGB(3, 0, 0));
        EXPECT_EQ(canvas.At(10, 8), RGB(4, 0, 0));
        EXPECT_EQ(canvas.At(5, 1), RGB(5, 0, 0));
        EXPECT_EQ(canvas.At(6, 8), RGB(6, 0, 0));
        EXPECT_EQ(canvas.At(1, 4), RGB(7, 0, 0));
        EXPECT_EQ(canvas.At(10, 6), RGB(8, 0, 0));
        EXPECT_EQ(canvas.At(5, 5), inside ? RGB(9, 0, 0) : kBack);
        EXPECT_EQ(canvas.At(11, 9), kBack);
    }
    Canvas canvas(12, 12);
    FrameRectFromBitmap(&canvas.dc, RECT{0, 0, 6, 6}, source.get(), 1, 1, 1, 1);
    EXPECT_EQ(canvas.At(5, 5), RGB(4, 0, 0));
    EXPECT_EQ(canvas.At(3, 3), kBack);
}

TEST(ButtonFrameTest, StateColours) {
    struct Case {
        UINT state;
        COLORREF upperTop, innerFrame, edge, fillMiddle;
    };
    // Probes on a 20 x 20 button: (10, 1) the inner frame's top, (10, 0) the outer top line,
    // (10, 2) the upper gradient's first row, (10, 12) inside the lower half.
    const Case cases[] = {
        {0, RGB(242, 242, 242), RGB(240, 240, 240), RGB(112, 112, 112), RGB(218, 218, 218)},
        {BUTTON_FRAME_DOWN, RGB(220, 237, 246), RGB(162, 189, 205), RGB(44, 98, 139),
         RGB(141, 202, 234)},
        {BUTTON_FRAME_HOT, RGB(234, 246, 253), RGB(72, 215, 251), RGB(60, 127, 177),
         RGB(197, 232, 251)},
        {BUTTON_FRAME_HOT_FOCUS, RGB(233, 246, 253), RGB(232, 245, 252), RGB(60, 127, 177),
         RGB(185, 228, 252)},
        {BUTTON_FRAME_FLAT, RGB(244, 244, 244), RGB(252, 252, 252), RGB(173, 178, 181),
         RGB(244, 244, 244)},
    };
    for (const Case& c : cases) {
        Canvas canvas(20, 20);
        DrawButtonFrame(&canvas.dc, RECT{0, 0, 20, 20}, c.state);
        EXPECT_EQ(canvas.At(10, 0), c.edge) << c.state;
        EXPECT_EQ(canvas.At(10, 1), c.innerFrame) << c.state;
        EXPECT_EQ(canvas.At(10, 2), c.upperTop) << c.state;
        EXPECT_EQ(canvas.At(10, 12), c.fillMiddle) << c.state;
    }
}

class TabClientTest : public kelmon::test::ui::UiTest {};

TEST_F(TabClientTest, TheTabBandIsTakenOff) {
    for (DWORD placement : {DWORD{0}, TCS_BOTTOM}) {
        CWnd parent;
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "", WS_POPUP, RECT{0, 0, 300, 200}, nullptr, 0));
        CWnd tab;
        ASSERT_TRUE(tab.Create("SysTabControl32", "", WS_CHILD | WS_VISIBLE | placement,
                               RECT{0, 0, 200, 150}, &parent, 1));
        for (const char* text : {"one", "two"}) {
            TCITEM item;
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(text);
            tab.SendMessage(TCM_INSERTITEM, 9, reinterpret_cast<LPARAM>(&item));
        }
        RECT first;
        ASSERT_TRUE(tab.SendMessage(TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
        RECT client;
        ASSERT_TRUE(GetTabClientRect(&tab, &client));
        if (placement == TCS_BOTTOM) {
            EXPECT_EQ(client.top, 0);
            EXPECT_EQ(client.bottom, first.top);
        } else {
            EXPECT_EQ(client.top, first.bottom);
            EXPECT_EQ(client.bottom, 150);
        }
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.right, 200);
    }
    RECT unused;
    EXPECT_FALSE(GetTabClientRect(HWND{0}, &unused));
}

// A 2 x 2, 8-bit bitmap file: colour table of 3 entries, rows bottom-up, padded to 4 bytes.
std::vector<uint8_t> EightBitBitmapFile() {
    std::vector<uint8_t> b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    u32(40);
    u32(2);
    u32(2);
    u16(1);
    u16(8);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    u32(3);  // colours used
    u32(0);
    for (uint32_t bgr : {0x0000FFu, 0x00FF00u, 0xFF0000u}) u32(bgr);  // blue, green, red
    const size_t pixels = b.size();
    for (uint8_t v : {0, 1, 0, 0, 2, 0, 0, 0}) b.push_back(v);  // bottom row, then top row
    b[10] = static_cast<uint8_t>(pixels);
    b[2] = static_cast<uint8_t>(b.size());
    return b;
}

TEST(DibTest, BitmapFileAndPackedDib) {
    const std::vector<uint8_t> file = EightBitBitmapFile();
    auto bitmap = CreateInterBitmap(file.data(), file.size());
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Image().width(), 2);
    EXPECT_EQ(bitmap->Image().pixel(0, 0) & 0xFFFFFF, 0xFF0000u);  // top row: index 2, red
    EXPECT_EQ(bitmap->Image().pixel(1, 0) & 0xFFFFFF, 0x0000FFu);  // index 0, blue
    EXPECT_EQ(bitmap->Image().pixel(1, 1) & 0xFFFFFF, 0x00FF00u);  // bottom row: index 1

    const uint8_t* dib = file.data() + 14;
    const size_t dibSize = file.size() - 14;
    auto palette = CreatePaletteFromDIBitmap(dib, dibSize);
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->Entries(),
              (std::vector<COLORREF>{RGB(0, 0, 255), RGB(0, 255, 0), RGB(255, 0, 0)}));
    CPalette grey;
    grey.CreatePalette({RGB(10, 10, 10), RGB(20, 20, 20), RGB(30, 30, 30)});
    auto converted = CreateDDBFromPackedDIBitmap(dib, dibSize, &grey);
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->Image().pixel(0, 0) & 0xFFFFFF, 0x1E1E1Eu);
    EXPECT_TRUE(CreateDDBFromPackedDIBitmap(dib, dibSize));
}

TEST(DibTest, CutOrCraftedImagesGiveNothing) {
    const std::vector<uint8_t> file = EightBitBitmapFile();
    for (size_t cut :
         {size_t{0}, size_t{2}, size_t{14}, size_t{30}, size_t{54}, size_t{60}, file.size() - 1}) {
        EXPECT_FALSE(CreateInterBitmap(file.data(), cut)) << cut;
    }
    std::vector<uint8_t> hugeWidth = file;
    hugeWidth[18] = 0xFF;
    hugeWidth[19] = 0xFF;
    hugeWidth[20] = 0xFF;
    EXPECT_FALSE(CreateInterBitmap(hugeWidth.data(), hugeWidth.size()));
    std::vector<uint8_t> rle = file;
    rle[30] = 1;  // run-length compression is not read
    EXPECT_FALSE(CreateInterBitmap(rle.data(), rle.size()));
    EXPECT_FALSE(CreateInterBitmap(nullptr, 100));

    // A 24-bit DIB has no table: no palette.
    std::vector<uint8_t> deep(file.begin() + 14, file.begin() + 54);
    deep[14] = 24;
    deep[32] = 0;
    deep.resize(deep.size() + 16, 0x7F);
    EXPECT_FALSE(CreatePaletteFromDIBitmap(deep.data(), deep.size()));
    auto pixels = CreateDDBFromPackedDIBitmap(deep.data(), deep.size());
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->Image().pixel(1, 1) & 0xFFFFFF, 0x7F7F7Fu);
}

}  // namespace
