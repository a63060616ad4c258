// CColumnOrderDlg: the dialog (template 131) in which the user picks the columns of a list
// and their order; a tree item per field, its image telling whether the column is shown.
#pragma once

#include <string>

#include "flexui/LibraryDialog.h"
#include "flexui/TickTree.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/WinDefsCommonControls.h"

inline constexpr UINT IDD_COLUMN_ORDER = 131;
inline constexpr int IDC_COLUMN_TREE = 1000;
inline constexpr int IDC_COLUMN_UP = 1001;
inline constexpr int IDC_COLUMN_DOWN = 1002;
inline constexpr int IDC_COLUMN_DEFAULT = 1003;

class CColumnOrderDlg : public CLibraryDialog {
public:
    static constexpr int kImageSize = 17;
    static constexpr COLORREF kTreeBkColor = 0xC2F0FF;
    static constexpr COLORREF kSelectedBkColor = 0x9A3165;

    explicit CColumnOrderDlg(CWnd* parent = nullptr);
    ~CColumnOrderDlg() override;

    // The order text: field identities joined by ","; an item may carry ":width", which is
    // ignored. After OK it holds the result: the checked identities in tree order.
    void SetColumnOrder(const std::string& order) { order_ = order; }
    const std::string& GetColumnOrder() const { return order_; }
    // The fields offered: "%d:%s" items (identity, caption) joined by ",".
    void SetFieldList(const std::string& fields) { fields_ = fields; }
    const std::string& GetFieldList() const { return fields_; }

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void FillTree(const std::string& order);
    void UpdateMoveButtons();

    CTickTree tree_;
    std::string order_;
    std::string fields_;
    CImageList images_;
};

// Runs the dialog modally over `parent` with an order and the fields offered; TRUE with the
// chosen order in *result after OK.
BOOL RunColumnOrderDialog(CWnd* parent, const std::string& order, const std::string& fields,
                          std::string* result);
