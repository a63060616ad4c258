// Gallery of the balloon tip, the soft keyboard, the security code and the flex edits in their
// main states, saved as PNG files under <build>/screenshots for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "flexui/BalloonTip.h"
#include "flexui/FlexEdit.h"
#include "flexui/SecureKeyboardDlg.h"
#include "flexui/SecurityCode.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;

bool Save(QWidget* widget, const char* name) {
    QString path = QDir(kelmon::test::ui::ScreenshotDir()).filePath(QString("flexedit_") + name);
    return widget->grab().toImage().save(path);
}

class GalleryFlexeditTest : public kelmon::test::ui::UiTest {};

TEST_F(GalleryFlexeditTest, BalloonsInEachQuadrantAndWithoutStem) {
    struct Shot {
        const char* name;
        POINT anchor;
        DWORD options;
        int icon;
    };
    const Shot shots[] = {
        {"balloon_upper_left.png", {100, 100}, BALLOON_CLOSEBUTTON, 1},
        {"balloon_upper_right.png", {1100, 100}, 0, 2},
        {"balloon_lower_left.png", {100, 900}, BALLOON_CLOSEBUTTON, 3},
        {"balloon_lower_right.png", {1100, 900}, 0, 4},
        {"balloon_no_stem.png", {600, 400}, BALLOON_NOSTEM | BALLOON_CLOSEBUTTON, 1},
    };
    for (const Shot& shot : shots) {
        CBalloonTip* tip = CBalloonTip::LaunchBalloon(
            "输入错误", "数据无效，输入的数值应该为5的整数倍！\r\n第二行说明", shot.anchor,
            shot.icon, shot.options, nullptr, 0);
        ASSERT_NE(tip, nullptr);
        DrainEvents();
        EXPECT_TRUE(Save(tip->GetWidget(), shot.name));
        tip->DestroyWindow();
        DrainEvents();
    }
}

TEST_F(GalleryFlexeditTest, SoftKeyboardPlainAndWithCapsLock) {
    CWnd frame;
    ASSERT_TRUE(frame.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE, RECT{50, 50, 450, 150},
                               nullptr, 0));
    CSecureKeyboardDlg keyboard(nullptr);
    ASSERT_TRUE(keyboard.Create(IDD_SECURE_KEYBOARD, &frame));
    keyboard.ShowWindow(SW_SHOW);
    DrainEvents();
    EXPECT_TRUE(Save(keyboard.GetWidget(), "soft_keyboard.png"));
    ::SendMessage(::GetDlgItem(keyboard.m_hWnd, IDC_SKB_CAPSLOCK), BM_CLICK);
    DrainEvents();
    EXPECT_TRUE(Save(keyboard.GetWidget(), "soft_keyboard_caps.png"));
    keyboard.DestroyWindow();
    frame.DestroyWindow();
}

TEST_F(GalleryFlexeditTest, SecurityCode) {
    CSecurityCode code;
    ASSERT_TRUE(code.Create(nullptr, "", WS_POPUP | WS_VISIBLE, RECT{10, 10, 130, 46}, nullptr, 0));
    code.SetSecurityText("Kx7p2");
    DrainEvents();
    EXPECT_TRUE(Save(code.GetWidget(), "security_code.png"));
    code.DestroyWindow();
}

TEST_F(GalleryFlexeditTest, FlexEditsInTheirMainStates) {
    CWnd panel;
    ASSERT_TRUE(panel.CreateEx(0, nullptr, "panel", WS_POPUP | WS_VISIBLE, RECT{60, 60, 320, 300},
                               nullptr, 0));
    CFlexEdit edits[6];
    const char* texts[] = {"", "0.00", "12345", "", "100", "abc"};
    for (int i = 0; i < 6; ++i) {
        CWnd maker;
        ASSERT_TRUE(maker.Create("Edit", texts[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_RIGHT,
                                 RECT{10, 10 + i * 36, 250, 34 + i * 36}, &panel,
                                 static_cast<UINT>(2000 + i)));
        ASSERT_TRUE(edits[i].SubclassWindow(maker.Detach()));
    }
    edits[0].SetFloatProperty(2, 0.01, 0, 0, 0);
    edits[0].SetDimText("请输入价格");
    edits[1].SetFloatProperty(2, 0.01, 0, 0, 0);
    edits[1].SetKeywordDisplay("0.00", "市价");
    edits[1].SetValue(0.0);
    edits[2].SetIntegerProperty(1, 0, 0, 0);
    edits[2].SetExtrude(2, RGB(200, 0, 0));
    edits[3].SetIntegerProperty(1, 0, 100, FES_SPIN);
    edits[3].SetValue(42);
    edits[4].SetIntegerProperty(100, 0, 0, FES_SPIN | FES_KEYBOARD);
    edits[5].SetEditStyle(FES_KEYBOARD);
    DrainEvents();
    EXPECT_TRUE(Save(panel.GetWidget(), "flex_edits.png"));
    panel.DestroyWindow();
}

}  // namespace
