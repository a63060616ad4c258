// CFlexDialog: the keyboard walk, edge-following children, background brush and the control
// placement and numeric text helpers.
#include "flexui/FlexDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

#include "platform/core/Numbers.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/StringHelpers.h"

namespace {

CFlexDialog::EnumChildFunctor gEnumChildFunctor = nullptr;

// The controls' own text buffer: what the numeric reads look at.
constexpr size_t kNumberTextLimit = 255;

bool IsEmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT UnionOf(const RECT& a, const RECT& b) {
    if (IsEmptyRect(a)) return b;
    if (IsEmptyRect(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void MoveTo(HWND hwnd, const RECT& r, BOOL repaint) {
    ::MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
}

// Ids up to the first 0 (or the end of the list).
std::vector<int> IdList(std::initializer_list<int> ids) {
    std::vector<int> out;
    for (int id : ids) {
        if (id == 0) break;
        out.push_back(id);
    }
    return out;
}

std::vector<int> IdList(const int* ids) {
    std::vector<int> out;
    for (; ids && *ids != 0; ++ids) out.push_back(*ids);
    return out;
}

// Whether some window of the user-interface thread holds the mouse: a capture, a mouse grab or
// an open pop-up such as a combo box's list.
bool MouseIsHeld() {
    return ::GetCapture() != 0 || QApplication::activePopupWidget() != nullptr ||
           QWidget::mouseGrabber() != nullptr;
}

std::string WithoutCommas(std::string text) {
    if (text.size() > kNumberTextLimit) text.resize(kNumberTextLimit);
    std::erase(text, ',');
    return text;
}

// Puts `hwnd` right after `previous` among their siblings (tab order follows sibling order).
void LinkAfter(HWND previous, HWND hwnd) {
    QWidget* widget = platform::ui::WidgetOf(hwnd);
    QWidget* before = platform::ui::WidgetOf(previous);
    if (!widget || !before || widget->parentWidget() != before->parentWidget()) return;
    if (::GetWindow(previous, GW_HWNDNEXT) == hwnd) return;
    widget->raise();  // to the end, then under the sibling that follows `previous`
    HWND following = ::GetWindow(previous, GW_HWNDNEXT);
    if (following && following != hwnd)
        if (QWidget* next = platform::ui::WidgetOf(following)) widget->stackUnder(next);
}

BOOL EnumChildThunk(HWND child, LPARAM lParam) {
    auto* dialog = reinterpret_cast<CWnd*>(lParam);
    if (gEnumChildFunctor) gEnumChildFunctor(CWnd::FromHandle(child), dialog);
    return TRUE;  // the functor's answer never stops the walk
}

}  // namespace

RECT FlexAlignedRect(const FlexAlignEntry& entry, const RECT& child, const RECT& client) {
    RECT r = child;
    const LONG right = client.right - entry.right;
    const LONG bottom = client.bottom - entry.bottom;
    if (entry.flags & FLEX_ALIGN_RIGHT) {
        r.left += right - r.right;
        r.right = right;
    }
    if (entry.flags & FLEX_ALIGN_BOTTOM) {
        r.top += bottom - r.bottom;
        r.bottom = bottom;
    }
    if (entry.flags & FLEX_ALIGN_WIDTH) r.right = right;
    if (entry.flags & FLEX_ALIGN_HEIGHT) r.bottom = bottom;
    return r;
}

void FlexSetDlgItemTextIfChanged(HWND parent, int id, const std::string& text) {
    HWND control = ::GetDlgItem(parent, id);
    if (!control) return;
    // The whole present text is compared, so a long text is never left half-updated.
    if (::GetWindowText(control) != text) ::SetWindowText(control, text);
}

BOOL FlexKeyboardWalk(HWND dialog, DWORD tabStyle, const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN || (tabStyle & 0xF) == 0 || MouseIsHeld()) return FALSE;
    HWND focus = ::GetFocus();
    if (!focus || (focus != dialog && !::IsChild(dialog, focus))) return FALSE;
    const std::string className = ::GetClassName(focus);
    const DWORD style = static_cast<DWORD>(::GetWindowLong(focus, GWL_STYLE));
    const bool multiLineEdit = className == "Edit" && (style & ES_MULTILINE);
    const auto next = [dialog](bool previous) {
        ::SendMessage(dialog, WM_NEXTDLGCTL, previous ? 1 : 0, 0);
        return TRUE;
    };
    switch (msg->wParam) {
        case VK_RETURN: {
            if (!(tabStyle & FLEX_TAB_ENTER)) return FALSE;
            if (className == "Button") {
                const DWORD kind = style & BS_TYPEMASK;
                if ((kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) &&
                    ::IsWindowEnabled(focus)) {
                    ::PostMessage(dialog, WM_COMMAND,
                                  MAKEWPARAM(static_cast<WORD>(::GetDlgCtrlID(focus)), BN_CLICKED),
                                  static_cast<LPARAM>(focus));
                    return TRUE;
                }
                if (kind >= BS_CHECKBOX && kind <= BS_AUTO3STATE) return next(false);
                return FALSE;
            }
            if (multiLineEdit) return FALSE;
            return next(false);
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            const bool walks = className == "ComboBox" || className == "SysDateTimePick32" ||
                               (className == "Edit" && !multiLineEdit);
            if (!walks) return FALSE;
            const WPARAM vk = msg->wParam;
            if ((vk == VK_UP && (tabStyle & FLEX_TAB_UPDOWN)) ||
                (vk == VK_LEFT && (tabStyle & FLEX_TAB_LEFTRIGHT)))
                return next(true);
            if ((vk == VK_DOWN && (tabStyle & FLEX_TAB_UPDOWN)) ||
                (vk == VK_RIGHT && (tabStyle & FLEX_TAB_LEFTRIGHT)))
                return next(false);
            return FALSE;
        }
        default:
            return FALSE;
    }
}

CFlexDialog::CFlexDialog() = default;
CFlexDialog::CFlexDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}
CFlexDialog::CFlexDialog(const char* templateName, CWnd* parent) : CDialog(templateName, parent) {}
CFlexDialog::~CFlexDialog() = default;

BOOL CFlexDialog::SetItemAlign(CWnd* child, DWORD flags) {
    return child ? SetItemAlign(child->m_hWnd, flags) : FALSE;
}

BOOL CFlexDialog::SetItemAlign(int controlId, DWORD flags) {
    return SetItemAlign(::GetDlgItem(m_hWnd, controlId), flags);
}

BOOL CFlexDialog::SetItemAlign(HWND child, DWORD flags) {
    if (!child || !::IsWindow(child) || !::IsWindow(m_hWnd)) return FALSE;
    auto found = std::find_if(align_.begin(), align_.end(),
                              [child](const auto& entry) { return entry->hwnd == child; });
    FlexAlignEntry* entry = nullptr;
    if (found == align_.end()) {
        align_.push_back(std::make_unique<FlexAlignEntry>());
        entry = align_.back().get();
        entry->hwnd = child;
    } else {
        entry = found->get();
    }
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const RECT rect = ::GetWindowRectIn(child, m_hWnd);
    entry->left = client.left - rect.left;
    entry->top = client.top - rect.top;
    entry->right = client.right - rect.right;
    entry->bottom = client.bottom - rect.bottom;
    entry->flags = flags;
    return TRUE;
}

void CFlexDialog::SetBkColor(COLORREF color) {
    brush_ = std::make_unique<CBrush>(color);
    if (::IsWindow(m_hWnd)) Invalidate();
}

void CFlexDialog::ModifyTabStyle(DWORD remove, DWORD add) {
    tabStyle_ = (tabStyle_ & ~(remove & 0xF)) | (add & 0xF);
}

void CFlexDialog::SetEnterToTab(BOOL enable) {
    if (enable)
        tabStyle_ |= FLEX_TAB_ENTER;
    else
        tabStyle_ &= ~FLEX_TAB_ENTER;
}

void CFlexDialog::CenterAlign(DWORD flags, std::initializer_list<int> ids) {
    std::vector<int> list = IdList(ids);
    list.push_back(0);
    CenterAlign(flags, list.data());
}

void CFlexDialog::CenterAlign(DWORD flags, const int* ids) {
    const std::vector<int> list = IdList(ids);
    RECT group{};
    bool any = false;
    for (int id : list) {
        HWND control = ::GetDlgItem(m_hWnd, id);
        if (!control) continue;
        RECT r{};
        ::GetWindowRect(control, &r);
        group = any ? RECT{std::min(group.left, r.left), std::min(group.top, r.top),
                           std::max(group.right, r.right), std::max(group.bottom, r.bottom)}
                    : r;
        any = true;
    }
    if (!any) return;
    ::MapWindowPoints(0, m_hWnd, &group);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    int dx = 0;
    int dy = 0;
    if (flags & 4) dx = (client.right + group.left - group.right - client.left) / 2 - group.left;
    if (flags & 8) dy = (client.bottom + group.top - group.bottom - client.top) / 2 - group.top;
    for (int id : list) {
        HWND control = ::GetDlgItem(m_hWnd, id);
        if (!control) continue;
        RECT r = ::GetWindowRectIn(control, m_hWnd);
        ::MoveWindow(control, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

void CFlexDialog::OffsetDlgItem(int id, int dx, int dy) {
    HWND control = ::GetDlgItem(m_hWnd, id);
    if (!control || (dx == 0 && dy == 0)) return;
    const RECT old = ::GetWindowRectIn(control, m_hWnd);
    const RECT moved{old.left + dx, old.top + dy, old.right + dx, old.bottom + dy};
    MoveTo(control, moved, FALSE);
    const RECT both = UnionOf(old, moved);
    InvalidateRect(&both, TRUE);
}

void CFlexDialog::EquateDlgItem(int id, DWORD flags, int referenceId) {
    HWND control = ::GetDlgItem(m_hWnd, id);
    HWND reference = ::GetDlgItem(m_hWnd, referenceId);
    if (!control || !reference) return;
    const RECT old = ::GetWindowRectIn(control, m_hWnd);
    const RECT ref = ::GetWindowRectIn(reference, m_hWnd);
    RECT r = old;
    if (flags & 1) {
        r.left += ref.right - r.right;
        r.right = ref.right;
    }
    if (flags & 2) {
        r.top += ref.bottom - r.bottom;
        r.bottom = ref.bottom;
    }
    if (flags & 4) r.right = r.left + (ref.right - ref.left);
    if (flags & 8) r.bottom = r.top + (ref.bottom - ref.top);
    MoveTo(control, r, FALSE);
    const RECT both = UnionOf(old, r);
    InvalidateRect(&both, TRUE);
}

DWORD CFlexDialog::GetDlgItemTextExtent(int id) const {
    HWND control = ::GetDlgItem(m_hWnd, id);
    QWidget* widget = platform::ui::WidgetOf(control);
    if (!widget) return 0;
    const QFontMetrics metrics(widget->font());
    const QString text = QString::fromStdString(::GetWindowText(control));
    const int width = std::clamp(metrics.horizontalAdvance(text), 0, 0xFFFF);
    const int height = std::clamp(metrics.height(), 0, 0xFFFF);
    return static_cast<DWORD>(width) | (static_cast<DWORD>(height) << 16);
}

void CFlexDialog::AlignItem(int id, int referenceId, int kind) {
    HWND control = ::GetDlgItem(m_hWnd, id);
    HWND reference = ::GetDlgItem(m_hWnd, referenceId);
    if (!control || !reference) return;
    const RECT r = ::GetWindowRectIn(control, m_hWnd);
    const RECT ref = ::GetWindowRectIn(reference, m_hWnd);
    int dx = 0;
    int dy = 0;
    switch (kind) {
        case FLEX_ALIGN_TOPS:
            dy = ref.top - r.top;
            break;
        case FLEX_ALIGN_BOTTOMS:
            dy = ref.bottom - r.bottom;
            break;
        case FLEX_ALIGN_LEFTS:
            dx = ref.left - r.left;
            break;
        case FLEX_ALIGN_RIGHTS:
            dx = ref.right - r.right;
            break;
        default:
            return;
    }
    ::MoveWindow(control, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
}

void CFlexDialog::SetRelatedItemWidth(std::initializer_list<int> ids, int id, int extraWidth) {
    std::vector<int> list = IdList(ids);
    list.push_back(0);
    SetRelatedItemWidth(list.data(), id, extraWidth);
}

void CFlexDialog::SetRelatedItemWidth(const int* ids, int id, int extraWidth) {
    const std::vector<int> list = IdList(ids);
    int change = 0;
    bool after = false;
    RECT dirty{};
    for (int each : list) {
        HWND control = ::GetDlgItem(m_hWnd, each);
        if (after) {
            if (!control) continue;
            const RECT old = ::GetWindowRectIn(control, m_hWnd);
            const RECT moved{old.left + change, old.top, old.right + change, old.bottom};
            MoveTo(control, moved, FALSE);
            dirty = UnionOf(dirty, UnionOf(old, moved));
            continue;
        }
        if (each != id) continue;
        if (!control) return;
        const int textWidth = static_cast<int>(LOWORD(GetDlgItemTextExtent(each)));
        const RECT old = ::GetWindowRectIn(control, m_hWnd);
        change = textWidth + extraWidth - (old.right - old.left);
        if (textWidth == 0 || change == 0) return;
        const RECT sized{old.left, old.top, old.right + change, old.bottom};
        MoveTo(control, sized, FALSE);
        dirty = UnionOf(old, sized);
        after = true;
    }
    if (after) InvalidateRect(&dirty, TRUE);
}

void CFlexDialog::SetDlgItemPlace(std::initializer_list<int> ids, DWORD flags, int gap, int x,
                                  int y) {
    std::vector<int> list = IdList(ids);
    list.push_back(0);
    SetDlgItemPlace(list.data(), flags, gap, x, y);
}

void CFlexDialog::SetDlgItemPlace(const int* ids, DWORD flags, int gap, int x, int y) {
    std::vector<HWND> controls;
    for (int id : IdList(ids))
        if (HWND control = ::GetDlgItem(m_hWnd, id)) controls.push_back(control);
    const bool column = flags & FLEX_PLACE_VERTICAL;
    if ((flags & FLEX_PLACE_MEASURE) || x < 0 || y < 0) {
        bool any = false;
        LONG minLeft = 0, leftsRight = 0, minTop = 0, topsBottom = 0;
        for (HWND control : controls) {
            const RECT r = ::GetWindowRectIn(control, m_hWnd);
            if (!any || r.left < minLeft) {
                minLeft = r.left;
                leftsRight = r.right;
            }
            if (!any || r.top < minTop) {
                minTop = r.top;
                topsBottom = r.bottom;
            }
            any = true;
        }
        if (flags & FLEX_PLACE_MEASURE) {
            bool haveLeft = false, haveTop = false;
            LONG secondLeft = 0, secondTop = 0;
            for (HWND control : controls) {
                const RECT r = ::GetWindowRectIn(control, m_hWnd);
                if (r.left > minLeft && (!haveLeft || r.left < secondLeft)) {
                    secondLeft = r.left;
                    haveLeft = true;
                }
                if (r.top > minTop && (!haveTop || r.top < secondTop)) {
                    secondTop = r.top;
                    haveTop = true;
                }
            }
            // With a single row or column there is no second edge: no gap.
            if (column)
                gap = haveTop ? secondTop - topsBottom : 0;
            else
                gap = haveLeft ? secondLeft - leftsRight : 0;
        }
        if (x < 0) x = minLeft;
        if (y < 0) y = minTop;
    }
    const bool keepCross = flags & FLEX_PLACE_KEEPCROSS;
    RECT dirty{};
    HWND previousTab = 0;
    for (HWND control : controls) {
        const RECT old = ::GetWindowRectIn(control, m_hWnd);
        if (!::IsWindowEnabled(control) && !(flags & FLEX_PLACE_DISABLED)) {
            if (::IsWindowVisible(control)) {
                ::ShowWindow(control, SW_HIDE);
                dirty = UnionOf(dirty, old);
            }
            continue;
        }
        const LONG width = old.right - old.left;
        const LONG height = old.bottom - old.top;
        RECT moved = old;
        if (column) {
            moved.top = y;
            if (!keepCross) moved.left = x;
        } else {
            moved.left = x;
            if (!keepCross) moved.top = y;
        }
        moved.right = moved.left + width;
        moved.bottom = moved.top + height;
        if (!(moved == old)) {
            MoveTo(control, moved, FALSE);
            dirty = UnionOf(dirty, UnionOf(old, moved));
        }
        if (!(::GetWindowLong(control, GWL_STYLE) & WS_VISIBLE)) {
            ::ShowWindow(control, SW_SHOW);
            dirty = UnionOf(dirty, moved);
        }
        if ((flags & FLEX_PLACE_TABORDER) &&
            (static_cast<DWORD>(::GetWindowLong(control, GWL_STYLE)) & WS_TABSTOP)) {
            if (previousTab) LinkAfter(previousTab, control);
            previousTab = control;
        }
        if (column)
            y = gap + moved.bottom;
        else
            x = gap + moved.right;
    }
    if (!IsEmptyRect(dirty)) InvalidateRect(&dirty, TRUE);
}

void CFlexDialog::SetItemPlace(DWORD flags, std::initializer_list<int> ids) {
    std::vector<int> list = IdList(ids);
    list.push_back(0);
    SetDlgItemPlace(list.data(), flags | FLEX_PLACE_MEASURE, 0, -1, -1);
}

void CFlexDialog::SetItemPlace(DWORD flags, const int* ids) {
    SetDlgItemPlace(ids, flags | FLEX_PLACE_MEASURE, 0, -1, -1);
}

void CFlexDialog::SetEditAlignStyle(BOOL flag, std::initializer_list<int> ids) {
    std::vector<int> list = IdList(ids);
    list.push_back(0);
    SetEditAlignStyle(flag, list.data());
}

void CFlexDialog::SetEditAlignStyle(BOOL flag, const int* ids) {
    for (int id : IdList(ids)) {
        HWND control = ::GetDlgItem(m_hWnd, id);
        if (!control || ::GetClassName(control) != "Edit") continue;
        if (CWnd* wnd = CWnd::FromHandle(control))
            wnd->ModifyStyle(flag ? ES_RIGHT : 0, flag ? 0 : ES_RIGHT);
    }
}

void CFlexDialog::SetDlgItemLong(int id, int32_t value) {
    FlexSetDlgItemTextIfChanged(m_hWnd, id, platform::FormatInt(value));
}

void CFlexDialog::SetDlgItemDouble(int id, double value, int decimals) {
    FlexSetDlgItemTextIfChanged(m_hWnd, id, platform::FormatFixed(value, decimals));
}

void CFlexDialog::SetDlgItemNumeric(int id, double value, int decimals) {
    FlexSetDlgItemTextIfChanged(m_hWnd, id, pavlet::FlexNumericFormat(value, decimals));
}

int32_t CFlexDialog::GetDlgItemLong(int id) const {
    return platform::AtolSat(WithoutCommas(::GetDlgItemText(m_hWnd, id)));
}

double CFlexDialog::GetDlgItemDouble(int id) const {
    return platform::Atof(WithoutCommas(::GetDlgItemText(m_hWnd, id)));
}

void CFlexDialog::SetEnumChildFunctor(EnumChildFunctor functor) { gEnumChildFunctor = functor; }
CFlexDialog::EnumChildFunctor CFlexDialog::GetEnumChildFunctor() { return gEnumChildFunctor; }

BOOL CFlexDialog::PreTranslateMessage(MSG* msg) {
    if (FlexKeyboardWalk(m_hWnd, tabStyle_, msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

BOOL CFlexDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (gEnumChildFunctor)
        ::EnumChildWindows(m_hWnd, EnumChildThunk, reinterpret_cast<LPARAM>(this));
    return TRUE;
}

void CFlexDialog::DoDataExchange(CDataExchange*) {}

LRESULT CFlexDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // WM_CTLCOLORMSGBOX (0x0132) .. WM_CTLCOLORSTATIC: the kind is the distance from the first.
    constexpr UINT kFirstCtlColor = WM_CTLCOLOREDIT - CTLCOLOR_EDIT;
    if (message >= kFirstCtlColor && message <= WM_CTLCOLORSTATIC) {
        HBRUSH brush =
            OnCtlColor(reinterpret_cast<CDC*>(wParam), CWnd::FromHandle(static_cast<HWND>(lParam)),
                       message - kFirstCtlColor);
        return reinterpret_cast<LRESULT>(brush);
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

HBRUSH CFlexDialog::OnCtlColor(CDC* dc, CWnd*, UINT ctlColor) {
    if (!brush_ || !brush_->IsCreated()) return nullptr;
    if (ctlColor != CTLCOLOR_BTN && ctlColor != CTLCOLOR_DLG && ctlColor != CTLCOLOR_STATIC)
        return nullptr;
    if (dc) dc->SetBkMode(TRANSPARENT);
    return brush_.get();
}

int CFlexDialog::OnCreate() { return CDialog::OnCreate() == -1 ? -1 : 0; }

void CFlexDialog::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    if (type == SIZE_MAXSHOW || type == SIZE_MAXHIDE) return;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    for (const auto& entry : align_) {
        if (entry->flags == 0 || !::IsWindow(entry->hwnd)) continue;
        const RECT old = ::GetWindowRectIn(entry->hwnd, m_hWnd);
        const RECT moved = FlexAlignedRect(*entry, old, client);
        if (!(moved == old)) MoveTo(entry->hwnd, moved, TRUE);
    }
}

void CFlexDialog::OnDestroy() {
    CDialog::OnDestroy();
    DestroyAlignItem();
}

BOOL CFlexDialog::OnEraseBkgnd(CDC* dc) {
    // The dialog's own background is its CTLCOLOR_DLG brush, as the dialog manager paints it.
    if (dc) {
        if (HBRUSH brush = OnCtlColor(dc, this, CTLCOLOR_DLG)) {
            RECT client{};
            GetClientRect(&client);
            dc->FillRect(&client, brush);
            return TRUE;
        }
    }
    return CDialog::OnEraseBkgnd(dc);
}

void CFlexDialog::DestroyAlignItem() {
    align_.clear();
    brush_.reset();
}
