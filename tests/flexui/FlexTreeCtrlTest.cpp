// CFlexTreeCtrl: three-state checks (descendants follow, ancestors recomputed), out-of-range
// states, and a click on the check image.
#include "flexui/FlexTreeCtrl.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

class FlexTreeCtrlTest : public UiTest {
public:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300}, nullptr, 0));
        ASSERT_TRUE(tree_.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT,
                                 RECT{0, 0, 300, 300}, &host_, 5));
        // root: a (a1, a2 (a21, a22)), b
        a_ = tree_.InsertItem("期货");
        a1_ = tree_.InsertItem("上期所", a_);
        a2_ = tree_.InsertItem("大商所", a_);
        a21_ = tree_.InsertItem("豆粕", a2_);
        a22_ = tree_.InsertItem("玉米", a2_);
        b_ = tree_.InsertItem("期权");
        tree_.SendMessage(TVM_EXPAND, TVE_EXPAND, a_);
        tree_.SendMessage(TVM_EXPAND, TVE_EXPAND, a2_);
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    std::vector<int> States() const {
        std::vector<int> out;
        for (HTREEITEM item : {a_, a1_, a2_, a21_, a22_, b_})
            out.push_back(tree_.GetCheckImage(item));
        return out;
    }
    CWnd host_;
    CFlexTreeCtrl tree_;
    HTREEITEM a_ = 0, a1_ = 0, a2_ = 0, a21_ = 0, a22_ = 0, b_ = 0;
};

TEST_F(FlexTreeCtrlTest, DescendantsFollowAndAncestorsAreRecomputed) {
    EXPECT_EQ(States(), (std::vector<int>{0, 0, 0, 0, 0, 0})) << "new items are unchecked";
    struct Step {
        HTREEITEM FlexTreeCtrlTest::*item;
        int state;
        std::vector<int> after;  // a, a1, a2, a21, a22, b
    };
    const Step steps[] = {
        {&FlexTreeCtrlTest::a21_, 1, {2, 0, 2, 1, 0, 0}},
        {&FlexTreeCtrlTest::a22_, 1, {2, 0, 1, 1, 1, 0}},
        {&FlexTreeCtrlTest::a1_, 1, {1, 1, 1, 1, 1, 0}},
        {&FlexTreeCtrlTest::a_, 0, {0, 0, 0, 0, 0, 0}},
        {&FlexTreeCtrlTest::a_, 1, {1, 1, 1, 1, 1, 0}},
        {&FlexTreeCtrlTest::a2_, 2, {2, 1, 2, 0, 0, 0}},  // partly: descendants cleared
        {&FlexTreeCtrlTest::a2_, 7, {2, 1, 0, 0, 0, 0}},  // 7 counts as unchecked
        {&FlexTreeCtrlTest::a1_, -1, {0, 0, 0, 0, 0, 0}},
        {&FlexTreeCtrlTest::b_, 1, {0, 0, 0, 0, 0, 1}},
    };
    for (const Step& s : steps) {
        tree_.SetCheckImage(this->*s.item, s.state);
        EXPECT_EQ(States(), s.after) << "after setting state " << s.state;
    }
}

TEST_F(FlexTreeCtrlTest, AClickOnTheCheckImageToggles) {
    DrainEvents();
    RECT label{};
    *reinterpret_cast<HTREEITEM*>(&label) = a21_;
    ASSERT_TRUE(tree_.SendMessage(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label)));
    // The check image lies left of the label; find it by hit-testing along the row.
    POINT at{-1, (label.top + label.bottom) / 2};
    for (int x = 0; x < label.left; ++x) {
        TVHITTESTINFO hit;
        hit.pt = POINT{x, at.y};
        tree_.SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.hItem == a21_ && (hit.flags & TVHT_ONITEMSTATEICON)) {
            at.x = x + 3;
            break;
        }
    }
    ASSERT_GE(at.x, 0) << "no check image on the row";
    tree_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    EXPECT_EQ(tree_.GetCheckImage(a21_), 1);
    EXPECT_EQ(tree_.GetCheckImage(a2_), 2);
    tree_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    EXPECT_EQ(tree_.GetCheckImage(a21_), 0);
    EXPECT_EQ(tree_.GetCheckImage(a2_), 0);
    ASSERT_NE(tree_.GetCheckImages(), nullptr);
    EXPECT_EQ(tree_.GetCheckImages()->GetImageCount(), 4);
}

}  // namespace
