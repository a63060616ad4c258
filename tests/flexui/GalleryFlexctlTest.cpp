// Gallery of the buttons, combo boxes and enumerated controls in their main states, saved as PNG
// files under <build folder>/screenshots for a person to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include "flexui/ColorPickCtrl.h"
#include "flexui/EnumButton.h"
#include "flexui/EnumComboBox.h"
#include "flexui/EnumEdit.h"
#include "flexui/FlexButton.h"
#include "flexui/FlexComboBox.h"
#include "flexui/FlexHotKeyCtrl.h"
#include "flexui/ImageButton.h"
#include "flexui/SplitButtonXp.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;

class GalleryFlexctlTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override { ASSERT_TRUE(host_.CreateHost(560, 320)); }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    void Save(const char* name) {
        DrainEvents();
        QImage shot = host_.GetWidget()->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/flexctl_" + name + ".png"));
    }
    RECT Cell(int column, int row) const {
        return RECT{10 + column * 135, 10 + row * 34, 135 + column * 135, 34 + row * 34};
    }
    kelmon::test::ui::NotifyHost host_;
};

TEST_F(GalleryFlexctlTest, ButtonsInTheirStates) {
    const struct {
        const char* caption;
        DWORD style;
    } kinds[] = {{"普通", BS_PUSHBUTTON},
                 {"默认", BS_DEFPUSHBUTTON},
                 {"复选", BS_AUTOCHECKBOX},
                 {"单选", BS_AUTORADIOBUTTON},
                 {"平面", BS_PUSHBUTTON | BS_FLAT}};
    std::vector<std::unique_ptr<CFlexButton>> buttons;
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 4; ++column) {
            auto button = std::make_unique<CFlexButton>();
            ASSERT_TRUE(button->Create(kinds[row].caption, WS_CHILD | WS_VISIBLE | kinds[row].style,
                                       Cell(column, row), &host_,
                                       static_cast<UINT>(100 + row * 4 + column)));
            if (column == 1) button->SendMessage(WM_MOUSEHOVER);  // hot
            if (column == 2) button->SetCheck(BST_CHECKED);       // pressed frame
            if (column == 3) button->EnableWindow(FALSE);
            buttons.push_back(std::move(button));
        }
    }
    CFlexButton merged;
    ASSERT_TRUE(merged.Create("合并", WS_CHILD | WS_VISIBLE, RECT{10, 190, 135, 214}, &host_, 90));
    merged.SetFrameMerge(FLEXBTN_MERGE_RIGHT);
    merged.SetTextColor(RGB(200, 0, 0));
    Save("buttons");
}

TEST_F(GalleryFlexctlTest, CombosSplitAndEnumeratedControls) {
    CFlexComboBox flex;
    ASSERT_TRUE(flex.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, Cell(0, 0), &host_, 1));
    flex.SetString("0,买入|1,卖出");
    flex.SetSel("1");
    CColorPickCtrl colours[3];
    const COLORREF picks[] = {kColorPickDefault, RGB(255, 0, 0), RGB(10, 120, 200)};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(colours[i].Create(WS_CHILD | WS_VISIBLE, Cell(i + 1, 0), &host_,
                                      static_cast<UINT>(2 + i)));
        colours[i].SetActiveColor(picks[i]);
    }
    CSplitButtonXp splits[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(splits[i].Create("", WS_CHILD | WS_VISIBLE, Cell(i, 1), &host_,
                                     static_cast<UINT>(10 + i)));
        splits[i].AddString("限价", 1);
        splits[i].AddString("市价", 2);
    }
    splits[1].SendMessage(WM_MOUSEHOVER);
    CEnumComboBox enumCombo;
    ASSERT_TRUE(enumCombo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, Cell(2, 1), &host_, 20));
    enumCombo.SetEnumDict("0,投机|1,套保|2,套利");
    enumCombo.SetEnumHotKey("0,T|1,B|2,L");
    CEnumButton enumButtons[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(enumButtons[i].Create("", WS_CHILD | WS_VISIBLE | (i ? BS_LEFTTEXT : 0),
                                          Cell(i, 2), &host_, static_cast<UINT>(30 + i)));
        enumButtons[i].SetEnumDict("0,开仓|1,平仓|2,平今");
    }
    enumButtons[1].SendMessage(WM_MOUSEHOVER);
    CEnumEdit enumEdit;
    ASSERT_TRUE(enumEdit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, Cell(2, 2), &host_, 40));
    enumEdit.SetEnumDict("0,买|1,卖");
    enumEdit.SetEnumIndex(1);
    CFlexHotKeyCtrl hotKey;
    ASSERT_TRUE(hotKey.Create(WS_CHILD | WS_VISIBLE, Cell(3, 2), &host_, 50));
    hotKey.SetHotKey(VK_F5, HOTKEYF_CONTROL);
    CImageButton image;
    ASSERT_TRUE(image.Create("", WS_CHILD | WS_VISIBLE, RECT{10, 120, 42, 152}, &host_, 60));
    QImage picture(24, 24, QImage::Format_RGB32);
    picture.fill(QColor(255, 0, 255));
    for (int i = 4; i < 20; ++i)
        for (int j = 4; j < 20; ++j) picture.setPixelColor(i, j, QColor(30, 140, 60));
    CBitmap bitmap;
    bitmap.CreateFromImage(picture);
    image.SetBitmap(&bitmap, RGB(255, 0, 255), 1);
    Save("combos_and_enums");
}

}  // namespace
