// The grid's commands and what they tell the parent, its context menu (entries, where a choice
// goes), the column-order and list-style dialogs behind their seams, and in-place editing.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QTest>

#include "flexui/ColumnOrderDlg.h"
#include "flexui/GridCtrl.h"
#include "flexui/ListStyleDlg.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "support/TempDir.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::MenuDriver;

constexpr unsigned kName = 1, kQty = 2, kPrice = 3;
constexpr const char* kLayoutName = "TRADES";

const tagFIXHEADERINFO kLayout[] = {{kName, "名称", "C16", 0},
                                    {kQty, "数量", "N10", 0},
                                    {kPrice, "价格", "R12.2", 0},
                                    {100, "color", "N4", 0},
                                    {0, "", "", 0}};

// A parent that records the grid's notifications and commands and answers the edits.
class Host : public CWnd {
public:
    std::vector<NMGRIDCOMMAND> commands;
    std::vector<UINT> menuCommands;
    std::vector<std::string> ended;  // "<row>,<column>:<text or (none)>"
    int beginAnswer = 0;             // non-zero refuses an edit
    int endAnswer = 1;               // non-zero stores a kept text
    int begun = 0;
    bool addEntry = false;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (CWnd::OnNotify(wParam, lParam, result)) return TRUE;
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (nm->code == GRIDN_COMMAND)
            commands.push_back(*reinterpret_cast<NMGRIDCOMMAND*>(lParam));
        if (nm->code == LVN_BEGINLABELEDIT) {
            ++begun;
            *result = beginAnswer;
            return TRUE;
        }
        if (nm->code == LVN_ENDLABELEDIT) {
            const auto* info = reinterpret_cast<NMLVDISPINFO*>(lParam);
            ended.push_back(std::to_string(info->item.iItem) + "," +
                            std::to_string(info->item.iSubItem) + ":" +
                            (info->item.pszText ? info->item.pszText : "(none)"));
            *result = endAnswer;
            return TRUE;
        }
        return FALSE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_INITMENUPOPUP && addEntry)
            ::AppendMenu(static_cast<HMENU>(wParam), MF_STRING, 201, "父窗口项");
        if (message == WM_COMMAND) menuCommands.push_back(LOWORD(wParam));
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// A grid whose dialogs answer from a script.
class ScriptedGrid : public CGridCtrl {
public:
    std::string orderAnswer;  // empty: cancelled
    std::string orderAsked, fieldsAsked;
    bool styleAnswer = false;
    COLORREF styleChosen[8] = {};
    bool libraryDialogs = false;  // the library's own dialogs instead of the script

protected:
    BOOL RunColumnOrderDialog(const std::string& order, const std::string& fields,
                              std::string* result) override {
        if (libraryDialogs) return CGridCtrl::RunColumnOrderDialog(order, fields, result);
        orderAsked = order;
        fieldsAsked = fields;
        if (orderAnswer.empty()) return FALSE;
        *result = orderAnswer;
        return TRUE;
    }
    BOOL RunListStyleDialog(COLORREF colors[8]) override {
        if (libraryDialogs) return CGridCtrl::RunListStyleDialog(colors);
        if (!styleAnswer) return FALSE;
        std::copy(styleChosen, styleChosen + 8, colors);
        return TRUE;
    }
};

class GridCommandsTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
        pavlet::SetPrivateProfileName(dir.file("user.ini"));
        platform::FlushProfileCache();
        table.Create(kLayout);
        for (int i = 0; i < 3; ++i) {
            const int row = table.GetMemRecord()->Append(nullptr, true);
            table.Set(kName, ("合约" + std::to_string(i)).c_str(), row);
            table.Set(kQty, int32_t{i + 1}, row);
            table.Set(kPrice, 10.5 * (i + 1), row);
        }
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 420, 300},
                                  nullptr, 0));
        ASSERT_TRUE(
            grid.Create(WS_CHILD | WS_VISIBLE | LVS_EDITLABELS, RECT{0, 0, 400, 280}, &host, 77));
        grid.SetExStyle(GRID_INDICATOR | GRID_GRIDLINES, 0xFFFF);
        grid.SetRecord(&table, kLayoutName);
    }
    void TearDown() override {
        grid.DestroyWindow();
        host.DestroyWindow();
        UiTest::TearDown();
        pavlet::SetPrivateProfileName("");
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        platform::FlushProfileCache();
    }
    // Opens the context menu over a cell of row 0 and lets the menu driver answer it.
    void OpenMenu(int column) {
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_LABEL;
        grid.SendMessage(LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell));
        POINT at{cell.left + 3, cell.top + 3};
        grid.ClientToScreen(&at);
        grid.SendMessage(WM_CONTEXTMENU, static_cast<WPARAM>(grid.m_hWnd),
                         MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)));
        kelmon::test::ui::DrainEvents();
    }
    QLineEdit* EditWidget() {
        CWnd* edit = grid.GetEditCtrl();
        return edit ? qobject_cast<QLineEdit*>(edit->GetWidget()) : nullptr;
    }

    testsupport::TempDir dir;
    CFixRecord table;
    Host host;
    ScriptedGrid grid;
};

TEST_F(GridCommandsTest, CommandsTellTheParentExceptTheQueries) {
    struct Case {
        WPARAM code;
        LPARAM value;
        bool notifies;
    } const cases[] = {{15, 0, false}, {17, 0, false},       {3, 0x00FF00, true},
                       {8, 0, true},   {21, 0x0000FF, true}, {999, 7, true}};
    for (const Case& c : cases) {
        host.commands.clear();
        const LRESULT result = grid.SendMessage(WM_GRID_COMMAND, c.code, c.value);
        if (c.code == 15) {
            EXPECT_EQ(static_cast<uint32_t>(result), grid.GetExStyle());
        } else if (c.code == 17) {
            EXPECT_EQ(static_cast<COLORREF>(result), 0xEBEBEBu);
        }
        if (!c.notifies) {
            EXPECT_TRUE(host.commands.empty()) << c.code;
            continue;
        }
        EXPECT_EQ(result, 1);
        ASSERT_EQ(host.commands.size(), 1u) << c.code;
        EXPECT_EQ(host.commands[0].command, c.code);
        EXPECT_EQ(host.commands[0].value, c.value);
        EXPECT_EQ(host.commands[0].hdr.idFrom, 77u);
    }
    EXPECT_EQ(grid.SendMessage(WM_GRID_COMMAND, 17, 0), 0x00FF00);
    EXPECT_FALSE(grid.GetExStyle() & GRID_GRIDLINES);
    grid.SendMessage(WM_GRID_COMMAND, 2, 1);  // sort by column 1 descending
    EXPECT_EQ(grid.GetSortField(), 1);
    EXPECT_EQ(grid.GetSortDirection(), 1);
    EXPECT_EQ(grid.GetRecordText(1, 0), "3");
}

TEST_F(GridCommandsTest, ContextMenuEntriesFollowTheStyle) {
    MenuDriver menus;
    const QStringList full{"设置显示栏目和顺序",
                           "-",
                           "设置显示字体",
                           "-",
                           "设置标题栏显示字体",
                           "-",
                           "设置列表显示风格",
                           "-",
                           "显示记录指示器",
                           "显示网格线",
                           "-",
                           "调整列显示宽度",
                           "保存到DBF文件",
                           "保存到csv文件"};
    OpenMenu(0);
    EXPECT_EQ(menus.LastTexts(), full);
    EXPECT_TRUE(GetMenuState(menus.LastMenu(), 24, MF_BYCOMMAND) & MF_CHECKED);

    // A header font and a custom row height add their removal entries.
    LOGFONT font{};
    font.lfHeight = -14;
    services_.AnswerFont(font);
    grid.SendMessage(WM_GRID_COMMAND, 26, 0);
    grid.SetItemHeight(grid.GetLineHeight() + 5);
    OpenMenu(0);
    EXPECT_TRUE(menus.LastTexts().contains("删除标题栏字体"));
    EXPECT_TRUE(menus.LastTexts().contains("清除列表行高度设置"));

    struct Case {
        uint32_t style;
        const char* layout;
        QStringList texts;
    } const cases[] = {
        {GRID_NOFONTMENU,
         kLayoutName,
         {"设置显示栏目和顺序", "-", "调整列显示宽度", "保存到DBF文件", "保存到csv文件"}},
        {0, "", {"调整列显示宽度", "保存到DBF文件", "保存到csv文件"}},
        {GRID_FITCLIENT, "", {"保存到DBF文件", "保存到csv文件"}},
    };
    for (const Case& c : cases) {
        grid.SetExStyle(c.style, 0xFFFF);
        grid.SetRecord(&table, c.layout);
        OpenMenu(0);
        EXPECT_EQ(menus.LastTexts(), c.texts) << c.style;
    }
    // No entries of the grid's own: only what the parent adds.
    host.addEntry = true;
    grid.SetExStyle(GRID_NOMENU, 0xFFFF);
    OpenMenu(0);
    EXPECT_EQ(menus.LastTexts(), QStringList{"父窗口项"});
    const int shown = menus.Shown();
    grid.SetRecord(nullptr);
    OpenMenu(0);
    EXPECT_EQ(menus.Shown(), shown);  // no table, no menu
}

TEST_F(GridCommandsTest, AChoiceGoesToTheGridOrToTheParent) {
    MenuDriver menus;
    host.addEntry = true;
    menus.ChooseNext(24);
    OpenMenu(2);
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].command, 24u);
    EXPECT_EQ(host.commands[0].value, 2);  // the column under the cursor
    EXPECT_FALSE(grid.GetExStyle() & GRID_INDICATOR);
    EXPECT_EQ(
        pavlet::ReadPrivateConfigure("LISTCTRL", kLayoutName, nullptr).rfind("indicator=0|", 0),
        0u);
    EXPECT_TRUE(host.menuCommands.empty());

    menus.ChooseNext(201);
    OpenMenu(1);
    EXPECT_EQ(host.menuCommands, std::vector<UINT>{201});
    EXPECT_EQ(host.commands.size(), 1u);  // nothing reached the grid
}

TEST_F(GridCommandsTest, ColumnOrderAndListStyleDialogsApplyAndStoreTheirResults) {
    grid.orderAnswer = "3,1";
    grid.SendMessage(WM_GRID_COMMAND, 12, 0);
    EXPECT_EQ(grid.orderAsked, "1,2,3");
    EXPECT_EQ(grid.fieldsAsked, "1:名称,2:数量,3:价格");
    ASSERT_EQ(grid.GetColumnCount(), 2);
    EXPECT_EQ(grid.GetFieldIndex(0), 2);
    EXPECT_EQ(grid.GetFieldIndex(1), 0);
    EXPECT_EQ(pavlet::ReadPrivateConfigure("LISTORDER", kLayoutName, nullptr),
              grid.GetHeaderOrderWidths());

    // The white-on-black choice with a default background: the system's window colour.
    grid.styleAnswer = true;
    const COLORREF chosen[8] = {CLR_INVALID, 0x000000, 0xEBEBEB,    CLR_INVALID,
                                0x000000,    0xA0A0A0, CLR_INVALID, CLR_INVALID};
    std::copy(chosen, chosen + 8, grid.styleChosen);
    grid.SendMessage(WM_GRID_COMMAND, 22, 0);
    EXPECT_EQ(static_cast<COLORREF>(grid.SendMessage(LVM_GETBKCOLOR, 0, 0)),
              GetSysColor(COLOR_WINDOW));
    const std::string stored = pavlet::ReadPrivateConfigure("LISTCTRL", kLayoutName, nullptr);
    EXPECT_NE(stored.find("gridcolor=15461355|"), std::string::npos) << stored;
    EXPECT_NE(stored.find("headergridcolor=10526880|"), std::string::npos) << stored;
    EXPECT_EQ(stored.find("selectedbkcolor"), std::string::npos) << stored;

    // Without a layout name there is nothing to keep the order under.
    grid.SetRecord(&table, "");
    grid.orderAsked = "-";
    grid.SendMessage(WM_GRID_COMMAND, 12, 0);
    EXPECT_EQ(grid.orderAsked, "-");
}

TEST_F(GridCommandsTest, TheLibraryDialogsServeTheCommands) {
    kelmon::test::ui::ModalDriver driver;
    grid.libraryDialogs = true;
    auto click = [](HWND dialog, int id) {
        ::SendMessage(::GetDlgItem(dialog, id), BM_CLICK);
        kelmon::test::ui::DrainEvents();
    };
    // "白底黑字" and OK: the classic grid-line colours, stored with the attributes.
    grid.SetGridlinesColor(0x0000FF);
    driver.OnNextModal([&](QWidget* window) {
        const HWND hwnd = platform::ui::WindowOf(window);
        click(hwnd, IDC_LIST_STYLE_WHITE);
        click(hwnd, IDOK);
    });
    grid.SendMessage(WM_GRID_COMMAND, 22, 0);
    EXPECT_EQ(driver.Handled(), 1);
    EXPECT_EQ(grid.SendMessage(WM_GRID_COMMAND, 17, 0), 0xEBEBEB);
    const std::string stored = pavlet::ReadPrivateConfigure("LISTCTRL", kLayoutName, nullptr);
    EXPECT_NE(stored.find("gridcolor=15461355|"), std::string::npos) << stored;
    EXPECT_NE(stored.find("headergridcolor=10526880|"), std::string::npos) << stored;

    // The column dialog offers the fields; its default and OK keep the order as it stands.
    const std::string order = grid.GetHeaderOrderWidths();
    driver.OnNextModal([&](QWidget* window) {
        const HWND hwnd = platform::ui::WindowOf(window);
        click(hwnd, IDC_COLUMN_DEFAULT);
        click(hwnd, IDOK);
    });
    grid.SendMessage(WM_GRID_COMMAND, 12, 0);
    EXPECT_EQ(driver.Handled(), 2);
    EXPECT_EQ(grid.GetHeaderOrderWidths(), order);
}

TEST_F(GridCommandsTest, InPlaceEditsAreApprovedRefusedAndStored) {
    // Refused by the parent: no edit.
    host.beginAnswer = 1;
    EXPECT_EQ(grid.BeginEdit(0, 0), 0);
    EXPECT_EQ(grid.GetEditCtrl(), nullptr);
    host.beginAnswer = 0;
    EXPECT_EQ(grid.BeginEdit(5, 0), 0);  // out of range: the parent is not asked
    EXPECT_EQ(host.begun, 1);

    // Kept and approved: stored into the table.
    ASSERT_EQ(grid.BeginEdit(1, 0), 1);
    QLineEdit* edit = EditWidget();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "合约1");
    EXPECT_EQ(edit->selectedText(), "合约1");
    edit->insert(QString::fromUtf8("新"));  // typed over the selection
    QTest::keyClick(edit, Qt::Key_Return);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(grid.GetEditCtrl(), nullptr);
    ASSERT_EQ(host.ended.size(), 1u);
    EXPECT_EQ(host.ended[0], "1,0:新");
    EXPECT_EQ(table.GetMemRecord()->GetItemText(0, 1), "新");

    // Kept but refused by the parent: the table keeps its text.
    host.endAnswer = 0;
    ASSERT_EQ(grid.BeginEdit(2, 1), 1);
    QTest::keyClicks(EditWidget(), "9");
    QTest::keyClick(EditWidget(), Qt::Key_Return);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(host.ended.back(), "2,1:9");
    EXPECT_EQ(table.GetMemRecord()->GetLong(1, 2), 3);

    // Esc: ended without a text, nothing changes.
    host.endAnswer = 1;
    ASSERT_EQ(grid.BeginEdit(0, 1), 1);
    QTest::keyClicks(EditWidget(), "77");
    QTest::keyClick(EditWidget(), Qt::Key_Escape);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(host.ended.back(), "0,1:(none)");
    EXPECT_EQ(table.GetMemRecord()->GetLong(1, 0), 1);

    // An unchanged text ends without one as well; the edit window is gone afterwards.
    ASSERT_EQ(grid.BeginEdit(0, 2), 1);
    const HWND editHwnd = grid.GetEditCtrl()->m_hWnd;
    QTest::keyClick(EditWidget(), Qt::Key_Return);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(host.ended.back(), "0,2:(none)");
    EXPECT_FALSE(::IsWindow(editHwnd));
}

TEST_F(GridCommandsTest, AClickOnACellLabelStartsEditing) {
    RECT cell{};
    cell.top = 1;
    cell.left = LVIR_LABEL;
    grid.SendMessage(LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&cell));
    auto* rows = static_cast<QAbstractScrollArea*>(grid.GetWidget())->viewport();
    const int headerHeight = rows->geometry().top();
    QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(cell.left + 4, cell.top + 4 - headerHeight));
    kelmon::test::ui::DrainEvents();
    ASSERT_NE(grid.GetEditCtrl(), nullptr);
    EXPECT_EQ(EditWidget()->text(), "2");
    // Losing the focus ends the edit, keeping a changed text.
    EditWidget()->setText("5");
    grid.GetEditCtrl()->SendMessage(EM_SETMODIFY, TRUE, 0);
    grid.SetFocus();
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(grid.GetEditCtrl(), nullptr);
    EXPECT_EQ(host.ended.back(), "1,1:5");
    EXPECT_EQ(table.GetMemRecord()->GetLong(1, 1), 5);
}

}  // namespace
