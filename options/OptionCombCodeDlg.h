// COptionCombCodeDlg: the modal dialog "期权组合代码维护" over the user's favourite option
// combinations; it only deletes and reorders them, and saves the list in its new order.
#pragma once

#include "flexui/FlexDialog.h"
#include "flexui/GridCtrl.h"
#include "record/FixRecord.h"

namespace options {

class COptionCombCodeDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 284;
    static constexpr int kGridId = 1000;
    static constexpr int kDeleteId = 1001;
    static constexpr int kClearId = 1002;
    static constexpr int kMoveUpId = 1003;
    static constexpr int kMoveDownId = 1004;

    explicit COptionCombCodeDlg(CWnd* parent = nullptr);
    ~COptionCombCodeDlg() override;

    BOOL OnInitDialog() override;
    // "保存": rewrites the stored list in the grid's order, reloads the program's list, closes
    // with IDOK. "取消" leaves the list as it was.
    void OnOK() override;

    // The working list, in the grid's order.
    CFixRecord& Rows() { return rows_; }
    CGridCtrl& Grid() { return grid_; }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    int ActiveRow();
    void Move(int offset);
    void UpdateButtons();

    CGridCtrl grid_;
    CFixRecord rows_;
};

}  // namespace options
