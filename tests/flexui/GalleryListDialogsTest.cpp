// Gallery of the list dialogs and the flex list's header, saved as PNG files under
// <build>/screenshots for a person to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include "flexui/ColumnOrderDlg.h"
#include "flexui/FlexHeaderCtrl.h"
#include "flexui/ListStyleDlg.h"
#include "flexui/RowSpaceDlg.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ScreenshotDir;

bool Save(QWidget* widget, const char* name) {
    DrainEvents();
    const QImage image = widget->grab().toImage();
    return !image.isNull() && image.save(ScreenshotDir() + "/listdlg_" + name + ".png");
}

class GalleryListDialogsTest : public kelmon::test::ui::UiTest {
protected:
    // Runs the dialog, saves it and cancels it.
    void Shoot(CDialog& dialog, const char* name) {
        bool saved = false;
        driver_.OnNextModal([&](QWidget* window) {
            saved = Save(window, name);
            ::SendMessage(platform::ui::WindowOf(window), WM_COMMAND,
                          MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_TRUE(saved) << name;
    }
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(GalleryListDialogsTest, Dialogs) {
    CColumnOrderDlg order;
    order.SetColumnOrder("12:60,14:60");
    order.SetFieldList("11:代码,12:名称,13:数量,14:价格,15:方向");
    Shoot(order, "column_order");

    CRowSpaceDlg space;
    space.SetRowSpace(4);
    Shoot(space, "row_space");

    CListStyleDlg style;
    style.SetColor(CListStyleDlg::kListBk, RGB(0, 0, 0));
    style.SetColor(CListStyleDlg::kGridLines, 0xEBEBEB);
    style.SetColor(CListStyleDlg::kHeaderBk, CListStyleDlg::kHeaderFollowsList);
    Shoot(style, "list_style");
}

class SomeChecked : public CFlexHeaderList {
public:
    DWORD GetCtrlExStyle() const override { return FLS_HASCHECKBOX | FLS_ROWNUMBER; }
    BOOL GetViewFont(LOGFONT*) const override { return FALSE; }
    int GetCtrlCheckImage() const override { return 2; }
    void SetCheckAll(BOOL) override {}
    COLORREF GetListBkColor() const override { return RGB(255, 255, 255); }
};

TEST_F(GalleryListDialogsTest, Header) {
    SomeChecked list;
    CWnd host, view;
    CFlexHeaderCtrl header(&list);
    ASSERT_TRUE(
        host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 320, 60}, nullptr, 0));
    ASSERT_TRUE(view.CreateEx(0, "SysListView32", "", WS_CHILD | WS_VISIBLE | LVS_REPORT,
                              RECT{0, 0, 320, 60}, &host, 1));
    const char* captions[] = {"序号", "名称", "数量"};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMN column;
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 100;
        column.pszText = const_cast<char*>(captions[i]);
        view.SendMessage(LVM_INSERTCOLUMN, i, reinterpret_cast<LPARAM>(&column));
    }
    header.SubclassWindow(static_cast<HWND>(view.SendMessage(LVM_GETHEADER)));
    HDITEM sorted;
    sorted.mask = HDI_LPARAM;
    sorted.lParam = FLEXHDR_SORTDESC;
    header.SendMessage(HDM_SETITEM, 2, reinterpret_cast<LPARAM>(&sorted));
    view.MoveWindow(0, 0, 321, 60);
    view.MoveWindow(0, 0, 320, 60);
    EXPECT_TRUE(Save(header.GetWidget(), "header"));
    header.UnsubclassWindow();
    view.DestroyWindow();
    host.DestroyWindow();
}

}  // namespace
