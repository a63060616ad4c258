// CFlexButton: owner-draw takeover, hot tracking, state images, frame templates and the face.
#include "flexui/FlexButton.h"

#include <QImage>
#include <QWidget>
#include <algorithm>
#include <array>

#include "flexui/FlexBitmaps.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"

namespace {

inline constexpr COLORREF kFrameMask = RGB(255, 0, 255);
inline constexpr int kFrameCell = 22;
inline constexpr int kBorder = 3;
inline constexpr COLORREF kNoColor = 0xFFFFFFFF;

bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// Stretches a part of the work context onto the target, skipping empty parts.
void Part(CDC* dc, int x, int y, int width, int height, CDC* work, int sx, int sy, int sw, int sh) {
    if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return;
    dc->StretchBlt(x, y, width, height, work, sx, sy, sw, sh, SRCCOPY);
}

}  // namespace

CImageList* GetFlexFrameTemplate(int index) {
    static std::array<std::unique_ptr<CImageList>, 2> templates;
    if (index != 1) index = 0;
    if (!templates[index]) {
        auto list = std::make_unique<CImageList>();
        list->Create(kFrameCell, kFrameCell, ILC_COLOR32 | ILC_MASK, 5, 0);
        CBitmap bitmap;
        QImage image = LoadFlexBitmap(index == 0 ? 100 : 101, "pavlet");
        if (!image.isNull() && bitmap.CreateFromImage(image)) list->Add(&bitmap, kFrameMask);
        templates[index] = std::move(list);
    }
    return templates[index].get();
}

void DrawFlexFrame(CDC* dc, const RECT& target, CImageList* frames, int cell, DWORD mergeBits) {
    if (!dc || !frames || frames->GetImageCount() == 0) return;
    if (cell < 0 || cell >= frames->GetImageCount()) cell = 0;
    int w = 0;
    int h = 0;
    frames->GetIconSize(&w, &h);
    const int width = target.right - target.left;
    const int height = target.bottom - target.top;
    if (width <= 0 || height <= 0 || w <= 2 * kBorder || h <= 2 * kBorder) return;

    // The cell drawn transparently over a copy of what lies under the target, so that its
    // transparent corners keep the background.
    CDC work;
    work.CreateCompatibleDC(dc);
    CBitmap workBitmap;
    workBitmap.CreateCompatibleBitmap(dc, std::max(w, width), std::max(h, height));
    CBitmap* old = work.SelectObject(&workBitmap);
    if (dc->IsMemoryDC())
        work.BitBlt(0, 0, width, height, dc, target.left, target.top, SRCCOPY);
    else
        work.FillSolidRect(0, 0, std::max(w, width), std::max(h, height),
                           GetSysColor(COLOR_BTNFACE));
    frames->Draw(&work, cell, POINT{0, 0}, ILD_TRANSPARENT);

    const bool noLeft = mergeBits & FLEXBTN_MERGE_LEFT;
    const bool noTop = mergeBits & FLEXBTN_MERGE_TOP;
    const bool noRight = mergeBits & FLEXBTN_MERGE_RIGHT;
    const bool noBottom = mergeBits & FLEXBTN_MERGE_BOTTOM;
    const bool keepTopLeft = !noLeft && !noTop;
    const bool keepTopRight = !noRight && !noTop;
    const bool keepBottomLeft = !noLeft && !noBottom;
    const bool keepBottomRight = !noRight && !noBottom;
    const int l = target.left;
    const int t = target.top;
    const int r = target.right;
    const int b = target.bottom;
    const int b3 = kBorder;

    // Inside first, then the edges, then the corners over them.
    Part(dc, l + b3, t + b3, width - 2 * b3, height - 2 * b3, &work, b3, b3, w - 2 * b3,
         h - 2 * b3);
    const int topFrom = keepTopLeft ? l + b3 : l;
    const int topTo = keepTopRight ? r - b3 : r;
    Part(dc, topFrom, t, topTo - topFrom, b3, &work, b3, 0, w - 2 * b3, b3);
    const int bottomFrom = keepBottomLeft ? l + b3 : l;
    const int bottomTo = keepBottomRight ? r - b3 : r;
    Part(dc, bottomFrom, b - b3, bottomTo - bottomFrom, b3, &work, b3, h - b3, w - 2 * b3, b3);
    const int leftFrom = keepTopLeft ? t + b3 : t + 1;
    const int leftTo = keepBottomLeft ? b - b3 : b - 1;
    Part(dc, l, leftFrom, b3, leftTo - leftFrom, &work, 0, b3, b3, h - 2 * b3);
    const int rightFrom = keepTopRight ? t + b3 : t + 1;
    const int rightTo = keepBottomRight ? b - b3 : b - 1;
    Part(dc, r - b3, rightFrom, b3, rightTo - rightFrom, &work, w - b3, b3, b3, h - 2 * b3);
    if (keepTopLeft) dc->BitBlt(l, t, b3, b3, &work, 0, 0, SRCCOPY);
    if (keepTopRight) dc->BitBlt(r - b3, t, b3, b3, &work, w - b3, 0, SRCCOPY);
    if (keepBottomLeft) dc->BitBlt(l, b - b3, b3, b3, &work, 0, h - b3, SRCCOPY);
    if (keepBottomRight) dc->BitBlt(r - b3, b - b3, b3, b3, &work, w - b3, h - b3, SRCCOPY);
    work.SelectObject(old);
}

CFlexButton::CFlexButton() = default;

CFlexButton::~CFlexButton() {
    // The tip window goes before the button's own window.
    toolTip_.reset();
}

BOOL CFlexButton::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent) return FALSE;
    return SubclassWindow(::GetDlgItem(parent->GetSafeHwnd(), static_cast<int>(id)));
}

BOOL CFlexButton::SubclassWindow(HWND hwnd) {
    if (!CWnd::SubclassWindow(hwnd)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

BOOL CFlexButton::Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent,
                         UINT id) {
    if (!CWnd::Create("Button", caption, style, rect, parent, id)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

void CFlexButton::PreSubclassWindow() {
    const DWORD style = GetStyle();
    state_ = (state_ & ~FLEXBTN_TYPEMASK) | (style & BS_TYPEMASK);
    if ((style & BS_TYPEMASK) != BS_OWNERDRAW) ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    SetStateBits(FLEXBTN_CHECKED, CWnd::DefWindowProc(BM_GETCHECK, 0, 0) == BST_CHECKED);
    Invalidate(FALSE);
}

void CFlexButton::SetStateBits(DWORD bits, bool on) {
    if (on)
        state_ |= bits;
    else
        state_ &= ~bits;
}

BOOL CFlexButton::SetBitmap(const CBitmap* bitmap, COLORREF mask, int count) {
    if (!bitmap || !bitmap->IsCreated()) return FALSE;
    BITMAP info;
    bitmap->GetBitmap(&info);
    if (info.bmWidth <= 0 || info.bmHeight <= 0) return FALSE;
    const int width = count > 0 ? info.bmWidth / count : info.bmHeight;
    if (width <= 0) return FALSE;
    auto list = std::make_unique<CImageList>();
    list->Create(width, info.bmHeight, ILC_COLOR32 | ILC_MASK, std::max(count, 1), 0);
    if (list->Add(bitmap, mask) < 0) return FALSE;
    images_ = std::move(list);
    if (m_hWnd) Invalidate(FALSE);
    return TRUE;
}

BOOL CFlexButton::SetBitmap(UINT resourceId, const char* module, COLORREF mask, int count) {
    QImage image = LoadFlexBitmap(resourceId, module);
    if (image.isNull()) return FALSE;
    CBitmap bitmap;
    if (!bitmap.CreateFromImage(image)) return FALSE;
    return SetBitmap(&bitmap, mask, count);
}

BOOL CFlexButton::SetIcon(const QImage& icon, int size) {
    if (icon.isNull() || size <= 0) return FALSE;
    auto list = std::make_unique<CImageList>();
    list->Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (list->Add(icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) < 0)
        return FALSE;
    images_ = std::move(list);
    if (m_hWnd) Invalidate(FALSE);
    return TRUE;
}

BOOL CFlexButton::SetIcon(UINT resourceId, int size, const char* module) {
    const std::string folder = module && *module ? module : "pavlet";
    QImage image(
        QString::fromStdString(":/" + folder + "/icon_" + std::to_string(resourceId) + ".png"));
    return SetIcon(image, size);
}

void CFlexButton::SetTextColor(COLORREF color) {
    textColor_ = color;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexButton::SetFrameTemplate(CImageList* frames) {
    frames_ = frames;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexButton::SetFrameTemplateIndex(int index) {
    SetFrameTemplate(GetFlexFrameTemplate(index));
}

void CFlexButton::SetFrameMerge(DWORD mergeBits) {
    state_ = (state_ & ~FLEXBTN_MERGEMASK) | (mergeBits & FLEXBTN_MERGEMASK);
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexButton::SetToolTipText(const char* text, BOOL activate) {
    if (!text || !m_hWnd) return;
    if (!toolTip_) {
        toolTip_ = std::make_unique<CToolTipCtrl>();
        if (!toolTip_->Create(this)) {
            toolTip_.reset();
            return;
        }
        toolTip_->Activate(FALSE);
    }
    if (toolTip_->GetToolCount() == 0) {
        RECT client;
        GetClientRect(&client);
        toolTip_->AddTool(this, text, &client, 1);
    }
    toolTip_->UpdateTipText(text, this, 1);
    toolTip_->Activate(activate);
}

int CFlexButton::GetCheck() const {
    return (state_ & FLEXBTN_CHECKED) ? static_cast<int>(BST_CHECKED)
                                      : static_cast<int>(BST_UNCHECKED);
}

void CFlexButton::SetCheck(int check) {
    if (m_hWnd) ::SendMessage(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0);
}

UINT CFlexButton::TextFormatOf(DWORD style) {
    UINT format = DT_NOPREFIX;
    const DWORD horizontal = style & BS_CENTER;
    format |= horizontal == BS_LEFT ? DT_LEFT : horizontal == BS_RIGHT ? DT_RIGHT : DT_CENTER;
    const DWORD vertical = style & (BS_TOP | BS_BOTTOM);
    format |= vertical == BS_TOP ? DT_TOP : vertical == BS_BOTTOM ? DT_BOTTOM : DT_VCENTER;
    if (!(style & BS_MULTILINE)) format |= DT_SINGLELINE;
    return format;
}

BOOL CFlexButton::PreTranslateMessage(MSG* msg) {
    if (toolTip_ && toolTip_->GetSafeHwnd()) toolTip_->RelayEvent(msg);
    return CWnd::PreTranslateMessage(msg);
}

LRESULT CFlexButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_SETSTYLE: {
            // The window stays owner-drawn; the kind asked for is what the state word keeps.
            DWORD requested = static_cast<DWORD>(wParam);
            if ((requested & BS_TYPEMASK) != BS_OWNERDRAW) {
                state_ = (state_ & ~FLEXBTN_TYPEMASK) | (requested & BS_TYPEMASK);
                requested = (requested & ~BS_TYPEMASK) | ((requested & 0x4) ? 15u : BS_OWNERDRAW);
            }
            const DWORD style = GetStyle();
            ::SetWindowLong(m_hWnd, GWL_STYLE,
                            static_cast<LONG>((style & 0xFFFF0000u) | (requested & 0xFFFFu)));
            if (LOWORD(lParam)) Invalidate(FALSE);
            return 0;
        }
        case BM_SETCHECK:
            SetStateBits(FLEXBTN_CHECKED, wParam == BST_CHECKED);
            Invalidate(FALSE);
            return CWnd::WindowProc(message, wParam, lParam);
        case BM_GETCHECK:
            return GetCheck();
        case WM_GETDLGCODE: {
            // The dialog manager must treat the owner-drawn window as the kind it was.
            LRESULT code = CWnd::WindowProc(message, wParam, lParam);
            const DWORD type = GetButtonType();
            code &= ~(DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON | DLGC_RADIOBUTTON);
            if (type == BS_PUSHBUTTON && !(GetStyle() & BS_FLAT)) code |= DLGC_UNDEFPUSHBUTTON;
            if (type == BS_DEFPUSHBUTTON) code |= DLGC_DEFPUSHBUTTON;
            if (IsRadio(type)) code |= DLGC_RADIOBUTTON;
            return code;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // The whole owner-drawn face of a check box or radio button takes the click (the
            // widget would take it on its indicator and text only).
            if (IsCheckKind()) {
                pressing_ = true;
                SetCapture();
                SetFocus();
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            if (IsCheckKind() && pressing_) {
                pressing_ = false;
                ::ReleaseCapture();
                RECT client;
                GetClientRect(&client);
                const POINT at{static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam))),
                               static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)))};
                if (PtInRect(&client, at)) CWnd::WindowProc(BM_CLICK, 0, 0);
                return 0;
            }
            break;
        case WM_MOUSEHOVER:
            OnMouseHover();
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_MOVE:
        case WM_SIZE:
            DropBackground();
            return CWnd::WindowProc(message, wParam, lParam);
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

bool CFlexButton::IsCheckKind() const {
    const DWORD type = GetButtonType();
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE || IsRadio(type);
}

void CFlexButton::OnMouseMove(UINT flags, POINT point) {
    if (!::GetCapture() && !(state_ & FLEXBTN_TRACKING)) {
        TRACKMOUSEEVENT track;
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 1;
        if (TrackMouseEvent(&track)) state_ |= FLEXBTN_TRACKING;
    }
    CWnd::OnMouseMove(flags, point);
}

void CFlexButton::OnMouseHover() {
    state_ |= FLEXBTN_HOT;
    Invalidate(FALSE);
}

void CFlexButton::OnMouseLeave() {
    state_ &= ~(FLEXBTN_HOT | FLEXBTN_TRACKING);
    Invalidate(FALSE);
}

void CFlexButton::OnDestroy() {
    DropBackground();
    toolTip_.reset();
    CWnd::OnDestroy();
}

BOOL CFlexButton::OnEraseBkgnd(CDC*) { return TRUE; }

BOOL CFlexButton::OnClicked() {
    // The widget steps an automatic check box or radio button itself; the state word follows.
    const DWORD type = GetButtonType();
    if (type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON ||
        type == BS_CHECKBOX || type == BS_RADIOBUTTON || type == BS_3STATE) {
        SetStateBits(FLEXBTN_CHECKED, CWnd::DefWindowProc(BM_GETCHECK, 0, 0) == BST_CHECKED);
        Invalidate(FALSE);
    }
    return FALSE;
}

BOOL CFlexButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    if (message == WM_COMMAND) {
        const WORD code = HIWORD(wParam);
        if (code == BN_DOUBLECLICKED) {
            // A quick second click counts as a click.
            if (CWnd* parent = GetParent())
                parent->PostMessage(WM_COMMAND,
                                    MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), BN_CLICKED),
                                    static_cast<LPARAM>(m_hWnd));
            return TRUE;
        }
        if (code == BN_CLICKED) return OnClicked();
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

void CFlexButton::DropBackground() {
    if (!background_) return;
    background_.reset();
    if (CWnd* parent = GetParent()) {
        RECT area;
        GetWindowRect(&area);
        parent->ScreenToClient(&area);
        parent->InvalidateRect(&area, TRUE);
    }
    Invalidate(FALSE);
}

void CFlexButton::DrawBackground(CDC* dc, const RECT& rect) {
    CWnd* parent = GetParent();
    if ((GetExStyle() & WS_EX_TRANSPARENT) && parent) {
        if (!background_) {
            // The parent's own pixels under the button, without its children.
            RECT area;
            GetWindowRect(&area);
            parent->ScreenToClient(&area);
            QWidget* widget = parent->GetWidget();
            if (widget) {
                QImage image(area.right - area.left, area.bottom - area.top, QImage::Format_RGB32);
                image.fill(platform::ui::ToQColor(GetSysColor(COLOR_BTNFACE)));
                widget->render(&image, QPoint(),
                               QRegion(area.left, area.top, image.width(), image.height()),
                               QWidget::DrawWindowBackground);
                background_ = std::make_unique<CBitmap>();
                background_->CreateFromImage(image);
            }
        }
        if (background_) {
            CDC source;
            source.CreateCompatibleDC(dc);
            CBitmap* old = source.SelectObject(background_.get());
            dc->BitBlt(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, &source,
                       0, 0, SRCCOPY);
            source.SelectObject(old);
            return;
        }
    }
    UINT message = WM_CTLCOLORBTN;
    if (parent && !parent->IsWindowEnabled())
        message = WM_CTLCOLORSTATIC;
    else if (parent && parent->GetClassName() == "Edit")
        message = WM_CTLCOLOREDIT;
    HBRUSH brush = nullptr;
    if (parent)
        brush = reinterpret_cast<HBRUSH>(parent->SendMessage(message, reinterpret_cast<WPARAM>(dc),
                                                             static_cast<LPARAM>(m_hWnd)));
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    dc->FillRect(&rect, brush);
}

int CFlexButton::FrameCell(const DRAWITEMSTRUCT* item) const {
    if (item->itemState & ODS_DISABLED) return FRAME_CELL_DISABLED;
    if ((item->itemState & ODS_SELECTED) || pressing_ || (state_ & FLEXBTN_CHECKED))
        return FRAME_CELL_PRESSED;
    if (state_ & FLEXBTN_HOT) return FRAME_CELL_HOT;
    if (GetButtonType() == BS_DEFPUSHBUTTON) return FRAME_CELL_DEFAULT;
    return FRAME_CELL_NORMAL;
}

int CFlexButton::ImageCell(const DRAWITEMSTRUCT* item) const {
    if (!images_ || images_->GetImageCount() == 0) return -1;
    int cell = 0;
    if (item->itemState & ODS_DISABLED)
        cell = 3;
    else if ((item->itemState & ODS_SELECTED) || pressing_ || (state_ & FLEXBTN_CHECKED))
        cell = 2;
    else if (state_ & FLEXBTN_HOT)
        cell = 1;
    return cell < images_->GetImageCount() ? cell : 0;
}

CFaceBuffer::CFaceBuffer(const CWnd* wnd, const DRAWITEMSTRUCT* item) {
    if (!wnd || !item || !item->hDC) return;
    wnd->GetClientRect(&client_);
    if (client_.right <= 0 || client_.bottom <= 0) return;
    target_ = item->hDC;
    mem_.CreateCompatibleDC(target_);
    bitmap_.CreateCompatibleBitmap(target_, client_.right, client_.bottom);
    oldBitmap_ = mem_.SelectObject(&bitmap_);
    if (CFont* font = target_->GetCurrentFont()) oldFont_ = mem_.SelectObject(font);
}

CFaceBuffer::~CFaceBuffer() {
    if (!target_) return;
    target_->BitBlt(0, 0, client_.right, client_.bottom, &mem_, 0, 0, SRCCOPY);
    if (oldFont_) mem_.SelectObject(oldFont_);
    mem_.SelectObject(oldBitmap_);
}

void CFlexButton::DrawItem(const DRAWITEMSTRUCT* item) {
    CFaceBuffer buffer(this, item);
    if (!buffer.IsValid()) return;
    CDC& mem = *buffer.Dc();
    const RECT& client = buffer.Client();
    const int width = client.right;
    const int height = client.bottom;

    const bool disabled = item->itemState & ODS_DISABLED;
    const DWORD style = GetStyle();
    COLORREF text = textColor_ != kNoColor ? textColor_ : item->hDC->GetTextColor();
    if (disabled) text = GetSysColor(COLOR_GRAYTEXT);

    DrawBackground(&mem, client);

    const bool pressed =
        (item->itemState & ODS_SELECTED) || pressing_ || (state_ & FLEXBTN_CHECKED);
    if (pressed || (state_ & FLEXBTN_HOT) || !(style & BS_FLAT))
        DrawFlexFrame(&mem, client, frames_ ? frames_ : GetFlexFrameTemplate(0), FrameCell(item),
                      state_ & FLEXBTN_MERGEMASK);

    const std::string caption = GetWindowText();
    RECT textRect = client;
    const int cell = ImageCell(item);
    if (cell >= 0) {
        int cx = 0;
        int cy = 0;
        images_->GetIconSize(&cx, &cy);
        int x = (width - cx) / 2;
        if (!caption.empty()) {
            if (style & BS_LEFTTEXT) {
                x = width - kBorder - cx;
                textRect.right -= cx;
            } else {
                x = kBorder;
                textRect.left += cx;
            }
        }
        images_->Draw(&mem, cell, POINT{x, (height - cy) / 2}, ILD_TRANSPARENT);
    }
    if (!caption.empty()) {
        InflateRect(&textRect, -kBorder, 0);
        mem.SetBkMode(TRANSPARENT);
        mem.SetTextColor(text);
        mem.DrawText(caption, &textRect, TextFormatOf(style));
    }
}
