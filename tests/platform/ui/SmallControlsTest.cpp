// "msctls_updown32" and "msctls_hotkey32": range and position, the parent's say over each step
// (UDN_DELTAPOS), the buddy's text and place, and hot keys with their modifier rules.
#include "platform/ui/SmallControls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

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

class SmallControlsTest : public UiTest {
protected:
    void SetUp() override {
        frame_.logPre = false;
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 200), nullptr, 0));
        frame_.handle = [this](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
            if (message != WM_NOTIFY) return false;
            const auto* notice = reinterpret_cast<const NMUPDOWN*>(lParam);
            if (notice->hdr.code != UDN_DELTAPOS) return false;
            deltas_.push_back(notice->iDelta);
            *result = refuse_ ? 1 : 0;
            return true;
        };
        QApplication::setActiveWindow(frame_.GetWidget());
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    // Presses the spin's upper or lower arrow once.
    void Click(CWnd& spin, bool up) {
        QWidget* widget = spin.GetWidget();
        const QPoint at(widget->width() / 2, up ? 2 : widget->height() - 3);
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    }
    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    std::vector<int> deltas_;
    bool refuse_ = false;
};

TEST_F(SmallControlsTest, SpinStepsItsBuddyWithinTheRangeAndTellsTheParent) {
    CWnd edit;
    CWnd spin;
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD | WS_VISIBLE, Rect(10, 10, 100, 20), &frame_, 1));
    ASSERT_TRUE(spin.Create(
        "msctls_updown32", "",
        WS_CHILD | WS_VISIBLE | UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS,
        Rect(0, 0, 16, 20), &frame_, 2));
    EXPECT_EQ(static_cast<HWND>(spin.SendMessage(UDM_GETBUDDY)), edit.m_hWnd);
    RECT editRect{};
    RECT spinRect{};
    edit.GetWindowRect(&editRect);
    spin.GetWindowRect(&spinRect);
    EXPECT_EQ(editRect.right - editRect.left, 84) << "the buddy gives up the arrows' width";
    EXPECT_EQ(spinRect.left, editRect.right);

    spin.SendMessage(UDM_SETRANGE32, 0, 1500);
    int lo = -1;
    int hi = -1;
    spin.SendMessage(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1500);
    spin.SendMessage(UDM_SETPOS32, 0, 999);
    EXPECT_EQ(edit.GetWindowText(), "999");
    EXPECT_TRUE(deltas_.empty()) << "the program's position is not a step";

    log_.clear();
    Click(spin, true);
    EXPECT_EQ(spin.SendMessage(UDM_GETPOS32), 1000);
    EXPECT_EQ(edit.GetWindowText(), "1,000");
    EXPECT_EQ(deltas_, std::vector<int>{1});
    const auto scrolls = frame_.Got(WM_VSCROLL);
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(LOWORD(scrolls[0].wParam), SB_THUMBPOSITION);
    EXPECT_EQ(HIWORD(scrolls[0].wParam), 1000);
    EXPECT_EQ(LOWORD(scrolls[1].wParam), SB_ENDSCROLL);

    // The user's own text counts; the top of the range holds.
    edit.SetWindowText("1500");
    Click(spin, true);
    EXPECT_EQ(spin.SendMessage(UDM_GETPOS32), 1500);

    // The parent refuses: nothing moves.
    refuse_ = true;
    Click(spin, false);
    EXPECT_EQ(spin.SendMessage(UDM_GETPOS32), 1500);
    EXPECT_EQ(deltas_.back(), -1);

    // The buddy's arrow keys step the spin.
    refuse_ = false;
    edit.SetFocus();
    QTest::keyClick(edit.GetWidget(), Qt::Key_Down);
    EXPECT_EQ(spin.SendMessage(UDM_GETPOS32), 1499);
}

TEST_F(SmallControlsTest, SpinDefaultRangeRunsDownwardAndWrapWraps) {
    CWnd spin;
    ASSERT_TRUE(spin.Create("msctls_updown32", "", WS_CHILD | WS_VISIBLE | UDS_WRAP,
                            Rect(0, 0, 16, 20), &frame_, 2));
    // Until a range is set the upper arrow moves toward the lower number.
    Click(spin, true);
    EXPECT_EQ(deltas_, std::vector<int>{-1});
    spin.SendMessage(UDM_SETRANGE32, 1, 3);
    spin.SendMessage(UDM_SETPOS32, 0, 3);
    Click(spin, true);
    EXPECT_EQ(spin.SendMessage(UDM_GETPOS32), 1);
    UDACCEL accel[] = {{0, 5}};
    EXPECT_EQ(spin.SendMessage(UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(accel)), TRUE);
    Click(spin, false);
    EXPECT_EQ(deltas_.back(), -5);
}

TEST_F(SmallControlsTest, HotKeyTakesKeysUnderItsRulesAndTellsOnlyUserChanges) {
    CWnd hotKey;
    ASSERT_TRUE(hotKey.Create("msctls_hotkey32", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                              Rect(0, 0, 120, 20), &frame_, 7));
    hotKey.SendMessage(HKM_SETHOTKEY, (HOTKEYF_CONTROL << 8) | 'K');
    EXPECT_EQ(hotKey.SendMessage(HKM_GETHOTKEY), (HOTKEYF_CONTROL << 8) | 'K');
    EXPECT_EQ(hotKey.GetWindowText(), "Ctrl + K");
    EXPECT_TRUE(frame_.Got(WM_COMMAND).empty());

    hotKey.SetFocus();
    log_.clear();
    QTest::keyClick(hotKey.GetWidget(), Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(hotKey.SendMessage(HKM_GETHOTKEY), (HOTKEYF_SHIFT << 8) | VK_F5);
    QTest::keyClick(hotKey.GetWidget(), Qt::Key_Left);
    EXPECT_EQ(hotKey.SendMessage(HKM_GETHOTKEY), (HOTKEYF_EXT << 8) | VK_LEFT);
    size_t changes = 0;
    for (const LoggedMessage& m : frame_.Got(WM_COMMAND))
        if (LOWORD(m.wParam) == 7 && HIWORD(m.wParam) == EN_CHANGE) ++changes;
    EXPECT_EQ(changes, 2u);

    // Every combination invalid, replaced by none: plain keys only.
    hotKey.SendMessage(HKM_SETRULES, 0xFF, 0);
    QTest::keyClick(hotKey.GetWidget(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(hotKey.SendMessage(HKM_GETHOTKEY), 'B');
    EXPECT_EQ(platform::ui::HotKeyText(0), "无");
}

}  // namespace
