// Enumerated-value controls: dictionaries keep or fall back, key selection with and without a
// hot-key dictionary, rotation wraps, spin keys, notes, the enum button's steps and menu and
// the enum edit's typed values, each change told to the parent once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "flexui/EnumButton.h"
#include "flexui/EnumComboBox.h"
#include "flexui/EnumEdit.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::MenuDriver;
using kelmon::test::ui::NotifyHost;

constexpr int kComboId = 600;
constexpr int kButtonId = 601;
constexpr int kEditId = 602;

class EnumControlsTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override { ASSERT_TRUE(host_.CreateHost()); }
    void TearDown() override {
        combo_.DestroyWindow();
        button_.DestroyWindow();
        edit_.DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void MakeCombo(DWORD kind) {
        ASSERT_TRUE(combo_.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, RECT{10, 10, 160, 200},
                                  &host_, kComboId));
    }
    void MakeButton(DWORD style = 0) {
        ASSERT_TRUE(button_.Create("", WS_CHILD | WS_VISIBLE | style, RECT{10, 220, 110, 244},
                                   &host_, kButtonId));
    }
    void MakeEdit() {
        ASSERT_TRUE(edit_.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{200, 10, 300, 30}, &host_,
                                 kEditId));
    }
    // Keys go where the focus is (the combo's edit child, or the control itself).
    void Type(CWnd& control, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        control.SetFocus();
        QWidget* target = control.GetWidget();
        if (HWND edit = ::GetDlgItem(control.GetSafeHwnd(), kComboEditId))
            target = platform::ui::WidgetOf(edit);
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
        DrainEvents();
    }
    std::string ListText(int index) {
        char text[128] = {};
        combo_.SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(text));
        return text;
    }

    NotifyHost host_;
    CEnumComboBox combo_;
    CEnumButton button_;
    CEnumEdit edit_;
};

// The same dictionary rules for the three controls.
struct DictCase {
    const char* name;
    const char* first;
    const char* chosen;
    const char* second;
    int index;
    const char* value;
};
const DictCase kDictCases[] = {
    {"value kept at a new place", "0,买|1,卖|2,平", "2", "2,平|0,买", 0, "2"},
    {"value gone: entry 0", "0,买|1,卖", "1", "0,买|3,锁", 0, "0"},
    {"same dictionary", "0,买|1,卖", "1", "0,买|1,卖", 1, "1"},
    {"first value empty: nothing", "0,买|1,卖", "1", ",空|1,卖", -1, ""},
};

TEST_F(EnumControlsTest, SetEnumDictKeepsTheValueOrFallsBackInEveryControl) {
    for (const DictCase& c : kDictCases) {
        SCOPED_TRACE(c.name);
        CEnumComboBox combo;
        CEnumButton button;
        CEnumEdit edit;
        ASSERT_TRUE(
            combo.Create(WS_CHILD | CBS_DROPDOWNLIST, RECT{10, 10, 160, 200}, &host_, kComboId));
        ASSERT_TRUE(button.Create("", WS_CHILD, RECT{10, 220, 110, 244}, &host_, kButtonId));
        ASSERT_TRUE(edit.Create(WS_CHILD, RECT{200, 10, 300, 30}, &host_, kEditId));
        combo.SetEnumDict(c.first);
        button.SetEnumDict(c.first);
        ASSERT_TRUE(combo.SetEnumValue(c.chosen) || combo.GetEnumValue() == c.chosen);
        ASSERT_TRUE(button.SetEnumValue(c.chosen) || button.GetEnumValue() == c.chosen);
        combo.SetEnumDict(c.second);
        button.SetEnumDict(c.second);
        EXPECT_EQ(combo.GetEnumIndex(), c.index);
        EXPECT_EQ(combo.GetEnumValue(), c.value);
        EXPECT_EQ(button.GetEnumIndex(), c.index);
        EXPECT_EQ(button.GetEnumValue(), c.value);
        if (c.index >= 0) {
            edit.SetEnumDict(c.first);
            edit.SetEnumValue(c.chosen);
            edit.SetEnumDict(c.second);
            EXPECT_EQ(edit.GetEnumIndex(), c.index);
            EXPECT_EQ(edit.GetEnumValue(), c.value);
        }
    }
    // Program changes tell nobody.
    DrainEvents();
    EXPECT_TRUE(host_.notes.empty());
}

TEST_F(EnumControlsTest, EmptyFirstValueLeavesTheListEmptyAndNothingSelectable) {
    MakeCombo(CBS_DROPDOWN);
    combo_.SetEnumDict(",空|1,卖");
    EXPECT_EQ(combo_.GetEnumCount(), 0);
    EXPECT_FALSE(combo_.SetEnumIndex(0));
    EXPECT_FALSE(combo_.SetEnumValue("1"));
    EXPECT_EQ(combo_.GetEnumIndex(), -1);
}

TEST_F(EnumControlsTest, SetEnumIndexRefusesOutOfRangeAndTheCurrentIndex) {
    MakeCombo(CBS_DROPDOWNLIST);
    combo_.SetEnumDict("0,买|1,卖");
    EXPECT_EQ(combo_.GetEnumIndex(), 0);
    EXPECT_FALSE(combo_.SetEnumIndex(0));
    EXPECT_FALSE(combo_.SetEnumIndex(2));
    EXPECT_FALSE(combo_.SetEnumIndex(-1));
    EXPECT_TRUE(combo_.SetEnumIndex(1));
    EXPECT_EQ(combo_.SendMessage(CB_GETCURSEL), 1);
    EXPECT_EQ(combo_.GetEnumText(), "卖");
    EXPECT_EQ(combo_.GetEnumText(0), "买");
}

TEST_F(EnumControlsTest, ListTextShowsKeyTextAndCaptionAndTheEditShowsTheCaption) {
    MakeCombo(CBS_DROPDOWN);
    combo_.SetEnumDict("0,买入|1,|2,卖出");
    EXPECT_EQ(ListText(0), "0  买入");
    EXPECT_EQ(ListText(1), "1");
    EXPECT_EQ(combo_.GetWindowText(), "买入");
    combo_.SetEnumIndex(1);
    EXPECT_EQ(combo_.GetWindowText(), "1");  // no caption: the value
    // Nobody else writes the text.
    combo_.SetWindowText("别的");
    EXPECT_EQ(combo_.GetWindowText(), "1");
    // With hot keys: the key replaces the value; no key and no caption shows the value.
    combo_.SetEnumHotKey("0,B|2,S");
    EXPECT_EQ(ListText(0), "B  买入");
    EXPECT_EQ(ListText(1), "  1");
    EXPECT_EQ(ListText(2), "S  卖出");
    EXPECT_EQ(combo_.GetEnumIndex(), 1);  // the value stays
    EXPECT_EQ(combo_.GetNote(), "B：买入 S：卖出 ");
}

struct KeyCase {
    const char* name;
    DWORD kind;
    const char* hotKeys;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int index;  // after the key; -1: unchanged from 0
    int notes;
};

TEST_F(EnumControlsTest, KeysSelectByValueOrHotKeyAndNotifyOncePerChange) {
    const KeyCase cases[] = {
        {"digit, drop-down", CBS_DROPDOWN, "", Qt::Key_1, {}, 1, 1},
        {"digit, drop-down list", CBS_DROPDOWNLIST, "", Qt::Key_1, {}, 1, 1},
        {"current value again", CBS_DROPDOWN, "", Qt::Key_0, {}, 0, 0},
        {"no such value", CBS_DROPDOWN, "", Qt::Key_7, {}, 0, 0},
        {"hot key lower case", CBS_DROPDOWN, "0,B|1,S", Qt::Key_S, {}, 1, 1},
        {"hot key shifted", CBS_DROPDOWNLIST, "0,B|1,S", Qt::Key_S, Qt::ShiftModifier, 1, 1},
        {"value ignored with hot keys", CBS_DROPDOWN, "0,B|1,S", Qt::Key_1, {}, 0, 0},
        {"hot key on a symbol key", CBS_DROPDOWN, "0,B|2,!", Qt::Key_1, {}, 2, 1},
        {"space steps", CBS_DROPDOWN, "", Qt::Key_Space, {}, 1, 1},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        CEnumComboBox combo;
        ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | c.kind,
                                 RECT{10, 10, 160, 200}, &host_, kComboId));
        combo.SetEnumDict("0,买|1,卖|2,平");
        if (*c.hotKeys) combo.SetEnumHotKey(c.hotKeys);
        DrainEvents();
        host_.notes.clear();
        Type(combo, c.key, c.modifiers);
        EXPECT_EQ(combo.GetEnumIndex(), c.index);
        EXPECT_EQ(host_.Count(kComboId, CBN_SELCHANGE), c.notes);
        // The same key again changes nothing and tells nobody.
        Type(combo, c.key, c.modifiers);
        if (c.key != Qt::Key_Space) {
            EXPECT_EQ(host_.Count(kComboId, CBN_SELCHANGE), c.notes);
        }
        combo.DestroyWindow();
    }
}

TEST_F(EnumControlsTest, SpaceAndDoubleClickOnTheLastEntryWrapToTheFirst) {
    MakeCombo(CBS_DROPDOWN);
    combo_.SetEnumDict("0,买|1,卖");
    combo_.SetEnumIndex(1);
    Type(combo_, Qt::Key_Space);
    EXPECT_EQ(combo_.GetEnumIndex(), 0);
    combo_.SetEnumIndex(1);
    QWidget* edit = platform::ui::WidgetOf(::GetDlgItem(combo_.GetSafeHwnd(), kComboEditId));
    ASSERT_NE(edit, nullptr);
    QTest::mouseDClick(edit, Qt::LeftButton, {}, QPoint(5, 5));
    DrainEvents();
    EXPECT_EQ(combo_.GetEnumIndex(), 0);
    EXPECT_EQ(host_.Count(kComboId, CBN_SELCHANGE), 2);
    // Caret keys are swallowed: the text stays whole.
    Type(combo_, Qt::Key_Backspace);
    Type(combo_, Qt::Key_Delete);
    EXPECT_EQ(combo_.GetWindowText(), "买");
}

TEST_F(EnumControlsTest, RotateWrapsBothWaysAndNotifies) {
    MakeCombo(CBS_DROPDOWNLIST);
    MakeEdit();
    combo_.SetEnumDict("0,买|1,卖|2,平");
    edit_.SetEnumDict("0,买|1,卖|2,平");
    const struct {
        BOOL previous;
        int index;
    } steps[] = {{TRUE, 2}, {FALSE, 0}, {FALSE, 1}, {TRUE, 0}};
    for (const auto& step : steps) {
        combo_.Rotate(step.previous);
        edit_.Rotate(step.previous);
        EXPECT_EQ(combo_.GetEnumIndex(), step.index);
        EXPECT_EQ(edit_.GetEnumIndex(), step.index);
    }
    DrainEvents();
    EXPECT_EQ(host_.Count(kComboId, CBN_SELCHANGE), 4);
    EXPECT_EQ(host_.Count(kEditId, EN_CHANGE), 4);
}

TEST_F(EnumControlsTest, SpinKeysRotateOnlyWhileTheListIsClosed) {
    MakeCombo(CBS_DROPDOWNLIST);
    combo_.SetEnumDict("0,买|1,卖|2,平");
    combo_.SetSpinKey(VK_F2, VK_F3);
    Type(combo_, Qt::Key_F3);
    EXPECT_EQ(combo_.GetEnumIndex(), 1);
    Type(combo_, Qt::Key_F2);
    Type(combo_, Qt::Key_F2);
    EXPECT_EQ(combo_.GetEnumIndex(), 2);
    EXPECT_EQ(host_.Count(kComboId, CBN_SELCHANGE), 3);
    combo_.SendMessage(CB_SHOWDROPDOWN, TRUE);
    DrainEvents();
    ASSERT_TRUE(combo_.SendMessage(CB_GETDROPPEDSTATE));
    MSG key;
    key.hwnd = combo_.GetSafeHwnd();
    key.message = WM_KEYDOWN;
    key.wParam = VK_F3;
    EXPECT_FALSE(combo_.PreTranslateMessage(&key));
    EXPECT_EQ(combo_.GetEnumIndex(), 2);
    combo_.SendMessage(CB_SHOWDROPDOWN, FALSE);
    DrainEvents();
}

TEST_F(EnumControlsTest, PickFromTheListMakesItCurrent) {
    MakeCombo(CBS_DROPDOWN);
    combo_.SetEnumDict("0,买|1,卖|2,平");
    combo_.SendMessage(CB_SETCURSEL, 2);
    host_.SendMessage(WM_COMMAND, MAKEWPARAM(kComboId, CBN_SELENDOK),
                      static_cast<LPARAM>(combo_.GetSafeHwnd()));
    EXPECT_EQ(combo_.GetEnumIndex(), 2);
    EXPECT_EQ(combo_.GetWindowText(), "平");
    EXPECT_EQ(host_.Count(kComboId, CBN_SELENDOK), 1);  // the parent hears it too
}

TEST_F(EnumControlsTest, EnumButtonWithOneEntryIgnoresClicksAndShowsNoMenu) {
    MakeButton();
    button_.SetEnumDict("1,一");
    MenuDriver menus;
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 12));
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(50, 12));
    DrainEvents();
    EXPECT_EQ(menus.Shown(), 0);
    EXPECT_EQ(button_.GetEnumIndex(), 0);
    EXPECT_EQ(host_.CountOf(kButtonId), 0);
}

TEST_F(EnumControlsTest, EnumButtonClickStepsAndTheArrowMenuChooses) {
    MakeButton();
    button_.SetEnumDict("1,一|2,二|3,三");
    EXPECT_EQ(button_.GetWindowText(), "一");
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(50, 12));
    DrainEvents();
    EXPECT_EQ(button_.GetEnumIndex(), 1);
    EXPECT_EQ(button_.GetEnumValueAsInt(), 2);
    EXPECT_EQ(host_.Count(kButtonId, ENUMBN_SELCHANGE), 1);
    EXPECT_EQ(host_.Count(kButtonId, BN_CLICKED), 0);
    MenuDriver menus;
    menus.ChooseNext(1);
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 12));
    DrainEvents();
    EXPECT_EQ(menus.Shown(), 1);
    EXPECT_EQ(menus.LastTexts(), (QStringList{"一", "二", "三"}));
    EXPECT_EQ(button_.GetEnumIndex(), 0);
    EXPECT_EQ(host_.Count(kButtonId, ENUMBN_SELCHANGE), 2);
    EXPECT_FALSE(button_.IsMenuOpen());
    // Choosing the current entry again changes nothing and tells nobody.
    menus.ChooseNext(1);
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 12));
    DrainEvents();
    EXPECT_EQ(host_.Count(kButtonId, ENUMBN_SELCHANGE), 2);
    // Wrapping from the last entry.
    button_.SetEnumIndex(2);
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(50, 12));
    DrainEvents();
    EXPECT_EQ(button_.GetEnumIndex(), 0);
}

TEST_F(EnumControlsTest, EnumButtonArrowIsOnTheRightWithLeftText) {
    MakeButton(BS_LEFTTEXT);
    button_.SetEnumDict("1,一|2,二");
    const RECT arrow = button_.ArrowRect();
    EXPECT_EQ(arrow.left, 100 - kEnumArrowWidth);
    MenuDriver menus;
    menus.CancelNext();
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(5, 12));  // the face
    DrainEvents();
    EXPECT_EQ(menus.Shown(), 0);
    EXPECT_EQ(button_.GetEnumIndex(), 1);
    QTest::mouseClick(button_.GetWidget(), Qt::LeftButton, {}, QPoint(95, 12));
    DrainEvents();
    EXPECT_EQ(menus.Shown(), 1);
    EXPECT_EQ(button_.GetEnumIndex(), 1);
}

TEST_F(EnumControlsTest, EnumEditTakesTypedValuesAndKeepsItsTextItsOwn) {
    MakeEdit();
    edit_.SetEnumDict("0,买入|1,卖出|2,");
    EXPECT_EQ(edit_.GetEnumCount(), 3);
    EXPECT_EQ(edit_.GetWindowText(), "买入");
    DrainEvents();
    EXPECT_EQ(host_.Count(kEditId, EN_CHANGE), 0);
    Type(edit_, Qt::Key_1);
    EXPECT_EQ(edit_.GetEnumIndex(), 1);
    EXPECT_EQ(edit_.GetWindowText(), "卖出");
    EXPECT_EQ(host_.Count(kEditId, EN_CHANGE), 1);
    Type(edit_, Qt::Key_1);
    Type(edit_, Qt::Key_X);
    EXPECT_EQ(host_.Count(kEditId, EN_CHANGE), 1);
    Type(edit_, Qt::Key_2);
    EXPECT_EQ(edit_.GetWindowText(), "");  // an empty caption shows as an empty text
    edit_.SetWindowText("别的");
    EXPECT_EQ(edit_.GetWindowText(), "");
    EXPECT_EQ(host_.Count(kEditId, EN_CHANGE), 2);
}

}  // namespace
