// Menu handles and items, and TrackPopupMenu run headless: owner notifications before the
// pop-up shows, the choice afterwards, returned ids, cancelling and alignment.
#include <gtest/gtest.h>

#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "tests/support/ui/MenuDriver.h"
#include "tests/support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::MenuDriver;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

TEST(MenuItemsTest, ItemsByPositionAndByCommandThroughSubMenus) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    HMENU sub = CreatePopupMenu();
    AppendMenu(sub, MF_STRING, 31, "内层");
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 10, "刷新\tF5"));
    ASSERT_TRUE(menu.AppendMenu(MF_SEPARATOR));
    ASSERT_TRUE(menu.AppendMenu(MF_POPUP, sub, "更多"));
    ASSERT_TRUE(menu.InsertMenu(0, MF_BYPOSITION | MF_STRING, 5, "首项"));
    ASSERT_TRUE(menu.InsertMenu(10, MF_BYCOMMAND | MF_STRING, 7, "在刷新前"));

    EXPECT_EQ(menu.GetMenuItemCount(), 5u);
    EXPECT_EQ(menu.GetMenuItemID(0), 5u);
    EXPECT_EQ(menu.GetMenuItemID(1), 7u);
    EXPECT_EQ(menu.GetMenuItemID(3), 0u);                     // separator
    EXPECT_EQ(menu.GetMenuItemID(4), static_cast<UINT>(-1));  // sub-menu
    EXPECT_EQ(menu.GetMenuItemID(9), static_cast<UINT>(-1));
    EXPECT_EQ(menu.GetMenuString(10, MF_BYCOMMAND), "刷新\tF5");
    EXPECT_EQ(menu.GetMenuString(31, MF_BYCOMMAND), "内层");  // found in the sub-menu
    EXPECT_EQ(menu.GetSubMenu(4)->GetSafeHmenu(), sub);
    EXPECT_EQ(menu.GetSubMenu(0), nullptr);
    EXPECT_EQ(CMenu::FromHandle(sub), CMenu::FromHandle(sub));

    // A caller buffer is never overrun and a character is never cut.
    char small[5];
    EXPECT_EQ(GetMenuString(menu.m_hMenu, 10, small, sizeof small, MF_BYCOMMAND), 3);
    EXPECT_STREQ(small, "刷");

    EXPECT_EQ(menu.CheckMenuItem(10, MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(menu.CheckMenuItem(10, MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(menu.EnableMenuItem(31, MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(GetMenuState(sub, 0, MF_BYPOSITION) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(menu.CheckMenuItem(99, MF_CHECKED), static_cast<UINT>(-1));

    ASSERT_TRUE(menu.ModifyMenu(7, MF_BYCOMMAND | MF_STRING, 8, "改过"));
    EXPECT_EQ(menu.GetMenuString(1, MF_BYPOSITION), "改过");
    EXPECT_EQ(menu.GetMenuItemID(1), 8u);

    // Radio marks within a range of commands.
    ASSERT_TRUE(menu.CheckMenuRadioItem(5, 10, 8, MF_BYCOMMAND));
    EXPECT_EQ(menu.GetMenuState(8, MF_BYCOMMAND) & (MF_CHECKED | MFT_RADIOCHECK),
              MF_CHECKED | MFT_RADIOCHECK);
    ASSERT_TRUE(menu.CheckMenuRadioItem(5, 10, 5, MF_BYCOMMAND));
    EXPECT_EQ(menu.GetMenuState(8, MF_BYCOMMAND) & MF_CHECKED, 0u);

    // RemoveMenu leaves a sub-menu alive, DeleteMenu destroys it.
    HMENU other = CreatePopupMenu();
    ASSERT_TRUE(menu.AppendMenu(MF_POPUP, other, "其他"));
    ASSERT_TRUE(menu.RemoveMenu(5, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(other));
    ASSERT_TRUE(menu.DeleteMenu(4, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(sub));
    EXPECT_TRUE(DestroyMenu(other));

    // A menu cannot become its own sub-menu; a dead handle refuses everything.
    EXPECT_FALSE(menu.AppendMenu(MF_POPUP, menu.m_hMenu, "自己"));
    HMENU gone = menu.m_hMenu;
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_FALSE(IsMenu(gone));
    EXPECT_FALSE(AppendMenu(gone, MF_STRING, 1, "x"));
    EXPECT_EQ(GetMenuItemCount(gone), -1);
}

TEST(MenuItemsTest, TemporaryObjectMayDestroyItsMenu) {
    HMENU handle = CreatePopupMenu();
    CMenu* temporary = CMenu::FromHandle(handle);
    ASSERT_NE(temporary, nullptr);
    EXPECT_TRUE(temporary->DestroyMenu());
    EXPECT_FALSE(IsMenu(handle));
    EXPECT_EQ(CMenu::FromHandle(handle), nullptr);
}

class TrackPopupMenuTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            owner_.CreateEx(0, nullptr, "owner", WS_POPUP, Rect(10, 10, 200, 100), nullptr, 0));
        // The owner fills the empty menu it is offered, as a grid's parent does.
        owner_.handle = [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT*) {
            if (message == WM_INITMENUPOPUP && lParam == 0) {
                CMenu* menu = CMenu::FromHandle(static_cast<HMENU>(wParam));
                menu->AppendMenu(MF_STRING, 32771, "刷新                 F5");
                menu->AppendMenu(MF_SEPARATOR);
                menu->AppendMenu(MF_STRING | MF_GRAYED, 32774, "平仓");
                menu->AppendMenu(MF_STRING | (viewFlag_ ? MF_CHECKED : 0u), 32952, "显示组合持仓");
                menu->AppendMenu(MF_POPUP, sub_, "更多");
            }
            return false;
        };
        sub_ = CreatePopupMenu();
        AppendMenu(sub_, MF_STRING, 300, "内层");
        ASSERT_TRUE(menu_.CreatePopupMenu());
    }
    void TearDown() override {
        owner_.DestroyWindow();
        UiTest::TearDown();
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd owner_{"owner", &log_};
    CMenu menu_;
    HMENU sub_ = 0;
    bool viewFlag_ = true;
    MenuDriver driver_;
};

TEST_F(TrackPopupMenuTest, ChoiceIsPostedToTheOwnerAfterItWasOfferedTheMenu) {
    driver_.ChooseNext(32952);
    EXPECT_TRUE(menu_.TrackPopupMenu(TPM_LEFTALIGN, 100, 120, &owner_));
    EXPECT_EQ(driver_.Shown(), 1);
    EXPECT_EQ(driver_.LastMenu(), menu_.m_hMenu);
    // The owner's items were there when it showed, in its order.
    ASSERT_EQ(driver_.LastTexts().size(), 5);
    EXPECT_EQ(driver_.LastTexts()[1], "-");
    auto offered = owner_.Got(WM_INITMENUPOPUP);
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].wParam, menu_.m_hMenu);
    // Posted, as the desktop does: not there yet until the queue runs.
    EXPECT_TRUE(owner_.Got(WM_COMMAND).empty());
    DrainEvents();
    auto commands = owner_.Got(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(32952, 0));
    EXPECT_EQ(commands[0].lParam, 0);
}

TEST_F(TrackPopupMenuTest, ReturnCmdAndCancelSendNothing) {
    struct Case {
        const char* name;
        UINT flags;
        std::optional<UINT> choose;
        BOOL expected;
        size_t offers;
    };
    const Case cases[] = {
        {"return the id", TPM_RETURNCMD, 32771, 32771, 1},
        {"return from a sub-menu", TPM_RETURNCMD, 300, 300, 1},
        {"cancelled, return", TPM_RETURNCMD, std::nullopt, 0, 1},
        {"cancelled, notify", 0, std::nullopt, TRUE, 1},
        {"grayed item cannot be chosen", TPM_RETURNCMD, 32774, 0, 1},
        {"no notifications", TPM_RETURNCMD | TPM_NONOTIFY, 300, 300, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        while (menu_.GetMenuItemCount() > 0) menu_.RemoveMenu(0, MF_BYPOSITION);
        if (c.flags & TPM_NONOTIFY) menu_.AppendMenu(MF_POPUP, sub_, "更多");
        if (c.choose)
            driver_.ChooseNext(*c.choose);
        else
            driver_.CancelNext();
        EXPECT_EQ(menu_.TrackPopupMenu(c.flags, 50, 50, &owner_), c.expected);
        DrainEvents();
        EXPECT_EQ(owner_.Got(WM_INITMENUPOPUP).size(), c.offers);
        EXPECT_TRUE(owner_.Got(WM_COMMAND).empty());
    }
}

TEST_F(TrackPopupMenuTest, CheckAndGrayStatesShow) {
    driver_.CancelNext();
    menu_.TrackPopupMenu(TPM_RETURNCMD, 50, 50, &owner_);
    // Rebuild the shown pop-up the way the driver sees it: the states come from the items.
    EXPECT_EQ(menu_.GetMenuState(32774, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(menu_.GetMenuState(32952, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    driver_.ChooseNext(32774);
    EXPECT_EQ(menu_.TrackPopupMenu(TPM_RETURNCMD, 50, 50, &owner_), 0);
}

TEST_F(TrackPopupMenuTest, AlignmentPlacesThePopUpAroundThePoint) {
    driver_.CancelNext();
    menu_.TrackPopupMenu(TPM_LEFTALIGN | TPM_TOPALIGN, 200, 150, &owner_);
    QRect leftTop = driver_.LastGeometry();
    EXPECT_EQ(leftTop.topLeft(), QPoint(200, 150));
    while (menu_.GetMenuItemCount() > 0) menu_.RemoveMenu(0, MF_BYPOSITION);
    driver_.CancelNext();
    menu_.TrackPopupMenu(TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 400, 350, &owner_);
    QRect rightBottom = driver_.LastGeometry();
    EXPECT_EQ(rightBottom.right() + 1, 400);
    EXPECT_EQ(rightBottom.bottom() + 1, 350);
}

TEST_F(TrackPopupMenuTest, NothingShowsForAnEmptyMenuOrADeadOwner) {
    owner_.handle = nullptr;
    EXPECT_FALSE(menu_.TrackPopupMenu(TPM_RETURNCMD, 50, 50, &owner_));
    EXPECT_EQ(owner_.Got(WM_INITMENUPOPUP).size(), 1u);
    EXPECT_FALSE(TrackPopupMenu(menu_.m_hMenu, 0, 50, 50, 0, 0xFFFFFF, nullptr));
    EXPECT_EQ(driver_.Shown(), 0);
}

}  // namespace
