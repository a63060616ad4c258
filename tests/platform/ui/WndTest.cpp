// Windows and handles: creation, handles never reused, attach and subclass, styles, control
// ids and the child walk, geometry, text, focus, capture and destruction.
#include "platform/ui/Wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <set>
#include <thread>

#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

class WndTest : public UiTest {
protected:
    std::vector<LoggedMessage> log_;
};

TEST_F(WndTest, HandlesAreNeverReusedAndDieWithTheirWindows) {
    std::set<HWND> seen;
    for (int i = 0; i < 50; ++i) {
        CWnd wnd;
        ASSERT_TRUE(wnd.Create(nullptr, "w", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
        HWND hwnd = wnd.m_hWnd;
        EXPECT_TRUE(seen.insert(hwnd).second) << "handle reused: " << hwnd;
        EXPECT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), &wnd);
        EXPECT_TRUE(wnd.DestroyWindow());
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(wnd.m_hWnd, 0u);
        EXPECT_EQ(CWnd::FromHandle(hwnd), nullptr);
    }
}

TEST_F(WndTest, IsWindowAnswersOnOtherThreads) {
    CWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "w", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    HWND hwnd = wnd.m_hWnd;
    BOOL aliveSeen = FALSE;
    CWnd* fromHandle = nullptr;
    std::thread([&] {
        aliveSeen = IsWindow(hwnd);
        fromHandle = CWnd::FromHandle(hwnd);
    }).join();
    EXPECT_TRUE(aliveSeen);
    EXPECT_EQ(fromHandle, &wnd);
    wnd.DestroyWindow();
    BOOL deadSeen = TRUE;
    std::thread([&] { deadSeen = IsWindow(hwnd); }).join();
    EXPECT_FALSE(deadSeen);
}

TEST_F(WndTest, ChildrenCarryIdsClassesAndStyles) {
    CWnd parent;
    ASSERT_TRUE(parent.Create(nullptr, "parent", WS_POPUP, Rect(0, 0, 300, 200), nullptr, 0));
    CWnd edit, button, label, hidden;
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_RIGHT,
                            Rect(10, 10, 100, 20), &parent, 1001));
    ASSERT_TRUE(button.Create("Button", "OK", WS_CHILD | WS_VISIBLE | WS_DISABLED,
                              Rect(10, 40, 60, 24), &parent, 1002));
    ASSERT_TRUE(
        label.Create("Static", "标签", WS_CHILD | WS_VISIBLE, Rect(10, 70, 60, 20), &parent, 1003));
    ASSERT_TRUE(hidden.Create("Edit", "", WS_CHILD, Rect(10, 100, 60, 20), &parent, 1004));
    EXPECT_FALSE(CWnd().Create("NoSuchClass", "", WS_CHILD, Rect(0, 0, 1, 1), &parent, 1));
    EXPECT_FALSE(CWnd().Create("Edit", "", WS_CHILD, Rect(0, 0, 1, 1), nullptr, 1))
        << "a child needs a parent";

    EXPECT_EQ(edit.GetClassName(), "Edit");
    EXPECT_EQ(button.GetClassName(), "Button");
    EXPECT_EQ(parent.GetClassName(), "AfxWnd");
    EXPECT_EQ(parent.GetDlgItem(1002), &button);
    EXPECT_EQ(parent.GetDlgItem(9999), nullptr);
    EXPECT_EQ(button.GetDlgCtrlID(), 1002);
    EXPECT_EQ(button.GetParent(), &parent);
    EXPECT_EQ(parent.GetParent(), nullptr);
    EXPECT_EQ(label.GetTopLevelParent(), &parent);
    EXPECT_TRUE(parent.IsChild(&label));
    EXPECT_FALSE(label.IsChild(&parent));

    // Styles take effect on the widgets and read back from them.
    EXPECT_TRUE(edit.GetStyle() & WS_VISIBLE);
    EXPECT_FALSE(hidden.GetStyle() & WS_VISIBLE);
    EXPECT_TRUE(button.GetStyle() & WS_DISABLED);
    EXPECT_FALSE(button.GetWidget()->isEnabled());
    EXPECT_FALSE(button.IsWindowEnabled());
    EXPECT_EQ(edit.GetWidget()->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(static_cast<QLineEdit*>(edit.GetWidget())->alignment() & Qt::AlignRight,
              Qt::AlignRight);
    EXPECT_TRUE(edit.ModifyStyle(WS_TABSTOP | ES_RIGHT, 0));
    EXPECT_EQ(edit.GetWidget()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(static_cast<QLineEdit*>(edit.GetWidget())->alignment() & Qt::AlignRight, 0);
    EXPECT_FALSE(edit.ModifyStyle(0, 0)) << "nothing changed";
    EXPECT_TRUE(button.EnableWindow(TRUE)) << "was disabled";
    EXPECT_FALSE(button.GetStyle() & WS_DISABLED);

    // The walk: GW_CHILD and GW_HWNDNEXT in creation order, EnumChildWindows over all.
    EXPECT_EQ(parent.GetWindow(GW_CHILD), &edit);
    EXPECT_EQ(edit.GetWindow(GW_HWNDNEXT), &button);
    EXPECT_EQ(hidden.GetWindow(GW_HWNDNEXT), nullptr);
    EXPECT_EQ(button.GetWindow(GW_HWNDPREV), &edit);
    std::vector<HWND> enumerated;
    EnumChildWindows(
        parent.m_hWnd,
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&enumerated));
    EXPECT_EQ(enumerated,
              (std::vector<HWND>{edit.m_hWnd, button.m_hWnd, label.m_hWnd, hidden.m_hWnd}));

    parent.DestroyWindow();
    EXPECT_EQ(edit.m_hWnd, 0u) << "children die with their parent";
    EXPECT_EQ(hidden.m_hWnd, 0u);
}

TEST_F(WndTest, EnumChildWindowsStopsWhenTheCallbackSaysSoAndDescends) {
    CWnd parent, group, inner, after;
    ASSERT_TRUE(parent.Create(nullptr, "", WS_POPUP, Rect(0, 0, 100, 100), nullptr, 0));
    ASSERT_TRUE(group.Create(nullptr, "", WS_CHILD, Rect(0, 0, 50, 50), &parent, 1));
    ASSERT_TRUE(inner.Create("Edit", "", WS_CHILD, Rect(0, 0, 20, 20), &group, 2));
    ASSERT_TRUE(after.Create("Edit", "", WS_CHILD, Rect(0, 60, 20, 20), &parent, 3));
    std::vector<HWND> all;
    auto collect = [](HWND hwnd, LPARAM lParam) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
        return TRUE;
    };
    EnumChildWindows(parent.m_hWnd, collect, reinterpret_cast<LPARAM>(&all));
    EXPECT_EQ(all, (std::vector<HWND>{group.m_hWnd, inner.m_hWnd, after.m_hWnd}))
        << "each window before its own children";
    EXPECT_EQ(parent.GetDlgItem(2), nullptr) << "GetDlgItem looks at direct children only";
    int seen = 0;
    EnumChildWindows(
        parent.m_hWnd,
        [](HWND, LPARAM lParam) -> BOOL { return ++*reinterpret_cast<int*>(lParam) < 2; },
        reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(seen, 2);
    parent.DestroyWindow();
}

TEST_F(WndTest, GeometryIsInClientCoordinates) {
    CWnd parent, child;
    ASSERT_TRUE(
        parent.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(100, 50, 300, 200), nullptr, 0));
    ASSERT_TRUE(child.Create(nullptr, "", WS_CHILD | WS_VISIBLE, Rect(10, 20, 30, 40), &parent, 1));
    RECT client;
    child.GetClientRect(&client);
    EXPECT_EQ(client, (RECT{0, 0, 30, 40}));
    RECT window;
    child.GetWindowRect(&window);
    POINT origin{0, 0};
    parent.ClientToScreen(&origin);
    EXPECT_EQ(window, (RECT{origin.x + 10, origin.y + 20, origin.x + 40, origin.y + 60}));
    parent.ScreenToClient(&window);
    EXPECT_EQ(window, (RECT{10, 20, 40, 60}));
    child.MoveWindow(5, 6, 70, 80);
    child.GetWindowRect(&window);
    parent.ScreenToClient(&window);
    EXPECT_EQ(window, (RECT{5, 6, 75, 86}));
    EXPECT_EQ(GetWindowRectIn(child.m_hWnd, parent.m_hWnd), (RECT{5, 6, 75, 86}));
    // From one window's client area to another's, and refused for a window that is gone.
    RECT inChild{0, 0, 70, 80};
    EXPECT_TRUE(MapWindowPoints(child.m_hWnd, parent.m_hWnd, &inChild));
    EXPECT_EQ(inChild, (RECT{5, 6, 75, 86}));
    EXPECT_FALSE(MapWindowPoints(child.m_hWnd, HWND{0x7FFFFFF0}, &inChild));
    parent.DestroyWindow();
}

TEST_F(WndTest, TextIsUtf8AndBufferReadsNeverSplitACharacter) {
    CWnd parent, edit, label, button;
    ASSERT_TRUE(parent.Create(nullptr, "标题", WS_POPUP, Rect(0, 0, 300, 100), nullptr, 0));
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD, Rect(0, 0, 100, 20), &parent, 1));
    ASSERT_TRUE(label.Create("Static", "", WS_CHILD, Rect(0, 30, 100, 20), &parent, 2));
    ASSERT_TRUE(button.Create("Button", "", WS_CHILD, Rect(0, 60, 100, 20), &parent, 3));
    EXPECT_EQ(parent.GetWindowText(), "标题");
    for (CWnd* wnd : {&edit, &label, &button}) {
        wnd->SetWindowText("买入 IF2406");
        EXPECT_EQ(wnd->GetWindowText(), "买入 IF2406") << wnd->GetClassName();
        EXPECT_EQ(wnd->GetWindowTextLength(), 13);
    }
    parent.SetDlgItemText(1, "卖出");
    EXPECT_EQ(parent.GetDlgItemText(1), "卖出");
    char buffer[5];
    EXPECT_EQ(edit.GetWindowText(buffer, sizeof buffer), 3) << "6 bytes do not fit in 4";
    EXPECT_STREQ(buffer, "卖");
    char tiny[1];
    EXPECT_EQ(edit.GetWindowText(tiny, 1), 0);
    EXPECT_STREQ(tiny, "");
    parent.DestroyWindow();
}

TEST_F(WndTest, AttachAnswersForAWindowSubclassAlsoGetsItsMessages) {
    CWnd parent;
    ASSERT_TRUE(parent.Create(nullptr, "", WS_POPUP, Rect(0, 0, 100, 100), nullptr, 0));
    CWnd creator;
    ASSERT_TRUE(creator.Create("Edit", "", WS_CHILD, Rect(0, 0, 50, 20), &parent, 7));
    HWND hwnd = creator.Detach();
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    CWnd* temporary = CWnd::FromHandle(hwnd);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->m_hWnd, hwnd);
    EXPECT_EQ(CWnd::FromHandle(hwnd), temporary) << "one temporary object per window";

    ProbeWnd attached("attached", &log_);
    ASSERT_TRUE(attached.Attach(hwnd));
    EXPECT_FALSE(ProbeWnd("second", &log_).Attach(hwnd)) << "one handler object per window";
    EXPECT_EQ(CWnd::FromHandle(hwnd), &attached);
    ::SendMessage(hwnd, WM_USER + 1, 0, 0);
    EXPECT_TRUE(attached.Got(WM_USER + 1).empty()) << "attached only: the class procedure runs";
    EXPECT_EQ(attached.Detach(), hwnd);

    ProbeWnd subclassed("subclassed", &log_);
    ASSERT_TRUE(subclassed.SubclassDlgItem(7, &parent));
    ::SendMessage(hwnd, WM_USER + 2, 3, 4);
    ASSERT_EQ(subclassed.Got(WM_USER + 2).size(), 1u);
    EXPECT_EQ(subclassed.Got(WM_USER + 2)[0].wParam, 3u);
    ::SetWindowText(hwnd, "默认");
    EXPECT_EQ(subclassed.GetWindowText(), "默认") << "unhandled messages reach the edit itself";
    EXPECT_EQ(subclassed.UnsubclassWindow(), hwnd);
    EXPECT_TRUE(IsWindow(hwnd)) << "unsubclassing leaves the window";

    {
        CWnd owner;
        ASSERT_TRUE(owner.Attach(hwnd));
    }
    EXPECT_TRUE(IsWindow(hwnd)) << "an attached object's end does not destroy the window";
    {
        CWnd owner;
        ASSERT_TRUE(owner.SubclassWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd)) << "a subclassing object takes its window with it";
    parent.DestroyWindow();
}

// A pop-up that deletes itself when its window is gone.
class SelfDeletingPopup : public CWnd {
public:
    explicit SelfDeletingPopup(int* deletions) : deletions_(deletions) {}
    ~SelfDeletingPopup() override { ++*deletions_; }
    void PostNcDestroy() override { delete this; }

private:
    int* deletions_;
};

TEST_F(WndTest, SelfDeletingPopupGoesWithItsWindow) {
    int deletions = 0;
    auto popup = std::make_unique<SelfDeletingPopup>(&deletions);
    ASSERT_TRUE(popup->Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 50, 50), nullptr, 0));
    HWND hwnd = popup.release()->m_hWnd;  // the window owns it from here
    ::SendMessage(hwnd, WM_CLOSE);        // default processing destroys it
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(deletions, 1);

    // Also when Qt deletes the widget on its own, with its parent.
    CWnd parent;
    ASSERT_TRUE(parent.Create(nullptr, "", WS_POPUP, Rect(0, 0, 50, 50), nullptr, 0));
    auto child = std::make_unique<SelfDeletingPopup>(&deletions);
    ASSERT_TRUE(child->Create(nullptr, "", WS_CHILD, Rect(0, 0, 5, 5), &parent, 1));
    HWND childHwnd = child.release()->m_hWnd;
    parent.GetWidget()->deleteLater();
    kelmon::test::ui::DrainEvents();
    EXPECT_FALSE(IsWindow(childHwnd));
    EXPECT_EQ(parent.m_hWnd, 0u);
    EXPECT_EQ(deletions, 2);
}

TEST_F(WndTest, DestroyTellsParentsFirstAndFinishesChildrenFirst) {
    ProbeWnd parent("parent", &log_), child("child", &log_);
    ASSERT_TRUE(parent.Create(nullptr, "", WS_POPUP, Rect(0, 0, 50, 50), nullptr, 0));
    ASSERT_TRUE(child.Create(nullptr, "", WS_CHILD, Rect(0, 0, 5, 5), &parent, 1));
    log_.clear();
    parent.DestroyWindow();
    std::vector<std::string> order;
    for (const LoggedMessage& m : log_)
        if (m.message == WM_DESTROY || m.message == WM_NCDESTROY)
            order.push_back(m.window + (m.message == WM_DESTROY ? " destroy" : " ncdestroy"));
    EXPECT_EQ(order, (std::vector<std::string>{"parent destroy", "child destroy", "child ncdestroy",
                                               "parent ncdestroy"}));
}

TEST_F(WndTest, CreateFailsWhenOnCreateRefuses) {
    ProbeWnd wnd("refusing", &log_);
    wnd.handle = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message != WM_CREATE) return false;
        *result = -1;
        return true;
    };
    EXPECT_FALSE(wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 5, 5), nullptr, 0));
    EXPECT_EQ(wnd.m_hWnd, 0u);
}

TEST_F(WndTest, FocusShowAndCapture) {
    CWnd top, first, second;
    ASSERT_TRUE(top.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 200, 100), nullptr, 0));
    ASSERT_TRUE(
        first.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, Rect(0, 0, 80, 20), &top, 1));
    ASSERT_TRUE(second.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, Rect(0, 30, 80, 20),
                              &top, 2));
    QApplication::setActiveWindow(top.GetWidget());
    first.SetFocus();
    EXPECT_EQ(CWnd::GetFocus(), &first);
    EXPECT_EQ(second.SetFocus(), &first) << "SetFocus returns the window that had it";
    EXPECT_EQ(::GetFocus(), second.m_hWnd);

    EXPECT_TRUE(second.IsWindowVisible());
    EXPECT_TRUE(second.ShowWindow(SW_HIDE)) << "was visible";
    EXPECT_FALSE(second.IsWindowVisible());
    EXPECT_FALSE(second.GetStyle() & WS_VISIBLE);
    EXPECT_FALSE(second.ShowWindow(SW_SHOW));
    EXPECT_TRUE(second.IsWindowVisible());
    top.ShowWindow(SW_HIDE);
    EXPECT_FALSE(second.IsWindowVisible()) << "a hidden parent hides its children";
    EXPECT_TRUE(second.GetStyle() & WS_VISIBLE) << "the child's own bit stays";
    top.ShowWindow(SW_SHOW);

    ProbeWnd probe("probe", &log_);
    ASSERT_TRUE(probe.Create(nullptr, "", WS_CHILD | WS_VISIBLE, Rect(0, 60, 20, 20), &top, 3));
    EXPECT_EQ(probe.SetCapture(), nullptr);
    EXPECT_EQ(CWnd::GetCapture(), &probe);
    EXPECT_EQ(first.SetCapture(), &probe);
    EXPECT_EQ(probe.Got(WM_CAPTURECHANGED).size(), 1u);
    ReleaseCapture();
    EXPECT_EQ(::GetCapture(), 0u);
    probe.SetCapture();
    probe.DestroyWindow();
    EXPECT_EQ(::GetCapture(), 0u) << "a destroyed window gives the capture up";
    top.DestroyWindow();
}

TEST_F(WndTest, AdoptedWidgetBecomesAWindow) {
    CWnd parent;
    ASSERT_TRUE(parent.Create(nullptr, "", WS_POPUP, Rect(0, 0, 50, 50), nullptr, 0));
    auto* edit = new QLineEdit(parent.GetWidget());
    HWND hwnd = platform::ui::AdoptWidget(edit, "Edit", WS_CHILD | WS_VISIBLE, 42);
    ASSERT_NE(hwnd, 0u);
    EXPECT_EQ(platform::ui::AdoptWidget(edit, "Edit", 0, 0), hwnd);
    EXPECT_EQ(parent.GetDlgItem(42)->m_hWnd, hwnd);
    EXPECT_EQ(platform::ui::WindowOf(edit), hwnd);
    ::SetWindowText(hwnd, "x");
    EXPECT_EQ(edit->text(), "x");
    parent.DestroyWindow();
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
