// CFlexDialog: the Enter and arrow walk, edge-following children, placement helpers, numeric
// texts that are written only when they change, the child functor and the background.
#include "flexui/FlexDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>
#include <string>
#include <vector>

#include "platform/ui/DialogManager.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using platform::ui::DialogItemTemplate;
using platform::ui::DialogTemplate;

constexpr int kEdit = 101, kMulti = 102, kPush = 103, kDefPush = 104, kCheck = 105, kCombo = 106,
              kList = 107, kDate = 108, kLast = 109;

DialogItemTemplate Item(int id, const char* className, DWORD style, int x, int y, int cx, int cy,
                        const char* text = "") {
    DialogItemTemplate item;
    item.id = id;
    item.className = className;
    item.text = text;
    item.style = style | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

DialogTemplate Form(std::vector<DialogItemTemplate> items, int cx = 200, int cy = 160) {
    DialogTemplate t;
    t.cx = cx;
    t.cy = cy;
    t.caption = "flex";
    t.style = WS_POPUP | WS_CAPTION;
    t.items = std::move(items);
    return t;
}

// One control of each kind the walk tells apart, all tab stops, in this tab order.
DialogTemplate WalkForm() {
    return Form({Item(kEdit, "Edit", WS_TABSTOP | ES_AUTOHSCROLL, 4, 4, 80, 12),
                 Item(kMulti, "Edit", WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, 4, 20, 80, 30),
                 Item(kPush, "Button", WS_TABSTOP | BS_PUSHBUTTON, 4, 54, 40, 14, "Push"),
                 Item(kDefPush, "Button", WS_TABSTOP | BS_DEFPUSHBUTTON, 50, 54, 40, 14, "Def"),
                 Item(kCheck, "Button", WS_TABSTOP | BS_AUTOCHECKBOX, 4, 72, 60, 12, "Check"),
                 Item(kCombo, "ComboBox", WS_TABSTOP | CBS_DROPDOWNLIST, 4, 88, 80, 60),
                 Item(kList, "ListBox", WS_TABSTOP | LBS_NOTIFY, 100, 4, 60, 40),
                 Item(kDate, "SysDateTimePick32", WS_TABSTOP, 100, 50, 80, 14),
                 Item(kLast, "Edit", WS_TABSTOP, 100, 70, 60, 12)});
}

class LoggingDialog : public CFlexDialog {
public:
    std::vector<int> commands;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override {
        if (HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
        return TRUE;  // nothing ends the dialog
    }
};

int FocusId(const CWnd& dialog) {
    HWND focus = GetFocus();
    return focus && IsChild(dialog.m_hWnd, focus) ? GetDlgCtrlID(focus) : 0;
}

class FlexDialogTest : public UiTest {
protected:
    void Open(CFlexDialog& dialog, const DialogTemplate& t) {
        ASSERT_TRUE(dialog.CreateIndirect(t));
        dialog.ShowWindow(SW_SHOW);
        QApplication::setActiveWindow(dialog.GetWidget());
        DrainEvents();
    }
    static RECT Place(const CWnd& dialog, int id) {
        return GetWindowRectIn(GetDlgItem(dialog.m_hWnd, id), dialog.m_hWnd);
    }
    static void Put(CWnd& dialog, int id, RECT r) {
        MoveWindow(GetDlgItem(dialog.m_hWnd, id), r.left, r.top, r.right - r.left, r.bottom - r.top,
                   TRUE);
    }
};

void PressKey(int key) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, static_cast<Qt::Key>(key));
    DrainEvents();
}

TEST_F(FlexDialogTest, KeyboardWalkTable) {
    struct Case {
        int focus;
        int key;
        DWORD tabStyle;
        int command;  // posted command id, 0 for none
        int focusAfter;
        bool swallowed;
    };
    const Case cases[] = {
        {kEdit, Qt::Key_Return, 3, 0, kMulti, true},
        {kEdit, Qt::Key_Return, 2, kDefPush, kEdit, false},  // Enter off: the default button
        {kPush, Qt::Key_Return, 3, kPush, kPush, true},
        {kDefPush, Qt::Key_Return, 3, kDefPush, kDefPush, true},
        {kCheck, Qt::Key_Return, 3, 0, kCombo, true},
        {kMulti, Qt::Key_Return, 3, 0, kMulti, false},
        {kCombo, Qt::Key_Return, 3, 0, kList, true},
        {kEdit, Qt::Key_Down, 3, 0, kMulti, true},
        {kEdit, Qt::Key_Up, 3, 0, kLast, true},
        {kEdit, Qt::Key_Down, 1, 0, kEdit, false},  // Up/Down walking removed
        {kEdit, Qt::Key_Right, 3, 0, kEdit, false},
        {kEdit, Qt::Key_Right, 7, 0, kMulti, true},
        {kLast, Qt::Key_Left, 7, 0, kDate, true},
        {kCombo, Qt::Key_Down, 3, 0, kList, true},
        {kCombo, Qt::Key_Up, 3, 0, kCheck, true},
        {kDate, Qt::Key_Up, 3, 0, kList, true},
        {kList, Qt::Key_Down, 7, 0, kList, false},
        {kMulti, Qt::Key_Down, 7, 0, kMulti, false},
        {kEdit, Qt::Key_Return, 0, kDefPush, kEdit, false},  // no bit set: the dialog's own keys
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "focus " << c.focus << " key " << c.key << " style " << c.tabStyle);
        LoggingDialog dialog;
        Open(dialog, WalkForm());
        dialog.ModifyTabStyle(0xF, c.tabStyle);
        ASSERT_EQ(dialog.GetTabStyle(), c.tabStyle);
        ::SendMessage(dialog.m_hWnd, WM_NEXTDLGCTL, GetDlgItem(dialog.m_hWnd, c.focus), TRUE);
        ASSERT_EQ(FocusId(dialog), c.focus);

        MSG msg;
        msg.hwnd = GetFocus();
        msg.message = WM_KEYDOWN;
        msg.wParam = static_cast<WPARAM>(platform::ui::VirtualKeyOf(c.key, false));
        EXPECT_EQ(FlexKeyboardWalk(dialog.m_hWnd, dialog.GetTabStyle(), &msg) != FALSE,
                  c.swallowed);
        DrainEvents();
        // The probe above may have posted or moved: start again for the real key.
        dialog.commands.clear();
        ::SendMessage(dialog.m_hWnd, WM_NEXTDLGCTL, GetDlgItem(dialog.m_hWnd, c.focus), TRUE);

        const std::string multiBefore = GetDlgItemText(dialog.m_hWnd, kMulti);
        PressKey(c.key);
        if (c.command) {
            EXPECT_EQ(dialog.commands, std::vector<int>{c.command});
        } else {
            EXPECT_TRUE(dialog.commands.empty());
        }
        EXPECT_EQ(FocusId(dialog), c.focusAfter);
        EXPECT_EQ(dialog.IsDlgButtonChecked(kCheck), 0u) << "Enter never toggles the check box";
        if (c.focus == kMulti && c.key == Qt::Key_Return) {
            EXPECT_EQ(GetDlgItemText(dialog.m_hWnd, kMulti), multiBefore + "\r\n");
        }
        dialog.DestroyWindow();
    }
}

TEST_F(FlexDialogTest, NothingIsRedirectedWhileTheMouseIsHeld) {
    LoggingDialog dialog;
    Open(dialog, WalkForm());
    HWND edit = GetDlgItem(dialog.m_hWnd, kEdit);
    ::SendMessage(dialog.m_hWnd, WM_NEXTDLGCTL, edit, TRUE);
    MSG enter;
    enter.hwnd = edit;
    enter.message = WM_KEYDOWN;
    enter.wParam = VK_RETURN;
    ASSERT_TRUE(FlexKeyboardWalk(dialog.m_hWnd, 3, &enter));
    DrainEvents();
    ::SendMessage(dialog.m_hWnd, WM_NEXTDLGCTL, edit, TRUE);

    SetCapture(GetDlgItem(dialog.m_hWnd, kList));
    EXPECT_FALSE(FlexKeyboardWalk(dialog.m_hWnd, 3, &enter)) << "a capture holds the walk";
    ReleaseCapture();

    // A combo box with its list open: the list has the mouse.
    HWND combo = GetDlgItem(dialog.m_hWnd, kCombo);
    auto* box = qobject_cast<QComboBox*>(platform::ui::WidgetOf(combo));
    ASSERT_NE(box, nullptr);
    box->addItem("a");
    box->addItem("b");
    ::SendMessage(dialog.m_hWnd, WM_NEXTDLGCTL, combo, TRUE);
    box->showPopup();
    DrainEvents();
    MSG down = enter;
    down.hwnd = combo;
    down.wParam = VK_DOWN;
    EXPECT_FALSE(FlexKeyboardWalk(dialog.m_hWnd, 3, &down)) << "the open list keeps its keys";
    box->hidePopup();
    DrainEvents();
    EXPECT_TRUE(FlexKeyboardWalk(dialog.m_hWnd, 3, &down));
    dialog.DestroyWindow();
}

TEST_F(FlexDialogTest, TabStyleKeepsOnlyTheLowFourBits) {
    CFlexDialog dialog;
    EXPECT_EQ(dialog.GetTabStyle(), 3u) << "Enter and Up/Down on, Left/Right off";
    dialog.ModifyTabStyle(0, 4);
    EXPECT_EQ(dialog.GetTabStyle(), 7u);
    dialog.ModifyTabStyle(2, 0xF0);
    EXPECT_EQ(dialog.GetTabStyle(), 5u);
    dialog.SetEnterToTab(FALSE);
    EXPECT_EQ(dialog.GetTabStyle(), 4u);
    dialog.SetEnterToTab(TRUE);
    EXPECT_EQ(dialog.GetTabStyle(), 5u);
}

TEST_F(FlexDialogTest, AlignmentFlagsFollowTheEdgesOnResize) {
    struct Case {
        DWORD flags;
        RECT after;  // child at (10, 10, 60, 30) in a dialog grown by (40, 30)
    };
    const Case cases[] = {
        {0, {10, 10, 60, 30}},   {1, {50, 10, 100, 30}}, {2, {10, 40, 60, 60}},
        {3, {50, 40, 100, 60}},  {4, {10, 10, 100, 30}}, {8, {10, 10, 60, 60}},
        {12, {10, 10, 100, 60}}, {6, {10, 40, 100, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags);
        CFlexDialog dialog;
        Open(dialog, Form({Item(kEdit, "Edit", 0, 0, 0, 10, 10)}));
        Put(dialog, kEdit, RECT{10, 10, 60, 30});
        ASSERT_TRUE(dialog.SetItemAlign(kEdit, c.flags));
        QWidget* widget = dialog.GetWidget();
        widget->resize(widget->width() + 40, widget->height() + 30);
        DrainEvents();
        EXPECT_EQ(Place(dialog, kEdit), c.after);
        dialog.DestroyWindow();
    }
}

TEST_F(FlexDialogTest, ReRegisteringKeepsOneEntryAndMaximiseNoticesDoNotAlign) {
    CFlexDialog dialog;
    Open(dialog, Form({Item(kEdit, "Edit", 0, 0, 0, 10, 10)}));
    RECT client{};
    dialog.GetClientRect(&client);
    Put(dialog, kEdit, RECT{10, 10, 60, 30});
    ASSERT_TRUE(dialog.SetItemAlign(kEdit, 1));
    Put(dialog, kEdit, RECT{20, 15, 70, 35});
    ASSERT_TRUE(dialog.SetItemAlign(GetDlgItem(dialog.m_hWnd, kEdit), 2));
    ASSERT_EQ(dialog.GetAlignItems().size(), 1u);
    const FlexAlignEntry& entry = *dialog.GetAlignItems().front();
    EXPECT_EQ(entry.flags, 2u);
    EXPECT_EQ(entry.right, client.right - 70) << "the margins of the second call";
    EXPECT_EQ(entry.bottom, client.bottom - 35);
    EXPECT_EQ(entry.left, -20);

    EXPECT_FALSE(dialog.SetItemAlign(4242, 1)) << "no such control";
    EXPECT_FALSE(dialog.SetItemAlign(HWND{0}, 1));

    // Move the child off its margin, then tell the dialog about sizes.
    Put(dialog, kEdit, RECT{20, 0, 70, 20});
    for (WPARAM kind : {SIZE_MAXSHOW, SIZE_MAXHIDE}) {
        dialog.SendMessage(WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
        EXPECT_EQ(Place(dialog, kEdit), (RECT{20, 0, 70, 20}));
    }
    dialog.SendMessage(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(client.right, client.bottom));
    EXPECT_EQ(Place(dialog, kEdit), (RECT{20, 15, 70, 35})) << "minimising still aligns";

    dialog.DestroyWindow();
    EXPECT_TRUE(dialog.GetAlignItems().empty()) << "destroying frees the entries";
}

TEST_F(FlexDialogTest, NumericTextsReadWithoutCommasAndWriteOnlyChanges) {
    CFlexDialog dialog;
    Open(dialog, Form({Item(kEdit, "Edit", 0, 0, 0, 80, 12)}));
    HWND edit = GetDlgItem(dialog.m_hWnd, kEdit);
    struct Read {
        const char* text;
        int32_t asLong;
        double asDouble;
    };
    for (const Read& r :
         {Read{"1,234,567", 1234567, 1234567.0}, Read{"", 0, 0.0}, Read{"abc", 0, 0.0},
          Read{" -12.75", -12, -12.75}, Read{"9,999,999,999", 2147483647, 9999999999.0},
          Read{"1,234.5", 1234, 1234.5}}) {
        SetWindowText(edit, r.text);
        EXPECT_EQ(dialog.GetDlgItemLong(kEdit), r.asLong) << r.text;
        EXPECT_DOUBLE_EQ(dialog.GetDlgItemDouble(kEdit), r.asDouble) << r.text;
    }
    EXPECT_EQ(dialog.GetDlgItemLong(4242), 0) << "a missing control reads 0";

    // Count the text writes the control receives.
    struct Counter : CWnd {
        int sets = 0;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_SETTEXT) ++sets;
            return CWnd::WindowProc(message, wParam, lParam);
        }
    } counter;
    ASSERT_TRUE(counter.SubclassWindow(edit));
    dialog.SetDlgItemDouble(kEdit, 1.5, 2);
    EXPECT_EQ(GetWindowText(edit), "1.50");
    dialog.SetDlgItemDouble(kEdit, 1.5, 2);
    EXPECT_EQ(counter.sets, 1) << "the same text is not written again";
    dialog.SetDlgItemLong(kEdit, -42);
    dialog.SetDlgItemLong(kEdit, -42);
    EXPECT_EQ(GetWindowText(edit), "-42");
    EXPECT_EQ(counter.sets, 2);
    dialog.SetDlgItemNumeric(kEdit, 3.14159, 3);
    EXPECT_EQ(GetWindowText(edit), "3.142");
    dialog.SetDlgItemDouble(kEdit, 2.0, 0);
    EXPECT_EQ(GetWindowText(edit), "2");
    // A long text that shares its first 255 bytes with the present one is still written.
    const std::string longText(300, '7');
    SetWindowText(edit, longText);
    const int before = counter.sets;
    dialog.SetDlgItemLong(kEdit, 7);
    EXPECT_EQ(counter.sets, before + 1);
    counter.UnsubclassWindow();
    dialog.DestroyWindow();
}

TEST_F(FlexDialogTest, PlacementHelpers) {
    constexpr int kA = 201, kB = 202, kC = 203, kD = 204;
    CFlexDialog dialog;
    Open(dialog, Form({Item(kA, "Button", WS_TABSTOP, 0, 0, 10, 10, "a"),
                       Item(kB, "Button", WS_TABSTOP, 0, 0, 10, 10, "b"),
                       Item(kC, "Button", WS_TABSTOP, 0, 0, 10, 10, "c"),
                       Item(kD, "Static", 0, 0, 0, 10, 10, "d")}));
    auto reset = [&] {
        Put(dialog, kA, RECT{10, 10, 40, 30});
        Put(dialog, kB, RECT{50, 12, 90, 32});  // gap 10 after a
        Put(dialog, kC, RECT{100, 14, 120, 34});
        for (int id : {kA, kB, kC}) {
            EnableWindow(GetDlgItem(dialog.m_hWnd, id), TRUE);
            ShowWindow(GetDlgItem(dialog.m_hWnd, id), SW_SHOW);
        }
    };
    reset();
    // A row from (5, 50) with gap 4; the disabled b is hidden and takes no place.
    EnableWindow(GetDlgItem(dialog.m_hWnd, kB), FALSE);
    dialog.SetDlgItemPlace({kA, kB, kC, 0}, 0, 4, 5, 50);
    EXPECT_EQ(Place(dialog, kA), (RECT{5, 50, 35, 70}));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog.m_hWnd, kB)));
    EXPECT_EQ(Place(dialog, kC), (RECT{39, 50, 59, 70}));
    // Flag 4 lays the disabled one out too and shows it again.
    dialog.SetDlgItemPlace({kA, kB, kC}, 4, 4, 5, 50);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog.m_hWnd, kB)));
    EXPECT_EQ(Place(dialog, kB), (RECT{39, 50, 79, 70}));
    EXPECT_EQ(Place(dialog, kC), (RECT{83, 50, 103, 70}));
    // SetItemPlace measures gap and corner: a keeps its place, the gap is 10.
    reset();
    dialog.SetItemPlace(0, {kC, kB, kA});
    EXPECT_EQ(Place(dialog, kC), (RECT{10, 10, 30, 30}));
    EXPECT_EQ(Place(dialog, kB), (RECT{40, 10, 80, 30}));
    EXPECT_EQ(Place(dialog, kA), (RECT{90, 10, 120, 30}));
    // A column keeping x (0x10), with the tab order following the layout (2).
    reset();
    dialog.SetDlgItemPlace({kC, kA, kB}, 0x10 | 1 | 2, 2, 0, 100);
    EXPECT_EQ(Place(dialog, kC), (RECT{100, 100, 120, 120}));
    EXPECT_EQ(Place(dialog, kA), (RECT{10, 122, 40, 142}));
    EXPECT_EQ(Place(dialog, kB), (RECT{50, 144, 90, 164}));
    EXPECT_EQ(GetNextDlgTabItem(dialog.m_hWnd, GetDlgItem(dialog.m_hWnd, kC), FALSE),
              GetDlgItem(dialog.m_hWnd, kA));
    EXPECT_EQ(GetNextDlgTabItem(dialog.m_hWnd, GetDlgItem(dialog.m_hWnd, kA), FALSE),
              GetDlgItem(dialog.m_hWnd, kB));

    reset();
    dialog.OffsetDlgItem(kA, 3, -2);
    EXPECT_EQ(Place(dialog, kA), (RECT{13, 8, 43, 28}));
    dialog.EquateDlgItem(kA, 1 | 8, kB);  // right edges, height
    EXPECT_EQ(Place(dialog, kA), (RECT{60, 8, 90, 28}));
    dialog.EquateDlgItem(kA, 2 | 4, kC);  // bottom edges, width
    EXPECT_EQ(Place(dialog, kA), (RECT{60, 14, 80, 34}));
    dialog.AlignItem(kA, kB, FLEX_ALIGN_TOPS);
    EXPECT_EQ(Place(dialog, kA), (RECT{60, 12, 80, 32}));
    dialog.AlignItem(kA, kC, FLEX_ALIGN_LEFTS);
    EXPECT_EQ(Place(dialog, kA), (RECT{100, 12, 120, 32}));
    dialog.AlignItem(kA, kB, FLEX_ALIGN_RIGHTS);
    EXPECT_EQ(Place(dialog, kA), (RECT{70, 12, 90, 32}));
    dialog.AlignItem(kA, kC, FLEX_ALIGN_BOTTOMS);
    EXPECT_EQ(Place(dialog, kA), (RECT{70, 14, 90, 34}));
    dialog.OffsetDlgItem(4242, 5, 5);  // missing: nothing

    // Centring a group: a and c span (10..120, 10..34).
    reset();
    RECT client{};
    dialog.GetClientRect(&client);
    dialog.CenterAlign(4 | 8, {kA, kC, 4242});
    const int dx = (client.right + 10 - 120 - client.left) / 2 - 10;
    const int dy = (client.bottom + 10 - 34 - client.top) / 2 - 10;
    EXPECT_EQ(Place(dialog, kA), (RECT{10 + dx, 10 + dy, 40 + dx, 30 + dy}));
    EXPECT_EQ(Place(dialog, kC), (RECT{100 + dx, 14 + dy, 120 + dx, 34 + dy}));
    EXPECT_EQ(Place(dialog, kB), (RECT{50, 12, 90, 32})) << "not listed: stays";
    dialog.DestroyWindow();
}

TEST_F(FlexDialogTest, FittingOneControlOfARowShiftsOnlyTheOnesAfterIt) {
    constexpr int kA = 201, kB = 202, kC = 203, kEmpty = 204;
    CFlexDialog dialog;
    Open(dialog, Form({Item(kA, "Static", 0, 0, 0, 10, 10, "a"),
                       Item(kB, "Static", 0, 0, 0, 10, 10, "a longer caption"),
                       Item(kC, "Static", 0, 0, 0, 10, 10, "c"),
                       Item(kEmpty, "Static", 0, 0, 0, 10, 10, "")}));
    Put(dialog, kA, RECT{0, 0, 20, 10});
    Put(dialog, kB, RECT{20, 0, 30, 10});
    Put(dialog, kC, RECT{40, 0, 60, 10});
    const DWORD extent = dialog.GetDlgItemTextExtent(kB);
    const int width = LOWORD(extent);
    ASSERT_GT(width, 20);
    EXPECT_GT(HIWORD(extent), 0);
    EXPECT_EQ(dialog.GetDlgItemTextExtent(4242), 0u);
    EXPECT_EQ(LOWORD(dialog.GetDlgItemTextExtent(kEmpty)), 0);

    dialog.SetRelatedItemWidth({kA, kB, kC, 0}, kB, 6);
    const int change = width + 6 - 10;
    EXPECT_EQ(Place(dialog, kA), (RECT{0, 0, 20, 10}));
    EXPECT_EQ(Place(dialog, kB), (RECT{20, 0, 30 + change, 10}));
    EXPECT_EQ(Place(dialog, kC), (RECT{40 + change, 0, 60 + change, 10}));
    // An empty text changes nothing.
    dialog.SetRelatedItemWidth({kEmpty, kC}, kEmpty, 6);
    EXPECT_EQ(Place(dialog, kC), (RECT{40 + change, 0, 60 + change, 10}));
    dialog.DestroyWindow();
}

TEST_F(FlexDialogTest, SetItemPlaceTakesAnyNumberOfControls) {
    std::vector<DialogItemTemplate> items;
    std::vector<int> ids;
    for (int i = 0; i < 80; ++i) {
        items.push_back(Item(300 + i, "Static", 0, 0, 0, 10, 10, "x"));
        ids.push_back(300 + i);
    }
    ids.push_back(0);
    CFlexDialog dialog;
    Open(dialog, Form(items, 200, 2000));
    // A column at irregular places; the first two set the gap (5).
    for (int i = 0; i < 80; ++i) Put(dialog, 300 + i, RECT{3, 1000 - i * 7, 13, 1010 - i * 7});
    Put(dialog, 379, RECT{3, 2, 13, 12});
    Put(dialog, 300, RECT{3, 17, 13, 27});
    dialog.SetItemPlace(FLEX_PLACE_VERTICAL, ids.data());
    EXPECT_EQ(Place(dialog, 300), (RECT{3, 2, 13, 12}));
    EXPECT_EQ(Place(dialog, 379), (RECT{3, 2 + 79 * 15, 13, 12 + 79 * 15}))
        << "the 80th control is placed too";
    dialog.DestroyWindow();
}

TEST_F(FlexDialogTest, EditAlignStyleTouchesOnlyEdits) {
    CFlexDialog dialog;
    Open(dialog,
         Form({Item(kEdit, "Edit", 0, 0, 0, 40, 12), Item(kLast, "Edit", ES_RIGHT, 0, 20, 40, 12),
               Item(kPush, "Button", BS_PUSHBUTTON | ES_RIGHT, 0, 40, 40, 12)}));
    auto style = [&](int id) {
        return static_cast<DWORD>(GetWindowLong(GetDlgItem(dialog.m_hWnd, id), GWL_STYLE));
    };
    dialog.SetEditAlignStyle(FALSE, {kEdit, kPush});
    EXPECT_TRUE(style(kEdit) & ES_RIGHT);
    const int list[] = {kLast, kPush, 0};
    dialog.SetEditAlignStyle(TRUE, list);
    EXPECT_FALSE(style(kLast) & ES_RIGHT);
    EXPECT_TRUE(style(kPush) & ES_RIGHT) << "a button keeps its bits";
    dialog.DestroyWindow();
}

// Children seen by the library-wide functor.
std::vector<int> gSeen;
HWND gSeenDialog = 0;
BOOL Remember(CWnd* child, CWnd* dialog) {
    gSeen.push_back(child->GetDlgCtrlID());
    gSeenDialog = dialog->m_hWnd;
    return FALSE;  // the answer never stops the walk
}

TEST_F(FlexDialogTest, InitialisationCallsTheChildFunctorForEveryChild) {
    gSeen.clear();
    CFlexDialog::SetEnumChildFunctor(Remember);
    CFlexDialog dialog;
    Open(dialog,
         Form({Item(kEdit, "Edit", 0, 0, 0, 40, 12), Item(kPush, "Button", 0, 0, 20, 40, 12),
               Item(kCombo, "ComboBox", CBS_DROPDOWN, 0, 40, 40, 60)}));
    CFlexDialog::SetEnumChildFunctor(nullptr);
    EXPECT_EQ(gSeenDialog, dialog.m_hWnd);
    ASSERT_GE(gSeen.size(), 3u);
    EXPECT_EQ(gSeen[0], kEdit);
    EXPECT_EQ(gSeen[1], kPush);
    EXPECT_EQ(gSeen[2], kCombo);
    dialog.DestroyWindow();
}

TEST_F(FlexDialogTest, BackgroundBrushPaintsTheDialogAndAnswersButtonAndStaticColours) {
    CFlexDialog dialog;
    Open(dialog, Form({Item(kEdit, "Edit", 0, 0, 0, 40, 12)}));
    EXPECT_EQ(dialog.OnCtlColor(nullptr, nullptr, CTLCOLOR_DLG), nullptr) << "no brush yet";
    constexpr COLORREF kColour = RGB(10, 200, 30);
    dialog.SetBkColor(kColour);
    for (UINT kind : {CTLCOLOR_BTN, CTLCOLOR_DLG, CTLCOLOR_STATIC})
        EXPECT_EQ(dialog.OnCtlColor(nullptr, nullptr, kind), dialog.GetBkBrush());
    for (UINT kind : {CTLCOLOR_EDIT, CTLCOLOR_LISTBOX, CTLCOLOR_MSGBOX, CTLCOLOR_SCROLLBAR})
        EXPECT_EQ(dialog.OnCtlColor(nullptr, nullptr, kind), nullptr);
    EXPECT_EQ(dialog.SendMessage(WM_CTLCOLORSTATIC, 0, 0),
              reinterpret_cast<LRESULT>(dialog.GetBkBrush()));
    DrainEvents();
    kelmon::test::ui::PixelProbe probe(dialog.GetWidget());
    EXPECT_EQ(probe.At(probe.Width() - 5, probe.Height() - 5), kColour);
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.GetBkBrush(), nullptr);
}

}  // namespace
