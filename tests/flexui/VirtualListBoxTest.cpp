// CVirtualListBox: storage exchanged with the caller, out-of-range texts, string selection and
// the owner-drawn rows.
#include "flexui/VirtualListBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

class VirtualListBoxTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300}, nullptr, 0));
        ASSERT_TRUE(list_.Create(0, RECT{0, 0, 200, 200}, &host_, 9));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    CWnd host_;
    CVirtualListBox list_;
};

TEST_F(VirtualListBoxTest, TheVectorsAreExchangedAndOutOfRangeTextsAreEmpty) {
    EXPECT_TRUE(list_.GetStyle() & LBS_NODATA);
    std::vector<std::string> texts{"IF2412", "IC2412", "IH2412"};
    std::vector<int> values{1, 2, 3};
    list_.AppendData(texts, values);
    EXPECT_TRUE(texts.empty()) << "the caller gets the list's previous (empty) storage";
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(list_.GetCount(), 3);
    EXPECT_EQ(list_.GetValues(), (std::vector<int>{1, 2, 3}));

    std::vector<std::string> next{"cu2501", "al2501"};
    list_.AppendData(next);
    EXPECT_TRUE(next.empty()) << "the old texts were dropped";
    EXPECT_EQ(list_.GetCount(), 2);
    std::string text = "x";
    for (int index : {-1, 2, 99}) {
        list_.GetText(index, text);
        EXPECT_EQ(text, "") << index;
    }
    list_.GetText(1, text);
    EXPECT_EQ(text, "al2501");
    list_.GetCurSelText(text);
    EXPECT_EQ(text, "") << "nothing selected";

    list_.ResetContent();
    EXPECT_EQ(list_.GetCount(), 0);
}

TEST_F(VirtualListBoxTest, SelectStringSearchesFromTheStartIndex) {
    std::vector<std::string> texts{"豆粕", "玉米", "豆粕", "棉花"};
    list_.AppendData(texts);
    EXPECT_EQ(list_.SelectString(-1, "豆粕"), 0);
    EXPECT_EQ(list_.SelectString(1, "豆粕"), 2);
    std::string text;
    list_.GetCurSelText(text);
    EXPECT_EQ(text, "豆粕");
    EXPECT_EQ(list_.GetCurSel(), 2);
    EXPECT_EQ(list_.SelectString(3, "豆粕"), -1);
    EXPECT_EQ(list_.GetCurSel(), 2) << "no match: the selection stays";
    EXPECT_EQ(list_.SelectString(0, "豆"), -1) << "whole texts only";
}

TEST_F(VirtualListBoxTest, RowsAreDrawnWithTheSelectionHighlighted) {
    std::vector<std::string> texts{"一", "二", "三"};
    list_.AppendData(texts);
    list_.SetCurSel(1);
    DrainEvents();
    kelmon::test::ui::PixelProbe probe(list_.GetWidget());
    const int rowHeight = static_cast<int>(list_.SendMessage(LB_GETITEMHEIGHT));
    ASSERT_GT(rowHeight, 0);
    EXPECT_EQ(probe.At(150, rowHeight + rowHeight / 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(probe.At(150, rowHeight / 2), RGB(255, 255, 255));
}

}  // namespace
