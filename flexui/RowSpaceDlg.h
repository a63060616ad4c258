// CRowSpaceDlg: the dialog (template 132) that sets a list's row spacing and may make it the
// spacing of the lists bound later.
#pragma once

#include "flexui/FlexEdit.h"
#include "flexui/LibraryDialog.h"

inline constexpr UINT IDD_ROW_SPACE = 132;
inline constexpr int IDC_ROW_SPACE_EDIT = 1004;
inline constexpr int IDC_ROW_SPACE_DEFAULT = 1005;

class CRowSpaceDlg : public CLibraryDialog {
public:
    explicit CRowSpaceDlg(CWnd* parent = nullptr);

    void SetRowSpace(int space) { rowSpace_ = space; }
    // After OK: the value entered, as a whole number.
    int GetRowSpace() const { return rowSpace_; }
    // After OK: whether "设置为默认值" was checked.
    BOOL IsDefault() const { return default_; }

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CFlexEdit edit_;
    BOOL default_ = FALSE;
    int rowSpace_ = 0;
};
