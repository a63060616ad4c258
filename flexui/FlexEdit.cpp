// CFlexEdit: typing filters, step keys, wheel and spin, the checks on leaving the field with
// their balloon messages, the selection rule, keyword and placeholder drawing, the buttons
// inside the field and the hidden text.
#include "flexui/FlexEdit.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "flexui/BalloonTip.h"
#include "flexui/SecureKeyboardDlg.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "record/StringHelpers.h"

namespace {

constexpr int kKeyboardButtonWidth = 24;
constexpr int kSpinWidth = 16;
constexpr int kKeyboardButtonId = 1;
constexpr const char* kErrorTitle = "输入错误";
// Posted to itself by a field that refused its value: the balloon and the focus come back once
// the focus change that is under way has ended.
constexpr UINT WM_FLEXEDIT_REFUSED = WM_USER + 2020;

bool Below(double value, double minimum) { return minimum - value > kFlexEditTolerance; }
bool Above(double value, double maximum) { return value - maximum > kFlexEditTolerance; }

QLineEdit* LineEditOf(const CWnd* wnd) { return qobject_cast<QLineEdit*>(wnd->GetWidget()); }

// The soft-keyboard button's picture: a keyboard seen from above.
QImage KeyboardIcon() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QColor(70, 70, 80));
    painter.setBrush(QColor(110, 110, 120));
    painter.drawRoundedRect(QRectF(0.5, 3.5, 15, 10), 2, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 240, 245));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 5; ++col) painter.drawRect(2 + col * 3, 5 + row * 3, 2, 2);
    painter.drawRect(4, 11, 8, 1);
    return image;
}

}  // namespace

// ---- rules -------------------------------------------------------------------------------------

bool FlexRangeInForce(double minimum, double maximum) {
    return maximum >= minimum && !(minimum == 0 && maximum == 0);
}

std::string FlexFormatNumeric(const std::string& text, int decimals, DWORD style) {
    if (decimals < 0) return text;
    std::string formatted = platform::FormatFixed(platform::Atof(text), decimals);
    if ((style & FES_ZEROEMPTY) && platform::Atof(formatted) == 0) return std::string();
    return formatted;
}

bool FlexCharAllowed(unsigned ch, int decimals, DWORD style) {
    if (ch < 0x20 || ch == 0x7F) return true;
    const bool digit = ch >= '0' && ch <= '9';
    if (decimals < 0) {
        if (style & FES_DIGITS) return digit;
        if (style & FES_ALNUM) return digit || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
        return true;
    }
    if (digit) return true;
    if (ch == '.') return decimals > 0;
    if (ch == '-') return !(style & FES_NONEGATIVE);
    return false;
}

double FlexStepValue(double value, int count, const FlexNumericRules& rules) {
    double v = value + count * rules.increment;
    if ((rules.style & FES_NONEGATIVE) && v < 0) v = 0;
    if (!(rules.style & FES_NORANGE) && FlexRangeInForce(rules.minimum, rules.maximum)) {
        if (Below(v, rules.minimum)) v = rules.minimum;
        if (Above(v, rules.maximum)) v = rules.maximum;
    }
    if (!(rules.style & FES_NOMULTIPLE)) v = pavlet::round(v, rules.increment);
    return v;
}

std::string FlexMultipleMessage(const FlexNumericRules& rules) {
    return "数据无效，输入的数值应该为" +
           platform::FormatFixed(rules.increment, std::max(rules.decimals, 0)) + "的整数倍！";
}

std::string FlexRangeMessage(const FlexNumericRules& rules) {
    const int decimals = std::max(rules.decimals, 0);
    if (std::fabs(rules.maximum - rules.minimum) <= kFlexEditTolerance)
        return "输入的数值只能 == " + platform::FormatFixed(rules.minimum, decimals) + " ";
    std::string text = "输入的数值应该 >= " + platform::FormatFixed(rules.minimum, decimals) + " ";
    if (rules.maximum < 2147483647.0)
        text += "且 <= " + platform::FormatFixed(rules.maximum, decimals) + " ";
    return text;
}

FlexCheck FlexCheckValue(double value, const FlexNumericRules& rules, bool editable,
                         std::string* message) {
    if (rules.decimals >= 0 && rules.increment > 0 && editable && !(rules.style & FES_NOMULTIPLE) &&
        std::fabs(pavlet::round(value, rules.decimals) - pavlet::round(value, rules.increment)) >
            kFlexEditTolerance) {
        if (message) *message = FlexMultipleMessage(rules);
        return FlexCheck::kNotMultiple;
    }
    if (!(rules.style & FES_NORANGE) && FlexRangeInForce(rules.minimum, rules.maximum) &&
        (Below(value, rules.minimum) || Above(value, rules.maximum))) {
        if (message) *message = FlexRangeMessage(rules);
        return FlexCheck::kOutOfRange;
    }
    return FlexCheck::kOk;
}

std::pair<int, int> FlexSelection(int length, int fromEnd, int toEnd) {
    if (fromEnd <= 0 || fromEnd > length) return {0, length};
    const int end = (toEnd <= 0 || toEnd > fromEnd || toEnd > length) ? length : length - toEnd;
    return {length - fromEnd, end};
}

std::pair<int, int> FlexDefaultSelectCounts(double increment) {
    if (increment == 0) return {-1, -1};
    if (increment < 10) return {1, -1};
    int64_t whole = static_cast<int64_t>(std::fabs(increment));
    int digits = 0;
    int zeros = 0;
    bool inZeros = true;
    for (int64_t n = whole; n > 0; n /= 10) {
        ++digits;
        if (inZeros && n % 10 == 0)
            ++zeros;
        else
            inZeros = false;
    }
    return {digits, zeros};
}

// ---- the spin button -------------------------------------------------------------------------

// The up-down arrows inside the field: a press gives the field the focus; each step goes to the
// field's Increase (the upper arrow raises the value) and the control keeps no position.
class CFlexSpinButton : public CWnd {
public:
    explicit CFlexSpinButton(CFlexEdit* edit) : edit_(edit) {}

    BOOL OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) override {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (message != WM_NOTIFY || !header || header->code != UDN_DELTAPOS) return FALSE;
        const auto* updown = reinterpret_cast<const NMUPDOWN*>(lParam);
        if (edit_->IsWindowEnabled()) edit_->Increase(-updown->iDelta);
        *result = 1;
        return TRUE;
    }
    void PostNcDestroy() override { delete this; }

protected:
    void OnLButtonDown(UINT, POINT) override {
        edit_->SetFocus();
        Default();
    }

private:
    CFlexEdit* edit_;
};

// ---- the edit ----------------------------------------------------------------------------------

CFlexEdit::CFlexEdit() {
    upKeys_[0] = VK_UP;
    downKeys_[0] = VK_DOWN;
}

CFlexEdit::~CFlexEdit() {
    if (spin_ && IsWindow(spin_->m_hWnd)) spin_->DestroyWindow();
}

CNumericEdit::CNumericEdit() { decimals_ = 0; }

BOOL CFlexEdit::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    UpdateButtons();
    return TRUE;
}

BOOL CFlexEdit::SubclassWindow(HWND hwnd) {
    if (!CWnd::SubclassWindow(hwnd)) return FALSE;
    UpdateButtons();
    return TRUE;
}

FlexNumericRules CFlexEdit::Rules() const {
    return FlexNumericRules{decimals_, increment_, minimum_, maximum_, style_ & 0xFFFF};
}

DWORD CFlexEdit::SetEditStyle(DWORD style) {
    DWORD previous = style_ & 0xFFFF;
    style_ = (style_ & 0xFFFF0000u) | (style & 0xFFFF);
    UpdateButtons();
    return previous;
}

void CFlexEdit::SetDecimals(int decimals) { decimals_ = decimals < 0 ? -1 : decimals; }

void CFlexEdit::SetIncrement(double increment, double minimum, double maximum) {
    increment_ = std::fabs(increment);
    SetRange(minimum, maximum);
}

void CFlexEdit::SetRange(double minimum, double maximum) {
    if (increment_ > kFlexEditTolerance) {
        minimum = pavlet::round(minimum, increment_);
        maximum = pavlet::round(maximum, increment_);
    }
    minimum_ = minimum;
    maximum_ = maximum;
}

void CFlexEdit::SetIntegerProperty(int32_t increment, int32_t minimum, int32_t maximum,
                                   DWORD style) {
    decimals_ = 0;
    SetEditStyle(style);
    SetIncrement(increment, minimum, maximum);
}

void CFlexEdit::SetFloatProperty(int decimals, double increment, double minimum, double maximum,
                                 DWORD style) {
    SetDecimals(decimals);
    SetEditStyle(style);
    SetIncrement(increment, minimum, maximum);
}

void CFlexEdit::SetSpinKey(UINT upKey, UINT downKey) {
    upKeys_.fill(0);
    downKeys_.fill(0);
    upKeys_[0] = upKey;
    downKeys_[0] = downKey;
}

void CFlexEdit::AddSpinKey(UINT upKey, UINT downKey) {
    auto add = [](std::array<UINT, kFlexSpinKeyCount>& keys, UINT key) {
        for (UINT& slot : keys)
            if (slot == 0) {
                slot = key;
                return;
            }
    };
    add(upKeys_, upKey);
    add(downKeys_, downKey);
}

void CFlexEdit::SetDimText(const char* text) {
    dimText_ = text ? text : "";
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexEdit::SetExtrude(int count, COLORREF color) {
    extrudeCount_ = count;
    extrudeColor_ = color == 0xFFFFFFFF ? RGB(127, 127, 127) : color;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexEdit::SetKeywordDisplay(const char* keyword, const char* display, COLORREF color) {
    keyword_ = keyword ? keyword : "";
    keywordDisplay_ = display ? display : "";
    keywordColor_ = color == 0xFFFFFFFF ? RGB(0, 0, 32) : color;
    if (m_hWnd) CheckKeyword();
}

void CFlexEdit::SetKeywordText(BOOL modified) {
    if (keyword_.empty() || keywordDisplay_.empty() || !m_hWnd) return;
    BOOL wasModified = static_cast<BOOL>(SendMessage(EM_GETMODIFY));
    SetWindowText(keyword_);
    style_ |= FES_KEYWORDSHOWN;
    SendMessage(EM_SETMODIFY, modified ? TRUE : wasModified);
    Invalidate(FALSE);
}

void CFlexEdit::CheckKeyword() {
    style_ &= ~FES_KEYWORDSHOWN;
    if (keyword_.empty()) return;
    std::string text = GetText();
    if (text.size() > 63) text.resize(63);
    if (text == keyword_) style_ |= FES_KEYWORDSHOWN;
}

void CFlexEdit::SetSelect(int fromEnd, int toEnd) {
    if (fromEnd < 0 && toEnd < 0 && increment_ != 0)
        std::tie(fromEnd, toEnd) = FlexDefaultSelectCounts(increment_);
    selFromEnd_ = fromEnd;
    selToEnd_ = toEnd;
}

void CFlexEdit::UpdateEditSel() {
    if (!m_hWnd) return;
    const int length = static_cast<int>(GetText().size());
    auto [start, end] = FlexSelection(length, selFromEnd_, selToEnd_);
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
    SendMessage(EM_SCROLLCARET);
}

std::string CFlexEdit::GetText() {
    if (!m_hWnd) return std::string();
    style_ |= FES_READINGSELF;
    std::string text = GetWindowText();
    style_ &= ~FES_READINGSELF;
    return text;
}

int32_t CFlexEdit::GetLong() { return platform::AtolSat(GetText()); }

double CFlexEdit::GetDouble() { return platform::Atof(GetText()); }

BOOL CFlexEdit::IsEmpty() { return GetText().empty() ? TRUE : FALSE; }

void CFlexEdit::Empty() {
    if (!m_hWnd) return;
    SetWindowText("");
    style_ &= ~FES_KEYWORDSHOWN;
    SendMessage(EM_SETMODIFY, FALSE);
}

void CFlexEdit::FormatNumeric(std::string& text) const {
    text = FlexFormatNumeric(text, decimals_, style_);
}

bool CFlexEdit::IsEditable() const { return IsWindowEnabled() && !(GetStyle() & ES_READONLY); }

void CFlexEdit::SetValue(int32_t value, BOOL modified) {
    SetValueText(platform::FormatInt(value), modified);
}

void CFlexEdit::SetValue(double value, BOOL modified) {
    SetValueText(platform::FormatFixed(value, 6), modified);
}

void CFlexEdit::SetValueText(std::string text, BOOL modified) {
    if (!m_hWnd) return;
    FormatNumeric(text);
    BOOL wasModified = static_cast<BOOL>(SendMessage(EM_GETMODIFY));
    SetWindowText(text);
    UpdateEditSel();
    CheckKeyword();
    if (IsEditable()) SendMessage(EM_SETMODIFY, modified ? TRUE : wasModified);
}

void CFlexEdit::Format() {
    if (!m_hWnd || decimals_ < 0 || increment_ == 0) return;
    std::string text = platform::FormatFixed(pavlet::round(GetDouble(), increment_), 6);
    FormatNumeric(text);
    BOOL wasModified = static_cast<BOOL>(SendMessage(EM_GETMODIFY));
    SetWindowText(text);
    SendMessage(EM_SETMODIFY, wasModified);
    UpdateEditSel();
    CheckKeyword();
}

void CFlexEdit::SetTextSelf(const std::string& text) {
    // The parent hears of a step once, from Increase, not also from the text change.
    QLineEdit* edit = LineEditOf(this);
    QSignalBlocker block(edit);
    SetWindowText(text);
}

void CFlexEdit::Increase(int count) {
    if (!m_hWnd || IsKeywordShown() || increment_ == 0 || decimals_ < 0) return;
    if (IsEmpty() && FlexRangeInForce(minimum_, maximum_) && !(style_ & FES_STEPEMPTY)) return;
    double v = FlexStepValue(GetDouble(), count, Rules());
    std::string text = platform::FormatFixed(v, 6);
    FormatNumeric(text);
    SetTextSelf(text);
    UpdateEditSel();
    SendMessage(EM_SETMODIFY, IsWindowEnabled());
    platform::ui::NotifyParent(m_hWnd, EN_CHANGE);
}

void CFlexEdit::Undo() {
    if (QLineEdit* edit = LineEditOf(this)) edit->undo();
}

BOOL CFlexEdit::OnKillfocus() {
    if (!SendMessage(EM_GETMODIFY)) return FALSE;
    CheckKeyword();
    if (IsKeywordShown() || decimals_ < 0 || IsEmpty()) return FALSE;
    std::string message;
    const FlexNumericRules rules = Rules();
    FlexCheck check = FlexCheckValue(GetDouble(), rules, IsEditable(), &message);
    if (check == FlexCheck::kOk) {
        std::string text = GetText();
        FormatNumeric(text);
        BOOL wasModified = static_cast<BOOL>(SendMessage(EM_GETMODIFY));
        if (text != GetText()) SetWindowText(text);
        SendMessage(EM_SETMODIFY, wasModified);
        return FALSE;
    }
    if (!(style_ & FES_KEEPINVALID)) {
        Undo();
        if (check == FlexCheck::kOutOfRange && !IsEmpty()) {
            FlexNumericRules rangeOnly = rules;
            rangeOnly.style |= FES_NOMULTIPLE;
            if (FlexCheckValue(GetDouble(), rangeOnly, true, nullptr) != FlexCheck::kOk)
                SetWindowText("");
        }
    }
    refusal_ = message;
    PostMessage(WM_FLEXEDIT_REFUSED);
    return TRUE;
}

void CFlexEdit::OnSetfocus() { UpdateEditSel(); }

BOOL CFlexEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != WM_COMMAND) return FALSE;
    switch (HIWORD(wParam)) {
        case EN_KILLFOCUS:
            *result = 0;
            return OnKillfocus();
        case EN_SETFOCUS:
            OnSetfocus();
            return FALSE;
        default:
            return FALSE;
    }
}

BOOL CFlexEdit::PreTranslateMessage(MSG* msg) {
    if (!IsWindowEnabled()) return CWnd::PreTranslateMessage(msg);
    if (msg->message == WM_CHAR && msg->wParam == '.' && !(GetStyle() & ES_READONLY) &&
        decimals_ == 0 && (style_ & FES_DOTZEROS)) {
        for (int i = 0; i < 4; ++i) PostMessage(WM_CHAR, '0', 1);
        return TRUE;
    }
    if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && !IsKeywordShown() &&
        increment_ != 0 && decimals_ >= 0) {
        const UINT key = static_cast<UINT>(msg->wParam);
        auto listed = [key](const std::array<UINT, kFlexSpinKeyCount>& keys) {
            for (UINT k : keys) {
                if (k == 0) return false;
                if (k == key) return true;
            }
            return false;
        };
        if (listed(upKeys_)) {
            Increase(1);
            return TRUE;
        }
        if (listed(downKeys_)) {
            Increase(-1);
            return TRUE;
        }
    }
    return CWnd::PreTranslateMessage(msg);
}

void CFlexEdit::OnChar(UINT ch, UINT repeat, UINT flags) {
    if (!FlexCharAllowed(ch, decimals_, style_)) return;
    // A backspace character that no key press brought (the soft keyboard's) deletes as the
    // key would; the window layer's edit only deletes on the key itself.
    platform::ui::CallFrame* frame = platform::ui::CurrentFrame();
    if (ch == '\b' && !(frame && frame->origin)) {
        if (QLineEdit* edit = LineEditOf(this); edit && !edit->isReadOnly()) {
            edit->backspace();
            return;
        }
    }
    CWnd::OnChar(ch, repeat, flags);
}

void CFlexEdit::OnKeyDown(UINT vk, UINT repeat, UINT flags) {
    CWnd::OnKeyDown(vk, repeat, flags);
    if (extrudeCount_ > 0 && !IsEmpty()) Invalidate(FALSE);
}

void CFlexEdit::OnLButtonDown(UINT flags, POINT point) {
    CWnd::OnLButtonDown(flags, point);
    if (extrudeCount_ > 0 && !IsEmpty()) Invalidate(FALSE);
}

BOOL CFlexEdit::OnMouseWheel(UINT flags, short delta, POINT point) {
    RECT window;
    GetWindowRect(&window);
    if (!IsWindowEnabled() || !PtInRect(&window, point))
        return CWnd::OnMouseWheel(flags, delta, point);
    if (delta != 0) Increase(delta > 0 ? 1 : -1);
    return TRUE;
}

BOOL CFlexEdit::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kKeyboardButtonId && HIWORD(wParam) == BN_CLICKED && keyboard_ &&
        static_cast<HWND>(lParam) == keyboard_->m_hWnd) {
        OnButtonKeyboard();
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

void CFlexEdit::OnButtonKeyboard() {
    SetFocus();
    FlexSecureKeyboard(this);
}

void CFlexEdit::OnDestroy() {
    if (keyboard_) {
        if (IsWindow(keyboard_->m_hWnd)) keyboard_->DestroyWindow();
        keyboard_.reset();
    }
    if (spin_) {
        if (IsWindow(spin_->m_hWnd)) spin_->DestroyWindow();
        spin_ = nullptr;
    }
    CWnd::OnDestroy();
}

CWnd* CFlexEdit::GetSpinButton() const { return spin_; }

void CFlexEdit::UpdateButtons() {
    if (!m_hWnd) return;
    if ((style_ & FES_SPIN) && !spin_) {
        auto spin = std::make_unique<CFlexSpinButton>(this);
        if (spin->Create("msctls_updown32", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, kSpinWidth, 10},
                         this, 0))
            spin_ = spin.release();  // deletes itself with its window
    } else if (!(style_ & FES_SPIN) && spin_) {
        if (IsWindow(spin_->m_hWnd)) spin_->DestroyWindow();
        spin_ = nullptr;
    }
    if ((style_ & FES_KEYBOARD) && !keyboard_) {
        keyboard_ = std::make_unique<CFlexButton>();
        if (keyboard_->Create("", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 24, 10}, this,
                              kKeyboardButtonId)) {
            keyboard_->SetIcon(KeyboardIcon(), 16);
            keyboard_->SetFrameTemplateIndex(1);
        } else {
            keyboard_.reset();
        }
    } else if (!(style_ & FES_KEYBOARD) && keyboard_) {
        if (IsWindow(keyboard_->m_hWnd)) keyboard_->DestroyWindow();
        keyboard_.reset();
    }

    RECT client;
    GetClientRect(&client);
    int total = 0;
    if (spin_) {
        ::MoveWindow(spin_->m_hWnd, client.right - kSpinWidth + 1, client.top - 1, kSpinWidth,
                     client.bottom - client.top + 2, TRUE);
        total += kSpinWidth;
    }
    if (keyboard_) {
        ::MoveWindow(keyboard_->m_hWnd, client.right - total - kKeyboardButtonWidth, client.top,
                     kKeyboardButtonWidth, client.bottom - client.top, TRUE);
        total += kKeyboardButtonWidth;
    }
    if (QLineEdit* edit = LineEditOf(this)) {
        QMargins margins = edit->textMargins();
        edit->setTextMargins(margins.left(), margins.top(), margins.left() + total,
                             margins.bottom());
    }
    DWORD style = GetStyle();
    if (total > 0 && !(style & WS_CLIPCHILDREN)) ModifyStyle(0, WS_CLIPCHILDREN);
}

RECT CFlexEdit::TextRect() const {
    RECT client;
    GetClientRect(&client);
    RECT r{client.left + 2, client.top, client.right - 2, client.bottom};
    if (QLineEdit* edit = LineEditOf(this)) {
        // The area the edit lays its text out in: its contents less the text margins and the
        // edit's own two pixels on each side.
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.rect = edit->rect();
        option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(
                                                  QStyle::PM_DefaultFrameWidth, &option, edit)
                                            : 0;
        QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        contents = contents.marginsRemoved(edit->textMargins());
        r = RECT{contents.left() + 2, contents.top(), contents.right() + 1 - 2,
                 contents.bottom() + 1};
    }
    return r;
}

BOOL CFlexEdit::OnEraseBkgnd(CDC* dc) {
    if (spin_ && IsWindow(spin_->m_hWnd)) spin_->Invalidate(TRUE);
    if (keyboard_ && IsWindow(keyboard_->m_hWnd)) keyboard_->Invalidate(TRUE);
    return CWnd::OnEraseBkgnd(dc);
}

void CFlexEdit::OnPaint() {
    // The edit paints itself first; the keyword, placeholder and extruded digits go over it.
    platform::ui::CallFrame* frame = platform::ui::CurrentFrame();
    if (frame && frame->origin && frame->receiver)
        platform::ui::SendPastFilter(frame->receiver, frame->origin);
    const bool focused = ::GetFocus() == m_hWnd;
    const bool right = (GetStyle() & ES_RIGHT) != 0;
    RECT text = TextRect();
    const UINT align = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (right ? DT_RIGHT : DT_LEFT);
    std::string current = GetText();
    if (!focused && (IsKeywordShown() || (current.empty() && !dimText_.empty()))) {
        CPaintDC dc(this);
        dc.SetBkMode(TRANSPARENT);
        CFont* old = dc.SelectObject(GetStockFont(DEFAULT_GUI_FONT));
        if (IsKeywordShown()) {
            dc.FillSolidRect(&text, GetSysColor(COLOR_WINDOW));
            dc.SetTextColor(keywordColor_);
            dc.DrawText(keywordDisplay_, &text, align);
        } else {
            dc.SetTextColor(RGB(196, 196, 196));
            dc.DrawText(dimText_, &text, align);
        }
        dc.SelectObject(old);
        return;
    }
    if (extrudeCount_ > 0 && !current.empty() && !(style_ & FES_HIDETEXT)) {
        QLineEdit* edit = LineEditOf(this);
        if (!edit || edit->echoMode() != QLineEdit::Normal) return;
        // Measured in the edit's own font, where the characters stand in the text area.
        const QFontMetrics metrics(edit->font());
        const QString whole = edit->text();
        const int n = std::min<int>(extrudeCount_, static_cast<int>(whole.size()));
        const QString head = whole.left(whole.size() - n);
        const QString tail = whole.right(n);
        const int x = right ? text.right - metrics.horizontalAdvance(tail)
                            : text.left + metrics.horizontalAdvance(head);
        QPainter painter(edit);
        painter.setFont(edit->font());
        painter.setPen(
            QColor(GetRValue(extrudeColor_), GetGValue(extrudeColor_), GetBValue(extrudeColor_)));
        painter.drawText(QRect(x, text.top, text.right - x, text.bottom - text.top),
                         Qt::AlignLeft | Qt::AlignVCenter, tail);
    }
}

LRESULT CFlexEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETTEXT:
            if ((style_ & FES_HIDETEXT) && !(style_ & FES_READINGSELF)) {
                if (lParam && wParam > 0) *reinterpret_cast<char*>(lParam) = '\0';
                return 0;
            }
            break;
        case WM_KILLFOCUS:
            killFocusWnd_ = wParam ? static_cast<HWND>(wParam) : ::GetFocus();
            break;
        case WM_FLEXEDIT_REFUSED:
            if (!refusal_.empty())
                CBalloonTip::LaunchBalloon(this, kErrorTitle, std::exchange(refusal_, {}), 1, TRUE);
            return 0;
        case WM_SIZE:
        case WM_SETFONT: {
            LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            UpdateButtons();
            return result;
        }
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
