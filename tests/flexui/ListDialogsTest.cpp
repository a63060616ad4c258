// The library's list dialogs run modally and driven from inside: the column tree filled from
// the order text and its result, checking by the icon, moving and the move buttons, the tree's
// colours; the row space and the colour schemes; the library as resource module meanwhile.
#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "flexui/ColumnOrderDlg.h"
#include "flexui/ListStyleDlg.h"
#include "flexui/RowSpaceDlg.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;

const char* const kFields = "11:代码,12:名称,13:数量,14:价格";

struct TreeRow {
    std::string caption;
    bool checked;
    bool operator==(const TreeRow&) const = default;
};

HWND Tree(HWND dialog) { return ::GetDlgItem(dialog, IDC_COLUMN_TREE); }

HTREEITEM Next(HWND tree, WPARAM code, HTREEITEM item = 0) {
    return static_cast<HTREEITEM>(::SendMessage(tree, TVM_GETNEXTITEM, code, item));
}

std::vector<TreeRow> Rows(HWND tree) {
    std::vector<TreeRow> rows;
    for (HTREEITEM item = Next(tree, TVGN_ROOT); item; item = Next(tree, TVGN_NEXT, item)) {
        char text[64] = {};
        TVITEM info;
        info.mask = TVIF_TEXT | TVIF_IMAGE;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        ::SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
        rows.push_back({text, info.iImage == 1});
    }
    return rows;
}

HTREEITEM ItemAt(HWND tree, int index) {
    HTREEITEM item = Next(tree, TVGN_ROOT);
    while (item && index-- > 0) item = Next(tree, TVGN_NEXT, item);
    return item;
}

RECT LabelRect(HWND tree, HTREEITEM item) {
    RECT r{};
    r.left = static_cast<LONG>(item);
    ::SendMessage(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return r;
}

void Click(HWND dialog, int id) {
    ::SendMessage(::GetDlgItem(dialog, id), BM_CLICK);
    DrainEvents();
}

bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0; }

class ListDialogsTest : public kelmon::test::ui::UiTest {
protected:
    kelmon::test::ui::ModalDriver driver_;
};

struct FillCase {
    const char* order;
    std::vector<TreeRow> rows;
    const char* result;  // on OK, untouched
};

TEST_F(ListDialogsTest, ColumnTreeFollowsTheOrderTextAndGivesTheCheckedFields) {
    const FillCase cases[] = {
        // Named fields first in the text's order (widths ignored), the others unchecked.
        {"13:80,11:60",
         {{"数量", true}, {"代码", true}, {"名称", false}, {"价格", false}},
         "13,11"},
        // No known field named: every field checked, in field order.
        {"99,-3,abc",
         {{"代码", true}, {"名称", true}, {"数量", true}, {"价格", true}},
         "11,12,13,14"},
        {"", {{"代码", true}, {"名称", true}, {"数量", true}, {"价格", true}}, "11,12,13,14"},
        // Unknown and repeated identities drop out; the known ones keep their first place.
        {"14,99,12,14",
         {{"价格", true}, {"名称", true}, {"代码", false}, {"数量", false}},
         "14,12"},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.order);
        CColumnOrderDlg dialog;
        dialog.SetColumnOrder(c.order);
        dialog.SetFieldList(kFields);
        std::vector<TreeRow> shown;
        driver_.OnNextModal([&](QWidget* window) {
            HWND hwnd = platform::ui::WindowOf(window);
            shown = Rows(Tree(hwnd));
            Click(hwnd, IDOK);
        });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(shown, c.rows);
        EXPECT_EQ(dialog.GetColumnOrder(), c.result);
    }
}

TEST_F(ListDialogsTest, MovingCheckingAndDefaultsChangeTheResultAndCancelKeepsTheText) {
    CColumnOrderDlg dialog;
    dialog.SetColumnOrder("11:50,12:50,13:50");
    dialog.SetFieldList(kFields);
    std::vector<std::pair<bool, bool>> buttons;  // (up, down) as the selection moves
    std::vector<TreeRow> afterDefault;
    driver_.OnNextModal([&](QWidget* window) {
        HWND hwnd = platform::ui::WindowOf(window);
        HWND tree = Tree(hwnd);
        ::SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, ItemAt(tree, 0));
        DrainEvents();
        buttons.emplace_back(Enabled(hwnd, IDC_COLUMN_UP), Enabled(hwnd, IDC_COLUMN_DOWN));
        Click(hwnd, IDC_COLUMN_DOWN);  // 代码 below 名称
        Click(hwnd, IDC_COLUMN_DOWN);  // and below 数量
        buttons.emplace_back(Enabled(hwnd, IDC_COLUMN_UP), Enabled(hwnd, IDC_COLUMN_DOWN));
        ::SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, ItemAt(tree, 3));
        DrainEvents();
        buttons.emplace_back(Enabled(hwnd, IDC_COLUMN_UP), Enabled(hwnd, IDC_COLUMN_DOWN));
        Click(hwnd, IDC_COLUMN_UP);  // 价格 (unchecked) above 代码
        // A click on the icon of 名称 (now first) hides it; one on its text does not.
        const RECT label = LabelRect(tree, ItemAt(tree, 0));
        QWidget* treeWidget = CWnd::FromHandle(tree)->GetWidget();
        const int mid = (label.top + label.bottom) / 2;
        QTest::mouseClick(treeWidget, Qt::LeftButton, {}, QPoint(label.left - 8, mid));
        QTest::mouseClick(treeWidget, Qt::LeftButton, {}, QPoint(label.left + 5, mid));
        // A click on the icon of the unchecked 价格 shows it.
        const RECT priceLabel = LabelRect(tree, ItemAt(tree, 2));
        QTest::mouseClick(treeWidget, Qt::LeftButton, {},
                          QPoint(priceLabel.left - 8, (priceLabel.top + priceLabel.bottom) / 2));
        DrainEvents();
        Click(hwnd, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(buttons,
              (std::vector<std::pair<bool, bool>>{{false, true}, {true, true}, {true, false}}));
    EXPECT_EQ(dialog.GetColumnOrder(), "13,14,11");

    CColumnOrderDlg again;
    again.SetColumnOrder("12");
    again.SetFieldList(kFields);
    driver_.OnNextModal([&](QWidget* window) {
        HWND hwnd = platform::ui::WindowOf(window);
        Click(hwnd, IDC_COLUMN_DEFAULT);
        afterDefault = Rows(Tree(hwnd));
        Click(hwnd, IDCANCEL);
    });
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_EQ(afterDefault, (std::vector<TreeRow>{
                                {"代码", true}, {"名称", true}, {"数量", true}, {"价格", true}}));
    EXPECT_EQ(again.GetColumnOrder(), "12");
}

TEST_F(ListDialogsTest, ColumnTreeDrawsTheSelectionWhiteOnPurpleAndTheRestOnCream) {
    CColumnOrderDlg dialog;
    dialog.SetFieldList(kFields);
    int selectedFill = 0, plainFill = 0, selectedWhite = 0, creamBackground = 0;
    int itemHeight = 0;
    driver_.OnNextModal([&](QWidget* window) {
        HWND hwnd = platform::ui::WindowOf(window);
        HWND tree = Tree(hwnd);
        ::SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, ItemAt(tree, 1));
        ::SetFocus(::GetDlgItem(hwnd, IDOK));  // still drawn selected without the focus
        DrainEvents();
        itemHeight = static_cast<int>(::SendMessage(tree, TVM_GETITEMHEIGHT, 0, 0));
        PixelProbe probe(CWnd::FromHandle(tree)->GetWidget());
        const RECT selected = LabelRect(tree, ItemAt(tree, 1));
        const RECT plain = LabelRect(tree, ItemAt(tree, 2));
        selectedFill = probe.Count(CColumnOrderDlg::kSelectedBkColor, selected);
        selectedWhite = probe.Count(RGB(255, 255, 255), selected);
        plainFill = probe.Count(CColumnOrderDlg::kSelectedBkColor, plain);
        creamBackground =
            probe.Count(CColumnOrderDlg::kTreeBkColor,
                        RECT{plain.right + 2, plain.top, plain.right + 12, plain.bottom});
        Click(hwnd, IDCANCEL);
    });
    dialog.DoModal();
    EXPECT_EQ(itemHeight, 18);
    EXPECT_GT(selectedFill, 0);
    EXPECT_GT(selectedWhite, 0);
    EXPECT_EQ(plainFill, 0);
    EXPECT_GT(creamBackground, 0);
}

TEST_F(ListDialogsTest, DialogsMakeTheLibraryTheResourceModuleWhileTheyLive) {
    const std::string before = platform::ui::SetCurrentResourceModule("kelmon");
    std::string during;
    {
        CRowSpaceDlg dialog;
        driver_.OnNextModal([&](QWidget* window) {
            during = platform::ui::CurrentResourceModule();
            Click(platform::ui::WindowOf(window), IDCANCEL);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(during, "pavlet");
        EXPECT_EQ(platform::ui::CurrentResourceModule(), "kelmon");
    }
    {
        // A dialog that never opened puts the module back too.
        CListStyleDlg unused;
        EXPECT_EQ(platform::ui::CurrentResourceModule(), "pavlet");
    }
    EXPECT_EQ(platform::ui::CurrentResourceModule(), "kelmon");
    platform::ui::SetCurrentResourceModule(before);
}

TEST_F(ListDialogsTest, RowSpaceShowsTheValueAndGivesTheEnteredOneWithTheDefaultBox) {
    CRowSpaceDlg dialog;
    dialog.SetRowSpace(3);
    std::string shown;
    driver_.OnNextModal([&](QWidget* window) {
        HWND hwnd = platform::ui::WindowOf(window);
        shown = ::GetDlgItemText(hwnd, IDC_ROW_SPACE_EDIT);
        ::SetDlgItemText(hwnd, IDC_ROW_SPACE_EDIT, "7");
        Click(hwnd, IDC_ROW_SPACE_DEFAULT);
        Click(hwnd, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(shown, "3");
    EXPECT_EQ(dialog.GetRowSpace(), 7);
    EXPECT_TRUE(dialog.IsDefault());

    CRowSpaceDlg cancelled;
    cancelled.SetRowSpace(4);
    driver_.OnNextModal([&](QWidget* window) {
        HWND hwnd = platform::ui::WindowOf(window);
        ::SetDlgItemText(hwnd, IDC_ROW_SPACE_EDIT, "9");
        Click(hwnd, IDCANCEL);
    });
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(cancelled.GetRowSpace(), 4);
    EXPECT_FALSE(cancelled.IsDefault());
}

TEST_F(ListDialogsTest, ListStyleSchemesAndTheHeaderThatFollowsTheList) {
    using C = CListStyleDlg;
    struct Case {
        int button;  // 0: none
        std::vector<COLORREF> expected;
        bool headerComboEnabled;
    };
    const COLORREF none = kColorPickDefault;
    const std::vector<COLORREF> start = {RGB(1, 2, 3), 0x00FF00, 0x0000FF, C::kHeaderFollowsList,
                                         0xFF0000,     0x808080, none,     0xFFFFFF};
    const Case cases[] = {
        {0, start, false},
        {IDC_LIST_STYLE_WHITE,
         {0xFFFFFF, 0x000000, 0xEBEBEB, none, 0x000000, 0xA0A0A0, none, none},
         true},
        {IDC_LIST_STYLE_BLACK,
         {0x000000, 0xFFFFFF, 0x000080, 0x000000, 0xFFFFFF, 0x000080, none, none},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        C dialog;
        for (int i = 0; i < C::kColorCount; ++i) dialog.SetColor(C::Color(i), start[i]);
        bool enabled = false;
        driver_.OnNextModal([&](QWidget* window) {
            HWND hwnd = platform::ui::WindowOf(window);
            if (c.button) Click(hwnd, c.button);
            enabled = Enabled(hwnd, IDC_LIST_STYLE_FIRST + C::kHeaderBk);
            Click(hwnd, IDOK);
        });
        ASSERT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(enabled, c.headerComboEnabled);
        std::vector<COLORREF> got;
        for (int i = 0; i < C::kColorCount; ++i) got.push_back(dialog.GetColor(C::Color(i)));
        EXPECT_EQ(got, c.expected);
    }
}

}  // namespace
