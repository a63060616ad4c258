// "Edit" styles: the multi-line edit (keys it keeps from the dialog, lines, replacing the
// selection) and the single-line typing rules ES_UPPERCASE, ES_LOWERCASE and ES_NUMBER.
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

class EditStylesTest : public UiTest {
protected:
    void SetUp() override {
        frame_.logPre = false;
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 300, 200), nullptr, 0));
        QApplication::setActiveWindow(frame_.GetWidget());
    }
    void TearDown() override {
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
};

LRESULT DlgCodeFor(CWnd& edit, int vk) {
    MSG msg{};
    msg.hwnd = edit.m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = static_cast<WPARAM>(vk);
    return edit.SendMessage(WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(&msg));
}

TEST_F(EditStylesTest, MultiLineKeepsEnterAndArrowsAndWorksByLines) {
    CWnd plain;
    CWnd wantReturn;
    ASSERT_TRUE(plain.Create("Edit", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | WS_VSCROLL,
                             Rect(0, 0, 200, 60), &frame_, 1));
    ASSERT_TRUE(wantReturn.Create("Edit", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN,
                                  Rect(0, 70, 200, 60), &frame_, 2));
    for (int vk : {VK_UP, VK_DOWN, VK_LEFT})
        EXPECT_NE(DlgCodeFor(plain, vk) & DLGC_WANTALLKEYS, 0) << vk;
    EXPECT_EQ(DlgCodeFor(plain, VK_RETURN) & DLGC_WANTALLKEYS, 0);
    EXPECT_NE(DlgCodeFor(wantReturn, VK_RETURN) & DLGC_WANTALLKEYS, 0);
    EXPECT_EQ(DlgCodeFor(wantReturn, VK_TAB) & DLGC_WANTALLKEYS, 0) << "Tab stays the dialog's";

    plain.SetWindowText("第一\r\nsecond\r\nthird");
    EXPECT_EQ(plain.GetWindowText(), "第一\r\nsecond\r\nthird");
    EXPECT_EQ(plain.SendMessage(EM_GETLINECOUNT), 3);
    EXPECT_EQ(plain.SendMessage(EM_GETMODIFY), FALSE) << "the program's text is no change";
    plain.SendMessage(EM_SETSEL, 0, 2);
    plain.SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("first"));
    EXPECT_EQ(plain.GetWindowText(), "first\r\nsecond\r\nthird");
    EXPECT_EQ(plain.SendMessage(EM_GETMODIFY), TRUE) << "replacing the selection modifies";

    wantReturn.SetFocus();
    QTest::keyClicks(wantReturn.GetWidget(), "ab");
    QTest::keyClick(wantReturn.GetWidget(), Qt::Key_Return);
    QTest::keyClicks(wantReturn.GetWidget(), "c");
    EXPECT_EQ(wantReturn.GetWindowText(), "ab\r\nc");
    EXPECT_EQ(wantReturn.SendMessage(EM_GETMODIFY), TRUE);
    plain.DestroyWindow();
    wantReturn.DestroyWindow();
}

TEST_F(EditStylesTest, TypingRulesOfSingleLineEdits) {
    struct Case {
        DWORD style;
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        {ES_UPPERCASE, "abC1", "ABC1"},
        {ES_LOWERCASE, "AbC1", "abc1"},
        {ES_NUMBER, "1a2-3", "123"},
        {0, "aB", "aB"},
    };
    for (const Case& c : cases) {
        CWnd edit;
        ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD | WS_VISIBLE | c.style, Rect(0, 0, 100, 20),
                                &frame_, 3));
        edit.SetFocus();
        QTest::keyClicks(edit.GetWidget(), c.typed);
        EXPECT_EQ(edit.GetWindowText(), c.expected) << c.typed;
        edit.DestroyWindow();
    }
}

}  // namespace

namespace {

// EM_LIMITTEXT on a multi-line edit: typing stops at the limit (a line break counts two),
// pastes and EM_REPLACESEL are cut to fit, each with EN_MAXTEXT; the program's own text is not
// bounded.
TEST_F(EditStylesTest, MultiLineLimitBoundsWhatTheUserPutsIn) {
    CWnd edit;
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN,
                            Rect(0, 0, 200, 60), &frame_, 3));
    EXPECT_EQ(edit.SendMessage(EM_GETLIMITTEXT), 0x7FFFFFFE);
    edit.SendMessage(EM_LIMITTEXT, 5);
    EXPECT_EQ(edit.SendMessage(EM_GETLIMITTEXT), 5);
    edit.SetFocus();
    QTest::keyClicks(edit.GetWidget(), "ab");
    QTest::keyClick(edit.GetWidget(), Qt::Key_Return);
    QTest::keyClicks(edit.GetWidget(), "cde");
    EXPECT_EQ(edit.GetWindowText(), "ab\r\nc");
    auto maxText = [&] {
        int n = 0;
        for (const LoggedMessage& m : frame_.Got(WM_COMMAND))
            if (HIWORD(m.wParam) == EN_MAXTEXT && m.lParam == static_cast<LPARAM>(edit.m_hWnd)) ++n;
        return n;
    };
    EXPECT_EQ(maxText(), 2) << "once per refused character";

    // A selection makes room for its replacement.
    edit.SendMessage(EM_SETSEL, 0, 2);
    edit.SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("xyz"));
    EXPECT_EQ(edit.GetWindowText(), "xy\r\nc");
    EXPECT_EQ(maxText(), 3);

    edit.SetWindowText("the program's own text is longer");
    EXPECT_EQ(edit.GetWindowText(), "the program's own text is longer");
    edit.SendMessage(EM_LIMITTEXT, 0);
    EXPECT_EQ(edit.SendMessage(EM_GETLIMITTEXT), 0x7FFFFFFE);
}

}  // namespace
