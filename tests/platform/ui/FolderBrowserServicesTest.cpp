// The folder picker and the browser services: scripted answers and records for tests, the web
// addresses they accept, the self-posting form page, and the desktop implementation with its
// browser replaced by a recorder (no browser ever starts).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/ui/QtUiServices.h"
#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/UiServices.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::UiTest;
using platform::ui::FormFields;

using FolderBrowserServicesTest = UiTest;

const FormFields kSignIn = {{"companyID", "0001"},
                            {"userid", "8001"},
                            {"keyid", "k&1"},
                            {"passwd", "p\"w<d>'"},
                            {"pcompinfo", "DD"}};

TEST(WebAddressTest, OnlyHttpAndHttpsAddressesWithAHostAreWebAddresses) {
    struct Case {
        const char* url;
        bool web;
    };
    for (Case c :
         {Case{"https://example.test/loginByKey.do", true},
          Case{"HTTP://example.test?a=1&b=2", true}, Case{"http://10.0.0.1:8080/", true},
          Case{"http://", false}, Case{"https:///path", false}, Case{"file:///etc/passwd", false},
          Case{"javascript:alert(1)", false}, Case{"C:\\trade\\setup.exe", false},
          Case{"/usr/bin/xterm", false}, Case{"http://example.test/a b", false},
          Case{"http://example.test/\n--flag", false}, Case{"", false}})
        EXPECT_EQ(platform::ui::IsWebAddress(c.url), c.web) << c.url;
}

TEST_F(FolderBrowserServicesTest, ScriptedFolderPickerRecordsAndAnswers) {
    std::string folder = "/home/trader/statements";
    EXPECT_FALSE(platform::ui::GetUiServices().ChooseFolder(0, "选择保存目录", &folder))
        << "unanswered: cancelled";
    EXPECT_EQ(folder, "/home/trader/statements");

    services_.AnswerFolder(std::string("/data/帐单"));
    services_.AnswerFolder(std::nullopt);
    EXPECT_TRUE(services_.ChooseFolder(0, "选择保存目录", &folder));
    EXPECT_EQ(folder, "/data/帐单");
    EXPECT_FALSE(services_.ChooseFolder(0, "选择保存目录", &folder));
    EXPECT_EQ(folder, "/data/帐单") << "a cancelled choice leaves the folder alone";

    const auto calls = services_.CallsOf("ChooseFolder");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].text, "选择保存目录");
    EXPECT_EQ(calls[0].caption, "/home/trader/statements");
    EXPECT_EQ(calls[2].caption, "/data/帐单");
}

TEST_F(FolderBrowserServicesTest, ScriptedBrowserRecordsAddressesAndForms) {
    platform::ui::UiServices& ui = platform::ui::GetUiServices();
    EXPECT_TRUE(ui.OpenUrl("https://example.test/?companyID=1&userid=2"));
    EXPECT_TRUE(ui.PostForm("https://example.test/loginByKey.do", kSignIn));
    EXPECT_FALSE(ui.OpenUrl("file:///etc/passwd")) << "recorded, but refused as on the desktop";
    services_.SetBrowserAvailable(false);
    EXPECT_FALSE(ui.OpenUrl("https://example.test/"));

    ASSERT_EQ(services_.CallsOf("OpenUrl").size(), 3u);
    EXPECT_EQ(services_.CallsOf("OpenUrl")[0].text, "https://example.test/?companyID=1&userid=2");
    const auto posts = services_.CallsOf("PostForm");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].text, "https://example.test/loginByKey.do");
    EXPECT_EQ(posts[0].fields, kSignIn);
}

TEST(AutoSubmitFormPageTest, FieldsGoInOrderAndNothingIsReadAsMarkup) {
    const std::string page =
        platform::ui::AutoSubmitFormPage("https://example.test/loginByKey.do?x=1&y=\"2\"", kSignIn);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("onload=\"document.forms[0].submit()\""), std::string::npos);
    EXPECT_NE(page.find("<form method=\"post\" action=\"https://example.test/loginByKey.do?x=1&amp;"
                        "y=&quot;2&quot;\" enctype=\"application/x-www-form-urlencoded\""),
              std::string::npos);
    const size_t company = page.find("name=\"companyID\" value=\"0001\"");
    const size_t key = page.find("name=\"keyid\" value=\"k&amp;1\"");
    const size_t password = page.find("name=\"passwd\" value=\"p&quot;w&lt;d&gt;&#39;\"");
    ASSERT_NE(company, std::string::npos);
    ASSERT_NE(key, std::string::npos);
    ASSERT_NE(password, std::string::npos);
    EXPECT_LT(company, key);
    EXPECT_LT(key, password);
    EXPECT_EQ(page.find("<d>"), std::string::npos);
}

TEST_F(FolderBrowserServicesTest, DesktopBrowserGetsWebAddressesAndAPrivateFormPage) {
    std::vector<std::string> opened;
    std::string pageText;
    QFile::Permissions folderPermissions;
    {
        platform::ui::QtUiServices desktop;
        desktop.SetBrowserOpener([&](const std::string& url) {
            opened.push_back(url);
            return true;
        });
        EXPECT_TRUE(desktop.OpenUrl("https://example.test/home"));
        EXPECT_FALSE(desktop.OpenUrl("/usr/bin/xterm"));
        EXPECT_FALSE(desktop.PostForm("javascript:alert(1)", kSignIn));
        EXPECT_TRUE(desktop.PostForm("https://example.test/loginByKey.do", kSignIn));
        ASSERT_EQ(opened.size(), 2u) << "refused addresses never reach the browser";
        EXPECT_EQ(opened[0], "https://example.test/home");

        const QUrl page(QString::fromStdString(opened[1]));
        ASSERT_TRUE(page.isLocalFile()) << opened[1];
        QFile file(page.toLocalFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        pageText = file.readAll().toStdString();
        folderPermissions = QFileInfo(QFileInfo(file).absolutePath()).permissions();
    }
    EXPECT_EQ(pageText,
              platform::ui::AutoSubmitFormPage("https://example.test/loginByKey.do", kSignIn));
    EXPECT_EQ(folderPermissions &
                  (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther),
              QFile::Permissions{})
        << "others cannot read the sign-in keys";
    EXPECT_FALSE(QFile::exists(QUrl(QString::fromStdString(opened[1])).toLocalFile()))
        << "the page goes with the services object";
}

TEST_F(FolderBrowserServicesTest, DesktopFolderPickerAnswersTheChosenFolderOrLeavesItAlone) {
    QTemporaryDir start;
    ASSERT_TRUE(start.isValid());
    ASSERT_TRUE(QDir(start.path()).mkdir("帐单"));
    const std::string chosen = QDir(start.path()).filePath("帐单").toStdString();
    platform::ui::QtUiServices desktop;
    ModalDriver driver;
    std::string title;
    driver.OnNextModal([&](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle().toStdString();
        dialog->setDirectory(QString::fromStdString(chosen));
        static_cast<QDialog*>(dialog)->accept();  // public as a dialog's
    });
    driver.OnNextModal([](QWidget* window) { window->close(); });

    std::string folder = start.path().toStdString();
    EXPECT_TRUE(desktop.ChooseFolder(0, "选择保存目录", &folder));
    EXPECT_EQ(title, "选择保存目录");
    EXPECT_EQ(folder, chosen);
    EXPECT_FALSE(desktop.ChooseFolder(0, "选择保存目录", &folder));
    EXPECT_EQ(folder, chosen);
    EXPECT_EQ(driver.Handled(), 2);
}

}  // namespace
