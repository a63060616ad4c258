// CFavoriteContractDlg: the modal dialog "设置自选合约" in which the user picks and orders a list
// of favourite contracts (futures, or option underlyings for kind 3), stored under the list's
// section as "HYDM"; the quote board's list ("HYHQXS") also keeps "IncludePosition".
#pragma once

#include <string>
#include <vector>

#include "options/CodePickerDlg.h"

namespace options {

inline constexpr const char* kFavoriteQuoteSection = "HYHQXS";
inline constexpr int kUnderlyingContracts = 3;

class CFavoriteContractDlg : public CCodePickerDlg {
public:
    static constexpr UINT IDD = 286;
    static constexpr int kCategoryId = 1006;
    static constexpr int kAvailableId = kListId;
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

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    std::string OfferedText(int row) const override;
    std::string OfferedCode(int row) const override;

private:
    // A category: every contract, one exchange's, or one product's.
    struct Category {
        int exchangeRow = -1;
        int productRow = -1;
    };

    void FillCategories();
    void FillOffered();

    std::vector<Category> categories_;
    int includePosition_ = 0;
};

}  // namespace options
