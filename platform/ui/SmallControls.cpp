// The spin ("msctls_updown32": two arrows stepping a position, optionally shown in a buddy
// window) and the hot-key field ("msctls_hotkey32": takes one key with its modifiers).
#include "platform/ui/SmallControls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <algorithm>

#include "platform/core/Numbers.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

// ---- msctls_updown32 ----------------------------------------------------------------------------

std::string WithThousands(int32_t value) {
    std::string digits = FormatInt(value);
    const size_t sign = (!digits.empty() && digits[0] == '-') ? 1 : 0;
    for (int at = static_cast<int>(digits.size()) - 3; at > static_cast<int>(sign); at -= 3)
        digits.insert(static_cast<size_t>(at), 1, ',');
    return digits;
}

class SpinWidget : public QWidget {
public:
    SpinWidget(QWidget* parent, DWORD style) : QWidget(parent), style_(style) {
        repeat_.setInterval(100);
        connect(&repeat_, &QTimer::timeout, this, [this] {
            ++heldTicks_;
            Step(heldUp_);
        });
        accels_.push_back(UDACCEL{0, 1});
    }

    HWND hwnd = 0;
    DWORD style_;
    int32_t lower_ = 100;  // the range starts the other way round until it is set
    int32_t upper_ = 0;
    int32_t pos_ = 0;
    HWND buddy_ = 0;
    std::vector<UDACCEL> accels_;

    bool Horizontal() const { return (style_ & UDS_HORZ) != 0; }
    int32_t Clamp(int64_t value) const {
        const int32_t lo = std::min(lower_, upper_);
        const int32_t hi = std::max(lower_, upper_);
        return static_cast<int32_t>(std::clamp<int64_t>(value, lo, hi));
    }
    void ShowInBuddy() {
        if (!(style_ & UDS_SETBUDDYINT) || !IsWindow(buddy_)) return;
        ::SetWindowText(buddy_, (style_ & UDS_NOTHOUSANDS) ? FormatInt(pos_) : WithThousands(pos_));
    }
    HWND SetBuddy(HWND buddy) {
        HWND previous = std::exchange(buddy_, IsWindow(buddy) ? buddy : 0);
        if (buddyFilter_) buddyFilter_->removeEventFilter(this);
        buddyFilter_ = WidgetOf(buddy_);
        if (buddyFilter_ && (style_ & UDS_ARROWKEYS)) buddyFilter_->installEventFilter(this);
        if (buddy_ && (style_ & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) {
            // The arrows take the buddy's edge; the buddy gives up that width.
            RECT rect{};
            ::GetWindowRect(buddy_, &rect);
            POINT corner{rect.left, rect.top};
            ::ScreenToClient(::GetParent(buddy_), &corner);
            const int w = width();
            const int bw = rect.right - rect.left;
            const int bh = rect.bottom - rect.top;
            if (style_ & UDS_ALIGNRIGHT) {
                ::MoveWindow(buddy_, corner.x, corner.y, std::max(0, bw - w), bh);
                ::MoveWindow(hwnd, corner.x + bw - w, corner.y, w, bh);
            } else {
                ::MoveWindow(buddy_, corner.x + w, corner.y, std::max(0, bw - w), bh);
                ::MoveWindow(hwnd, corner.x, corner.y, w, bh);
            }
        }
        ShowInBuddy();
        return previous;
    }
    // One step of the user: the parent may refuse it through UDN_DELTAPOS.
    void Step(bool up) {
        if (!isEnabled()) return;
        if ((style_ & UDS_SETBUDDYINT) && IsWindow(buddy_)) {
            std::string text = ::GetWindowText(buddy_);
            std::erase(text, ',');
            if (!text.empty()) pos_ = Clamp(AtolSat(text));
        }
        const int64_t seconds = heldTicks_ * repeat_.interval() / 1000;
        int32_t increment = 1;
        for (const UDACCEL& accel : accels_)
            if (seconds >= accel.nSec) increment = static_cast<int32_t>(accel.nInc);
        // The upper (right) arrow moves toward the range's upper end.
        int32_t delta = up ? increment : -increment;
        if (lower_ > upper_) delta = -delta;
        NMUPDOWN notice;
        notice.iPos = pos_;
        notice.iDelta = delta;
        if (SendNotify(hwnd, UDN_DELTAPOS, &notice.hdr) != 0) return;
        if (!IsWindow(hwnd)) return;
        const int32_t lo = std::min(lower_, upper_);
        const int32_t hi = std::max(lower_, upper_);
        int64_t next = static_cast<int64_t>(pos_) + notice.iDelta;
        if (style_ & UDS_WRAP) {
            if (next > hi) next = lo;
            if (next < lo) next = hi;
        }
        pos_ = Clamp(next);
        ShowInBuddy();
        if (HWND parent = ::GetParent(hwnd))
            ::SendMessage(parent, Horizontal() ? WM_HSCROLL : WM_VSCROLL,
                          MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(pos_)),
                          static_cast<LPARAM>(hwnd));
    }

protected:
    bool UpperHalf(QPoint at) const {
        return Horizontal() ? at.x() >= width() / 2 : at.y() < height() / 2;
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        heldUp_ = UpperHalf(event->position().toPoint());
        heldTicks_ = 0;
        QPointer<SpinWidget> self(this);
        Step(heldUp_);
        if (self) repeat_.start();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !repeat_.isActive()) return;
        repeat_.stop();
        if (HWND parent = ::GetParent(hwnd))
            ::SendMessage(parent, Horizontal() ? WM_HSCROLL : WM_VSCROLL,
                          MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(pos_)),
                          static_cast<LPARAM>(hwnd));
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == buddyFilter_ && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                heldTicks_ = 0;
                Step(key == Qt::Key_Up);
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        const QRect whole = rect();
        const QRect first =
            Horizontal() ? QRect(0, 0, width() / 2, height()) : QRect(0, 0, width(), height() / 2);
        const QRect second = Horizontal()
                                 ? QRect(width() / 2, 0, width() - width() / 2, height())
                                 : QRect(0, height() / 2, width(), height() - height() / 2);
        painter.fillRect(whole, palette().button());
        const QStyle::PrimitiveElement arrows[2] = {
            Horizontal() ? QStyle::PE_IndicatorArrowLeft : QStyle::PE_IndicatorArrowUp,
            Horizontal() ? QStyle::PE_IndicatorArrowRight : QStyle::PE_IndicatorArrowDown};
        const QRect parts[2] = {first, second};
        for (int i = 0; i < 2; ++i) {
            option.rect = parts[i];
            style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &painter, this);
            style()->drawPrimitive(arrows[i], &option, &painter, this);
        }
    }

private:
    QTimer repeat_;
    bool heldUp_ = false;
    int64_t heldTicks_ = 0;
    QPointer<QWidget> buddyFilter_;
};

class SpinClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        auto* spin = new SpinWidget(parent, style);
        if (flags) spin->setWindowFlags(flags);
        return spin;
    }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        static_cast<SpinWidget*>(widget)->style_ = style;
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        auto* spin = static_cast<SpinWidget*>(widget);
        spin->hwnd = hwnd;
        // The buddy is the window made just before the spin.
        if (spin->style_ & UDS_AUTOBUDDY) spin->SetBuddy(::GetWindow(hwnd, GW_HWNDPREV));
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* spin = static_cast<SpinWidget*>(record.widget);
        *handled = true;
        switch (message) {
            case UDM_SETRANGE32:
                spin->lower_ = static_cast<int32_t>(wParam);
                spin->upper_ = static_cast<int32_t>(lParam);
                spin->pos_ = spin->Clamp(spin->pos_);
                return 0;
            case UDM_GETRANGE32:
                if (wParam) *reinterpret_cast<int*>(wParam) = spin->lower_;
                if (lParam) *reinterpret_cast<int*>(lParam) = spin->upper_;
                return 0;
            case UDM_SETPOS32: {
                const int32_t previous = spin->pos_;
                spin->pos_ = spin->Clamp(static_cast<int32_t>(lParam));
                spin->ShowInBuddy();
                return previous;
            }
            case UDM_GETPOS32:
                if (lParam) *reinterpret_cast<BOOL*>(lParam) = FALSE;
                return spin->pos_;
            case UDM_SETBUDDY:
                return static_cast<LRESULT>(spin->SetBuddy(static_cast<HWND>(wParam)));
            case UDM_GETBUDDY:
                return static_cast<LRESULT>(spin->buddy_);
            case UDM_SETACCEL: {
                const auto* accels = reinterpret_cast<const UDACCEL*>(lParam);
                if (!accels || wParam == 0) return FALSE;
                spin->accels_.assign(accels, accels + wParam);
                std::sort(spin->accels_.begin(), spin->accels_.end(),
                          [](const UDACCEL& a, const UDACCEL& b) { return a.nSec < b.nSec; });
                return TRUE;
            }
            default:
                *handled = false;
                return 0;
        }
    }
};

// ---- msctls_hotkey32 ----------------------------------------------------------------------------

bool IsExtendedKey(int vk) {
    return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE ||
           vk == VK_DIVIDE || vk == VK_NUMLOCK;
}

// The HKCOMB_* flag of a modifier combination.
WORD CombinationFlag(BYTE modifiers) {
    switch (modifiers & (HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT)) {
        case 0:
            return HKCOMB_NONE;
        case HOTKEYF_SHIFT:
            return HKCOMB_S;
        case HOTKEYF_CONTROL:
            return HKCOMB_C;
        case HOTKEYF_ALT:
            return HKCOMB_A;
        case HOTKEYF_SHIFT | HOTKEYF_CONTROL:
            return HKCOMB_SC;
        case HOTKEYF_SHIFT | HOTKEYF_ALT:
            return HKCOMB_SA;
        case HOTKEYF_CONTROL | HOTKEYF_ALT:
            return HKCOMB_CA;
        default:
            return HKCOMB_SCA;
    }
}

std::string KeyName(int vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, char(vk));
    if (vk >= VK_F1 && vk <= VK_F24) return "F" + FormatInt(vk - VK_F1 + 1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return "Num " + FormatInt(vk - VK_NUMPAD0);
    struct Named {
        int vk;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {VK_SPACE, "Space"},
        {VK_PRIOR, "Page Up"},
        {VK_NEXT, "Page Down"},
        {VK_END, "End"},
        {VK_HOME, "Home"},
        {VK_LEFT, "Left"},
        {VK_UP, "Up"},
        {VK_RIGHT, "Right"},
        {VK_DOWN, "Down"},
        {VK_INSERT, "Insert"},
        {VK_DELETE, "Delete"},
        {VK_MULTIPLY, "Num *"},
        {VK_ADD, "Num +"},
        {VK_SUBTRACT, "Num -"},
        {VK_DECIMAL, "Num Del"},
        {VK_DIVIDE, "Num /"},
        {VK_OEM_1, ";"},
        {VK_OEM_PLUS, "="},
        {VK_OEM_COMMA, ","},
        {VK_OEM_MINUS, "-"},
        {VK_OEM_PERIOD, "."},
        {VK_OEM_2, "/"},
        {VK_OEM_3, "`"},
        {VK_OEM_4, "["},
        {VK_OEM_5, "\\"},
        {VK_OEM_6, "]"},
        {VK_OEM_7, "'"},
        {VK_PAUSE, "Pause"},
        {VK_SCROLL, "Scroll Lock"},
    };
    for (const Named& named : kNames)
        if (named.vk == vk) return named.name;
    return "#" + FormatInt(vk);
}

class HotKeyWidget : public QLineEdit {
public:
    explicit HotKeyWidget(QWidget* parent) : QLineEdit(parent) {
        setReadOnly(true);  // typing never edits the text: keys become the hot key
        Show();
    }

    HWND hwnd = 0;
    WORD hotKey_ = 0;
    WORD invalid_ = 0;
    BYTE replacement_ = 0;

    void Show() { setText(QString::fromStdString(HotKeyText(hotKey_))); }
    // The modifiers the rules let through for a combination the user pressed.
    BYTE ApplyRules(BYTE modifiers) const {
        if (!(invalid_ & CombinationFlag(modifiers))) return modifiers;
        return static_cast<BYTE>((modifiers & HOTKEYF_EXT) | (replacement_ & ~HOTKEYF_EXT));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int vk = VirtualKeyOf(event->key(), event->modifiers() & Qt::KeypadModifier);
        if (vk == 0 || vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return;
        WORD next = 0;
        if (!(vk == VK_BACK && !(event->modifiers() & Qt::KeyboardModifierMask))) {
            BYTE modifiers = 0;
            if (event->modifiers() & Qt::ShiftModifier) modifiers |= HOTKEYF_SHIFT;
            if (event->modifiers() & Qt::ControlModifier) modifiers |= HOTKEYF_CONTROL;
            if (event->modifiers() & Qt::AltModifier) modifiers |= HOTKEYF_ALT;
            if (IsExtendedKey(vk)) modifiers |= HOTKEYF_EXT;
            next = static_cast<WORD>(ApplyRules(modifiers) << 8 | (vk & 0xFF));
        }
        if (next == hotKey_) return;
        hotKey_ = next;
        Show();
        NotifyParent(hwnd, EN_CHANGE);
    }
    void keyReleaseEvent(QKeyEvent*) override {}
};

class HotKeyClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* field = new HotKeyWidget(parent);
        if (flags) field->setWindowFlags(flags);
        return field;
    }
    bool TakesFocus() const override { return true; }
    void Connect(HWND hwnd, QWidget* widget) const override {
        static_cast<HotKeyWidget*>(widget)->hwnd = hwnd;
    }
    std::string GetText(const QWidget* widget) const override {
        return static_cast<const HotKeyWidget*>(widget)->text().toStdString();
    }
    void SetText(QWidget*, const std::string&) const override {}  // shows its key only
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* field = static_cast<HotKeyWidget*>(record.widget);
        *handled = true;
        switch (message) {
            case HKM_SETHOTKEY:
                field->hotKey_ = static_cast<WORD>(wParam & 0xFFFF);
                field->Show();
                return 0;
            case HKM_GETHOTKEY:
                return field->hotKey_;
            case HKM_SETRULES:
                field->invalid_ = static_cast<WORD>(wParam & 0xFFFF);
                field->replacement_ = static_cast<BYTE>(LOWORD(static_cast<uintptr_t>(lParam)));
                return 0;
            case WM_GETDLGCODE:
                return DLGC_WANTCHARS | DLGC_WANTARROWS;
            default:
                *handled = false;
                return 0;
        }
    }
};

}  // namespace

std::string HotKeyText(WORD hotKey) {
    const int vk = hotKey & 0xFF;
    const BYTE modifiers = static_cast<BYTE>(hotKey >> 8);
    if (vk == 0) return "无";
    std::string text;
    if (modifiers & HOTKEYF_CONTROL) text += "Ctrl + ";
    if (modifiers & HOTKEYF_SHIFT) text += "Shift + ";
    if (modifiers & HOTKEYF_ALT) text += "Alt + ";
    return text + KeyName(vk);
}

void AddSmallControlClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    classes.emplace_back("msctls_updown32", std::make_unique<SpinClass>());
    classes.emplace_back("msctls_hotkey32", std::make_unique<HotKeyClass>());
}

}  // namespace platform::ui
