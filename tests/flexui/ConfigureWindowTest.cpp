// The settings store's window forms: a field's text to and from the installation profile.
#include "flexui/ConfigureWindow.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"

namespace {

class ConfigureWindowTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir_.path().string());
        pavlet::SetProfileName("KELMON.INI");
        std::ofstream(pavlet::GetProfileName(), std::ios::binary)
            << platform::Utf8ToGbk("[ORDER]\r\nACCOUNT=张三\r\nVOLUME=12\r\n");
        platform::FlushProfileCache();
        ASSERT_TRUE(edit_.Create("Edit", "", WS_POPUP, RECT{0, 0, 120, 24}, nullptr, 1));
    }
    void TearDown() override {
        edit_.DestroyWindow();
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        UiTest::TearDown();
    }
    testsupport::TempDir dir_;
    CWnd edit_;
};

TEST_F(ConfigureWindowTest, ReadsSetTheWindowText) {
    struct Case {
        const char* key;
        const char* textDefault;  // null: the number form with default 5
        const char* expected;
    } const cases[] = {
        {"ACCOUNT", "none", "张三"},
        {"MISSING", "none", "none"},
        {"VOLUME", nullptr, "12"},
        {"MISSING", nullptr, "5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        if (c.textDefault != nullptr) {
            pavlet::ReadConfigure("ORDER", c.key, &edit_, c.textDefault);
        } else {
            pavlet::ReadConfigure("ORDER", c.key, &edit_, 5);
        }
        EXPECT_EQ(edit_.GetWindowText(), c.expected);
    }
}

TEST_F(ConfigureWindowTest, WriteStoresTheTextOnceAndIgnoresNoWindow) {
    edit_.SetWindowText("李四");
    EXPECT_EQ(pavlet::WriteConfigure("ORDER", "ACCOUNT", &edit_), 1);
    EXPECT_EQ(pavlet::WriteConfigure("ORDER", "ACCOUNT", &edit_), 0);  // unchanged: not written
    EXPECT_EQ(pavlet::ReadConfigure("ORDER", "ACCOUNT", ""), "李四");

    EXPECT_EQ(pavlet::WriteConfigure("ORDER", "ACCOUNT", static_cast<CWnd*>(nullptr)), 0);
    pavlet::ReadConfigure("ORDER", "ACCOUNT", static_cast<CWnd*>(nullptr), "x");  // no crash
    EXPECT_EQ(pavlet::ReadConfigure("ORDER", "ACCOUNT", ""), "李四");
}

}  // namespace
