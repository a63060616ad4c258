// Hot-key fields: one key per dialog group, and the stored number in the private settings.
#include "flexui/FlexHotKeyCtrl.h"

#include <gtest/gtest.h>

#include <QTest>

#include "record/Configure.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::NotifyHost;

class FlexHotKeyCtrlTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateHost());
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        ASSERT_TRUE(first_.Create(style | WS_GROUP, RECT{10, 10, 150, 30}, &host_, 501));
        ASSERT_TRUE(second_.Create(style, RECT{10, 40, 150, 60}, &host_, 502));
        ASSERT_TRUE(third_.Create(style, RECT{10, 70, 150, 90}, &host_, 503));
        ASSERT_TRUE(other_.Create(style | WS_GROUP, RECT{10, 100, 150, 120}, &host_, 504));
    }
    void TearDown() override {
        for (CFlexHotKeyCtrl* field : {&first_, &second_, &third_, &other_}) field->DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Press(CFlexHotKeyCtrl& field, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        field.SetFocus();
        QTest::keyClick(field.GetWidget(), key, modifiers);
        DrainEvents();
    }
    NotifyHost host_;
    CFlexHotKeyCtrl first_, second_, third_, other_;
};

TEST_F(FlexHotKeyCtrlTest, TheSameKeyInTheGroupClearsTheOtherField) {
    const WORD ctrlA = static_cast<WORD>(HOTKEYF_CONTROL << 8 | 'A');
    first_.SetHotKey('A', HOTKEYF_CONTROL);
    other_.SetHotKey('A', HOTKEYF_CONTROL);  // another group
    third_.SetHotKey('A', HOTKEYF_SHIFT);    // same key, other modifiers
    Press(second_, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(second_.GetHotKey(), ctrlA);
    EXPECT_EQ(first_.GetHotKey(), 0);
    EXPECT_EQ(third_.GetHotKey(), static_cast<WORD>(HOTKEYF_SHIFT << 8 | 'A'));
    EXPECT_EQ(other_.GetHotKey(), ctrlA);
    // And back: the first field takes it, the second loses it.
    Press(first_, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(first_.GetHotKey(), ctrlA);
    EXPECT_EQ(second_.GetHotKey(), 0);
}

TEST_F(FlexHotKeyCtrlTest, ProfileHoldsModifiersTimes256PlusTheKey) {
    testsupport::TempDir dir;
    pavlet::SetPrivateProfileName(dir.file("user.ini"));
    first_.SetHotKey(VK_F5, HOTKEYF_CONTROL | HOTKEYF_ALT);
    EXPECT_NE(first_.WriteProfileHotKey("HOTKEY", "BUY"), 0);
    EXPECT_EQ(pavlet::ReadPrivateConfigInt("HOTKEY", "BUY", 0, 0, 0),
              (HOTKEYF_CONTROL | HOTKEYF_ALT) * 256 + VK_F5);
    second_.ReadProfileHotKey("HOTKEY", "BUY", 0);
    EXPECT_EQ(second_.GetHotKey(), first_.GetHotKey());
    third_.ReadProfileHotKey("HOTKEY", "MISSING", 0x0241);
    EXPECT_EQ(third_.GetHotKey(), 0x0241);
    pavlet::SetPrivateProfileName("");
}

}  // namespace
