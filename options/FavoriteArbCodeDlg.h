// CFavoriteArbCodeDlg: the modal dialog "设置自选交易所套利代码" in which the user picks an ordered
// list of favourite exchange combination contracts, kept under "JYSTLDM"/"HYDM" as codes
// joined by ",".
#pragma once

#include <string>

#include "options/CodePickerDlg.h"

namespace options {

inline constexpr const char* kFavoriteArbSection = "JYSTLDM";

class CFavoriteArbCodeDlg : public CCodePickerDlg {
public:
    static constexpr UINT IDD = 285;
    static constexpr int kExchangeId = 1006;
    static constexpr int kContractListId = kListId;
    static constexpr int kFavoritesId = kChosenId;
    // Images of the contract list.
    static constexpr int kNotChosenImage = 0;
    static constexpr int kChosenImage = 1;

    explicit CFavoriteArbCodeDlg(CWnd* parent = nullptr);
    ~CFavoriteArbCodeDlg() override;

    BOOL OnInitDialog() override;
    // Stores the chosen codes in tree order and closes with IDOK.
    void OnOK() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    std::string OfferedText(int row) const override;
    std::string OfferedCode(int row) const override { return OfferedText(row); }
    int OfferedImage(int row) const override;

private:
    // Refilled for every exchange from the table as it is then: the table may have grown
    // since the dialog opened.
    void FillList();
};

}  // namespace options
