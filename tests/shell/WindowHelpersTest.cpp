// The main window's transparency (bound or not, levels in and out of range), the edit child of
// a combo box or other parent, and the key-forwarding message to the main frame.
#include "shell/WindowHelpers.h"

#include <gtest/gtest.h>

#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "support/ui/UiTestApp.h"

namespace shell {
namespace {

using kelmon::test::ui::UiTest;

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

// A frame that records its WM_FRAME_SERVICE messages.
class Frame : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> services;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FRAME_SERVICE) {
            services.emplace_back(wParam, lParam);
            return 1;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class WindowHelpersTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.Create(nullptr, "main", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 200),
                                  nullptr, 0));
        SetMainWindow(frame_.m_hWnd);
    }
    void TearDown() override {
        SetMainWindow(0);
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    bool Layered() const {
        return (GetWindowLong(frame_.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    }

    platform::ui::ScriptedUiServices services_;
    platform::ui::ScopedUiServices scoped_{services_};
    Frame frame_;
};

TEST_F(WindowHelpersTest, TransparencyLevelsLayerTheMainWindowOnceBound) {
    if (!LayeredWindowsBound()) {
        SetMainWindowTransparency(100);  // not bound yet: nothing happens
        EXPECT_FALSE(Layered());
        EXPECT_TRUE(services_.CallsOf("SetWindowOpacity").empty());
    }
    ASSERT_TRUE(InitLayeredWindows());
    struct Case {
        int level;
        bool layered;
        BYTE alpha;
    };
    const Case cases[] = {{1, true, 254},  {100, true, 155},  {255, true, 0},
                          {0, false, 255}, {256, false, 255}, {-5, false, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        SetMainWindowTransparency(c.level);
        EXPECT_EQ(Layered(), c.layered);
        EXPECT_EQ(services_.Opacity(frame_.m_hWnd), c.alpha);
    }

    // Without a main window nothing is touched.
    SetMainWindow(0);
    services_.Clear();
    SetMainWindowTransparency(50);
    EXPECT_TRUE(services_.CallsOf("SetWindowOpacity").empty());
}

TEST_F(WindowHelpersTest, EditChildIsTheFirstDirectEditOfTheParent) {
    CWnd combo;
    ASSERT_TRUE(combo.Create("ComboBox", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN,
                             Rect(10, 10, 120, 200), &frame_, 1001));
    CWnd* edit = GetComboEdit(&combo);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetClassName(), "Edit");
    EXPECT_EQ(edit->GetParent()->m_hWnd, combo.m_hWnd);
    EXPECT_EQ(GetEditChild(combo.m_hWnd), edit);

    CWnd list;
    ASSERT_TRUE(list.Create("ComboBox", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST,
                            Rect(10, 40, 120, 200), &frame_, 1002));
    EXPECT_EQ(GetComboEdit(&list), nullptr) << "a drop-down list has no edit field";
    EXPECT_EQ(GetComboEdit(nullptr), nullptr);
    EXPECT_EQ(GetEditChild(0xFFFFFF0u), nullptr);

    // Of several children the first "Edit" in order; grandchildren do not count.
    CWnd label, first, second;
    ASSERT_TRUE(label.Create("Static", "x", WS_CHILD, Rect(0, 0, 10, 10), &frame_, 1));
    ASSERT_TRUE(first.Create("Edit", "", WS_CHILD, Rect(0, 0, 10, 10), &frame_, 2));
    ASSERT_TRUE(second.Create("Edit", "", WS_CHILD, Rect(0, 0, 10, 10), &frame_, 3));
    EXPECT_EQ(GetEditChild(frame_.m_hWnd), CWnd::FromHandle(first.m_hWnd));
}

TEST_F(WindowHelpersTest, KeyForwardingGoesToTheMainFrame) {
    EnableKeyForwarding(0);
    EnableKeyForwarding(1);
    EXPECT_EQ(frame_.services, (std::vector<std::pair<WPARAM, LPARAM>>{{3, 0}, {3, 1}}));
    SetMainWindow(0);
    EnableKeyForwarding(0);  // no frame: nothing to tell
    EXPECT_EQ(frame_.services.size(), 2u);
}

}  // namespace
}  // namespace shell
