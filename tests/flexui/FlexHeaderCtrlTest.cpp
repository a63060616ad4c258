// The flex list's header over a real list view: the check-all box clicks (and where the box
// sits), sort marks and the sorted background by pixels, the height from the view font, and
// width tracking refused in fit-to-client mode.
#include "flexui/FlexHeaderCtrl.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cstring>
#include <vector>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;

constexpr COLORREF kTick = RGB(0, 0, 0);         // the check mark of image 1
constexpr COLORREF kSortMark = RGB(96, 96, 96);  // the triangles of images 3 and 4

// The list as the header sees it; SetCheckAll makes every row checked or none.
class FakeList : public CFlexHeaderList {
public:
    DWORD style = 0;
    int checkState = 0;
    std::vector<BOOL> checkAllCalls;
    LONG fontHeight = 0;  // 0: no view font

    DWORD GetCtrlExStyle() const override { return style; }
    BOOL GetViewFont(LOGFONT* font) const override {
        if (!fontHeight) return FALSE;
        *font = LOGFONT{};
        font->lfHeight = fontHeight;
        std::strcpy(font->lfFaceName, "宋体");
        return TRUE;
    }
    int GetCtrlCheckImage() const override { return checkState; }
    void SetCheckAll(BOOL check) override {
        checkAllCalls.push_back(check);
        checkState = check ? 1 : 0;
    }
    COLORREF GetListBkColor() const override { return RGB(0, 0, 255); }
};

class FlexHeaderTest : public kelmon::test::ui::UiTest {
protected:
    void Make(DWORD exStyle = 0) {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 200},
                                   nullptr, 0));
        ASSERT_TRUE(list_.CreateEx(exStyle, "SysListView32", "", WS_CHILD | WS_VISIBLE | LVS_REPORT,
                                   RECT{0, 0, 380, 180}, &host_, 5));
        const char* captions[] = {"序号", "名称", "数量"};
        for (int i = 0; i < 3; ++i) {
            LVCOLUMN column;
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 100;
            column.pszText = const_cast<char*>(captions[i]);
            list_.SendMessage(LVM_INSERTCOLUMN, i, reinterpret_cast<LPARAM>(&column));
        }
        header_.SubclassWindow(static_cast<HWND>(list_.SendMessage(LVM_GETHEADER)));
        Relayout();
    }
    void Relayout() {
        // A move makes the list lay out its header again (HDM_LAYOUT).
        list_.MoveWindow(0, 0, 381, 180);
        list_.MoveWindow(0, 0, 380, 180);
        DrainEvents();
    }
    void TearDown() override {
        if (header_.m_hWnd) header_.UnsubclassWindow();
        if (list_.m_hWnd) list_.DestroyWindow();
        if (host_.m_hWnd) host_.DestroyWindow();
        UiTest::TearDown();
    }
    QWidget* HeaderWidget() { return header_.GetWidget(); }
    RECT ItemRect(int item) {
        RECT r{};
        header_.SendMessage(HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    void SetItemData(int item, LPARAM data) {
        HDITEM info;
        info.mask = HDI_LPARAM;
        info.lParam = data;
        header_.SendMessage(HDM_SETITEM, item, reinterpret_cast<LPARAM>(&info));
    }
    int HeaderHeight() {
        RECT r{};
        header_.GetWindowRect(&r);
        return r.bottom - r.top;
    }
    void ClickAt(POINT p) {
        QTest::mouseClick(HeaderWidget(), Qt::LeftButton, {}, QPoint(p.x, p.y));
        DrainEvents();
    }

    FakeList fake_;
    CWnd host_;
    CWnd list_;
    CFlexHeaderCtrl header_{&fake_};
};

TEST_F(FlexHeaderTest, CheckAllBoxChecksAllUnlessAllAreCheckedAndShowsTheState) {
    fake_.style = FLS_HASCHECKBOX | FLS_ROWNUMBER;
    Make();
    const RECT box = header_.GetCheckBoxRect();
    // With the row-number column the box is at the left of column 1.
    EXPECT_EQ(box.left, ItemRect(1).left + CFlexHeaderCtrl::kMargin);
    const POINT centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    struct Case {
        int state;
        BOOL check;
    };
    for (const Case c : {Case{0, TRUE}, Case{1, FALSE}, Case{2, TRUE}}) {
        SCOPED_TRACE(c.state);
        fake_.checkState = c.state;
        fake_.checkAllCalls.clear();
        ClickAt(centre);
        EXPECT_EQ(fake_.checkAllCalls, std::vector<BOOL>{c.check});
        EXPECT_EQ(header_.GetCheckState(), c.check ? 1 : 0);
        const int ticks = PixelProbe(HeaderWidget()).Count(kTick, box);
        EXPECT_EQ(ticks > 0, c.check != FALSE);
    }
    // Beside the box, and in column 0, a click checks nothing.
    fake_.checkAllCalls.clear();
    ClickAt(POINT{box.right + 20, centre.y});
    ClickAt(POINT{ItemRect(0).left + 8, centre.y});
    EXPECT_TRUE(fake_.checkAllCalls.empty());
}

TEST_F(FlexHeaderTest, GroupExpanderMovesTheBoxAndListsWithoutCheckBoxesHaveNone) {
    fake_.style = FLS_GROUPACTIVE;
    Make();
    EXPECT_EQ(header_.GetCheckBoxRect().right, 0);
    ClickAt(POINT{ItemRect(0).left + 20, 8});
    EXPECT_TRUE(fake_.checkAllCalls.empty());
    fake_.style |= FLS_HASCHECKBOX;
    EXPECT_EQ(header_.GetCheckBoxRect().left,
              ItemRect(0).left + CFlexHeaderCtrl::kMargin + CFlexHeaderCtrl::kExpanderWidth);
}

TEST_F(FlexHeaderTest, SortedItemGetsItsMarkAndOverTheGradientItsOwnBackground) {
    Make();
    SetItemData(1, FLEXHDR_SORTASC);
    SetItemData(2, FLEXHDR_SORTDESC);
    DrainEvents();
    PixelProbe gradient(HeaderWidget());
    EXPECT_EQ(gradient.Count(CFlexHeaderCtrl::kSortedBkColor, ItemRect(0)), 0);
    EXPECT_GT(gradient.Count(CFlexHeaderCtrl::kSortedBkColor, ItemRect(1)), 0);
    EXPECT_EQ(gradient.Count(kSortMark, ItemRect(0)), 0);
    EXPECT_GT(gradient.Count(kSortMark, ItemRect(1)), 0);
    EXPECT_GT(gradient.Count(kSortMark, ItemRect(2)), 0);
    // Gradient from white at the top; the frame colour along the bottom.
    const RECT first = ItemRect(0);
    EXPECT_EQ(gradient.At(first.left + 40, 0), RGB(255, 255, 255));
    EXPECT_EQ(gradient.At(first.left + 40, first.bottom - 1), CFlexHeaderCtrl::kFrameColor);

    // A solid background: no sorted band, the mark stays; -1 leaves the colours alone.
    header_.SetColors(RGB(255, 0, 0), RGB(0, 255, 255));
    header_.SetColors(CLR_NONE, CLR_NONE);
    EXPECT_EQ(header_.GetTextColor(), RGB(255, 0, 0));
    DrainEvents();
    PixelProbe solid(HeaderWidget());
    EXPECT_EQ(solid.Count(CFlexHeaderCtrl::kSortedBkColor, ItemRect(1)), 0);
    EXPECT_GT(solid.Count(RGB(0, 255, 255), ItemRect(1)), 0);
    EXPECT_GT(solid.Count(kSortMark, ItemRect(1)), 0);
    EXPECT_GT(solid.Count(RGB(255, 0, 0), ItemRect(0)), 0);  // the caption

    // Style bit 0x2000: the list's background.
    fake_.style = FLS_HEADERLISTBK;
    header_.Invalidate(FALSE);
    DrainEvents();
    EXPECT_GT(PixelProbe(HeaderWidget()).Count(RGB(0, 0, 255), ItemRect(0)), 0);
}

TEST_F(FlexHeaderTest, HeightComesFromTheViewFontWithRoomForTheCheckImages) {
    fake_.fontHeight = -8;  // a text height of 10 or less
    Make();
    const int small = HeaderHeight();
    EXPECT_LT(small, 18);
    fake_.style = FLS_HASCHECKBOX;
    Relayout();
    EXPECT_EQ(HeaderHeight(), 13 + 5);
    fake_.style = FLS_GROUPACTIVE;
    Relayout();
    EXPECT_EQ(HeaderHeight(), 13 + 5);
    fake_.fontHeight = -24;
    Relayout();
    EXPECT_GT(HeaderHeight(), 24);
}

TEST_F(FlexHeaderTest, ClientEdgeTakesOnePixelLess) {
    fake_.fontHeight = -12;
    Make(WS_EX_CLIENTEDGE);
    const int withEdge = HeaderHeight();
    list_.ModifyStyleEx(WS_EX_CLIENTEDGE, 0);
    Relayout();
    EXPECT_EQ(HeaderHeight(), withEdge + 1);
}

TEST_F(FlexHeaderTest, WidthTrackingIsRefusedOnlyInFitToClientMode) {
    Make();
    auto beginTrack = [&] {
        NMHEADER nm;
        nm.hdr.hwndFrom = header_.m_hWnd;
        nm.hdr.code = HDN_BEGINTRACK;
        nm.iItem = 1;
        return list_.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    };
    EXPECT_EQ(beginTrack(), 0);
    fake_.style = FLS_FITCLIENT;
    EXPECT_NE(beginTrack(), 0);
}

}  // namespace
