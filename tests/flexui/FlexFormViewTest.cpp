// CFlexFormView: the design size kept at the first resize, registration against it, and
// children following the view's edges.
#include "flexui/FlexFormView.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

constexpr UINT kForm = 9102;
constexpr int kButton = 2207, kTopList = 2201;

RECT Place(const CWnd& parent, int id) {
    return GetWindowRectIn(GetDlgItem(parent.m_hWnd, id), parent.m_hWnd);
}

class FlexFormViewTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("flexdlg-test",
                                           KELMON_SOURCE_DIR "/tests/flexui/dialogs_flexdlg");
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 700, 500}, nullptr, 0));
        ASSERT_TRUE(view_.Create(&host_, RECT{0, 0, 300, 200}, 1));
        DrainEvents();
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Resize(int width, int height) {
        view_.MoveWindow(0, 0, width, height);
        DrainEvents();
    }
    CWnd host_;
    CFlexFormView view_{kForm};
};

TEST_F(FlexFormViewTest, ChildrenRegisteredAfterAResizeAreMeasuredAgainstTheDesignSize) {
    EXPECT_EQ(view_.GetDesignRect(), (RECT{0, 0, 300, 200}));
    MoveWindow(GetDlgItem(view_.m_hWnd, kButton), 250, 170, 40, 20, TRUE);
    Resize(400, 260);
    EXPECT_EQ(view_.GetDesignRect(), (RECT{0, 0, 300, 200})) << "kept from the first resize";
    // Margins 10 (right) and 10 (bottom) of the design size: the button jumps to the new edges.
    ASSERT_TRUE(view_.SetItemAlign(kButton, FLEX_ALIGN_RIGHT | FLEX_ALIGN_BOTTOM));
    EXPECT_EQ(Place(view_, kButton), (RECT{350, 230, 390, 250}));
    Resize(500, 300);
    EXPECT_EQ(Place(view_, kButton), (RECT{450, 270, 490, 290}));

    // Re-registering measures against the present client rectangle and keeps one entry.
    MoveWindow(GetDlgItem(view_.m_hWnd, kButton), 400, 200, 40, 20, TRUE);
    ASSERT_TRUE(view_.SetItemAlign(kButton, FLEX_ALIGN_RIGHT));
    EXPECT_EQ(view_.GetAlignItems().size(), 1u);
    EXPECT_EQ(Place(view_, kButton), (RECT{400, 200, 440, 220}));
    Resize(520, 300);
    EXPECT_EQ(Place(view_, kButton), (RECT{420, 200, 460, 220}));
    EXPECT_FALSE(view_.SetItemAlign(4242, 1));
}

TEST_F(FlexFormViewTest, StretchFlagsFollowTheEdges) {
    MoveWindow(GetDlgItem(view_.m_hWnd, kTopList), 10, 10, 280, 100, TRUE);
    ASSERT_TRUE(view_.SetItemAlign(kTopList, FLEX_ALIGN_WIDTH | FLEX_ALIGN_HEIGHT));
    Resize(350, 230);
    EXPECT_EQ(Place(view_, kTopList), (RECT{10, 10, 340, 140}));
    Resize(250, 150);
    EXPECT_EQ(Place(view_, kTopList), (RECT{10, 10, 240, 60}));
}

}  // namespace
