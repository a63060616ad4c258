// What the order-entry folder plugs into the shell: the hot-key settings opener runs the
// dialog modally and answers how it ended.
#include "orderentry/Parts.h"

#include <gtest/gtest.h>

#include "orderentry/HotkeySettingsDlg.h"
#include "platform/ui/DialogResources.h"
#include "record/Configure.h"
#include "shell/PartOpeners.h"
#include "support/ScratchProfile.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"

namespace orderentry {
namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::UiTest;

class PartsTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        pavlet::SetPrivateProfileName(profile_.dir.file("user.ini"));
    }
    void TearDown() override {
        pavlet::SetPrivateProfileName("");
        UiTest::TearDown();
    }

    shell::SlotsResetGuard slots_;
    testsupport::ScratchProfile profile_;
};

TEST_F(PartsTest, TheHotkeyOpenerRunsTheSettingsDialogModally) {
    EXPECT_EQ(shell::RunOpener(shell::PartOpeners().hotkeySettings, nullptr), 0);
    RegisterParts();
    ModalDriver driver;
    size_t fields = 0;
    driver.OnNextModal([&](QWidget* window) {
        fields = window->findChildren<QWidget*>().size();
        EXPECT_TRUE(ModalDriver::ClickButton(window, "取消"));
    });
    const INT_PTR end = shell::RunOpener(shell::PartOpeners().hotkeySettings, nullptr);
    EXPECT_EQ(driver.Handled(), 1);
    EXPECT_GE(fields, static_cast<size_t>(kHotkeyFieldCount));  // the shortcut fields were there
    EXPECT_EQ(end, IDCANCEL);
}

}  // namespace
}  // namespace orderentry
