// SplitterDrag: sides, allowed moves, the tracker and the final move of a splitter bar.
#include "flexui/SplitterDrag.h"

#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <algorithm>

#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

// Escape during a drag: the bar lets go of the mouse, which ends the drag.
class SplitterDrag::EscapeWatch : public QObject {
public:
    explicit EscapeWatch(SplitterDrag* drag) : drag_(drag) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && drag_->Active()) {
            drag_->escaped_ = true;
            ::ReleaseCapture();
            return true;
        }
        return QObject::eventFilter(object, event);
    }

private:
    SplitterDrag* drag_;
};

SplitterDrag::SplitterDrag() = default;

SplitterDrag::~SplitterDrag() {
    if (escape_ && qApp) qApp->removeEventFilter(escape_.get());
}

int SplitterDrag::OrientationOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    return (r.right - r.left) > (r.bottom - r.top) ? kSplitterHorizontal : kSplitterVertical;
}

DWORD SplitterDrag::SideOf(HWND bar, HWND window, int orientation) {
    RECT b{}, w{};
    ::GetWindowRect(bar, &b);
    ::GetWindowRect(window, &w);
    if (orientation == kSplitterHorizontal)
        return w.bottom < b.bottom ? kSplitterAbove : kSplitterBelow;
    return w.right > b.right ? kSplitterRight : kSplitterLeft;
}

bool SplitterDrag::AllowedMoves(HWND parent, HWND bar, int orientation,
                                const std::vector<SplitterAttachment>& attached,
                                SplitterLimits limits, int* least, int* most) {
    RECT client{};
    ::GetClientRect(parent, &client);
    const RECT barRect = ::GetWindowRectIn(bar, parent);
    const bool vertical = orientation == kSplitterHorizontal;  // the bar moves up and down
    const auto lead = [vertical](const RECT& r) { return vertical ? r.top : r.left; };
    const auto trail = [vertical](const RECT& r) { return vertical ? r.bottom : r.right; };
    // The bar itself stays in the parent.
    int lo = lead(client) - lead(barRect);
    int hi = trail(client) - trail(barRect);
    for (const SplitterAttachment& a : attached) {
        if (!::IsWindow(a.hwnd)) continue;
        const RECT r = ::GetWindowRectIn(a.hwnd, parent);
        const int size = trail(r) - lead(r);
        const bool before = a.side == kSplitterAbove || a.side == kSplitterLeft;
        if (a.resize) {
            // Before the bar the window grows with the move, after it it shrinks.
            if (before) {
                lo = std::max(lo, a.minSize - size);
                if (a.maxSize > 0) hi = std::min(hi, a.maxSize - size);
            } else {
                hi = std::min(hi, size - a.minSize);
                if (a.maxSize > 0) lo = std::max(lo, size - a.maxSize);
            }
        } else if (limits == SplitterLimits::kWholeWindow) {
            lo = std::max(lo, lead(client) - lead(r));
            hi = std::min(hi, trail(client) - trail(r));
        } else if (vertical) {
            // Above: its top stays inside; below: its bottom stays inside.
            if (before) {
                lo = std::max(lo, lead(client) - lead(r));
                hi = std::min(hi, trail(client) - lead(r));
            } else {
                lo = std::max(lo, lead(client) - trail(r));
                hi = std::min(hi, trail(client) - trail(r));
            }
        } else {
            // Left: its right edge stays right of the parent's left edge; right: its left edge
            // stays left of the parent's right edge.
            if (before)
                lo = std::max(lo, lead(client) - trail(r) + 1);
            else
                hi = std::min(hi, trail(client) - lead(r) - 1);
        }
    }
    *least = lo;
    *most = hi;
    return lo <= hi && !(lo == 0 && hi == 0);
}

void SplitterDrag::Apply(HWND parent, HWND bar, int orientation,
                         const std::vector<SplitterAttachment>& attached, int delta) {
    if (delta == 0) return;
    const bool vertical = orientation == kSplitterHorizontal;
    const int dx = vertical ? 0 : delta;
    const int dy = vertical ? delta : 0;
    const auto move = [](HWND hwnd, RECT r) {
        ::MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    };
    RECT b = ::GetWindowRectIn(bar, parent);
    move(bar, RECT{b.left + dx, b.top + dy, b.right + dx, b.bottom + dy});
    for (const SplitterAttachment& a : attached) {
        if (!::IsWindow(a.hwnd)) continue;
        RECT r = ::GetWindowRectIn(a.hwnd, parent);
        if (!a.resize) {
            r = RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
        } else if (a.side == kSplitterAbove) {
            r.bottom += dy;
        } else if (a.side == kSplitterBelow) {
            r.top += dy;
        } else if (a.side == kSplitterLeft) {
            r.right += dx;
        } else {
            r.left += dx;
        }
        move(a.hwnd, r);
    }
    if (CWnd* wnd = CWnd::FromHandle(parent)) wnd->Invalidate(TRUE);
}

bool SplitterDrag::Begin(HWND parent, HWND bar, int orientation, POINT press, int least, int most,
                         bool escapeCancels) {
    if (Active() || !::IsWindow(parent) || !::IsWindow(bar)) return false;
    parent_ = parent;
    bar_ = bar;
    orientation_ = orientation;
    press_ = press;
    start_ = ::GetWindowRectIn(bar, parent);
    least_ = least;
    most_ = most;
    delta_ = 0;
    escapeCancels_ = escapeCancels;
    escaped_ = false;
    ::SetCapture(bar);
    if (!escape_) escape_ = std::make_unique<EscapeWatch>(this);
    qApp->installEventFilter(escape_.get());
    Show();
    return true;
}

void SplitterDrag::Follow(POINT point) {
    if (!Active()) return;
    const int moved = orientation_ == kSplitterHorizontal ? point.y - press_.y : point.x - press_.x;
    const int delta = std::clamp(moved, least_, most_);
    if (delta == delta_) return;
    delta_ = delta;
    Show();
}

RECT SplitterDrag::TrackerRect() const {
    if (orientation_ == kSplitterHorizontal)
        return RECT{start_.left, start_.top + delta_, start_.right, start_.bottom + delta_};
    return RECT{start_.left + delta_, start_.top, start_.right + delta_, start_.bottom};
}

void SplitterDrag::Show() {
    if (overlay_.IsShown())
        overlay_.Move(TrackerRect());
    else
        overlay_.Show(parent_, TrackerRect());
}

int SplitterDrag::End(bool accept) {
    if (!Active()) return 0;
    const int delta = accept ? delta_ : 0;
    const HWND bar = bar_;
    bar_ = 0;  // first, so the capture change below finds no drag
    overlay_.Hide();
    if (escape_ && qApp) qApp->removeEventFilter(escape_.get());
    if (::GetCapture() == bar) ::ReleaseCapture();
    delta_ = 0;
    return delta;
}
