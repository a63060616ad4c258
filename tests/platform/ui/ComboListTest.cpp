// "ComboBox" and "ListBox": item messages, selection by the program (silent) and by the user
// (notified once), the dropped list's notifications and keys, and owner-drawn no-data lists.
#include "platform/ui/ComboListControls.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <set>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

constexpr int kId = 200;

class ComboListTest : public UiTest {
protected:
    void SetUp() override {
        frame_.logPre = false;
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 400, 300), nullptr, 0));
        frame_.handle = [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
            if (message == WM_COMMAND && LOWORD(wParam) == kId && onCommand)
                onCommand(HIWORD(wParam));
            if (message == WM_DRAWITEM) {
                drawn_.push_back(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->itemID);
                *result = TRUE;
                return true;
            }
            return false;
        };
        QApplication::setActiveWindow(frame_.GetWidget());
    }
    void TearDown() override {
        control_.DestroyWindow();
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    void Make(const char* className, DWORD style, int height = 200) {
        ASSERT_TRUE(control_.Create(className, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                                    Rect(10, 10, 200, height), &frame_, kId));
        log_.clear();
    }
    // The notification codes the frame got from the control, in order (without the focus
    // ones unless asked for).
    std::vector<WORD> Codes(bool withFocus = false) const {
        std::vector<WORD> codes;
        for (const LoggedMessage& m : frame_.Got(WM_COMMAND)) {
            const WORD code = HIWORD(m.wParam);
            const bool focus = code == CBN_SETFOCUS || code == CBN_KILLFOCUS;
            const bool combo = ::GetClassName(control_.m_hWnd) == "ComboBox";
            if (LOWORD(m.wParam) == kId && (withFocus || !combo || !focus)) codes.push_back(code);
        }
        return codes;
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return control_.SendMessage(message, wParam, lParam);
    }
    LRESULT Add(const char* text, UINT message) {
        return Send(message, 0, reinterpret_cast<LPARAM>(text));
    }
    std::string ItemText(UINT lenMessage, UINT textMessage, int index) {
        const LRESULT length = Send(lenMessage, static_cast<WPARAM>(index));
        if (length < 0) return "<err>";
        std::string text(static_cast<size_t>(length) + 1, '\0');
        Send(textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        return text;
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    CWnd control_;
    std::function<void(WORD)> onCommand;
    std::vector<UINT> drawn_;
};

// ---- ComboBox -----------------------------------------------------------------------------------

TEST_F(ComboListTest, ComboItemsFindAndSelectByProgramWithoutNotifying) {
    Make("ComboBox", CBS_DROPDOWNLIST | CBS_SORT);
    for (const char* text : {"pear", "Apple", "banana", "苹果"}) Add(text, CB_ADDSTRING);
    ASSERT_EQ(Send(CB_GETCOUNT), 4);
    // Sorted without regard to case; the UTF-8 text comes back whole.
    EXPECT_EQ(ItemText(CB_GETLBTEXTLEN, CB_GETLBTEXT, 0), "Apple");
    EXPECT_EQ(ItemText(CB_GETLBTEXTLEN, CB_GETLBTEXT, 2), "pear");
    EXPECT_EQ(ItemText(CB_GETLBTEXTLEN, CB_GETLBTEXT, 3), "苹果");
    EXPECT_EQ(Send(CB_GETLBTEXTLEN, 9), CB_ERR);

    struct Case {
        UINT message;
        intptr_t start;
        const char* text;
        LRESULT expected;
    };
    const Case cases[] = {
        {CB_FINDSTRING, -1, "BAN", 1},           {CB_FINDSTRING, 1, "a", 0},  // wraps round
        {CB_FINDSTRING, -1, "x", CB_ERR},        {CB_FINDSTRINGEXACT, -1, "apple", 0},
        {CB_FINDSTRINGEXACT, -1, "app", CB_ERR},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Send(c.message, static_cast<WPARAM>(c.start), reinterpret_cast<LPARAM>(c.text)),
                  c.expected)
            << c.text;

    EXPECT_EQ(Send(CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(Send(CB_SETCURSEL, 2), 2);
    EXPECT_EQ(Send(CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("b")), 1);
    EXPECT_EQ(Send(CB_GETCURSEL), 1);
    EXPECT_EQ(control_.GetWindowText(), "banana");
    EXPECT_EQ(Send(CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("q")),
              CB_ERR);
    EXPECT_EQ(Send(CB_GETCURSEL), 1) << "a failed search keeps the selection";
    EXPECT_EQ(Send(CB_SETCURSEL, 7), CB_ERR);
    EXPECT_EQ(Send(CB_GETCURSEL), CB_ERR);

    Send(CB_SETITEMDATA, 3, 0x12345678);
    EXPECT_EQ(Send(CB_GETITEMDATA, 3), 0x12345678);
    EXPECT_EQ(Send(CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("zz")), 0);
    EXPECT_EQ(Send(CB_GETITEMDATA, 4), 0x12345678) << "data moves with its item";
    EXPECT_EQ(Send(CB_DELETESTRING, 0), 4);
    EXPECT_EQ(Send(CB_DELETESTRING, 9), CB_ERR);
    Send(CB_RESETCONTENT);
    EXPECT_EQ(Send(CB_GETCOUNT), 0);
    EXPECT_TRUE(Codes().empty()) << "program changes are not told to the parent";
}

TEST_F(ComboListTest, DropDownCombosAreOneLineHighWhateverTheirMadeHeight) {
    // The made height of a drop-down combo box is its list's room, not its own height.
    const struct {
        DWORD style;
        bool oneLine;
    } cases[] = {{CBS_DROPDOWNLIST, true}, {CBS_DROPDOWN, true}, {CBS_SIMPLE, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        Make("ComboBox", c.style, 150);
        RECT rect{};
        ::GetWindowRect(control_.m_hWnd, &rect);
        const int height = rect.bottom - rect.top;
        if (c.oneLine) {
            EXPECT_GT(height, 10);
            EXPECT_LT(height, 40);
        } else {
            EXPECT_EQ(height, 150);
        }
        control_.DestroyWindow();
    }
}

TEST_F(ComboListTest, ComboKeyboardChangeOnClosedListNotifiesOnce) {
    Make("ComboBox", CBS_DROPDOWNLIST);
    for (const char* text : {"a", "b", "c"}) Add(text, CB_ADDSTRING);
    Send(CB_SETCURSEL, 0);
    control_.SetFocus();
    log_.clear();
    QTest::keyClick(control_.GetWidget(), Qt::Key_Down);
    EXPECT_EQ(Send(CB_GETCURSEL), 1);
    EXPECT_EQ(Codes(), std::vector<WORD>{CBN_SELCHANGE});
    EXPECT_EQ(Send(WM_GETDLGCODE) & DLGC_WANTALLKEYS, 0) << "a closed list leaves Enter alone";
}

TEST_F(ComboListTest, ComboDroppedListOwnsKeysAndReportsPickBeforeCloseUp) {
    Make("ComboBox", CBS_DROPDOWNLIST);
    for (const char* text : {"a", "b", "c"}) Add(text, CB_ADDSTRING);
    Send(CB_SETCURSEL, 0);
    LRESULT selAtEndOk = -2;
    onCommand = [&](WORD code) {
        if (code == CBN_SELENDOK) selAtEndOk = Send(CB_GETCURSEL);
    };
    control_.SetFocus();
    log_.clear();
    Send(CB_SHOWDROPDOWN, TRUE);
    ASSERT_EQ(Send(CB_GETDROPPEDSTATE), TRUE);
    EXPECT_NE(Send(WM_GETDLGCODE) & DLGC_WANTALLKEYS, 0);
    auto* view = static_cast<QComboBox*>(control_.GetWidget())->view();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(Send(CB_GETDROPPEDSTATE), FALSE);
    EXPECT_EQ(Send(CB_GETCURSEL), 1);
    EXPECT_EQ(selAtEndOk, 1) << "the parent reads the new item on CBN_SELENDOK";
    EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));

    // Escape: the choice is cancelled, the selection stays.
    log_.clear();
    Send(CB_SHOWDROPDOWN, TRUE);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Escape);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(Send(CB_GETCURSEL), 1);
    EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST_F(ComboListTest, EditableComboHasEditChildWithIdAndTellsUserTyping) {
    Make("ComboBox", CBS_DROPDOWN);
    HWND edit = ::GetDlgItem(control_.m_hWnd, kComboEditId);
    ASSERT_NE(edit, 0u);
    EXPECT_EQ(::GetClassName(edit), "Edit");
    EXPECT_EQ(::GetParent(edit), control_.m_hWnd);
    Add("alpha", CB_ADDSTRING);

    control_.SetWindowText("by program");
    Send(CB_SETCURSEL, 0);
    EXPECT_EQ(control_.GetWindowText(), "alpha");
    EXPECT_TRUE(Codes().empty());

    Send(CB_LIMITTEXT, 4);
    ::SetFocus(edit);
    Send(CB_SETEDITSEL, 0, MAKELPARAM(0, static_cast<WORD>(-1)));
    log_.clear();
    QTest::keyClicks(platform::ui::WidgetOf(edit), "xyz12");
    EXPECT_EQ(control_.GetWindowText(), "xyz1");
    const std::vector<WORD> codes = Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), CBN_EDITCHANGE), 4);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), CBN_EDITUPDATE), 4);
}

// ---- ListBox ------------------------------------------------------------------------------------

TEST_F(ComboListTest, ListItemsSortFindDataAndGeometry) {
    Make("ListBox", LBS_NOTIFY | LBS_SORT | WS_VSCROLL);
    for (const char* text : {"delta", "Alpha", "charlie", "bravo"}) Add(text, LB_ADDSTRING);
    EXPECT_EQ(ItemText(LB_GETTEXTLEN, LB_GETTEXT, 1), "bravo");
    EXPECT_EQ(Send(LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("CH")), 2);
    EXPECT_EQ(Send(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("ch")),
              LB_ERR);
    Send(LB_SETITEMDATA, 3, 77);
    EXPECT_EQ(Send(LB_GETITEMDATA, 3), 77);
    EXPECT_EQ(Send(LB_SETCURSEL, 2), 2);
    EXPECT_EQ(Send(LB_GETCURSEL), 2);
    EXPECT_GT(Send(LB_GETSEL, 2), 0);
    EXPECT_EQ(Send(LB_DELETESTRING, 0), 3);
    EXPECT_EQ(Send(LB_GETCURSEL), 1) << "the selection follows its item";

    Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(20, 0));
    EXPECT_EQ(Send(LB_GETITEMHEIGHT, 0), 20);
    RECT rect{};
    EXPECT_EQ(Send(LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect)), 1);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.bottom, 60);
    EXPECT_EQ(Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 45)), 2);
    EXPECT_EQ(HIWORD(static_cast<uintptr_t>(Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 190)))), 1)
        << "below the last item";
    EXPECT_EQ(Send(LB_SETCOUNT, 5), LB_ERR) << "only a no-data list takes a count";
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ComboListTest, ListUserSelectionNotifiesOnlyWithNotifyStyle) {
    for (DWORD notify : {LBS_NOTIFY, DWORD{0}}) {
        SCOPED_TRACE(notify);
        Make("ListBox", notify);
        for (const char* text : {"a", "b", "c"}) Add(text, LB_ADDSTRING);
        Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(20, 0));
        auto* viewport = static_cast<QAbstractScrollArea*>(control_.GetWidget())->viewport();
        control_.SetFocus();
        log_.clear();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, 25));
        EXPECT_EQ(Send(LB_GETCURSEL), 1);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, 25));  // same item: no change
        QTest::keyClick(control_.GetWidget(), Qt::Key_Down);
        EXPECT_EQ(Send(LB_GETCURSEL), 2);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(5, 45));
        Send(LB_SETCURSEL, 0);
        std::vector<WORD> codes = Codes(true);
        std::erase_if(codes, [](WORD c) { return c == LBN_SETFOCUS || c == LBN_KILLFOCUS; });
        if (notify)
            EXPECT_EQ(codes, (std::vector<WORD>{LBN_SELCHANGE, LBN_SELCHANGE, LBN_DBLCLK}));
        else
            EXPECT_TRUE(codes.empty());
        control_.DestroyWindow();
    }
}

TEST_F(ComboListTest, ListMultipleSelection) {
    Make("ListBox", LBS_EXTENDEDSEL | LBS_NOTIFY);
    for (const char* text : {"a", "b", "c", "d"}) Add(text, LB_ADDSTRING);
    EXPECT_EQ(Send(LB_SETCURSEL, 1), LB_ERR);
    Send(LB_SETSEL, TRUE, -1);
    for (int i = 0; i < 4; ++i) EXPECT_GT(Send(LB_GETSEL, i), 0);
    Send(LB_SETSEL, FALSE, 2);
    EXPECT_EQ(Send(LB_GETSEL, 2), 0);
    EXPECT_EQ(Send(LB_GETCARETINDEX), 2);
    EXPECT_EQ(Send(LB_SETSEL, TRUE, 9), LB_ERR);
}

TEST_F(ComboListTest, NoDataOwnerDrawListPaintsOnlyVisibleRows) {
    Make("ListBox", LBS_OWNERDRAWFIXED | LBS_NODATA | WS_VSCROLL, 160);
    EXPECT_EQ(Add("x", LB_ADDSTRING), LB_ERR);
    ASSERT_EQ(Send(LB_SETCOUNT, 100000), 0);
    Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(16, 0));
    EXPECT_EQ(Send(LB_GETCOUNT), 100000);
    kelmon::test::ui::DrainEvents();
    drawn_.clear();
    static_cast<QAbstractScrollArea*>(control_.GetWidget())->viewport()->repaint();
    ASSERT_FALSE(drawn_.empty());
    EXPECT_LE(drawn_.size(), 11u);  // 160 pixels of 16-pixel rows, one partial
    EXPECT_EQ(drawn_.front(), 0u);

    Send(LB_SETTOPINDEX, 50000);
    EXPECT_EQ(Send(LB_GETTOPINDEX), 50000);
    drawn_.clear();
    static_cast<QAbstractScrollArea*>(control_.GetWidget())->viewport()->repaint();
    ASSERT_FALSE(drawn_.empty());
    EXPECT_LE(drawn_.size(), 11u);
    EXPECT_EQ(drawn_.front(), 50000u);
}

}  // namespace
