// The flex list: row numbers, hyperlink clicks, detail groups, filters that keep nothing,
// check boxes by mouse and space bar, the stored layout, the dBASE export, row drawing by
// pixels, rows removed under a painted list, and a gallery of its looks.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QDir>
#include <QFontInfo>
#include <QTest>
#include <cstring>
#include <fstream>
#include <iterator>

#include "flexui/FlexListCtrl.h"
#include "flexui/GridExport.h"
#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "support/TempDir.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;

constexpr unsigned kName = 1, kQty = 2, kPrice = 3, kKind = 4;
constexpr const char* kLayoutName = "FLEXORDERS";

// Pseudo-fields sit between ordinary fields: the columns stop at the first of them.
const tagFIXHEADERINFO kLayout[] = {
    {kName, "名称", "C16", 0}, {kQty, "数量", "N10", 0}, {kPrice, "价格", "R12.2", 0},
    {kKind, "类别", "C8", 0},  {100, "color", "N4", 0},  {3010, "checkbox", "N4", 0},
    {9000, "group", "C64", 0}, {77, "备注", "C8", 0},    {0, "", "", 0}};

// A parent that keeps the list's posted notices and item-change notifications.
class Host : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> notices;
    std::vector<NMLISTVIEW> changed;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (CWnd::OnNotify(wParam, lParam, result)) return TRUE;
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (nm->code == LVN_ITEMCHANGED) changed.push_back(*reinterpret_cast<NMLISTVIEW*>(lParam));
        return FALSE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FLEXLIST_NOTIFY) notices.emplace_back(wParam, lParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// A list whose dialogs answer from a script.
class ScriptedList : public CFlexListCtrl {
public:
    std::string orderAnswer;  // empty: cancelled
    std::string orderAsked;
    int spaceAnswer = -1;  // below 0: cancelled
    BOOL spaceAsDefault = FALSE;
    std::string exportPath;  // empty: cancelled

protected:
    std::string AskExportPath() override { return exportPath; }
    BOOL RunColumnOrderDialog(const std::string& order, const std::string&,
                              std::string* result) override {
        orderAsked = order;
        if (orderAnswer.empty()) return FALSE;
        *result = orderAnswer;
        return TRUE;
    }
    BOOL RunRowSpaceDialog(int* space, BOOL* asDefault) override {
        if (spaceAnswer < 0) return FALSE;
        *space = spaceAnswer;
        *asDefault = spaceAsDefault;
        return TRUE;
    }
};

class FlexListTest : public kelmon::test::ui::UiTest {
protected:
    FlexListTest() {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
        pavlet::SetPrivateProfileName(dir.file("user.ini"));
        platform::FlushProfileCache();
    }
    ~FlexListTest() override {
        pavlet::SetPrivateProfileName("");
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        platform::FlushProfileCache();
    }
    void SetUp() override {
        table.Create(kLayout);
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 460, 300},
                                  nullptr, 0));
        ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_SHOWSELALWAYS, RECT{0, 0, 440, 280},
                                &host, 91));
    }
    void TearDown() override {
        if (list.m_hWnd) list.DestroyWindow();
        if (host.m_hWnd) host.DestroyWindow();
        UiTest::TearDown();
    }
    void Add(const char* name, int qty, const char* kind = "", int color = 0) {
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(kName, name, row);
        table.Set(kQty, int32_t{qty}, row);
        table.Set(kPrice, 1.5 * qty, row);
        table.Set(kKind, kind, row);
        table.Set(100u, int32_t{color}, row);
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < list.GetViewCount(); ++row)
            texts.push_back(list.GetRecordText(column, row));
        return texts;
    }
    QWidget* Rows() { return static_cast<QAbstractScrollArea*>(list.GetWidget())->viewport(); }
    int HeaderHeight() {
        RECT r{};
        ::GetWindowRect(list.GetHeaderHwnd(), &r);
        return r.bottom - r.top;
    }
    RECT CellRect(int row, int column) {
        RECT r{};
        r.top = column;
        r.left = LVIR_BOUNDS;
        ::SendMessage(list.m_hWnd, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    // A click at a client point of the list (rows' area).
    void ClickAt(int x, int y) {
        QTest::mouseClick(Rows(), Qt::LeftButton, {}, QPoint(x, y - HeaderHeight()));
    }
    LRESULT HeaderNotify(UINT code, int item, int order = -1) {
        HDITEM moved;
        moved.mask = HDI_ORDER;
        moved.iOrder = order;
        NMHEADER nm;
        nm.hdr.hwndFrom = list.GetHeaderHwnd();
        nm.hdr.idFrom = 0;
        nm.hdr.code = code;
        nm.iItem = item;
        nm.iButton = 0;
        nm.pitem = &moved;
        return ::SendMessage(list.m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    }
    LPARAM HeaderData(int item) {
        HDITEM data;
        data.mask = HDI_LPARAM;
        data.lParam = 0;
        ::SendMessage(list.GetHeaderHwnd(), HDM_GETITEM, item, reinterpret_cast<LPARAM>(&data));
        return data.lParam;
    }

    testsupport::TempDir dir;
    CFixRecord table;
    Host host;
    ScriptedList list;
};

TEST_F(FlexListTest, ColumnsStopAtTheFirstPseudoFieldAndRowNumbersFollowTheTableRows) {
    Add("甲", 3);
    Add("乙", 1);
    Add("丙", 2);
    list.SetCtrlExStyle((list.GetCtrlExStyle() & 0xFFFFF) | FLS_ROWNUMBER);
    list.SetRecord(&table, nullptr, kQty, FALSE);
    EXPECT_TRUE(list.GetCtrlExStyle() & FLS_HASCOLOR);
    EXPECT_TRUE(list.GetCtrlExStyle() & FLS_HASCHECKBOX);
    ASSERT_EQ(list.GetColumnCount(), 5);  // row numbers + four fields; "备注" is after "color"
    EXPECT_EQ(list.GetFieldIndex(0), FLEXLIST_ROWNUMBER);
    EXPECT_EQ(list.GetColumnIndex(7), -1);
    // Sorted by quantity: the numbers are those of the table rows, not of the display.
    EXPECT_EQ(Column(1), (std::vector<std::string>{"乙", "丙", "甲"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"2", "3", "1"}));
    // Without sorting they count 1, 2, 3 down the list.
    list.SetRecord(&table, nullptr, 0, FALSE);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));
    char caption[32] = {};
    HDITEM item;
    item.mask = HDI_TEXT;
    item.pszText = caption;
    item.cchTextMax = sizeof caption;
    ::SendMessage(list.GetHeaderHwnd(), HDM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(caption, "序号");
    // The row-number column and the fixed columns cannot be dragged; the others can.
    list.SetFixedCols(2);
    EXPECT_EQ(HeaderNotify(HDN_BEGINDRAG, 0), TRUE);
    EXPECT_EQ(HeaderNotify(HDN_BEGINDRAG, 1), TRUE);
    EXPECT_EQ(HeaderNotify(HDN_BEGINDRAG, 2), FALSE);
    // A drag that ends among the fixed columns lands after them.
    HeaderNotify(HDN_ENDDRAG, 3, 0);
    EXPECT_EQ(list.GetFieldIndex(0), FLEXLIST_ROWNUMBER);
    EXPECT_EQ(list.GetFieldIndex(1), 0);
    EXPECT_EQ(list.GetFieldIndex(2), 2);  // "价格"
}

TEST_F(FlexListTest, FilterThatKeepsNoRowShowsNoRowAndThePrompt) {
    for (int i = 0; i < 4; ++i) Add(("n" + std::to_string(i)).c_str(), i);
    list.SetRecord(&table, nullptr);
    list.SetBlankPrompt("没有记录", RGB(0xFF, 0x00, 0x00));
    struct Case {
        GridFilterFunctor keep;
        int rows;
    };
    const Case cases[] = {
        {[](CFixRecord* t, int row, void*) { return t->GetLong(kQty, row) % 2; }, 2},
        {[](CFixRecord*, int, void*) { return 0; }, 0},
        {[](CFixRecord*, int, void*) { return 1; }, 4},
        {nullptr, 4},
    };
    for (const Case& c : cases) {
        list.SetFilterFunctor(c.keep, nullptr);
        EXPECT_EQ(list.GetViewCount(), c.rows);
        EXPECT_EQ(::SendMessage(list.m_hWnd, LVM_GETITEMCOUNT, 0, 0), c.rows);
    }
    list.SetFilterFunctor([](CFixRecord*, int, void*) { return 0; }, nullptr);
    EXPECT_EQ(list.GetRecordText(0, 0), "");
    // The blank prompt shows in its colour.
    const PixelProbe probe(list.GetWidget());
    int reddish = 0;
    for (int y = 0; y < probe.Height(); ++y)
        for (int x = 0; x < probe.Width(); ++x) {
            const COLORREF c = probe.At(x, y);
            if (GetRValue(c) > 0xC0 && GetGValue(c) < 0x80 && GetBValue(c) < 0x80) ++reddish;
        }
    EXPECT_GT(reddish, 10);
}

TEST_F(FlexListTest, HyperlinkCellClicksAreReportedToTheParent) {
    Add("甲", 1);
    Add("乙", 2);
    list.SetRecord(&table, nullptr);
    list.SetFieldHyperlink(1, TRUE);
    EXPECT_TRUE(HeaderData(1) & FLEXHDR_HYPERLINK);
    EXPECT_FALSE(HeaderData(0) & FLEXHDR_HYPERLINK);
    const RECT link = CellRect(1, 1);
    ClickAt((link.left + link.right) / 2, (link.top + link.bottom) / 2);
    const RECT plain = CellRect(1, 0);
    ClickAt((plain.left + plain.right) / 2, (plain.top + plain.bottom) / 2);
    DrainEvents();
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_EQ(host.notices[0].first, FLEXLIST_HYPERLINK);
    EXPECT_EQ(host.notices[0].second, reinterpret_cast<LPARAM>(&list));
    list.SetFieldHyperlink(1, FALSE);
    EXPECT_FALSE(HeaderData(1) & FLEXHDR_HYPERLINK);
}

TEST_F(FlexListTest, CheckBoxesByMouseSpaceBarAndHeader) {
    for (int i = 0; i < 3; ++i) Add(("n" + std::to_string(i)).c_str(), i);
    list.SetRecord(&table, nullptr);
    EXPECT_EQ(list.GetCtrlCheckImage(), 0);
    // A click on the box of row 1 checks it and tells the parent.
    const RECT cell = CellRect(1, 0);
    ClickAt(cell.left + 2 + 6, (cell.top + cell.bottom) / 2);
    EXPECT_EQ(table.GetLong(3010u, 1), 1);
    EXPECT_EQ(list.GetCtrlCheckImage(), 2);
    // The space bar toggles the focused row.
    list.SetActiveItem(2);
    list.SetFocus();
    QTest::keyClick(list.GetWidget(), Qt::Key_Space);
    EXPECT_EQ(table.GetLong(3010u, 2), 1);
    QTest::keyClick(list.GetWidget(), Qt::Key_Space);
    EXPECT_EQ(table.GetLong(3010u, 2), 0);
    DrainEvents();
    ASSERT_EQ(host.notices.size(), 3u);
    for (const auto& notice : host.notices) EXPECT_EQ(notice.first, FLEXLIST_CHECKED);
    list.SetCheckAll(TRUE);
    EXPECT_EQ(list.GetCtrlCheckImage(), 1);
    EXPECT_EQ(list.GetCheckCount(), 3);
    list.SetCheckAll(FALSE);
    EXPECT_EQ(list.GetCtrlCheckImage(), 0);
}

TEST_F(FlexListTest, DetailGroupsExpandCollapseAndKeepTheirStateWhenRebuilt) {
    Add("a1", 1, "期货");
    Add("b1", 2, "期权");
    Add("a2", 3, "期货");
    Add("c1", 4, "现货");
    Add("a3", 5, "期货");
    list.SetRecord(&table, nullptr);
    list.SetMapDetail("4");
    ASSERT_TRUE(list.GetCtrlExStyle() & FLS_GROUPACTIVE);
    EXPECT_EQ(table.GetMemRecord()->GetItemText(6, 0), "期货&");
    CMemRecord* groups = list.GetMapRecord();
    ASSERT_NE(groups, nullptr);
    ASSERT_EQ(groups->GetCount(), 3);
    // One group row per kind; the three futures follow theirs, single members stay folded.
    EXPECT_EQ(list.GetViewCount(), 6);
    EXPECT_EQ(list.GetMapRecno(0), GRID_GROUPROW | 0);
    EXPECT_EQ(Column(0)[1], "a1");
    EXPECT_TRUE(groups->GetItemExtendStyle(1) & GRID_GROUP_FIXED);
    // The expander of the first group row folds it.
    const RECT cell = CellRect(0, 0);
    ClickAt(cell.left + 2 + 6, (cell.top + cell.bottom) / 2);
    EXPECT_EQ(list.GetViewCount(), 3);
    // Regrouping keeps the folded state; a filter applies to members.
    list.SetMapDetail("4");
    EXPECT_EQ(list.GetViewCount(), 3);
    list.SetFilterFunctor(
        [](CFixRecord* t, int row, void*) { return t->GetLong(kQty, row) != 4 ? 1 : 0; }, nullptr);
    EXPECT_EQ(list.GetViewCount(), 2);
    // Checking a group row checks its members.
    list.SetRecordCheckImage(1, 0);
    for (int row : {0, 2, 4}) EXPECT_EQ(table.GetLong(3010u, row), 1);
    EXPECT_EQ(list.GetRecordCheckImage(0), 1);
    // No identities: grouping ends.
    list.SetMapDetail("");
    EXPECT_FALSE(list.GetCtrlExStyle() & FLS_GROUPACTIVE);
}

TEST_F(FlexListTest, LayoutRoundTripsThroughTheStore) {
    Add("甲", 1);
    list.SetRecord(&table, kLayoutName);
    list.MoveField(2, 0);
    const std::string stored = pavlet::ReadPrivateConfigure("LISTORDER", kLayoutName, nullptr);
    EXPECT_EQ(stored.rfind("3:", 0), 0u) << stored;
    EXPECT_NE(stored.back(), ',');
    EXPECT_EQ(std::count(stored.begin(), stored.end(), ','), 3);
    // A second list under the name shows the same order and widths.
    CFlexListCtrl other;
    ASSERT_TRUE(other.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, 200}, &host, 92));
    other.SetRecord(&table, kLayoutName);
    EXPECT_EQ(other.GetColumnOrder(), stored);
    // An order naming a field the table lacks changes nothing, even with valid items.
    other.SetColumnOrder("1:50,999:40");
    EXPECT_EQ(other.GetColumnOrder(), stored);
    other.SetColumnOrder("77:40");  // "备注" is after "color": no column
    EXPECT_EQ(other.GetColumnOrder(), stored);
    // Widths of 0 or past 32767 take the current width.
    other.SetColumnOrder("1:0,2:40000");
    EXPECT_EQ(other.GetColumnCount(), 2);
    EXPECT_GT(::SendMessage(other.m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0), 0);
    EXPECT_LT(::SendMessage(other.m_hWnd, LVM_GETCOLUMNWIDTH, 1, 0), 32768);
    other.DestroyWindow();

    // Attributes: written in their order, read back by the next list.
    ::SendMessage(list.m_hWnd, WM_GRID_COMMAND, 8, 0);  // grid lines off
    const std::string attributes = pavlet::ReadPrivateConfigure("LISTCTRL", kLayoutName, nullptr);
    EXPECT_EQ(attributes.rfind("indicator=1|gridline=0|gridcolor=15461355|rowspace=", 0), 0u)
        << attributes;
    pavlet::WritePrivateConfigure("LISTCTRL", kLayoutName,
                                  "indicator=0|gridline=1|gridcolor=255|rowspace=9|bkcolor=65535|");
    CFlexListCtrl third;
    ASSERT_TRUE(third.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, 200}, &host, 93));
    third.SetRecord(&table, kLayoutName);
    EXPECT_FALSE(third.GetCtrlExStyle() & FLS_INDICATORON);
    EXPECT_TRUE(third.GetCtrlExStyle() & FLS_GRIDLINESON);
    EXPECT_EQ(third.GetGridColor(), 255u);
    EXPECT_EQ(third.GetRowSpaceValue(), 9);
    EXPECT_EQ(third.GetListBkColor(), 65535u);
    // Switching the permission off also switches the state off.
    third.SetCtrlExStyle(third.GetCtrlExStyle() & ~FLS_GRIDLINES & 0xFFFFF);
    EXPECT_FALSE(third.GetCtrlExStyle() & FLS_GRIDLINESON);
    third.DestroyWindow();
}

TEST_F(FlexListTest, FixedPitchFontMeasuresBytesTimesTheAverageWidth) {
    Add("ABCDEFGH", 1);
    Add("期货", 2);
    list.SetRecord(&table, nullptr);
    LOGFONT font{};
    font.lfHeight = -12;
    font.lfPitchAndFamily = FIXED_PITCH;
    std::strcpy(font.lfFaceName, "DejaVu Sans Mono");
    list.SetViewFont(&font);
    if (!(list.GetCtrlExStyle() & FLS_FIXEDPITCH)) GTEST_SKIP() << "no fixed-pitch font here";
    LOGFONT stored{};
    EXPECT_TRUE(list.GetViewFont(&stored));
    list.Refresh(0);
    const int average = list.MeasureText("A");
    EXPECT_EQ(list.MeasureText("期货"), 4 * average);  // four GBK bytes
    EXPECT_EQ(list.GetDataWidth(0), 8 * average);
}

TEST_F(FlexListTest, SaveToFileWritesWhatTheListShowsAsDbase) {
    Add("甲", 12);
    Add("乙", 3);
    list.SetCtrlExStyle((list.GetCtrlExStyle() & 0xFFFFF) | FLS_ROWNUMBER);
    list.SetRecord(&table, nullptr, kQty, FALSE);
    const std::string path = dir.file("out.dbf");
    ASSERT_TRUE(list.SaveToFile(path.c_str()));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 32u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(static_cast<uint8_t>(bytes[4]), 2);  // records
    const int fields = 5;
    const int headerLength = static_cast<uint8_t>(bytes[8]) | (static_cast<uint8_t>(bytes[9]) << 8);
    EXPECT_EQ(headerLength, 33 + 32 * fields);
    EXPECT_EQ(bytes.substr(32, 4), platform::Utf8ToGbk("序号"));
    EXPECT_EQ(bytes.substr(64, 4), platform::Utf8ToGbk("名称"));
    const int recordLength =
        static_cast<uint8_t>(bytes[10]) | (static_cast<uint8_t>(bytes[11]) << 8);
    EXPECT_EQ(bytes.size(), static_cast<size_t>(headerLength + 2 * recordLength));
    // The first record is the one shown first (quantity 3, table row 2).
    const std::string first =
        bytes.substr(static_cast<size_t>(headerLength), static_cast<size_t>(recordLength));
    EXPECT_EQ(first[0], ' ');
    EXPECT_EQ(first[1], '2');
    EXPECT_NE(first.find(platform::Utf8ToGbk("乙")), std::string::npos);
    // Nowhere to write: failure, not success.
    EXPECT_FALSE(list.SaveToFile(dir.file("missing/out.dbf").c_str()));
}

TEST_F(FlexListTest, RowsAreFramedAndGridLinesTakeTheLeftAndBottomPixel) {
    for (int i = 0; i < 3; ++i) Add(("n" + std::to_string(i)).c_str(), i);
    list.SetRecord(&table, nullptr);
    list.SetCtrlExStyle(FLS_INDICATOR);  // no permission: grid lines go off and stay off
    ::SendMessage(list.m_hWnd, WM_GRID_COMMAND, 8, 1);
    ASSERT_FALSE(list.GetCtrlExStyle() & FLS_GRIDLINESON);
    list.SetCtrlExStyle(FLS_GRIDLINES | FLS_INDICATOR);
    ::SendMessage(list.m_hWnd, WM_GRID_COMMAND, 8, 1);
    ASSERT_TRUE(list.GetCtrlExStyle() & FLS_GRIDLINESON);
    list.SetActiveItem(0);
    ::SendMessage(list.m_hWnd, WM_GRID_COMMAND, 5, static_cast<LPARAM>(RGB(0x10, 0x20, 0x30)));
    const PixelProbe probe(Rows());
    const int hh = HeaderHeight();
    const RECT unselected = CellRect(2, 1);
    // Grid lines: the cell's left column and bottom row of pixels.
    EXPECT_EQ(probe.At(unselected.left, (unselected.top + unselected.bottom) / 2 - hh),
              list.GetGridColor());
    EXPECT_EQ(probe.At((unselected.left + unselected.right) / 2, unselected.bottom - 1 - hh),
              list.GetGridColor());
    // The selected row of a list that only shows its selection: its pair of colours, framed
    // in the light frame colour.
    const RECT selected = CellRect(0, 1);
    EXPECT_EQ(probe.At((selected.left + selected.right) / 2,
                       (selected.top + selected.bottom) / 2 - hh + 3),
              RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(probe.At((selected.left + selected.right) / 2, selected.top - hh),
              CFlexListCtrl::kShowFrame);
}

TEST_F(FlexListTest, RowsRemovedAfterARefreshPaintAndReadEmpty) {
    for (int i = 0; i < 6; ++i) Add(("n" + std::to_string(i)).c_str(), i);
    list.SetRecord(&table, nullptr, kQty, TRUE);
    EXPECT_EQ(list.GetViewCount(), 6);
    // Another thread empties the table before the next refresh: every mapped row is checked.
    table.GetMemRecord()->Zap();
    EXPECT_EQ(list.GetRecordText(0, 0), "");
    EXPECT_EQ(list.GetRecordCheckImage(0), 0);
    const QImage image = list.GetWidget()->grab().toImage();
    EXPECT_FALSE(image.isNull());
    pavlet::ExportTable exported;
    list.CollectExport(&exported);
    EXPECT_EQ(exported.rows.size(), 6u);
    list.Refresh(0);
    EXPECT_EQ(list.GetViewCount(), 0);
}

TEST_F(FlexListTest, ContextMenuDialogsAndCommands) {
    kelmon::test::ui::MenuDriver menus;
    Add("甲", 2);
    Add("乙", 1);
    list.SetRecord(&table, kLayoutName);
    auto open = [&] {
        POINT at{20, HeaderHeight() + 3};
        list.ClientToScreen(&at);
        list.SendMessage(WM_CONTEXTMENU, static_cast<WPARAM>(list.m_hWnd),
                         MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)));
        DrainEvents();
    };
    open();
    const QStringList full{
        "设置显示栏目和顺序", "-", "设置显示字体",   "设置行间距", "设置背景颜色",
        "设置网格线颜色",     "-", "升序排序",       "降序排序",   "-",
        "调整全部列宽",       "-", "显示记录指示器", "显示网格",   "-",
        "保存到DBF文件"};
    EXPECT_EQ(menus.LastTexts(), full);
    EXPECT_TRUE(GetMenuState(menus.LastMenu(), 10, MF_BYCOMMAND) & MF_CHECKED);

    // Column order dialog: the shown identities in, the chosen order applied and stored.
    list.orderAnswer = "2,1";
    menus.ChooseNext(12);
    open();
    EXPECT_EQ(list.orderAsked, "1,2,3,4");
    ASSERT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(list.GetFieldIndex(0), 1);
    EXPECT_EQ(pavlet::ReadPrivateConfigure("LISTORDER", kLayoutName, nullptr),
              list.GetColumnOrder());

    // Row spacing: stored with the attributes, and with the check box the class's as well.
    list.spaceAnswer = 7;
    list.spaceAsDefault = TRUE;
    const int before = list.GetItemHeight();
    menus.ChooseNext(18);
    open();
    EXPECT_EQ(list.GetRowSpaceValue(), 7);
    EXPECT_EQ(list.GetItemHeight(), before - 4 + 7);
    EXPECT_NE(pavlet::ReadPrivateConfigure("LISTCTRL", kLayoutName, nullptr).find("rowspace=7|"),
              std::string::npos);
    EXPECT_EQ(CFlexListCtrl::SetRowSpace(4), 7);

    // The menu's sort entry sorts by the column under the mouse and tells the parent.
    host.changed.clear();
    menus.ChooseNext(1);
    open();
    EXPECT_EQ(list.GetSortField(), 1);
    EXPECT_EQ(list.GetRecordText(0, 0), "1");
    ASSERT_FALSE(host.changed.empty());
    EXPECT_EQ(host.changed.back().iSubItem, 0);

    // Queries and style bits.
    EXPECT_EQ(list.SendMessage(WM_GRID_COMMAND, 17, 0), static_cast<LRESULT>(list.GetGridColor()));
    list.SendMessage(WM_GRID_COMMAND, 16, FLS_FITCLIENT | FLS_ROWNUMBER);
    const auto style = static_cast<DWORD>(list.SendMessage(WM_GRID_COMMAND, 15, 0));
    EXPECT_EQ(style & 0xFFFFF, FLS_FITCLIENT | FLS_ROWNUMBER);
    EXPECT_EQ(style & (FLS_HASCOLOR | FLS_HASCHECKBOX), FLS_HASCOLOR | FLS_HASCHECKBOX);
    EXPECT_EQ(list.GetFieldIndex(0), FLEXLIST_ROWNUMBER);
    // Fit to the client: the data columns share the room left equally, the rest unused.
    int total = 0;
    for (int c = 0; c < list.GetColumnCount(); ++c)
        total += static_cast<int>(::SendMessage(list.m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
    const int client = static_cast<QAbstractScrollArea*>(list.GetWidget())->viewport()->width();
    EXPECT_LE(total, client);
    EXPECT_GT(total, client - (list.GetColumnCount() - 1));
    EXPECT_EQ(::SendMessage(list.m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0), list.GetColumnMinWidth(0));
}

TEST_F(FlexListTest, FocusedRowFrameAndToolTipText) {
    Add("甲", 2);
    Add("乙", 1);
    list.SetRecord(&table, nullptr);
    list.SetToolTipCtrl(
        [](CFixRecord* t, int row, int column, void*) -> const char* {
            static std::string text;
            text = t->GetMemRecord()->GetItemText(0, row) + "/" + std::to_string(column);
            return text.c_str();
        },
        nullptr);
    EXPECT_EQ(list.GetToolTipText(1, 2), "乙/2");
    EXPECT_EQ(list.GetToolTipText(5, 0), "");  // no such row
    list.SetActiveItem(1);
    list.SendMessage(WM_SETFOCUS, 0, 0);
    const PixelProbe probe(Rows());
    const RECT cell = CellRect(1, 1);
    EXPECT_EQ(probe.At((cell.left + cell.right) / 2, cell.top - HeaderHeight()),
              CFlexListCtrl::kFocusFrame);
    EXPECT_EQ(table.GetMemRecord()->GetNo(), 1);  // the cursor follows the active row
}

TEST_F(FlexListTest, ItemHeightResizeAndExportCommand) {
    for (int i = 0; i < 4; ++i) Add(("n" + std::to_string(i)).c_str(), i);
    list.SetRecord(&table, nullptr);
    const int natural = list.GetItemHeight();
    // A custom height below the line height is raised to it; the previous one comes back.
    EXPECT_EQ(list.SetItemHeight(40), 0);
    EXPECT_EQ(list.GetItemHeight(), 40);
    EXPECT_EQ(list.SetItemHeight(1), 40);
    EXPECT_LT(list.GetItemHeight(), natural);
    list.SetItemHeight(0);
    EXPECT_EQ(list.GetItemHeight(), natural);
    // Resized to the rows: the four rows and the header fill the client area.
    list.ResizeToFit(TRUE, TRUE);
    const auto* area = static_cast<QAbstractScrollArea*>(list.GetWidget());
    EXPECT_EQ(area->viewport()->height(), 4 * natural);
    // Command 100 writes the file the save dialog names; a cancelled dialog writes nothing.
    list.SendMessage(WM_GRID_COMMAND, 100, 0);
    list.exportPath = dir.file("list.dbf");
    list.SendMessage(WM_GRID_COMMAND, 100, 0);
    std::ifstream in(list.exportPath, std::ios::binary);
    ASSERT_TRUE(in.good());
    EXPECT_EQ(in.get(), 3);
}

TEST_F(FlexListTest, Gallery) {
    const char* names[] = {"IF2412", "IC2412", "cu2501", "m2505", "SR505", "au2502"};
    for (int i = 0; i < 12; ++i)
        Add(names[i % 6], (i * 7) % 23 + 1, i % 3 ? "期货" : "期权", i % 16);
    list.SetCtrlExStyle((list.GetCtrlExStyle() & 0xFFFFF) | FLS_ROWNUMBER | FLS_SORTCOLOR);
    list.SetRecord(&table, nullptr, kQty, TRUE);
    list.SetFieldHyperlink(0, TRUE);
    list.SetActiveItem(2);
    ::SendMessage(list.m_hWnd, WM_GRID_COMMAND, 8, 1);
    auto save = [&](const char* name) {
        const QImage image = host.GetWidget()->grab().toImage();
        EXPECT_TRUE(image.save(QDir(kelmon::test::ui::ScreenshotDir()).filePath(name))) << name;
    };
    save("flexlist_plain.png");
    list.SetMapDetail("4");
    save("flexlist_grouped.png");
    list.SetMapDetail("");
    list.SetFilterFunctor([](CFixRecord*, int, void*) { return 0; }, nullptr);
    list.SetBlankPrompt("没有符合条件的记录");
    save("flexlist_blank.png");
}

}  // namespace
