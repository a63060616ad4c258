// Hover and leave tracking of windows through an event watcher on the window's widget.
#include "platform/ui/MouseTracking.h"

#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace {

inline constexpr int kDefaultHoverMs = 400;

// One per tracked widget, owned by it; forgets its requests once they are answered.
class MouseTracker : public QObject {
public:
    MouseTracker(QWidget* widget, HWND hwnd) : QObject(widget), widget_(widget), hwnd_(hwnd) {
        hoverTimer_.setSingleShot(true);
        QObject::connect(&hoverTimer_, &QTimer::timeout, this, [this] { Hovered(); });
        widget->installEventFilter(this);
    }

    static MouseTracker* Of(QWidget* widget) {
        return widget->findChild<MouseTracker*>(QString(), Qt::FindDirectChildrenOnly);
    }

    DWORD flags = 0;
    int hoverMs = kDefaultHoverMs;

    void StartHover() { hoverTimer_.start(hoverMs); }
    void StopHover() { hoverTimer_.stop(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != widget_) return false;
        switch (event->type()) {
            case QEvent::MouseMove:
            case QEvent::HoverMove:
                if (flags & TME_HOVER) StartHover();
                break;
            case QEvent::Leave:
                if (flags & TME_LEAVE) {
                    flags = 0;
                    StopHover();
                    ::PostMessage(hwnd_, WM_MOUSELEAVE, 0, 0);
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    void Hovered() {
        if (!(flags & TME_HOVER) || !widget_) return;
        flags &= ~TME_HOVER;
        const QPoint at = widget_->mapFromGlobal(QCursor::pos());
        ::PostMessage(hwnd_, WM_MOUSEHOVER, 0,
                      MAKELPARAM(static_cast<WORD>(at.x()), static_cast<WORD>(at.y())));
    }

    QPointer<QWidget> widget_;
    HWND hwnd_;
    QTimer hoverTimer_;
};

}  // namespace

BOOL TrackMouseEvent(TRACKMOUSEEVENT* request) {
    if (!request) return FALSE;
    QWidget* widget = platform::ui::WidgetOf(request->hwndTrack);
    if (!widget) return FALSE;
    MouseTracker* tracker = MouseTracker::Of(widget);
    if (request->dwFlags & TME_QUERY) {
        request->dwFlags = tracker ? tracker->flags : 0;
        request->dwHoverTime = tracker ? static_cast<DWORD>(tracker->hoverMs) : 0;
        return TRUE;
    }
    const DWORD kinds = request->dwFlags & (TME_HOVER | TME_LEAVE);
    if (request->dwFlags & TME_CANCEL) {
        if (tracker) {
            tracker->flags &= ~kinds;
            if (!(tracker->flags & TME_HOVER)) tracker->StopHover();
        }
        return TRUE;
    }
    if (!tracker) tracker = new MouseTracker(widget, request->hwndTrack);  // owned by widget
    if (kinds & TME_HOVER) {
        tracker->hoverMs = request->dwHoverTime == HOVER_DEFAULT
                               ? kDefaultHoverMs
                               : static_cast<int>(request->dwHoverTime);
        tracker->flags |= TME_HOVER;
        tracker->StartHover();
    }
    if (kinds & TME_LEAVE) tracker->flags |= TME_LEAVE;
    return TRUE;
}
