// CFrameBanner painting: white to pale blue and back, an orange line along the bottom.
#include "flexui/FrameBanner.h"

#include "flexui/DrawHelpers.h"
#include "flexui/MemDC.h"
#include "platform/ui/Dc.h"

namespace {
constexpr COLORREF kPaleBlue = RGB(218, 234, 250);
constexpr COLORREF kOrange = RGB(247, 111, 0);
constexpr COLORREF kGold = RGB(253, 208, 0);
constexpr int kLineHeight = 3;
}  // namespace

void CFrameBanner::OnPaint() {
    CPaintDC paint(this);
    RECT client;
    GetClientRect(&client);
    if (client.right <= 0 || client.bottom <= 0) return;
    CMemDC dc(&paint, client);
    const int middle = client.bottom / 2;
    GradientFill(&dc, RECT{0, 0, client.right, middle}, RGB(255, 255, 255), kPaleBlue, 1);
    GradientFill(&dc, RECT{0, middle, client.right, client.bottom}, kPaleBlue, RGB(255, 255, 255),
                 1);
    const int top = client.bottom - kLineHeight;
    const int half = client.right / 2;
    GradientFill(&dc, RECT{0, top, half, client.bottom}, kOrange, kGold, 0);
    GradientFill(&dc, RECT{half, top, client.right, client.bottom}, kGold, kOrange, 0);
}

BOOL CFrameBanner::OnEraseBkgnd(CDC*) { return TRUE; }
