// The UI services: scripted answers for tests, the desktop implementation driven through a
// real modal message box, the file-filter conversion, and the pixel probe.
#include "platform/ui/UiServices.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

#include "platform/ui/QtUiServices.h"
#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/Wnd.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;
using platform::ui::ScriptedUiServices;

using UiServicesTest = UiTest;

TEST_F(UiServicesTest, ScriptedMessageBoxesAnswerWithoutBlocking) {
    struct Case {
        UINT type;
        int answer;
    };
    const Case defaults[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_RETRYCANCEL, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
    };
    for (const Case& c : defaults) EXPECT_EQ(AfxMessageBox("?", c.type), c.answer) << c.type;

    services_.Clear();
    platform::ui::SetMessageBoxCaption("期货交易");
    services_.AnswerMessageBox(IDNO);
    EXPECT_EQ(AfxMessageBox("确定要撤单吗？", MB_YESNO | MB_ICONQUESTION), IDNO);
    CWnd owner;
    ASSERT_TRUE(owner.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(owner.MessageBox("下单失败"), IDOK);
    ASSERT_EQ(services_.Calls().size(), 2u);
    EXPECT_EQ(services_.Calls()[0].text, "确定要撤单吗？");
    EXPECT_EQ(services_.Calls()[0].caption, "期货交易");
    EXPECT_EQ(services_.Calls()[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(services_.Calls()[1].owner, owner.m_hWnd);
    EXPECT_EQ(services_.Calls()[1].caption, "错误");
    platform::ui::SetMessageBoxCaption("");
    owner.DestroyWindow();
}

TEST_F(UiServicesTest, ScriptedDialogsSoundsAndOpacity) {
    auto& ui = platform::ui::GetUiServices();
    EXPECT_EQ(&ui, &services_);
    platform::ui::FileDialogRequest request;
    request.title = "导出";
    EXPECT_TRUE(ui.FileDialog(0, request).empty()) << "unscripted: cancelled";
    services_.AnswerFileDialog({"/tmp/a.csv"});
    EXPECT_EQ(ui.FileDialog(0, request), std::vector<std::string>{"/tmp/a.csv"});

    COLORREF color = RGB(1, 2, 3);
    EXPECT_FALSE(ui.ChooseColor(0, &color));
    services_.AnswerColor(RGB(255, 0, 0));
    EXPECT_TRUE(ui.ChooseColor(0, &color));
    EXPECT_EQ(color, RGB(255, 0, 0));

    LOGFONT font{};
    LOGFONT chosen{};
    chosen.lfHeight = -12;
    services_.AnswerFont(chosen);
    EXPECT_TRUE(ui.ChooseFont(0, &font, nullptr));
    EXPECT_EQ(font.lfHeight, -12);

    EXPECT_TRUE(PlaySound("/sounds/alert.wav", 0, SND_FILENAME | SND_ASYNC));
    const char wave[] = "RIFF....WAVE";
    EXPECT_TRUE(PlaySound(wave, sizeof wave, SND_MEMORY | SND_ASYNC));
    EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
    EXPECT_EQ(services_.CallsOf("PlaySoundFile").at(0).text, "/sounds/alert.wav");
    EXPECT_EQ(services_.CallsOf("PlaySoundBytes").at(0).text, "13");
    EXPECT_EQ(services_.CallsOf("Beep").size(), 1u);

    services_.SetWorkArea(RECT{0, 0, 800, 560});
    EXPECT_EQ(ui.WorkArea(0), (RECT{0, 0, 800, 560}));
    ui.SetWindowOpacity(77, 200);
    EXPECT_EQ(services_.Opacity(77), std::optional<BYTE>(200));
    EXPECT_EQ(services_.Opacity(78), std::nullopt);
}

TEST_F(UiServicesTest, DesktopMessageBoxIsDrivenFromItsOwnLoop) {
    platform::ui::QtUiServices desktop;
    ModalDriver driver;
    QString seenText;
    driver.OnNextModal([&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                  box->button(QMessageBox::No));
        EXPECT_TRUE(
            ModalDriver::ClickButton(window, box->button(QMessageBox::No)->text().remove('&')));
    });
    EXPECT_EQ(desktop.MessageBox(0, "平仓？", "提示", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(seenText, "平仓？");
    driver.OnNextModal([](QWidget* window) { static_cast<QMessageBox*>(window)->reject(); });
    EXPECT_EQ(desktop.MessageBox(0, "x", "y", MB_YESNOCANCEL), IDCANCEL)
        << "closing the box answers Cancel";
    EXPECT_EQ(driver.Handled(), 2);

    RECT area = desktop.WorkArea(0);
    EXPECT_GT(area.right - area.left, 0);
    EXPECT_GT(area.bottom - area.top, 0);
}

TEST(QtFileFilter, WindowsFilterBecomesQtFilter) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"文本文件|*.txt|所有文件|*.*||", "文本文件 (*.txt);;所有文件 (*.*)"},
        {"CSV (*.csv)|*.csv||", "CSV (*.csv)"},
        {"表格|*.dbf;*.csv|", "表格 (*.dbf *.csv)"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ui::QtFileFilter(c.in), c.out) << c.in;
}

TEST_F(UiServicesTest, PixelProbeReadsColoursAsColorref) {
    CWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 20, 10), nullptr, 0));
    QWidget* widget = wnd.GetWidget();
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    kelmon::test::ui::PixelProbe probe(widget);
    EXPECT_EQ(probe.At(3, 3), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(probe.Count(RGB(0x12, 0x34, 0x56), RECT{0, 0, 20, 10}), 200);
    wnd.DestroyWindow();
}

}  // namespace
