// Window functions by handle over the handle table and the widgets.
#include "platform/ui/WindowApi.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <vector>

#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/NonClient.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"

using platform::ui::WindowRecord;
using platform::ui::WindowTable;

namespace platform::ui {
namespace {

HWND gCapture = 0;

WindowRecord* Find(HWND hwnd) {
    if (!IsUiThread()) return nullptr;
    return WindowTable::Instance().Find(hwnd);
}

// Registered windows directly below the widget, looking through widgets that are not windows
// of their own (inner parts of Qt's composite widgets); owned top-level windows only when
// asked for.
void CollectChildWindows(const QWidget* widget, bool withOwned, std::vector<HWND>* out) {
    for (QObject* object : widget->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || (child->isWindow() && !withOwned)) continue;
        if (HWND hwnd = WindowTable::Instance().HandleOf(child))
            out->push_back(hwnd);
        else
            CollectChildWindows(child, withOwned, out);
    }
}

std::vector<HWND> ChildWindows(HWND parent, bool withOwned = false) {
    std::vector<HWND> children;
    if (WindowRecord* record = Find(parent))
        CollectChildWindows(record->widget, withOwned, &children);
    return children;
}

void CollectTree(HWND hwnd, bool withOwned, std::vector<HWND>* out) {
    out->push_back(hwnd);
    for (HWND child : ChildWindows(hwnd, withOwned)) CollectTree(child, withOwned, out);
}

// Takes the window out of the table, detaches its handler objects and lets a self-deleting
// object go. `notify`: the widget is still whole, so the procedure hears WM_NCDESTROY.
void Forget(HWND hwnd, bool notify) {
    if (notify) CallWindowProc(hwnd, WM_NCDESTROY, 0, 0);
    std::unique_ptr<WindowRecord> record = WindowTable::Instance().Remove(hwnd);
    if (!record) return;
    KillWindowTimers(hwnd);
    ForgetWindowMenus(hwnd);
    if (gCapture == hwnd) gCapture = 0;
    if (record->temporary) record->temporary->m_hWnd = 0;
    CWnd* permanent = record->permanent;
    if (permanent) permanent->m_hWnd = 0;
    if (permanent && AfxGetMainWnd() == permanent) AfxSetMainWnd(nullptr);
    record.reset();
    if (permanent) permanent->PostNcDestroy();
}

DWORD ComposedStyle(const WindowRecord& record) {
    DWORD style = record.style & ~(WS_VISIBLE | WS_DISABLED);
    if (!record.widget->isHidden()) style |= WS_VISIBLE;
    if (record.widget->testAttribute(Qt::WA_ForceDisabled)) style |= WS_DISABLED;
    return style;
}

void ApplyStyle(WindowRecord& record, DWORD style) {
    record.style = style;
    QWidget* widget = record.widget;
    widget->setEnabled(!(style & WS_DISABLED));
    if (record.windowClass->TakesFocus())
        widget->setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    record.windowClass->ApplyStyle(widget, style);
}

}  // namespace

HWND RegisterWidget(QWidget* widget, const WindowClass* windowClass, const std::string& className,
                    DWORD style, DWORD exStyle, int32_t id) {
    if (!IsUiThread() || !widget) return 0;
    EnsureWindowLayer();
    HWND hwnd =
        WindowTable::Instance().Register(widget, windowClass, className, style, exStyle, id);
    if (!hwnd) return 0;
    // A widget that Qt deletes on its own (with its parent, at exit) stops being a window.
    QObject::connect(widget, &QObject::destroyed, [](QObject* object) {
        if (HWND gone = WindowTable::Instance().HandleOf(object)) Forget(gone, false);
    });
    RecalcFrame(hwnd);
    return hwnd;
}

QWidget* WidgetOf(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    return record ? record->widget : nullptr;
}

HWND WindowOf(const QWidget* widget) { return WindowTable::Instance().NearestWindow(widget); }

HWND AdoptWidget(QWidget* widget, const std::string& className, DWORD style, int id) {
    if (HWND existing = WindowTable::Instance().HandleOf(widget)) return existing;
    const WindowClass* windowClass = FindWindowClass(className);
    if (!windowClass) return 0;
    HWND hwnd = RegisterWidget(widget, windowClass, className, style, 0, id);
    if (hwnd) windowClass->Connect(hwnd, widget);
    return hwnd;
}

void SetWindowAccelerators(HWND hwnd, HACCEL table) {
    if (WindowRecord* record = Find(hwnd)) record->accelerators = table;
}

size_t LiveWindowCount() { return WindowTable::Instance().Size(); }

}  // namespace platform::ui

using platform::ui::Find;

BOOL IsWindow(HWND hwnd) { return WindowTable::Instance().Contains(hwnd) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    if (!record) return FALSE;
    QPointer<QWidget> widget = record->widget;
    std::vector<HWND> tree;
    platform::ui::CollectTree(hwnd, true, &tree);
    // WM_DESTROY goes to the window before its children, WM_NCDESTROY to children first.
    for (HWND each : tree)
        if (IsWindow(each)) platform::ui::CallWindowProc(each, WM_DESTROY, 0, 0);
    HWND capture = platform::ui::gCapture;
    if (capture && std::find(tree.begin(), tree.end(), capture) != tree.end()) ReleaseCapture();
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) platform::ui::Forget(*it, true);
    if (widget) {
        widget->hide();
        // A widget whose event may still be on the stack is deleted when control returns to
        // the event loop; otherwise at once, so that the caller sees it gone.
        if (platform::ui::InDispatch())
            widget->deleteLater();
        else
            delete widget.data();
    }
    return TRUE;
}

std::string GetClassName(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    return record ? record->className : std::string();
}

int GetClassName(HWND hwnd, char* buffer, int size) {
    return platform::ui::CopyTextToBuffer(GetClassName(hwnd), buffer, size);
}

LONG GetWindowLong(HWND hwnd, int index) {
    WindowRecord* record = Find(hwnd);
    if (!record) return 0;
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG>(platform::ui::ComposedStyle(*record));
        case GWL_EXSTYLE:
            return static_cast<LONG>(record->exStyle);
        case GWL_ID:
            return record->id;
        default:
            return 0;
    }
}

LONG SetWindowLong(HWND hwnd, int index, LONG value) {
    WindowRecord* record = Find(hwnd);
    if (!record) return 0;
    LONG previous = GetWindowLong(hwnd, index);
    switch (index) {
        case GWL_STYLE: {
            DWORD style = static_cast<DWORD>(value);
            platform::ui::ApplyStyle(*record, style);
            record->widget->setVisible(style & WS_VISIBLE);
            break;
        }
        case GWL_EXSTYLE:
            record->exStyle = static_cast<DWORD>(value);
            break;
        case GWL_ID:
            record->id = value;
            break;
        default:
            break;
    }
    return previous;
}

HWND GetParent(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    if (!record) return 0;
    return WindowTable::Instance().NearestWindow(record->widget->parentWidget());
}

HWND SetParent(HWND hwnd, HWND parent) {
    WindowRecord* record = Find(hwnd);
    WindowRecord* parentRecord = Find(parent);
    if (!record || !parentRecord || hwnd == parent) return 0;
    const HWND previous = GetParent(hwnd);
    QWidget* widget = record->widget;
    // The place in client coordinates stays.
    const QPoint at = widget->isWindow() ? QPoint(0, 0)
                                         : widget->pos() - platform::ui::ParentClientOrigin(widget);
    const bool visible = !widget->isHidden();
    widget->setParent(parentRecord->widget, widget->windowFlags() & ~Qt::WindowType_Mask);
    widget->move(at + platform::ui::ClientOrigin(parent));
    record->style = (record->style & ~WS_POPUP) | WS_CHILD;
    // A widget's contents margins do not survive every change of parent.
    platform::ui::RecalcFrame(hwnd);
    if (visible) widget->show();
    return previous;
}

HWND GetWindow(HWND hwnd, UINT relation) {
    WindowRecord* record = Find(hwnd);
    if (!record) return 0;
    if (relation == GW_CHILD) {
        std::vector<HWND> children = platform::ui::ChildWindows(hwnd);
        return children.empty() ? 0 : children.front();
    }
    if (relation == GW_OWNER) return record->widget->isWindow() ? GetParent(hwnd) : 0;
    if (record->widget->isWindow()) return 0;
    std::vector<HWND> siblings = platform::ui::ChildWindows(GetParent(hwnd));
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    if (it == siblings.end()) return 0;
    switch (relation) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return it + 1 == siblings.end() ? 0 : *(it + 1);
        case GW_HWNDPREV:
            return it == siblings.begin() ? 0 : *(it - 1);
        default:
            return 0;
    }
}

HWND GetDlgItem(HWND parent, int id) {
    for (HWND child : platform::ui::ChildWindows(parent))
        if (WindowRecord* record = Find(child); record && record->id == id) return child;
    return 0;
}

int GetDlgCtrlID(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    return record ? record->id : 0;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    if (!IsWindow(parent)) return FALSE;
    for (HWND up = GetParent(hwnd); up; up = GetParent(up)) {
        if (up == parent) return TRUE;
        if (platform::ui::WidgetOf(up)->isWindow()) break;
    }
    return FALSE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM lParam) {
    if (!Find(parent) || !callback) return FALSE;
    std::vector<HWND> all;
    platform::ui::CollectTree(parent, false, &all);
    for (size_t i = 1; i < all.size(); ++i)  // all[0] is the parent itself
        if (IsWindow(all[i]) && !callback(all[i], lParam)) break;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    WindowRecord* record = Find(hwnd);
    if (!record) return FALSE;
    QWidget* widget = record->widget;
    const QSize before = widget->size();
    const QPoint at = QPoint(x, y) + platform::ui::ParentClientOrigin(widget);
    widget->setGeometry(at.x(), at.y(), std::max(width, 0), std::max(height, 0));
    // A new size asks the window for its frame again, as a sized window hears WM_NCCALCSIZE.
    if (widget->size() != before) platform::ui::RecalcFrame(hwnd);
    if (repaint && IsWindow(hwnd)) widget->update();
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowRecord* record = Find(hwnd);
    if (!record || !rect) return FALSE;
    const QRect client = platform::ui::ClientArea(*record);
    *rect = RECT{0, 0, client.width(), client.height()};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    WindowRecord* record = Find(hwnd);
    if (!record || !rect) return FALSE;
    QWidget* widget = record->widget;
    QRect r = widget->isWindow() ? widget->frameGeometry()
                                 : QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    *rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    WindowRecord* record = Find(hwnd);
    if (!record || !point) return FALSE;
    QPoint p = record->widget->mapFromGlobal(QPoint(point->x, point->y)) -
               platform::ui::ClientArea(*record).topLeft();
    *point = POINT{p.x(), p.y()};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    WindowRecord* record = Find(hwnd);
    if (!record || !point) return FALSE;
    QPoint p = record->widget->mapToGlobal(QPoint(point->x, point->y) +
                                           platform::ui::ClientArea(*record).topLeft());
    *point = POINT{p.x(), p.y()};
    return TRUE;
}

BOOL MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    if (!points) return FALSE;
    for (UINT i = 0; i < count; ++i) {
        if (from && !ClientToScreen(from, &points[i])) return FALSE;
        if (to && !ScreenToClient(to, &points[i])) return FALSE;
    }
    return TRUE;
}

BOOL MapWindowPoints(HWND from, HWND to, RECT* rect) {
    if (!rect) return FALSE;
    POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    if (!MapWindowPoints(from, to, corners, 2)) return FALSE;
    *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return TRUE;
}

RECT GetWindowRectIn(HWND hwnd, HWND to) {
    RECT rect{};
    if (GetWindowRect(hwnd, &rect)) MapWindowPoints(0, to, &rect);
    return rect;
}

BOOL SetWindowText(HWND hwnd, const std::string& text) {
    if (!IsWindow(hwnd)) return FALSE;
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? TRUE : FALSE;
}

std::string GetWindowText(HWND hwnd) {
    LRESULT length = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = SendMessage(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

int GetWindowText(HWND hwnd, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    return static_cast<int>(
        SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) {
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetDlgItemText(HWND parent, int id, const std::string& text) {
    return SetWindowText(GetDlgItem(parent, id), text);
}

std::string GetDlgItemText(HWND parent, int id) { return GetWindowText(GetDlgItem(parent, id)); }

HWND SetFocus(HWND hwnd) {
    HWND previous = GetFocus();
    if (hwnd == 0) {
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        return previous;
    }
    WindowRecord* record = Find(hwnd);
    if (!record) return 0;
    record->widget->setFocus(Qt::OtherFocusReason);
    return previous;
}

HWND GetFocus() {
    if (!platform::ui::IsUiThread()) return 0;
    return WindowTable::Instance().NearestWindow(QApplication::focusWidget());
}

BOOL ShowWindow(HWND hwnd, int command) {
    WindowRecord* record = Find(hwnd);
    if (!record) return FALSE;
    QWidget* widget = record->widget;
    BOOL wasVisible = widget->isHidden() ? FALSE : TRUE;
    switch (command) {
        case SW_HIDE:
            widget->hide();
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            widget->isWindow() ? widget->showMinimized() : widget->show();
            break;
        case SW_SHOWMAXIMIZED:
            widget->isWindow() ? widget->showMaximized() : widget->show();
            break;
        case SW_SHOWNA:
        case SW_SHOWNOACTIVATE:
            widget->setAttribute(Qt::WA_ShowWithoutActivating, true);
            widget->show();
            widget->setAttribute(Qt::WA_ShowWithoutActivating, false);
            break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            widget->isWindow() ? widget->showNormal() : widget->show();
            break;
        default:
            widget->show();
            break;
    }
    return wasVisible;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    WindowRecord* record = Find(hwnd);
    if (!record) return FALSE;
    BOOL wasDisabled = record->widget->testAttribute(Qt::WA_ForceDisabled) ? TRUE : FALSE;
    record->widget->setEnabled(enable != FALSE);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    return record && !record->widget->testAttribute(Qt::WA_ForceDisabled) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    return record && record->widget->isVisible() ? TRUE : FALSE;
}

HWND SetCapture(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    if (!record) return 0;
    HWND previous = GetCapture();
    if (previous == hwnd) return previous;
    if (previous) platform::ui::WidgetOf(previous)->releaseMouse();
    record->widget->grabMouse();
    platform::ui::gCapture = hwnd;
    if (previous) SendMessage(previous, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hwnd));
    return previous;
}

HWND GetCapture() {
    HWND capture = platform::ui::gCapture;
    return IsWindow(capture) ? capture : 0;
}

BOOL ReleaseCapture() {
    HWND capture = GetCapture();
    platform::ui::gCapture = 0;
    if (!capture) return TRUE;
    platform::ui::WidgetOf(capture)->releaseMouse();
    SendMessage(capture, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}
