// The hot-key settings dialog: its template, the shortcuts read with their defaults, the
// order-entry fields taking plain keys only, the groups in which a key may appear once, and OK
// storing everything and telling the workspace while Cancel stores nothing, and the dialog run
// through the shell's opener slot.
#include "orderentry/HotkeySettingsDlg.h"

#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <set>
#include <vector>

#include "orderentry/Parts.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/ProfileCodecs.h"
#include "record/Configure.h"
#include "shell/PartOpeners.h"
#include "support/ScratchProfile.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"
#include "tradedata/Registries.h"

namespace orderentry {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using platform::ui::MakeHotKeyValue;

struct Post {
    tradedata::WindowId window;
    uint32_t message;
    uintptr_t wParam;
};

class HotkeySettingsDlgTest : public UiTest {
protected:
    void SetUp() override {
        // The program's templates as the source tree holds them.
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        pavlet::SetPrivateProfileName(profile_.dir.file("user.ini"));
        tradedata::SetPostFunction(
            [this](tradedata::WindowId window, uint32_t message, uintptr_t wParam, intptr_t) {
                posts_.push_back(Post{window, message, wParam});
            });
        tradedata::SetWorkplaceWindow(kWorkspace);
    }
    void TearDown() override {
        if (dialog_.m_hWnd) dialog_.DestroyWindow();
        tradedata::SetWorkplaceWindow(0);
        tradedata::SetPostFunction(nullptr);
        pavlet::SetPrivateProfileName("");
        UiTest::TearDown();
    }
    void Open() { ASSERT_TRUE(dialog_.Create(CHotkeySettingsDlg::IDD)); }
    WORD Shown(int id) {
        return static_cast<WORD>(dialog_.GetDlgItem(id)->SendMessage(HKM_GETHOTKEY, 0, 0));
    }
    void Press(int id, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        CWnd* field = dialog_.GetDlgItem(id);
        field->SetFocus();
        QTest::keyClick(field->GetWidget(), key, modifiers);
        DrainEvents();
    }
    static int Stored(const char* key) {
        return pavlet::ReadPrivateConfigInt(kHotkeySection, key, -1, INT32_MIN, INT32_MAX);
    }

    static constexpr tradedata::WindowId kWorkspace = 4242;
    testsupport::ScratchProfile profile_;
    std::vector<Post> posts_;
    CHotkeySettingsDlg dialog_;
};

TEST_F(HotkeySettingsDlgTest, TemplateHasAFieldForEveryShortcut) {
    const platform::ui::DialogTemplate* dialog =
        platform::ui::FindDialogTemplate(CHotkeySettingsDlg::IDD);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->caption, "快捷键设置");
    std::set<std::string> keys;
    for (const HotkeyField& field : HotkeyFields()) {
        SCOPED_TRACE(field.key);
        keys.insert(field.key);
        auto item = std::find_if(dialog->items.begin(), dialog->items.end(),
                                 [&](const auto& i) { return i.id == field.controlId; });
        ASSERT_NE(item, dialog->items.end());
        EXPECT_EQ(item->className, "msctls_hotkey32");
    }
    EXPECT_EQ(keys.size(), HotkeyFields().size()) << "every key once";
    EXPECT_TRUE(std::any_of(dialog->items.begin(), dialog->items.end(), [](const auto& i) {
        return i.id == CHotkeySettingsDlg::kFocusStaysCheckId;
    }));
}

TEST_F(HotkeySettingsDlgTest, OpensWithTheStoredShortcutsOrTheirDefaults) {
    pavlet::WritePrivateConfigure(kHotkeySection, "WTCX", MakeHotKeyValue(VK_F1, HOTKEYF_CONTROL));
    pavlet::WritePrivateConfigure(kHotkeySection, "JYLB4", '5');
    pavlet::WritePrivateConfigure(kHotkeySection, "KSWTCD_WTCXJD", 1);
    Open();
    const struct {
        int id;
        int value;
    } cases[] = {
        {1597, MakeHotKeyValue(VK_F1, HOTKEYF_CONTROL)},
        {1598, 0},
        {1593, VK_F12},
        {1433, '1'},
        {1435, '2'},
        {1437, '1'},
        {1439, '2'},
        {1441, '5'},
        {1703, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(Shown(c.id), c.value);
    }
    EXPECT_EQ(dialog_.IsDlgButtonChecked(CHotkeySettingsDlg::kFocusStaysCheckId), BST_CHECKED);
}

TEST_F(HotkeySettingsDlgTest, OrderEntryFieldsTakePlainKeysOnly) {
    Open();
    const struct {
        int id;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int value;
    } cases[] = {
        {1433, Qt::Key_5, Qt::ControlModifier, '5'},
        {1441, Qt::Key_7, Qt::AltModifier | Qt::ShiftModifier, '7'},
        {1439, Qt::Key_F3, Qt::NoModifier, VK_F3},
        {1597, Qt::Key_5, Qt::ControlModifier, MakeHotKeyValue('5', HOTKEYF_CONTROL)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        Press(c.id, c.key, c.modifiers);
        EXPECT_EQ(Shown(c.id), c.value);
    }
}

TEST_F(HotkeySettingsDlgTest, AKeyIsTakenFromItsOwnGroupOnly) {
    Open();
    // Buy and sell share a group, open and close another: both start with 1 and 2.
    Press(1435, Qt::Key_1, Qt::NoModifier);
    EXPECT_EQ(Shown(1435), '1');
    EXPECT_EQ(Shown(1433), 0) << "buy lost the key to sell";
    EXPECT_EQ(Shown(1437), '1') << "open keeps it";
    Press(1437, Qt::Key_2, Qt::NoModifier);
    EXPECT_EQ(Shown(1439), 0) << "close lost the key to open";
    EXPECT_EQ(Shown(1435), '1');
    Press(1435, Qt::Key_2, Qt::NoModifier);
    EXPECT_EQ(Shown(1437), '2') << "open keeps it";
    // The tab, batch and other shortcuts are one table.
    Press(1597, Qt::Key_F5, Qt::ControlModifier);
    Press(1592, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(Shown(1597), 0);
    Press(1426, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(Shown(1592), 0);
    EXPECT_EQ(Shown(1426), MakeHotKeyValue(VK_F5, HOTKEYF_CONTROL));
}

TEST_F(HotkeySettingsDlgTest, OkStoresEverythingAndTellsTheWorkspaceCancelStoresNothing) {
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        posts_.clear();
        Open();
        Press(1426, Qt::Key_F8, Qt::ControlModifier | Qt::ShiftModifier);
        Press(1433, Qt::Key_3, Qt::NoModifier);
        dialog_.CheckDlgButton(CHotkeySettingsDlg::kFocusStaysCheckId, BST_CHECKED);
        dialog_.SendMessage(WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED), 0);
        EXPECT_FALSE(dialog_.IsWindowVisible()) << "closed";
        if (!ok) {
            EXPECT_EQ(Stored("QBCD"), -1);
            EXPECT_EQ(Stored("MMLB1"), -1);
            EXPECT_EQ(Stored(CHotkeySettingsDlg::kFocusStaysKey), -1);
            EXPECT_TRUE(posts_.empty());
        } else {
            EXPECT_EQ(Stored("QBCD"), MakeHotKeyValue(VK_F8, HOTKEYF_CONTROL | HOTKEYF_SHIFT));
            EXPECT_EQ(Stored("MMLB1"), '3');
            EXPECT_EQ(Stored("MMLB2"), '2') << "untouched fields are stored as shown";
            EXPECT_EQ(Stored("LAYERRESTORE"), VK_F12);
            EXPECT_EQ(Stored("WTCX"), 0);
            EXPECT_EQ(Stored(CHotkeySettingsDlg::kFocusStaysKey), 1);
            ASSERT_EQ(posts_.size(), 1u);
            EXPECT_EQ(posts_[0].window, kWorkspace);
            EXPECT_EQ(posts_[0].message, tradedata::kWmFrameRefresh);
            EXPECT_EQ(posts_[0].wParam, CHotkeySettingsDlg::kSettingsChangedBit);
        }
        dialog_.DestroyWindow();
    }
}

// The folder's RegisterParts fills the shell's opener, which runs the dialog modally and
// answers how it ended.
TEST_F(HotkeySettingsDlgTest, RegisterPartsFillsTheShellsHotkeyOpener) {
    shell::SlotsResetGuard guard;
    EXPECT_EQ(shell::RunOpener(shell::PartOpeners().hotkeySettings, nullptr), 0);
    RegisterParts();
    kelmon::test::ui::ModalDriver driver;
    size_t fields = 0;
    driver.OnNextModal([&](QWidget* window) {
        fields = window->findChildren<QWidget*>().size();
        EXPECT_TRUE(kelmon::test::ui::ModalDriver::ClickButton(window, "取消"));
    });
    const INT_PTR end = shell::RunOpener(shell::PartOpeners().hotkeySettings, nullptr);
    EXPECT_EQ(driver.Handled(), 1);
    EXPECT_GE(fields, static_cast<size_t>(kHotkeyFieldCount));  // the shortcut fields were there
    EXPECT_EQ(end, IDCANCEL);
}

}  // namespace
}  // namespace orderentry
