// What the settings folder plugs into the shell: the panel's status-strip slot makes the strip
// in its bar, and the panel's status texts reach it through the slot.
#include "settings/Parts.h"

#include <gtest/gtest.h>

#include "platform/ui/DialogResources.h"
#include "settings/StatusStripDlg.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"
#include "support/ui/UiTestApp.h"

namespace settings {
namespace {

using kelmon::test::ui::UiTest;

class PartsTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        ASSERT_TRUE(
            bar_.Create(nullptr, "bar", WS_POPUP | WS_VISIBLE, RECT{0, 0, 600, 40}, nullptr, 0));
    }
    void TearDown() override {
        bar_.DestroyWindow();
        UiTest::TearDown();
    }

    shell::SlotsResetGuard slots_;
    CWnd bar_;
};

TEST_F(PartsTest, TheStatusStripSlotMakesTheStripAndShowsThePanelsTexts) {
    EXPECT_EQ(shell::CreateBarPanel(shell::BarPanelKind::StatusStrip, &bar_), nullptr);
    RegisterParts();
    std::unique_ptr<CWnd> made = shell::CreateBarPanel(shell::BarPanelKind::StatusStrip, &bar_);
    auto* strip = dynamic_cast<CStatusStripDlg*>(made.get());
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(::GetParent(strip->m_hWnd), bar_.m_hWnd);

    shell::ShowBarPanelText(shell::BarPanelKind::StatusStrip, strip, "合约代码[x]无效", TRUE);
    EXPECT_EQ(strip->GetStatusText(), "合约代码[x]无效");
    EXPECT_TRUE(strip->IsSticky());
    shell::ShowBarPanelText(shell::BarPanelKind::StatusStrip, strip, "委托成功", FALSE);
    EXPECT_EQ(strip->GetDlgItemText(CStatusStripDlg::kStatusTextId), "委托成功");
    EXPECT_FALSE(strip->IsSticky());
    // Another window in the slot's place is left alone.
    shell::ShowBarPanelText(shell::BarPanelKind::StatusStrip, &bar_, "别的窗口", TRUE);
    EXPECT_EQ(strip->GetStatusText(), "委托成功");
    strip->DestroyWindow();
}

}  // namespace
}  // namespace settings
