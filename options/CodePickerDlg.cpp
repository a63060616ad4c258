// CCodePickerDlg: the offered list, the chosen tree and their buttons.
#include "options/CodePickerDlg.h"

#include "options/CodeList.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "shell/SharedFonts.h"

namespace options {

CCodePickerDlg::CCodePickerDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}
CCodePickerDlg::~CCodePickerDlg() = default;

LRESULT CCodePickerDlg::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessage(m_hWnd, id, message, wParam, lParam);
}

BOOL CCodePickerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    chosen_.Attach(GetDlgItem(kChosenId));
    if (CFont* font = shell::GetSharedFont(shell::SharedFont::kListText)) {
        SendItem(kListId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendItem(kChosenId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    PrepareCodeList(GetDlgItem(kListId));
    return TRUE;
}

void CCodePickerDlg::SetOffered(std::vector<int> rows) {
    offered_ = std::move(rows);
    SendItem(kListId, LVM_SETITEMCOUNT, offered_.size(), 0);
    if (CWnd* list = GetDlgItem(kListId)) list->Invalidate();
    UpdateButtons();
}

void CCodePickerDlg::AddSelected() {
    for (int item = static_cast<int>(SendItem(kListId, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
         item >= 0 && item < static_cast<int>(offered_.size());
         item = static_cast<int>(SendItem(kListId, LVM_GETNEXTITEM, item, LVNI_SELECTED))) {
        const int row = offered_[static_cast<size_t>(item)];
        if (!chosen_.ContainsRow(row)) chosen_.Append(OfferedCode(row), row);
    }
}

BOOL CCodePickerDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) != BN_CLICKED) return CDialog::OnCommand(wParam, lParam);
    switch (id) {
        case kAddId:
            AddSelected();
            break;
        case kDeleteId:
            chosen_.DeleteSelected();
            break;
        case kClearId:
            chosen_.Clear();
            break;
        case kMoveUpId:
        case kMoveDownId:
            chosen_.MoveSelected(id == kMoveUpId);
            break;
        default:
            return CDialog::OnCommand(wParam, lParam);
    }
    // The list's marks follow the chosen codes.
    if (CWnd* list = GetDlgItem(kListId)) list->Invalidate();
    UpdateButtons();
    return TRUE;
}

BOOL CCodePickerDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    const int id = static_cast<int>(wParam);
    if (id == kListId && header->code == LVN_GETDISPINFO) {
        AnswerCodeDisplay(
            reinterpret_cast<NMLVDISPINFO*>(lParam), offered_, text_,
            [this](int row) { return OfferedText(row); },
            [this](int row) { return OfferedImage(row); });
        return TRUE;
    }
    if (id == kListId && header->code == NM_DBLCLK) {
        AddSelected();
        if (CWnd* list = GetDlgItem(kListId)) list->Invalidate();
    }
    const BOOL handled = CDialog::OnNotify(wParam, lParam, result);
    if (id == kListId || id == kChosenId) UpdateButtons();
    return handled;
}

void CCodePickerDlg::UpdateButtons() {
    const struct {
        int id;
        bool enabled;
    } states[] = {
        {kMoveUpId, chosen_.HasPrevious()},
        {kMoveDownId, chosen_.HasNext()},
        {kAddId, SendItem(kListId, LVM_GETSELECTEDCOUNT, 0, 0) > 0},
        {kDeleteId, chosen_.Selected() != 0},
        {kClearId, chosen_.Count() > 0},
    };
    for (const auto& state : states)
        if (CWnd* button = GetDlgItem(state.id)) button->EnableWindow(state.enabled);
}

}  // namespace options
