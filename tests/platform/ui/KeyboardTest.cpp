// The key walk (innermost first, swallowing, posted keys), accelerators, input-method text,
// key codes and states, the last-input tick, and the standard controls' notifications.
#include "platform/ui/Keyboard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <thread>

#include "platform/core/Clock.h"
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

// frame > panel > edit, all with logging handler objects, the edit holding the focus.
class KeyWalkTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 200), nullptr, 0));
        ASSERT_TRUE(
            panel_.Create(nullptr, "", WS_CHILD | WS_VISIBLE, Rect(0, 0, 300, 200), &frame_, 100));
        ASSERT_TRUE(edit_.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                 Rect(10, 10, 100, 20), &panel_, 101));
        QApplication::setActiveWindow(frame_.GetWidget());
        edit_.SetFocus();
        ASSERT_EQ(CWnd::GetFocus(), &edit_);
        log_.clear();
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    QWidget* EditWidget() { return edit_.GetWidget(); }
    std::string Text() { return edit_.GetWindowText(); }
    // "window stage" for each logged message of the kind, in order.
    std::vector<std::string> Trail(UINT message) {
        std::vector<std::string> trail;
        for (const LoggedMessage& m : log_)
            if (m.message == message) trail.push_back(m.window + " " + m.stage);
        return trail;
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    ProbeWnd panel_{"panel", &log_};
    ProbeWnd edit_{"edit", &log_};
};

TEST_F(KeyWalkTest, KeysWalkFromTheFocusWindowOutwardsBeforeDelivery) {
    QTest::keyClick(EditWidget(), Qt::Key_A);
    const std::vector<std::string> walk = {"edit pre", "panel pre", "frame pre", "edit proc"};
    EXPECT_EQ(Trail(WM_KEYDOWN), walk);
    EXPECT_EQ(Trail(WM_CHAR), walk);
    EXPECT_EQ(Trail(WM_KEYUP), walk);
    ASSERT_EQ(edit_.Got(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(edit_.Got(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(edit_.Got(WM_CHAR)[0].wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(edit_.Got(WM_KEYUP)[0].lParam & 0xC0000000, 0xC0000000)
        << "key-up carries the previous-state and transition bits";
    EXPECT_EQ(Text(), "a");
}

TEST_F(KeyWalkTest, SwallowingStopsTheWalkAndTheDelivery) {
    panel_.swallow = [](const MSG& msg) { return msg.message == WM_CHAR && msg.wParam == 'b'; };
    QTest::keyClick(EditWidget(), Qt::Key_B);
    EXPECT_EQ(Trail(WM_CHAR), (std::vector<std::string>{"edit pre", "panel pre"}));
    EXPECT_EQ(Text(), "") << "the swallowed character never reached the edit";
    EXPECT_EQ(edit_.Got(WM_KEYDOWN).size(), 1u) << "only the character was swallowed";

    // A handler that answers the key itself keeps the widget from seeing it.
    edit_.handle = [](UINT message, WPARAM, LPARAM, LRESULT*) { return message == WM_CHAR; };
    QTest::keyClick(EditWidget(), Qt::Key_C);
    EXPECT_EQ(Text(), "");
}

TEST_F(KeyWalkTest, TheApplicationFilterSeesEveryMessageBeforeTheWalk) {
    std::vector<UINT> seen;
    SetApplicationMessageFilter([&](MSG* msg) {
        seen.push_back(msg->message);
        return msg->message == WM_CHAR && msg->wParam == 'q' ? TRUE : FALSE;
    });
    QTest::keyClick(EditWidget(), Qt::Key_Q);
    ASSERT_TRUE(PostMessage(edit_.m_hWnd, WM_CHAR, 'r', 1));
    kelmon::test::ui::DrainEvents();
    SetApplicationMessageFilter({});
    QTest::keyClick(EditWidget(), Qt::Key_S);

    EXPECT_EQ(seen, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_CHAR}));
    EXPECT_EQ(Trail(WM_CHAR).front(), "edit pre");
    EXPECT_EQ(Trail(WM_CHAR).size(), 8u) << "the filtered 'q' never started the walk";
    EXPECT_EQ(Text(), "rs");
}

TEST_F(KeyWalkTest, PostedCharactersAndKeysTakeTheSameWalk) {
    ASSERT_TRUE(PostMessage(edit_.m_hWnd, WM_CHAR, 'z', 1));
    ASSERT_TRUE(PostMessage(edit_.m_hWnd, WM_CHAR, 0x4E70, 1));  // 买
    ASSERT_TRUE(PostMessage(edit_.m_hWnd, WM_KEYDOWN, VK_HOME, 1));
    ASSERT_TRUE(PostMessage(edit_.m_hWnd, WM_CHAR, 'y', 1));
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(Trail(WM_KEYDOWN),
              (std::vector<std::string>{"edit pre", "panel pre", "frame pre", "edit proc"}));
    EXPECT_EQ(Trail(WM_CHAR).size(), 12u);
    EXPECT_EQ(Text(), "yz买") << "Home moved the caret before the last character came";

    std::thread worker([hwnd = edit_.m_hWnd] { PostMessage(hwnd, WM_CHAR, '!', 1); });
    worker.join();
    panel_.swallow = [](const MSG& msg) { return msg.wParam == '!'; };
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(Text(), "yz买") << "a posted character is swallowed like a typed one";
}

TEST_F(KeyWalkTest, AcceleratorsFireAtTheTopOfTheWalk) {
    const ACCEL entries[] = {{FVIRTKEY | FCONTROL, 'S', 3001}, {FVIRTKEY, VK_F5, 3002}};
    HACCEL table = CreateAcceleratorTable(entries, 2);
    ASSERT_NE(table, 0u);
    platform::ui::SetWindowAccelerators(frame_.m_hWnd, table);

    QTest::keyClick(EditWidget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(edit_.Got(WM_CHAR).empty()) << "a translated key gives no character";
    auto commands = frame_.Got(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(3001, 1));
    for (const auto& key : edit_.Got(WM_KEYDOWN))
        EXPECT_NE(key.wParam, static_cast<WPARAM>('S')) << "the accelerator took the key";

    QTest::keyClick(EditWidget(), Qt::Key_S);
    EXPECT_EQ(frame_.Got(WM_COMMAND).size(), 1u) << "modifiers must match exactly";
    EXPECT_EQ(Text(), "s");
    QTest::keyClick(EditWidget(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_FALSE(edit_.Got(WM_CHAR).empty());
    EXPECT_EQ(edit_.Got(WM_CHAR).back().wParam, 0x11u) << "Ctrl+Q gives its control code";
    EXPECT_EQ(Text(), "s");

    // An inner window that wants the key sees it first.
    panel_.swallow = [](const MSG& msg) { return msg.message == WM_KEYDOWN; };
    QTest::keyClick(EditWidget(), Qt::Key_F5);
    EXPECT_EQ(frame_.Got(WM_COMMAND).size(), 1u);
    panel_.swallow = nullptr;
    QTest::keyClick(EditWidget(), Qt::Key_F5);
    ASSERT_EQ(frame_.Got(WM_COMMAND).size(), 2u);
    EXPECT_EQ(frame_.Got(WM_COMMAND)[1].wParam, MAKEWPARAM(3002, 1));

    EXPECT_TRUE(DestroyAcceleratorTable(table));
    QTest::keyClick(EditWidget(), Qt::Key_F5);
    EXPECT_EQ(frame_.Got(WM_COMMAND).size(), 2u) << "a destroyed table matches nothing";
    EXPECT_EQ(CreateAcceleratorTable(entries, 0), 0u);
}

TEST_F(KeyWalkTest, CommittedInputMethodTextBecomesOneCharacterEach) {
    QInputMethodEvent composing("zhong", {});
    QCoreApplication::sendEvent(EditWidget(), &composing);
    EXPECT_TRUE(Trail(WM_CHAR).empty()) << "text being composed is no input yet";
    QInputMethodEvent commit;
    commit.setCommitString("中文");
    QCoreApplication::sendEvent(EditWidget(), &commit);
    auto chars = edit_.Got(WM_CHAR);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].wParam, 0x4E2Du);
    EXPECT_EQ(chars[1].wParam, 0x6587u);
    EXPECT_EQ(frame_.Got(WM_CHAR, "pre").size(), 2u) << "each character walks";
    EXPECT_EQ(Text(), "中文");
}

TEST_F(KeyWalkTest, ModifierStateAndLastInputTick) {
    clock_.AdvanceMs(1234);
    QTest::keyPress(EditWidget(), Qt::Key_Shift);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    SHORT fromWorker = 0;
    std::thread([&] { fromWorker = GetAsyncKeyState(VK_SHIFT); }).join();
    EXPECT_LT(fromWorker, 0);
    EXPECT_EQ(platform::ui::LastInputTick(), platform::TickMs());
    QTest::keyRelease(EditWidget(), Qt::Key_Shift);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);

    clock_.AdvanceMs(500);
    EXPECT_NE(platform::ui::LastInputTick(), platform::TickMs());
    QTest::mouseClick(EditWidget(), Qt::LeftButton);
    EXPECT_EQ(platform::ui::LastInputTick(), platform::TickMs()) << "mouse input counts too";
}

TEST(VirtualKeys, QtKeysMapToVirtualKeysAndBack) {
    struct Case {
        int qt;
        bool keypad;
        int vk;
    };
    const Case cases[] = {
        {Qt::Key_A, false, 'A'},
        {Qt::Key_Z, false, 'Z'},
        {Qt::Key_0, false, '0'},
        {Qt::Key_9, false, '9'},
        {Qt::Key_F1, false, VK_F1},
        {Qt::Key_F24, false, VK_F24},
        {Qt::Key_Left, false, VK_LEFT},
        {Qt::Key_Down, false, VK_DOWN},
        {Qt::Key_Home, false, VK_HOME},
        {Qt::Key_End, false, VK_END},
        {Qt::Key_PageUp, false, VK_PRIOR},
        {Qt::Key_PageDown, false, VK_NEXT},
        {Qt::Key_Insert, false, VK_INSERT},
        {Qt::Key_Delete, false, VK_DELETE},
        {Qt::Key_Return, false, VK_RETURN},
        {Qt::Key_Escape, false, VK_ESCAPE},
        {Qt::Key_Tab, false, VK_TAB},
        {Qt::Key_Backspace, false, VK_BACK},
        {Qt::Key_Space, false, VK_SPACE},
        {Qt::Key_Shift, false, VK_SHIFT},
        {Qt::Key_Control, false, VK_CONTROL},
        {Qt::Key_Alt, false, VK_MENU},
        {Qt::Key_0, true, VK_NUMPAD0},
        {Qt::Key_7, true, VK_NUMPAD0 + 7},
        {Qt::Key_Asterisk, true, VK_MULTIPLY},
        {Qt::Key_Plus, true, VK_ADD},
        {Qt::Key_Minus, true, VK_SUBTRACT},
        {Qt::Key_Period, true, VK_DECIMAL},
        {Qt::Key_Slash, true, VK_DIVIDE},
        {Qt::Key_Comma, false, VK_OEM_COMMA},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::ui::VirtualKeyOf(c.qt, c.keypad), c.vk) << std::hex << c.qt;
        EXPECT_EQ(platform::ui::QtKeyOf(c.vk), c.qt) << std::hex << c.vk;
    }
    EXPECT_EQ(platform::ui::VirtualKeyOf(Qt::Key_Enter, true), VK_RETURN);
    EXPECT_EQ(platform::ui::VirtualKeyOf(Qt::Key_Exclam, false), '1') << "shifted 1";
    EXPECT_EQ(platform::ui::VirtualKeyOf(Qt::Key_unknown, false), 0);
}

// ---- notifications of the standard controls ------------------------------------------------

class ControlsTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            parent_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 300), nullptr, 0));
        QApplication::setActiveWindow(parent_.GetWidget());
        log_.clear();
    }
    void TearDown() override {
        parent_.DestroyWindow();
        UiTest::TearDown();
    }
    // Notification codes the parent got from the control, in order.
    std::vector<WORD> Codes(const CWnd& control) {
        std::vector<WORD> codes;
        for (const auto& m : parent_.Got(WM_COMMAND))
            if (static_cast<HWND>(m.lParam) == control.m_hWnd) {
                EXPECT_EQ(LOWORD(m.wParam), control.GetDlgCtrlID());
                codes.push_back(HIWORD(m.wParam));
            }
        return codes;
    }
    // Near the left edge, where check marks and radio dots are.
    void Click(CWnd& control) {
        QWidget* widget = control.GetWidget();
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    }
    LRESULT Check(CWnd& button) { return button.SendMessage(BM_GETCHECK); }

    std::vector<LoggedMessage> log_;
    ProbeWnd parent_{"parent", &log_};
};

TEST_F(ControlsTest, EditNotifiesChangesAndFocus) {
    CWnd edit, other;
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, Rect(0, 0, 100, 20),
                            &parent_, 11));
    ASSERT_TRUE(other.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, Rect(0, 30, 100, 20),
                             &parent_, 12));
    edit.SetFocus();
    QTest::keyClicks(edit.GetWidget(), "ab");
    QTest::keyClick(edit.GetWidget(), Qt::Key_Left);
    EXPECT_EQ(edit.SendMessage(EM_GETMODIFY), TRUE) << "typed by the user";
    edit.SetWindowText("价格");
    EXPECT_EQ(edit.SendMessage(EM_GETMODIFY), FALSE) << "setting the text clears the flag";
    edit.SetWindowText("价格");  // the same text is no change
    other.SetFocus();
    EXPECT_EQ(Codes(edit),
              (std::vector<WORD>{EN_SETFOCUS, EN_CHANGE, EN_CHANGE, EN_CHANGE, EN_KILLFOCUS}));
    edit.SendMessage(EM_SETSEL, 0, -1);
    DWORD from = 9, to = 9;
    edit.SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 2u) << "positions count characters";
}

// BM_GETSTATE: the check state, pushed while the mouse holds the button down (a dialog tells
// a press that will click from one that has ended), focused while it has the focus.
TEST_F(ControlsTest, ButtonStateShowsThePressAndTheFocus) {
    CWnd push, box;
    ASSERT_TRUE(push.Create("Button", "登录", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                            Rect(0, 0, 80, 24), &parent_, 1));
    ASSERT_TRUE(box.Create("Button", "box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX,
                           Rect(0, 30, 80, 24), &parent_, 2));
    EXPECT_EQ(push.SendMessage(BM_GETSTATE), 0);
    QTest::mousePress(push.GetWidget(), Qt::LeftButton);
    EXPECT_EQ(push.SendMessage(BM_GETSTATE) & BST_PUSHED, BST_PUSHED);
    QTest::mouseRelease(push.GetWidget(), Qt::LeftButton);
    EXPECT_EQ(push.SendMessage(BM_GETSTATE) & BST_PUSHED, 0);
    push.SetFocus();
    EXPECT_EQ(push.SendMessage(BM_GETSTATE), static_cast<LRESULT>(BST_FOCUS));
    Click(box);
    EXPECT_EQ(box.SendMessage(BM_GETSTATE) & BST_CHECKED, BST_CHECKED);
}

TEST_F(ControlsTest, ButtonsNotifyClicksAndKeepTheirKindOfCheck) {
    CWnd push, plain, automatic, three;
    ASSERT_TRUE(push.Create("Button", "确定", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                            Rect(0, 0, 80, 24), &parent_, 1));
    ASSERT_TRUE(plain.Create("Button", "plain", WS_CHILD | WS_VISIBLE | BS_CHECKBOX,
                             Rect(0, 30, 80, 24), &parent_, 2));
    ASSERT_TRUE(automatic.Create("Button", "auto", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX,
                                 Rect(0, 60, 80, 24), &parent_, 3));
    ASSERT_TRUE(three.Create("Button", "three", WS_CHILD | WS_VISIBLE | BS_AUTO3STATE,
                             Rect(0, 90, 80, 24), &parent_, 4));
    Click(push);
    push.SetFocus();
    QTest::keyClick(push.GetWidget(), Qt::Key_Space);
    EXPECT_EQ(Codes(push), (std::vector<WORD>{BN_CLICKED, BN_CLICKED}));

    Click(plain);
    EXPECT_EQ(Check(plain), BST_UNCHECKED) << "a plain check box waits for its owner";
    EXPECT_EQ(Codes(plain), (std::vector<WORD>{BN_CLICKED}));
    plain.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(Check(plain), BST_CHECKED);
    EXPECT_EQ(Codes(plain).size(), 1u) << "BM_SETCHECK is no click";

    Click(automatic);
    EXPECT_EQ(Check(automatic), BST_CHECKED);
    automatic.SendMessage(BM_CLICK);
    EXPECT_EQ(Check(automatic), BST_UNCHECKED);
    EXPECT_EQ(Codes(automatic).size(), 2u);

    std::vector<LRESULT> cycle;
    for (int i = 0; i < 3; ++i) {
        Click(three);
        cycle.push_back(Check(three));
    }
    EXPECT_EQ(cycle, (std::vector<LRESULT>{BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}));
}

TEST_F(ControlsTest, AutoRadioButtonsAreExclusiveWithinTheirGroup) {
    CWnd r1, r2, r3, r4;
    ASSERT_TRUE(r1.Create("Button", "1", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON,
                          Rect(0, 0, 80, 20), &parent_, 1));
    ASSERT_TRUE(r2.Create("Button", "2", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON,
                          Rect(0, 20, 80, 20), &parent_, 2));
    ASSERT_TRUE(r3.Create("Button", "3", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON,
                          Rect(0, 40, 80, 20), &parent_, 3));
    ASSERT_TRUE(r4.Create("Button", "4", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON,
                          Rect(0, 60, 80, 20), &parent_, 4));
    Click(r1);
    Click(r3);
    Click(r2);
    EXPECT_EQ(Check(r1), BST_UNCHECKED);
    EXPECT_EQ(Check(r2), BST_CHECKED);
    EXPECT_EQ(Check(r3), BST_CHECKED) << "another group";
    Click(r4);
    EXPECT_EQ(Check(r3), BST_UNCHECKED);
    EXPECT_EQ(Check(r2), BST_CHECKED);
}

TEST_F(ControlsTest, StaticNotifiesClicksOnlyWithSsNotify) {
    CWnd quiet, notifying;
    ASSERT_TRUE(
        quiet.Create("Static", "a", WS_CHILD | WS_VISIBLE, Rect(0, 0, 80, 20), &parent_, 1));
    ASSERT_TRUE(notifying.Create("Static", "b", WS_CHILD | WS_VISIBLE | SS_NOTIFY,
                                 Rect(0, 30, 80, 20), &parent_, 2));
    Click(quiet);
    Click(notifying);
    EXPECT_TRUE(Codes(quiet).empty());
    EXPECT_EQ(Codes(notifying), (std::vector<WORD>{STN_CLICKED}));
    QTest::mouseDClick(notifying.GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Codes(notifying).back(), STN_DBLCLK);
}

TEST_F(ControlsTest, TabSkipsControlsWithoutTabStop) {
    CWnd first, skipped, last;
    ASSERT_TRUE(first.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, Rect(0, 0, 80, 20),
                             &parent_, 1));
    ASSERT_TRUE(
        skipped.Create("Edit", "", WS_CHILD | WS_VISIBLE, Rect(0, 30, 80, 20), &parent_, 2));
    ASSERT_TRUE(last.Create("Button", "b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, Rect(0, 60, 80, 20),
                            &parent_, 3));
    first.SetFocus();
    QTest::keyClick(first.GetWidget(), Qt::Key_Tab);
    EXPECT_EQ(CWnd::GetFocus(), &last);
    skipped.ModifyStyle(0, WS_TABSTOP);
    QTest::keyClick(last.GetWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(CWnd::GetFocus(), &skipped) << "WS_TABSTOP added later takes effect too";
    Click(skipped);
}

TEST_F(ControlsTest, AMouseHandlerThatSkipsDefaultKeepsTheWidgetFromTheClick) {
    ProbeWnd button("button", &log_);
    ASSERT_TRUE(
        button.Create("Button", "x", WS_CHILD | WS_VISIBLE, Rect(0, 0, 80, 24), &parent_, 5));
    button.handle = [](UINT message, WPARAM, LPARAM, LRESULT*) {
        return message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
    };
    Click(button);
    EXPECT_TRUE(Codes(button).empty());
    ASSERT_EQ(button.Got(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(button.Got(WM_LBUTTONDOWN)[0].wParam & MK_LBUTTON, MK_LBUTTON);
    button.handle = nullptr;
    Click(button);
    EXPECT_EQ(Codes(button), (std::vector<WORD>{BN_CLICKED}));
}

}  // namespace
