// The "ALIAS" relabelling: static texts and buttons whose whole text is a key get the alias,
// other classes and partial texts keep theirs; header texts; installing it for the dialogs.
#include "shell/AliasRelabel.h"

#include <gtest/gtest.h>

#include <fstream>

#include "flexui/FlexDialog.h"
#include "flexui/GridCtrl.h"
#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "support/ui/UiTestApp.h"
#include "tests/support/TempDir.h"

namespace shell {
namespace {

using kelmon::test::ui::UiTest;

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

class AliasRelabelTest : public UiTest {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir_.path().string());
        pavlet::SetProfileName("KELMON.INI");
        Write(platform::Utf8ToGbk("[ALIAS]\r\n下单=报单\r\n撤单=撤销\r\n"));
        ASSERT_TRUE(frame_.Create(nullptr, "", WS_POPUP, Rect(0, 0, 300, 200), nullptr, 0));
    }
    void TearDown() override {
        CFlexDialog::SetEnumChildFunctor(nullptr);
        CGridCtrl::SetHeaderTextMapFunctor(nullptr);
        frame_.DestroyWindow();
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        UiTest::TearDown();
    }
    void Write(const std::string& text) {
        std::ofstream(pavlet::GetProfileName(), std::ios::binary) << text;
        platform::FlushProfileCache();
    }
    CWnd* Child(const char* className, const char* text, int id) {
        children_.push_back(std::make_unique<CWnd>());
        EXPECT_TRUE(children_.back()->Create(className, text, WS_CHILD, Rect(0, 0, 50, 20), &frame_,
                                             static_cast<UINT>(id)));
        return children_.back().get();
    }

    testsupport::TempDir dir_;
    CWnd frame_;
    std::vector<std::unique_ptr<CWnd>> children_;
};

TEST_F(AliasRelabelTest, OnlyWholeTextsOfStaticsAndButtonsChange) {
    ASSERT_TRUE(InstallAliasRelabelling());
    EXPECT_EQ(CFlexDialog::GetEnumChildFunctor(), &RelabelChildWindow);
    EXPECT_EQ(CGridCtrl::GetHeaderTextMapFunctor(), &RelabelHeaderText);
    const struct {
        const char* className;
        const char* text;
        const char* shown;
    } cases[] = {
        {"Static", "下单", "报单"},         {"Button", "撤单", "撤销"},
        {"Static", "快速下单", "快速下单"},  // only whole texts
        {"Edit", "下单", "下单"},           {"Static", "", ""},
    };
    int id = 100;
    for (const auto& c : cases) {
        CWnd* child = Child(c.className, c.text, id++);
        EXPECT_EQ(RelabelChildWindow(child, &frame_), TRUE);
        EXPECT_EQ(child->GetWindowText(), c.shown) << c.className << " " << c.text;
    }
    EXPECT_EQ(RelabelChildWindow(nullptr, &frame_), TRUE);
    EXPECT_STREQ(RelabelHeaderText("撤单"), "撤销");
    EXPECT_STREQ(RelabelHeaderText("合约"), "合约");
    EXPECT_EQ(RelabelHeaderText(nullptr), nullptr);
}

TEST_F(AliasRelabelTest, NoAliasesInstallsNothing) {
    Write("[SYSTEM]\r\nA=1\r\n");
    EXPECT_FALSE(InstallAliasRelabelling());
    EXPECT_EQ(CFlexDialog::GetEnumChildFunctor(), nullptr);
    EXPECT_EQ(CGridCtrl::GetHeaderTextMapFunctor(), nullptr);
    CWnd* label = Child("Static", "下单", 1);
    RelabelChildWindow(label, &frame_);
    EXPECT_EQ(label->GetWindowText(), "下单");
}

}  // namespace
}  // namespace shell
