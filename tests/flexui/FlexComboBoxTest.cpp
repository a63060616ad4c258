// Combo boxes with hidden values: adding, dictionaries, reading by index, selecting by value,
// replacing notes and rotating without notifications.
#include "flexui/FlexComboBox.h"

#include <gtest/gtest.h>

#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::NotifyHost;

class FlexComboBoxTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateHost());
        ASSERT_TRUE(combo_.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, RECT{10, 10, 150, 200},
                                  &host_, 200));
    }
    void TearDown() override {
        combo_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    NotifyHost host_;
    CFlexComboBox combo_;
};

TEST_F(FlexComboBoxTest, AddStringKeepsValuesBesideTheShownTexts) {
    EXPECT_EQ(combo_.AddString("0", "买入"), 0);
    EXPECT_EQ(combo_.AddString("S"), 1);  // an empty text shows the value
    EXPECT_EQ(combo_.AddString(int32_t{-12}, "负数"), 2);
    EXPECT_EQ(combo_.GetNote(0), "买入");
    EXPECT_EQ(combo_.GetNote(1), "S");
    EXPECT_EQ(combo_.GetString(2), "-12");
    EXPECT_EQ(combo_.GetLong(2), -12);
    // Nothing selected, or out of range: empty.
    EXPECT_EQ(combo_.GetString(-1), "");
    EXPECT_EQ(combo_.GetString(3), "");
    EXPECT_EQ(combo_.GetNote(7), "");
    combo_.ResetContent();
    EXPECT_EQ(combo_.GetCount(), 0);
    EXPECT_EQ(combo_.GetString(0), "");
}

TEST_F(FlexComboBoxTest, SetStringStopsAtTheFirstEmptyValue) {
    struct Case {
        const char* dictionary;
        std::vector<std::pair<std::string, std::string>> items;  // value, shown text
    };
    const Case cases[] = {
        {"0,买入|1,卖出", {{"0", "买入"}, {"1", "卖出"}}},
        {"A,|B,乙", {{"A", "A"}, {"B", "乙"}}},
        {"1,一||3,三", {{"1", "一"}}},
        {",空|1,一", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dictionary);
        combo_.SetString(c.dictionary);
        ASSERT_EQ(combo_.GetCount(), static_cast<int>(c.items.size()));
        for (size_t i = 0; i < c.items.size(); ++i) {
            EXPECT_EQ(combo_.GetString(static_cast<int>(i)), c.items[i].first);
            EXPECT_EQ(combo_.GetNote(static_cast<int>(i)), c.items[i].second);
        }
    }
}

TEST_F(FlexComboBoxTest, SetSelFindsTheValueAsTextOrNumberAndKeepsTheSelectionOtherwise) {
    combo_.SetString("01,甲|2,乙|2,丙");
    EXPECT_EQ(combo_.SetSel("2"), 1);  // the first of equal values
    EXPECT_EQ(combo_.GetCurSel(), 1);
    EXPECT_EQ(combo_.SetSel("1"), -1);  // texts compare exactly
    EXPECT_EQ(combo_.GetCurSel(), 1);
    EXPECT_EQ(combo_.SetSel(int32_t{1}), 0);  // "01" read as a number
    EXPECT_EQ(combo_.SetSel(int32_t{9}), -1);
    EXPECT_EQ(combo_.GetCurSel(), 0);
    EXPECT_EQ(combo_.GetString(), "01");
}

TEST_F(FlexComboBoxTest, SetNoteReplacesTheTextKeepingValueAndSelection) {
    combo_.SetString("1,一|2,二|3,三");
    combo_.SetCurSel(1);
    combo_.SetNote(-1, "两");
    EXPECT_EQ(combo_.GetCurSel(), 1);
    EXPECT_EQ(combo_.GetNote(1), "两");
    EXPECT_EQ(combo_.GetString(1), "2");
    combo_.SetNote(2, "叁");
    EXPECT_EQ(combo_.GetNote(2), "叁");
    EXPECT_EQ(combo_.GetCurSel(), 1);
    combo_.SetNote(5, "x");  // out of range: nothing
    EXPECT_EQ(combo_.GetCount(), 3);
}

TEST_F(FlexComboBoxTest, RotateWrapsBothWaysWithoutNotifying) {
    combo_.SetString("1,一|2,二|3,三");
    combo_.SetCurSel(2);
    combo_.Rotate(FALSE);
    EXPECT_EQ(combo_.GetCurSel(), 0);
    combo_.Rotate(TRUE);
    EXPECT_EQ(combo_.GetCurSel(), 2);
    combo_.Rotate(TRUE);
    EXPECT_EQ(combo_.GetCurSel(), 1);
    DrainEvents();
    EXPECT_EQ(host_.CountOf(200), 0);
    combo_.SetString("1,一");
    combo_.SetCurSel(0);
    combo_.Rotate(FALSE);  // one item: nothing
    EXPECT_EQ(combo_.GetCurSel(), 0);
}

}  // namespace
