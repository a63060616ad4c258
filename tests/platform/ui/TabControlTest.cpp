// "SysTabControl32": items and the current tab, the user's choice (refusable, notified) against
// the program's (silent), page rectangles that fit the drawn tabs, and owner-drawn tabs.
#include "platform/ui/TabControl.h"

#include <gtest/gtest.h>

#include <QTest>

#include "support/ui/NotifyProbe.h"

namespace {

using kelmon::test::ui::NotifyTest;
using kelmon::test::ui::Rect;

class TabControlTest : public NotifyTest {
protected:
    LRESULT InsertTab(int index, const char* text, LPARAM data = 0) {
        TCITEM item;
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<char*>(text);
        item.lParam = data;
        return Send(TCM_INSERTITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    RECT ItemRect(int index) {
        RECT r;
        EXPECT_TRUE(
            Send(TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)));
        return r;
    }
    QPoint Center(const RECT& r) { return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    std::string TabText(int index, int size = 64) {
        std::string buffer(static_cast<size_t>(size), '\0');
        TCITEM item;
        item.mask = TCIF_TEXT;
        item.pszText = buffer.data();
        item.cchTextMax = size;
        if (!Send(TCM_GETITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)))
            return "<none>";
        return buffer.c_str();
    }
};

TEST_F(TabControlTest, ItemsAndTheCurrentTabFollowInsertAndDelete) {
    Make("SysTabControl32", 0);
    EXPECT_EQ(Send(TCM_GETCURSEL), -1);
    EXPECT_EQ(InsertTab(0, "委托"), 0);
    EXPECT_EQ(Send(TCM_GETCURSEL), 0);  // the first tab is chosen
    EXPECT_EQ(InsertTab(99, "成交", 7), 1);
    EXPECT_EQ(InsertTab(0, "持仓"), 0);
    EXPECT_EQ(Send(TCM_GETCURSEL), 1);  // still "委托"
    EXPECT_EQ(TabText(1), "委托");
    EXPECT_EQ(TabText(1, 4), "委");
    EXPECT_EQ(InsertTab(-1, "bad"), -1);
    EXPECT_EQ(Send(TCM_GETITEMCOUNT), 3);

    TCITEM item;
    item.mask = TCIF_PARAM | TCIF_STATE;
    item.dwStateMask = TCIS_BUTTONPRESSED;
    EXPECT_TRUE(Send(TCM_GETITEM, 2, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(item.lParam, 7);
    EXPECT_FALSE(Send(TCM_GETITEM, 3, reinterpret_cast<LPARAM>(&item)));

    EXPECT_EQ(Send(TCM_SETCURSEL, 2), 1);
    EXPECT_EQ(Send(TCM_SETCURSEL, 5), -1);
    EXPECT_EQ(Send(TCM_GETCURSEL), 2);
    EXPECT_TRUE(Send(TCM_DELETEITEM, 0));
    EXPECT_EQ(Send(TCM_GETCURSEL), 1);
    EXPECT_TRUE(Send(TCM_DELETEITEM, 1));  // the current one
    EXPECT_EQ(Send(TCM_GETCURSEL), -1);
    EXPECT_FALSE(Send(TCM_DELETEITEM, 4));
    EXPECT_TRUE(Send(TCM_DELETEALLITEMS));
    EXPECT_EQ(Send(TCM_GETITEMCOUNT), 0);
    EXPECT_TRUE(notices.empty());  // program changes are silent
}

TEST_F(TabControlTest, UserChoiceNotifiesAndCanBeRefused) {
    Make("SysTabControl32", 0);
    InsertTab(0, "one");
    InsertTab(1, "two");
    InsertTab(2, "three");
    const RECT second = ItemRect(1);
    TCHITTESTINFO hit;
    hit.pt = POINT{Center(second).x(), Center(second).y()};
    EXPECT_EQ(Send(TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 1);
    EXPECT_EQ(hit.flags, TCHT_ONITEMLABEL);

    QTest::mouseClick(Widget(), Qt::LeftButton, {}, Center(second));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE, NM_CLICK}));
    EXPECT_EQ(Send(TCM_GETCURSEL), 1);
    EXPECT_EQ(notices[0].from, control_.m_hWnd);
    EXPECT_EQ(notices[0].id, kId);

    notices.clear();
    answers[TCN_SELCHANGING] = TRUE;
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, Center(ItemRect(2)));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TCN_SELCHANGING, NM_CLICK}));
    EXPECT_EQ(Send(TCM_GETCURSEL), 1);

    answers.clear();
    notices.clear();
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, Center(ItemRect(1)));  // already current
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK}));
    notices.clear();
    QTest::mouseClick(Widget(), Qt::RightButton, {}, Center(ItemRect(0)));
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_RCLICK}));
    EXPECT_EQ(Send(TCM_GETCURSEL), 1);

    notices.clear();
    QTest::keyClick(Widget(), Qt::Key_Right);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
    EXPECT_EQ(Send(TCM_GETCURSEL), 2);
}

// The page rectangle starts past the tabs and the frame, on the side the tabs are on, and the
// larger form gives the window rectangle back.
TEST_F(TabControlTest, AdjustRectFitsTheDrawnTabs) {
    const DWORD styles[] = {0,
                            TCS_BOTTOM,
                            TCS_BUTTONS,
                            TCS_MULTILINE,
                            TCS_MULTILINE | TCS_BOTTOM,
                            TCS_FIXEDWIDTH | TCS_BUTTONS | TCS_FLATBUTTONS};
    for (DWORD style : styles) {
        SCOPED_TRACE(style);
        Make("SysTabControl32", style, Rect(10, 10, 150, 120));
        for (int i = 0; i < 6; ++i) InsertTab(i, i % 2 ? "a long tab" : "x");
        RECT page{0, 0, 150, 120};
        Send(TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
        for (int i = 0; i < 6; ++i) {
            const RECT tab = ItemRect(i);
            if (style & TCS_BOTTOM)
                EXPECT_GE(tab.top, page.bottom);
            else
                EXPECT_LE(tab.bottom, page.top);
            EXPECT_GE(tab.left, 0);
            EXPECT_TRUE(tab.top >= 0 && tab.bottom <= 120);
        }
        const LRESULT rows = Send(TCM_GETROWCOUNT);
        EXPECT_EQ(rows > 1, (style & TCS_MULTILINE) != 0);
        EXPECT_GT(page.bottom - page.top, 120 / 3);
        Send(TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&page));
        EXPECT_EQ(page, (RECT{0, 0, 150, 120}));
        if (style & TCS_FIXEDWIDTH) {
            EXPECT_EQ(ItemRect(0).right - ItemRect(0).left, ItemRect(1).right - ItemRect(1).left);
        }
        control_.DestroyWindow();
    }
}

}  // namespace

namespace {

// A single row with more tabs than fit scrolls by whole tabs behind two arrows at its right
// end; the arrows take no tab clicks, and a chosen tab is scrolled into view.
TEST_F(TabControlTest, ARowTooLongScrollsBehindArrows) {
    Make("SysTabControl32", 0, Rect(10, 10, 160, 80));
    for (int i = 0; i < 8; ++i) InsertTab(i, ("tab " + std::to_string(i)).c_str());
    RECT r = ItemRect(0);
    const int start = r.left;
    const int arrowsLeft = 160 - 32;
    const QPoint right(160 - 4, Center(r).y());
    const QPoint left(arrowsLeft + 4, Center(r).y());
    TCHITTESTINFO hit;
    hit.pt = POINT{right.x(), right.y()};
    EXPECT_EQ(Send(TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), -1) << "an arrow, not a tab";

    QTest::mouseClick(Widget(), Qt::LeftButton, {}, right);
    EXPECT_TRUE(notices.empty()) << "scrolling chooses nothing";
    EXPECT_EQ(ItemRect(1).left, start);
    EXPECT_LT(ItemRect(0).right, start + 1) << "the first tab went out at the left";
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, Center(ItemRect(1)));
    EXPECT_EQ(Send(TCM_GETCURSEL), 1);
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, left);
    EXPECT_EQ(ItemRect(0).left, start);
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, left);  // nothing more at the left
    EXPECT_EQ(ItemRect(0).left, start);

    // The arrows stop when the last tab shows whole.
    for (int i = 0; i < 20; ++i) QTest::mouseClick(Widget(), Qt::LeftButton, {}, right);
    EXPECT_LE(ItemRect(7).right, arrowsLeft);
    const RECT last = ItemRect(7);
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, right);
    EXPECT_EQ(ItemRect(7).left, last.left) << "no further step";

    // The program's choice brings its tab into view, at either end.
    Send(TCM_SETCURSEL, 0);
    EXPECT_EQ(ItemRect(0).left, start);
    Send(TCM_SETCURSEL, 6);
    EXPECT_LE(ItemRect(6).right, arrowsLeft);
    EXPECT_GE(ItemRect(6).left, start);

    // Enough room again: no arrows, everything from the start.
    control_.MoveWindow(10, 10, 600, 80);
    EXPECT_EQ(ItemRect(0).left, start);
    hit.pt = POINT{600 - 4, Center(ItemRect(0)).y()};
    EXPECT_EQ(Send(TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), -1);
}

}  // namespace
