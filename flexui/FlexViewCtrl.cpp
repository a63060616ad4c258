// CFlexViewCtrl: hosting the windows of a table's rows, their icon-view layout, the blank
// prompt and the context menu that the parent fills.
#include "flexui/FlexViewCtrl.h"

#include <algorithm>

#include "flexui/MemDC.h"
#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"

namespace {

// Where an item's window sits inside its cell.
constexpr int kCellInset = 2;

}  // namespace

CFlexViewCtrl::CFlexViewCtrl() {
    OnMessage(WM_CONTEXTMENU, [this](WPARAM, LPARAM lParam) {
        POINT at{static_cast<short>(LOWORD(static_cast<uintptr_t>(lParam))),
                 static_cast<short>(HIWORD(static_cast<uintptr_t>(lParam)))};
        if (at.x == -1 && at.y == -1) {  // from the keyboard: the view's top-left corner
            at = POINT{0, 0};
            ClientToScreen(&at);
        }
        ShowContextMenu(at);
        return LRESULT{0};
    });
}

CFlexViewCtrl::~CFlexViewCtrl() = default;

BOOL CFlexViewCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id, DWORD exStyle) {
    return CWnd::CreateEx(exStyle, nullptr, "", style | WS_CHILD, rect, parent, id);
}

void CFlexViewCtrl::SetRecord(CFixRecord* record) {
    record_ = record;
    images_.reset();
    spacing_ = SIZE{0, 0};
    Refresh();
}

HWND CFlexViewCtrl::RowHandle(int row) const {
    if (!record_ || !record_->IsCreate() || row < 0) return 0;
    // The field holds the window layer's 32-bit handle, never an object address.
    return static_cast<HWND>(record_->GetMemRecord()->GetLong(kWindowsField, row));
}

// A window the view may host: alive, not the view itself and not one of its ancestors (making
// an ancestor a child would tie the windows in a loop).
bool CFlexViewCtrl::Usable(HWND hwnd) const {
    return hwnd != 0 && m_hWnd != 0 && hwnd != m_hWnd && ::IsWindow(hwnd) &&
           !::IsChild(hwnd, m_hWnd) && CWnd::FromHandle(hwnd) != nullptr;
}

CWnd* CFlexViewCtrl::GetRowWindow(int row) const {
    if (row < 0 || row >= itemCount_) return nullptr;
    const HWND hwnd = RowHandle(row);
    return Usable(hwnd) ? CWnd::FromHandle(hwnd) : nullptr;
}

void CFlexViewCtrl::Refresh() {
    itemCount_ = record_ && record_->IsCreate() ? std::max(record_->GetCount(), 0) : 0;
    if (itemCount_ > 0 && spacing_.cx <= 0) {
        for (int row = 0; row < itemCount_; ++row) {
            CWnd* window = GetRowWindow(row);
            if (!window) continue;
            RECT rect;
            window->GetWindowRect(&rect);
            const int width = rect.right - rect.left, height = rect.bottom - rect.top;
            auto images = std::make_unique<CImageList>();
            if (images->Create(width, height, ILC_COLOR32 | ILC_MASK, 0, 4))
                images_ = std::move(images);
            spacing_ = SIZE{width + kSpacingExtraX, height + kSpacingExtraY};
            break;
        }
    }
    std::vector<HWND> hosted;
    for (int row = 0; row < itemCount_; ++row) {
        const HWND hwnd = RowHandle(row);
        if (!Usable(hwnd)) continue;
        if (::GetParent(hwnd) != m_hWnd) ::SetParent(hwnd, m_hWnd);
        hosted.push_back(hwnd);
    }
    // Windows that lost their row would otherwise stay on top of the other items or the prompt.
    for (HWND old : hosted_)
        if (std::find(hosted.begin(), hosted.end(), old) == hosted.end() && ::IsWindow(old) &&
            ::GetParent(old) == m_hWnd)
            ::ShowWindow(old, SW_HIDE);
    hosted_ = std::move(hosted);
    LayOut();
    if (m_hWnd) Invalidate();
}

POINT CFlexViewCtrl::GetItemPosition(int index) const {
    if (index < 0 || spacing_.cx <= 0 || spacing_.cy <= 0 || !m_hWnd) return POINT{0, 0};
    const int border = (GetExStyle() & WS_EX_CLIENTEDGE) ? 1 : 0;
    RECT client;
    GetClientRect(&client);
    const int columns = std::max<int>(1, (client.right - client.left - 2 * border) / spacing_.cx);
    return POINT{border + (index % columns) * spacing_.cx + kCellInset,
                 border + (index / columns) * spacing_.cy + kCellInset};
}

void CFlexViewCtrl::LayOut() {
    if (!m_hWnd) return;
    for (int row = 0; row < itemCount_; ++row) {
        CWnd* window = GetRowWindow(row);
        if (!window || ::GetParent(window->m_hWnd) != m_hWnd) continue;
        const POINT at = GetItemPosition(row);
        const RECT now = GetWindowRectIn(window->m_hWnd, m_hWnd);
        if (now.left != at.x || now.top != at.y)
            window->MoveWindow(at.x, at.y, now.right - now.left, now.bottom - now.top);
        window->Invalidate();
        window->ShowWindow(SW_SHOW);
    }
}

void CFlexViewCtrl::SetBlankPrompt(const char* text, COLORREF color) {
    if (text) prompt_ = text;
    if (color != static_cast<COLORREF>(-1)) promptColor_ = color;
    if (m_hWnd) Invalidate();
}

BOOL CFlexViewCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CFlexViewCtrl::OnPaint() {
    CPaintDC paint(this);
    RECT client;
    GetClientRect(&client);
    CMemDC dc(&paint, client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_WINDOW));
    if (itemCount_ == 0 && !prompt_.empty()) {
        CFont* oldFont = dc.SelectObject(GetStockFont(DEFAULT_GUI_FONT));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(promptColor_);
        RECT text = client;
        dc.DrawText(prompt_, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        dc.SelectObject(oldFont);
    }
    if (GetExStyle() & WS_EX_CLIENTEDGE) dc.Draw3dRect(&client, kBorderColor, kBorderColor);
}

void CFlexViewCtrl::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    LayOut();
}

void CFlexViewCtrl::OnRButtonUp(UINT, POINT point) {
    ClientToScreen(&point);
    ShowContextMenu(point);
}

// The menu holds only what the parent adds when asked; an empty menu is not shown.
void CFlexViewCtrl::ShowContextMenu(POINT screen) {
    const HWND parent = ::GetParent(m_hWnd);
    if (!parent) return;
    CMenu menu;
    if (!menu.CreatePopupMenu()) return;
    const HWND self = m_hWnd;
    ::SendMessage(parent, WM_INITMENUPOPUP, static_cast<WPARAM>(menu.m_hMenu),
                  static_cast<LPARAM>(GetDlgCtrlID()));
    // The parent may have closed the view while it filled the menu.
    if (menu.GetMenuItemCount() == 0 || !::IsWindow(self)) return;
    const UINT chosen = static_cast<UINT>(menu.TrackPopupMenu(
        TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, this));
    if (chosen != 0 && ::IsWindow(parent))
        ::SendMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
}
