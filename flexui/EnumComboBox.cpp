// CEnumComboBox: list text from the dictionary, key selection in the edit child (or in a
// drop-down list itself), spin keys and the notes of the keys.
#include "flexui/EnumComboBox.h"

#include "flexui/EnumDictionary.h"
#include "platform/core/Encoding.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"

namespace {

inline constexpr std::size_t kNoteLimit = 1023;

DWORD ComboKind(DWORD style) { return style & CBS_DROPDOWNLIST; }

}  // namespace

// The combo's edit child, subclassed so that its keys and texts go through the combo first.
class CEnumComboBox::EditHook : public CWnd {
public:
    explicit EditHook(CEnumComboBox* owner) : owner_(owner) {}

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SETTEXT && !(owner_->flags_ & kWriting)) return TRUE;
        LRESULT result = 0;
        if (owner_->HandleKeyMessage(message, wParam, &result)) return result;
        if (message == WM_LBUTTONDBLCLK) {
            owner_->Rotate(FALSE);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    CEnumComboBox* owner_;
};

CEnumComboBox::CEnumComboBox() = default;

CEnumComboBox::~CEnumComboBox() {
    if (edit_ && edit_->GetSafeHwnd()) edit_->UnsubclassWindow();
}

BOOL CEnumComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("ComboBox", "", style & ~CBS_SORT, rect, parent, id);
}

BOOL CEnumComboBox::SubclassDlgItem(UINT id, CWnd* parent) {
    return CWnd::SubclassDlgItem(id, parent);
}

void CEnumComboBox::HookEdit() {
    if (edit_ || ComboKind(GetStyle()) == CBS_DROPDOWNLIST) return;
    HWND edit = ::GetDlgItem(m_hWnd, kComboEditId);
    if (!edit) return;
    auto hook = std::make_unique<EditHook>(this);
    if (hook->SubclassWindow(edit)) edit_ = std::move(hook);
}

int CEnumComboBox::GetEnumCount() const {
    return static_cast<int>(::SendMessage(m_hWnd, CB_GETCOUNT, 0, 0));
}

std::string CEnumComboBox::GetEnumValue(int index) const {
    if (index == -1) index = current_;
    return index < 0 ? std::string() : EnumDictField(dict_, index, 0, kEnumFieldLong);
}

std::string CEnumComboBox::GetEnumText(int index) const {
    if (index == -1) index = current_;
    return index < 0 ? std::string() : EnumDictField(dict_, index, 1, kEnumFieldLong);
}

std::string CEnumComboBox::KeyText(int entry) const {
    const std::string value = EnumDictField(dict_, entry, 0, kEnumFieldShort);
    if (hotDict_.empty()) return value;
    const int hot = EnumDictFind(hotDict_, value);
    return hot < 0 ? std::string() : EnumDictField(hotDict_, hot, 1, kEnumFieldShort);
}

void CEnumComboBox::Rebuild() {
    CWnd* self = this;
    self->SendMessage(CB_RESETCONTENT);
    const int count = EnumDictCount(dict_);
    for (int entry = 0; entry < count; ++entry) {
        const std::string key = KeyText(entry);
        std::string caption = EnumDictField(dict_, entry, 1, kEnumFieldShort);
        if (!hotDict_.empty() && key.empty() && caption.empty())
            caption = EnumDictField(dict_, entry, 0, kEnumFieldShort);
        const std::string item = caption.empty() ? key : key + "  " + caption;
        self->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
}

void CEnumComboBox::Reselect(const std::string& remembered) {
    int index = EnumDictFind(dict_, remembered);
    if (index >= GetEnumCount()) index = -1;
    current_ = -1;
    if (!SetEnumIndex(index >= 0 ? index : 0)) {
        SendMessage(CB_SETCURSEL, static_cast<WPARAM>(-1));
        ShowCurrent();
    }
}

void CEnumComboBox::SetEnumDict(std::string_view dictionary) {
    const std::string remembered =
        current_ >= 0 ? EnumDictField(dict_, current_, 0, kEnumFieldShort) : std::string();
    dict_ = std::string(dictionary);
    HookEdit();
    Rebuild();
    Reselect(remembered);
}

void CEnumComboBox::SetEnumHotKey(std::string_view hotKeys) {
    const std::string remembered =
        current_ >= 0 ? EnumDictField(dict_, current_, 0, kEnumFieldShort) : std::string();
    hotDict_ = std::string(hotKeys);
    Rebuild();
    Reselect(remembered);
}

void CEnumComboBox::ShowCurrent() {
    if (!edit_) return;
    std::string text = GetEnumText(current_);
    if (text.empty()) text = GetEnumValue(current_);
    flags_ |= kWriting;
    SetWindowText(text);
    flags_ &= ~kWriting;
}

void CEnumComboBox::SelectAllText() {
    if (edit_ && CWnd::GetFocus() == edit_.get()) edit_->SendMessage(EM_SETSEL, 0, -1);
}

BOOL CEnumComboBox::SetEnumIndex(int index) {
    if (index < 0 || index >= GetEnumCount() || index == current_) return FALSE;
    current_ = index;
    SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
    ShowCurrent();
    SelectAllText();
    return TRUE;
}

BOOL CEnumComboBox::SetEnumValue(std::string_view value) {
    const int index = EnumDictFind(dict_, value);
    return index >= 0 ? SetEnumIndex(index) : FALSE;
}

void CEnumComboBox::NotifyChange() { platform::ui::NotifyParent(m_hWnd, CBN_SELCHANGE); }

void CEnumComboBox::Rotate(BOOL previous) {
    const int count = GetEnumCount();
    if (count <= 0) return;
    int next = previous ? current_ - 1 : current_ + 1;
    if (next < 0) next = count - 1;
    if (next >= count) next = 0;
    if (SetEnumIndex(next)) NotifyChange();
}

void CEnumComboBox::SetSpinKey(UINT previousKey, UINT nextKey) {
    previousKey_ = previousKey;
    nextKey_ = nextKey;
}

bool CEnumComboBox::SelectByChar(char32_t ch) {
    int index = -1;
    if (hotDict_.empty()) {
        index = EnumDictFind(dict_, EnumCharText(ch));
    } else {
        const char32_t key = EnumUnshiftedChar(ch);
        for (int hot = 0;; ++hot) {
            const std::string value = EnumDictField(hotDict_, hot, 0, kEnumFieldShort);
            if (value.empty()) break;
            const std::string hotKey = EnumDictField(hotDict_, hot, 1, kEnumFieldShort);
            if (hotKey.size() == 1 &&
                EnumUnshiftedChar(static_cast<unsigned char>(hotKey[0])) == key) {
                const int found = EnumDictFind(dict_, value);
                if (found >= 0) index = found;  // the last match wins
            }
        }
    }
    if (index < 0 || index >= GetEnumCount() || !SetEnumIndex(index)) return false;
    NotifyChange();
    return true;
}

bool CEnumComboBox::IsEditReadOnly() const { return edit_ && (edit_->GetStyle() & ES_READONLY); }

bool CEnumComboBox::HandleKeyMessage(UINT message, WPARAM wParam, LRESULT* result) {
    *result = 0;
    if (message == WM_KEYDOWN) {
        switch (static_cast<int>(wParam)) {
            case VK_BACK:
            case VK_END:
            case VK_HOME:
            case VK_LEFT:
            case VK_RIGHT:
            case VK_DELETE:
                return edit_ != nullptr;  // the edit child's caret keys do nothing
            default:
                return false;
        }
    }
    if (message != WM_CHAR) return false;
    if (IsEditReadOnly()) return true;
    const auto ch = static_cast<char32_t>(wParam);
    if (ch == U' ') {
        Rotate(FALSE);
        return true;
    }
    if (ch == U'\b') return true;
    if (ch < 0x20) return false;
    SelectByChar(ch);
    return true;
}

BOOL CEnumComboBox::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam != 0 &&
        (msg->wParam == previousKey_ || msg->wParam == nextKey_) && IsWindowEnabled() &&
        !SendMessage(CB_GETDROPPEDSTATE)) {
        Rotate(msg->wParam == previousKey_);
        return TRUE;
    }
    return CWnd::PreTranslateMessage(msg);
}

LRESULT CEnumComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && edit_) {
        if (edit_->GetSafeHwnd()) edit_->UnsubclassWindow();
        edit_.reset();
    }
    // The control alone writes what its edit part shows.
    if (message == WM_SETTEXT && edit_ && !(flags_ & kWriting)) return TRUE;
    // A drop-down list has no edit child: typed characters select here.
    if (message == WM_CHAR && !edit_ && !dict_.empty() && !SendMessage(CB_GETDROPPEDSTATE)) {
        LRESULT result = 0;
        if (HandleKeyMessage(message, wParam, &result)) return result;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CEnumComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_COMMAND) {
        switch (HIWORD(wParam)) {
            case CBN_SELENDOK:
                current_ = static_cast<int>(SendMessage(CB_GETCURSEL));
                ShowCurrent();
                return FALSE;
            case CBN_SELCHANGE:
                if (!SendMessage(CB_GETDROPPEDSTATE)) {
                    current_ = static_cast<int>(SendMessage(CB_GETCURSEL));
                    ShowCurrent();
                }
                return FALSE;
            case CBN_SETFOCUS:
                SelectAllText();
                return FALSE;
            default:
                break;
        }
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

std::string CEnumComboBox::GetNote() const {
    std::string note;
    const int count = EnumDictCount(dict_);
    for (int entry = 0; entry < count; ++entry) {
        const std::string key = KeyText(entry);
        const std::string caption = EnumDictField(dict_, entry, 1, kEnumFieldShort);
        if (!key.empty() && !caption.empty()) note += key + "：" + caption + " ";
    }
    if (note.size() > kNoteLimit) note.resize(platform::CutToGbkBudget(note, kNoteLimit));
    return note;
}
