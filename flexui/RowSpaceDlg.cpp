// CRowSpaceDlg: a whole-number edit and the default check box.
#include "flexui/RowSpaceDlg.h"

namespace {

// The most a list keeps in its attributes.
constexpr int32_t kMaxRowSpace = 255;

}  // namespace

CRowSpaceDlg::CRowSpaceDlg(CWnd* parent) : CLibraryDialog(IDD_ROW_SPACE, parent) {}

BOOL CRowSpaceDlg::OnInitDialog() {
    CLibraryDialog::OnInitDialog();
    edit_.SubclassDlgItem(IDC_ROW_SPACE_EDIT, this);
    edit_.SetIntegerProperty(1, 0, kMaxRowSpace, FES_NONEGATIVE);
    edit_.SetValue(static_cast<int32_t>(rowSpace_));
    CheckDlgButton(IDC_ROW_SPACE_DEFAULT, default_ ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void CRowSpaceDlg::OnOK() {
    rowSpace_ = edit_.GetLong();
    default_ = IsDlgButtonChecked(IDC_ROW_SPACE_DEFAULT) == BST_CHECKED;
    CLibraryDialog::OnOK();
}
