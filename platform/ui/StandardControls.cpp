// The standard control classes over Qt's own widgets.
#include "platform/ui/StandardControls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QValidator>
#include <algorithm>
#include <limits>

#include "platform/ui/ComboListControls.h"
#include "platform/ui/ListView.h"
#include "platform/ui/Messages.h"
#include "platform/ui/RangeControls.h"
#include "platform/ui/SmallControls.h"
#include "platform/ui/ToolTip.h"
#include "platform/ui/TreeView.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

// ---- Edit ---------------------------------------------------------------------------------------

// ES_UPPERCASE, ES_LOWERCASE and ES_NUMBER act on what the user types.
class TypingValidator : public QValidator {
public:
    TypingValidator(QObject* parent, DWORD style) : QValidator(parent), style_(style) {}
    State validate(QString& input, int&) const override {
        if (style_ & ES_NUMBER)
            for (QChar c : input)
                if (!c.isDigit()) return Invalid;
        if (style_ & ES_UPPERCASE) input = input.toUpper();
        if (style_ & ES_LOWERCASE) input = input.toLower();
        return Acceptable;
    }

private:
    DWORD style_;
};

// A multi-line edit's text uses "\r\n" between lines, as its callers write and read it.
std::string ToCrLf(const QString& text) {
    return QString(text).replace('\n', "\r\n").toStdString();
}
QString FromCrLf(const std::string& text) {
    return QString::fromStdString(text).replace("\r\n", "\n");
}

// Length of a multi-line text as its callers count it: a line break is "\r\n", two characters.
int CrLfLength(const QString& text) {
    int length = static_cast<int>(text.size());
    for (QChar c : text)
        if (c == '\n' || c == QChar::ParagraphSeparator) ++length;
    return length;
}

// The longest head of `text` whose CrLfLength fits in `room`.
QString HeadThatFits(const QString& text, int room) {
    int used = 0;
    qsizetype end = 0;
    for (; end < text.size(); ++end) {
        const QChar c = text[end];
        const int cost = (c == '\n' || c == QChar::ParagraphSeparator) ? 2 : 1;
        if (used + cost > room) break;
        used += cost;
    }
    return text.left(end);
}

// A multi-line edit whose EM_LIMITTEXT bounds what the user types, pastes or EM_REPLACESEL puts
// in; the program's own WM_SETTEXT is not bounded. A refused or cut insertion tells the parent
// EN_MAXTEXT.
class MultiLineEdit : public QPlainTextEdit {
public:
    explicit MultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {}

    HWND hwnd = 0;
    int limit = -1;  // none

    int Length() const { return document()->characterCount() - 1 + (document()->blockCount() - 1); }
    // What may still go in place of the selection.
    int Room() const {
        if (limit < 0) return std::numeric_limits<int>::max();
        const int selected = CrLfLength(textCursor().selectedText());
        return std::max(0, limit - (Length() - selected));
    }
    // `text` cut to the room left; EN_MAXTEXT when it had to be cut.
    QString Fit(const QString& text) {
        const int room = Room();
        if (CrLfLength(text) <= room) return text;
        NotifyParent(hwnd, EN_MAXTEXT);
        return HeadThatFits(text, room);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // Enter comes as the key (its "\r" character inserts nothing); other keys by their
        // printable text. A key's text goes in whole or not at all.
        const QString text = event->text();
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const bool typing =
            enter || (!text.isEmpty() && (text[0] >= QChar(0x20) || text[0] == '\t'));
        if (typing && limit >= 0) {
            const QString line = enter ? QStringLiteral("\n") : text;
            if (CrLfLength(line) > Room()) {
                NotifyParent(hwnd, EN_MAXTEXT);
                event->accept();
                return;
            }
        }
        QPlainTextEdit::keyPressEvent(event);
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (limit < 0 || !source->hasText()) {
            QPlainTextEdit::insertFromMimeData(source);
            return;
        }
        insertPlainText(Fit(source->text()));
    }
    void inputMethodEvent(QInputMethodEvent* event) override {
        if (limit >= 0 && !event->commitString().isEmpty()) {
            const QString fitted = Fit(event->commitString());
            if (fitted != event->commitString()) {
                QInputMethodEvent cut(event->preeditString(), event->attributes());
                cut.setCommitString(fitted, event->replacementStart(), event->replacementLength());
                QPlainTextEdit::inputMethodEvent(&cut);
                return;
            }
        }
        QPlainTextEdit::inputMethodEvent(event);
    }
};

class EditClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        QWidget* widget = nullptr;
        if (style & ES_MULTILINE) {
            auto* multi = new MultiLineEdit(parent);
            multi->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            widget = multi;
        } else {
            widget = new QLineEdit(parent);
        }
        if (flags) widget->setWindowFlags(flags);
        return widget;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
            multi->setReadOnly(style & ES_READONLY);
            multi->setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded
                                                                   : Qt::ScrollBarAlwaysOff);
            // Lines wrap unless the edit scrolls sideways.
            multi->setLineWrapMode((style & (WS_HSCROLL | ES_AUTOHSCROLL))
                                       ? QPlainTextEdit::NoWrap
                                       : QPlainTextEdit::WidgetWidth);
            return;
        }
        auto* edit = static_cast<QLineEdit*>(widget);
        Qt::Alignment horizontal = (style & ES_RIGHT)    ? Qt::AlignRight
                                   : (style & ES_CENTER) ? Qt::AlignHCenter
                                                         : Qt::AlignLeft;
        edit->setAlignment(horizontal | Qt::AlignVCenter);
        edit->setEchoMode((style & ES_PASSWORD) ? QLineEdit::Password : QLineEdit::Normal);
        edit->setReadOnly(style & ES_READONLY);
        const QValidator* old = edit->validator();
        edit->setValidator((style & (ES_UPPERCASE | ES_LOWERCASE | ES_NUMBER))
                               ? new TypingValidator(edit, style)
                               : nullptr);
        delete old;
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        // Qt reports every change of the text, by the user or by SetWindowText, once.
        if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
            if (auto* limited = dynamic_cast<MultiLineEdit*>(multi)) limited->hwnd = hwnd;
            QObject::connect(multi, &QPlainTextEdit::textChanged,
                             [hwnd] { NotifyParent(hwnd, EN_CHANGE); });
        } else
            QObject::connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged,
                             [hwnd] { NotifyParent(hwnd, EN_CHANGE); });
    }
    std::string GetText(const QWidget* widget) const override {
        if (auto* multi = qobject_cast<const QPlainTextEdit*>(widget))
            return ToCrLf(multi->toPlainText());
        return static_cast<const QLineEdit*>(widget)->text().toStdString();
    }
    void SetText(QWidget* widget, const std::string& text) const override {
        if (auto* multi = qobject_cast<QPlainTextEdit*>(widget))
            multi->setPlainText(FromCrLf(text));
        else
            static_cast<QLineEdit*>(widget)->setText(QString::fromStdString(text));
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
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
            case WM_GETDLGCODE:
                return DlgCode(record, reinterpret_cast<const MSG*>(lParam));
            default:
                break;
        }
        if (auto* multi = qobject_cast<QPlainTextEdit*>(record.widget))
            return MultiLineProc(record, multi, message, wParam, lParam, handled);
        auto* edit = static_cast<QLineEdit*>(record.widget);
        switch (message) {
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
                return ReportSel(from, to, wParam, lParam);
            }
            case EM_GETMODIFY:
                return edit->isModified() ? TRUE : FALSE;
            case EM_SETMODIFY:
                edit->setModified(wParam != 0);
                return 0;
            case EM_LIMITTEXT:
                edit->setMaxLength(wParam == 0 ? 32767
                                               : static_cast<int>(std::min<WPARAM>(wParam, 32767)));
                return 0;
            case EM_GETLIMITTEXT:
                return edit->maxLength();
            case EM_SETREADONLY:
                edit->setReadOnly(wParam != 0);
                record.style =
                    wParam ? (record.style | ES_READONLY) : (record.style & ~ES_READONLY);
                return TRUE;
            case EM_REPLACESEL:
                edit->insert(QString::fromStdString(TextArg(lParam)));
                return 0;
            case EM_GETLINECOUNT:
                return 1;
            case EM_SCROLLCARET:
            case EM_LINESCROLL:
                return TRUE;
            default:
                *handled = false;
                return 0;
        }
    }

private:
    static std::string TextArg(LPARAM lParam) {
        return lParam ? std::string(reinterpret_cast<const char*>(lParam)) : std::string();
    }
    static LRESULT ReportSel(int from, int to, WPARAM wParam, LPARAM lParam) {
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(from);
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(to);
        return MAKELPARAM(static_cast<WORD>(from), static_cast<WORD>(to));
    }
    // A multi-line edit keeps Enter (with ES_WANTRETURN) and the arrows; Tab and Escape stay
    // the dialog's. An edit inside an open combo box list leaves every key to the list.
    static LRESULT DlgCode(const WindowRecord& record, const MSG* msg) {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        HWND parent = ::GetParent(record.hwnd);
        if (parent && ::GetClassName(parent) == "ComboBox" &&
            ::SendMessage(parent, CB_GETDROPPEDSTATE, 0, 0))
            return code | DLGC_WANTALLKEYS;
        if (!(record.style & ES_MULTILINE)) return code;
        if (msg && msg->message == WM_KEYDOWN) {
            const int vk = static_cast<int>(msg->wParam);
            if (vk == VK_TAB || vk == VK_ESCAPE) return code;
            if (vk == VK_RETURN && !(record.style & ES_WANTRETURN)) return code;
        }
        return code | DLGC_WANTALLKEYS;
    }
    static LRESULT MultiLineProc(WindowRecord& record, QPlainTextEdit* multi, UINT message,
                                 WPARAM wParam, LPARAM lParam, bool* handled) {
        QTextCursor cursor = multi->textCursor();
        switch (message) {
            case EM_SETSEL: {
                const int length = multi->document()->characterCount() - 1;
                const auto start = static_cast<intptr_t>(wParam);
                const auto end = static_cast<intptr_t>(lParam);
                if (start < 0) {
                    cursor.clearSelection();
                } else {
                    const int from = static_cast<int>(std::min<intptr_t>(start, length));
                    const int to =
                        end < 0 ? length : static_cast<int>(std::min<intptr_t>(end, length));
                    cursor.setPosition(from);
                    cursor.setPosition(to, QTextCursor::KeepAnchor);
                }
                multi->setTextCursor(cursor);
                return 0;
            }
            case EM_GETSEL:
                return ReportSel(cursor.selectionStart(), cursor.selectionEnd(), wParam, lParam);
            case EM_GETMODIFY:
                return multi->document()->isModified() ? TRUE : FALSE;
            case EM_SETMODIFY:
                multi->document()->setModified(wParam != 0);
                return 0;
            case EM_SETREADONLY:
                multi->setReadOnly(wParam != 0);
                record.style =
                    wParam ? (record.style | ES_READONLY) : (record.style & ~ES_READONLY);
                return TRUE;
            case EM_REPLACESEL: {
                QString text = FromCrLf(TextArg(lParam));
                if (auto* limited = dynamic_cast<MultiLineEdit*>(multi)) text = limited->Fit(text);
                cursor.insertText(text);
                multi->setTextCursor(cursor);
                return 0;
            }
            case EM_GETLINECOUNT:
                return std::max(1, multi->document()->blockCount());
            case EM_LINESCROLL: {
                QScrollBar* bar = multi->verticalScrollBar();
                bar->setValue(bar->value() + static_cast<int>(lParam));
                return TRUE;
            }
            case EM_SCROLLCARET:
                multi->ensureCursorVisible();
                return TRUE;
            case EM_LIMITTEXT:
                // 0: as much as the edit can hold.
                if (auto* limited = dynamic_cast<MultiLineEdit*>(multi))
                    limited->limit = wParam == 0 ? -1
                                                 : static_cast<int>(std::min<WPARAM>(
                                                       wParam, std::numeric_limits<int>::max()));
                return 0;
            case EM_GETLIMITTEXT: {
                auto* limited = dynamic_cast<MultiLineEdit*>(multi);
                return limited && limited->limit >= 0 ? limited->limit : 0x7FFFFFFE;
            }
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
            case BM_GETSTATE: {
                // The check state, with BST_PUSHED while the mouse or the space bar holds the
                // button down and BST_FOCUS while it has the focus.
                LRESULT state = ::SendMessage(record.hwnd, BM_GETCHECK, 0, 0);
                if (button && button->isDown()) state |= BST_PUSHED;
                if (record.widget->hasFocus()) state |= BST_FOCUS;
                return state;
            }
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
    AddComboListClasses(classes);
    AddSmallControlClasses(classes);
    AddRangeControlClasses(classes);
    AddListClasses(classes);
    AddToolTipClasses(classes);
    AddTreeTabAndDateClasses(classes);
    return classes;
}

}  // namespace platform::ui
