// CFavoriteArbCodeDlg: the modal dialog "设置自选交易所套利代码" in which the user picks an ordered
// list of favourite exchange combination contracts, kept under "JYSTLDM"/"HYDM" as codes
// joined by ",".
#pragma once

#include <string>
#include <vector>

#include "options/OrderedCodeTree.h"
#include "platform/ui/Dialog.h"

namespace options {

inline constexpr const char* kFavoriteArbSection = "JYSTLDM";

class CFavoriteArbCodeDlg : public CDialog {
public:
    static constexpr UINT IDD = 285;
    static constexpr int kAddId = 1001;
    static constexpr int kDeleteId = 1002;
    static constexpr int kClearId = 1003;
    static constexpr int kMoveUpId = 1004;
    static constexpr int kMoveDownId = 1005;
    static constexpr int kExchangeId = 1006;
    static constexpr int kContractListId = 1007;
    static constexpr int kFavoritesId = 1008;
    // Images of the contract list.
    static constexpr int kNotChosenImage = 0;
    static constexpr int kChosenImage = 1;

    explicit CFavoriteArbCodeDlg(CWnd* parent = nullptr);
    ~CFavoriteArbCodeDlg() override;

    BOOL OnInitDialog() override;
    // Stores the chosen codes in tree order and closes with IDOK.
    void OnOK() override;

    // The combination contract rows the list shows, in table order.
    const std::vector<int>& ListedRows() const { return listed_; }
    // The chosen codes in tree order.
    std::vector<std::string> ChosenCodes() const { return chosen_.Codes(); }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void FillList();
    void AddSelected();
    void UpdateButtons();
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // Refilled for every exchange: the combination table may have grown since the dialog
    // opened.
    std::vector<int> listed_;
    OrderedCodeTree chosen_;
    std::string text_;  // the list's answer to a display request
};

}  // namespace options
