// CStatusStripDlg: its template, the status text with its colour (before and after the strip
// opens), line breaks in a one-line strip, the text following the strip's width, Enter and
// Esc leaving the strip alone, and the strip in the panel's slot.
#include "settings/StatusStripDlg.h"

#include <gtest/gtest.h>

#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "settings/Parts.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace settings {

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;

class StatusStripDlgTest : public UiTest {
protected:
    void SetUp() override {
        // The program's templates as the source tree holds them.
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        ASSERT_TRUE(
            host_.Create(nullptr, "bar", WS_POPUP | WS_VISIBLE, RECT{0, 0, 600, 40}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    static CWnd* Text(CStatusStripDlg& strip) {
        return strip.GetDlgItem(CStatusStripDlg::kStatusTextId);
    }
    // Red pixels of the status text as shown.
    static int RedPixels(CStatusStripDlg& strip) {
        DrainEvents();
        CWnd* text = Text(strip);
        RECT all{};
        text->GetClientRect(&all);
        return kelmon::test::ui::PixelProbe(text->GetWidget())
            .Count(CStatusStripDlg::kStickyTextColor, all);
    }

    CWnd host_;
};

TEST_F(StatusStripDlgTest, OpensAsAOneLineChildOfItsBar) {
    const platform::ui::DialogTemplate* strip =
        platform::ui::FindDialogTemplate(CStatusStripDlg::IDD);
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->items.size(), 1u);
    EXPECT_EQ(strip->items[0].id, CStatusStripDlg::kStatusTextId);

    CStatusStripDlg dialog;
    ASSERT_TRUE(dialog.Create(&host_));
    EXPECT_TRUE(dialog.GetStyle() & WS_CHILD);
    EXPECT_EQ(dialog.GetParent(), &host_);
    ASSERT_NE(Text(dialog), nullptr);
    dialog.DestroyWindow();
}

TEST_F(StatusStripDlgTest, StickyTextsAreRedAndOthersAreNot) {
    CStatusStripDlg strip;
    strip.SetStatusText("查询全体持仓 ...", TRUE);  // kept until the strip opens
    ASSERT_TRUE(strip.Create(&host_));
    strip.ShowWindow(SW_SHOW);
    EXPECT_EQ(strip.GetDlgItemText(CStatusStripDlg::kStatusTextId), "查询全体持仓 ...");
    EXPECT_GT(RedPixels(strip), 0);

    const struct {
        const char* text;
        BOOL sticky;
        const char* shown;
    } cases[] = {
        {"没有可撤单委托 ...", FALSE, "没有可撤单委托 ..."},
        {"撤单申请发送失败,共申请2笔,失败笔数:2,最后一笔失败说明:\n资金不足", TRUE,
         "撤单申请发送失败,共申请2笔,失败笔数:2,最后一笔失败说明: 资金不足"},
        {"合约代码[IF2612]无效", FALSE, "合约代码[IF2612]无效"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        strip.SetStatusText(c.text, c.sticky);
        EXPECT_EQ(strip.GetDlgItemText(CStatusStripDlg::kStatusTextId), c.shown);
        EXPECT_EQ(strip.GetStatusText(), c.text);
        EXPECT_EQ(strip.IsSticky(), c.sticky);
        if (c.sticky)
            EXPECT_GT(RedPixels(strip), 0);
        else
            EXPECT_EQ(RedPixels(strip), 0);
    }
    strip.DestroyWindow();
}

TEST_F(StatusStripDlgTest, TheTextFollowsTheStripsWidthAndEnterOrEscLeaveItOpen) {
    CStatusStripDlg strip;
    ASSERT_TRUE(strip.Create(&host_));
    strip.ShowWindow(SW_SHOW);
    strip.MoveWindow(0, 0, 400, 24);
    RECT narrow{};
    Text(strip)->GetWindowRect(&narrow);
    strip.MoveWindow(0, 0, 560, 24);
    RECT wide{};
    Text(strip)->GetWindowRect(&wide);
    EXPECT_EQ(wide.right - wide.left, narrow.right - narrow.left + 160);

    for (UINT command : {IDOK, IDCANCEL}) {
        strip.SendMessage(WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        EXPECT_TRUE(strip.IsWindowVisible()) << command;
    }
    strip.DestroyWindow();
}

// The folder's RegisterParts puts the strip into the panel's slot: made in its bar, and the
// panel's status texts reach it through the slot.
TEST_F(StatusStripDlgTest, RegisterPartsFillsThePanelsStatusStripSlot) {
    shell::SlotsResetGuard guard;
    EXPECT_EQ(shell::CreateBarPanel(shell::BarPanelKind::StatusStrip, &host_), nullptr);
    RegisterParts();
    std::unique_ptr<CWnd> made = shell::CreateBarPanel(shell::BarPanelKind::StatusStrip, &host_);
    auto* strip = dynamic_cast<CStatusStripDlg*>(made.get());
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(::GetParent(strip->m_hWnd), host_.m_hWnd);

    shell::ShowBarPanelText(shell::BarPanelKind::StatusStrip, strip, "合约代码[x]无效", TRUE);
    EXPECT_EQ(strip->GetStatusText(), "合约代码[x]无效");
    EXPECT_TRUE(strip->IsSticky());
    shell::ShowBarPanelText(shell::BarPanelKind::StatusStrip, strip, "委托成功", FALSE);
    EXPECT_EQ(strip->GetDlgItemText(CStatusStripDlg::kStatusTextId), "委托成功");
    EXPECT_FALSE(strip->IsSticky());
    // Another window in the strip's place is left alone.
    shell::ShowBarPanelText(shell::BarPanelKind::StatusStrip, &host_, "别的窗口", TRUE);
    EXPECT_EQ(strip->GetStatusText(), "委托成功");
    strip->DestroyWindow();
}

}  // namespace

}  // namespace settings
