// The standard control classes over Qt's own widgets.
#include "platform/ui/StandardControls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <limits>

#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

// ---- Edit ---------------------------------------------------------------------------------------

class EditClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* edit = new QLineEdit(parent);
        if (flags) edit->setWindowFlags(flags);
        return edit;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        auto* edit = static_cast<QLineEdit*>(widget);
        Qt::Alignment horizontal = (style & ES_RIGHT)    ? Qt::AlignRight
                                   : (style & ES_CENTER) ? Qt::AlignHCenter
                                                         : Qt::AlignLeft;
        edit->setAlignment(horizontal | Qt::AlignVCenter);
        edit->setEchoMode((style & ES_PASSWORD) ? QLineEdit::Password : QLineEdit::Normal);
        edit->setReadOnly(style & ES_READONLY);
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        // Qt reports every change of the text, by the user or by SetWindowText, once.
        QObject::connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged,
                         [hwnd] { NotifyParent(hwnd, EN_CHANGE); });
    }
    std::string GetText(const QWidget* widget) const override {
        return static_cast<const QLineEdit*>(widget)->text().toStdString();
    }
    void SetText(QWidget* widget, const std::string& text) const override {
        static_cast<QLineEdit*>(widget)->setText(QString::fromStdString(text));
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* edit = static_cast<QLineEdit*>(record.widget);
        *handled = true;
        switch (message) {
            case WM_SETFOCUS:
                *handled = false;
                NotifyParent(record.hwnd, EN_SETFOCUS);
                return 0;
            case WM_KILLFOCUS:
                *handled = false;
                NotifyParent(record.hwnd, EN_KILLFOCUS);
                return 0;
            case EM_SETSEL: {
                const int length = static_cast<int>(edit->text().size());
                const auto start = static_cast<intptr_t>(wParam);
                const auto end = static_cast<intptr_t>(lParam);
                if (start < 0) {
                    edit->deselect();
                    return 0;
                }
                int from = static_cast<int>(std::min<intptr_t>(start, length));
                int to = end < 0 ? length : static_cast<int>(std::min<intptr_t>(end, length));
                if (to < from) std::swap(from, to);
                edit->setSelection(from, to - from);
                return 0;
            }
            case EM_GETSEL: {
                int from =
                    edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
                int to = edit->hasSelectedText() ? edit->selectionEnd() : from;
                if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(from);
                if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(to);
                return MAKELPARAM(static_cast<WORD>(from), static_cast<WORD>(to));
            }
            case WM_GETDLGCODE:
                return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
            case EM_GETMODIFY:
                return edit->isModified() ? TRUE : FALSE;
            case EM_SETMODIFY:
                edit->setModified(wParam != 0);
                return 0;
            case EM_LIMITTEXT:
                edit->setMaxLength(wParam == 0 ? 32767
                                               : static_cast<int>(std::min<WPARAM>(wParam, 32767)));
                return 0;
            case EM_SETREADONLY:
                edit->setReadOnly(wParam != 0);
                record.style =
                    wParam ? (record.style | ES_READONLY) : (record.style & ~ES_READONLY);
                return TRUE;
            default:
                *handled = false;
                return 0;
        }
    }
};

// ---- Button -------------------------------------------------------------------------------------

DWORD ButtonKind(DWORD style) { return style & BS_TYPEMASK; }

// Check boxes and radio buttons step their state as the button kind says: the plain kinds
// never change by themselves (their owner answers BN_CLICKED), the automatic ones do.
class CheckBox : public QCheckBox {
public:
    CheckBox(QWidget* parent, DWORD kind) : QCheckBox(parent), kind_(kind) {
        setTristate(kind == BS_3STATE || kind == BS_AUTO3STATE);
    }

protected:
    void nextCheckState() override {
        if (kind_ == BS_AUTOCHECKBOX) {
            setChecked(!isChecked());
        } else if (kind_ == BS_AUTO3STATE) {
            // unchecked -> checked -> indeterminate -> unchecked
            Qt::CheckState state = checkState();
            setCheckState(state == Qt::Unchecked ? Qt::Checked
                          : state == Qt::Checked ? Qt::PartiallyChecked
                                                 : Qt::Unchecked);
        }
    }

private:
    DWORD kind_;
};

class RadioButton : public QRadioButton {
public:
    RadioButton(QWidget* parent, DWORD kind) : QRadioButton(parent), kind_(kind) {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override {
        if (kind_ != BS_AUTORADIOBUTTON) return;
        setChecked(true);
        UncheckGroupSiblings();
    }

private:
    // The group runs from the nearest sibling at or before this button that has WS_GROUP to
    // the next one that has it.
    void UncheckGroupSiblings() {
        HWND self = WindowOf(this);
        HWND first = self;
        while (first && !(::GetWindowLong(first, GWL_STYLE) & WS_GROUP)) {
            HWND previous = ::GetWindow(first, GW_HWNDPREV);
            if (!previous) break;
            first = previous;
        }
        for (HWND each = first; each; each = ::GetWindow(each, GW_HWNDNEXT)) {
            if (each != first && (::GetWindowLong(each, GWL_STYLE) & WS_GROUP)) break;
            if (each == self || ::GetClassName(each) != "Button") continue;
            if (ButtonKind(static_cast<DWORD>(::GetWindowLong(each, GWL_STYLE))) ==
                BS_AUTORADIOBUTTON)
                if (auto* radio = qobject_cast<QRadioButton*>(WidgetOf(each)))
                    radio->setChecked(false);
        }
    }

    DWORD kind_;
};

class ButtonClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        QWidget* widget = nullptr;
        switch (ButtonKind(style)) {
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_3STATE:
            case BS_AUTO3STATE:
                widget = new CheckBox(parent, ButtonKind(style));
                break;
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
                widget = new RadioButton(parent, ButtonKind(style));
                break;
            case BS_GROUPBOX:
                widget = new QGroupBox(parent);
                break;
            default: {
                auto* push = new QPushButton(parent);
                push->setAutoDefault(false);
                widget = push;
                break;
            }
        }
        if (flags) widget->setWindowFlags(flags);
        return widget;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        if (auto* push = qobject_cast<QPushButton*>(widget)) {
            push->setDefault(ButtonKind(style) == BS_DEFPUSHBUTTON);
            push->setFlat(style & BS_FLAT);
        } else if (qobject_cast<QGroupBox*>(widget)) {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QObject::connect(button, &QAbstractButton::clicked,
                             [hwnd] { NotifyParent(hwnd, BN_CLICKED); });
    }
    std::string GetText(const QWidget* widget) const override {
        if (auto* group = qobject_cast<const QGroupBox*>(widget))
            return group->title().toStdString();
        return static_cast<const QAbstractButton*>(widget)->text().toStdString();
    }
    void SetText(QWidget* widget, const std::string& text) const override {
        if (auto* group = qobject_cast<QGroupBox*>(widget))
            group->setTitle(QString::fromStdString(text));
        else
            static_cast<QAbstractButton*>(widget)->setText(QString::fromStdString(text));
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM,
                      bool* handled) const override {
        *handled = true;
        auto* check = qobject_cast<QCheckBox*>(record.widget);
        auto* button = qobject_cast<QAbstractButton*>(record.widget);
        switch (message) {
            case BM_GETCHECK:
                if (check)
                    return check->checkState() == Qt::Checked            ? BST_CHECKED
                           : check->checkState() == Qt::PartiallyChecked ? BST_INDETERMINATE
                                                                         : BST_UNCHECKED;
                return button && button->isCheckable() && button->isChecked() ? BST_CHECKED
                                                                              : BST_UNCHECKED;
            case BM_SETCHECK:
                if (check) {
                    check->setCheckState(wParam == BST_CHECKED         ? Qt::Checked
                                         : wParam == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                                       : Qt::Unchecked);
                } else if (button && button->isCheckable()) {
                    button->setChecked(wParam == BST_CHECKED);
                }
                return 0;
            case BM_CLICK:
                if (button) button->click();
                return 0;
            case WM_GETDLGCODE:
                // What the dialog manager needs to know of the kind: Enter presses a push
                // button, arrows check radio buttons, group boxes are never focused.
                switch (ButtonKind(record.style)) {
                    case BS_PUSHBUTTON:
                        return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
                    case BS_DEFPUSHBUTTON:
                        return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
                    case BS_RADIOBUTTON:
                    case BS_AUTORADIOBUTTON:
                        return DLGC_BUTTON | DLGC_RADIOBUTTON;
                    case BS_GROUPBOX:
                        return DLGC_STATIC;
                    default:
                        return DLGC_BUTTON;
                }
            default:
                *handled = false;
                return 0;
        }
    }
};

// ---- Static -------------------------------------------------------------------------------------

class StaticClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* label = new QLabel(parent, flags);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        auto* label = static_cast<QLabel*>(widget);
        DWORD kind = style & SS_TYPEMASK;
        Qt::Alignment horizontal = kind == SS_RIGHT    ? Qt::AlignRight
                                   : kind == SS_CENTER ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
        label->setAlignment(horizontal |
                            ((style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop));
        label->setWordWrap(kind <= SS_RIGHT);
    }
    std::string GetText(const QWidget* widget) const override {
        return static_cast<const QLabel*>(widget)->text().toStdString();
    }
    void SetText(QWidget* widget, const std::string& text) const override {
        static_cast<QLabel*>(widget)->setText(QString::fromStdString(text));
    }
    // With SS_NOTIFY the parent hears of clicks and double clicks.
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM, LPARAM,
                      bool* handled) const override {
        if (message == WM_GETDLGCODE) {
            *handled = true;
            return DLGC_STATIC;
        }
        *handled = false;
        if (record.style & SS_NOTIFY) {
            if (message == WM_LBUTTONDOWN) NotifyParent(record.hwnd, STN_CLICKED);
            if (message == WM_LBUTTONDBLCLK) NotifyParent(record.hwnd, STN_DBLCLK);
        }
        return 0;
    }
};

}  // namespace

std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>> MakeStandardClasses() {
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>> classes;
    classes.emplace_back("Edit", std::make_unique<EditClass>());
    classes.emplace_back("Button", std::make_unique<ButtonClass>());
    classes.emplace_back("Static", std::make_unique<StaticClass>());
    return classes;
}

}  // namespace platform::ui
