// CStaticEx: colours, fonts, link look, icon and bitmap painting of the extended static.
#include "flexui/StaticEx.h"

#include <algorithm>

#include "flexui/DrawHelpers.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"

namespace {
constexpr int kIconSize = 16;
constexpr size_t kFaceNameBytes = 31;
}  // namespace

CStaticEx::CStaticEx() {
    if (CFont* gui = GetStockFont(DEFAULT_GUI_FONT)) gui->GetLogFont(&logFont_);
    OnMessage(WM_SETCURSOR, [this](WPARAM, LPARAM) -> LRESULT {
        if (!linkCursor_) return Default();
        ::SetCursor(linkCursor_);
        return TRUE;
    });
}

CStaticEx::~CStaticEx() = default;

BOOL CStaticEx::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("Static", text, style, rect, parent, id);
}

void CStaticEx::SetTextColor(COLORREF color) {
    textColor_ = color;
    if (m_hWnd) Invalidate();
}

void CStaticEx::SetBkColor(COLORREF color) {
    bkBrush_.DeleteObject();
    if (color != CLR_INVALID) bkBrush_.CreateSolidBrush(color);
    if (m_hWnd) Invalidate();
}

void CStaticEx::SetImageBkColor(COLORREF color) {
    imageBkColor_ = color;
    if (m_hWnd) Invalidate();
}

void CStaticEx::SetFont(CFont* font) {
    if (!font || !font->IsCreated()) return;
    font->GetLogFont(&logFont_);
    RebuildFont();
}

void CStaticEx::SetFontName(const std::string& name) {
    // Cut on a character boundary of the UTF-8 text.
    size_t length = std::min(name.size(), kFaceNameBytes);
    while (length < name.size() && length > 0 && (name[length] & 0xC0) == 0x80) --length;
    std::fill(std::begin(logFont_.lfFaceName), std::end(logFont_.lfFaceName), '\0');
    std::copy_n(name.data(), length, logFont_.lfFaceName);
    RebuildFont();
}

void CStaticEx::SetFontSize(int size) {
    logFont_.lfHeight = -size;
    RebuildFont();
}

void CStaticEx::SetFontBold(BOOL bold) {
    logFont_.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RebuildFont();
}

void CStaticEx::SetFontItalic(BOOL italic) {
    logFont_.lfItalic = italic ? 1 : 0;
    RebuildFont();
}

void CStaticEx::SetFontUnderline(BOOL underline) {
    logFont_.lfUnderline = underline ? 1 : 0;
    RebuildFont();
}

void CStaticEx::RebuildFont() {
    font_.DeleteObject();
    font_.CreateFontIndirect(&logFont_);
    if (m_hWnd) Invalidate();
}

void CStaticEx::SetLink(BOOL link) {
    if (m_hWnd) ModifyStyle(link ? 0 : SS_NOTIFY, link ? SS_NOTIFY : 0);
}

void CStaticEx::SetLinkCursor(HCURSOR cursor) {
    linkCursor_ = cursor ? cursor : LoadCursor(nullptr, IDC_HAND);
    platform::ui::InstallCursorRouting();
}

void CStaticEx::SetButton(COLORREF textColor, HCURSOR cursor) {
    SetLink(TRUE);
    SetFontUnderline(TRUE);
    SetTextColor(textColor);
    SetLinkCursor(cursor);
}

void CStaticEx::SetIcon(const QImage& icon) {
    icon_ = icon.isNull() ? QImage() : icon.scaled(kIconSize, kIconSize);
    if (m_hWnd) Invalidate();
}

void CStaticEx::SetIconSpacing(int spacing) {
    iconSpacing_ = spacing;
    if (m_hWnd) Invalidate();
}

CBitmap* CStaticEx::SetBitmap(CBitmap* bitmap) {
    CBitmap* previous = bitmap_;
    bitmap_ = bitmap;
    if (m_hWnd) {
        ModifyStyle(0, SS_BITMAP);
        Invalidate();
    }
    return previous;
}

CFont* CStaticEx::TextFont() const {
    if (font_.IsCreated()) return const_cast<CFont*>(&font_);
    if (HWND parent = ::GetParent(m_hWnd))
        if (auto* font = reinterpret_cast<CFont*>(::SendMessage(parent, WM_GETFONT))) return font;
    return GetStockFont(DEFAULT_GUI_FONT);
}

void CStaticEx::ResizeToFit() {
    if (!m_hWnd) return;
    CDC measure;
    measure.CreateCompatibleDC(nullptr);
    measure.SelectObject(TextFont());
    RECT text{0, 0, 0, 0};
    measure.DrawText(GetWindowText(), &text, DT_CALCRECT | DT_NOPREFIX);
    RECT window;
    GetWindowRect(&window);
    POINT origin{window.left, window.top};
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&origin);
    MoveWindow(origin.x, origin.y, text.right - text.left, text.bottom - text.top);
}

void CStaticEx::DrawBorder(BOOL border) {
    if (!m_hWnd) return;
    ModifyStyle(border ? 0 : WS_BORDER, border ? WS_BORDER : 0);
    // A size change makes the frame redraw.
    RECT window;
    GetWindowRect(&window);
    POINT origin{window.left, window.top};
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&origin);
    const int width = window.right - window.left, height = window.bottom - window.top;
    MoveWindow(origin.x, origin.y, width + 1, height);
    MoveWindow(origin.x, origin.y, width, height);
}

HBRUSH CStaticEx::CtlColor(CDC* dc) {
    if (dc) {
        if (font_.IsCreated()) dc->SelectObject(&font_);
        if (textColor_ != CLR_INVALID) dc->SetTextColor(textColor_);
        dc->SetBkMode(TRANSPARENT);
    }
    return bkBrush_.IsCreated() ? &bkBrush_ : GetStockBrush(HOLLOW_BRUSH);
}

BOOL CStaticEx::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_CTLCOLORSTATIC) {
        HBRUSH brush = CtlColor(reinterpret_cast<CDC*>(wParam));
        if (result) *result = reinterpret_cast<LRESULT>(brush);
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

void CStaticEx::OnPaint() {
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    if (bitmap_ && bitmap_->IsCreated()) {
        DrawBitmap(&dc, client, bitmap_, imageBkColor_, IsWindowEnabled(),
                   imageBkColor_ == CLR_INVALID);
        return;
    }
    if (bkBrush_.IsCreated()) dc.FillRect(&client, &bkBrush_);
    if (!icon_.isNull())
        PaintIcon(&dc, client);
    else
        PaintText(&dc, client);
}

// What the standard static shows, in this control's colours and font.
void CStaticEx::PaintText(CDC* dc, const RECT& client) {
    CtlColor(dc);
    dc->SelectObject(TextFont());
    const DWORD style = GetStyle();
    if (!IsWindowEnabled())
        dc->SetTextColor(GetSysColor(COLOR_GRAYTEXT));
    else if (textColor_ == CLR_INVALID)
        dc->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    UINT format = DT_NOPREFIX;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER:
            format |= DT_CENTER | DT_WORDBREAK;
            break;
        case SS_RIGHT:
            format |= DT_RIGHT | DT_WORDBREAK;
            break;
        case SS_LEFT:
            format |= DT_WORDBREAK;
            break;
        default:
            format |= DT_SINGLELINE;
            break;
    }
    if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    RECT area = client;
    dc->DrawText(GetWindowText(), &area, format);
}

void CStaticEx::PaintIcon(CDC* dc, const RECT& client) {
    const int height = client.bottom - client.top;
    const int top = height > kIconSize ? (height - kIconSize) / 2 : 0;
    dc->DrawImage(iconSpacing_, top, icon_);
    dc->SelectObject(TextFont());
    dc->SetBkMode(TRANSPARENT);
    RECT text = client;
    text.left = iconSpacing_ + kIconSize + iconSpacing_;
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    const std::string caption = GetWindowText();
    if (!IsWindowEnabled()) {
        RECT raised = text;
        OffsetRect(&raised, 1, 1);
        dc->SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
        dc->DrawText(caption, &raised, format);
        dc->SetTextColor(GetSysColor(COLOR_BTNSHADOW));
    } else {
        dc->SetTextColor(textColor_ != CLR_INVALID ? textColor_ : GetSysColor(COLOR_WINDOWTEXT));
    }
    dc->DrawText(caption, &text, format);
}
