// Dialog data exchange routines.
#include "platform/ui/DataExchange.h"

#include <charconv>
#include <system_error>
#include <type_traits>

#include "platform/core/Numbers.h"
#include "platform/ui/Messages.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace {

constexpr const char* kNeedInteger = "请输入一个整数。";
constexpr const char* kNeedNumber = "请输入一个数字。";

std::string_view Trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    size_t end = text.find_last_not_of(" \t");
    return std::string_view(text).substr(begin, end - begin + 1);
}

// The whole text as one number of type T; false when it is not.
template <typename T>
bool ParseWhole(const std::string& text, T* value) {
    std::string_view view = Trimmed(text);
    if (view.starts_with('+')) {
        view.remove_prefix(1);
        if (view.starts_with('-')) return false;
    }
    if (view.empty()) return false;
    if constexpr (std::is_unsigned_v<T>)
        if (view.starts_with('-')) return false;
    const char* end = view.data() + view.size();
    auto [ptr, ec] = std::from_chars(view.data(), end, *value);
    return ec == std::errc() && ptr == end;
}

template <typename T>
void ExchangeNumber(CDataExchange* dx, int id, T& value, const char* refusal) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (!dx->m_bSaveAndValidate) {
        if constexpr (std::is_floating_point_v<T>) {
            // Enough digits that the value reads back unchanged, as %.15g gives.
            char buffer[32];
            auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                           std::chars_format::general, 15);
            SetWindowText(control, ec == std::errc() ? std::string(buffer, ptr) : std::string());
        } else if constexpr (std::is_signed_v<T>) {
            SetWindowText(control, platform::FormatInt(value));
        } else {
            SetWindowText(control, platform::FormatUnsigned(value));
        }
        return;
    }
    T parsed{};
    if (!ParseWhole(GetWindowText(control), &parsed)) {
        AfxMessageBox(refusal, MB_ICONEXCLAMATION);
        dx->Fail();
    }
    value = parsed;
}

bool IsRadioButton(HWND hwnd) {
    if (GetClassName(hwnd) != "Button") return false;
    DWORD kind = static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE)) & BS_TYPEMASK;
    return kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON;
}

}  // namespace

HWND CDataExchange::PrepareCtrl(int id) {
    HWND control = m_pDlgWnd ? GetDlgItem(m_pDlgWnd->m_hWnd, id) : 0;
    if (control) last_ = control;
    return control;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && last_ && IsWindow(last_)) {
        SendMessage(last_, EM_SETSEL, 0, -1);
        SetFocus(last_);
    }
    throw DataExchangeFailure{};
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate)
        value = GetWindowText(control);
    else
        SetWindowText(control, value);
}

void DDX_Text(CDataExchange* dx, int id, int32_t& value) {
    ExchangeNumber(dx, id, value, kNeedInteger);
}
void DDX_Text(CDataExchange* dx, int id, uint32_t& value) {
    ExchangeNumber(dx, id, value, kNeedInteger);
}
void DDX_Text(CDataExchange* dx, int id, int64_t& value) {
    ExchangeNumber(dx, id, value, kNeedInteger);
}
void DDX_Text(CDataExchange* dx, int id, double& value) {
    ExchangeNumber(dx, id, value, kNeedNumber);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(SendMessage(control, BM_GETCHECK, 0, 0));
    else
        SendMessage(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND first = dx->PrepareCtrl(id);
    if (!first) return;
    if (dx->m_bSaveAndValidate) value = -1;
    int index = 0;
    for (HWND each = first; each; each = GetWindow(each, GW_HWNDNEXT)) {
        if (each != first && (GetWindowLong(each, GWL_STYLE) & WS_GROUP)) break;
        if (!IsRadioButton(each)) continue;
        if (dx->m_bSaveAndValidate) {
            if (value < 0 && SendMessage(each, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            SendMessage(each, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    if (HWND hwnd = dx->PrepareCtrl(id)) control.SubclassWindow(hwnd);
}
