// COwnerDrawComboBox: values beside texts, the first match by value, defined answers for
// unknown values and indexes, the item colours in the selection field only, and the height
// taken from the control's font.
#include "settings/controls/OwnerDrawComboBox.h"

#include <gtest/gtest.h>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;
using settings::controls::COwnerDrawComboBox;

constexpr COLORREF kDollarColor = RGB(200, 30, 30);

class OwnerDrawComboBoxTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 200}, nullptr, 0));
        ASSERT_TRUE(
            combo_.Create(WS_CHILD | WS_VISIBLE | CBS_SORT, RECT{10, 10, 190, 150}, &host_, 1100));
        // A bank code list as the transfer form fills it: codes stored, names shown.
        EXPECT_EQ(combo_.AddItem("1", "人民币"), 0);
        EXPECT_EQ(combo_.AddItem("2"), 1);
        EXPECT_EQ(combo_.AddItem("3", ""), 2);
        EXPECT_EQ(combo_.AddItem("1", "人民币(重复)"), 3);
        EXPECT_EQ(combo_.AddItem("USD", "美元", kDollarColor), 4);
        EXPECT_EQ(combo_.AddItem("usd", "美元(小写)"), 5);
    }
    void TearDown() override {
        combo_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }

    CWnd host_;
    COwnerDrawComboBox combo_;
};

TEST_F(OwnerDrawComboBoxTest, ItemsKeepTheirValuesBesideTheTextsShown) {
    EXPECT_TRUE(combo_.GetStyle() & CBS_OWNERDRAWFIXED);
    EXPECT_FALSE(combo_.GetStyle() & CBS_SORT) << "values follow the items by index";
    const struct {
        int index;
        const char* value;
        const char* text;
        COLORREF color;
    } items[] = {
        {0, "1", "人民币", COwnerDrawComboBox::kNoColor},
        {1, "2", "2", COwnerDrawComboBox::kNoColor},
        {2, "3", "3", COwnerDrawComboBox::kNoColor},
        {3, "1", "人民币(重复)", COwnerDrawComboBox::kNoColor},
        {4, "USD", "美元", kDollarColor},
        {6, "", "", COwnerDrawComboBox::kNoColor},
        {1000, "", "", COwnerDrawComboBox::kNoColor},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.index);
        EXPECT_EQ(combo_.GetItemValue(item.index), item.value);
        EXPECT_EQ(combo_.GetItemText(item.index), item.text);
        EXPECT_EQ(combo_.GetItemColor(item.index), item.color);
    }
    // Nothing selected: the selected item's value and text are empty.
    for (int index : {-1, -7}) {
        EXPECT_EQ(combo_.GetItemValue(index), "");
        EXPECT_EQ(combo_.GetItemText(index), "");
    }
}

TEST_F(OwnerDrawComboBoxTest, SelectValueTakesTheFirstExactMatchOrLeavesTheSelection) {
    const struct {
        const char* value;
        int result;
        int selected;  // after the call
    } cases[] = {
        {"1", 0, 0},                    // the first of the two items of value 1
        {"USD", 4, 4},  {"usd", 5, 5},  // case counts
        {"Usd", -1, 5},                 // no match: selection unchanged
        {"", -1, 5},    {"1 ", -1, 5}, {"3", 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(combo_.SelectValue(c.value), c.result);
        EXPECT_EQ(combo_.GetCurSel(), c.selected);
    }
    combo_.SelectValue("1");
    for (int index : {-1, -2}) {
        EXPECT_EQ(combo_.GetItemValue(index), "1");
        EXPECT_EQ(combo_.GetItemText(index), "人民币");
    }
    combo_.ResetContent();
    EXPECT_EQ(combo_.SelectValue("1"), -1);
    EXPECT_EQ(combo_.GetItemColor(4), COwnerDrawComboBox::kNoColor);
    EXPECT_EQ(combo_.AddItem("9", "新", RGB(1, 2, 3)), 0);
    EXPECT_EQ(combo_.GetItemColor(0), RGB(1, 2, 3)) << "colours start again with the items";
}

// One item drawn on a bitmap with the given state, as the combo box asks its parent.
COLORREF FillOf(COwnerDrawComboBox& combo, int item, UINT state, bool* drewText) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, 120, 20);
    CBitmap* old = dc.SelectObject(&bitmap);
    dc.SetBkColor(RGB(10, 20, 30));
    dc.SetTextColor(RGB(0, 0, 0));
    DRAWITEMSTRUCT draw;
    draw.CtlType = ODT_COMBOBOX;
    draw.itemID = static_cast<UINT>(item);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = state;
    draw.hwndItem = combo.m_hWnd;
    draw.hDC = &dc;
    draw.rcItem = RECT{0, 0, 120, 20};
    combo.DrawItem(&draw);
    const COLORREF fill = dc.GetPixel(119, 0);
    int other = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 120; ++x) other += dc.GetPixel(x, y) != fill;
    *drewText = other > 0;
    EXPECT_EQ(dc.GetBkColor(), RGB(10, 20, 30)) << "the context's colours come back";
    dc.SelectObject(old);
    return fill;
}

TEST_F(OwnerDrawComboBoxTest, TheItemColourPaintsOnlyTheSelectionField) {
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const struct {
        int item;
        UINT state;
        COLORREF fill;
        bool text;
    } cases[] = {
        {0, 0, RGB(10, 20, 30), true},  // the context's own colours
        {0, ODS_SELECTED, highlight, true},
        {4, 0, RGB(10, 20, 30), true},  // the open list: no item colour
        {4, ODS_SELECTED, highlight, true},
        {4, ODS_COMBOBOXEDIT, kDollarColor, true},  // the field: its colour
        {4, ODS_COMBOBOXEDIT | ODS_SELECTED, kDollarColor, true},
        {0, ODS_COMBOBOXEDIT | ODS_SELECTED, highlight, true},  // no colour of its own
        {-1, ODS_COMBOBOXEDIT, RGB(10, 20, 30), false},         // an empty field
        {-1, ODS_COMBOBOXEDIT | ODS_SELECTED, highlight, false},
        {77, ODS_COMBOBOXEDIT, RGB(10, 20, 30), false},  // an index past the items
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item << " state " << c.state);
        bool text = false;
        EXPECT_EQ(FillOf(combo_, c.item, c.state, &text), c.fill);
        EXPECT_EQ(text, c.text);
    }

    // The closed combo box as shown.
    combo_.SelectValue("USD");
    DrainEvents();
    RECT all{};
    combo_.GetClientRect(&all);
    EXPECT_GT(PixelProbe(combo_.GetWidget()).Count(kDollarColor, all), 100);
    EXPECT_TRUE(host_.GetWidget()->grab().toImage().save(kelmon::test::ui::ScreenshotDir() +
                                                         "/settings_controls_combo_colour.png"));
    combo_.SelectValue("2");
    DrainEvents();
    EXPECT_EQ(PixelProbe(combo_.GetWidget()).Count(kDollarColor, all), 0);
}

TEST_F(OwnerDrawComboBoxTest, RowsAndFieldAreAsHighAsTheTextInTheControlsFont) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    if (CFont* font = reinterpret_cast<CFont*>(combo_.SendMessage(WM_GETFONT)))
        dc.SelectObject(font);
    const int height = dc.GetTextExtent(COwnerDrawComboBox::kMeasureText).cy;
    ASSERT_GT(height, 0);
    EXPECT_EQ(combo_.SendMessage(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)), height);
    EXPECT_EQ(combo_.SendMessage(CB_GETITEMHEIGHT, 0), height);
    MEASUREITEMSTRUCT measure;
    combo_.MeasureItem(&measure);
    EXPECT_EQ(static_cast<int>(measure.itemHeight), height);
}

}  // namespace
