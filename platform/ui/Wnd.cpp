// CWnd: handler objects of windows and the dispatch of messages to their On* handlers.
#include "platform/ui/Wnd.h"

#include <QWidget>
#include <atomic>

#include "platform/ui/CmdUI.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/NonClient.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"

using platform::ui::WindowRecord;
using platform::ui::WindowTable;

namespace {

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                 static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)))};
}

Qt::WindowFlags TopLevelFlags(DWORD style, DWORD exStyle) {
    Qt::WindowFlags flags = (exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= Qt::FramelessWindowHint;
    if (exStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

std::atomic<CWnd*> gMainWnd{nullptr};

}  // namespace

CWnd* AfxGetMainWnd() { return gMainWnd.load(); }

void AfxSetMainWnd(CWnd* wnd) { gMainWnd.store(wnd); }

CWnd::CWnd() = default;

CWnd::~CWnd() {
    CWnd* self = this;
    gMainWnd.compare_exchange_strong(self, nullptr);
    if (m_hWnd && IsWindow(m_hWnd)) {
        // Only the handler goes when the window is merely attached to it; a window this object
        // created or subclassed dies with it.
        WindowRecord* record =
            platform::ui::IsUiThread() ? WindowTable::Instance().Find(m_hWnd) : nullptr;
        if (record && record->permanent == this) {
            if (record->routed)
                ::DestroyWindow(m_hWnd);
            else
                Detach();
        }
    }
}

CWnd* CWnd::FromHandle(HWND hwnd) { return WindowTable::Instance().FromHandle(hwnd); }

CWnd* CWnd::FromHandlePermanent(HWND hwnd) { return WindowTable::Instance().Permanent(hwnd); }

BOOL CWnd::Create(const char* className, const char* windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id) {
    return CreateEx(0, className, windowName, style, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
    if (m_hWnd || !platform::ui::IsUiThread()) return FALSE;
    std::string name = className && *className ? className : platform::ui::kPlainWindowClass;
    const platform::ui::WindowClass* windowClass = platform::ui::FindWindowClass(name);
    QWidget* parentWidget = parent ? parent->GetWidget() : nullptr;
    if (!windowClass || ((style & WS_CHILD) && !parentWidget)) return FALSE;

    Qt::WindowFlags flags = (style & WS_CHILD) ? Qt::WindowFlags() : TopLevelFlags(style, exStyle);
    QWidget* widget = windowClass->CreateWidget(parentWidget, flags, style);
    HWND hwnd = platform::ui::RegisterWidget(widget, windowClass, name, style, exStyle,
                                             static_cast<int32_t>(id));
    if (!hwnd) {
        delete widget;  // the handle space is used up
        return FALSE;
    }
    // From here the widget lives until DestroyWindow (or until Qt deletes its parent).
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    record->permanent = this;
    record->routed = true;
    m_hWnd = hwnd;

    const QPoint at = QPoint(rect.left, rect.top) + platform::ui::ParentClientOrigin(widget);
    widget->setGeometry(at.x(), at.y(), std::max(0, rect.right - rect.left),
                        std::max(0, rect.bottom - rect.top));
    if (windowName) windowClass->SetText(widget, windowName);
    widget->setMouseTracking(true);
    ::SetWindowLong(hwnd, GWL_STYLE, static_cast<LONG>(style & ~WS_VISIBLE));
    windowClass->Connect(hwnd, widget);
    // The window's own procedure answers WM_NCCALCSIZE before WM_CREATE, as in Win32.
    platform::ui::RecalcFrame(hwnd);
    if (!IsWindow(hwnd)) return FALSE;
    if (SendMessage(WM_CREATE) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if ((style & WS_VISIBLE) && IsWindow(hwnd)) ::ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd);
}

BOOL CWnd::Attach(HWND hwnd) {
    WindowRecord* record =
        platform::ui::IsUiThread() ? WindowTable::Instance().Find(hwnd) : nullptr;
    if (m_hWnd || !record || record->permanent) return FALSE;
    record->permanent = this;
    record->routed = false;
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    if (WindowRecord* record = hwnd ? WindowTable::Instance().Find(hwnd) : nullptr;
        record && record->permanent == this) {
        record->permanent = nullptr;
        record->routed = false;
    }
    m_hWnd = 0;
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!Attach(hwnd)) return FALSE;
    WindowTable::Instance().Find(hwnd)->routed = true;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() { return Detach(); }

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CWnd::PostNcDestroy() {}

std::string CWnd::GetClassName() const { return ::GetClassName(m_hWnd); }
DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLong(m_hWnd, GWL_STYLE)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(::GetWindowLong(m_hWnd, GWL_EXSTYLE)); }

namespace {

// Changes one style word; a change of the bits that make a frame takes effect at once.
BOOL ChangeStyle(HWND hwnd, int index, DWORD remove, DWORD add, DWORD frameBits) {
    if (!IsWindow(hwnd)) return FALSE;
    const DWORD style = static_cast<DWORD>(::GetWindowLong(hwnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style) return FALSE;
    ::SetWindowLong(hwnd, index, static_cast<LONG>(changed));
    if ((style ^ changed) & frameBits)
        ::SetWindowPos(hwnd, 0, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
    return ChangeStyle(m_hWnd, GWL_STYLE, remove, add, WS_BORDER | WS_DLGFRAME | WS_THICKFRAME);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add) {
    return ChangeStyle(m_hWnd, GWL_EXSTYLE, remove, add, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
}

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
int CWnd::SetDlgCtrlID(int id) { return ::SetWindowLong(m_hWnd, GWL_ID, id); }

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

CWnd* CWnd::GetTopLevelParent() const {
    HWND top = m_hWnd;
    while (QWidget* widget = platform::ui::WidgetOf(top)) {
        if (widget->isWindow()) break;
        HWND up = ::GetParent(top);
        if (!up) break;
        top = up;
    }
    return FromHandle(top);
}

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
CWnd* CWnd::GetWindow(UINT relation) const { return FromHandle(::GetWindow(m_hWnd, relation)); }
BOOL CWnd::IsChild(const CWnd* wnd) const { return wnd ? ::IsChild(m_hWnd, wnd->m_hWnd) : FALSE; }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}
void CWnd::MoveWindow(const RECT& rect, BOOL repaint) {
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 repaint);
}
BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : 0, x, y, width, height,
                          flags);
}
int CWnd::SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }
int CWnd::GetWindowRgn(HRGN region) const { return ::GetWindowRgn(m_hWnd, region); }
void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }
void CWnd::ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }

void CWnd::ScreenToClient(RECT* rect) const { ::MapWindowPoints(0, m_hWnd, rect); }

void CWnd::ClientToScreen(RECT* rect) const { ::MapWindowPoints(m_hWnd, 0, rect); }

void CWnd::SetWindowText(const std::string& text) { ::SetWindowText(m_hWnd, text); }
std::string CWnd::GetWindowText() const { return ::GetWindowText(m_hWnd); }
int CWnd::GetWindowText(char* buffer, int size) const {
    return ::GetWindowText(m_hWnd, buffer, size);
}
int CWnd::GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
void CWnd::SetDlgItemText(int id, const std::string& text) { ::SetDlgItemText(m_hWnd, id, text); }
std::string CWnd::GetDlgItemText(int id) const { return ::GetDlgItemText(m_hWnd, id); }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}
BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}
UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, void* unused) {
    return ::SetTimer(m_hWnd, id, elapseMs, unused);
}
BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ::MessageBox(m_hWnd, text, caption, type);
}

QWidget* CWnd::GetWidget() const { return platform::ui::WidgetOf(m_hWnd); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return platform::ui::DefaultWindowProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    platform::ui::CallFrame* frame = platform::ui::CurrentFrame();
    if (!frame || frame->hwnd != m_hWnd) return 0;
    return DefWindowProc(frame->message, frame->wParam, frame->lParam);
}

void CWnd::OnMessage(UINT message, MessageHandler handler) {
    handlers_[message] = std::move(handler);
}

void CWnd::OnUpdateCommand(UINT id, std::function<void(CCmdUI*)> handler) {
    updateHandlers_[id] = std::move(handler);
}

BOOL CWnd::UpdateCommand(CCmdUI* cmdUI) {
    auto it = cmdUI ? updateHandlers_.find(cmdUI->m_nID) : updateHandlers_.end();
    if (it == updateHandlers_.end() || !it->second) return FALSE;
    // A copy: the handler may replace itself.
    const std::function<void(CCmdUI*)> handler = it->second;
    handler(cmdUI);
    return TRUE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (auto it = handlers_.find(message); it != handlers_.end()) {
        *result = it->second(wParam, lParam);
        return TRUE;
    }
    const UINT repeat = LOWORD(static_cast<uintptr_t>(lParam));
    const UINT keyFlags = HIWORD(static_cast<uintptr_t>(lParam));
    switch (message) {
        case WM_COMMAND:
            if (OnCommand(wParam, lParam)) {
                *result = 0;
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY:
            return OnNotify(wParam, lParam, result);
        case WM_CREATE:
            *result = OnCreate();
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return TRUE;
        case WM_CLOSE:
            OnClose();
            return TRUE;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)),
                   HIWORD(static_cast<uintptr_t>(lParam)));
            return TRUE;
        case WM_MOVE: {
            POINT p = PointOf(lParam);
            OnMove(p.x, p.y);
            return TRUE;
        }
        case WM_TIMER:
            OnTimer(wParam);
            return TRUE;
        case WM_COPYDATA:
            *result = OnCopyData(FromHandle(static_cast<HWND>(wParam)),
                                 reinterpret_cast<COPYDATASTRUCT*>(lParam));
            return TRUE;
        case WM_KEYDOWN:
            OnKeyDown(static_cast<UINT>(wParam), repeat, keyFlags);
            return TRUE;
        case WM_KEYUP:
            OnKeyUp(static_cast<UINT>(wParam), repeat, keyFlags);
            return TRUE;
        case WM_SYSKEYDOWN:
            OnSysKeyDown(static_cast<UINT>(wParam), repeat, keyFlags);
            return TRUE;
        case WM_CHAR:
            OnChar(static_cast<UINT>(wParam), repeat, keyFlags);
            return TRUE;
        case WM_SETFOCUS:
            OnSetFocus(FromHandle(static_cast<HWND>(wParam)));
            return TRUE;
        case WM_KILLFOCUS:
            OnKillFocus(FromHandle(static_cast<HWND>(wParam)));
            return TRUE;
        case WM_LBUTTONDOWN:
            OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
            return TRUE;
        case WM_LBUTTONUP:
            OnLButtonUp(static_cast<UINT>(wParam), PointOf(lParam));
            return TRUE;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(static_cast<UINT>(wParam), PointOf(lParam));
            return TRUE;
        case WM_RBUTTONDOWN:
            OnRButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
            return TRUE;
        case WM_RBUTTONUP:
            OnRButtonUp(static_cast<UINT>(wParam), PointOf(lParam));
            return TRUE;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam));
            return TRUE;
        case WM_MOUSEWHEEL:
            *result =
                OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), PointOf(lParam));
            return TRUE;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(FromHandle(static_cast<HWND>(lParam)));
            return TRUE;
        case WM_PAINT:
            OnPaint();
            return TRUE;
        case WM_DRAWITEM: {
            // Offered back to the owner-drawn control's own object first.
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            CWnd* control =
                item && item->CtlType != ODT_MENU ? FromHandlePermanent(item->hwndItem) : nullptr;
            if (control && control->OnChildNotify(WM_DRAWITEM, wParam, lParam, result)) {
                *result = TRUE;
                return TRUE;
            }
            return FALSE;
        }
        case WM_ERASEBKGND:
            *result = OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    // A control's notification is first offered back to the control's own object.
    CWnd* control = lParam ? FromHandlePermanent(static_cast<HWND>(lParam)) : nullptr;
    LRESULT result = 0;
    return control && control->OnChildNotify(WM_COMMAND, wParam, lParam, &result);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    CWnd* control = header ? FromHandlePermanent(header->hwndFrom) : nullptr;
    return control && control->OnChildNotify(WM_NOTIFY, 0, lParam, result);
}

int CWnd::OnCreate() { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
BOOL CWnd::OnCopyData(CWnd*, COPYDATASTRUCT*) { return static_cast<BOOL>(Default()); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnLButtonDown(UINT, POINT) { Default(); }
void CWnd::OnLButtonUp(UINT, POINT) { Default(); }
void CWnd::OnLButtonDblClk(UINT, POINT) { Default(); }
void CWnd::OnRButtonDown(UINT, POINT) { Default(); }
void CWnd::OnRButtonUp(UINT, POINT) { Default(); }
void CWnd::OnMouseMove(UINT, POINT) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, POINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
