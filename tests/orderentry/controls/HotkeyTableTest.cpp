// The shortcut table: what is entered and refused, a shortcut entered twice, a full table,
// the accelerators built from it firing their commands, and the text of a hot key.
#include "orderentry/controls/HotkeyTable.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <vector>

#include "platform/ui/Keyboard.h"
#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "support/ui/UiTestApp.h"

namespace orderentry::controls {
namespace {

using kelmon::test::ui::UiTest;
using platform::ui::MakeHotKeyValue;

constexpr BYTE kCtrl = HOTKEYF_CONTROL;
constexpr BYTE kAlt = HOTKEYF_ALT;
constexpr BYTE kShift = HOTKEYF_SHIFT;

// A top window that records the accelerator commands reaching it (not its edit's
// notifications).
class CommandSink : public CWnd {
public:
    std::vector<UINT> commands;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == 1 && lParam == 0) commands.push_back(LOWORD(wParam));
        return TRUE;
    }
};

class HotkeyTableTest : public UiTest {
protected:
    void SetUp() override {
        ClearHotkeyTable();
        ASSERT_TRUE(
            sink_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100}, nullptr, 0));
        ASSERT_TRUE(edit_.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                 RECT{10, 10, 110, 30}, &sink_, 101));
        QApplication::setActiveWindow(sink_.GetWidget());
        edit_.SetFocus();
    }
    void TearDown() override {
        Install(0);
        sink_.DestroyWindow();
        ClearHotkeyTable();
        UiTest::TearDown();
    }
    // Builds the table and puts it on the window, destroying the one built before.
    HACCEL Rebuild() {
        Install(BuildAcceleratorTable());
        return table_;
    }
    void Install(HACCEL table) {
        if (table_) DestroyAcceleratorTable(table_);
        table_ = table;
        platform::ui::SetWindowAccelerators(sink_.m_hWnd, table_);
    }
    // The commands one key press gives.
    std::vector<UINT> Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        sink_.commands.clear();
        QTest::keyClick(edit_.GetWidget(), key, modifiers);
        return sink_.commands;
    }

    CommandSink sink_;
    CWnd edit_;
    HACCEL table_ = 0;
};

TEST_F(HotkeyTableTest, WordsAndCommandsThatEnterNothing) {
    const struct {
        const char* what;
        int32_t word;
        UINT command;
    } cases[] = {
        {"no hot key", 0, 32796},
        {"no command", MakeHotKeyValue(VK_F5, 0), 0},
        {"modifiers without a key", MakeHotKeyValue(0, kCtrl | kAlt), 32796},
        {"a command wider than an entry holds", MakeHotKeyValue(VK_F5, 0), 0x10000 + 32796},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SetHotkeyCommand(c.word, c.command), -1);
    }
    EXPECT_EQ(BuildAcceleratorTable(), 0u) << "nothing entered, no accelerators";
    EXPECT_TRUE(Press(Qt::Key_F5).empty());
}

TEST_F(HotkeyTableTest, EnteredShortcutsFireTheirCommandsWithExactlyTheirModifiers) {
    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue(VK_F5, kCtrl | kAlt), 32796), 0);
    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue('1', kAlt), 32860), 1);
    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue(VK_F12, 0), 32802), 2);
    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue('Q', kShift), 32919), 3);
    ASSERT_NE(Rebuild(), 0u);

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::vector<UINT> commands;
    } presses[] = {
        {Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier, {32796}},
        {Qt::Key_F5, Qt::ControlModifier, {}},
        {Qt::Key_F5, Qt::NoModifier, {}},
        {Qt::Key_1, Qt::AltModifier, {32860}},
        {Qt::Key_1, Qt::NoModifier, {}},
        {Qt::Key_F12, Qt::NoModifier, {32802}},
        {Qt::Key_F12, Qt::ShiftModifier, {}},
        {Qt::Key_Q, Qt::ShiftModifier, {32919}},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(testing::Message() << "key " << p.key << " modifiers " << p.modifiers);
        EXPECT_EQ(Press(p.key, p.modifiers), p.commands);
    }
}

TEST_F(HotkeyTableTest, AShortcutEnteredAgainKeepsItsEntryWithTheLaterCommand) {
    const int32_t ctrlF5 = MakeHotKeyValue(VK_F5, kCtrl);
    ASSERT_EQ(SetHotkeyCommand(ctrlF5, 32796), 0);
    ASSERT_EQ(SetHotkeyCommand(MakeHotKeyValue(VK_F5, kShift), 32797), 1)
        << "other modifiers make another shortcut";
    EXPECT_EQ(SetHotkeyCommand(ctrlF5, 32798), 0);
    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue(VK_F6, 0), 32801), 2) << "no entry was used up";
    Rebuild();
    EXPECT_EQ(Press(Qt::Key_F5, Qt::ControlModifier), std::vector<UINT>{32798});
    EXPECT_EQ(Press(Qt::Key_F5, Qt::ShiftModifier), std::vector<UINT>{32797});
}

TEST_F(HotkeyTableTest, AFullTableRefusesANewShortcutButStillTakesNewCommands) {
    // 128 distinct shortcuts: the letters and digits under each modifier combination.
    std::vector<int32_t> words;
    const BYTE modifierSets[] = {0, kCtrl, kAlt, kShift, kCtrl | kAlt, kCtrl | kShift};
    for (BYTE modifiers : modifierSets)
        for (int vk = '0'; vk <= 'Z' && words.size() < kHotkeyTableSize; ++vk)
            if (vk <= '9' || vk >= 'A')
                words.push_back(MakeHotKeyValue(static_cast<BYTE>(vk), modifiers));
    ASSERT_EQ(words.size(), static_cast<size_t>(kHotkeyTableSize));
    for (size_t i = 0; i < words.size(); ++i)
        ASSERT_EQ(SetHotkeyCommand(words[i], static_cast<UINT>(30000 + i)), static_cast<int>(i));

    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue(VK_F5, 0), 32796), -1);
    EXPECT_EQ(SetHotkeyCommand(words[127], 32919), 127);
    Rebuild();
    EXPECT_EQ(Press(Qt::Key_F5).size(), 0u);
    EXPECT_EQ(Press(Qt::Key_A), std::vector<UINT>{30010});
    ASSERT_EQ(words[127], MakeHotKeyValue('J', kShift));
    EXPECT_EQ(Press(Qt::Key_J, Qt::ShiftModifier), std::vector<UINT>{32919});

    ClearHotkeyTable();
    EXPECT_EQ(BuildAcceleratorTable(), 0u) << "a cleared table builds nothing";
    EXPECT_EQ(SetHotkeyCommand(MakeHotKeyValue(VK_F5, 0), 32796), 0) << "and fills from the front";
}

TEST_F(HotkeyTableTest, TextNamesTheModifiersInAFixedOrderThenTheKey) {
    const struct {
        int32_t word;
        const char* text;
    } cases[] = {
        {MakeHotKeyValue(VK_F5, kCtrl | kAlt), "Ctrl+Alt+F5"},
        {MakeHotKeyValue(VK_F5, kAlt | kCtrl | kShift), "Ctrl+Alt+Shift+F5"},
        {MakeHotKeyValue(VK_HOME, kShift | kAlt), "Alt+Shift+Home"},
        {MakeHotKeyValue('1', kAlt), "Alt+1"},
        {MakeHotKeyValue(VK_F12, 0), "F12"},
        {MakeHotKeyValue(VK_NUMPAD0 + 3, kCtrl), "Ctrl+Num 3"},
        {MakeHotKeyValue(0, kCtrl), "Ctrl+"},
        {0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(GetHotkeyText(c.word), c.text);
    }
}

}  // namespace
}  // namespace orderentry::controls
