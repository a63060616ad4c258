// Gallery of the tool bars (text below, text beside, plain) and of the view control with hosted
// windows and empty with its prompt, saved as PNG files under <build folder>/screenshots.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <fstream>
#include <memory>

#include "flexui/FlexToolBar.h"
#include "flexui/FlexViewCtrl.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "support/TempDir.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;

class GalleryContainerTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 560, 320},
                                   nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        platform::ui::SetStringResourceLookup(nullptr);
        platform::ui::RegisterDialogModule("gallery-container", "/nonexistent");
        UiTest::TearDown();
    }
    void Save(const char* name) {
        DrainEvents();
        QImage shot = host_.GetWidget()->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/container_" + name + ".png"));
    }
    CWnd host_;
};

// Four 16-pixel pictures on the transparent face grey: a circle, a square, a triangle, a bar.
QImage Pictures() {
    QImage image(64, 16, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(2, 2, 12, 12);
    painter.setBrush(QColor(30, 120, 30));
    painter.drawRect(18, 2, 12, 12);
    painter.setBrush(QColor(30, 60, 200));
    const QPoint triangle[] = {{40, 2}, {46, 14}, {34, 14}};
    painter.drawPolygon(triangle, 3);
    painter.setBrush(QColor(230, 150, 0));
    painter.drawRect(50, 6, 12, 4);
    return image;
}

TEST_F(GalleryContainerTest, ToolBars) {
    testsupport::TempDir dir;
    std::ofstream(dir.file("400_gallery.tbr"))
        << "TOOLBAR 400, 16, 16\nBUTTON 801\nBUTTON 802\nSEPARATOR\nBUTTON 803\nBUTTON 804\n";
    ASSERT_TRUE(Pictures().save(QString::fromStdString(dir.file("bitmap_400.bmp"))));
    platform::ui::RegisterDialogModule("gallery-container", dir.path().string());
    platform::ui::SetStringResourceLookup([](UINT id) -> std::string {
        switch (id) {
            case 801:
                return "买入开仓\n买入";
            case 802:
                return "卖出平仓\n卖出";
            case 803:
                return "撤销委托\n撤单";
            case 804:
                return "刷新";
            default:
                return "";
        }
    });
    CFlexToolBar below, beside, plain;
    for (auto [bar, mode, top] :
         {std::tuple{&below, 1, 10}, std::tuple{&beside, 2, 90}, std::tuple{&plain, 0, 150}}) {
        ASSERT_TRUE(bar->Create(&host_));
        ASSERT_TRUE(bar->LoadToolBar(400, mode));
        if (bar == &plain) plain.SetButtonWidth(801, 40);
        const SIZE size = bar->CalcFixedLayout(FALSE, TRUE);
        bar->MoveWindow(10, top, size.cx, size.cy);
    }
    below.EnableButton(803, FALSE);
    below.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));  // the first button hot
    beside.CheckButton(802);
    beside.EnableButton(804, FALSE);
    plain.EnableButton(804, FALSE);
    Save("toolbars");
}

TEST_F(GalleryContainerTest, Views) {
    CFixRecord table;
    table.GetMemRecord()->Create("windows[I]");
    CFlexViewCtrl full, empty;
    ASSERT_TRUE(full.Create(WS_VISIBLE, RECT{10, 10, 280, 300}, &host_, 1, WS_EX_CLIENTEDGE));
    ASSERT_TRUE(empty.Create(WS_VISIBLE, RECT{290, 10, 550, 300}, &host_, 2, WS_EX_CLIENTEDGE));
    std::vector<std::unique_ptr<CWnd>> windows;
    const char* captions[] = {"豆粕", "玉米", "棉花", "白糖", "螺纹", "沪铜", "黄金"};
    for (const char* caption : captions) {
        auto window = std::make_unique<CWnd>();
        ASSERT_TRUE(window->CreateEx(0, "Button", caption, WS_POPUP | WS_VISIBLE,
                                     RECT{0, 0, 76, 48}, nullptr, 0));
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.GetMemRecord()->Set("windows", static_cast<int32_t>(window->m_hWnd), row);
        windows.push_back(std::move(window));
    }
    full.SetRecord(&table);
    empty.SetBlankPrompt("没有可显示的窗口");
    Save("views");
}

}  // namespace
