// System hot keys: registration rules, WM_HOTKEY on the key press ahead of every window, repeats
// under MOD_NOREPEAT, and keys of windows that died.
#include "platform/ui/HotKey.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

class HotKeyTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 200), nullptr, 0));
        ASSERT_TRUE(edit_.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                 Rect(10, 10, 100, 20), &frame_, 101));
        ASSERT_TRUE(other_.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
        QApplication::setActiveWindow(frame_.GetWidget());
        edit_.SetFocus();
        log_.clear();
    }
    void TearDown() override {
        UnregisterHotKey(frame_.m_hWnd, 1);
        UnregisterHotKey(other_.m_hWnd, 1);
        frame_.DestroyWindow();
        other_.DestroyWindow();
        UiTest::TearDown();
    }
    // Key-down messages of the key that reached the edit's walk (modifier keys are keys too).
    int KeyDowns(WPARAM vk) {
        int n = 0;
        for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN})
            for (const LoggedMessage& m : edit_.Got(message, "pre"))
                if (m.wParam == vk) ++n;
        return n;
    }
    // Runs the posted messages.
    void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    ProbeWnd edit_{"edit", &log_};
    ProbeWnd other_{"other", &log_};
};

TEST_F(HotKeyTest, ThePressPostsWmHotKeyAndReachesNoWindow) {
    ASSERT_TRUE(RegisterHotKey(frame_.m_hWnd, 1, MOD_CONTROL | MOD_ALT, 'M'));
    QTest::keyClick(edit_.GetWidget(), Qt::Key_M, Qt::ControlModifier | Qt::AltModifier);
    Settle();
    auto got = frame_.Got(WM_HOTKEY);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 1u);
    EXPECT_EQ(got[0].lParam, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'M'));
    EXPECT_EQ(KeyDowns('M'), 0) << "the hot key is no key for the windows";
    EXPECT_EQ(edit_.GetWindowText(), "");

    // Other modifiers are another key.
    log_.clear();
    QTest::keyClick(edit_.GetWidget(), Qt::Key_M, Qt::ControlModifier);
    QTest::keyClick(edit_.GetWidget(), Qt::Key_M);
    Settle();
    EXPECT_TRUE(frame_.Got(WM_HOTKEY).empty());
    EXPECT_EQ(edit_.GetWindowText(), "m");
}

TEST_F(HotKeyTest, RegistrationRules) {
    EXPECT_TRUE(RegisterHotKey(frame_.m_hWnd, 1, MOD_SHIFT, VK_F9));
    // The same key and modifiers cannot be had twice, by another window or by the same one.
    EXPECT_FALSE(RegisterHotKey(other_.m_hWnd, 1, MOD_SHIFT, VK_F9));
    EXPECT_FALSE(RegisterHotKey(frame_.m_hWnd, 2, MOD_SHIFT | MOD_NOREPEAT, VK_F9));
    EXPECT_TRUE(RegisterHotKey(other_.m_hWnd, 1, MOD_CONTROL, VK_F9));
    EXPECT_FALSE(RegisterHotKey(0xFFFFFFF0u, 1, MOD_ALT, VK_F9)) << "not a window";
    EXPECT_FALSE(RegisterHotKey(frame_.m_hWnd, 3, MOD_ALT, 0));

    EXPECT_TRUE(UnregisterHotKey(frame_.m_hWnd, 1));
    EXPECT_FALSE(UnregisterHotKey(frame_.m_hWnd, 1)) << "nothing left under that id";
    EXPECT_TRUE(RegisterHotKey(other_.m_hWnd, 2, MOD_SHIFT, VK_F9)) << "free again";
    EXPECT_TRUE(UnregisterHotKey(other_.m_hWnd, 2));
}

TEST_F(HotKeyTest, NoRepeatRefusesAutoRepeatsButStillTakesThem) {
    ASSERT_TRUE(RegisterHotKey(frame_.m_hWnd, 1, MOD_ALT | MOD_NOREPEAT, '1'));
    QKeyEvent first(QEvent::KeyPress, Qt::Key_1, Qt::AltModifier, "1", false);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_1, Qt::AltModifier, "1", true);
    QApplication::sendEvent(edit_.GetWidget(), &first);
    QApplication::sendEvent(edit_.GetWidget(), &repeat);
    Settle();
    EXPECT_EQ(frame_.Got(WM_HOTKEY).size(), 1u);
    EXPECT_EQ(KeyDowns('1'), 0);
}

TEST_F(HotKeyTest, AWindowThatDiedGivesItsKeyUp) {
    ProbeWnd gone{"gone", &log_};
    ASSERT_TRUE(gone.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    ASSERT_TRUE(RegisterHotKey(gone.m_hWnd, 5, MOD_CONTROL, VK_F2));
    gone.DestroyWindow();
    Settle();
    QTest::keyClick(edit_.GetWidget(), Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(KeyDowns(VK_F2), 1) << "the dead window's key is a key again";
    EXPECT_TRUE(RegisterHotKey(frame_.m_hWnd, 1, MOD_CONTROL, VK_F2));
}

}  // namespace
