// CFlexToolBar: the text modes of LoadToolBar with texts from the string lookup, the three forms
// of SetBitmap and their image lists, and the per-button info and widths.
#include "flexui/FlexToolBar.h"

#include <gtest/gtest.h>

#include <utility>

#include <QColor>
#include <QImage>
#include <fstream>

#include "platform/ui/DialogResources.h"
#include "platform/ui/GdiObjects.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"

namespace {

// Sizes compared as (cx, cy) pairs.
std::pair<LONG, LONG> Dims(SIZE size) { return {size.cx, size.cy}; }

using kelmon::test::ui::UiTest;

constexpr COLORREF kMagenta = RGB(255, 0, 255);

class FlexToolBarTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 500, 200},
                                   nullptr, 0));
        std::ofstream(dir_.file("300_trade.tbr")) << "TOOLBAR 300, 16, 15\n"
                                                     "BUTTON 701\nSEPARATOR\nBUTTON 702\n"
                                                     "BUTTON 703\n";
        platform::ui::RegisterDialogModule("flextoolbar-test", dir_.path().string());
        platform::ui::SetStringResourceLookup([](UINT id) -> std::string {
            switch (id) {
                case 701:
                    return "以买价开仓\n买入";
                case 702:
                    return "卖出";
                default:
                    return "";
            }
        });
    }
    void TearDown() override {
        bar_.DestroyWindow();
        host_.DestroyWindow();
        platform::ui::SetStringResourceLookup(nullptr);
        platform::ui::RegisterDialogModule("flextoolbar-test", "/nonexistent");
        UiTest::TearDown();
    }
    int Width(int index) const { return WidthOf(bar_, index); }
    static int WidthOf(const CToolBar& bar, int index) {
        RECT rect;
        bar.GetItemRect(index, &rect);
        return rect.right - rect.left;
    }
    testsupport::TempDir dir_;
    CWnd host_;
    CFlexToolBar bar_;
};

TEST_F(FlexToolBarTest, TextModesSetTextsStylesAndFitTheButtons) {
    const struct {
        int mode;
        bool texts, flat, list;
    } cases[] = {{0, false, false, false},
                 {1, true, true, false},
                 {2, true, false, true},
                 {7, false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        CFlexToolBar bar;
        ASSERT_TRUE(bar.Create(&host_));
        EXPECT_FALSE(bar.LoadToolBar(301, c.mode));
        ASSERT_TRUE(bar.LoadToolBar(300, c.mode));
        ASSERT_EQ(bar.GetCount(), 4);
        EXPECT_EQ(bar.GetButtonText(0), c.texts ? "买入" : "") << "after the last line break";
        EXPECT_EQ(bar.GetButtonText(2), c.texts ? "卖出" : "");
        EXPECT_EQ(bar.GetButtonText(3), "") << "a command without a string";
        EXPECT_EQ(bar.GetButtonText(1), "") << "separators get no text";
        EXPECT_EQ((bar.GetStyle() & TBSTYLE_FLAT) != 0, c.flat);
        EXPECT_EQ((bar.GetStyle() & TBSTYLE_LIST) != 0, c.list);
        EXPECT_EQ((bar.GetButtonStyle(0) & TBSTYLE_AUTOSIZE) != 0, c.list);
        EXPECT_EQ(bar.GetButtonStyle(1), UINT{TBSTYLE_SEP});
        EXPECT_EQ(Dims(bar.GetImageSize()), Dims(SIZE{16, 15}));
        const SIZE button = bar.GetButtonSize();
        for (int i : {0, 2, 3}) {
            EXPECT_GE(button.cx, bar.NeededButtonSize(i).cx) << i;
            EXPECT_GE(button.cy, bar.NeededButtonSize(i).cy) << i;
        }
        if (c.flat) {
            EXPECT_GT(button.cy, 15 + CToolBar::kButtonPadY) << "room for the text below";
        } else if (c.list) {
            EXPECT_GT(button.cx, 16 + 4 + CToolBar::kButtonPadX) << "room for the text beside";
        } else {
            EXPECT_EQ(Dims(button),
                      Dims(SIZE{16 + CToolBar::kButtonPadX, 15 + CToolBar::kButtonPadY}));
        }
        if (c.list) {
            EXPECT_LT(WidthOf(bar, 3), WidthOf(bar, 0))
                << "auto-sized: a button without text is narrower";
        }
        bar.DestroyWindow();
    }
}

TEST_F(FlexToolBarTest, OneBitmapGivesTheNormalImages) {
    ASSERT_TRUE(bar_.Create(&host_));
    QImage cells(60, 18, QImage::Format_RGB32);
    cells.fill(QColor(0, 128, 0));
    cells.setPixelColor(0, 0, QColor(255, 0, 255));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateFromImage(cells));
    ASSERT_TRUE(bar_.SetBitmap(&bitmap, 20, kMagenta));
    CImageList* normal = bar_.GetImageList();
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(normal->GetImageCount(), 3);
    EXPECT_EQ(Dims(bar_.GetImageSize()), Dims(SIZE{20, 18})) << "as high as the bitmap";
    EXPECT_EQ(qAlpha(normal->GetImage(0).pixel(0, 0)), 0) << "the mask colour is transparent";
    EXPECT_EQ(qAlpha(normal->GetImage(0).pixel(1, 0)), 255);
    EXPECT_EQ(bar_.GetHotImageList(), nullptr);
    EXPECT_EQ(bar_.GetDisabledImageList(), nullptr);

    EXPECT_FALSE(bar_.SetBitmap(static_cast<HBITMAP>(nullptr), 20, kMagenta));
    EXPECT_FALSE(bar_.SetBitmap(&bitmap, 0, kMagenta));
    EXPECT_EQ(bar_.GetImageList(), normal) << "a failed call keeps the images";
}

TEST_F(FlexToolBarTest, BitmapsByIdComeFromTheNamedOrCurrentModule) {
    ASSERT_TRUE(bar_.Create(&host_));
    ASSERT_TRUE(bar_.SetBitmap(104u, 18, kMagenta, "pavlet"));
    EXPECT_EQ(bar_.GetImageList()->GetImageCount(), 4);
    EXPECT_EQ(Dims(bar_.GetImageSize()), Dims(SIZE{18, 18}));
    {
        platform::ui::ScopedResourceModule current("kelmon");
        EXPECT_FALSE(bar_.SetBitmap(104u, 18, kMagenta)) << "the program has no bitmap 104";
    }
    {
        platform::ui::ScopedResourceModule current("pavlet");
        EXPECT_TRUE(bar_.SetBitmap(104u, 18, kMagenta));
    }

    // Normal, hot and disabled: the library's frame templates 100 and 101 (5 cells of 22).
    ASSERT_TRUE(bar_.SetBitmap(100u, 101u, 0u, 22, kMagenta, "pavlet"));
    ASSERT_NE(bar_.GetHotImageList(), nullptr);
    EXPECT_EQ(bar_.GetHotImageList()->GetImageCount(), 5);
    EXPECT_EQ(bar_.GetDisabledImageList(), nullptr) << "id 0: no disabled images";
    ASSERT_TRUE(bar_.SetBitmap(100u, 999u, 101u, 22, kMagenta, "pavlet"));
    EXPECT_EQ(bar_.GetHotImageList(), nullptr) << "an unknown hot bitmap";
    ASSERT_NE(bar_.GetDisabledImageList(), nullptr);
    EXPECT_EQ(bar_.GetDisabledImageList()->GetImageCount(), 5);
    EXPECT_EQ(bar_.GetImageList()->GetImageCount(), 5);
    EXPECT_FALSE(bar_.SetBitmap(999u, 100u, 101u, 22, kMagenta, "pavlet"))
        << "no normal images, no lists";
    EXPECT_NE(bar_.GetDisabledImageList(), nullptr) << "the earlier lists stay";
}

TEST_F(FlexToolBarTest, ButtonInfoAndWidths) {
    ASSERT_TRUE(bar_.Create(&host_));
    ASSERT_TRUE(bar_.LoadToolBar(300));
    bar_.UpdateButtonInfo(702, 5, TBSTYLE_CHECK, "平仓");
    UINT id = 0, style = 0;
    int image = 0;
    bar_.GetButtonInfo(2, id, style, image);
    EXPECT_EQ(id, 702u);
    EXPECT_EQ(style, UINT{TBSTYLE_CHECK | TBSTYLE_AUTOSIZE}) << "a text adds auto-size";
    EXPECT_EQ(image, 5);
    EXPECT_EQ(bar_.GetButtonText(2), "平仓");
    EXPECT_EQ(Width(2), bar_.NeededButtonSize(2).cx);

    bar_.UpdateButtonInfo(702, 1, TBSTYLE_BUTTON, "");
    bar_.GetButtonInfo(2, id, style, image);
    EXPECT_EQ(style, UINT{TBSTYLE_BUTTON});
    EXPECT_EQ(bar_.GetButtonText(2), "");
    EXPECT_EQ(Width(2), 16 + 6) << "without text: the image width + 6";

    bar_.SetButtonWidth(703, 61);
    EXPECT_EQ(Width(3), 61);
    bar_.SetButtonWidth(999, 61);
    bar_.UpdateButtonInfo(999, 1, TBSTYLE_BUTTON, "x");
    EXPECT_EQ(bar_.CommandToIndex(999), -1) << "unknown commands change nothing";
    EXPECT_EQ(Width(0), bar_.GetButtonSize().cx);
}

}  // namespace
