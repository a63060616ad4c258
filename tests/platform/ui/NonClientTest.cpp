// Non-client frames and window regions: frame widths of the styles, client and window
// rectangles and coordinate mapping, the default frame's pixels, a window that sizes and paints
// its own frame, hit testing and mouse messages over the frame, style changes, and regions.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QTest>
#include <QWidget>
#include <functional>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Region.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;

constexpr COLORREF kClientColour = RGB(255, 0, 0);

// Fills its client area; logs what it hears of sizes, paints and the mouse.
class FramedWnd : public CWnd {
public:
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> handle;
    std::vector<MSG> mouse;
    SIZE lastSize{};
    RECT lastPaint{};

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (handle && handle(message, wParam, lParam, &result)) return result;
        if (message == WM_LBUTTONDOWN || message == WM_NCLBUTTONDOWN || message == WM_NCHITTEST)
            mouse.push_back(MSG{m_hWnd, message, wParam, lParam, 0, {}});
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void OnSize(UINT, int cx, int cy) override { lastSize = SIZE{cx, cy}; }
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnPaint() override {
        CPaintDC dc(this);
        lastPaint = dc.m_ps.rcPaint;
        RECT client;
        GetClientRect(&client);
        // Wider than the client area on purpose: a client context never reaches the frame.
        InflateRect(&client, 10, 10);
        dc.FillSolidRect(&client, kClientColour);
    }
};

class NonClientTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE,
                                   RECT{100, 100, 500, 400}, nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    static RECT ScreenRect(const CWnd& wnd) {
        RECT r;
        wnd.GetWindowRect(&r);
        return r;
    }
    CWnd host_;
};

TEST_F(NonClientTest, EachFrameKindNarrowsTheClientAreaAndMovesClientCoordinates) {
    struct Case {
        DWORD style, exStyle;
        int width;
    };
    const Case cases[] = {
        {0, 0, 0},
        {WS_BORDER, 0, 1},
        {0, WS_EX_CLIENTEDGE, 2},
        {0, WS_EX_STATICEDGE, 1},
        {WS_DLGFRAME, 0, 3},
        {WS_THICKFRAME, 0, 4},
        {WS_BORDER, WS_EX_CLIENTEDGE, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.style << " " << c.exStyle);
        FramedWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(c.exStyle, nullptr, "", WS_CHILD | WS_VISIBLE | c.style,
                                 RECT{10, 20, 110, 80}, &host_, 1));
        DrainEvents();
        const int w = c.width;
        RECT client;
        wnd.GetClientRect(&client);
        EXPECT_EQ(client.right, 100 - 2 * w);
        EXPECT_EQ(client.bottom, 60 - 2 * w);
        EXPECT_EQ(wnd.lastSize.cx, 100 - 2 * w) << "WM_SIZE carries the client size";
        EXPECT_EQ(wnd.lastSize.cy, 60 - 2 * w);

        // The window sits where it was put in the host's client area, frame included.
        const RECT window = ScreenRect(wnd);
        EXPECT_EQ(window.left, 110);
        EXPECT_EQ(window.top, 120);
        EXPECT_EQ(window.right - window.left, 100);
        POINT origin{0, 0};
        wnd.ClientToScreen(&origin);
        EXPECT_EQ(origin.x, 110 + w);
        EXPECT_EQ(origin.y, 120 + w);
        POINT back{origin.x + 5, origin.y + 7};
        wnd.ScreenToClient(&back);
        EXPECT_EQ(back.x, 5);
        EXPECT_EQ(back.y, 7);

        // A child of the framed window is placed in its client coordinates.
        CWnd child;
        ASSERT_TRUE(child.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, &wnd, 2));
        EXPECT_EQ(ScreenRect(child).left, 110 + w);
        EXPECT_EQ(GetWindowRectIn(child.m_hWnd, wnd.m_hWnd).left, 0);
        child.MoveWindow(4, 6, 10, 10);
        EXPECT_EQ(GetWindowRectIn(child.m_hWnd, wnd.m_hWnd).top, 6);
        EXPECT_EQ(ScreenRect(child).top, 120 + w + 6);
    }
}

TEST_F(NonClientTest, DefaultFramesPaintInTheClassicColoursAroundTheClientPaint) {
    struct Case {
        DWORD style, exStyle;
        // Pixels on the diagonal from the top-left and bottom-right corners, outside in.
        std::vector<COLORREF> topLeft, bottomRight;
    };
    const COLORREF black = RGB(0, 0, 0), grey = RGB(128, 128, 128), white = RGB(255, 255, 255),
                   light = RGB(192, 192, 192);
    const Case cases[] = {
        {WS_BORDER, 0, {black}, {black}},
        {0, WS_EX_CLIENTEDGE, {grey, black}, {white, light}},
        {0, WS_EX_STATICEDGE, {grey}, {white}},
        {WS_DLGFRAME, 0, {light, white, light}, {black, grey, light}},
        {WS_BORDER, WS_EX_CLIENTEDGE, {black, grey, black}, {black, white, light}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.style << " " << c.exStyle);
        FramedWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(c.exStyle, nullptr, "", WS_CHILD | WS_VISIBLE | c.style,
                                 RECT{10, 10, 70, 50}, &host_, 1));
        DrainEvents();
        PixelProbe probe(wnd.GetWidget());
        const int n = static_cast<int>(c.topLeft.size());
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(probe.At(i, i), c.topLeft[static_cast<size_t>(i)]) << i;
            EXPECT_EQ(probe.At(59 - i, 39 - i), c.bottomRight[static_cast<size_t>(i)]) << i;
        }
        EXPECT_EQ(probe.At(n, n), kClientColour);
        EXPECT_EQ(probe.At(59 - n, 39 - n), kClientColour);
        EXPECT_EQ(probe.Count(kClientColour, RECT{0, 0, 60, 40}), (60 - 2 * n) * (40 - 2 * n))
            << "the client paint stays inside the frame";
    }
}

TEST_F(NonClientTest, AReportListKeepsItsHeaderRowsAndBarsInsideItsBorder) {
    CWnd list;
    ASSERT_TRUE(list.Create("SysListView32", "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT,
                            RECT{10, 10, 210, 110}, &host_, 1));
    LVCOLUMN column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 80;
    column.pszText = const_cast<char*>("A");
    list.SendMessage(LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));
    DrainEvents();
    auto* area = static_cast<QAbstractScrollArea*>(list.GetWidget());
    EXPECT_EQ(area->viewport()->geometry().left(), 1);
    EXPECT_EQ(area->viewport()->geometry().right(), 198);
    const HWND header = static_cast<HWND>(list.SendMessage(LVM_GETHEADER));
    const RECT headerRect = GetWindowRectIn(header, list.m_hWnd);
    EXPECT_EQ(headerRect.left, 0);
    EXPECT_EQ(headerRect.top, 0);
    EXPECT_EQ(ScreenRect(list).top + 1, ScreenRect(*CWnd::FromHandle(header)).top);
    PixelProbe probe(list.GetWidget());
    EXPECT_EQ(probe.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(probe.At(199, 99), RGB(0, 0, 0));
    EXPECT_EQ(probe.At(0, 50), RGB(0, 0, 0));
}

TEST_F(NonClientTest, RepaintRequestsAreInClientCoordinates) {
    FramedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(WS_EX_CLIENTEDGE, nullptr, "", WS_CHILD | WS_VISIBLE,
                             RECT{10, 10, 110, 110}, &host_, 1));
    DrainEvents();
    RECT part{0, 0, 10, 5};
    wnd.InvalidateRect(&part, FALSE);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.lastPaint.left, 0);
    EXPECT_EQ(wnd.lastPaint.top, 0);
    EXPECT_EQ(wnd.lastPaint.right, 10);
    EXPECT_EQ(wnd.lastPaint.bottom, 5);
}

TEST_F(NonClientTest, AWindowSizesAndPaintsItsOwnFrameAndHearsTheMouseOverIt) {
    constexpr COLORREF kFrame = RGB(0, 0, 255);
    FramedWnd wnd;
    int left = 5, top = 10;
    wnd.handle = [&](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
        if (message == WM_NCCALCSIZE) {
            auto* r = reinterpret_cast<RECT*>(lParam);
            r->left += left;
            r->top += top;
            *result = 0;
            return true;
        }
        if (message == WM_NCPAINT) {
            CWindowDC dc(&wnd);
            RECT whole;
            wnd.GetWindowRect(&whole);
            ::OffsetRect(&whole, -whole.left, -whole.top);
            dc.FillSolidRect(&whole, kFrame);  // the client area is painted before the frame
            *result = 0;
            return true;
        }
        return false;
    };
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 40}, &host_, 1));
    DrainEvents();
    RECT client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(client.right, 45);
    EXPECT_EQ(client.bottom, 30);
    {
        PixelProbe probe(wnd.GetWidget());
        EXPECT_EQ(probe.At(4, 20), kFrame);
        EXPECT_EQ(probe.At(20, 9), kFrame);
        EXPECT_EQ(probe.At(20, 30), kFrame) << "the frame paint may cover the client area";
    }

    // Over the frame: the hit test, then the non-client message; inside: client coordinates.
    wnd.mouse.clear();
    QTest::mousePress(wnd.GetWidget(), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_EQ(wnd.mouse.size(), 2u);
    EXPECT_EQ(wnd.mouse[0].message, WM_NCHITTEST);
    EXPECT_EQ(wnd.mouse[1].message, WM_NCLBUTTONDOWN);
    EXPECT_EQ(wnd.mouse[1].wParam, WPARAM{HTBORDER});
    QTest::mouseRelease(wnd.GetWidget(), Qt::LeftButton, {}, QPoint(2, 2));
    wnd.mouse.clear();
    QTest::mouseClick(wnd.GetWidget(), Qt::LeftButton, {}, QPoint(8, 13));
    ASSERT_EQ(wnd.mouse.size(), 1u);
    EXPECT_EQ(wnd.mouse[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(wnd.mouse[0].lParam, MAKELPARAM(3, 3));

    // The frame is asked for again only when the window says so.
    left = 0;
    top = 2;
    wnd.GetClientRect(&client);
    EXPECT_EQ(client.right, 45);
    wnd.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    wnd.GetClientRect(&client);
    EXPECT_EQ(client.right, 50);
    EXPECT_EQ(client.bottom, 38);
    EXPECT_EQ(GetWindowRectIn(wnd.m_hWnd, host_.m_hWnd).left, 0) << "frame change, no move";
}

TEST_F(NonClientTest, StyleChangesTakeEffectAtOnce) {
    FramedWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 40}, &host_, 1));
    DrainEvents();
    auto clientWidth = [&] {
        RECT r;
        wnd.GetClientRect(&r);
        return r.right;
    };
    EXPECT_EQ(clientWidth(), 50);
    EXPECT_TRUE(wnd.ModifyStyle(0, WS_BORDER));
    EXPECT_EQ(clientWidth(), 48);
    EXPECT_TRUE(wnd.ModifyStyleEx(0, WS_EX_CLIENTEDGE));
    EXPECT_EQ(clientWidth(), 44);
    DrainEvents();
    EXPECT_EQ(PixelProbe(wnd.GetWidget()).At(0, 0), RGB(0, 0, 0));
    EXPECT_TRUE(wnd.ModifyStyle(WS_BORDER, 0));
    EXPECT_TRUE(wnd.ModifyStyleEx(WS_EX_CLIENTEDGE, 0));
    EXPECT_EQ(clientWidth(), 50);
    DrainEvents();
    EXPECT_EQ(PixelProbe(wnd.GetWidget()).At(0, 0), kClientColour);
}

TEST_F(NonClientTest, AWindowRegionShapesTheWindowAndItsHitTest) {
    FramedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "", WS_POPUP | WS_BORDER | WS_VISIBLE,
                             RECT{200, 200, 300, 300}, nullptr, 0));
    CRgn probeRegion;
    probeRegion.CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(wnd.GetWindowRgn(probeRegion), RGN_ERROR) << "no region yet";

    CRgn ellipse;
    ellipse.CreateEllipticRgn(0, 0, 100, 100);
    CRgn copy;
    copy.CreateRectRgn(0, 0, 0, 0);
    copy.CopyRgn(&ellipse);
    EXPECT_NE(wnd.SetWindowRgn(ellipse, TRUE), 0);
    EXPECT_FALSE(ellipse.IsCreated()) << "the window took the region over";
    EXPECT_EQ(wnd.GetWindowRgn(probeRegion), COMPLEXREGION);
    EXPECT_TRUE(probeRegion.EqualRgn(&copy));
    EXPECT_EQ(wnd.GetWidget()->mask(), copy.Region());

    struct Hit {
        int x, y;
        LRESULT expected;
    };
    // Screen points: the window's corner is outside the ellipse, its edge is frame.
    const Hit hits[] = {
        {201, 201, HTNOWHERE}, {250, 250, HTCLIENT}, {250, 200, HTBORDER}, {350, 250, HTNOWHERE}};
    for (const Hit& h : hits)
        EXPECT_EQ(wnd.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(h.x, h.y)), h.expected)
            << h.x << "," << h.y;

    CRgn empty;
    empty.CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(wnd.SetWindowRgn(empty, FALSE), 0);
    EXPECT_EQ(wnd.GetWindowRgn(probeRegion), NULLREGION);
    EXPECT_EQ(wnd.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(250, 250)), LRESULT{HTNOWHERE});

    EXPECT_NE(wnd.SetWindowRgn(nullptr, TRUE), 0);
    EXPECT_EQ(wnd.GetWindowRgn(probeRegion), RGN_ERROR);
    EXPECT_TRUE(wnd.GetWidget()->mask().isEmpty());
    EXPECT_EQ(wnd.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(200, 200)), LRESULT{HTBORDER});
    wnd.DestroyWindow();
}

}  // namespace
