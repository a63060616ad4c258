// Split button: texts with values, stepping on a click, choosing from the drop menu, and the
// notifications the parent gets for each.
#include "flexui/SplitButtonXp.h"

#include <gtest/gtest.h>

#include <QTest>

#include "platform/ui/WinDefsControls.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::MenuDriver;
using kelmon::test::ui::NotifyHost;

class SplitButtonXpTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateHost());
        ASSERT_TRUE(split_.Create("", WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 34}, &host_, 400));
    }
    void TearDown() override {
        split_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Click(int x) {
        QTest::mouseClick(split_.GetWidget(), Qt::LeftButton, {}, QPoint(x, 12));
        DrainEvents();
    }
    NotifyHost host_;
    CSplitButtonXp split_;
};

TEST_F(SplitButtonXpTest, EntriesValuesAndTheShownText) {
    EXPECT_EQ(split_.GetIndex(), -1);
    EXPECT_EQ(split_.GetCurSel(), 0);
    EXPECT_EQ(split_.AddString("限价", 1), 0);
    EXPECT_EQ(split_.AddString("市价", 2), 1);
    EXPECT_EQ(split_.AddString("对价", 2), 2);
    EXPECT_EQ(split_.GetIndex(), 0);
    EXPECT_EQ(split_.GetWindowText(), "限价");
    split_.SetCurSel(2);  // the last entry with the value
    EXPECT_EQ(split_.GetIndex(), 2);
    EXPECT_EQ(split_.GetWindowText(), "对价");
    EXPECT_EQ(split_.SetIndex(9), 1);  // invalid: nothing changes, still 1
    EXPECT_EQ(split_.GetIndex(), 2);
    split_.ResetContext();
    EXPECT_EQ(split_.GetIndex(), -1);
    EXPECT_EQ(split_.GetCurSel(), 0);
    EXPECT_EQ(split_.GetWindowText(), "对价");  // the shown text stays
    DrainEvents();
    EXPECT_EQ(host_.CountOf(400), 0);
}

TEST_F(SplitButtonXpTest, ClickStepsWrappingAndNotifiesOnceWithCodeNine) {
    split_.AddString("一", 1);
    split_.AddString("二", 2);
    Click(20);
    EXPECT_EQ(split_.GetIndex(), 1);
    EXPECT_EQ(host_.Count(400, SPLITBN_SELCHANGE), 1);
    EXPECT_EQ(host_.Count(400, BN_CLICKED), 0);
    Click(20);
    EXPECT_EQ(split_.GetIndex(), 0);
    EXPECT_EQ(split_.GetWindowText(), "一");
    EXPECT_EQ(host_.Count(400, SPLITBN_SELCHANGE), 2);
}

TEST_F(SplitButtonXpTest, WithOneEntryAClickIsAPlainClick) {
    split_.AddString("一", 1);
    MenuDriver menus;
    Click(95);  // even on the drop part: no menu
    Click(20);
    EXPECT_EQ(menus.Shown(), 0);
    EXPECT_EQ(split_.GetIndex(), 0);
    EXPECT_EQ(host_.Count(400, SPLITBN_SELCHANGE), 0);
    EXPECT_EQ(host_.Count(400, BN_CLICKED), 2);
}

TEST_F(SplitButtonXpTest, DropPartOpensTheMenuAndAChoiceNotifiesOnce) {
    split_.AddString("一", 1);
    split_.AddString("二", 2);
    split_.AddString("三", 3);
    MenuDriver menus;
    menus.ChooseNext(3);
    Click(100);
    EXPECT_EQ(menus.Shown(), 1);
    EXPECT_EQ(menus.LastTexts(), (QStringList{"一", "二", "三"}));
    EXPECT_EQ(split_.GetIndex(), 2);
    EXPECT_EQ(split_.GetCurSel(), 3);
    EXPECT_EQ(host_.Count(400, SPLITBN_SELCHANGE), 1);
    EXPECT_EQ(host_.Count(400, BN_CLICKED), 0);
    EXPECT_EQ(split_.GetSplitState() & CSplitButtonXp::kMenuOpen, 0u);
    menus.CancelNext();
    Click(100);
    EXPECT_EQ(split_.GetIndex(), 2);
    EXPECT_EQ(host_.Count(400, SPLITBN_SELCHANGE), 1);
}

}  // namespace
