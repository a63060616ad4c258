// CMDITabCtrl: one tab per MDI child in step with Update, the minimum tab count, activation by
// tab, the close button and the band taken from the frame's layout.
#include "flexui/MDITabCtrl.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowTable.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

// A stand-in MDI client: it remembers which child is active.
std::map<HWND, HWND> gActive;
class MdiClientClass : public platform::ui::WindowClass {
public:
    LRESULT ClassProc(platform::ui::WindowRecord& record, UINT message, WPARAM wParam, LPARAM,
                      bool* handled) const override {
        *handled = true;
        if (message == WM_MDIACTIVATE) {
            gActive[record.hwnd] = static_cast<HWND>(wParam);
            return 0;
        }
        if (message == WM_MDIGETACTIVE) return gActive[record.hwnd];
        *handled = false;
        return 0;
    }
};

// The frame lays out the tab row as a frame with MDI tabs does, and counts its layouts.
class TabFrame : public CFrameWnd {
public:
    CMDITabCtrl* tabs = nullptr;
    int layouts = 0;
    RECT left{};
    void RecalcLayout(BOOL notify = TRUE) override {
        ++layouts;
        CFrameWnd::RecalcLayout(notify);
        AFX_SIZEPARENTPARAMS layout;
        GetClientRect(&layout.rect);
        if (tabs && tabs->m_hWnd)
            tabs->SendMessage(WM_SIZEPARENT, 0, reinterpret_cast<LPARAM>(&layout));
        left = layout.rect;
    }
};

// A child that logs the system commands it gets.
class Child : public CWnd {
public:
    std::vector<WPARAM> commands;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SYSCOMMAND) {
            commands.push_back(wParam);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class MDITabCtrlTest : public UiTest {
protected:
    static void SetUpTestSuite() {
        platform::ui::RegisterWindowClass("MDIClient", std::make_unique<MdiClientClass>());
    }
    void SetUp() override {
        ASSERT_TRUE(frame_.Create(nullptr, "frame", WS_POPUP | WS_VISIBLE, RECT{0, 0, 500, 300},
                                  nullptr, 0));
        ASSERT_TRUE(client_.Create("MDIClient", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 500, 300},
                                   &frame_, 0xE900));
        frame_.tabs = &tabs_;
    }
    void TearDown() override {
        for (auto& child : children_)
            if (child->m_hWnd) child->DestroyWindow();
        frame_.DestroyWindow();
        gActive.clear();
        UiTest::TearDown();
    }
    Child& Open(const char* title) {
        children_.push_back(std::make_unique<Child>());
        Child& child = *children_.back();
        EXPECT_TRUE(
            child.Create(nullptr, title, WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 80}, &client_, 0));
        gActive[client_.m_hWnd] = child.m_hWnd;
        tabs_.Update();
        return child;
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> out;
        for (int i = 0; i < tabs_.GetItemCount(); ++i) out.push_back(tabs_.GetItemText(i));
        return out;
    }
    TabFrame frame_;
    CWnd client_;
    CMDITabCtrl tabs_;
    std::vector<std::unique_ptr<Child>> children_;
};

TEST_F(MDITabCtrlTest, TabsFollowTheChildrenAndTheActiveOneIsSelected) {
    tabs_.SetViewStyle(1, TRUE);
    ASSERT_TRUE(tabs_.Create(&frame_, TCS_MULTILINE | TCS_OWNERDRAWFIXED, 0xE901));
    EXPECT_EQ(tabs_.GetMDIClient(), client_.m_hWnd);
    EXPECT_FALSE(tabs_.GetStyle() & (TCS_MULTILINE | TCS_OWNERDRAWFIXED));
    EXPECT_TRUE(tabs_.GetStyle() & TCS_FOCUSNEVER);
    ASSERT_NE(tabs_.GetImageList(), nullptr);
    EXPECT_EQ(tabs_.GetItemCount(), 0);

    Child& a = Open("买卖");
    Child& b = Open("持仓");
    Child& c = Open("成交");
    EXPECT_EQ(Titles(), (std::vector<std::string>{"买卖", "持仓", "成交"}));
    EXPECT_EQ(tabs_.GetCurSel(), 2);
    EXPECT_EQ(tabs_.GetImageList()->GetImageCount(), 3);

    b.SetWindowText("委托");
    gActive[client_.m_hWnd] = a.m_hWnd;
    tabs_.Update();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"买卖", "委托", "成交"}));
    EXPECT_EQ(tabs_.GetCurSel(), 0);

    b.DestroyWindow();
    tabs_.Update();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"买卖", "成交"}));
    EXPECT_EQ(tabs_.GetTabWindow(1), c.m_hWnd);
    EXPECT_EQ(tabs_.GetImageList()->GetImageCount(), 2) << "the closed child's image goes too";

    // Selecting a tab activates its child; the close button closes the selected one.
    tabs_.SetCurSel(1);
    NMHDR header{tabs_.m_hWnd, 0xE901, TCN_SELCHANGE};
    frame_.SendMessage(WM_NOTIFY, 0xE901, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(gActive[client_.m_hWnd], c.m_hWnd);
    CFlexButton& close = tabs_.GetCloseButton();
    ASSERT_TRUE(close.IsWindowVisible());
    RECT tab{}, button{};
    tabs_.GetItemRect(1, &tab);
    close.GetWindowRect(&button);
    tabs_.ScreenToClient(&button);
    EXPECT_EQ(button.right, tab.right - 3);
    EXPECT_EQ(button.bottom - button.top, CMDITabCtrl::kCloseButtonSize);
    tabs_.SendMessage(WM_COMMAND, MAKEWPARAM(CMDITabCtrl::kCloseButtonId, BN_CLICKED),
                      static_cast<LPARAM>(close.m_hWnd));
    EXPECT_EQ(c.commands, std::vector<WPARAM>{SC_CLOSE});
    EXPECT_TRUE(a.commands.empty());
}

TEST_F(MDITabCtrlTest, WithAMinimumOfTwoTheRowShowsOnlyWithTwoChildren) {
    tabs_.SetViewStyle(2, FALSE);
    ASSERT_TRUE(tabs_.Create(&frame_, TCS_BOTTOM, 0xE901));
    EXPECT_EQ(tabs_.GetImageList(), nullptr);
    frame_.RecalcLayout();
    EXPECT_FALSE(tabs_.IsWindowVisible());
    frame_.layouts = 0;

    Open("一");
    EXPECT_EQ(frame_.layouts, 0) << "one child: still under the minimum";
    EXPECT_FALSE(tabs_.IsWindowVisible());
    Child& second = Open("二");
    EXPECT_EQ(frame_.layouts, 1);
    EXPECT_TRUE(tabs_.IsWindowVisible());
    RECT band{};
    tabs_.GetWindowRect(&band);
    frame_.ScreenToClient(&band);
    EXPECT_EQ(band.top, 300 - CMDITabCtrl::kBandHeight) << "TCS_BOTTOM takes the band below";
    EXPECT_EQ(frame_.left.bottom, 300 - CMDITabCtrl::kBandHeight);
    Open("三");
    EXPECT_EQ(frame_.layouts, 1) << "more tabs: no new layout";

    second.DestroyWindow();
    tabs_.Update();
    EXPECT_EQ(frame_.layouts, 1);
    children_.front()->DestroyWindow();
    tabs_.Update();
    EXPECT_EQ(frame_.layouts, 2);
    EXPECT_FALSE(tabs_.IsWindowVisible());

    tabs_.SetViewStyle(3, TRUE);
    EXPECT_EQ(tabs_.GetMinTabCount(), 3);
    EXPECT_FALSE(tabs_.GetViewStyle() & CMDITabCtrl::kIcons) << "icons only before Create";
}

}  // namespace
