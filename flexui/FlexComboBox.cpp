// CFlexComboBox: list items with hidden value texts kept in a parallel array.
#include "flexui/FlexComboBox.h"

#include "flexui/EnumDictionary.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Messages.h"

BOOL CFlexComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    values_.clear();
    return CWnd::Create("ComboBox", "", style & ~CBS_SORT, rect, parent, id);
}

int CFlexComboBox::GetCount() const {
    return static_cast<int>(::SendMessage(m_hWnd, CB_GETCOUNT, 0, 0));
}

int CFlexComboBox::GetCurSel() const {
    return static_cast<int>(::SendMessage(m_hWnd, CB_GETCURSEL, 0, 0));
}

int CFlexComboBox::SetCurSel(int index) {
    return static_cast<int>(::SendMessage(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int CFlexComboBox::AddString(std::string_view value, std::string_view text) {
    const std::string shown(text.empty() ? value : text);
    const LRESULT index =
        ::SendMessage(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    if (index < 0) return static_cast<int>(index);
    // Values follow the items by index; an item that did not land last would split them.
    if (static_cast<size_t>(index) <= values_.size())
        values_.insert(values_.begin() + index, std::string(value));
    return static_cast<int>(index);
}

int CFlexComboBox::AddString(std::string_view value) { return AddString(value, {}); }

int CFlexComboBox::AddString(int32_t value, std::string_view text) {
    return AddString(platform::FormatInt(value), text);
}

void CFlexComboBox::ResetContent() {
    ::SendMessage(m_hWnd, CB_RESETCONTENT, 0, 0);
    values_.clear();
}

void CFlexComboBox::SetString(std::string_view dictionary) {
    ResetContent();
    for (int entry = 0;; ++entry) {
        const std::string value = EnumDictField(dictionary, entry, 0, kEnumFieldLong);
        if (value.empty()) break;
        AddString(value, EnumDictField(dictionary, entry, 1, kEnumFieldLong));
    }
}

int CFlexComboBox::ResolveIndex(int index) const {
    if (index == -1) index = GetCurSel();
    if (index < 0 || index >= static_cast<int>(values_.size()) || index >= GetCount()) return -1;
    return index;
}

std::string CFlexComboBox::GetString(int index) const {
    index = ResolveIndex(index);
    return index < 0 ? std::string() : values_[static_cast<size_t>(index)];
}

int32_t CFlexComboBox::GetLong(int index) const { return platform::AtolSat(GetString(index)); }

std::string CFlexComboBox::GetNote(int index) const {
    if (index == -1) index = GetCurSel();
    if (index < 0 || index >= GetCount()) return {};
    const LRESULT length = ::SendMessage(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::SendMessage(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index),
                  reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

int CFlexComboBox::SetSel(std::string_view value) {
    for (size_t i = 0; i < values_.size(); ++i) {
        if (values_[i] == value) {
            SetCurSel(static_cast<int>(i));
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CFlexComboBox::SetSel(int32_t value) {
    for (size_t i = 0; i < values_.size(); ++i) {
        if (platform::AtolSat(values_[i]) == value) {
            SetCurSel(static_cast<int>(i));
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CFlexComboBox::SetNote(int index, std::string_view text) {
    const int selected = GetCurSel();
    index = ResolveIndex(index);
    if (index < 0) return;
    const std::string shown(text);
    ::SendMessage(m_hWnd, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    ::SendMessage(m_hWnd, CB_INSERTSTRING, static_cast<WPARAM>(index),
                  reinterpret_cast<LPARAM>(shown.c_str()));
    if (selected == index) SetCurSel(index);
}

void CFlexComboBox::Rotate(BOOL previous) {
    const int count = GetCount();
    if (count < 2) return;
    const int current = GetCurSel();
    int next = previous ? current - 1 : current + 1;
    if (next < 0) next = count - 1;
    if (next >= count) next = 0;
    SetCurSel(next);
}
