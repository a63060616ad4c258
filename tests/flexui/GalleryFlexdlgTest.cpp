// Gallery of the dialog, bar and container controls: each in its main states, saved as PNG
// files under <build>/screenshots for a person to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "flexui/FlexDialog.h"
#include "flexui/FlexDialogBar.h"
#include "flexui/FlexSplitterWnd.h"
#include "flexui/FlexTabCtrl.h"
#include "flexui/FlexTreeCtrl.h"
#include "flexui/VirtualListBox.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ScreenshotDir;
using kelmon::test::ui::UiTest;

bool Save(QWidget* widget, const char* name) {
    DrainEvents();
    const QImage image = widget->grab().toImage();
    return !image.isNull() && image.save(ScreenshotDir() + "/flexdlg_" + name + ".png");
}

platform::ui::DialogItemTemplate Item(int id, const char* className, const char* text, DWORD style,
                                      int x, int y, int cx, int cy) {
    platform::ui::DialogItemTemplate item;
    item.id = id;
    item.className = className;
    item.text = text;
    item.style = style | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

class GalleryFlexdlgTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("flexdlg-test",
                                           KELMON_SOURCE_DIR "/tests/flexui/dialogs_flexdlg");
    }
};

TEST_F(GalleryFlexdlgTest, DialogWithBackgroundAndAlignedChildren) {
    platform::ui::DialogTemplate t;
    t.cx = 180;
    t.cy = 90;
    t.style = WS_POPUP;
    t.items = {Item(1, "Static", "价格:", 0, 6, 8, 30, 10),
               Item(2, "Edit", "1,234,567", WS_TABSTOP, 40, 6, 80, 12),
               Item(3, "Button", "确认", BS_AUTOCHECKBOX | WS_TABSTOP, 6, 26, 60, 12),
               Item(IDOK, "Button", "下单", BS_DEFPUSHBUTTON | WS_TABSTOP, 120, 70, 50, 14)};
    for (COLORREF colour : {COLORREF{0xFFFFFFFF}, RGB(236, 244, 255)}) {
        CFlexDialog dialog;
        ASSERT_TRUE(dialog.CreateIndirect(t));
        if (colour != 0xFFFFFFFF) dialog.SetBkColor(colour);
        dialog.SetItemAlign(IDOK, FLEX_ALIGN_RIGHT | FLEX_ALIGN_BOTTOM);
        dialog.SetItemAlign(2, FLEX_ALIGN_WIDTH);
        dialog.ShowWindow(SW_SHOW);
        dialog.GetWidget()->resize(dialog.GetWidget()->width() + 80,
                                   dialog.GetWidget()->height() + 30);
        EXPECT_TRUE(
            Save(dialog.GetWidget(), colour == 0xFFFFFFFF ? "dialog_plain" : "dialog_coloured"));
        dialog.DestroyWindow();
    }
}

TEST_F(GalleryFlexdlgTest, DialogBarDockedOnEachSide) {
    struct Side {
        DWORD style;
        const char* name;
    };
    for (Side side : {Side{CBRS_TOP, "bar_top"}, Side{CBRS_LEFT, "bar_left"},
                      Side{CBRS_BOTTOM, "bar_bottom"}, Side{CBRS_RIGHT, "bar_right"}}) {
        CFrameWnd frame;
        ASSERT_TRUE(frame.Create(nullptr, "frame", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 240},
                                 nullptr, 0));
        CFlexDialogBar bar;
        ASSERT_TRUE(bar.Create(&frame, 9101, side.style | CBRS_SIZE_DYNAMIC | WS_VISIBLE, 0xE810));
        EXPECT_TRUE(Save(frame.GetWidget(), side.name));
        bar.DestroyWindow();
        frame.DestroyWindow();
    }
}

TEST_F(GalleryFlexdlgTest, TabsTreeListAndSplitter) {
    CWnd host;
    ASSERT_TRUE(
        host.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 640, 300}, nullptr, 0));
    CFlexTabCtrl top, bottom;
    ASSERT_TRUE(top.Create(WS_VISIBLE, RECT{0, 0, 300, 120}, &host, 1));
    ASSERT_TRUE(bottom.Create(WS_VISIBLE | TCS_BOTTOM, RECT{0, 130, 300, 250}, &host, 2));
    for (CFlexTabCtrl* tabs : {&top, &bottom}) {
        tabs->InsertItem(0, "委托");
        tabs->InsertItem(1, "成交");
        tabs->InsertItem(2, "持仓");
        tabs->SetCurSel(1);
    }
    CFlexTreeCtrl tree;
    ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, RECT{310, 0, 470, 250},
                            &host, 3));
    HTREEITEM futures = tree.InsertItem("期货");
    tree.InsertItem("上期所", futures);
    HTREEITEM dce = tree.InsertItem("大商所", futures);
    HTREEITEM meal = tree.InsertItem("豆粕", dce);
    tree.InsertItem("玉米", dce);
    HTREEITEM options = tree.InsertItem("期权");
    tree.SendMessage(TVM_EXPAND, TVE_EXPAND, futures);
    tree.SendMessage(TVM_EXPAND, TVE_EXPAND, dce);
    tree.SetCheckImage(meal, CFlexTreeCtrl::kChecked);
    tree.SetCheckImage(options, CFlexTreeCtrl::kChecked);
    CVirtualListBox list;
    ASSERT_TRUE(list.Create(WS_BORDER, RECT{480, 0, 630, 250}, &host, 4));
    std::vector<std::string> texts;
    for (int i = 0; i < 40; ++i) texts.push_back("IF24" + std::to_string(10 + i));
    list.AppendData(texts);
    list.SetCurSel(2);
    CWnd bar;
    ASSERT_TRUE(bar.Create("Static", "", WS_CHILD | WS_VISIBLE, RECT{0, 122, 300, 128}, &host, 5));
    bar.Detach();
    CFlexSplitterWnd splitter;
    ASSERT_TRUE(splitter.BindWithControl(&host, 5));
    splitter.SetBkColor(RGB(0, 64, 128));
    EXPECT_TRUE(Save(host.GetWidget(), "containers"));
    splitter.UnsubclassWindow();
    host.DestroyWindow();
}

}  // namespace
