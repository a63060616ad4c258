// Colour picker: the fixed list, named and custom colours, the custom colour dialog confirmed
// or cancelled, and the owner-drawn swatches.
#include "flexui/ColorPickCtrl.h"

#include <gtest/gtest.h>

#include "platform/ui/WinDefsControls.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::NotifyHost;

class ColorPickCtrlTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateHost());
        ASSERT_TRUE(
            pick_.Create(WS_CHILD | WS_VISIBLE | CBS_SORT, RECT{10, 10, 160, 300}, &host_, 300));
    }
    void TearDown() override {
        pick_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    int Selected() { return static_cast<int>(pick_.SendMessage(CB_GETCURSEL)); }
    // The list closing on the current item, as the user's pick does.
    void Pick(int item) {
        pick_.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(item));
        host_.SendMessage(WM_COMMAND, MAKEWPARAM(300, CBN_SELENDOK),
                          static_cast<LPARAM>(pick_.GetSafeHwnd()));
    }

    NotifyHost host_;
    CColorPickCtrl pick_;
};

TEST_F(ColorPickCtrlTest, ListHoldsTheEighteenFixedItemsInOrder) {
    const DWORD style = pick_.GetStyle();
    EXPECT_EQ(style & CBS_SORT, 0u);
    EXPECT_EQ(style & (CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS),
              CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
    ASSERT_EQ(pick_.SendMessage(CB_GETCOUNT), kColorPickItems);
    char text[32] = {};
    pick_.SendMessage(CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "褐紫红色");
    EXPECT_EQ(static_cast<COLORREF>(pick_.SendMessage(CB_GETITEMDATA, 13)), RGB(0, 0, 255));
    EXPECT_EQ(pick_.GetActiveColor(), kColorPickDefault);
}

TEST_F(ColorPickCtrlTest, SetActiveColorSelectsDefaultNamedOrOther) {
    struct Case {
        COLORREF color;
        int item;
    };
    const Case cases[] = {
        {kColorPickDefault, 0},   {RGB(0, 0, 0), 1},  {RGB(255, 0, 0), 10},
        {RGB(255, 255, 255), 16}, {RGB(1, 2, 3), 17}, {RGB(128, 0, 128), 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        pick_.SetActiveColor(c.color);
        EXPECT_EQ(Selected(), c.item);
        EXPECT_EQ(pick_.GetActiveColor(), c.color);
    }
    EXPECT_EQ(static_cast<COLORREF>(pick_.SendMessage(CB_GETITEMDATA, 17)), RGB(1, 2, 3));
}

TEST_F(ColorPickCtrlTest, PickingANamedItemOrDefaultSetsTheColour) {
    Pick(3);
    EXPECT_EQ(pick_.GetActiveColor(), RGB(0, 128, 0));
    Pick(0);
    EXPECT_EQ(pick_.GetActiveColor(), kColorPickDefault);
    EXPECT_TRUE(services_.CallsOf("ChooseColor").empty());
}

TEST_F(ColorPickCtrlTest, OtherOpensTheDialogAndCancellingKeepsThePreviousColour) {
    pick_.SetActiveColor(RGB(255, 0, 0));
    services_.AnswerColor(std::nullopt);
    Pick(kColorPickOther);
    EXPECT_EQ(services_.CallsOf("ChooseColor").size(), 1u);
    EXPECT_EQ(pick_.GetActiveColor(), RGB(255, 0, 0));
    EXPECT_EQ(Selected(), 10);
}

TEST_F(ColorPickCtrlTest, OtherConfirmedWithANamedColourSelectsTheNamedItem) {
    services_.AnswerColor(RGB(0, 0, 128));
    Pick(kColorPickOther);
    EXPECT_EQ(pick_.GetActiveColor(), RGB(0, 0, 128));
    EXPECT_EQ(Selected(), 5);
    services_.AnswerColor(RGB(10, 20, 30));
    Pick(kColorPickOther);
    EXPECT_EQ(pick_.GetActiveColor(), RGB(10, 20, 30));
    EXPECT_EQ(Selected(), kColorPickOther);
}

TEST_F(ColorPickCtrlTest, SelectionFieldShowsTheSwatchOfTheCurrentColour) {
    pick_.SetActiveColor(RGB(255, 0, 0));
    DrainEvents();
    kelmon::test::ui::PixelProbe probe(pick_.GetWidget());
    // Somewhere in the 40-pixel swatch of the field the colour shows.
    int red = 0;
    for (int x = 2; x < 40; ++x)
        for (int y = 2; y < probe.Height() - 2; ++y)
            if (probe.At(x, y) == RGB(255, 0, 0)) ++red;
    EXPECT_GT(red, 20);
}

}  // namespace
