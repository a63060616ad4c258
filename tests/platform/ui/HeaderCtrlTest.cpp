// "SysHeader32": items and order by message, hit tests, and the notifications of clicks,
// divider tracking and item drags, with the parent's refusals taking effect.
#include "platform/ui/HeaderCtrl.h"

#include <gtest/gtest.h>

#include <QTest>
#include <map>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

struct HeaderEvent {
    UINT code;
    int item;
    int width;  // pitem->cxy when the record carries a width, else -1
    int order;  // pitem->iOrder when it carries an order, else -1
};

class HeaderCtrlTest : public UiTest {
protected:
    void SetUp() override {
        parent_.handle = [this](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
            if (message != WM_NOTIFY) return false;
            const auto* nm = reinterpret_cast<const NMHEADER*>(lParam);
            HeaderEvent event{nm->hdr.code, -1, -1, -1};
            if (nm->hdr.code != NM_RCLICK) {
                event.item = nm->iItem;
                if (nm->pitem && (nm->pitem->mask & HDI_WIDTH)) event.width = nm->pitem->cxy;
                if (nm->pitem && (nm->pitem->mask & HDI_ORDER)) event.order = nm->pitem->iOrder;
            }
            EXPECT_EQ(nm->hdr.hwndFrom, header_.m_hWnd);
            EXPECT_EQ(nm->hdr.idFrom, 7u);
            events_.push_back(event);
            auto answer = refuse_.find(nm->hdr.code);
            *result = answer != refuse_.end() ? answer->second : 0;
            return true;
        };
        ASSERT_TRUE(
            parent_.Create(nullptr, "p", WS_POPUP | WS_VISIBLE, Rect(0, 0, 400, 100), nullptr, 0));
        ASSERT_TRUE(header_.Create("SysHeader32", "",
                                   WS_CHILD | WS_VISIBLE | HDS_BUTTONS | HDS_DRAGDROP,
                                   Rect(0, 0, 400, 24), &parent_, 7));
        for (int i = 0; i < 3; ++i) Insert(i, 100, i == 0 ? "代码" : i == 1 ? "名称" : "价格");
        events_.clear();
    }
    void TearDown() override {
        parent_.DestroyWindow();
        UiTest::TearDown();
    }
    void Insert(int at, int width, const char* text) {
        HDITEM item;
        item.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT;
        item.cxy = width;
        item.pszText = const_cast<char*>(text);
        item.fmt = HDF_LEFT | HDF_STRING;
        ASSERT_EQ(header_.SendMessage(HDM_INSERTITEM, at, reinterpret_cast<LPARAM>(&item)), at);
    }
    std::vector<int> Order() {
        const int count = static_cast<int>(header_.SendMessage(HDM_GETITEMCOUNT));
        std::vector<int> order(static_cast<size_t>(count));
        header_.SendMessage(HDM_GETORDERARRAY, count, reinterpret_cast<LPARAM>(order.data()));
        return order;
    }
    int Width(int item) {
        HDITEM it;
        it.mask = HDI_WIDTH;
        header_.SendMessage(HDM_GETITEM, item, reinterpret_cast<LPARAM>(&it));
        return it.cxy;
    }
    std::vector<UINT> Codes() const {
        std::vector<UINT> codes;
        for (const HeaderEvent& e : events_) codes.push_back(e.code);
        return codes;
    }
    QWidget* Widget() { return header_.GetWidget(); }

    std::vector<LoggedMessage> log_;
    ProbeWnd parent_{"parent", &log_};
    CWnd header_;
    std::vector<HeaderEvent> events_;
    std::map<UINT, LRESULT> refuse_;
};

TEST_F(HeaderCtrlTest, ItemsKeepTheirFieldsAndTextIsCutOnACharacter) {
    HDITEM item;
    char text[5] = {};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT | HDI_ORDER;
    item.pszText = text;
    item.cchTextMax = sizeof text;  // room for one three-byte character and the terminator
    ASSERT_TRUE(header_.SendMessage(HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, "名");
    EXPECT_EQ(item.cxy, 100);
    EXPECT_EQ(item.iOrder, 1);

    // A program change notifies HDN_ITEMCHANGING then HDN_ITEMCHANGED, and a refusal keeps it.
    HDITEM sort;
    sort.mask = HDI_FORMAT | HDI_LPARAM;
    sort.fmt = HDF_STRING | HDF_SORTUP;
    sort.lParam = 42;
    ASSERT_TRUE(header_.SendMessage(HDM_SETITEM, 2, reinterpret_cast<LPARAM>(&sort)));
    EXPECT_EQ(Codes(), (std::vector<UINT>{HDN_ITEMCHANGING, HDN_ITEMCHANGED}));
    refuse_[HDN_ITEMCHANGING] = TRUE;
    HDITEM wide;
    wide.mask = HDI_WIDTH;
    wide.cxy = 300;
    EXPECT_FALSE(header_.SendMessage(HDM_SETITEM, 2, reinterpret_cast<LPARAM>(&wide)));
    EXPECT_EQ(Width(2), 100);
    HDITEM back;
    back.mask = HDI_FORMAT | HDI_LPARAM;
    header_.SendMessage(HDM_GETITEM, 2, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(back.fmt, HDF_STRING | HDF_SORTUP);
    EXPECT_EQ(back.lParam, 42);

    RECT r;
    ASSERT_TRUE(header_.SendMessage(HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right, 200);
    EXPECT_FALSE(header_.SendMessage(HDM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r)));
    EXPECT_TRUE(header_.SendMessage(HDM_DELETEITEM, 0));
    EXPECT_EQ(header_.SendMessage(HDM_GETITEMCOUNT), 2);
    EXPECT_EQ(Order(), (std::vector<int>{0, 1}));
}

TEST_F(HeaderCtrlTest, OrderArraysTakeOnlyPermutations) {
    std::vector<int> order{2, 0, 1};
    ASSERT_TRUE(header_.SendMessage(HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(order.data())));
    EXPECT_EQ(Order(), order);
    EXPECT_EQ(header_.SendMessage(HDM_ORDERTOINDEX, 0), 2);
    RECT r;
    header_.SendMessage(HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 0);
    for (std::vector<int> bad : {std::vector<int>{0, 0, 1}, std::vector<int>{0, 1, 3}}) {
        EXPECT_FALSE(
            header_.SendMessage(HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(bad.data())));
        EXPECT_EQ(Order(), order);
    }
    std::vector<int> small(2);
    EXPECT_FALSE(header_.SendMessage(HDM_GETORDERARRAY, 2, reinterpret_cast<LPARAM>(small.data())))
        << "a buffer of the wrong size is not written";
}

TEST_F(HeaderCtrlTest, HitTestsFindItemsAndDividers) {
    struct Case {
        int x, y;
        UINT flags;
        int item;
    } cases[] = {{50, 10, HHT_ONHEADER, 0},  {101, 10, HHT_ONDIVIDER, 0},
                 {150, 10, HHT_ONHEADER, 1}, {350, 10, HHT_NOWHERE, -1},
                 {-5, 10, HHT_TOLEFT, -1},   {50, 40, HHT_NOWHERE, -1}};
    for (const Case& c : cases) {
        HDHITTESTINFO info;
        info.pt = POINT{c.x, c.y};
        EXPECT_EQ(header_.SendMessage(HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)), c.item)
            << c.x;
        EXPECT_EQ(info.flags, c.flags) << c.x;
    }
}

TEST_F(HeaderCtrlTest, ClicksAndDoubleClicksNotifyTheParent) {
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(150, 10));
    QTest::mouseClick(Widget(), Qt::RightButton, {}, QPoint(150, 10));
    QTest::mouseDClick(Widget(), Qt::LeftButton, {}, QPoint(250, 10));
    QTest::mouseDClick(Widget(), Qt::LeftButton, {}, QPoint(100, 10));
    DrainEvents();
    std::vector<UINT> codes = Codes();
    std::erase_if(codes, [](UINT c) {
        return c == HDN_ITEMCLICK || c == HDN_BEGINTRACK || c == HDN_ENDTRACK ||
               c == HDN_ITEMCHANGING || c == HDN_ITEMCHANGED;
    });
    EXPECT_EQ(codes, (std::vector<UINT>{NM_RCLICK, HDN_ITEMDBLCLICK, HDN_DIVIDERDBLCLICK}));
    ASSERT_FALSE(events_.empty());
    EXPECT_EQ(events_[0].code, HDN_ITEMCLICK);
    EXPECT_EQ(events_[0].item, 1);
}

TEST_F(HeaderCtrlTest, TrackingFollowsTheNotificationsAndRefusals) {
    // Refused at the start: nothing moves and nothing more is heard.
    refuse_[HDN_BEGINTRACK] = TRUE;
    QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseMove(Widget(), QPoint(140, 10));
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(140, 10));
    EXPECT_EQ(Codes(), (std::vector<UINT>{HDN_BEGINTRACK}));
    EXPECT_EQ(Width(0), 100);

    // Allowed: HDN_TRACK while moving, then HDN_ENDTRACK and the width change.
    refuse_.clear();
    events_.clear();
    QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseMove(Widget(), QPoint(130, 10));
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(140, 10));
    EXPECT_EQ(Codes(), (std::vector<UINT>{HDN_BEGINTRACK, HDN_TRACK, HDN_ENDTRACK, HDN_ITEMCHANGING,
                                          HDN_ITEMCHANGED}));
    EXPECT_EQ(events_[1].width, 130);
    EXPECT_EQ(events_[2].width, 140);
    EXPECT_EQ(Width(0), 140);

    // HDN_ITEMCHANGING refused at the end keeps the width.
    refuse_[HDN_ITEMCHANGING] = TRUE;
    QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(140, 10));
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(Width(0), 140);
}

TEST_F(HeaderCtrlTest, DragsReorderUnlessTheParentRefuses) {
    auto drag = [this](int from, int to) {
        QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(from, 10));
        QTest::mouseMove(Widget(), QPoint((from + to) / 2, 10));
        QTest::mouseMove(Widget(), QPoint(to, 10));
        QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(to, 10));
    };
    // Item 0 dropped on the last place.
    drag(50, 290);
    EXPECT_EQ(Codes(), (std::vector<UINT>{HDN_BEGINDRAG, HDN_ENDDRAG}));
    EXPECT_EQ(events_[1].item, 0);
    EXPECT_EQ(events_[1].order, 2);
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 0}));

    // HDN_ENDDRAG answered TRUE: the parent keeps the order as it is (and no click is heard).
    refuse_[HDN_ENDDRAG] = TRUE;
    events_.clear();
    drag(50, 290);
    EXPECT_EQ(Codes(), (std::vector<UINT>{HDN_BEGINDRAG, HDN_ENDDRAG}));
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 0}));

    // HDN_BEGINDRAG refused: no drag, no end, no click.
    refuse_[HDN_BEGINDRAG] = TRUE;
    events_.clear();
    drag(50, 290);
    EXPECT_EQ(Codes(), (std::vector<UINT>{HDN_BEGINDRAG}));
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 0}));
}

}  // namespace
