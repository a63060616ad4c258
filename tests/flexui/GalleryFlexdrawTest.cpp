// Gallery of the drawing helpers and display controls and of the pop-up notice in their main
// states, saved as PNG files in the build folder's screenshots for a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "GifMaker.h"
#include "flexui/DrawHelpers.h"
#include "flexui/FrameBanner.h"
#include "flexui/MsgWnd.h"
#include "flexui/PictureCtrl.h"
#include "flexui/StaticEx.h"
#include "platform/core/SoundPlayer.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/support/RecordingSoundPlayer.h"

namespace {

using kelmon::test::ui::ScreenshotDir;

bool Save(const QImage& image, const char* name) {
    return !image.isNull() && image.save(QDir(ScreenshotDir()).filePath(name));
}

class GalleryFlexdraw : public kelmon::test::ui::UiTest {
protected:
    void TearDown() override {
        CMsgWnd::RemoveAll();
        if (parent.m_hWnd) parent.DestroyWindow();
        UiTest::TearDown();
    }
    CWnd parent;
    testsupport::RecordingSoundPlayer player;
    platform::ScopedSoundPlayer playerScope{player};
};

TEST_F(GalleryFlexdraw, DrawingHelpers) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap canvas;
    canvas.CreateCompatibleBitmap(&dc, 420, 150);
    CBitmap* old = dc.SelectObject(&canvas);
    const RECT all{0, 0, 420, 150};
    dc.FillSolidRect(&all, RGB(255, 255, 255));
    GradientFill(&dc, RECT{10, 10, 110, 40}, RGB(255, 0, 0), RGB(0, 0, 255), 0);
    GradientFill(&dc, RECT{10, 50, 110, 80}, RGB(255, 255, 255), RGB(0, 128, 0), 1);
    GradientFillEx(&dc, RECT{10, 90, 110, 140}, RGB(250, 250, 250), RGB(180, 200, 230),
                   RGB(90, 120, 180), 15, 1);
    GradientFillRect(&dc, RECT{120, 10, 220, 140}, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                     RGB(255, 255, 0));
    const UINT states[] = {0, BUTTON_FRAME_HOT, BUTTON_FRAME_HOT_FOCUS, BUTTON_FRAME_DOWN,
                           BUTTON_FRAME_FLAT};
    for (int i = 0; i < 5; ++i)
        DrawButtonFrame(&dc, RECT{230 + 36 * i, 10, 230 + 36 * i + 32, 34}, states[i]);
    QImage pattern(12, 12, QImage::Format_RGB32);
    pattern.fill(QColor(255, 0, 255));
    for (int y = 2; y < 10; ++y)
        for (int x = 2; x < 10; ++x) pattern.setPixel(x, y, qRgb(20 * x, 200, 255 - 20 * y));
    CBitmap bitmap;
    bitmap.CreateFromImage(pattern);
    DrawBitmap(&dc, RECT{230, 50, 262, 82}, &bitmap, RGB(255, 0, 255), TRUE, FALSE);
    DrawBitmap(&dc, RECT{270, 50, 302, 82}, &bitmap, RGB(255, 0, 255), TRUE, TRUE);
    DrawBitmap(&dc, RECT{310, 50, 342, 82}, &bitmap, RGB(255, 0, 255), FALSE, TRUE);
    DrawTransparentBitmap(&dc, RECT{350, 50, 382, 82}, &bitmap, 2, TRUE, RGB(255, 0, 255), 0.5);
    DrawLine(&dc, 230, 100, 400, 100, RGB(0, 0, 0));
    EXPECT_TRUE(Save(canvas.Image(), "flexdraw_helpers.png"));
    dc.SelectObject(old);
}

TEST_F(GalleryFlexdraw, DisplayControls) {
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 360, 220}, nullptr, 0));
    CFrameBanner banner;
    banner.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 360, 40}, &parent, 1);
    CStaticEx plain, link, coloured, withIcon, disabledIcon;
    plain.Create("普通标签 plain", WS_CHILD | WS_VISIBLE, RECT{10, 50, 170, 70}, &parent, 2);
    link.Create("链接 link", WS_CHILD | WS_VISIBLE, RECT{10, 75, 170, 95}, &parent, 3);
    link.SetButton(RGB(0, 0, 238));
    coloured.Create("Bold on yellow", WS_CHILD | WS_VISIBLE | SS_CENTER, RECT{10, 100, 170, 120},
                    &parent, 4);
    coloured.SetBkColor(RGB(255, 240, 150));
    coloured.SetTextColor(RGB(160, 0, 0));
    coloured.SetFontBold(TRUE);
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(QColor(30, 140, 60));
    withIcon.Create("With icon", WS_CHILD | WS_VISIBLE, RECT{10, 125, 170, 150}, &parent, 5);
    withIcon.SetIcon(icon);
    disabledIcon.Create("Disabled icon", WS_CHILD | WS_VISIBLE, RECT{10, 155, 170, 180}, &parent,
                        6);
    disabledIcon.SetIcon(icon);
    disabledIcon.EnableWindow(FALSE);
    CPictureCtrl picture;
    picture.Create("", WS_CHILD | WS_VISIBLE, RECT{190, 50, 350, 130}, &parent, 7);
    picture.SetBorderColor(RGB(0, 0, 0));
    const std::vector<uint8_t> gif =
        flexui_test::GifMaker(8, 4, {{{255, 255, 255}}, {{220, 80, 0}}})
            .Control(10, 0)
            .Image(0, 0, 8, 4, 1)
            .Control(10, 0)
            .Image(2, 1, 4, 2, 0)
            .Bytes();
    picture.LoadPicture(gif.data(), gif.size());
    picture.KillTimer(1);
    EXPECT_TRUE(Save(parent.GetWidget()->grab().toImage(), "flexdraw_controls_frame0.png"));
    for (int i = 0; i < 2; ++i) picture.SendMessage(WM_TIMER, 1);
    EXPECT_TRUE(Save(parent.GetWidget()->grab().toImage(), "flexdraw_controls_frame1.png"));
}

TEST_F(GalleryFlexdraw, PopupNotice) {
    services_.SetWorkArea(RECT{0, 0, 800, 600});
    CMsgWnd* popup = CMsgWnd::PopMsgWnd("新的通知：委托已成交，请查看成交回报。", 1);
    ASSERT_NE(popup, nullptr);
    for (int i = 0; i < 20; ++i) popup->SendMessage(WM_TIMER, CMsgWnd::kGrowTimer);
    EXPECT_TRUE(Save(popup->GetWidget()->grab().toImage(), "flexdraw_popup_growing.png"));
    while (popup->GetTimerId() == CMsgWnd::kGrowTimer)
        popup->SendMessage(WM_TIMER, CMsgWnd::kGrowTimer);
    EXPECT_TRUE(Save(popup->GetWidget()->grab().toImage(), "flexdraw_popup_full.png"));
    const RECT close = popup->GetCloseRect();
    popup->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(close.left + 3, close.top + 3));
    EXPECT_TRUE(Save(popup->GetWidget()->grab().toImage(), "flexdraw_popup_close_hot.png"));
    popup->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(close.left + 3, close.top + 3));
    EXPECT_TRUE(Save(popup->GetWidget()->grab().toImage(), "flexdraw_popup_close_pressed.png"));
}

}  // namespace
