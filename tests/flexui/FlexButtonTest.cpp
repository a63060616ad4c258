// Owner-drawn buttons: the takeover keeps the kind (check state, dialog codes, styles), frames
// and state images follow the state, hot tracking, clicks notify once, image buttons.
#include "flexui/FlexButton.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "flexui/ImageButton.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"
#include "tests/flexui/FlexCtlHost.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::NotifyHost;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::ProcessEventsUntil;

// Border colours of the library's frame template 0, cells normal, hot, pressed.
constexpr COLORREF kNormalBorder = RGB(112, 112, 112);
constexpr COLORREF kHotBorder = RGB(60, 127, 177);
constexpr COLORREF kPressedBorder = RGB(44, 98, 139);

class FlexButtonTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override { ASSERT_TRUE(host_.CreateHost()); }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    // A plain button of the kind, then taken over by `button`.
    void MakeButton(CFlexButton& button, DWORD style, int id = 100, const char* text = "OK") {
        HWND plain = 0;
        {
            CWnd maker;
            ASSERT_TRUE(maker.Create("Button", text, WS_CHILD | WS_VISIBLE | style,
                                     RECT{10, 10, 90, 34}, &host_, static_cast<UINT>(id)));
            plain = maker.Detach();
        }
        ASSERT_TRUE(button.SubclassDlgItem(static_cast<UINT>(id), &host_));
        ASSERT_EQ(button.GetSafeHwnd(), plain);
    }
    COLORREF TopEdge(CFlexButton& button) {
        DrainEvents();
        return PixelProbe(button.GetWidget()).At(40, 0);
    }

    NotifyHost host_;
};

TEST_F(FlexButtonTest, TakeoverKeepsTheKindAndMakesTheWindowOwnerDrawn) {
    const DWORD kinds[] = {BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, BS_AUTORADIOBUTTON};
    int id = 100;
    for (DWORD kind : kinds) {
        SCOPED_TRACE(kind);
        CFlexButton button;
        MakeButton(button, kind, id++);
        EXPECT_EQ(button.GetButtonType(), kind);
        EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);
        button.DestroyWindow();
    }
}

TEST_F(FlexButtonTest, DialogCodesAnswerForTheKindItWas) {
    struct Case {
        DWORD style;
        LRESULT want;
        LRESULT absent;
    };
    const LRESULT all = DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON | DLGC_RADIOBUTTON;
    const Case cases[] = {
        {BS_PUSHBUTTON, DLGC_UNDEFPUSHBUTTON, DLGC_DEFPUSHBUTTON | DLGC_RADIOBUTTON},
        {BS_PUSHBUTTON | BS_FLAT, 0, all},
        {BS_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON, DLGC_UNDEFPUSHBUTTON | DLGC_RADIOBUTTON},
        {BS_RADIOBUTTON, DLGC_RADIOBUTTON, DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON},
        {BS_AUTORADIOBUTTON, DLGC_RADIOBUTTON, DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON},
        {BS_AUTOCHECKBOX, 0, all},
    };
    int id = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        CFlexButton button;
        MakeButton(button, c.style, id++);
        const LRESULT code = button.SendMessage(WM_GETDLGCODE);
        EXPECT_EQ(code & c.want, c.want);
        EXPECT_EQ(code & c.absent, 0);
        button.DestroyWindow();
    }
}

TEST_F(FlexButtonTest, SetStyleKeepsTheWindowOwnerDrawnAndRecordsTheKind) {
    CFlexButton button;
    MakeButton(button, BS_PUSHBUTTON);
    button.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(button.GetButtonType(), BS_DEFPUSHBUTTON);
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_NE(button.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON, 0);
    // A requested kind with bit 0x4 gets the other owner-drawn code.
    button.SendMessage(BM_SETSTYLE, BS_RADIOBUTTON, TRUE);
    EXPECT_EQ(button.GetButtonType(), BS_RADIOBUTTON);
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, 15u);
    button.DestroyWindow();
}

TEST_F(FlexButtonTest, CheckBoxStillTogglesReportsItsStateAndShowsThePressedFrame) {
    CFlexButton box;
    MakeButton(box, BS_AUTOCHECKBOX, 101, "");
    EXPECT_EQ(box.SendMessage(BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
    EXPECT_EQ(TopEdge(box), kNormalBorder);
    QTest::mouseClick(box.GetWidget(), Qt::LeftButton, {}, QPoint(40, 12));
    DrainEvents();
    EXPECT_EQ(box.SendMessage(BM_GETCHECK), static_cast<LRESULT>(BST_CHECKED));
    EXPECT_EQ(host_.Count(101, BN_CLICKED), 1);
    EXPECT_EQ(TopEdge(box), kPressedBorder);
    QTest::mouseClick(box.GetWidget(), Qt::LeftButton, {}, QPoint(40, 12));
    DrainEvents();
    EXPECT_EQ(box.SendMessage(BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
    EXPECT_EQ(host_.Count(101, BN_CLICKED), 2);
    // The program's BM_SETCHECK sets the bit and tells nobody.
    box.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(box.GetCheck(), static_cast<int>(BST_CHECKED));
    EXPECT_EQ(TopEdge(box), kPressedBorder);
    EXPECT_EQ(host_.Count(101, BN_CLICKED), 2);
    box.DestroyWindow();
}

TEST_F(FlexButtonTest, PushButtonClickNotifiesOnceAndADoubleClickCountsAsAClick) {
    CFlexButton button;
    MakeButton(button, BS_PUSHBUTTON, 102);
    QTest::mouseClick(button.GetWidget(), Qt::LeftButton, {}, QPoint(40, 12));
    DrainEvents();
    EXPECT_EQ(host_.Count(102, BN_CLICKED), 1);
    // The control's double-click notification reaches the parent as one more click.
    host_.SendMessage(WM_COMMAND, MAKEWPARAM(102, BN_DOUBLECLICKED),
                      static_cast<LPARAM>(button.GetSafeHwnd()));
    DrainEvents();
    EXPECT_EQ(host_.Count(102, BN_CLICKED), 2);
    EXPECT_EQ(host_.Count(102, BN_DOUBLECLICKED), 0);
    button.DestroyWindow();
}

TEST_F(FlexButtonTest, FlatButtonShowsNoFrameUntilTheMouseIsOverIt) {
    CFlexButton flat;
    MakeButton(flat, BS_PUSHBUTTON | BS_FLAT, 103);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(TopEdge(flat), face);
    flat.SendMessage(WM_MOUSEHOVER);
    EXPECT_NE(flat.GetFlexState() & FLEXBTN_HOT, 0u);
    EXPECT_EQ(TopEdge(flat), kHotBorder);
    flat.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(flat.GetFlexState() & (FLEXBTN_HOT | FLEXBTN_TRACKING), 0u);
    EXPECT_EQ(TopEdge(flat), face);
    flat.DestroyWindow();
}

TEST_F(FlexButtonTest, MouseMoveStartsTrackingOnceAndHoverMakesTheButtonHot) {
    CFlexButton button;
    MakeButton(button, BS_PUSHBUTTON, 104);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_NE(button.GetFlexState() & FLEXBTN_TRACKING, 0u);
    TRACKMOUSEEVENT query;
    query.dwFlags = TME_QUERY;
    query.hwndTrack = button.GetSafeHwnd();
    ASSERT_TRUE(TrackMouseEvent(&query));
    EXPECT_EQ(query.dwFlags & (TME_HOVER | TME_LEAVE), TME_HOVER | TME_LEAVE);
    EXPECT_EQ(query.dwHoverTime, 1u);
    EXPECT_TRUE(ProcessEventsUntil([&] { return (button.GetFlexState() & FLEXBTN_HOT) != 0; }));
    button.DestroyWindow();
}

TEST_F(FlexButtonTest, OneStateImageShowsInEveryState) {
    CFlexButton button;
    MakeButton(button, BS_PUSHBUTTON, 105, "");
    QImage red(10, 10, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    CBitmap bitmap;
    bitmap.CreateFromImage(red);
    ASSERT_TRUE(button.SetBitmap(&bitmap, RGB(255, 0, 255), 1));
    ASSERT_EQ(button.GetStateImages()->GetImageCount(), 1);
    auto centre = [&] {
        DrainEvents();
        return PixelProbe(button.GetWidget()).At(40, 12);
    };
    EXPECT_EQ(centre(), RGB(255, 0, 0));
    button.SendMessage(WM_MOUSEHOVER);
    EXPECT_EQ(centre(), RGB(255, 0, 0));
    button.EnableWindow(FALSE);
    EXPECT_EQ(centre(), RGB(255, 0, 0));
    button.DestroyWindow();
}

TEST_F(FlexButtonTest, StateImagesPickTheirCellAndACountOfZeroCutsSquares) {
    CFlexButton button;
    MakeButton(button, BS_PUSHBUTTON, 106, "");
    QImage strip(40, 10, QImage::Format_RGB32);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) strip.setPixelColor(i * 10 + x, y, colours[i]);
    CBitmap bitmap;
    bitmap.CreateFromImage(strip);
    ASSERT_TRUE(button.SetBitmap(&bitmap, RGB(255, 0, 255), 0));
    ASSERT_EQ(button.GetStateImages()->GetImageCount(), 4);
    auto centre = [&] {
        DrainEvents();
        return PixelProbe(button.GetWidget()).At(40, 12);
    };
    EXPECT_EQ(centre(), RGB(255, 0, 0));
    button.SendMessage(WM_MOUSEHOVER);
    EXPECT_EQ(centre(), RGB(0, 255, 0));
    button.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(centre(), RGB(0, 0, 255));
    button.EnableWindow(FALSE);
    EXPECT_EQ(centre(), RGB(255, 255, 0));
    button.DestroyWindow();
}

TEST(FlexButtonFormat, CaptionFormatFollowsTheAlignmentStyles) {
    struct Case {
        DWORD style;
        UINT format;
    };
    const Case cases[] = {
        {0, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX},
        {BS_LEFT, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX},
        {BS_RIGHT | BS_TOP, DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX},
        {BS_CENTER | BS_BOTTOM, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX},
        {BS_MULTILINE | BS_TOP | BS_BOTTOM, DT_CENTER | DT_VCENTER | DT_NOPREFIX},
    };
    for (const Case& c : cases) EXPECT_EQ(CFlexButton::TextFormatOf(c.style), c.format) << c.style;
}

TEST_F(FlexButtonTest, ToolTipIsMadeOnceWithOneToolAndFollowsTheActivateFlag) {
    CFlexButton button;
    MakeButton(button, BS_PUSHBUTTON, 107);
    button.SetToolTipText(nullptr);
    EXPECT_EQ(button.GetToolTip(), nullptr);
    button.SetToolTipText("买入", FALSE);
    ASSERT_NE(button.GetToolTip(), nullptr);
    CToolTipCtrl* tip = button.GetToolTip();
    EXPECT_EQ(tip->GetToolCount(), 1);
    button.SetToolTipText("卖出", TRUE);
    EXPECT_EQ(button.GetToolTip(), tip);
    EXPECT_EQ(tip->GetToolCount(), 1);
    button.DestroyWindow();
}

TEST_F(FlexButtonTest, NinePartFrameKeepsTransparentCornersUnlessMerged) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, 60, 40);
    CBitmap* old = dc.SelectObject(&bitmap);
    auto draw = [&](DWORD merge) {
        dc.FillSolidRect(0, 0, 60, 40, RGB(255, 255, 255));
        DrawFlexFrame(&dc, RECT{0, 0, 60, 40}, GetFlexFrameTemplate(0), FRAME_CELL_NORMAL, merge);
    };
    draw(0);
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(255, 255, 255));    // transparent corner
    EXPECT_EQ(dc.GetPixel(59, 39), RGB(255, 255, 255));  // and the opposite one
    EXPECT_EQ(dc.GetPixel(30, 0), kNormalBorder);        // stretched top edge
    EXPECT_EQ(dc.GetPixel(0, 20), kNormalBorder);        // stretched left edge
    EXPECT_EQ(dc.GetPixel(59, 20), kNormalBorder);
    draw(FLEXBTN_MERGE_LEFT);
    EXPECT_EQ(dc.GetPixel(0, 0), kNormalBorder);  // the top edge runs to the border
    EXPECT_EQ(dc.GetPixel(59, 0), RGB(255, 255, 255));
    draw(FLEXBTN_MERGE_RIGHT | FLEXBTN_MERGE_BOTTOM);
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetPixel(59, 39), kNormalBorder);
    // A cell that the template lacks falls back to cell 0.
    dc.FillSolidRect(0, 0, 60, 40, RGB(255, 255, 255));
    DrawFlexFrame(&dc, RECT{0, 0, 60, 40}, GetFlexFrameTemplate(0), 9, 0);
    EXPECT_EQ(dc.GetPixel(30, 0), kNormalBorder);
    dc.SelectObject(old);
}

TEST_F(FlexButtonTest, TransparentButtonShowsTheParentUnderItAndRetakesItAfterAMove) {
    CFlexButton button;
    ASSERT_TRUE(button.CreateEx(WS_EX_TRANSPARENT, "Button", "", WS_CHILD | WS_VISIBLE | BS_FLAT,
                                RECT{10, 10, 90, 34}, &host_, 109));
    button.PreSubclassWindow();
    host_.GetWidget()->setStyleSheet("background-color: rgb(10, 200, 30);");
    DrainEvents();
    EXPECT_EQ(PixelProbe(button.GetWidget()).At(40, 12), RGB(10, 200, 30));
    host_.GetWidget()->setStyleSheet("background-color: rgb(200, 10, 30);");
    button.MoveWindow(20, 10, 80, 24);
    DrainEvents();
    EXPECT_EQ(PixelProbe(button.GetWidget()).At(40, 12), RGB(200, 10, 30));
    button.DestroyWindow();
}

TEST_F(FlexButtonTest, ImageButtonIsFlatAndDrawsItsImageAtTheCorner) {
    CImageButton image;
    MakeButton(image, BS_PUSHBUTTON, 108, "never shown");
    EXPECT_NE(image.GetStyle() & BS_FLAT, 0u);
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(QColor(0, 255, 0));
    CBitmap bitmap;
    bitmap.CreateFromImage(green);
    ASSERT_TRUE(image.SetBitmap(&bitmap, RGB(255, 0, 255), 1));
    image.SendMessage(WM_MOUSEHOVER);  // no frame even when hot
    DrainEvents();
    PixelProbe probe(image.GetWidget());
    EXPECT_EQ(probe.At(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(probe.At(7, 7), RGB(0, 255, 0));
    EXPECT_EQ(probe.At(40, 0), GetSysColor(COLOR_BTNFACE));
    image.DestroyWindow();
}

}  // namespace
