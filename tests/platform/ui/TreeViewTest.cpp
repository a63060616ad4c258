// "SysTreeView32": item handles and order, item data, program changes (silent where the system
// is silent), the user's clicks and keys with their notifications in order, check-box state
// images and deletion.
#include "platform/ui/TreeView.h"

#include <gtest/gtest.h>

#include <QTest>
#include <set>

#include "platform/ui/ImageList.h"
#include "support/ui/NotifyProbe.h"

namespace {

using kelmon::test::ui::NotifyTest;

class TreeViewTest : public NotifyTest {
protected:
    HTREEITEM Insert(HTREEITEM parent, const char* text, HTREEITEM after = TVI_LAST,
                     LPARAM data = 0) {
        TVINSERTSTRUCT insert;
        insert.hParent = parent;
        insert.hInsertAfter = after;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(text);
        insert.item.lParam = data;
        return static_cast<HTREEITEM>(Send(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    HTREEITEM Next(WPARAM code, HTREEITEM item = 0) {
        return static_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, code, item));
    }
    std::string Text(HTREEITEM item, int size = 64) {
        std::string buffer(static_cast<size_t>(size), '\0');
        TVITEM info;
        info.mask = TVIF_TEXT;
        info.hItem = item;
        info.pszText = buffer.data();
        info.cchTextMax = size;
        if (!Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info))) return "<none>";
        return buffer.c_str();
    }
    std::vector<std::string> Children(HTREEITEM parent) {
        std::vector<std::string> texts;
        for (HTREEITEM c = Next(TVGN_CHILD, parent); c; c = Next(TVGN_NEXT, c))
            texts.push_back(Text(c));
        return texts;
    }
    UINT StateImage(HTREEITEM item) {
        return static_cast<UINT>(Send(TVM_GETITEMSTATE, item, TVIS_STATEIMAGEMASK)) >> 12;
    }
    QPoint LabelCenter(HTREEITEM item) {
        RECT r;
        r.left = static_cast<LONG>(item);
        EXPECT_TRUE(Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    // A small tree: A (A1, A2), B.
    void MakeSample(DWORD style) {
        Make("SysTreeView32", style);
        a_ = Insert(TVI_ROOT, "A", TVI_LAST, 10);
        a1_ = Insert(a_, "A1", TVI_LAST, 11);
        a2_ = Insert(a_, "A2", TVI_LAST, 12);
        b_ = Insert(TVI_ROOT, "B", TVI_LAST, 20);
        notices.clear();
    }

    HTREEITEM a_ = 0, a1_ = 0, a2_ = 0, b_ = 0;
};

TEST_F(TreeViewTest, InsertPlacesItemsAndWalksTheTree) {
    Make("SysTreeView32", TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
    HTREEITEM m = Insert(TVI_ROOT, "m");
    Insert(TVI_ROOT, "a", TVI_FIRST);
    Insert(TVI_ROOT, "z", TVI_LAST);
    Insert(TVI_ROOT, "k", m);
    Insert(TVI_ROOT, "C", TVI_SORT);  // before the first greater text: case does not count
    EXPECT_EQ(Children(TVI_ROOT), (std::vector<std::string>{"a", "C", "m", "k", "z"}));
    EXPECT_EQ(Send(TVM_GETCOUNT), 5);

    HTREEITEM child = Insert(m, "child");
    ASSERT_NE(child, 0u);
    EXPECT_EQ(Next(TVGN_PARENT, child), m);
    EXPECT_EQ(Next(TVGN_PARENT, m), 0u);
    EXPECT_EQ(Next(TVGN_CHILD, m), child);
    EXPECT_EQ(Next(TVGN_ROOT), Next(TVGN_CHILD, TVI_ROOT));
    EXPECT_EQ(Text(Next(TVGN_PREVIOUS, m)), "C");
    EXPECT_EQ(Next(TVGN_PREVIOUS, Next(TVGN_ROOT)), 0u);
    // The collapsed child is not among the visible rows.
    std::vector<HTREEITEM> visible;
    for (HTREEITEM v = Next(TVGN_FIRSTVISIBLE); v; v = Next(TVGN_NEXTVISIBLE, v))
        visible.push_back(v);
    EXPECT_EQ(visible.size(), 5u);
    EXPECT_EQ(Next(TVGN_PREVIOUSVISIBLE, visible[1]), visible[0]);

    // Bad parents and handles of deleted items are refused, and handles never come back.
    EXPECT_EQ(Insert(0x7777, "orphan"), 0u);
    EXPECT_TRUE(Send(TVM_DELETEITEM, 0, child));
    EXPECT_EQ(Text(child), "<none>");
    EXPECT_FALSE(Send(TVM_DELETEITEM, 0, child));
    EXPECT_GT(Insert(m, "again"), child);
    EXPECT_EQ(Send(TVM_GETNEXTITEM, TVGN_NEXT, 0x7777), 0);
    EXPECT_TRUE(notices.size() == 1 && notices[0].code == TVN_DELETEITEM);
}

TEST_F(TreeViewTest, ItemDataRoundTripsAndTextIsCutOnACharacter) {
    Make("SysTreeView32", TVS_CHECKBOXES);
    HTREEITEM item = Insert(TVI_ROOT, "委托查询");
    EXPECT_EQ(Text(item), "委托查询");
    EXPECT_EQ(Text(item, 8), "委托");  // 7 bytes fit, the third character would not
    EXPECT_EQ(StateImage(item), 1u);   // check boxes start unchecked

    TVITEM set;
    set.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE | TVIF_CHILDREN;
    set.hItem = item;
    set.iImage = 3;
    set.iSelectedImage = 4;
    set.lParam = 0x12345678;
    set.state = INDEXTOSTATEIMAGEMASK(3) | TVIS_BOLD;
    set.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
    set.cChildren = 1;
    EXPECT_TRUE(Send(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&set)));
    TVITEM got;
    got.mask = set.mask;
    got.hItem = item;
    got.stateMask = 0xFFFF;
    EXPECT_TRUE(Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(got.iImage, 3);
    EXPECT_EQ(got.iSelectedImage, 4);
    EXPECT_EQ(got.lParam, 0x12345678);
    EXPECT_EQ(got.state, INDEXTOSTATEIMAGEMASK(3) | TVIS_BOLD);
    EXPECT_EQ(got.cChildren, 1);
    // cChildren = 1 without children still lets the item be opened (filled on demand).
    EXPECT_TRUE(Send(TVM_EXPAND, TVE_EXPAND, item));
    got.hItem = 0x9999;
    EXPECT_FALSE(Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&got)));
}

TEST_F(TreeViewTest, ProgramSelectionNotifiesAndCanBeRefused) {
    MakeSample(TVS_HASBUTTONS | TVS_LINESATROOT);
    EXPECT_TRUE(Send(TVM_SELECTITEM, TVGN_CARET, b_));
    ASSERT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED}));
    EXPECT_EQ(notices[1].tree.action, TVC_UNKNOWN);
    EXPECT_EQ(notices[1].tree.itemOld.hItem, 0u);
    EXPECT_EQ(notices[1].tree.itemNew.hItem, b_);
    EXPECT_EQ(notices[1].tree.itemNew.lParam, 20);
    EXPECT_TRUE(notices[1].tree.itemNew.state & TVIS_SELECTED);
    EXPECT_EQ(notices[1].from, control_.m_hWnd);
    EXPECT_EQ(notices[1].id, kId);

    notices.clear();
    EXPECT_TRUE(Send(TVM_SELECTITEM, TVGN_CARET, b_));  // already selected: nothing
    EXPECT_TRUE(notices.empty());

    answers[TVN_SELCHANGING] = TRUE;
    EXPECT_FALSE(Send(TVM_SELECTITEM, TVGN_CARET, a_));
    EXPECT_EQ(Next(TVGN_CARET), b_);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING}));

    // Selecting a hidden child opens its parent, and the parent window hears of that.
    answers.clear();
    notices.clear();
    EXPECT_TRUE(Send(TVM_SELECTITEM, TVGN_CARET, a2_));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_ITEMEXPANDING, TVN_ITEMEXPANDED,
                                          TVN_SELCHANGED}));
    EXPECT_EQ(notices[1].tree.action, TVE_EXPAND);
    EXPECT_EQ(notices[3].tree.itemOld.hItem, b_);
}

TEST_F(TreeViewTest, ExpandByProgramIsSilentAndCollapseTakesTheSelectionUp) {
    MakeSample(TVS_HASBUTTONS | TVS_LINESATROOT);
    EXPECT_FALSE(Send(TVM_EXPAND, TVE_EXPAND, b_));  // nothing to open
    EXPECT_TRUE(Send(TVM_EXPAND, TVE_EXPAND, a_));
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(Send(TVM_GETITEMSTATE, a_, TVIS_EXPANDED));
    EXPECT_EQ(Next(TVGN_NEXTVISIBLE, a_), a1_);

    Send(TVM_SELECTITEM, TVGN_CARET, a1_);
    notices.clear();
    EXPECT_TRUE(Send(TVM_EXPAND, TVE_TOGGLE, a_));
    EXPECT_FALSE(Send(TVM_GETITEMSTATE, a_, TVIS_EXPANDED));
    EXPECT_EQ(Next(TVGN_CARET), a_);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED}));
    RECT r;
    r.left = static_cast<LONG>(a1_);
    EXPECT_FALSE(Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));  // hidden
}

TEST_F(TreeViewTest, ClickNotifiesThenSelectsByMouse) {
    MakeSample(TVS_HASBUTTONS | TVS_LINESATROOT);
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, LabelCenter(b_));
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, TVN_SELCHANGING, TVN_SELCHANGED}));
    EXPECT_EQ(notices[2].tree.action, TVC_BYMOUSE);
    EXPECT_EQ(Next(TVGN_CARET), b_);

    // A parent that handles the click keeps the selection where it was.
    notices.clear();
    answers[NM_CLICK] = TRUE;
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, LabelCenter(a_));
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK}));
    EXPECT_EQ(Next(TVGN_CARET), b_);

    answers.clear();
    notices.clear();
    QTest::mouseClick(Widget(), Qt::RightButton, {}, LabelCenter(a_));
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_RCLICK}));
}

TEST_F(TreeViewTest, ButtonAndDoubleClickOpenWithRefusableNotifications) {
    MakeSample(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
    TVHITTESTINFO hit;
    const QPoint label = LabelCenter(a_);
    hit.pt = POINT{static_cast<LONG>(Send(TVM_GETINDENT) / 2), label.y()};
    ASSERT_EQ(Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), a_);
    ASSERT_EQ(hit.flags, TVHT_ONITEMBUTTON);

    answers[TVN_ITEMEXPANDING] = TRUE;
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(hit.pt.x, hit.pt.y));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDING}));
    EXPECT_FALSE(Send(TVM_GETITEMSTATE, a_, TVIS_EXPANDED));

    answers.clear();
    notices.clear();
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(hit.pt.x, hit.pt.y));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDING, TVN_ITEMEXPANDED}));
    EXPECT_EQ(notices[0].tree.action, TVE_EXPAND);
    EXPECT_EQ(notices[0].tree.itemNew.hItem, a_);
    EXPECT_TRUE(Send(TVM_GETITEMSTATE, a_, TVIS_EXPANDED));

    notices.clear();
    QTest::mouseDClick(Widget(), Qt::LeftButton, {}, LabelCenter(a_));
    std::vector<UINT> codes = Codes();
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(std::vector<UINT>(codes.end() - 3, codes.end()),
              (std::vector<UINT>{NM_DBLCLK, TVN_ITEMEXPANDING, TVN_ITEMEXPANDED}));
    EXPECT_EQ(notices.back().tree.action, TVE_COLLAPSE);
    EXPECT_FALSE(Send(TVM_GETITEMSTATE, a_, TVIS_EXPANDED));
}

TEST_F(TreeViewTest, StateIconClickStepsTheCheckUnlessTheParentHandlesIt) {
    struct Case {
        DWORD style;
        int stateImages;  // 0: no state image list of our own
        bool handled;
        std::vector<UINT> steps;
    };
    const Case cases[] = {
        {TVS_CHECKBOXES, 0, false, {2, 1}},
        {TVS_CHECKBOXES, 4, false, {2, 3, 1}},  // three check images: a three-state cycle
        {TVS_CHECKBOXES, 0, true, {1, 1}},
        {0, 4, false, {1, 1}},  // without the style a state icon is just a picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style + c.stateImages * 10 + c.handled * 100);
        Make("SysTreeView32", c.style);
        CImageList images;
        if (c.stateImages) {
            ASSERT_TRUE(images.Create(15, 15, ILC_COLOR32, 0, 4));
            for (int i = 0; i < c.stateImages; ++i)
                images.Add(QImage(15, 15, QImage::Format_ARGB32));
            Send(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(&images));
        }
        HTREEITEM item = Insert(TVI_ROOT, "item");
        TVITEM set;
        set.mask = TVIF_STATE;
        set.hItem = item;
        set.state = INDEXTOSTATEIMAGEMASK(1);
        set.stateMask = TVIS_STATEIMAGEMASK;
        Send(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&set));
        if (c.handled) answers[NM_CLICK] = TRUE;
        TVHITTESTINFO hit;
        hit.pt = POINT{LabelCenter(item).x(), LabelCenter(item).y()};
        RECT row;
        row.left = static_cast<LONG>(item);
        Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&row));
        hit.pt.x = row.left - 4;  // just left of the label: the state icon
        ASSERT_EQ(Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), item);
        ASSERT_EQ(hit.flags, TVHT_ONITEMSTATEICON);
        for (UINT expected : c.steps) {
            QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(hit.pt.x, hit.pt.y));
            EXPECT_EQ(StateImage(item), expected);
        }
        EXPECT_EQ(Next(TVGN_CARET), 0u);  // the check box does not select
        answers.clear();
        control_.DestroyWindow();
    }
}

TEST_F(TreeViewTest, KeysNotifyThenWalkAndOpen) {
    MakeSample(TVS_HASBUTTONS | TVS_LINESATROOT | TVS_CHECKBOXES);
    Send(TVM_SELECTITEM, TVGN_CARET, a_);
    notices.clear();
    QTest::keyClick(Widget(), Qt::Key_Right);  // opens A
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_KEYDOWN, TVN_ITEMEXPANDING, TVN_ITEMEXPANDED}));
    EXPECT_EQ(notices[0].key.wVKey, VK_RIGHT);
    notices.clear();
    QTest::keyClick(Widget(), Qt::Key_Down);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_KEYDOWN, TVN_SELCHANGING, TVN_SELCHANGED}));
    EXPECT_EQ(notices[2].tree.action, TVC_BYKEYBOARD);
    EXPECT_EQ(Next(TVGN_CARET), a1_);
    QTest::keyClick(Widget(), Qt::Key_Space);
    EXPECT_EQ(StateImage(a1_), 2u);
    QTest::keyClick(Widget(), Qt::Key_Left);  // to the parent
    EXPECT_EQ(Next(TVGN_CARET), a_);
    QTest::keyClick(Widget(), Qt::Key_End);
    EXPECT_EQ(Next(TVGN_CARET), b_);
    EXPECT_EQ(Send(WM_GETDLGCODE) & DLGC_WANTARROWS, DLGC_WANTARROWS);
}

TEST_F(TreeViewTest, DeleteNotifiesEachItemAndMovesTheSelection) {
    MakeSample(TVS_HASBUTTONS);
    Send(TVM_SELECTITEM, TVGN_CARET, a_);
    notices.clear();
    EXPECT_TRUE(Send(TVM_DELETEITEM, 0, a_));
    ASSERT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED, TVN_DELETEITEM,
                                          TVN_DELETEITEM, TVN_DELETEITEM}));
    EXPECT_EQ(notices[1].tree.itemNew.hItem, b_);
    EXPECT_EQ(notices[1].tree.action, TVC_UNKNOWN);
    std::set<LPARAM> gone;
    for (size_t i = 2; i < notices.size(); ++i) gone.insert(notices[i].tree.itemOld.lParam);
    EXPECT_EQ(gone, (std::set<LPARAM>{10, 11, 12}));
    EXPECT_EQ(notices[2].tree.itemOld.hItem, a_);  // the parent before its children
    EXPECT_EQ(Send(TVM_GETCOUNT), 1);

    // Emptying the tree drops the selection silently.
    notices.clear();
    EXPECT_TRUE(Send(TVM_DELETEITEM, 0, TVI_ROOT));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_DELETEITEM}));
    EXPECT_EQ(Next(TVGN_CARET), 0u);
    EXPECT_EQ(Send(TVM_GETCOUNT), 0);
}

TEST_F(TreeViewTest, DeletingFromTheSelectionHandlerIsSafe) {
    MakeSample(TVS_HASBUTTONS);
    onNotice = [this](const kelmon::test::ui::Notice& n) {
        if (n.code == TVN_SELCHANGING) Send(TVM_DELETEITEM, 0, TVI_ROOT);
    };
    EXPECT_FALSE(Send(TVM_SELECTITEM, TVGN_CARET, b_));
    onNotice = nullptr;
    EXPECT_EQ(Send(TVM_GETCOUNT), 0);
    EXPECT_EQ(Next(TVGN_CARET), 0u);
}

TEST_F(TreeViewTest, HitTestAndRectanglesAgreeAndSortOrdersTexts) {
    MakeSample(TVS_HASBUTTONS | TVS_LINESATROOT | TVS_FULLROWSELECT);
    Send(TVM_EXPAND, TVE_EXPAND, a_);
    for (HTREEITEM item : {a_, a1_, a2_, b_}) {
        TVHITTESTINFO hit;
        const QPoint p = LabelCenter(item);
        hit.pt = POINT{p.x(), p.y()};
        EXPECT_EQ(Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), item);
        EXPECT_EQ(hit.flags, TVHT_ONITEMLABEL);
    }
    // A child's label lies one indent right of its parent's.
    RECT parent, child;
    parent.left = static_cast<LONG>(a_);
    child.left = static_cast<LONG>(a1_);
    Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&parent));
    Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&child));
    EXPECT_EQ(child.left - parent.left, Send(TVM_GETINDENT));
    TVHITTESTINFO below;
    below.pt = POINT{5, 190};
    EXPECT_EQ(Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&below)), 0);
    EXPECT_EQ(below.flags, TVHT_NOWHERE);
    below.pt = POINT{5, -3};
    Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&below));
    EXPECT_EQ(below.flags, TVHT_ABOVE);
    // With full-row selection a click right of the label selects too.
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(180, LabelCenter(b_).y()));
    EXPECT_EQ(Next(TVGN_CARET), b_);

    Insert(a_, "a0");
    Insert(a_, "B9");
    EXPECT_TRUE(Send(TVM_SORTCHILDREN, FALSE, a_));
    EXPECT_EQ(Children(a_), (std::vector<std::string>{"a0", "A1", "A2", "B9"}));
}

TEST_F(TreeViewTest, EnsureVisibleScrollsALongTree) {
    Make("SysTreeView32", TVS_HASBUTTONS, kelmon::test::ui::Rect(10, 10, 200, 100));
    std::vector<HTREEITEM> items;
    for (int i = 0; i < 30; ++i) items.push_back(Insert(TVI_ROOT, "row"));
    EXPECT_EQ(Next(TVGN_FIRSTVISIBLE), items[0]);
    Send(TVM_ENSUREVISIBLE, 0, items[25]);
    RECT r;
    r.left = static_cast<LONG>(items[25]);
    ASSERT_TRUE(Send(TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&r)));
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.bottom, 100);
    EXPECT_NE(Next(TVGN_FIRSTVISIBLE), items[0]);
}

}  // namespace
