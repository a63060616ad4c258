// The dialog window class, its default procedure and the dialog keyboard interface.
#include "platform/ui/DialogManager.h"

#include <QVariant>
#include <QWidget>
#include <charconv>
#include <memory>
#include <vector>

#include "platform/core/Numbers.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

// The dialog's default button id lives on its widget, as the dialog's own window data.
constexpr const char* kDefIdProperty = "kelmonDefId";

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(::GetWindowLong(hwnd, GWL_STYLE)); }

LRESULT DlgCode(HWND hwnd, MSG* msg = nullptr) {
    return ::SendMessage(hwnd, WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(msg));
}

// Reachable by the keyboard: shown (as far as its own style goes, so that a dialog that is not
// on screen yet still has a tab order) and enabled.
bool Reachable(HWND hwnd) {
    DWORD style = StyleOf(hwnd);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

std::vector<HWND> Controls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND each = ::GetWindow(dialog, GW_CHILD); each; each = ::GetWindow(each, GW_HWNDNEXT))
        controls.push_back(each);
    return controls;
}

// The dialog's own child that is or holds `hwnd` (0 when `hwnd` is not inside the dialog).
HWND DirectChild(HWND dialog, HWND hwnd) {
    while (hwnd) {
        HWND parent = ::GetParent(hwnd);
        if (parent == dialog) return hwnd;
        if (!parent || WidgetOf(hwnd)->isWindow()) return 0;
        hwnd = parent;
    }
    return 0;
}

// The control that has (or last had) the focus in the dialog's window, 0 when none.
HWND FocusedControl(HWND dialog) {
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(dialog, focus)) return focus;
    QWidget* widget = WidgetOf(dialog);
    QWidget* last = widget ? widget->window()->focusWidget() : nullptr;
    HWND hwnd = last ? WindowOf(last) : 0;
    return hwnd && ::IsChild(dialog, hwnd) ? hwnd : 0;
}

bool IsRadio(HWND hwnd) { return (DlgCode(hwnd) & DLGC_RADIOBUTTON) != 0; }

bool IsChecked(HWND hwnd) { return ::SendMessage(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The members of the WS_GROUP run that holds `child` (a direct child of the dialog).
std::vector<HWND> GroupOf(HWND dialog, HWND child) {
    std::vector<HWND> all = Controls(dialog);
    size_t at = 0;
    while (at < all.size() && all[at] != child) ++at;
    if (at == all.size()) return {};
    size_t first = at;
    while (first > 0 && !(StyleOf(all[first]) & WS_GROUP)) --first;
    std::vector<HWND> group{all[first]};
    for (size_t i = first + 1; i < all.size() && !(StyleOf(all[i]) & WS_GROUP); ++i)
        group.push_back(all[i]);
    return group;
}

// Tabbing onto an unchecked radio button of a group that has a checked one lands on that one.
HWND CheckedRadioOfGroup(HWND dialog, HWND target) {
    if (!IsRadio(target) || IsChecked(target)) return target;
    for (HWND member : GroupOf(dialog, target))
        if (Reachable(member) && IsRadio(member) && IsChecked(member)) return member;
    return target;
}

// Focus by the dialog manager: an edit gets its whole text selected.
void DlgSetFocus(HWND target) {
    if (DlgCode(target) & DLGC_HASSETSEL) ::SendMessage(target, EM_SETSEL, 0, -1);
    ::SetFocus(target);
}

HWND ButtonWithKind(HWND dialog, DWORD kind) {
    for (HWND each : Controls(dialog))
        if (::GetClassName(each) == "Button" && (StyleOf(each) & BS_TYPEMASK) == kind) return each;
    return 0;
}

void SetButtonKind(HWND button, DWORD kind) {
    DWORD style = StyleOf(button);
    DWORD current = style & BS_TYPEMASK;
    if (current != BS_PUSHBUTTON && current != BS_DEFPUSHBUTTON) return;
    if (current != kind)
        ::SetWindowLong(button, GWL_STYLE, static_cast<LONG>((style & ~BS_TYPEMASK) | kind));
}

LRESULT GetDefId(HWND dialog) {
    QWidget* widget = WidgetOf(dialog);
    QVariant stored = widget ? widget->property(kDefIdProperty) : QVariant();
    if (stored.isValid()) return MAKELPARAM(static_cast<WORD>(stored.toInt()), DC_HASDEFID);
    if (HWND button = ButtonWithKind(dialog, BS_DEFPUSHBUTTON))
        return MAKELPARAM(static_cast<WORD>(::GetDlgCtrlID(button)), DC_HASDEFID);
    return 0;
}

void SetDefId(HWND dialog, int id) {
    LRESULT previous = GetDefId(dialog);
    if (HIWORD(static_cast<uintptr_t>(previous)) == DC_HASDEFID) {
        int old = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(previous)));
        if (HWND button = ::GetDlgItem(dialog, old)) SetButtonKind(button, BS_PUSHBUTTON);
    }
    if (HWND button = ::GetDlgItem(dialog, id)) SetButtonKind(button, BS_DEFPUSHBUTTON);
    if (QWidget* widget = WidgetOf(dialog)) widget->setProperty(kDefIdProperty, id);
}

// The dialog's widget. Tab order is the dialog manager's: when a control keeps Tab for itself
// (WM_GETDLGCODE), Qt's own focus chain must not move the focus either.
class DialogWidget : public QWidget {
public:
    DialogWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

protected:
    bool focusNextPrevChild(bool) override { return true; }
};

class DialogClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        if (flags & Qt::Window) {
            // A top-level dialog is a dialog window (owned by its parent when it has one).
            Qt::WindowFlags kind =
                (flags & Qt::WindowType_Mask) == Qt::Tool ? Qt::Tool : Qt::Dialog;
            flags = (flags & ~Qt::WindowType_Mask) | kind;
        }
        return new DialogWidget(parent, flags);
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        *handled = true;
        const HWND dialog = record.hwnd;
        switch (message) {
            case WM_NEXTDLGCTL: {
                HWND target =
                    LOWORD(static_cast<uintptr_t>(lParam))
                        ? static_cast<HWND>(wParam)
                        : ::GetNextDlgTabItem(dialog, FocusedControl(dialog), wParam != 0);
                if (target && ::IsChild(dialog, target)) DlgSetFocus(target);
                return 0;
            }
            case DM_GETDEFID:
                return GetDefId(dialog);
            case DM_SETDEFID:
                SetDefId(dialog, static_cast<int>(wParam));
                return TRUE;
            case WM_CLOSE:
                // Closing a dialog is its Cancel.
                ::SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                              static_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
                return 0;
            default:
                *handled = false;
                return 0;
        }
    }
};

void PressCommand(HWND dialog, int id, HWND button) {
    ::SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                  static_cast<LPARAM>(button));
}

bool HandleReturn(HWND dialog, HWND control, LRESULT code) {
    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && ::IsWindowEnabled(control)) {
        // Enter on a push button presses that button, whichever is the default.
        PressCommand(dialog, ::GetDlgCtrlID(control), control);
        return true;
    }
    LRESULT def = ::SendMessage(dialog, DM_GETDEFID, 0, 0);
    int id = HIWORD(static_cast<uintptr_t>(def)) == DC_HASDEFID
                 ? static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(def)))
                 : IDOK;
    HWND button = ::GetDlgItem(dialog, id);
    if (button && !::IsWindowEnabled(button)) {
        ::MessageBeep(0);
        return true;
    }
    PressCommand(dialog, id, button);
    return true;
}

}  // namespace

void EnsureDialogClass() {
    static bool done = false;
    if (done) return;
    done = true;
    RegisterWindowClass(kDialogClass, std::make_unique<DialogClass>());
}

}  // namespace platform::ui

using platform::ui::DirectChild;
using platform::ui::Reachable;

BOOL IsDialogMessage(HWND dialog, MSG* msg) {
    if (!msg || !IsWindow(dialog) || msg->message != WM_KEYDOWN) return FALSE;
    HWND control = msg->hwnd;
    if (control != dialog && !IsChild(dialog, control)) return FALSE;
    // Keys with Ctrl or Alt are the controls' and the accelerators' business.
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return FALSE;
    const LRESULT code = control == dialog ? 0 : platform::ui::DlgCode(control, msg);
    if (code & DLGC_WANTMESSAGE) return FALSE;
    const int vk = static_cast<int>(msg->wParam);
    switch (vk) {
        case VK_TAB: {
            if (code & DLGC_WANTTAB) return FALSE;
            const bool back = GetKeyState(VK_SHIFT) < 0;
            HWND from = control == dialog ? 0 : control;
            if (HWND next = GetNextDlgTabItem(dialog, from, back ? TRUE : FALSE)) {
                next = platform::ui::CheckedRadioOfGroup(dialog, next);
                SendMessage(dialog, WM_NEXTDLGCTL, static_cast<WPARAM>(next), TRUE);
            }
            return TRUE;
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (code & DLGC_WANTARROWS) return FALSE;
            if (control == dialog) return TRUE;
            HWND next = GetNextDlgGroupItem(dialog, control, vk == VK_LEFT || vk == VK_UP);
            if (next && next != control) {
                SendMessage(dialog, WM_NEXTDLGCTL, static_cast<WPARAM>(next), TRUE);
                // Moving onto an automatic radio button checks it.
                if (platform::ui::IsRadio(next) &&
                    (platform::ui::StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                    SendMessage(next, BM_CLICK, 0, 0);
            }
            return TRUE;
        }
        case VK_RETURN:
            return platform::ui::HandleReturn(dialog, control, code) ? TRUE : FALSE;
        case VK_ESCAPE:
            platform::ui::PressCommand(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL));
            return TRUE;
        default:
            return FALSE;
    }
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> all = platform::ui::Controls(dialog);
    if (all.empty()) return 0;
    const int n = static_cast<int>(all.size());
    HWND from = control ? DirectChild(dialog, control) : 0;
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (all[i] == from) at = i;
    const int step = previous ? -1 : 1;
    int i = at < 0 ? (previous ? n - 1 : 0) : (at + step + n) % n;
    for (int count = 0; count < n; ++count, i = (i + step + n) % n) {
        HWND each = all[i];
        if ((platform::ui::StyleOf(each) & WS_TABSTOP) && Reachable(each)) return each;
    }
    return 0;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    HWND child = DirectChild(dialog, control);
    if (!child) return 0;
    std::vector<HWND> group = platform::ui::GroupOf(dialog, child);
    const int n = static_cast<int>(group.size());
    int at = 0;
    for (int i = 0; i < n; ++i)
        if (group[i] == child) at = i;
    const int step = previous ? -1 : 1;
    for (int count = 1, i = (at + step + n) % n; count < n; ++count, i = (i + step + n) % n)
        if (Reachable(group[i])) return group[i];
    return child;
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessage(item, message, wParam, lParam) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    return SetDlgItemText(dialog, id,
                          isSigned ? platform::FormatInt(static_cast<int32_t>(value))
                                   : platform::FormatUnsigned(value));
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    const std::string text = GetWindowText(item);
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) return 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+') {  // from_chars takes no plus sign
        ++first;
        if (first < last && *first == '-') return 0;
    }
    UINT value = 0;
    if (isSigned) {
        int32_t number = 0;
        auto [ptr, ec] = std::from_chars(first, last, number);
        if (ec != std::errc() || ptr != last) return 0;
        value = static_cast<UINT>(number);
    } else {
        if (first < last && *first == '-') return 0;
        auto [ptr, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || ptr != last) return 0;
    }
    if (translated) *translated = TRUE;
    return value;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessage(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessage(dialog, id, BM_GETCHECK));
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    if (!IsWindow(dialog)) return FALSE;
    for (HWND each : platform::ui::Controls(dialog)) {
        int id = GetDlgCtrlID(each);
        if (id >= first && id <= last)
            SendMessage(each, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}
