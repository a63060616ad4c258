// Text: DrawText alignment, end ellipsis, word breaks, prefixes and measuring, checked against
// the context's own metrics (GetTextExtent, GetTextMetrics); fonts and their face mapping.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>

#include "DrawCanvas.h"
#include "platform/ui/Dc.h"
#include "platform/ui/FontMapping.h"

namespace {

using kelmon::test::ui::Canvas;

constexpr COLORREF kWhite = RGB(255, 255, 255);

class DrawTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        LOGFONT lf;
        lf.lfHeight = -12;
        platform::ui::SetLogFontFace(&lf, "宋体");
        ASSERT_TRUE(font_.CreateFontIndirect(&lf));
    }
    // A canvas with the font, black text on a transparent background.
    std::unique_ptr<Canvas> MakeCanvas(int width, int height) {
        auto c = std::make_unique<Canvas>(width, height);
        c->dc.SelectObject(&font_);
        c->dc.SetBkMode(TRANSPARENT);
        return c;
    }
    CFont font_;
};

TEST_F(DrawTextTest, SingleLineAlignmentPlacesTheTextByItsMeasuredExtent) {
    const std::string text = "合约 IF2412";
    const RECT box{10, 5, 190, 45};
    auto left = MakeCanvas(200, 50);
    const SIZE extent = left->dc.GetTextExtent(text);
    TEXTMETRIC tm;
    ASSERT_TRUE(left->dc.GetTextMetrics(&tm));
    EXPECT_EQ(extent.cy, tm.tmHeight);
    ASSERT_GT(extent.cx, 0);

    RECT r = box;
    left->dc.DrawText(text, &r, DT_LEFT | DT_TOP | DT_SINGLELINE);
    const RECT inkLeft = left->InkBox(kWhite);
    ASSERT_GT(inkLeft.right, 0);
    EXPECT_GE(inkLeft.left, box.left);
    EXPECT_LE(inkLeft.right, box.left + extent.cx + 1);

    struct Case {
        UINT format;
        int dx;
        int dy;
    };
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    const Case cases[] = {
        {DT_CENTER | DT_SINGLELINE, (box.left + box.right - extent.cx) / 2 - box.left, 0},
        {DT_RIGHT | DT_SINGLELINE, width - extent.cx, 0},
        {DT_LEFT | DT_VCENTER | DT_SINGLELINE, 0,
         (box.top + box.bottom - tm.tmHeight) / 2 - box.top},
        {DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, width - extent.cx, height - tm.tmHeight},
    };
    for (const Case& c : cases) {
        auto canvas = MakeCanvas(200, 50);
        RECT rr = box;
        canvas->dc.DrawText(text, &rr, c.format);
        const RECT ink = canvas->InkBox(kWhite);
        EXPECT_EQ(ink.left - inkLeft.left, c.dx) << std::hex << c.format;
        EXPECT_EQ(ink.top - inkLeft.top, c.dy) << std::hex << c.format;
        EXPECT_EQ(ink.right - ink.left, inkLeft.right - inkLeft.left) << std::hex << c.format;
    }
}

TEST_F(DrawTextTest, EndEllipsisKeepsTheLongestHeadThatFitsWithTheDots) {
    const std::string text = "上海期货交易所螺纹钢主力合约";
    auto probe = MakeCanvas(10, 10);
    const int width = probe->dc.GetTextExtent(text).cx / 2;
    // The expected text, found with the context's own measure.
    std::u32string chars = QString::fromStdString(text).toStdU32String();
    std::string expected;
    for (size_t n = chars.size(); n-- > 0;) {
        std::string head = QString::fromStdU32String(chars.substr(0, n)).toStdString() + "...";
        if (probe->dc.GetTextExtent(head).cx <= width) {
            expected = head;
            break;
        }
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(probe->dc.EllipsizeText(text, width), expected);

    auto drawn = MakeCanvas(200, 20);
    RECT r{0, 0, width, 20};
    drawn->dc.DrawText(text, &r, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    auto reference = MakeCanvas(200, 20);
    reference->dc.TextOut(0, 0, expected);
    EXPECT_EQ(drawn->bitmap.Image(), reference->bitmap.Image());
    EXPECT_LE(drawn->InkBox(kWhite).right, width);

    // Text that fits is left whole.
    EXPECT_EQ(probe->dc.EllipsizeText("短", width), "短");
}

TEST_F(DrawTextTest, CalcRectMeasuresWithoutDrawing) {
    auto c = MakeCanvas(100, 100);
    TEXTMETRIC tm;
    c->dc.GetTextMetrics(&tm);
    RECT r{5, 5, 5, 5};
    const int height = c->dc.DrawText("买入开仓", &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(height, tm.tmHeight);
    EXPECT_EQ(r.right - r.left, c->dc.GetTextExtent("买入开仓").cx);
    EXPECT_EQ(r.bottom - r.top, tm.tmHeight);
    EXPECT_EQ(c->InkBox(kWhite), RECT{}) << "nothing drawn";

    // Word breaks: a narrow box gives several lines, none wider than the box unless a single
    // word is.
    const int narrow = c->dc.GetTextExtent("四个汉字").cx;
    RECT w{0, 0, narrow, 0};
    const int lines =
        c->dc.DrawText("平仓 今仓 昨仓 全部平仓完成", &w, DT_CALCRECT | DT_WORDBREAK) / tm.tmHeight;
    EXPECT_GE(lines, 3);
    EXPECT_EQ(w.right, narrow);

    RECT counted{0, 0, 0, 0};
    c->dc.DrawText("bbXX", 2, &counted, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(counted.right, c->dc.GetTextExtent("bb").cx);

    RECT two{0, 0, 0, 0};
    EXPECT_EQ(c->dc.DrawText("a\nbb", &two, DT_CALCRECT), 2 * tm.tmHeight);
    EXPECT_EQ(two.right, c->dc.GetTextExtent("bb").cx);
}

TEST_F(DrawTextTest, VerticalCentreReturnsTheOffsetToTheTextBottom) {
    auto c = MakeCanvas(100, 60);
    TEXTMETRIC tm;
    c->dc.GetTextMetrics(&tm);
    RECT r{0, 0, 100, 60};
    EXPECT_EQ(c->dc.DrawText("X", &r, DT_SINGLELINE | DT_VCENTER),
              (60 - tm.tmHeight) / 2 + tm.tmHeight);
    EXPECT_EQ(c->dc.DrawText("X", &r, DT_SINGLELINE), tm.tmHeight);
}

TEST_F(DrawTextTest, PrefixesUnderlineUnlessNoPrefix) {
    auto plain = MakeCanvas(60, 20);
    auto prefixed = MakeCanvas(60, 20);
    auto literal = MakeCanvas(60, 20);
    RECT r{0, 0, 60, 20};
    plain->dc.DrawText("AB", &r, DT_SINGLELINE | DT_NOPREFIX);
    prefixed->dc.DrawText("&AB", &r, DT_SINGLELINE);
    literal->dc.DrawText("&AB", &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_NE(plain->bitmap.Image(), prefixed->bitmap.Image()) << "the A is underlined";
    EXPECT_EQ(plain->InkBox(kWhite).left, prefixed->InkBox(kWhite).left);
    EXPECT_GT(literal->InkBox(kWhite).right, plain->InkBox(kWhite).right) << "'&' shown";

    auto doubled = MakeCanvas(60, 20);
    auto amp = MakeCanvas(60, 20);
    doubled->dc.DrawText("A&&B", &r, DT_SINGLELINE);
    amp->dc.DrawText("A&B", &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(doubled->bitmap.Image(), amp->bitmap.Image());
}

TEST_F(DrawTextTest, OpaqueTextFillsItsCellAndTextAlignMovesTheReferencePoint) {
    auto c = MakeCanvas(100, 30);
    c->dc.SetBkMode(OPAQUE);
    c->dc.SetBkColor(RGB(0, 0, 255));
    c->dc.TextOut(10, 5, "Ab");
    const SIZE extent = c->dc.GetTextExtent("Ab");
    EXPECT_EQ(c->At(10, 5), RGB(0, 0, 255));
    EXPECT_EQ(c->At(10 + extent.cx - 1, 5 + extent.cy - 1), RGB(0, 0, 255));
    EXPECT_EQ(c->At(10 + extent.cx, 5), kWhite);

    auto right = MakeCanvas(100, 30);
    right->dc.SetTextAlign(TA_RIGHT | TA_TOP);
    right->dc.TextOut(90, 5, "Ab");
    auto left = MakeCanvas(100, 30);
    left->dc.TextOut(90 - extent.cx, 5, "Ab");
    EXPECT_EQ(right->bitmap.Image(), left->bitmap.Image());
}

TEST(FontMappingTest, WindowsFaceNamesMapOntoOneInstalledCjkFont) {
    const std::string cjk = platform::ui::MapFaceName("宋体");
    ASSERT_TRUE(QFontDatabase::families().contains(QString::fromStdString(cjk)))
        << "mapped to " << cjk;
    for (const char* face : {"宋体", "黑体", "MS Sans Serif", "Arial"}) {
        EXPECT_EQ(platform::ui::MapFaceName(face), cjk) << face;
        LOGFONT lf;
        lf.lfHeight = -12;
        platform::ui::SetLogFontFace(&lf, face);
        CFont font;
        ASSERT_TRUE(font.CreateFontIndirect(&lf));
        EXPECT_EQ(QFontInfo(font.Font()).family().toStdString(), cjk) << face;
    }
    EXPECT_NE(platform::ui::MapFaceName("Courier New"), "Courier New");
}

TEST(FontMappingTest, HeightsFollowTheCharacterAndCellRules) {
    Canvas c(10, 10);
    for (int size : {9, 12, 16, 24}) {
        CFont character, cell;
        character.CreateFont(-size, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                             "宋体");
        cell.CreateFont(size + 4, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
        EXPECT_EQ(character.Font().pixelSize(), size);
        c.dc.SelectObject(&cell);
        TEXTMETRIC tm;
        c.dc.GetTextMetrics(&tm);
        EXPECT_LE(tm.tmHeight, size + 4) << size;
        EXPECT_GE(tm.tmHeight, size + 2) << size;
    }
    CFont bold, points;
    bold.CreateFont(-12, 0, 0, 0, FW_BOLD, 1, 1, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "黑体");
    EXPECT_EQ(bold.Font().weight(), QFont::Bold);
    EXPECT_TRUE(bold.Font().italic());
    EXPECT_TRUE(bold.Font().underline());
    points.CreatePointFont(90, "宋体");
    LOGFONT lf;
    points.GetLogFont(&lf);
    EXPECT_EQ(lf.lfHeight, -12) << "9 points at 96 dpi";
}

TEST(FontMappingTest, LongFaceNamesAreCutOnACharacter) {
    LOGFONT lf;
    platform::ui::SetLogFontFace(&lf, "一二三四五六七八九十一二三四五六");
    const std::string face(lf.lfFaceName);
    EXPECT_LT(face.size(), static_cast<size_t>(LF_FACESIZE));
    EXPECT_EQ(face.size() % 3, 0u);
}

}  // namespace
