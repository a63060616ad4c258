// "SysListView32" in report view with owner data: only rows in sight are asked for or drawn,
// selection and focus by index, keyboard and mouse with their notifications, columns and the
// header, and a screenshot of a list with grid lines and a selected row.
#include "platform/ui/ListView.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QDir>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <map>
#include <set>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

struct ListEvent {
    UINT code;
    int item = -1;
    int subItem = 0;
    UINT newState = 0;
    UINT oldState = 0;
    int to = -1;  // LVN_ODSTATECHANGED / LVN_ODCACHEHINT: the last index
};

constexpr DWORD kReport =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;

class ListViewTest : public UiTest {
protected:
    void SetUp() override {
        parent_.handle = [this](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
            *result = 0;
            if (message == WM_DRAWITEM) {
                const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                drawn_.push_back(static_cast<int>(draw->itemID));
                EXPECT_EQ(draw->CtlType, ODT_LISTVIEW);
                draw->hDC->FillSolidRect(&draw->rcItem, (draw->itemState & ODS_SELECTED)
                                                            ? RGB(0, 0, 128)
                                                            : RGB(255, 255, 255));
                *result = TRUE;
                return true;
            }
            if (message != WM_NOTIFY) return false;
            const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
            if (nm->code == LVN_GETDISPINFO) {
                auto* info = reinterpret_cast<NMLVDISPINFO*>(lParam);
                asked_.push_back(info->item.iItem);
                const std::string text = "行" + std::to_string(info->item.iItem) + "." +
                                         std::to_string(info->item.iSubItem);
                snprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), "%s",
                         text.c_str());
                return true;
            }
            if (nm->hwndFrom != list_.m_hWnd) {
                headerCodes_.push_back(nm->code);
                auto answer = refuse_.find(nm->code);
                if (answer != refuse_.end()) *result = answer->second;
                return true;
            }
            ListEvent event{nm->code};
            switch (static_cast<int>(nm->code)) {
                case static_cast<int>(LVN_ODSTATECHANGED): {
                    const auto* od = reinterpret_cast<const NMLVODSTATECHANGE*>(lParam);
                    event.item = od->iFrom;
                    event.to = od->iTo;
                    event.newState = od->uNewState;
                    break;
                }
                case static_cast<int>(LVN_ODCACHEHINT): {
                    const auto* hint = reinterpret_cast<const NMLVCACHEHINT*>(lParam);
                    event.item = hint->iFrom;
                    event.to = hint->iTo;
                    break;
                }
                case static_cast<int>(LVN_KEYDOWN):
                    event.item = reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey;
                    break;
                case static_cast<int>(NM_SETFOCUS):
                case static_cast<int>(NM_KILLFOCUS):
                case static_cast<int>(NM_RETURN):
                    break;
                default: {
                    const auto* lv = reinterpret_cast<const NMLISTVIEW*>(lParam);
                    event.item = lv->iItem;
                    event.subItem = lv->iSubItem;
                    event.newState = lv->uNewState;
                    event.oldState = lv->uOldState;
                }
            }
            events_.push_back(event);
            auto answer = refuse_.find(nm->code);
            if (answer != refuse_.end()) *result = answer->second;
            return true;
        };
        ASSERT_TRUE(
            parent_.Create(nullptr, "p", WS_POPUP | WS_VISIBLE, Rect(0, 0, 320, 240), nullptr, 0));
    }
    void TearDown() override {
        parent_.DestroyWindow();
        UiTest::TearDown();
    }
    void MakeList(DWORD style, int count) {
        ASSERT_TRUE(list_.Create("SysListView32", "", style, Rect(0, 0, 300, 200), &parent_, 9));
        AddColumn(0, "合约", 120);
        AddColumn(1, "最新价", 100, LVCFMT_RIGHT);
        list_.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
        DrainEvents();
        events_.clear();
        asked_.clear();
        drawn_.clear();
    }
    void AddColumn(int at, const char* text, int width, int fmt = LVCFMT_LEFT) {
        LVCOLUMN column;
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = const_cast<char*>(text);
        column.cx = width;
        column.fmt = fmt;
        ASSERT_EQ(list_.SendMessage(LVM_INSERTCOLUMN, at, reinterpret_cast<LPARAM>(&column)), at);
    }
    QAbstractScrollArea* Area() { return static_cast<QAbstractScrollArea*>(list_.GetWidget()); }
    QWidget* Rows() { return Area()->viewport(); }
    QImage Paint() { return list_.GetWidget()->grab().toImage(); }
    UINT State(int item, UINT mask = LVIS_SELECTED | LVIS_FOCUSED) {
        return static_cast<UINT>(list_.SendMessage(LVM_GETITEMSTATE, item, mask));
    }
    void SetState(int item, UINT state, UINT mask) {
        LVITEM it;
        it.state = state;
        it.stateMask = mask;
        list_.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                          reinterpret_cast<LPARAM>(&it));
    }
    int Focused() {
        return static_cast<int>(
            list_.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    }
    std::vector<int> SelectedItems() {
        std::vector<int> out;
        for (int i = -1; (i = static_cast<int>(list_.SendMessage(
                              LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;)
            out.push_back(i);
        return out;
    }
    std::vector<ListEvent> Of(UINT code) const {
        std::vector<ListEvent> out;
        for (const ListEvent& e : events_)
            if (e.code == code) out.push_back(e);
        return out;
    }
    // The centre of a row, in the viewport's coordinates.
    QPoint RowPoint(int item, int x = 60) {
        RECT r;
        r.left = LVIR_BOUNDS;
        list_.SendMessage(LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
        return QPoint(x, (r.top + r.bottom) / 2 - Rows()->geometry().top());
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd parent_{"parent", &log_};
    ProbeWnd list_{"list", &log_};  // sees the list's own messages
    std::vector<ListEvent> events_;
    std::vector<UINT> headerCodes_;
    std::vector<int> asked_;
    std::vector<int> drawn_;
    std::map<UINT, LRESULT> refuse_;
};

TEST_F(ListViewTest, AHundredThousandItemsCostOnlyTheRowsInSight) {
    MakeList(kReport, 100000);
    EXPECT_EQ(list_.SendMessage(LVM_GETITEMCOUNT), 100000);
    const int perPage = static_cast<int>(list_.SendMessage(LVM_GETCOUNTPERPAGE));
    ASSERT_GT(perPage, 3);
    Paint();
    ASSERT_FALSE(asked_.empty());
    EXPECT_LE(asked_.size(), static_cast<size_t>(2 * (perPage + 1)));
    for (int item : asked_) EXPECT_LE(item, perPage);
    ASSERT_FALSE(Of(LVN_ODCACHEHINT).empty());
    EXPECT_EQ(Of(LVN_ODCACHEHINT).back().item, 0);

    // Far down the list only the rows there are asked for.
    list_.SendMessage(LVM_ENSUREVISIBLE, 70000, FALSE);
    const int top = static_cast<int>(list_.SendMessage(LVM_GETTOPINDEX));
    EXPECT_LE(top, 70000);
    EXPECT_GT(top + perPage, 70000);
    asked_.clear();
    Paint();
    ASSERT_FALSE(asked_.empty());
    EXPECT_LE(asked_.size(), static_cast<size_t>(2 * (perPage + 1)));
    for (int item : asked_) {
        EXPECT_GE(item, top);
        EXPECT_LE(item, top + perPage);
    }
}

TEST_F(ListViewTest, OwnerDrawnRowsAreDrawnByTheParentOnlyInSight) {
    MakeList(kReport | LVS_OWNERDRAWFIXED, 100000);
    const int perPage = static_cast<int>(list_.SendMessage(LVM_GETCOUNTPERPAGE));
    SetState(2, LVIS_SELECTED, LVIS_SELECTED);
    const QImage image = Paint();
    EXPECT_TRUE(asked_.empty()) << "owner-drawn rows need no texts";
    ASSERT_FALSE(drawn_.empty());
    EXPECT_LE(drawn_.size(), static_cast<size_t>(perPage + 1));
    EXPECT_EQ(*std::max_element(drawn_.begin(), drawn_.end()), static_cast<int>(drawn_.size()) - 1);
    // The parent drew row 2 selected at its own rectangle (client coordinates).
    RECT r;
    r.left = LVIR_BOUNDS;
    list_.SendMessage(LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(image.pixelColor(10, (r.top + r.bottom) / 2), QColor(0, 0, 128));
    EXPECT_EQ(image.pixelColor(10, r.bottom + 2), QColor(255, 255, 255));
}

TEST_F(ListViewTest, FocusAndSelectionByIndexSurviveACountChange) {
    MakeList(kReport, 1000);
    SetState(10, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ASSERT_EQ(Of(LVN_ITEMCHANGING).size(), 1u);
    ASSERT_EQ(Of(LVN_ITEMCHANGED).size(), 1u);
    EXPECT_EQ(Of(LVN_ITEMCHANGED)[0].item, 10);
    EXPECT_EQ(Of(LVN_ITEMCHANGED)[0].newState, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(Of(LVN_ITEMCHANGED)[0].oldState, 0u);

    list_.SendMessage(LVM_SETITEMCOUNT, 50, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    EXPECT_EQ(Focused(), 10);
    EXPECT_EQ(SelectedItems(), std::vector<int>{10});
    list_.SendMessage(LVM_SETITEMCOUNT, 5000, 0);
    EXPECT_EQ(Focused(), 10);
    list_.SendMessage(LVM_SETITEMCOUNT, 5, 0);
    EXPECT_EQ(Focused(), -1);
    EXPECT_TRUE(SelectedItems().empty());

    // A refused change stays undone; the same state again is no change at all.
    events_.clear();
    refuse_[LVN_ITEMCHANGING] = TRUE;
    SetState(3, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(State(3), 0u);
    EXPECT_TRUE(Of(LVN_ITEMCHANGED).empty());
    refuse_.clear();
    SetState(3, LVIS_SELECTED, LVIS_SELECTED);
    SetState(3, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(Of(LVN_ITEMCHANGED).size(), 1u);
    // Every item at once is one notification for item -1.
    events_.clear();
    SetState(-1, 0, LVIS_SELECTED);
    ASSERT_EQ(Of(LVN_ITEMCHANGED).size(), 1u);
    EXPECT_EQ(Of(LVN_ITEMCHANGED)[0].item, -1);
    EXPECT_TRUE(SelectedItems().empty());
}

TEST_F(ListViewTest, KeysMoveFocusAndSelectionWithNotifications) {
    MakeList(kReport, 200);
    list_.SetFocus();
    const int perPage = static_cast<int>(list_.SendMessage(LVM_GETCOUNTPERPAGE));
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int focus;
        std::vector<int> selected;
    } steps[] = {
        {Qt::Key_Down, {}, 0, {0}},
        {Qt::Key_Down, {}, 1, {1}},
        {Qt::Key_Down, Qt::ShiftModifier, 2, {1, 2}},
        {Qt::Key_Down, Qt::ShiftModifier, 3, {1, 2, 3}},
        {Qt::Key_Down, Qt::ControlModifier, 4, {1, 2, 3}},
        {Qt::Key_Space, Qt::ControlModifier, 4, {1, 2, 3, 4}},
        {Qt::Key_End, {}, 199, {199}},
        {Qt::Key_Home, {}, 0, {0}},
        {Qt::Key_PageDown, {}, perPage - 1, {perPage - 1}},
        {Qt::Key_PageDown, {}, 2 * perPage - 2, {2 * perPage - 2}},
        {Qt::Key_Up, {}, 2 * perPage - 3, {2 * perPage - 3}},
    };
    for (const Step& step : steps) {
        QTest::keyClick(list_.GetWidget(), step.key, step.mods);
        EXPECT_EQ(Focused(), step.focus) << step.key;
        EXPECT_EQ(SelectedItems(), step.selected) << step.key;
        const int top = static_cast<int>(list_.SendMessage(LVM_GETTOPINDEX));
        EXPECT_TRUE(step.focus >= top && step.focus < top + perPage) << "focus stays in sight";
    }
    // Every key is heard, the modifier keys too, as Win32 lists report them.
    std::vector<ListEvent> keys = Of(LVN_KEYDOWN);
    std::erase_if(keys,
                  [](const ListEvent& e) { return e.item == VK_SHIFT || e.item == VK_CONTROL; });
    EXPECT_EQ(keys.size(), std::size(steps));
    EXPECT_EQ(Of(LVN_KEYDOWN)[0].item, VK_DOWN);
    // Shift+Down announced the range once.
    const auto ranges = Of(LVN_ODSTATECHANGED);
    ASSERT_FALSE(ranges.empty());
    EXPECT_EQ(ranges.back().item, 1);
    EXPECT_EQ(ranges.back().to, 3);
    EXPECT_FALSE(Of(LVN_ITEMCHANGED).empty());
    events_.clear();
    QTest::keyClick(list_.GetWidget(), Qt::Key_Return);
    ASSERT_EQ(Of(NM_RETURN).size(), 1u);
    ASSERT_EQ(Of(LVN_ITEMACTIVATE).size(), 1u);
    EXPECT_EQ(list_.SendMessage(WM_GETDLGCODE) & DLGC_WANTARROWS, DLGC_WANTARROWS);
}

TEST_F(ListViewTest, SpaceAndClicksToggleCheckBoxes) {
    MakeList(kReport, 20);
    list_.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    EXPECT_EQ(State(0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    list_.SetFocus();
    QTest::keyClick(list_.GetWidget(), Qt::Key_Down);
    events_.clear();
    QTest::keyClick(list_.GetWidget(), Qt::Key_Space);
    EXPECT_EQ(State(0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    ASSERT_EQ(Of(LVN_ITEMCHANGED).size(), 1u);
    EXPECT_EQ(Of(LVN_ITEMCHANGED)[0].oldState & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(1));
    EXPECT_EQ(Of(LVN_ITEMCHANGED)[0].newState & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2));

    // A click on the check box of row 3 toggles it without selecting it.
    LVHITTESTINFO hit;
    RECT r;
    r.left = LVIR_BOUNDS;
    list_.SendMessage(LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    hit.pt = POINT{5, (r.top + r.bottom) / 2};
    EXPECT_EQ(list_.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 3);
    EXPECT_EQ(hit.flags, LVHT_ONITEMSTATEICON);
    QTest::mouseClick(Rows(), Qt::LeftButton, {}, RowPoint(3, 5));
    EXPECT_EQ(State(3, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_EQ(State(3, LVIS_SELECTED), 0u);
}

TEST_F(ListViewTest, MouseClicksSelectAndNotify) {
    MakeList(kReport, 30);
    QTest::mouseClick(Rows(), Qt::LeftButton, {}, RowPoint(4));
    EXPECT_EQ(SelectedItems(), std::vector<int>{4});
    EXPECT_EQ(Focused(), 4);
    ASSERT_EQ(Of(NM_CLICK).size(), 1u);
    EXPECT_EQ(Of(NM_CLICK)[0].item, 4);
    QTest::mouseClick(Rows(), Qt::LeftButton, Qt::ShiftModifier, RowPoint(7));
    EXPECT_EQ(SelectedItems(), (std::vector<int>{4, 5, 6, 7}));
    QTest::mouseClick(Rows(), Qt::LeftButton, Qt::ControlModifier, RowPoint(5));
    EXPECT_EQ(SelectedItems(), (std::vector<int>{4, 6, 7}));
    events_.clear();
    QTest::mouseDClick(Rows(), Qt::LeftButton, {}, RowPoint(6, 150));
    ASSERT_EQ(Of(NM_DBLCLK).size(), 1u);
    EXPECT_EQ(Of(NM_DBLCLK)[0].item, 6);
    EXPECT_EQ(Of(NM_DBLCLK)[0].subItem, 1);
    EXPECT_EQ(Of(LVN_ITEMACTIVATE).size(), 1u);
    events_.clear();
    QTest::mouseClick(Rows(), Qt::RightButton, {}, RowPoint(9));
    EXPECT_EQ(SelectedItems(), std::vector<int>{9});
    EXPECT_EQ(Of(NM_RCLICK).size(), 1u);

    // A single-selection list keeps one row.
    list_.ModifyStyle(0, LVS_SINGLESEL);
    QTest::mouseClick(Rows(), Qt::LeftButton, Qt::ShiftModifier, RowPoint(12));
    EXPECT_EQ(SelectedItems(), std::vector<int>{12});
}

TEST_F(ListViewTest, ColumnsAndTheirHeaderNotify) {
    MakeList(kReport, 10);
    const HWND header = static_cast<HWND>(list_.SendMessage(LVM_GETHEADER));
    ASSERT_TRUE(IsWindow(header));
    EXPECT_EQ(GetParent(header), list_.m_hWnd);
    EXPECT_EQ(list_.SendMessage(LVM_GETCOLUMNWIDTH, 1), 100);
    list_.SendMessage(LVM_SETCOLUMNWIDTH, 1, 80);
    EXPECT_EQ(list_.SendMessage(LVM_GETCOLUMNWIDTH, 1), 80);
    char text[32] = {};
    LVCOLUMN column;
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(list_.SendMessage(LVM_GETCOLUMN, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, "最新价");
    EXPECT_EQ(column.fmt, LVCFMT_RIGHT);
    RECT sub;
    sub.top = 1;
    sub.left = LVIR_BOUNDS;
    ASSERT_TRUE(list_.SendMessage(LVM_GETSUBITEMRECT, 2, reinterpret_cast<LPARAM>(&sub)));
    EXPECT_EQ(sub.left, 120);
    EXPECT_EQ(sub.right, 200);

    QWidget* headerWidget = platform::ui::WidgetOf(header);
    headerCodes_.clear();
    QTest::mouseClick(headerWidget, Qt::LeftButton, {}, QPoint(150, 5));
    ASSERT_EQ(Of(LVN_COLUMNCLICK).size(), 1u);
    EXPECT_EQ(Of(LVN_COLUMNCLICK)[0].subItem, 1);
    EXPECT_EQ(headerCodes_, std::vector<UINT>{HDN_ITEMCLICK}) << "the parent hears the header";

    // Header drags need LVS_EX_HEADERDRAGDROP, and the parent may still refuse the order.
    auto drag = [headerWidget] {
        QTest::mousePress(headerWidget, Qt::LeftButton, {}, QPoint(40, 5));
        QTest::mouseMove(headerWidget, QPoint(120, 5));
        QTest::mouseMove(headerWidget, QPoint(190, 5));
        QTest::mouseRelease(headerWidget, Qt::LeftButton, {}, QPoint(190, 5));
    };
    auto order = [header] {
        std::vector<int> o(2);
        SendMessage(header, HDM_GETORDERARRAY, 2, reinterpret_cast<LPARAM>(o.data()));
        return o;
    };
    drag();
    EXPECT_EQ(order(), (std::vector<int>{0, 1}));
    list_.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP, LVS_EX_HEADERDRAGDROP);
    refuse_[HDN_ENDDRAG] = TRUE;
    headerCodes_.clear();
    drag();
    EXPECT_EQ(headerCodes_, (std::vector<UINT>{HDN_BEGINDRAG, HDN_ENDDRAG}));
    EXPECT_EQ(order(), (std::vector<int>{0, 1}));
    refuse_.clear();
    drag();
    EXPECT_EQ(order(), (std::vector<int>{1, 0}));
    // Refused tracking leaves the width alone.
    refuse_[HDN_BEGINTRACK] = TRUE;
    QTest::mousePress(headerWidget, Qt::LeftButton, {}, QPoint(80, 5));
    QTest::mouseMove(headerWidget, QPoint(60, 5));
    QTest::mouseRelease(headerWidget, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_EQ(list_.SendMessage(LVM_GETCOLUMNWIDTH, 1), 80);
}

TEST_F(ListViewTest, ScrollBarsScrollThroughTheWindowProcedure) {
    MakeList(kReport, 1000);
    const int perPage = static_cast<int>(list_.SendMessage(LVM_GETCOUNTPERPAGE));
    QScrollBar* bar = Area()->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(list_.SendMessage(LVM_GETTOPINDEX), 1 + perPage);
    const auto scrolls = list_.Got(WM_VSCROLL);
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(LOWORD(scrolls[0].wParam), SB_LINEDOWN);
    EXPECT_EQ(LOWORD(scrolls[1].wParam), SB_PAGEDOWN);
    // A subclass that keeps the message keeps the list where it is.
    list_.handle = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 0;
        return message == WM_VSCROLL;
    };
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(list_.SendMessage(LVM_GETTOPINDEX), 1 + perPage);
    list_.handle = nullptr;
    list_.SendMessage(WM_VSCROLL, SB_BOTTOM);
    EXPECT_EQ(list_.SendMessage(LVM_GETTOPINDEX), 1000 - perPage);
    list_.SendMessage(LVM_SCROLL, 0, -1);
    EXPECT_EQ(list_.SendMessage(LVM_GETTOPINDEX), 999 - perPage) << "a pixel is a whole row";
}

TEST_F(ListViewTest, ScreenshotOfAReportWithGridLinesAndASelectedRow) {
    MakeList(kReport, 100000);
    list_.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                      LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    SetState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    list_.SetFocus();
    const QImage image = Paint();
    const QString file = kelmon::test::ui::ScreenshotDir() + "/listview_report.png";
    ASSERT_TRUE(image.save(file));
    // The selected row carries the highlight colour, the others the window colour.
    RECT r;
    r.left = LVIR_BOUNDS;
    list_.SendMessage(LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(image.pixelColor(200, r.top + 2), QColor(0, 0, 128)) << list_.GetWidget()->hasFocus();
    list_.SendMessage(LVM_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(image.pixelColor(200, r.top + 2), QColor(255, 255, 255));
    EXPECT_NE(image.pixelColor(200, r.bottom - 1), QColor(255, 255, 255)) << "a grid line";
}

}  // namespace
