// Painting windows: WM_PAINT only from paint events, repaint requests, the erase message,
// pixels of a painted window, the drag overlay, and a screenshot of drawn elements.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <functional>

#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/TrackerOverlay.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/Wnd.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

class PaintWnd : public CWnd {
public:
    int paints = 0;
    int erases = 0;
    BOOL eraseAnswer = TRUE;
    BOOL lastFErase = FALSE;
    RECT lastPaintRect;
    std::function<void(CDC&)> draw;

protected:
    void OnPaint() override {
        ++paints;
        CPaintDC dc(this);
        lastFErase = dc.m_ps.fErase;
        lastPaintRect = dc.m_ps.rcPaint;
        if (draw) draw(dc);
    }
    BOOL OnEraseBkgnd(CDC* dc) override {
        ++erases;
        RECT client;
        GetClientRect(&client);
        dc->FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
        return eraseAnswer;
    }
};

class DrawPaintTest : public UiTest {
protected:
    void Open(PaintWnd& wnd, int width = 120, int height = 80) {
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, "paint", WS_POPUP | WS_VISIBLE,
                                 Rect(0, 0, width, height), nullptr, 0));
        DrainEvents();
    }
};

TEST_F(DrawPaintTest, InvalidateRepaintsOnceFromTheEventLoop) {
    PaintWnd wnd;
    Open(wnd);
    wnd.paints = 0;
    wnd.Invalidate();
    wnd.Invalidate();
    RECT part = Rect(5, 5, 10, 10);
    wnd.InvalidateRect(&part);
    EXPECT_EQ(wnd.paints, 0) << "no painting outside paint events";
    DrainEvents();
    EXPECT_EQ(wnd.paints, 1);
    DrainEvents();
    EXPECT_EQ(wnd.paints, 1) << "nothing pending any more";
    wnd.DestroyWindow();
}

TEST_F(DrawPaintTest, UpdateWindowPaintsThePendingUpdateAtOnce) {
    PaintWnd wnd;
    Open(wnd);
    wnd.paints = 0;
    RECT part = Rect(10, 10, 30, 20);
    wnd.InvalidateRect(&part);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.paints, 1);
    EXPECT_EQ(wnd.lastPaintRect, part);
    DrainEvents();
    EXPECT_EQ(wnd.paints, 1);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.paints, 1) << "nothing to paint";
    wnd.DestroyWindow();
}

TEST_F(DrawPaintTest, EraseMessageFollowsTheRequest) {
    PaintWnd wnd;
    Open(wnd);
    wnd.erases = 0;
    wnd.Invalidate(FALSE);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.erases, 0);
    wnd.Invalidate(TRUE);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.erases, 1);
    EXPECT_FALSE(wnd.lastFErase);
    wnd.eraseAnswer = FALSE;
    wnd.Invalidate(TRUE);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.erases, 2);
    EXPECT_TRUE(wnd.lastFErase) << "the window must erase in its paint";
    wnd.DestroyWindow();
}

TEST_F(DrawPaintTest, PaintContextsOutsidePaintEventsDrawNothing) {
    PaintWnd wnd;
    Open(wnd);
    CPaintDC dc(&wnd);
    EXPECT_FALSE(dc.IsValid());
    EXPECT_EQ(dc.GetSafeHdc(), nullptr);
    PAINTSTRUCT ps;
    EXPECT_EQ(BeginPaint(wnd.m_hWnd, &ps), nullptr);
    wnd.DestroyWindow();
}

TEST_F(DrawPaintTest, PaintedPixelsShowInTheWindow) {
    PaintWnd wnd;
    wnd.draw = [](CDC& dc) {
        CBrush red(RGB(255, 0, 0));
        RECT r = Rect(10, 10, 30, 20);
        dc.FillRect(&r, &red);
        RECT inv = Rect(40, 10, 50, 20);
        dc.InvertRect(&inv);
        EXPECT_EQ(dc.GetPixel(15, 15), CLR_INVALID) << "window pixels are not readable";
    };
    Open(wnd);
    PixelProbe probe(wnd.GetWidget());
    EXPECT_EQ(probe.At(0, 0), GetSysColor(COLOR_BTNFACE)) << "erased";
    EXPECT_EQ(probe.Count(RGB(255, 0, 0), Rect(0, 0, 120, 80)), 200);
    EXPECT_EQ(probe.At(45, 15), RGB(0x3F, 0x3F, 0x3F)) << "inverted button face";
    wnd.DestroyWindow();
}

TEST_F(DrawPaintTest, WindowsThatDoNotPaintKeepTheirOwnLook) {
    CWnd edit;
    ASSERT_TRUE(edit.Create("Edit", "text", WS_POPUP | WS_VISIBLE, Rect(0, 0, 80, 24), nullptr, 1));
    DrainEvents();
    PixelProbe probe(edit.GetWidget());
    EXPECT_GT(probe.Width(), 0);
    edit.DestroyWindow();
}

TEST_F(DrawPaintTest, TrackerOverlayShowsOverTheWindowWithoutChangingIt) {
    PaintWnd wnd;
    wnd.draw = [](CDC& dc) {
        RECT all = Rect(0, 0, 120, 80);
        dc.FillSolidRect(&all, RGB(255, 255, 255));
    };
    Open(wnd);
    const QImage before = PixelProbe(wnd.GetWidget()).Image();
    platform::ui::TrackerOverlay tracker;
    ASSERT_TRUE(tracker.Show(wnd.m_hWnd, Rect(50, 0, 54, 80)));
    DrainEvents();
    PixelProbe during(wnd.GetWidget());
    EXPECT_EQ(during.Count(RGB(0, 0, 0), Rect(50, 0, 54, 80)), 4 * 80 / 2);
    EXPECT_EQ(during.Count(RGB(255, 255, 255), Rect(0, 0, 50, 80)), 50 * 80);
    tracker.Move(Rect(60, 0, 64, 80));
    DrainEvents();
    EXPECT_EQ(PixelProbe(wnd.GetWidget()).Count(RGB(0, 0, 0), Rect(50, 0, 54, 80)), 0);
    tracker.Hide();
    DrainEvents();
    EXPECT_FALSE(tracker.IsShown());
    EXPECT_EQ(PixelProbe(wnd.GetWidget()).Image(), before);
    EXPECT_FALSE(tracker.Show(0, Rect(0, 0, 1, 1)));
    wnd.DestroyWindow();
}

class OwnerButton : public CWnd {
public:
    int draws = 0;
    DRAWITEMSTRUCT last;

protected:
    BOOL OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT*) override {
        if (message != WM_DRAWITEM) return FALSE;
        ++draws;
        last = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        CBrush fill(RGB(0, 160, 0));
        last.hDC->FillRect(&last.rcItem, &fill);
        return TRUE;
    }
};

TEST_F(DrawPaintTest, OwnerDrawnButtonsAreDrawnThroughTheirParentsDrawItem) {
    PaintWnd parent;
    Open(parent);
    CWnd plain;
    ASSERT_TRUE(plain.Create("Button", "x", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                             Rect(10, 10, 50, 30), &parent, 42));
    OwnerButton button;
    ASSERT_TRUE(button.SubclassWindow(plain.Detach()));
    button.Invalidate();
    DrainEvents();
    PixelProbe probe(button.GetWidget());
    EXPECT_GE(button.draws, 1);
    EXPECT_EQ(button.last.CtlType, ODT_BUTTON);
    EXPECT_EQ(button.last.CtlID, 42u);
    EXPECT_EQ(button.last.itemAction, ODA_DRAWENTIRE);
    EXPECT_EQ(button.last.rcItem, Rect(0, 0, 40, 20));
    EXPECT_EQ(probe.Count(RGB(0, 160, 0), Rect(0, 0, 40, 20)), 40 * 20);
    button.EnableWindow(FALSE);
    button.Invalidate();
    DrainEvents();
    EXPECT_TRUE(button.last.itemState & ODS_DISABLED);
    parent.DestroyWindow();
}

// The build folder: the nearest directory above the test program that holds CMakeCache.txt.
TEST_F(DrawPaintTest, ScreenshotOfDrawnElements) {
    CImageList images;
    CBitmap strip;
    strip.CreateCompatibleBitmap(nullptr, 32, 16);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 16; ++y) {
            const bool key = (x % 16 - 8) * (x % 16 - 8) + (y - 8) * (y - 8) > 49;
            strip.Image().setPixel(x, y, key ? 0xFFFF00FF : (x < 16 ? 0xFF2060C0 : 0xFFE04020));
        }
    images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    images.Add(&strip, RGB(255, 0, 255));

    PaintWnd wnd;
    wnd.draw = [&](CDC& dc) {
        CFont title, body;
        title.CreateFont(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "黑体");
        body.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
        RECT band = Rect(0, 0, 320, 28);
        dc.FillSolidRect(&band, RGB(218, 234, 250));
        dc.SetBkMode(TRANSPARENT);
        dc.SelectObject(&title);
        dc.DrawText("期货交易客户端 Kelmon", &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        dc.SelectObject(&body);
        RECT cell = Rect(10, 40, 150, 60);
        dc.Draw3dRect(&cell, GetSysColor(COLOR_3DHIGHLIGHT), GetSysColor(COLOR_3DSHADOW));
        dc.DrawText("上海期货交易所螺纹钢主力合约", &cell,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        RECT right = Rect(160, 40, 310, 60);
        dc.FillSolidRect(&right, RGB(255, 255, 225));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(RGB(200, 0, 0));
        dc.DrawText("买入 3852.0", &right, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
        dc.SetTextColor(0);
        CPen pen(PS_DASH, 1, RGB(0, 0, 128));
        CBrush hatch;
        hatch.CreateHatchBrush(HS_DIAGCROSS, RGB(0, 128, 0));
        dc.SelectObject(&pen);
        dc.SelectObject(&hatch);
        dc.SetBkMode(OPAQUE);
        dc.Rectangle(10, 70, 90, 120);
        CBrush blue(RGB(70, 130, 200));
        dc.SelectObject(&blue);
        dc.SelectStockObject(BLACK_PEN);
        dc.Ellipse(100, 70, 160, 120);
        dc.RoundRect(170, 70, 240, 120, 12, 12);
        POINT curve[] = {{250, 115}, {260, 60}, {300, 140}, {310, 75}};
        dc.PolyBezier(curve, 4);
        images.Draw(&dc, 0, POINT{10, 130}, ILD_TRANSPARENT);
        images.Draw(&dc, 1, POINT{30, 130}, ILD_TRANSPARENT);
        RECT focus = Rect(60, 128, 150, 148);
        dc.DrawFocusRect(&focus);
        dc.SetBkMode(TRANSPARENT);
        RECT wrap = Rect(160, 128, 310, 175);
        dc.DrawText("平仓 今仓 昨仓：按 F5 全部平仓，按 Esc 取消", &wrap, DT_WORDBREAK);
    };
    Open(wnd, 320, 180);
    const QImage shot = PixelProbe(wnd.GetWidget()).Image();
    const QString file = kelmon::test::ui::ScreenshotDir() + QStringLiteral("/drawing.png");
    ASSERT_TRUE(shot.save(file));
    EXPECT_TRUE(QFileInfo::exists(file));
    // Some Chinese text reached the pixels of the banner.
    EXPECT_LT(PixelProbe(wnd.GetWidget()).Count(RGB(218, 234, 250), Rect(0, 0, 320, 28)), 320 * 28);
    wnd.DestroyWindow();
}

}  // namespace
