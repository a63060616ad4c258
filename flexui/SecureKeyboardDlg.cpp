// CSecureKeyboardDlg: key rows with the shuffled digit row, joined key frames, typing into the
// target field, caps lock, and the modal runner FlexSecureKeyboard.
#include "flexui/SecureKeyboardDlg.h"

#include <QWidget>
#include <algorithm>
#include <cctype>
#include <cstring>

#include "flexui/SecureRandom.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr int kRowCount = 5;

std::vector<int> Range(int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id) ids.push_back(id);
    return ids;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> ids;
    for (const std::vector<int>& part : parts) ids.insert(ids.end(), part.begin(), part.end());
    return ids;
}

RECT ClientRectOf(const CWnd& dialog, int id) {
    return ::GetWindowRectIn(::GetDlgItem(dialog.m_hWnd, id), dialog.m_hWnd);
}

void PlaceKey(CWnd& dialog, int id, const RECT& r) {
    ::MoveWindow(::GetDlgItem(dialog.m_hWnd, id), r.left, r.top, r.right - r.left, r.bottom - r.top,
                 FALSE);
}

}  // namespace

UINT ScanCodeOfChar(char ch) {
    // The rows of a US keyboard with their first scan codes, unshifted and shifted.
    struct Row {
        const char* plain;
        const char* shifted;
        UINT first;
    };
    static const Row rows[] = {{"1234567890-=", "!@#$%^&*()_+", 0x02},
                               {"qwertyuiop[]", "QWERTYUIOP{}", 0x10},
                               {"asdfghjkl;'`", "ASDFGHJKL:\"~", 0x1E},
                               {"\\zxcvbnm,./", "|ZXCVBNM<>?", 0x2B}};
    if (ch == 0) return 0;
    if (ch == ' ') return 0x39;
    if (ch == '\b') return 0x0E;
    for (const Row& row : rows) {
        if (const char* p = std::strchr(row.plain, ch)) return row.first + (p - row.plain);
        if (const char* p = std::strchr(row.shifted, ch)) return row.first + (p - row.shifted);
    }
    return 0;
}

CSecureKeyboardDlg::CSecureKeyboardDlg(CWnd* target)
    : CFlexDialog(IDD_SECURE_KEYBOARD, target ? target->GetTopLevelParent() : nullptr),
      target_(target ? target->m_hWnd : 0),
      previousModule_(platform::ui::SetCurrentResourceModule("pavlet")) {}

CSecureKeyboardDlg::~CSecureKeyboardDlg() {
    // Restored here too when the dialog never got a window.
    if (!previousModule_.empty()) platform::ui::SetCurrentResourceModule(previousModule_);
}

void CSecureKeyboardDlg::OnDestroy() {
    CFlexDialog::OnDestroy();
    platform::ui::SetCurrentResourceModule(previousModule_);
    previousModule_.clear();
}

BOOL CSecureKeyboardDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();

    const int keyIds[] = {IDOK, IDC_SKB_BACKSPACE, IDC_SKB_CAPSLOCK};
    size_t k = 0;
    for (int id : keyIds) keys_[k++].SubclassDlgItem(id, this);
    for (int id = IDC_SKB_FIRSTCHAR; id <= IDC_SKB_LASTCHAR; ++id)
        keys_[k++].SubclassDlgItem(id, this);

    std::vector<int> digits = Range(1008, 1017);
    for (int id : digits)
        if (auto* key =
                static_cast<CFlexButton*>(CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, id))))
            key->SetFrameTemplateIndex(1);
    SecureShuffle(digits);

    rows_[0] = Join({Range(1055, 1068), {IDC_SKB_BACKSPACE}});
    rows_[1] = Join({{1044}, digits, {1045, 1046, 1049, IDC_SKB_BACKSPACE}});
    rows_[2] = Join({Range(1018, 1027), {1047, 1048, 1069, 1070, IDC_SKB_CAPSLOCK}});
    rows_[3] = Join({Range(1028, 1036), {1050, 1051, 1071, 1072, IDOK}});
    rows_[4] = Join({Range(1037, 1043), {1052, 1053, 1054, 1073, 1074, 1075, IDOK}});

    // Each row is one joined strip of frames.
    for (const std::vector<int>& row : rows_) {
        for (size_t i = 0; i < row.size(); ++i) {
            DWORD merge = i == 0                ? FLEXBTN_MERGE_RIGHT
                          : i + 1 == row.size() ? FLEXBTN_MERGE_LEFT
                                                : FLEXBTN_MERGE_LEFT | FLEXBTN_MERGE_RIGHT;
            if (auto* key = static_cast<CFlexButton*>(
                    CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, row[i]))))
                key->SetFrameMerge(merge);
        }
    }

    // The two double-height keys take one row's height while the rows are laid out, then
    // stretch over their two rows.
    RECT normal = ClientRectOf(*this, rows_[0].front());
    const int keyHeight = normal.bottom - normal.top;
    for (int id : {IDC_SKB_BACKSPACE, IDOK}) {
        RECT r = ClientRectOf(*this, id);
        r.bottom = r.top + keyHeight;
        PlaceKey(*this, id, r);
    }
    int x = -1;
    int y = -1;
    RECT backspaceTop{};
    RECT okTop{};
    for (int row = 0; row < kRowCount; ++row) {
        std::vector<int> ids = rows_[row];
        ids.push_back(0);
        SetDlgItemPlace(ids.data(), 0, -1, x, y);
        if (row == 0) {
            x = ClientRectOf(*this, rows_[0].front()).left;
            backspaceTop = ClientRectOf(*this, IDC_SKB_BACKSPACE);
        }
        if (row == 3) okTop = ClientRectOf(*this, IDOK);
        y = ClientRectOf(*this, rows_[row].back()).bottom + 1;
    }
    RECT backspace = ClientRectOf(*this, IDC_SKB_BACKSPACE);
    backspace.top = backspaceTop.top;
    PlaceKey(*this, IDC_SKB_BACKSPACE, backspace);
    RECT ok = ClientRectOf(*this, IDOK);
    ok.top = okTop.top;
    ok.right = ClientRectOf(*this, IDC_SKB_CAPSLOCK).right;
    PlaceKey(*this, IDOK, ok);
    Invalidate(TRUE);

    if (target_ && IsWindow(target_)) {
        ::SetWindowText(target_, "");
        RECT t;
        ::GetWindowRect(target_, &t);
        // The window's outer corner (frame included), as a move of a top-level window means.
        if (QWidget* widget = GetWidget()) widget->move(t.left, t.bottom + 2);
    }
    return TRUE;
}

BOOL CSecureKeyboardDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (code == BN_CLICKED) {
        if ((id >= IDC_SKB_FIRSTCHAR && id <= IDC_SKB_LASTCHAR) || id == IDC_SKB_BACKSPACE) {
            TypeKey(id);
            return TRUE;
        }
        if (id == IDC_SKB_CAPSLOCK) {
            ToggleCapsLock();
            return TRUE;
        }
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

void CSecureKeyboardDlg::TypeKey(int id) {
    if (!target_ || !IsWindow(target_)) return;
    char ch = '\b';
    if (id != IDC_SKB_BACKSPACE) {
        std::string caption = GetDlgItemText(id);
        if (caption.empty()) return;
        ch = caption[0];
    }
    LPARAM lParam = 1 | static_cast<LPARAM>(ScanCodeOfChar(ch) << 16);
    ::PostMessage(target_, WM_CHAR, static_cast<unsigned char>(ch), lParam);
}

void CSecureKeyboardDlg::ToggleCapsLock() {
    capsLock_ = !capsLock_;
    ::SendMessage(::GetDlgItem(m_hWnd, IDC_SKB_CAPSLOCK), BM_SETCHECK,
                  capsLock_ ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int id = IDC_SKB_FIRSTLETTER; id <= IDC_SKB_LASTLETTER; ++id) {
        std::string caption = GetDlgItemText(id);
        for (char& c : caption)
            c = static_cast<char>(capsLock_ ? std::toupper(static_cast<unsigned char>(c))
                                            : std::tolower(static_cast<unsigned char>(c)));
        SetDlgItemText(id, caption);
    }
}

void CSecureKeyboardDlg::OnOK() { EndDialog(IDOK); }

void CSecureKeyboardDlg::OnCancel() {
    if (target_ && IsWindow(target_)) ::SetWindowText(target_, "");
    EndDialog(IDCANCEL);
}

INT_PTR FlexSecureKeyboard(CWnd* target, int, int) {
    CSecureKeyboardDlg dialog(target);
    return dialog.DoModal();
}
