// CFavoriteContractDlg: the modal dialog "设置自选合约" in which the user picks and orders a list
// of favourite contracts (futures, or option underlyings for kind 3), stored under the list's
// section as "HYDM"; the quote board's list ("HYHQXS") also keeps "IncludePosition".
#pragma once

#include <string>
#include <vector>

#include "options/OrderedCodeTree.h"
#include "platform/ui/Dialog.h"

namespace options {

inline constexpr const char* kFavoriteQuoteSection = "HYHQXS";
inline constexpr int kUnderlyingContracts = 3;

class CFavoriteContractDlg : public CDialog {
public:
    static constexpr UINT IDD = 286;
    static constexpr int kAddId = 1001;
    static constexpr int kDeleteId = 1002;
    static constexpr int kClearId = 1003;
    static constexpr int kMoveUpId = 1004;
    static constexpr int kMoveDownId = 1005;
    static constexpr int kCategoryId = 1006;
    static constexpr int kAvailableId = 1007;
    static constexpr int kChosenId = 1008;
    static constexpr int kFilterId = 1009;
    static constexpr int kIncludePositionId = 1010;

    explicit CFavoriteContractDlg(CWnd* parent = nullptr);
    ~CFavoriteContractDlg() override;

    // Set before the dialog runs.
    std::string section = kFavoriteQuoteSection;
    std::string title;  // empty: the template's
    int kind = 0;       // kUnderlyingContracts: option underlyings; otherwise futures

    BOOL OnInitDialog() override;
    // Stores the list (and for "HYHQXS" the position switch) and closes with IDOK.
    void OnOK() override;

    // The contract rows offered, in table order; the categories' texts.
    const std::vector<int>& OfferedRows() const { return offered_; }
    std::vector<std::string> ChosenCodes() const { return chosen_.Codes(); }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // A category: every contract, one exchange's, or one product's.
    struct Category {
        int exchangeRow = -1;
        int productRow = -1;
    };

    void FillCategories();
    void FillOffered();
    void AddSelected();
    void UpdateButtons();
    std::string OfferedText(int row) const;
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    std::vector<Category> categories_;
    std::vector<int> offered_;
    OrderedCodeTree chosen_;
    std::string text_;  // the list's answer to a display request
    int includePosition_ = 0;
};

}  // namespace options
