// The application's input filter: Qt key, input-method and mouse events become window
// messages that walk PreTranslateMessage from the focus window outwards, innermost first.
#include "platform/ui/Keyboard.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/core/Clock.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/HotKey.h"
#include "platform/ui/Messages.h"
#include "platform/ui/NonClient.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"

namespace platform::ui {
namespace {

std::atomic<int64_t> gLastInputTick{0};
std::atomic<uint32_t> gModifiers{0};  // Qt::KeyboardModifiers of the last input event

thread_local const QEvent* tPassThrough = nullptr;

struct KeyPair {
    int qt;
    int vk;
};

// Keys whose virtual key is not their character. Shifted symbols of the US layout map to the
// key they are on.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},
    {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Menu, VK_APPS},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_BraceRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
};

// Keys with the extended-key bit (24) in the key messages' lParam.
bool IsExtendedKey(int vk) {
    switch (vk) {
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_INSERT:
        case VK_DELETE:
        case VK_DIVIDE:
        case VK_NUMLOCK:
            return true;
        default:
            return false;
    }
}

void RecordInput(Qt::KeyboardModifiers modifiers, bool press) {
    gModifiers.store(static_cast<uint32_t>(modifiers.toInt()), std::memory_order_relaxed);
    if (press) gLastInputTick.store(platform::TickMs(), std::memory_order_relaxed);
}

// The modifiers as they are after this key event (X11 reports them as they were before).
Qt::KeyboardModifiers ModifiersAfter(const QKeyEvent* event) {
    Qt::KeyboardModifiers modifiers = event->modifiers();
    Qt::KeyboardModifier own = event->key() == Qt::Key_Shift     ? Qt::ShiftModifier
                               : event->key() == Qt::Key_Control ? Qt::ControlModifier
                               : event->key() == Qt::Key_Alt     ? Qt::AltModifier
                                                                 : Qt::NoModifier;
    if (own != Qt::NoModifier) {
        if (event->type() == QEvent::KeyPress)
            modifiers |= own;
        else
            modifiers &= ~own;
    }
    return modifiers;
}

LPARAM KeyLParam(int vk, bool release, bool repeat, bool alt) {
    uint32_t bits = 1;  // repeat count
    if (IsExtendedKey(vk)) bits |= 1u << 24;
    if (alt) bits |= 1u << 29;
    if (repeat || release) bits |= 1u << 30;
    if (release) bits |= 1u << 31;
    return static_cast<LPARAM>(static_cast<int32_t>(bits));
}

// Each character of committed text as one WM_CHAR (a Unicode code point in wParam).
void RouteCharacters(HWND hwnd, const QString& text, UINT message, QWidget* receiver) {
    for (char32_t ch : text.toUcs4()) {
        if (!IsWindow(hwnd)) return;
        MSG msg = MakeMessage(hwnd, message, ch, 1);
        DeliverQueued(msg, nullptr, receiver);
    }
}

// The characters a key gives. As on the desktop this program was made for, Ctrl with a letter
// gives the control code (Ctrl+A = 1) whatever the platform reports.
QString KeyText(const QKeyEvent* event) {
    QString text = event->text();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) &&
        event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
        return QString(QChar(static_cast<char16_t>(event->key() - Qt::Key_A + 1)));
    return text;
}

// A registered hot key takes the press before any window sees it.
bool RouteHotKey(const QKeyEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const Qt::KeyboardModifiers qt = event->modifiers();
    const int vk = VirtualKeyOf(event->key(), qt & Qt::KeypadModifier);
    if (vk == 0) return false;
    UINT modifiers = 0;
    if (qt & Qt::ShiftModifier) modifiers |= MOD_SHIFT;
    if (qt & Qt::ControlModifier) modifiers |= MOD_CONTROL;
    if (qt & Qt::AltModifier) modifiers |= MOD_ALT;
    if (qt & Qt::MetaModifier) modifiers |= MOD_WIN;
    return DispatchHotKey(static_cast<UINT>(vk), modifiers, event->isAutoRepeat());
}

bool RouteKey(QWidget* receiver, QKeyEvent* event) {
    HWND hwnd = WindowTable::Instance().NearestWindow(receiver);
    if (!hwnd) return false;
    const bool release = event->type() == QEvent::KeyRelease;
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int vk = VirtualKeyOf(event->key(), event->modifiers() & Qt::KeypadModifier);
    bool swallowed = false;
    if (vk != 0) {
        UINT message = alt || vk == VK_F10 ? (release ? WM_SYSKEYUP : WM_SYSKEYDOWN)
                                           : (release ? WM_KEYUP : WM_KEYDOWN);
        MSG msg = MakeMessage(hwnd, message, static_cast<WPARAM>(vk),
                              KeyLParam(vk, release, event->isAutoRepeat(), alt));
        DeliverQueued(msg, event, receiver, &swallowed);
    }
    // A key that some window swallowed (an accelerator, say) gives no characters.
    QString text = KeyText(event);
    if (!release && !swallowed && !text.isEmpty() && IsWindow(hwnd))
        RouteCharacters(hwnd, text, alt ? WM_SYSCHAR : WM_CHAR, receiver);
    return true;
}

bool RouteInputMethod(QWidget* receiver, QInputMethodEvent* event) {
    HWND hwnd = WindowTable::Instance().NearestWindow(receiver);
    if (!hwnd || event->commitString().isEmpty()) return false;
    gLastInputTick.store(platform::TickMs(), std::memory_order_relaxed);
    RouteCharacters(hwnd, event->commitString(), WM_CHAR, receiver);
    if (!event->preeditString().isEmpty() && IsWindow(hwnd)) {
        // The text still being composed stays the widget's business.
        QInputMethodEvent preedit(event->preeditString(), event->attributes());
        SendPastFilter(receiver, &preedit);
    }
    return true;
}

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
    return keys;
}

UINT MouseMessage(const QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    const int index = button == Qt::LeftButton     ? 0
                      : button == Qt::RightButton  ? 1
                      : button == Qt::MiddleButton ? 2
                                                   : -1;
    switch (event->type()) {
        case QEvent::MouseMove:
            return WM_MOUSEMOVE;
        case QEvent::MouseButtonPress:
            return index < 0 ? 0 : WM_LBUTTONDOWN + 3 * index;
        case QEvent::MouseButtonRelease:
            return index < 0 ? 0 : WM_LBUTTONUP + 3 * index;
        case QEvent::MouseButtonDblClick:
            return index < 0 ? 0 : WM_LBUTTONDBLCLK + 3 * index;
        default:
            return 0;
    }
}

// Mouse messages go to the window under the pointer (or holding the capture); when its
// procedure asks for default processing the widget gets the event afterwards.
bool RouteMouse(QWidget* receiver, QEvent* event) {
    HWND hwnd = WindowTable::Instance().HandleOf(receiver);
    // The viewport of a scroll-area window that asks for it (the report list) is that window's
    // client area: its mouse messages go to the window, in the window's coordinates.
    QPoint offset;
    if (!hwnd && receiver->parentWidget() && receiver->property(kMouseToParentProperty).toBool()) {
        hwnd = WindowTable::Instance().HandleOf(receiver->parentWidget());
        offset = receiver->pos();
    }
    if (!hwnd) return false;
    LPARAM lParam = 0;
    WPARAM wParam = 0;
    UINT message = 0;
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        QPoint global = wheel->globalPosition().toPoint();
        message = WM_MOUSEWHEEL;
        wParam = MAKEWPARAM(static_cast<WORD>(MouseKeys(wheel->buttons(), wheel->modifiers())),
                            static_cast<WORD>(static_cast<int16_t>(wheel->angleDelta().y())));
        lParam = MAKELPARAM(static_cast<WORD>(global.x()), static_cast<WORD>(global.y()));
        RecordInput(wheel->modifiers(), true);
    } else {
        auto* mouse = static_cast<QMouseEvent*>(event);
        message = MouseMessage(mouse);
        if (message == 0) return false;
        const QPoint onWidget = mouse->position().toPoint() + offset;
        const WindowRecord* record = WindowTable::Instance().Find(hwnd);
        const QRect client = record ? ClientArea(*record) : QRect();
        wParam = MouseKeys(mouse->buttons(), mouse->modifiers());
        RecordInput(mouse->modifiers(), message != WM_MOUSEMOVE);
        const QPoint global = mouse->globalPosition().toPoint();
        const LPARAM screen =
            MAKELPARAM(static_cast<WORD>(global.x()), static_cast<WORD>(global.y()));
        WORD hit = HTCLIENT;
        // Over the frame the window tells what the point is; anything but its client area
        // hears the non-client form of the message (WM_NCLBUTTONDOWN and the like). Points
        // beyond the window (Qt's grab while a button is held) stay client messages.
        if (record && !client.contains(onWidget) && record->widget->rect().contains(onWidget) &&
            hwnd != ::GetCapture())
            hit = static_cast<WORD>(CallWindowProc(hwnd, WM_NCHITTEST, 0, screen));
        if (!IsWindow(hwnd)) return true;
        if (hit != HTCLIENT) {
            MSG nc = MakeMessage(hwnd, message - WM_MOUSEMOVE + WM_NCMOUSEMOVE, hit, screen);
            DeliverQueued(nc, event, receiver);
            return true;
        }
        const QPoint local = onWidget - client.topLeft();
        lParam = MAKELPARAM(static_cast<WORD>(local.x()), static_cast<WORD>(local.y()));
    }
    MSG msg = MakeMessage(hwnd, message, wParam, lParam);
    return !DeliverQueued(msg, event, receiver);
}

// WM_SETFOCUS / WM_KILLFOCUS; the widget's own focus handling runs when the procedure asks
// for default processing.
bool RouteFocus(QWidget* receiver, QEvent* event) {
    HWND hwnd = WindowTable::Instance().NearestWindow(receiver);
    if (!hwnd) return false;
    UINT message = event->type() == QEvent::FocusIn ? WM_SETFOCUS : WM_KILLFOCUS;
    bool passOn = false;
    CallWindowProc(hwnd, message, 0, 0, event, receiver, &passOn);
    return !passOn;
}

// WM_SIZE / WM_MOVE tell the window what already happened.
void RouteGeometry(QWidget* receiver, QEvent* event) {
    HWND hwnd = WindowTable::Instance().HandleOf(receiver);
    if (!hwnd) return;
    if (event->type() == QEvent::Resize) {
        RecalcFrame(hwnd);
        const WindowRecord* record = WindowTable::Instance().Find(hwnd);
        if (!record) return;
        const QSize size = ClientArea(*record).size();
        WPARAM kind = receiver->isMaximized()   ? SIZE_MAXIMIZED
                      : receiver->isMinimized() ? SIZE_MINIMIZED
                                                : SIZE_RESTORED;
        CallWindowProc(
            hwnd, WM_SIZE, kind,
            MAKELPARAM(static_cast<WORD>(size.width()), static_cast<WORD>(size.height())));
    } else {
        // Where the client area now lies in the parent's client area.
        const QPoint at = receiver->pos() + ClientOrigin(hwnd) - ParentClientOrigin(receiver);
        CallWindowProc(hwnd, WM_MOVE, 0,
                       MAKELPARAM(static_cast<WORD>(at.x()), static_cast<WORD>(at.y())));
    }
}

// Closing a window from outside is WM_CLOSE, whose default processing destroys it.
bool RouteClose(QWidget* receiver, QEvent* event) {
    HWND hwnd = WindowTable::Instance().HandleOf(receiver);
    if (!hwnd) return false;
    event->ignore();
    CallWindowProc(hwnd, WM_CLOSE, 0, 0);
    return true;
}

class InputFilter : public QObject {
protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event == tPassThrough || !object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                auto* key = static_cast<QKeyEvent*>(event);
                RecordInput(ModifiersAfter(key), event->type() == QEvent::KeyPress);
                if (RouteHotKey(key)) return true;
                return RouteKey(widget, key);
            }
            case QEvent::InputMethod:
                return RouteInputMethod(widget, static_cast<QInputMethodEvent*>(event));
            case QEvent::MouseButtonPress:
            case QEvent::MouseMove:
                // The window under the mouse chooses the cursor before it hears of the mouse.
                RouteCursorForMouse(widget, event);
                return RouteMouse(widget, event);
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
                return RouteMouse(widget, event);
            case QEvent::FocusIn:
            case QEvent::FocusOut:
                return RouteFocus(widget, event);
            case QEvent::Resize:
            case QEvent::Move:
                RouteGeometry(widget, event);
                return false;
            case QEvent::Close:
                return RouteClose(widget, event);
            case QEvent::Paint:
                return RoutePaint(widget, event);
            default:
                return false;
        }
    }
};

struct AcceleratorTables {
    std::mutex mutex;
    std::unordered_map<HACCEL, std::vector<ACCEL>> tables;
    HACCEL last = 0;
};

AcceleratorTables& Accelerators() {
    static AcceleratorTables tables;
    return tables;
}

}  // namespace

int VirtualKeyOf(int qtKey, bool keypad) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return VK_NUMPAD0 + (qtKey - Qt::Key_0);
        switch (qtKey) {
            case Qt::Key_Asterisk:
                return VK_MULTIPLY;
            case Qt::Key_Plus:
                return VK_ADD;
            case Qt::Key_Minus:
                return VK_SUBTRACT;
            case Qt::Key_Period:
            case Qt::Key_Comma:
                return VK_DECIMAL;
            case Qt::Key_Slash:
                return VK_DIVIDE;
            default:
                break;  // Enter, arrows and the like are the same keys as elsewhere
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return VK_F1 + (qtKey - Qt::Key_F1);
    for (const KeyPair& pair : kKeys)
        if (pair.qt == qtKey) return pair.vk;
    return 0;
}

int QtKeyOf(int vk) {
    if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
    if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
    if (vk >= VK_F1 && vk <= VK_F24) return Qt::Key_F1 + (vk - VK_F1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return Qt::Key_0 + (vk - VK_NUMPAD0);
    switch (vk) {
        case VK_MULTIPLY:
            return Qt::Key_Asterisk;
        case VK_ADD:
            return Qt::Key_Plus;
        case VK_SUBTRACT:
            return Qt::Key_Minus;
        case VK_DECIMAL:
            return Qt::Key_Period;
        case VK_DIVIDE:
            return Qt::Key_Slash;
        default:
            break;
    }
    for (const KeyPair& pair : kKeys)  // the first pair of a key is its plain form
        if (pair.vk == vk) return pair.qt;
    return 0;
}

int64_t LastInputTick() { return gLastInputTick.load(std::memory_order_relaxed); }

bool SendPastFilter(QWidget* widget, QEvent* event) {
    const QEvent* outer = tPassThrough;
    tPassThrough = event;
    bool result = QCoreApplication::sendEvent(widget, event);
    tPassThrough = outer;
    return result;
}

void DefaultKeyProcessing(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam) {
    CallFrame* frame = CurrentFrame();
    const bool fromInput = frame && frame->hwnd == record.hwnd && frame->message == message;
    QWidget* target = fromInput && frame->receiver ? frame->receiver : record.widget;
    if (QWidget* proxy = target->focusProxy()) target = proxy;
    const auto modifiers = Qt::KeyboardModifiers::fromInt(
        static_cast<int>(gModifiers.load(std::memory_order_relaxed)));
    if (message == WM_CHAR) {
        // The character alone: Qt's editors insert printable text of a key without a code.
        char32_t ch = static_cast<char32_t>(wParam);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&ch, 1));
        SendPastFilter(target, &key);
        return;
    }
    const bool release = message == WM_KEYUP || message == WM_SYSKEYUP;
    auto* origin = fromInput ? dynamic_cast<QKeyEvent*>(frame->origin) : nullptr;
    // The key without its text: the text arrives as WM_CHAR.
    QKeyEvent key(release ? QEvent::KeyRelease : QEvent::KeyPress,
                  origin ? origin->key() : QtKeyOf(static_cast<int>(wParam)),
                  origin ? origin->modifiers() : modifiers, QString(),
                  origin ? origin->isAutoRepeat() : ((lParam >> 30) & 1) != 0 && !release);
    SendPastFilter(target, &key);
}

void InstallInputFilter() {
    static InputFilter* filter = [] {
        auto owned = std::make_unique<InputFilter>();
        owned->setParent(QCoreApplication::instance());
        return owned.release();  // owned by the application object
    }();
    QCoreApplication::instance()->installEventFilter(filter);
}

}  // namespace platform::ui

SHORT GetKeyState(int vk) {
    const auto modifiers =
        static_cast<uint32_t>(platform::ui::gModifiers.load(std::memory_order_relaxed));
    uint32_t bit = 0;
    switch (vk) {
        case VK_SHIFT:
        case VK_LSHIFT:
        case VK_RSHIFT:
            bit = Qt::ShiftModifier;
            break;
        case VK_CONTROL:
        case VK_LCONTROL:
        case VK_RCONTROL:
            bit = Qt::ControlModifier;
            break;
        case VK_MENU:
        case VK_LMENU:
        case VK_RMENU:
            bit = Qt::AltModifier;
            break;
        default:
            return 0;
    }
    return (modifiers & bit) ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int vk) { return GetKeyState(vk); }

HACCEL CreateAcceleratorTable(const ACCEL* entries, int count) {
    if (!entries || count <= 0) return 0;
    auto& accelerators = platform::ui::Accelerators();
    std::lock_guard lock(accelerators.mutex);
    HACCEL table = ++accelerators.last;
    accelerators.tables[table].assign(entries, entries + count);
    return table;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    auto& accelerators = platform::ui::Accelerators();
    std::lock_guard lock(accelerators.mutex);
    return accelerators.tables.erase(table) ? TRUE : FALSE;
}

BOOL TranslateAccelerator(HWND hwnd, HACCEL table, MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    BYTE modifiers = FVIRTKEY;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= FSHIFT;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= FCONTROL;
    if (GetKeyState(VK_MENU) < 0) modifiers |= FALT;
    WORD command = 0;
    bool found = false;
    {
        auto& accelerators = platform::ui::Accelerators();
        std::lock_guard lock(accelerators.mutex);
        auto it = accelerators.tables.find(table);
        if (it == accelerators.tables.end()) return FALSE;
        for (const ACCEL& entry : it->second) {
            if ((entry.fVirt & FVIRTKEY) && entry.key == msg->wParam &&
                (entry.fVirt & (FVIRTKEY | FSHIFT | FCONTROL | FALT)) == modifiers) {
                command = entry.cmd;
                found = true;
                break;
            }
        }
    }
    if (!found) return FALSE;
    SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
    return TRUE;
}

namespace {
std::function<BOOL(MSG*)>& ApplicationMessageFilter() {
    static std::function<BOOL(MSG*)> filter;
    return filter;
}
}  // namespace

void SetApplicationMessageFilter(std::function<BOOL(MSG*)> filter) {
    ApplicationMessageFilter() = std::move(filter);
}

BOOL ApplyApplicationMessageFilter(MSG* msg) {
    // A copy: the filter may replace itself while it runs.
    const auto filter = ApplicationMessageFilter();
    return filter && filter(msg) ? TRUE : FALSE;
}

BOOL WalkPreTranslateTree(MSG* msg) {
    using platform::ui::WindowTable;
    for (HWND hwnd = msg->hwnd; hwnd && IsWindow(hwnd);) {
        HWND parent = GetParent(hwnd);
        if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd); wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
        if (!IsWindow(msg->hwnd)) return TRUE;  // the target died on the way: nothing to deliver
        if (platform::ui::WindowRecord* record = WindowTable::Instance().Find(hwnd);
            record && record->accelerators && TranslateAccelerator(hwnd, record->accelerators, msg))
            return TRUE;
        hwnd = parent;
    }
    return FALSE;
}
