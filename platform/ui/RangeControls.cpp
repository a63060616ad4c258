// The trackbar over a QSlider (the user's moves become WM_HSCROLL / WM_VSCROLL requests once the
// slider has settled on its new value) and the self-drawn progress bar.
#include "platform/ui/RangeControls.h"

#include <QKeyEvent>
#include <QPainter>
#include <QSlider>
#include <algorithm>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

// ---- msctls_trackbar32 --------------------------------------------------------------------------

class TrackbarWidget : public QSlider {
public:
    TrackbarWidget(QWidget* parent, DWORD style) : QSlider(parent) {
        setTracking(true);
        setRange(0, 100);
        setSingleStep(1);
        FollowRange();
        ApplyStyle(style);
        connect(this, &QAbstractSlider::actionTriggered, this,
                [this](int action) { pending_.push_back(action); });
        connect(this, &QAbstractSlider::sliderReleased, this, [this] { released_ = true; });
    }

    HWND hwnd = 0;
    bool pageSet_ = false;
    int frequency_ = 1;
    DWORD style_ = 0;

    void ApplyStyle(DWORD style) {
        style_ = style;
        const bool vertical = (style & TBS_VERT) != 0;
        setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
        // The minimum stands at the top of a vertical trackbar, and the wheel moves toward it.
        setInvertedAppearance(vertical);
        setInvertedControls(vertical);
        if (style & TBS_NOTICKS)
            setTickPosition(NoTicks);
        else if (style & TBS_BOTH)
            setTickPosition(TicksBothSides);
        else if (style & TBS_TOP)
            setTickPosition(TicksAbove);  // TBS_LEFT of a vertical one: the same side
        else
            setTickPosition(TicksBelow);
        FollowTicks();
    }
    // Without TBS_AUTOTICKS only the two ends are marked.
    void FollowTicks() {
        const int span = std::max(1, maximum() - minimum());
        setTickInterval((style_ & TBS_AUTOTICKS) ? std::max(1, frequency_) : span);
    }
    void FollowRange() {
        if (!pageSet_) setPageStep(std::max(1, (maximum() - minimum()) / 5));
        FollowTicks();
    }

protected:
    // The requests the user's input caused go out once the slider holds its new value, so that
    // a parent reading the position hears the one it was told of.
    bool event(QEvent* event) override {
        ++depth_;
        const bool result = QSlider::event(event);
        if (--depth_ == 0) Notify(event);
        return result;
    }
    void keyPressEvent(QKeyEvent* event) override {
        // The desktop's keys: left and up toward the minimum, page up too.
        switch (event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Up:
                triggerAction(SliderSingleStepSub);
                break;
            case Qt::Key_Right:
            case Qt::Key_Down:
                triggerAction(SliderSingleStepAdd);
                break;
            case Qt::Key_PageUp:
                triggerAction(SliderPageStepSub);
                break;
            case Qt::Key_PageDown:
                triggerAction(SliderPageStepAdd);
                break;
            case Qt::Key_Home:
                triggerAction(SliderToMinimum);
                break;
            case Qt::Key_End:
                triggerAction(SliderToMaximum);
                break;
            default:
                event->ignore();
                return;
        }
        keyed_ = true;
        event->accept();
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (keyed_ && !event->isAutoRepeat()) {
            keyed_ = false;
            endTrack_ = true;
        }
        event->accept();
    }

private:
    static WORD CodeOf(int action) {
        switch (action) {
            case SliderSingleStepAdd:
                return TB_LINEDOWN;
            case SliderSingleStepSub:
                return TB_LINEUP;
            case SliderPageStepAdd:
                return TB_PAGEDOWN;
            case SliderPageStepSub:
                return TB_PAGEUP;
            case SliderToMinimum:
                return TB_TOP;
            case SliderToMaximum:
                return TB_BOTTOM;
            default:
                return TB_THUMBTRACK;
        }
    }
    void Notify(QEvent* event) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress) mouseActions_ = false;
        std::vector<WORD> codes;
        for (int action : pending_) codes.push_back(CodeOf(action));
        pending_.clear();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::Timer)
            mouseActions_ = mouseActions_ || !codes.empty();
        if (type == QEvent::Wheel && !codes.empty()) codes.push_back(TB_ENDTRACK);
        if (type == QEvent::MouseButtonRelease) {
            if (released_) codes.push_back(TB_THUMBPOSITION);
            if (released_ || mouseActions_) codes.push_back(TB_ENDTRACK);
            released_ = false;
            mouseActions_ = false;
        }
        if (endTrack_) codes.push_back(TB_ENDTRACK);
        endTrack_ = false;
        const HWND self = hwnd;
        for (WORD code : codes) {
            const HWND parent = ::GetParent(self);
            if (!parent) return;
            const bool withPos = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
            ::SendMessage(parent, orientation() == Qt::Vertical ? WM_VSCROLL : WM_HSCROLL,
                          MAKEWPARAM(code, withPos ? static_cast<WORD>(value()) : 0),
                          static_cast<LPARAM>(self));
            if (!IsWindow(self)) return;  // the parent closed it
        }
    }

    std::vector<int> pending_;
    int depth_ = 0;
    bool keyed_ = false;
    bool endTrack_ = false;
    bool released_ = false;
    bool mouseActions_ = false;
};

class TrackbarClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        auto* slider = new TrackbarWidget(parent, style);
        if (flags) slider->setWindowFlags(flags);
        return slider;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        static_cast<TrackbarWidget*>(widget)->ApplyStyle(style);
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        static_cast<TrackbarWidget*>(widget)->hwnd = hwnd;
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* slider = static_cast<TrackbarWidget*>(record.widget);
        const int number = static_cast<int>(lParam);
        *handled = true;
        switch (message) {
            case TBM_GETPOS:
                return slider->value();
            case TBM_GETRANGEMIN:
                return slider->minimum();
            case TBM_GETRANGEMAX:
                return slider->maximum();
            case TBM_SETPOS:
                slider->setValue(number);  // clamped by the slider; no request to anyone
                return 0;
            case TBM_SETRANGE: {
                const auto word = static_cast<uintptr_t>(lParam);
                slider->setRange(static_cast<int16_t>(LOWORD(word)),
                                 std::max(static_cast<int16_t>(LOWORD(word)),
                                          static_cast<int16_t>(HIWORD(word))));
                slider->FollowRange();
                return 0;
            }
            case TBM_SETRANGEMIN:
                slider->setMinimum(number);
                slider->FollowRange();
                return 0;
            case TBM_SETRANGEMAX:
                slider->setMaximum(std::max(number, slider->minimum()));
                slider->FollowRange();
                return 0;
            case TBM_SETTICFREQ:
                slider->frequency_ = std::max(1, static_cast<int>(wParam));
                slider->FollowTicks();
                return 0;
            case TBM_SETPAGESIZE: {
                const int previous = slider->pageStep();
                slider->pageSet_ = true;
                slider->setPageStep(std::max(0, number));
                return previous;
            }
            case TBM_GETPAGESIZE:
                return slider->pageStep();
            case TBM_SETLINESIZE: {
                const int previous = slider->singleStep();
                slider->setSingleStep(std::max(0, number));
                return previous;
            }
            case TBM_GETLINESIZE:
                return slider->singleStep();
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS;
            default:
                *handled = false;
                return 0;
        }
    }
};

// ---- msctls_progress32 --------------------------------------------------------------------------

}  // namespace

int ProgressLength(int64_t lower, int64_t upper, int64_t position, int length) {
    const int64_t span = upper - lower;
    const int64_t done = position - lower;
    if (span <= 0 || done <= 0 || length <= 0) return 0;
    const double share = std::min(1.0, static_cast<double>(done) / static_cast<double>(span));
    return static_cast<int>(share * length);
}

namespace {

class ProgressWidget : public QWidget {
public:
    ProgressWidget(QWidget* parent, DWORD style) : QWidget(parent), style_(style) {}

    DWORD style_;
    int lower_ = 0;
    int upper_ = 100;
    int pos_ = 0;
    int step_ = 10;

    // The previous position; a range the wrong way round holds its lower end only.
    int MoveTo(int64_t position) {
        const int previous = pos_;
        pos_ = static_cast<int>(std::clamp<int64_t>(position, lower_, std::max(lower_, upper_)));
        if (pos_ != previous) update();
        return previous;
    }
    LRESULT SetRange(int lower, int upper) {
        const LRESULT previous = MAKELPARAM(static_cast<WORD>(lower_), static_cast<WORD>(upper_));
        lower_ = lower;
        upper_ = upper;
        MoveTo(pos_);
        update();
        return previous;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect client = contentsRect();
        painter.fillRect(client, ToQColor(GetSysColor(COLOR_BTNFACE)));
        // A thin sunken edge, as the classic bar has.
        painter.setPen(ToQColor(GetSysColor(COLOR_BTNSHADOW)));
        painter.drawLine(client.topLeft(), client.topRight());
        painter.drawLine(client.topLeft(), client.bottomLeft());
        painter.setPen(ToQColor(GetSysColor(COLOR_BTNHIGHLIGHT)));
        painter.drawLine(client.bottomLeft(), client.bottomRight());
        painter.drawLine(client.topRight(), client.bottomRight());
        const QRect inner = client.adjusted(2, 2, -2, -2);
        if (inner.isEmpty() || upper_ <= lower_) return;
        const bool vertical = (style_ & PBS_VERTICAL) != 0;
        const int length = vertical ? inner.height() : inner.width();
        const int filled = ProgressLength(lower_, upper_, pos_, length);
        const QColor bar = ToQColor(GetSysColor(COLOR_HIGHLIGHT));
        if (style_ & PBS_SMOOTH) {
            painter.fillRect(
                vertical ? QRect(inner.left(), inner.bottom() - filled + 1, inner.width(), filled)
                         : QRect(inner.left(), inner.top(), filled, inner.height()),
                bar);
            return;
        }
        // Blocks two-thirds as long as the bar is thick, two pixels apart.
        const int thick = vertical ? inner.width() : inner.height();
        const int block = std::max(2, thick * 2 / 3);
        for (int at = 0; at < filled; at += block + 2) {
            const int size = std::min(block, filled - at);
            painter.fillRect(
                vertical ? QRect(inner.left(), inner.bottom() - at - size + 1, inner.width(), size)
                         : QRect(inner.left() + at, inner.top(), size, inner.height()),
                bar);
        }
    }
};

class ProgressClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        auto* bar = new ProgressWidget(parent, style);
        if (flags) bar->setWindowFlags(flags);
        return bar;
    }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        static_cast<ProgressWidget*>(widget)->style_ = style;
        widget->update();
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* bar = static_cast<ProgressWidget*>(record.widget);
        *handled = true;
        switch (message) {
            case PBM_SETRANGE: {
                const auto word = static_cast<uintptr_t>(lParam);
                return bar->SetRange(LOWORD(word), HIWORD(word));
            }
            case PBM_SETRANGE32:
                return bar->SetRange(static_cast<int>(wParam), static_cast<int>(lParam));
            case PBM_GETRANGE:
                if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) {
                    range->iLow = bar->lower_;
                    range->iHigh = bar->upper_;
                }
                return wParam ? bar->lower_ : bar->upper_;
            case PBM_SETPOS:
                return bar->MoveTo(static_cast<int>(wParam));
            case PBM_DELTAPOS:
                return bar->MoveTo(static_cast<int64_t>(bar->pos_) + static_cast<int>(wParam));
            case PBM_SETSTEP: {
                const int previous = bar->step_;
                bar->step_ = static_cast<int>(wParam);
                return previous;
            }
            case PBM_STEPIT:
                return bar->MoveTo(static_cast<int64_t>(bar->pos_) + bar->step_);
            case PBM_GETPOS:
                return bar->pos_;
            default:
                *handled = false;
                return 0;
        }
    }
};

}  // namespace

void AddRangeControlClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    classes.emplace_back("msctls_trackbar32", std::make_unique<TrackbarClass>());
    classes.emplace_back("msctls_progress32", std::make_unique<ProgressClass>());
}

}  // namespace platform::ui

// ---- CSliderCtrl
// ----------------------------------------------------------------------------------

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("msctls_trackbar32", nullptr, style | WS_CHILD, rect, parent, id);
}

void CSliderCtrl::SetRange(int minimum, int maximum, BOOL redraw) {
    SetRangeMin(minimum, FALSE);
    SetRangeMax(maximum, redraw);
}
void CSliderCtrl::SetRangeMin(int minimum, BOOL redraw) {
    SendMessage(TBM_SETRANGEMIN, static_cast<WPARAM>(redraw), minimum);
}
void CSliderCtrl::SetRangeMax(int maximum, BOOL redraw) {
    SendMessage(TBM_SETRANGEMAX, static_cast<WPARAM>(redraw), maximum);
}
void CSliderCtrl::GetRange(int& minimum, int& maximum) const {
    minimum = GetRangeMin();
    maximum = GetRangeMax();
}
int CSliderCtrl::GetRangeMin() const {
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETRANGEMIN, 0, 0));
}
int CSliderCtrl::GetRangeMax() const {
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETRANGEMAX, 0, 0));
}
void CSliderCtrl::SetPos(int position) { SendMessage(TBM_SETPOS, TRUE, position); }
int CSliderCtrl::GetPos() const {
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETPOS, 0, 0));
}
void CSliderCtrl::SetTicFreq(int frequency) {
    SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0);
}
int CSliderCtrl::SetPageSize(int size) {
    return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, size));
}
int CSliderCtrl::GetPageSize() const {
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETPAGESIZE, 0, 0));
}
int CSliderCtrl::SetLineSize(int size) {
    return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, size));
}
int CSliderCtrl::GetLineSize() const {
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETLINESIZE, 0, 0));
}

// ---- CProgressCtrl
// --------------------------------------------------------------------------------

BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("msctls_progress32", nullptr, style | WS_CHILD, rect, parent, id);
}

void CProgressCtrl::SetRange(short lower, short upper) {
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
}
void CProgressCtrl::SetRange32(int lower, int upper) {
    SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
}
void CProgressCtrl::GetRange(int& lower, int& upper) const {
    PBRANGE range;
    ::SendMessage(m_hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    lower = range.iLow;
    upper = range.iHigh;
}
int CProgressCtrl::SetPos(int position) {
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0));
}
int CProgressCtrl::OffsetPos(int delta) {
    return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta), 0));
}
int CProgressCtrl::StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT, 0, 0)); }
int CProgressCtrl::GetPos() const {
    return static_cast<int>(::SendMessage(m_hWnd, PBM_GETPOS, 0, 0));
}
int CProgressCtrl::SetStep(int step) {
    return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step), 0));
}
