// Paint events as WM_PAINT / WM_ERASEBKGND and WM_NCPAINT, BeginPaint and CPaintDC, window
// contexts, and the repaint requests.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QPaintEvent>
#include <QWidget>
#include <algorithm>
#include <unordered_map>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/NonClient.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"

namespace platform::ui {
namespace {

// The paint event being handled on the user-interface thread (paint events of different
// windows may nest when a handler updates another window at once).
struct PaintSession {
    HWND hwnd = 0;
    QWidget* widget = nullptr;
    QRect client;  // the client area on the widget
    RECT update;   // client coordinates
    bool erase = true;
    bool begun = false;
    bool erased = false;
    std::vector<std::unique_ptr<CDC>> contexts;  // made by BeginPaint, ended by EndPaint
    PaintSession* outer = nullptr;
};
PaintSession* gSession = nullptr;

// What the repaint requests since the window's last paint asked for.
struct PendingUpdate {
    QRegion region;
    bool anyErase = false;    // some request asked for erasing
    bool anyNoErase = false;  // some request asked not to erase
};
std::unordered_map<HWND, PendingUpdate>& Pending() {
    static std::unordered_map<HWND, PendingUpdate> pending;
    // Windows destroyed before their paint leave entries behind; drop them now and then.
    if (pending.size() > 1024)
        std::erase_if(pending, [](const auto& e) { return !IsWindow(e.first); });
    return pending;
}

// A paint that no request of ours caused (shown, resized, uncovered) erases.
bool TakeErase(HWND hwnd) {
    auto& pending = Pending();
    auto it = pending.find(hwnd);
    if (it == pending.end()) return true;
    const bool erase = it->second.anyErase || !it->second.anyNoErase;
    pending.erase(it);
    return erase;
}

bool StartPaint(HWND hwnd, CDC* dc, PAINTSTRUCT* paint) {
    PaintSession* session = gSession;
    if (!session || session->hwnd != hwnd || !paint || !IsUiThread()) return false;
    dc->AttachWindowArea(hwnd, session->widget, session->client, session->update);
    session->begun = true;
    paint->hdc = dc;
    paint->rcPaint = session->update;
    paint->fErase = FALSE;
    if (session->erase && !session->erased) {
        session->erased = true;
        // A window that does not erase leaves the erasing to its WM_PAINT (fErase).
        paint->fErase = ::SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    }
    return true;
}

// A button of kind BS_OWNERDRAW is drawn by its parent's WM_DRAWITEM, not by its widget.
bool DrawOwnerButton(HWND hwnd, QWidget* widget) {
    const WindowRecord* record = WindowTable::Instance().Find(hwnd);
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!record || !button || record->className != "Button" ||
        (record->style & BS_TYPEMASK) != BS_OWNERDRAW)
        return false;
    CDC dc;
    PAINTSTRUCT paint;
    if (!StartPaint(hwnd, &dc, &paint)) return false;
    DRAWITEMSTRUCT item;
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(record->id);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState =
        (button->isDown() ? ODS_SELECTED : 0) | (button->isChecked() ? ODS_CHECKED : 0) |
        (button->hasFocus() ? ODS_FOCUS : 0) | (button->isEnabled() ? 0 : ODS_DISABLED);
    item.hwndItem = hwnd;
    item.hDC = &dc;
    item.rcItem = RECT{0, 0, gSession->client.width(), gSession->client.height()};
    if (HWND parent = ::GetParent(hwnd))
        ::SendMessage(parent, WM_DRAWITEM, static_cast<WPARAM>(record->id),
                      reinterpret_cast<LPARAM>(&item));
    dc.DetachWindow();
    return true;
}

}  // namespace

bool RoutePaint(QWidget* widget, QEvent* event) {
    HWND hwnd = WindowTable::Instance().HandleOf(widget);
    const WindowRecord* record = hwnd ? WindowTable::Instance().Find(hwnd) : nullptr;
    if (!record) return false;
    const QRect area = static_cast<QPaintEvent*>(event)->rect();
    const QRect client = ClientArea(*record);
    const bool framed = client != widget->rect();
    const QRect inside = area.intersected(client).translated(-client.topLeft());
    PaintSession session;
    session.hwnd = hwnd;
    session.widget = widget;
    session.client = client;
    session.update = RECT{inside.left(), inside.top(), inside.right() + 1, inside.bottom() + 1};
    session.erase = TakeErase(hwnd);
    session.outer = gSession;
    gSession = &session;
    bool passOn = false;
    // A paint of the frame alone is no WM_PAINT.
    if (!framed || !inside.isEmpty()) CallWindowProc(hwnd, WM_PAINT, 0, 0, event, widget, &passOn);
    if (passOn && !session.begun && IsWindow(hwnd) && DrawOwnerButton(hwnd, widget)) {
        passOn = false;
    } else if (passOn && !session.begun && IsWindow(hwnd)) {
        // Default processing: the erase message, then the widget paints itself.
        PAINTSTRUCT paint;
        if (::BeginPaint(hwnd, &paint)) ::EndPaint(hwnd, &paint);
    }
    if (framed && IsWindow(hwnd)) {
        // The frame goes on top of whatever the widget painted of itself.
        if (passOn) SendPastFilter(widget, event);
        passOn = false;
        if (IsWindow(hwnd) && !QRegion(area).subtracted(client).isEmpty())
            CallWindowProc(hwnd, WM_NCPAINT, 1, 0);
    }
    gSession = session.outer;
    return !passOn;
}

// A context on the whole window of the paint event being handled (or none).
bool AttachWholeWindow(HWND hwnd, CDC* dc) {
    PaintSession* session = gSession;
    while (session && session->hwnd != hwnd) session = session->outer;
    if (!session || !IsUiThread()) return false;
    const QRect whole = session->widget->rect();
    dc->AttachWindowArea(hwnd, session->widget, whole, RECT{0, 0, whole.width(), whole.height()});
    return true;
}

}  // namespace platform::ui

using platform::ui::IsUiThread;
using platform::ui::WidgetOf;

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    auto dc = std::make_unique<CDC>();
    if (!platform::ui::StartPaint(hwnd, dc.get(), paint)) return nullptr;
    platform::ui::gSession->contexts.push_back(std::move(dc));
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    for (platform::ui::PaintSession* s = platform::ui::gSession; s && paint; s = s->outer) {
        if (s->hwnd != hwnd) continue;
        auto& contexts = s->contexts;
        auto it = std::find_if(contexts.begin(), contexts.end(),
                               [&](const auto& dc) { return dc.get() == paint->hdc; });
        if (it == contexts.end()) return FALSE;
        (*it)->DetachWindow();
        contexts.erase(it);
        return TRUE;
    }
    return FALSE;
}

CPaintDC::CPaintDC(CWnd* wnd) : hwnd_(wnd ? wnd->m_hWnd : 0) {
    platform::ui::StartPaint(hwnd_, this, &m_ps);
}

CPaintDC::~CPaintDC() { DetachWindow(); }

CWindowDC::CWindowDC(CWnd* wnd) {
    if (wnd) platform::ui::AttachWholeWindow(wnd->m_hWnd, this);
}

CWindowDC::~CWindowDC() { DetachWindow(); }

HDC GetWindowDC(HWND hwnd) {
    auto dc = std::make_unique<CDC>();
    if (!platform::ui::AttachWholeWindow(hwnd, dc.get())) return nullptr;
    platform::ui::PaintSession* session = platform::ui::gSession;
    while (session->hwnd != hwnd) session = session->outer;
    session->contexts.push_back(std::move(dc));
    return session->contexts.back().get();
}

int ReleaseDC(HWND hwnd, HDC dc) {
    PAINTSTRUCT paint;
    paint.hdc = dc;
    return EndPaint(hwnd, &paint);
}

namespace platform::ui {
namespace {

// Requests a repaint of `area` (widget coordinates) for the next paint of the window.
BOOL Invalidate(HWND hwnd, const QRegion& area, BOOL erase) {
    if (!IsUiThread()) return FALSE;
    QWidget* widget = WidgetOf(hwnd);
    if (!widget) return FALSE;
    auto& pending = Pending()[hwnd];
    (erase ? pending.anyErase : pending.anyNoErase) = true;
    const QRegion inside = area.intersected(widget->rect());
    if (inside.isEmpty()) return TRUE;
    pending.region += inside;
    widget->update(inside);
    return TRUE;
}

// The client area of a live window in widget coordinates (empty for a dead handle).
QRect ClientAreaOf(HWND hwnd) {
    const WindowRecord* record = IsUiThread() ? WindowTable::Instance().Find(hwnd) : nullptr;
    return record ? ClientArea(*record) : QRect();
}

}  // namespace
}  // namespace platform::ui

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    const QRect client = platform::ui::ClientAreaOf(hwnd);
    QRect area =
        rect ? QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top)
                   .translated(client.topLeft())
             : client;
    return platform::ui::Invalidate(hwnd, area.intersected(client), erase);
}

BOOL InvalidateRgn(HWND hwnd, CRgn* region, BOOL erase) {
    if (!region || !region->IsCreated()) return InvalidateRect(hwnd, nullptr, erase);
    const QRect client = platform::ui::ClientAreaOf(hwnd);
    return platform::ui::Invalidate(
        hwnd, region->Region().translated(client.topLeft()).intersected(client), erase);
}

BOOL UpdateWindow(HWND hwnd) {
    if (!IsUiThread()) return FALSE;
    QWidget* widget = WidgetOf(hwnd);
    if (!widget) return FALSE;
    auto& pending = platform::ui::Pending();
    auto it = pending.find(hwnd);
    if (it != pending.end() && !it->second.region.isEmpty() && widget->isVisible()) {
        // Painting now also paints whatever else of the top-level window is due.
        const QRegion area = it->second.region;
        it->second.region = QRegion();
        widget->repaint(area);
    }
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, CRgn* region, UINT flags) {
    BOOL ok = TRUE;
    if (flags & RDW_INVALIDATE)
        ok = region ? InvalidateRgn(hwnd, region, (flags & RDW_ERASE) != 0)
                    : InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
    if (ok && (flags & (RDW_INVALIDATE | RDW_FRAME)) == (RDW_INVALIDATE | RDW_FRAME))
        if (QWidget* widget = WidgetOf(hwnd))
            ok = platform::ui::Invalidate(
                hwnd, QRegion(widget->rect()).subtracted(platform::ui::ClientAreaOf(hwnd)),
                (flags & RDW_ERASE) != 0);
    if (ok && (flags & (RDW_UPDATENOW | RDW_ERASENOW))) ok = UpdateWindow(hwnd);
    return ok;
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(const RECT* rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
