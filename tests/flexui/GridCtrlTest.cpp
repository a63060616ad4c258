// The record grid: header sorting, the sorted view under a filter, groups with filter and
// checks, refresh keeping the focused row, fitted widths, selection styles and cell colours
// by pixels, highlights, tool ids and rows that other threads add and remove.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QTest>
#include <atomic>
#include <set>
#include <thread>

#include "flexui/GridCtrl.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "record/MemRecord.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::PixelProbe;

constexpr unsigned kName = 1, kQty = 2, kPrice = 3, kKind = 4;

const tagFIXHEADERINFO kLayout[] = {{kName, "名称", "C16", 0},    {kQty, "数量", "N10", 0},
                                    {kPrice, "价格", "R12.2", 0}, {kKind, "类别", "C8", 0},
                                    {100, "color", "N4", 0},      {3010, "checkbox", "N4", 0},
                                    {9000, "group", "C64", 0},    {0, "", "", 0}};

// A parent that keeps the grid notifications it hears (after the grid had its reflection).
class Host : public CWnd {
public:
    std::vector<NMLISTVIEW> changed;
    int clicks = 0;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (CWnd::OnNotify(wParam, lParam, result)) return TRUE;
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (nm->code == LVN_ITEMCHANGED) changed.push_back(*reinterpret_cast<NMLISTVIEW*>(lParam));
        if (nm->code == NM_CLICK) ++clicks;
        return FALSE;
    }
};

class GridTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        table.Create(kLayout);
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 420, 300},
                                  nullptr, 0));
        ASSERT_TRUE(grid.Create(WS_CHILD | WS_VISIBLE | LVS_SHOWSELALWAYS, RECT{0, 0, 400, 280},
                                &host, 77));
    }
    void TearDown() override {
        if (grid.m_hWnd) grid.DestroyWindow();
        if (host.m_hWnd) host.DestroyWindow();
        UiTest::TearDown();
    }
    void Add(const char* name, int qty, double price = 1.0, const char* kind = "", int color = 0) {
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(kName, name, row);
        table.Set(kQty, int32_t{qty}, row);
        table.Set(kPrice, price, row);
        table.Set(kKind, kind, row);
        table.Set(100u, int32_t{color}, row);
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < grid.GetViewCount(); ++row)
            texts.push_back(grid.GetRecordText(column, row));
        return texts;
    }
    QWidget* Widget() { return grid.GetWidget(); }
    // The rows' area, where the user's clicks land; its points are client points less the
    // header's height.
    QWidget* Rows() { return static_cast<QAbstractScrollArea*>(grid.GetWidget())->viewport(); }
    QPoint InRows(int x, int y) {
        RECT r{};
        ::GetWindowRect(grid.GetHeaderHwnd(), &r);
        return QPoint(x, y - (r.bottom - r.top));
    }
    QWidget* HeaderWidget() { return CWnd::FromHandle(grid.GetHeaderHwnd())->GetWidget(); }
    // Centre of a header item in header coordinates.
    QPoint HeaderItemCentre(int item) {
        RECT r{};
        ::SendMessage(grid.GetHeaderHwnd(), HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    RECT RowRect(int row) {
        RECT r{};
        r.left = LVIR_BOUNDS;
        ::SendMessage(grid.m_hWnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    RECT CellRect(int row, int column) {
        RECT r{};
        r.top = column;
        r.left = LVIR_BOUNDS;
        ::SendMessage(grid.m_hWnd, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return r;
    }

    CFixRecord table;
    Host host;
    CGridCtrl grid;
};

TEST_F(GridTest, BindingFindsPseudoFieldsAndOffersFieldsBeforeColour) {
    Add("甲", 1);
    grid.SetRecord(&table, "orders");
    EXPECT_TRUE(grid.GetExStyle() & GRID_HASCOLOR);
    EXPECT_TRUE(grid.GetExStyle() & GRID_HASCHECKBOX);
    EXPECT_TRUE(grid.GetExStyle() & GRID_HASGROUP);
    EXPECT_EQ(grid.GetColumnCount(), 4);  // fields from "color" on are no columns
    EXPECT_EQ(grid.GetFieldIndex(3), 3);
    EXPECT_EQ(grid.GetColumnIndex(1), 1);
    EXPECT_EQ(grid.GetFieldIndex(9), -1);
    EXPECT_EQ(grid.GetRecordText(0, 0), "甲");
    EXPECT_EQ(grid.GetRecordText(0, 5), "");  // out of range
    // Moving a column moves its order entry; moving to -1 removes it.
    grid.MoveColumn(0, 2);
    EXPECT_EQ(grid.GetFieldIndex(2), 0);
    EXPECT_EQ(grid.GetRecordText(2, 0), "甲");
    grid.MoveColumn(1, -1);
    EXPECT_EQ(grid.GetColumnCount(), 3);
    EXPECT_EQ(grid.GetColumnIndex(2), -1);

    // A "color" field that is the first field switches nothing and hides no field.
    CFixRecord first;
    const tagFIXHEADERINFO layout[] = {
        {100, "color", "N4", 0}, {1, "名称", "C8", 0}, {0, "", "", 0}};
    first.Create(layout);
    grid.SetRecord(&first);
    EXPECT_FALSE(grid.GetExStyle() & GRID_HASCOLOR);
    EXPECT_FALSE(grid.GetExStyle() & GRID_HASCHECKBOX);
    EXPECT_EQ(grid.GetColumnCount(), 2);
    grid.SetRecord(nullptr);
    EXPECT_EQ(grid.GetViewCount(), 0);
    EXPECT_EQ(grid.GetMemRecord(), nullptr);
}

TEST_F(GridTest, HeaderClickSortsDescendingThenAscendingWithoutMovingTheTable) {
    for (auto [name, qty] : {std::pair{"c", 3}, {"a", 1}, {"e", 5}, {"b", 2}, {"d", 4}})
        Add(name, qty);
    grid.SetExStyle(0, GRID_COMPACT);  // compact grids do not sort by header clicks
    grid.SetRecord(&table);
    host.changed.clear();
    QTest::mouseClick(HeaderWidget(), Qt::LeftButton, {}, HeaderItemCentre(1));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"e", "d", "c", "b", "a"}));
    EXPECT_EQ(grid.GetSortField(), 1);
    EXPECT_EQ(grid.GetSortDirection(), 1);
    ASSERT_FALSE(host.changed.empty());
    EXPECT_EQ(host.changed.back().iSubItem, 1);
    QTest::mouseClick(HeaderWidget(), Qt::LeftButton, {}, HeaderItemCentre(1));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    // The shared table keeps its order; the view maps display rows to table rows.
    EXPECT_EQ(table.Get(kName, 0), "c");
    EXPECT_EQ(grid.GetMapRecno(0), 1);
    // The rows really moved on screen: the first row shows "a" now, the sort mark is set.
    HDITEM item;
    item.mask = HDI_LPARAM;
    ::SendMessage(grid.GetHeaderHwnd(), HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.lParam & 0xC00, 0x400);
    // Text columns sort in GBK order and equal values keep table order in both directions.
    grid.SortColumn(3, 2);
    EXPECT_EQ(grid.GetMapRecno(0), 0);
    EXPECT_EQ(grid.GetMapRecno(4), 4);
}

TEST_F(GridTest, FilterKeepsItsRecordsWhenTheGridSorts) {
    const std::pair<const char*, int> rows[] = {{"r0", 7}, {"r1", 2}, {"r2", 9},
                                                {"r3", 1}, {"r4", 8}, {"r5", 3}};
    for (auto [name, qty] : rows) Add(name, qty);
    grid.SetRecord(&table);
    static int calls;
    calls = 0;
    grid.SetFilterFunctor(
        [](CFixRecord* t, int row, void*) {
            ++calls;
            return t->GetLong(kQty, row) >= 5 ? 1 : 0;
        },
        nullptr);
    EXPECT_EQ(calls, 6);  // once per row
    grid.Refresh(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"r0", "r2", "r4"}));
    grid.SortColumn(1, 1);  // ascending quantity
    EXPECT_EQ(Column(0), (std::vector<std::string>{"r0", "r4", "r2"}));
    grid.Refresh(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"r0", "r4", "r2"}));
    EXPECT_EQ(calls, 6);
    // Checking and editing display row 1 touches "r4", not whatever moved into its row.
    grid.SetRecordCheckImage(1, 1);
    grid.SetRecordText(0, "r4*", 1);
    EXPECT_EQ(table.GetLong(3010u, 4), 1);
    EXPECT_EQ(table.Get(kName, 4), "r4*");
    EXPECT_EQ(grid.GetCheckCount(), 1);
    // The text filter: exact stored texts, unknown identities skipped.
    grid.SetFilter({{kKind, ""}, {777, "x"}, {kName, "r1"}});
    grid.Refresh(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"r1"}));
}

TEST_F(GridTest, GroupsOfNoneOneAndThreeMembersWithFilterAndChecks) {
    for (auto [name, kind] :
         {std::pair{"a1", "A"}, {"b1", "B"}, {"a2", "A"}, {"c1", "C"}, {"a3", "A"}})
        Add(name, 1, 1.0, kind);
    grid.SetRecord(&table);
    grid.SetFilterFunctor(
        [](CFixRecord* t, int row, void*) { return t->Get(kName, row) != "c1" ? 1 : 0; }, nullptr);
    grid.SetGroup({kKind});
    ASSERT_TRUE(grid.GetExStyle() & GRID_GROUPACTIVE);
    CMemRecord* groups = grid.GetMapRecord();
    ASSERT_NE(groups, nullptr);
    ASSERT_EQ(groups->GetCount(), 3);
    // A shows its three members; B (one member) and C (none through the filter) are fixed.
    EXPECT_EQ(grid.GetViewCount(), 6);
    std::vector<int> groupRows;
    for (int row = 0; row < grid.GetViewCount(); ++row)
        if (grid.GetMapRecno(row) & GRID_GROUPROW) groupRows.push_back(row);
    EXPECT_EQ(groupRows, (std::vector<int>{0, 4, 5}));
    EXPECT_EQ(groups->GetItemExtendStyle(0) & 0xFFFFFF, 3u);
    EXPECT_TRUE(groups->GetItemExtendStyle(1) & GRID_GROUP_FIXED);
    EXPECT_TRUE(groups->GetItemExtendStyle(2) & GRID_GROUP_FIXED);
    EXPECT_EQ(groups->GetItemExtendStyle(2) & 0xFFFFFF, 0u);
    // Checking a group row checks every member, also those the filter hides.
    grid.SetRecordCheckImage(1, 5);  // group C
    EXPECT_EQ(table.GetLong(3010u, 3), 1);
    grid.SetRecordCheckImage(1, 0);  // group A
    for (int row : {0, 2, 4}) EXPECT_EQ(table.GetLong(3010u, row), 1);
    EXPECT_EQ(grid.GetRecordCheckImage(0), 1);
    grid.SetRecordCheckImage(0, 2);  // one member of A
    EXPECT_EQ(grid.GetRecordCheckImage(0), 2);
    // A click on the expander collapses the group.
    const RECT cell = CellRect(0, 0);
    QTest::mouseClick(Rows(), Qt::LeftButton, {},
                      InRows(cell.left + 8, (cell.top + cell.bottom) / 2));
    EXPECT_EQ(grid.GetViewCount(), 3);
    EXPECT_FALSE(groups->GetItemExtendStyle(0) & GRID_GROUP_EXPANDED);
    QTest::mouseClick(Rows(), Qt::LeftButton, {},
                      InRows(cell.left + 8, (cell.top + cell.bottom) / 2));
    EXPECT_EQ(grid.GetViewCount(), 6);
    // Regrouping keeps the expanded states; without a group list grouping ends.
    grid.SetGroup({kKind});
    EXPECT_EQ(grid.GetViewCount(), 6);
    groups = grid.GetMapRecord();  // a new group table
    grid.SetExStyle(GRID_GROUPBAND, GRID_GROUPBAND);
    grid.Refresh(0);
    // With group bands a single member stays expandable.
    EXPECT_FALSE(groups->GetItemExtendStyle(1) & GRID_GROUP_FIXED);
}

TEST_F(GridTest, RefreshKeepsTheFocusedDisplayRowAndMovesTheCursor) {
    for (int i = 0; i < 8; ++i) Add(("n" + std::to_string(i)).c_str(), i);
    grid.SetRecord(&table, nullptr, kQty, TRUE);  // descending quantity
    grid.SetActiveItem(3);
    EXPECT_EQ(grid.GetActiveItem(), 3);
    EXPECT_EQ(table.GetMemRecord()->GetNo(), 4);
    table.Set(kQty, int32_t{100}, 0);  // n0 moves to the top of the view
    grid.Refresh(0);
    EXPECT_EQ(grid.GetActiveItem(), 3);
    EXPECT_EQ(grid.GetRecordText(0, 0), "n0");
    int row = -1;
    grid.GetMapRecord(3, &row);
    EXPECT_EQ(table.GetMemRecord()->GetNo(), row);
    // Rows removed under the focus: the focus falls back to row 0.
    while (table.GetCount() > 2) table.GetMemRecord()->Delete(table.GetCount() - 1);
    grid.Refresh(0);
    EXPECT_EQ(grid.GetActiveItem(), 0);
}

TEST_F(GridTest, FitToClientSharesTheRestWithTheFirstColumns) {
    Add("x", 1);
    grid.SetExStyle(GRID_FITCLIENT, GRID_FITCLIENT);
    grid.SetRecord(&table);
    RECT client;
    grid.GetClientRect(&client);
    const int n = grid.GetColumnCount();
    ASSERT_GT(n, 1);
    int sum = 0, minSum = 0;
    std::vector<int> extra;
    for (int c = 0; c < n; ++c) {
        const int w = static_cast<int>(::SendMessage(grid.m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
        const int min = grid.GetRecordMinWidth(grid.GetFieldIndex(c), c);
        sum += w;
        minSum += min;
        extra.push_back(w - min);
    }
    EXPECT_EQ(sum, client.right);
    const int rest = client.right - minSum;
    for (int c = 0; c < n; ++c) EXPECT_EQ(extra[c], rest / n + (c < rest % n ? 1 : 0)) << c;
    EXPECT_FALSE(grid.GetExStyle() & GRID_HEADERDRAG);
}

TEST_F(GridTest, RowHeightKeepsOnlyWhatTheDragAllows) {
    Add("x", 1);
    grid.SetRecord(&table);
    const int line = grid.GetLineHeight();
    const int normal = grid.GetItemHeight();
    const struct {
        int asked;
        int expected;
    } cases[] = {{line + 3, line + 3},
                 {3 * line, 3 * line},
                 {line + 2, normal},
                 {3 * line + 1, normal},
                 {4 * line + 3, normal}};
    for (const auto& c : cases) {
        grid.SetItemHeight(c.asked, TRUE);
        EXPECT_EQ(grid.GetItemHeight(), c.expected) << c.asked;
        EXPECT_EQ(RowRect(0).bottom - RowRect(0).top, c.expected);
    }
    // A drag far past the limit stops at three line heights, which SetItemHeight keeps (a
    // drag up to four line heights + 3 would snap back to the normal height).
    grid.SetItemHeight(0, TRUE);
    const RECT r = RowRect(0);
    QTest::mousePress(Rows(), Qt::LeftButton, {}, InRows(20, r.bottom - 1));
    QTest::mouseMove(Rows(), InRows(20, r.bottom + 200));
    QTest::mouseRelease(Rows(), Qt::LeftButton, {}, InRows(20, r.bottom + 200));
    EXPECT_EQ(grid.GetItemHeight(), 3 * line);
    // A small drag up is taken as it is.
    const RECT r2 = RowRect(0);
    QTest::mousePress(Rows(), Qt::LeftButton, {}, InRows(20, r2.bottom - 1));
    QTest::mouseMove(Rows(), InRows(20, r2.bottom - 4));
    QTest::mouseRelease(Rows(), Qt::LeftButton, {}, InRows(20, r2.bottom - 4));
    EXPECT_EQ(grid.GetItemHeight(), 3 * line - 3);
}

TEST_F(GridTest, ToolIdsNeverCollide) {
    std::set<UINT_PTR> ids;
    for (int row = 0; row < 40; ++row)
        for (int column = 0; column < 40; ++column) {
            EXPECT_TRUE(ids.insert(CGridCtrl::MakeToolId(row, column)).second);
            int r = -1, c = -1;
            CGridCtrl::SplitToolId(CGridCtrl::MakeToolId(row, column), &r, &c);
            EXPECT_EQ(r, row);
            EXPECT_EQ(c, column);
        }
    Add("x", 1);
    grid.SetRecord(&table);
    grid.SetToolTipCtrl(
        [](CFixRecord* t, int row, int column, void*) -> const char* {
            static std::string text;
            text = t->Get(kName, row) + "/" + std::to_string(column);
            return text.c_str();
        },
        nullptr);
    EXPECT_EQ(grid.GetToolTipText(0, 2), "x/2");
    EXPECT_EQ(grid.GetToolTipText(1, 2), "");
}

TEST_F(GridTest, HighlightsLastTheirTimeAndDefaultTo300Ms) {
    Add("x", 1);
    Add("y", 2);
    grid.SetRecord(&table);
    grid.SetItemAnimate(0, 1, RGB(255, 0, 0), 0);
    grid.SetItemAnimate(1, -1, CLR_INVALID, CLR_INVALID, 100);  // only a redraw
    grid.SetItemAnimate(5, 1, RGB(255, 0, 0), 100);             // no such row
    EXPECT_EQ(grid.LiveAnimationCount(), 1);
    clock_.AdvanceMs(299);
    EXPECT_EQ(grid.LiveAnimationCount(), 1);
    clock_.AdvanceMs(1);
    EXPECT_EQ(grid.LiveAnimationCount(), 0);
}

TEST_F(GridTest, TwoLevelViewMirrorsTheLeafFieldsAndMovesThreeCursors) {
    for (int i = 0; i < 3; ++i) Add(("m" + std::to_string(i)).c_str(), i);
    CFixRecord header, leaf;
    const tagFIXHEADERINFO parts[] = {{11, "委托", "N8", 0}, {12, "成交", "N8", 0}, {0, "", "", 0}};
    header.Create(parts);
    leaf.Create(parts);
    for (int i = 0; i < 3; ++i) {
        header.GetMemRecord()->Append(nullptr, true);
        leaf.GetMemRecord()->Append(nullptr, true);
        header.Set(11u, int32_t{100 + i}, i);
        header.Set(12u, int32_t{200 + i}, i);
        leaf.Set(11u, int32_t{300 + i}, i);
        leaf.Set(12u, int32_t{400 + i}, i);
    }
    grid.SetRecord(&table);
    grid.SetLeafRecord(&header, &leaf);
    ASSERT_TRUE(grid.GetExStyle() & GRID_TWOLEVEL);
    ASSERT_EQ(grid.GetColumnCount(), 2 + 4 + 2);
    int part = -1;
    EXPECT_EQ(grid.GetFieldIndex(0, &part), 1);  // the header part, mirrored
    EXPECT_EQ(part, 1);
    EXPECT_EQ(grid.GetFieldIndex(7, &part), 1);
    EXPECT_EQ(part, 2);
    EXPECT_EQ(grid.GetRecordText(0, 2), "202");
    EXPECT_EQ(grid.GetRecordText(1, 2), "102");
    EXPECT_EQ(grid.GetRecordText(2, 2), "m2");
    EXPECT_EQ(grid.GetRecordText(7, 2), "402");
    EXPECT_EQ(grid.GetColumnIndex(0, 2), 6);
    EXPECT_EQ(grid.GetFixRecord(1), &header);
    RECT client;
    grid.GetClientRect(&client);
    int sum = 0;
    for (int c = 0; c < grid.GetColumnCount(); ++c)
        sum += static_cast<int>(::SendMessage(grid.m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
    EXPECT_EQ(sum, client.right);
    grid.SetActiveItem(1);
    EXPECT_EQ(table.GetMemRecord()->GetNo(), 1);
    EXPECT_EQ(header.GetMemRecord()->GetNo(), 1);
    EXPECT_EQ(leaf.GetMemRecord()->GetNo(), 1);
    grid.SetLeafRecord(nullptr, nullptr);
    EXPECT_EQ(grid.GetColumnCount(), 4);
}

TEST_F(GridTest, HeaderCheckBoxChecksAllThenNone) {
    grid.SetExStyle(0, GRID_COMPACT);
    for (int i = 0; i < 3; ++i) Add("x", i);
    grid.SetRecord(&table);
    table.Set(3010u, int32_t{1}, 1);
    RECT item{};
    ::SendMessage(grid.GetHeaderHwnd(), HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    const QPoint box(item.left + CGridCtrl::GetFieldMargin() + 6, (item.top + item.bottom) / 2);
    QTest::mouseClick(HeaderWidget(), Qt::LeftButton, {}, box);
    EXPECT_EQ(grid.GetCheckCount(), 3);
    QTest::mouseClick(HeaderWidget(), Qt::LeftButton, {}, box);
    EXPECT_EQ(grid.GetCheckCount(), 0);
    EXPECT_EQ(grid.GetSortField(), -1);  // the box is no sort click
    // A click in a row's check area toggles it; with the row selected, every selected row.
    grid.SetActiveItem(2);
    const RECT cell = CellRect(0, 0);
    QTest::mouseClick(Rows(), Qt::LeftButton, {},
                      InRows(cell.left + 6, (cell.top + cell.bottom) / 2));
    EXPECT_EQ(table.GetLong(3010u, 0), 1);
    EXPECT_EQ(grid.GetCheckCount(), 1);
    // Space toggles the focused row and gives the selected rows its new state.
    grid.SetActiveItem(1);
    QTest::keyClick(Widget(), Qt::Key_Space);  // the list has the keyboard
    EXPECT_EQ(table.GetLong(3010u, 1), 1);
}

TEST_F(GridTest, ClicksNotifyOnceAndWidthsStayAboveTheMinimum) {
    for (int i = 0; i < 5; ++i) Add("x", i);
    grid.SetRecord(&table);
    const RECT cell = CellRect(3, 2);
    host.clicks = 0;
    QTest::mouseClick(Rows(), Qt::LeftButton, {},
                      InRows((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
    EXPECT_EQ(host.clicks, 1);
    EXPECT_EQ(grid.GetActiveItem(), 3);
    // No header item can be made narrower than 23 pixels.
    HDITEM narrow;
    narrow.mask = HDI_WIDTH;
    narrow.cxy = 10;
    ::SendMessage(grid.GetHeaderHwnd(), HDM_SETITEM, 1, reinterpret_cast<LPARAM>(&narrow));
    EXPECT_GE(::SendMessage(grid.m_hWnd, LVM_GETCOLUMNWIDTH, 1, 0), 23);
    // Fit-to-client never keeps header dragging.
    grid.SetExStyle(GRID_FITCLIENT | GRID_HEADERDRAG, GRID_FITCLIENT | GRID_HEADERDRAG);
    EXPECT_FALSE(grid.GetExStyle() & GRID_HEADERDRAG);
}

TEST_F(GridTest, IndicatorShowsTheFocusedRowOfTheCount) {
    for (int i = 0; i < 5; ++i) Add("x", i);
    grid.SetRecord(&table);
    grid.HideIndicator(FALSE);
    grid.SetActiveItem(1);
    CWnd* indicator = grid.GetDlgItem(0xFFF0);
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->GetWindowText(), "2/5");
    EXPECT_TRUE(indicator->IsWindowVisible());
    grid.HideIndicator(TRUE);
    EXPECT_FALSE(indicator->IsWindowVisible());
}

TEST_F(GridTest, FilterOnAnEmptyTableAndAFontChange) {
    grid.SetRecord(&table);
    grid.SetFilterFunctor([](CFixRecord*, int, void*) { return 0; }, nullptr);
    Add("new", 1);  // a filter set on an empty table is no filter
    grid.Refresh(0);
    EXPECT_EQ(grid.GetViewCount(), 1);
    grid.SetFilterFunctor([](CFixRecord*, int, void*) { return 0; }, nullptr);
    grid.Refresh(0);
    EXPECT_EQ(grid.GetViewCount(), 0);
    grid.SetFilterFunctor(nullptr, nullptr);
    grid.Refresh(0);
    EXPECT_EQ(grid.GetViewCount(), 1);
    // A bigger font: new row height and wider columns at the next refresh.
    const int height = grid.GetItemHeight();
    const int width = static_cast<int>(::SendMessage(grid.m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0));
    CFont big;
    big.CreatePointFont(160, "");
    grid.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(&big), TRUE);
    grid.Refresh(0);
    EXPECT_GT(grid.GetItemHeight(), height);
    EXPECT_EQ(RowRect(0).bottom - RowRect(0).top, grid.GetItemHeight());
    EXPECT_GT(::SendMessage(grid.m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0), width);
}

TEST_F(GridTest, FixedViewStaysAtTheOrigin) {
    for (int i = 0; i < 60; ++i) Add("x", i);
    grid.SetRecord(&table);
    grid.SendMessage(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_GT(::SendMessage(grid.m_hWnd, LVM_GETTOPINDEX, 0, 0), 0);
    grid.SetMiscellaneous(1, 1);
    EXPECT_EQ(::SendMessage(grid.m_hWnd, LVM_GETTOPINDEX, 0, 0), 0);
    grid.SendMessage(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(::SendMessage(grid.m_hWnd, LVM_GETTOPINDEX, 0, 0), 0);
    grid.SetMiscellaneous(0, 1);
    grid.SendMessage(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_GT(::SendMessage(grid.m_hWnd, LVM_GETTOPINDEX, 0, 0), 0);
}

// ---------------------------------------------------------------- pixels

// Pixels of the prompt's colour, anti-aliased edges included.
int Reddish(const PixelProbe& probe, const RECT& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom && y < probe.Height(); ++y)
        for (int x = r.left; x < r.right && x < probe.Width(); ++x) {
            const COLORREF c = probe.At(x, y);
            if (GetRValue(c) > 200 && GetGValue(c) < 120 && GetBValue(c) < 120) ++n;
        }
    return n;
}

class GridPixelTest : public GridTest {
protected:
    void Prepare() {
        grid.SetExStyle(0, GRID_COMPACT);
        for (int i = 0; i < 4; ++i) Add(("row" + std::to_string(i)).c_str(), i);
        grid.SetRecord(&table);
        grid.SetActiveItem(1);
    }
    // A pixel well inside row `row`, column `column`, clear of the text.
    COLORREF Probe(int row, int column) {
        const RECT cell = CellRect(row, column);
        const int hh = [&] {
            RECT r{};
            ::GetWindowRect(grid.GetHeaderHwnd(), &r);
            return r.bottom - r.top;
        }();
        (void)hh;
        PixelProbe probe(Widget());
        return At(probe, cell.right - 3, cell.top + 2);
    }
    // A pixel at a client point: client coordinates start inside the grid's thin border.
    static COLORREF At(const PixelProbe& probe, int x, int y) { return probe.At(x + 1, y + 1); }
};

TEST_F(GridPixelTest, SelectionStyles) {
    Prepare();
    // Gradient: starts white at the top, outlined.
    const RECT row = RowRect(1);
    {
        PixelProbe probe(Widget());
        const COLORREF outline = At(probe, row.left + 30, row.top);
        EXPECT_TRUE(outline == 0xFCD7B9 || outline == 0xDADADA) << std::hex << outline;
        // Light at the top, darker towards the bottom.
        const COLORREF high = At(probe, row.left + 30, row.top + 1);
        const COLORREF low = At(probe, row.left + 30, row.bottom - 2);
        EXPECT_GE(GetGValue(high), 0xF0);
        EXPECT_LT(GetGValue(low), GetGValue(high));
    }
    // Outline: the list background inside, its inverse around.
    grid.SetExStyle(GRID_OUTLINESELECT, GRID_OUTLINESELECT);
    {
        PixelProbe probe(Widget());
        EXPECT_EQ(At(probe, row.left + 30, row.top), RGB(0, 0, 0));
        EXPECT_EQ(At(probe, row.left + 30, row.top + 3), RGB(255, 255, 255));
    }
    // Outline sides can be left out.
    grid.SetMiscellaneous(0x20, 0xF0);
    {
        PixelProbe probe(Widget());
        EXPECT_EQ(At(probe, row.left + 30, row.top), RGB(255, 255, 255));
    }
    // Solid: the chosen colours.
    grid.SetMiscellaneous(0, 0xF0);
    grid.SetExStyle(0, GRID_OUTLINESELECT);
    grid.SetSelectedColor(RGB(255, 255, 255), RGB(10, 20, 200));
    EXPECT_EQ(Probe(1, 1), RGB(10, 20, 200));
    EXPECT_EQ(Probe(2, 1), RGB(255, 255, 255));  // not selected
}

TEST_F(GridPixelTest, CellBackgroundPrecedence) {
    Prepare();
    grid.SetActiveItem(3);
    const COLORREF highlight = RGB(250, 10, 10), sorted = RGB(10, 250, 10),
                   callback = RGB(10, 10, 250);
    grid.SetFieldBkColor(
        [](CFixRecord*, int, int, void* user) { return *static_cast<COLORREF*>(user); },
        const_cast<COLORREF*>(&callback));
    EXPECT_EQ(Probe(0, 1), callback);
    grid.SetExStyle(GRID_SORTCOLOR, GRID_SORTCOLOR);
    grid.SetSortedColor(sorted);
    grid.SortColumn(1, 1);
    EXPECT_EQ(Probe(0, 1), sorted);
    EXPECT_EQ(Probe(0, 0), callback);
    grid.SetItemAnimate(0, 1, RGB(0, 0, 0), highlight, 1000);
    EXPECT_EQ(Probe(0, 1), highlight);
    clock_.AdvanceMs(1000);
    EXPECT_EQ(Probe(0, 1), sorted);
    // Without any colour the row background shows.
    grid.SetFieldBkColor(nullptr, nullptr);
    EXPECT_EQ(Probe(0, 2), RGB(255, 255, 255));
}

TEST_F(GridPixelTest, BlankPromptOnlyWithoutRowsAndGridLines) {
    grid.SetRecord(&table);
    grid.SetBlankPrompt("没有记录", RGB(255, 0, 0));
    RECT client;
    grid.GetClientRect(&client);
    {
        PixelProbe probe(Widget());
        EXPECT_GT(Reddish(probe, client), 10);
    }
    Add("x", 1);
    grid.SetExStyle(GRID_GRIDLINES, GRID_GRIDLINES);
    grid.SetGridlinesColor(RGB(0, 200, 0));
    grid.Refresh(0);
    PixelProbe probe(Widget());
    EXPECT_EQ(Reddish(probe, client), 0);
    const RECT cell = CellRect(0, 1);
    EXPECT_EQ(At(probe, cell.right - 1, cell.top + 20 + 4 * grid.GetItemHeight()), RGB(0, 200, 0));
}

TEST_F(GridPixelTest, HeaderSkinsOrFlatColour) {
    Prepare();
    RECT item{};
    ::SendMessage(grid.GetHeaderHwnd(), HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    const int x = item.right - 4, y = (item.top + item.bottom) / 2;
    const COLORREF flat = RGB(0x30, 0x40, 0x60);
    grid.SetHeaderColor(RGB(255, 255, 255), flat);
    {
        PixelProbe probe(HeaderWidget());
        EXPECT_EQ(probe.At(x, y), flat);
        EXPECT_EQ(probe.At(item.right - 1, y), RGB(0xA0, 0xA0, 0xA0));  // the separator
    }
    // Without a colour: the normal skin, and another one for the sorted item.
    grid.SetHeaderColor(CLR_INVALID, CLR_INVALID);
    const COLORREF normal = PixelProbe(HeaderWidget()).At(x, y);
    EXPECT_NE(normal, flat);
    grid.SortColumn(2, 1);
    EXPECT_NE(PixelProbe(HeaderWidget()).At(x, y), normal);
    // Compact grids keep the system look.
    grid.SetExStyle(GRID_COMPACT, GRID_COMPACT);
    grid.SetHeaderColor(RGB(255, 255, 255), flat);
    EXPECT_NE(PixelProbe(HeaderWidget()).At(x, y), flat);
}

// A changed cell repaints its own row: the others are neither drawn nor asked for their texts.
TEST_F(GridTest, APartialRepaintDrawsOnlyTheRowsItCovers) {
    for (int i = 0; i < 8; ++i) Add("r", i);
    grid.SetRecord(&table);
    std::vector<int> asked(8, 0);
    grid.SetRecordTextFunctor(
        [](CFixRecord*, int row, int, void* user) -> const char* {
            auto& counts = *static_cast<std::vector<int>*>(user);
            if (row >= 0 && row < static_cast<int>(counts.size())) ++counts[row];
            return "x";
        },
        &asked);
    (void)Widget()->grab();
    ASSERT_GT(asked[0], 0);
    ASSERT_GT(asked[7], 0);
    std::fill(asked.begin(), asked.end(), 0);
    const RECT row = RowRect(3);
    const QPoint topLeft = InRows(row.left, row.top + 1);
    (void)Rows()->grab(
        QRect(topLeft.x(), topLeft.y(), row.right - row.left, row.bottom - row.top - 2));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(asked[i] > 0, i == 3) << i;
}

// Rows come and go on another thread while the grid refreshes and paints.
TEST_F(GridTest, RowsChangingOnAnotherThreadAreRangeChecked) {
    for (int i = 0; i < 200; ++i) Add("r", i);
    grid.SetRecord(&table, nullptr, kQty);
    grid.SetFilterFunctor([](CFixRecord* t, int row, void*) { return t->GetLong(kQty, row) % 2; },
                          nullptr);
    std::atomic<bool> stop{false};
    CMemRecord* mem = table.GetMemRecord();
    std::thread writer([&] {
        int n = 0;
        while (!stop.load()) {
            if (mem->GetCount() > 50) {
                mem->Delete(0);
            } else {
                const int row = mem->Append(nullptr, true);
                mem->Set(1, int32_t{n++}, row);
            }
        }
    });
    for (int i = 0; i < 40; ++i) {
        grid.Refresh(0);
        (void)Widget()->grab();
        for (int row = 0; row < grid.GetViewCount() + 3; ++row) (void)grid.GetRecordText(0, row);
    }
    stop = true;
    writer.join();
    SUCCEED();
}

}  // namespace
