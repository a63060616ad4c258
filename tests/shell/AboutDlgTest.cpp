// The About box: its template loads from the built-in kelmon module with the controls the
// code needs, the banner and link are set up at open, and a click on the link opens the
// maker's site.
#include "shell/AboutDlg.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/UiTestApp.h"

namespace shell {
namespace {

using kelmon::test::ui::UiTest;

class AboutDlgTest : public UiTest {
protected:
    void TearDown() override {
        CAboutDlg::SetUrlOpener(nullptr);
        UiTest::TearDown();
    }
};

TEST_F(AboutDlgTest, TemplateIsBuiltInWithTheControlsTheCodeUses) {
    EXPECT_TRUE(platform::ui::LoadDialogModule("kelmon").empty());
    const platform::ui::DialogTemplate* about = platform::ui::FindDialogTemplate(CAboutDlg::IDD);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(platform::ui::FindDialogTemplate("ABOUTBOX"), about);
    for (int id : {1753, 1315, 1751, 1309, 1200, IDOK}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(std::any_of(about->items.begin(), about->items.end(),
                                [id](const auto& item) { return item.id == id; }));
    }
}

TEST_F(AboutDlgTest, OpensWithBannerAndLinkAndTheLinkOpensTheMakersSite) {
    std::vector<std::string> opened;
    CAboutDlg::SetUrlOpener([&opened](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    CAboutDlg dialog;
    ASSERT_TRUE(dialog.Create(CAboutDlg::IDD));
    EXPECT_EQ(dialog.GetDlgItemText(CAboutDlg::kBannerId), GetBannerText());
    EXPECT_FALSE(dialog.GetDlgItemText(CAboutDlg::kBannerId).empty());

    auto* link = dynamic_cast<CStaticEx*>(
        CWnd::FromHandlePermanent(dialog.GetDlgItem(CAboutDlg::kLinkId)->m_hWnd));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->GetTextColor(), CAboutDlg::kLinkColor);
    EXPECT_TRUE(link->GetStyle() & SS_NOTIFY);
    auto* banner = dynamic_cast<CStaticEx*>(
        CWnd::FromHandlePermanent(dialog.GetDlgItem(CAboutDlg::kBannerId)->m_hWnd));
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->GetTextColor(), CAboutDlg::kBannerColor);
    EXPECT_NE(dynamic_cast<CFrameBanner*>(
                  CWnd::FromHandlePermanent(dialog.GetDlgItem(CAboutDlg::kFrameBannerId)->m_hWnd)),
              nullptr);

    // The link's click reaches the dialog as STN_CLICKED.
    dialog.SendMessage(WM_LBUTTONDOWN, 0, 0);  // a click elsewhere opens nothing
    link->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], CAboutDlg::kMakerUrl);
    dialog.DestroyWindow();
}

}  // namespace
}  // namespace shell
