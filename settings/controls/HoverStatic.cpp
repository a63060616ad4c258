// CHoverStatic: the shared fonts and arrows, the hover tracking, and the content's layout.
#include "settings/controls/HoverStatic.h"

#include <algorithm>
#include <cstdio>

#include "flexui/DrawHelpers.h"
#include "flexui/FlexBitmaps.h"
#include "flexui/MemDC.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "tradedata/Rates.h"

namespace settings::controls {

namespace {

constexpr BYTE kAntialiased = 4;  // the font quality that asks for smoothed glyphs
constexpr int kFaceMargin = 3;    // the face bitmaps' frame, kept free of content
constexpr int kHeadLift = 3;      // the small head's bottom above the large tail's
constexpr int kMarkRise = 16;     // the compare mark's top above the bottom

BOOL MakeFont(CFont& font, int height, int width, int weight, BYTE charSet, BYTE quality,
              const char* face) {
    return font.CreateFont(height, width, 0, 0, weight, 0, 0, 0, charSet, 0, 0, quality, 0, face);
}

SIZE Extent(CDC* dc, CFont* font, std::string_view text) {
    CFont* old = dc->SelectObject(font);
    const SIZE size = dc->GetTextExtent(text);
    dc->SelectObject(old);
    return size;
}

}  // namespace

// Made by the first field that is subclassed and kept for the program's life.
struct CHoverStatic::Fonts {
    CFont value;
    CFont quantity;
    CFont smallValue;
    CFont largeValue;
    CFont caption;
    CImageList arrows;
};

CHoverStatic::Fonts& CHoverStatic::SharedFonts() {
    static std::unique_ptr<Fonts> shared;
    if (!shared) {
        auto fonts = std::make_unique<Fonts>();
        MakeFont(fonts->value, 16, 7, FW_BOLD, DEFAULT_CHARSET, 0, "Arial");
        MakeFont(fonts->quantity, 12, 5, FW_MEDIUM, DEFAULT_CHARSET, 0, "Arial");
        MakeFont(fonts->smallValue, 12, 0, FW_BOLD, DEFAULT_CHARSET, kAntialiased, "Arial");
        MakeFont(fonts->largeValue, 24, 9, FW_BOLD, DEFAULT_CHARSET, kAntialiased, "Arial");
        MakeFont(fonts->caption, 12, 0, FW_MEDIUM, GB2312_CHARSET, 0, "宋体");
        LoadFlexImageList(fonts->arrows, kArrowBitmapId, kArrowSize, kArrowSize, kArrowTransparent);
        shared = std::move(fonts);
    }
    return *shared;
}

CHoverStatic::CHoverStatic() = default;
CHoverStatic::~CHoverStatic() = default;

BOOL CHoverStatic::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (!CWnd::Create("Static", text, style, rect, parent, id)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

BOOL CHoverStatic::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

void CHoverStatic::PreSubclassWindow() { SharedFonts(); }

void CHoverStatic::SetValue(double value, int32_t quantity, int32_t secondQuantity) {
    value_ = value;
    quantity_ = quantity;
    secondQuantity_ = secondQuantity;
}

void CHoverStatic::SetChangeColors(COLORREF risen, COLORREF unchanged, COLORREF fallen) {
    risenColor_ = risen;
    unchangedColor_ = unchanged;
    fallenColor_ = fallen;
}

void CHoverStatic::SetBitmaps(CBitmap* normal, CBitmap* hover) {
    normal_ = normal;
    hoverBitmap_ = hover;
    normalFace_.reset();
    hoverFace_.reset();
    if (!normal || !normal->IsCreated() || !m_hWnd) return;
    BITMAP info;
    normal->GetBitmap(&info);
    RECT where{};
    GetWindowRect(&where);
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&where);
    MoveWindow(where.left, where.top, info.bmWidth, info.bmHeight);
}

double CHoverStatic::GetChange() const { return value_ == 0.0 ? 0.0 : value_ - base_; }

COLORREF CHoverStatic::ChangeColor(double change, double tolerance) const {
    if (change > tolerance) return risenColor_;
    if (change < -tolerance) return fallenColor_;
    return unchangedColor_;
}

COLORREF CHoverStatic::GetValueTextColor() const {
    if (valueColor_ != kNoColor) return valueColor_;
    return ChangeColor(GetChange(), (style_ & kSplitMask) ? kSplitTolerance : 0.0);
}

std::string CHoverStatic::GetValueText() const {
    return tradedata::FormatDouble(value_, decimals_);
}

void CHoverStatic::SplitValueText(std::string_view text, int split, std::string* head,
                                  std::string* tail) {
    size_t n = split > 0 ? static_cast<size_t>(split) : 0;
    if (n > 0 && text.size() >= 2 && text[text.size() - 2] == '.') n += 2;
    n = std::min(n, text.size());
    if (head) head->assign(text.substr(0, text.size() - n));
    if (tail) tail->assign(text.substr(text.size() - n));
}

LRESULT CHoverStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEHOVER:
            return OnMouseHover();
        case WM_MOUSELEAVE:
            return OnMouseLeave();
        case WM_SETCURSOR:
            return OnSetCursor();
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

BOOL CHoverStatic::OnEraseBkgnd(CDC*) { return TRUE; }

void CHoverStatic::OnMouseMove(UINT, POINT) {
    if (!tracking_) {
        TRACKMOUSEEVENT request;
        request.dwFlags = TME_HOVER | TME_LEAVE;
        request.hwndTrack = m_hWnd;
        request.dwHoverTime = 1;
        tracking_ = ::TrackMouseEvent(&request);
    }
    Default();
}

LRESULT CHoverStatic::OnMouseHover() {
    hover_ = TRUE;
    Invalidate(FALSE);
    return 0;
}

LRESULT CHoverStatic::OnMouseLeave() {
    hover_ = FALSE;
    tracking_ = FALSE;
    Invalidate(FALSE);
    return 0;
}

LRESULT CHoverStatic::OnSetCursor() {
    ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
    return TRUE;
}

void CHoverStatic::OnPaint() {
    CPaintDC paint(this);
    RECT client{};
    GetClientRect(&client);
    if (client.right <= client.left || client.bottom <= client.top) return;
    CMemDC memory(&paint, client);
    DrawContent(&memory, client);
}

void CHoverStatic::FillParentBackground(CDC* dc, const RECT& rect) {
    HBRUSH brush = nullptr;
    if (CWnd* parent = GetParent())
        brush = reinterpret_cast<HBRUSH>(parent->SendMessage(
            WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), static_cast<LPARAM>(m_hWnd)));
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    dc->FillRect(&rect, brush);
}

CBitmap* CHoverStatic::Face(std::unique_ptr<CBitmap>& face, CBitmap* bitmap, CDC* reference) {
    if (!face) {
        BITMAP info;
        bitmap->GetBitmap(&info);
        auto made = std::make_unique<CBitmap>();
        if (!made->CreateCompatibleBitmap(reference, info.bmWidth, info.bmHeight)) return nullptr;
        CDC dc;
        dc.CreateCompatibleDC(reference);
        CBitmap* old = dc.SelectObject(made.get());
        // The bitmap's transparent pixels show what a plain field would.
        const RECT all{0, 0, info.bmWidth, info.bmHeight};
        FillParentBackground(&dc, all);
        DrawBitmap(&dc, all, bitmap, kFaceTransparent);
        dc.SelectObject(old);
        face = std::move(made);
    }
    return face.get();
}

void CHoverStatic::DrawBackground(CDC* dc, RECT* area) {
    const bool faces = normal_ && normal_->IsCreated() && hoverBitmap_ && hoverBitmap_->IsCreated();
    if (!faces) {
        FillParentBackground(dc, *area);
        return;
    }
    CBitmap* face = hover_ ? Face(hoverFace_, hoverBitmap_, dc) : Face(normalFace_, normal_, dc);
    if (face) {
        CDC source;
        source.CreateCompatibleDC(dc);
        CBitmap* old = source.SelectObject(face);
        const SIZE size = face->GetBitmapDimension();
        dc->BitBlt(area->left, area->top, size.cx, size.cy, &source, 0, 0, SRCCOPY);
        source.SelectObject(old);
    }
    ::InflateRect(area, -kFaceMargin, -kFaceMargin);
}

void CHoverStatic::DrawContent(CDC* dc, RECT area) {
    DrawBackground(dc, &area);
    dc->SetBkMode(TRANSPARENT);
    Fonts& fonts = SharedFonts();
    const bool split = (style_ & kSplitMask) != 0;
    const double difference = value_ == 0.0 || compare_ == 0.0 ? 0.0 : value_ - compare_;

    if (!caption_.empty()) {
        RECT text = area;
        ::InflateRect(&text, -1, -1);
        CFont* old = dc->SelectObject(&fonts.caption);
        dc->SetTextColor(captionColor_);
        dc->DrawText(caption_, &text,
                     DT_SINGLELINE | DT_NOPREFIX | ((style_ & kCaptionRight) ? DT_RIGHT : DT_LEFT) |
                         ((style_ & kCaptionBottom) ? DT_BOTTOM : DT_TOP));
        if (split) {
            const int half = dc->GetTextExtent(caption_).cy / 2;
            if (style_ & kContentLower) area.top += half;
            if (style_ & kCaptionBottom) area.bottom -= half;
        }
        dc->SelectObject(old);
    }

    int x = area.left;
    if (style_ & kShowValue) x = DrawValue(dc, area, x, difference);
    if (style_ & kShowChange) x = DrawChange(dc, area, x);
    DrawQuantities(dc, area, x);
}

int CHoverStatic::DrawValue(CDC* dc, const RECT& area, int x, double difference) {
    Fonts& fonts = SharedFonts();
    const std::string text = GetValueText();
    const bool centred = (GetStyle() & SS_TYPEMASK) == SS_CENTER;
    dc->SetTextColor(GetValueTextColor());
    const int split = static_cast<int>(style_ & kSplitMask);
    if (split == 0) {
        const SIZE size = Extent(dc, &fonts.value, text);
        if (centred) {
            // Room on the right for the quantities that follow the value.
            const int quantities =
                std::max(Extent(dc, &fonts.quantity, platform::FormatInt(quantity_)).cx,
                         Extent(dc, &fonts.quantity, platform::FormatInt(secondQuantity_)).cx);
            x = std::max(area.left,
                         area.left + ((area.right - area.left) - size.cx - quantities) / 2);
        }
        RECT rect{x, area.top, area.right, area.bottom};
        CFont* old = dc->SelectObject(&fonts.value);
        dc->DrawText(text, &rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        dc->SelectObject(old);
        return x + size.cx;
    }

    std::string head, tail;
    SplitValueText(text, split, &head, &tail);
    const int headWidth = Extent(dc, &fonts.smallValue, head).cx;
    const int tailWidth = Extent(dc, &fonts.largeValue, tail).cx;
    int tailX = x + headWidth;
    if (centred) tailX = area.left + ((area.right - area.left) - tailWidth) / 2;
    RECT headRect{tailX - headWidth, area.top, area.right, area.bottom - kHeadLift};
    CFont* old = dc->SelectObject(&fonts.smallValue);
    dc->DrawText(head, &headRect, DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX);
    RECT tailRect{tailX, area.top, area.right, area.bottom};
    dc->SelectObject(&fonts.largeValue);
    dc->DrawText(tail, &tailRect, DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX);
    dc->SelectObject(old);
    x = tailX + tailWidth;
    if ((style_ & kCompareMark) && difference != 0.0)
        fonts.arrows.Draw(dc, difference > 0 ? 1 : 0, POINT{x, area.bottom - kMarkRise},
                          ILD_TRANSPARENT);
    return x;
}

int CHoverStatic::DrawChange(CDC* dc, const RECT& area, int x) {
    Fonts& fonts = SharedFonts();
    const double change = GetChange();
    const std::string text =
        tradedata::FormatSignedNumber(change, decimals_, (style_ & kSignedChange) != 0);
    if ((style_ & kChangeArrow) && change != 0.0)
        fonts.arrows.Draw(dc, change > 0 ? 3 : 2,
                          POINT{x, area.top + ((area.bottom - area.top) - kArrowSize) / 2},
                          ILD_TRANSPARENT);
    x += kArrowSize;
    dc->SetTextColor(ChangeColor(change, 0.0));
    RECT rect{x, area.top, area.right, area.bottom};
    CFont* old = dc->SelectObject(&fonts.value);
    dc->DrawText(text, &rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    x += dc->GetTextExtent(text).cx;
    dc->SelectObject(old);
    return x;
}

void CHoverStatic::DrawQuantities(CDC* dc, const RECT& area, int x) {
    Fonts& fonts = SharedFonts();
    CFont* old = dc->SelectObject(&fonts.quantity);
    if (style_ & kShowQuantity) {
        RECT rect{x, area.top + ((style_ & kSplitMask) ? 2 : 0), area.right, area.bottom};
        dc->SetTextColor(quantityColor_);
        dc->DrawText(platform::FormatInt(quantity_), &rect,
                     DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    if ((style_ & kShowSecondQuantity) && secondQuantity_ > 0) {
        RECT rect{x, area.top, area.right, area.bottom};
        dc->SetTextColor(secondQuantityColor_);
        dc->DrawText(platform::FormatInt(secondQuantity_), &rect,
                     DT_SINGLELINE | DT_BOTTOM | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    dc->SelectObject(old);
}

}  // namespace settings::controls
