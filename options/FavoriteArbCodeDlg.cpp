// CFavoriteArbCodeDlg: the exchanges with combination contracts, the list of one exchange's
// contracts and the stored list.
#include "options/FavoriteArbCodeDlg.h"

#include <vector>

#include "options/ComboChoice.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TradingHelpers.h"

namespace options {
namespace {

constexpr uint32_t kExchangeField = 599;      // JYS
constexpr uint32_t kExchangeNameField = 602;  // the exchange's full name
constexpr uint32_t kCodeField = 1060;         // ZHDM

}  // namespace

CFavoriteArbCodeDlg::CFavoriteArbCodeDlg(CWnd* parent) : CCodePickerDlg(IDD, parent) {}
CFavoriteArbCodeDlg::~CFavoriteArbCodeDlg() = default;

BOOL CFavoriteArbCodeDlg::OnInitDialog() {
    CCodePickerDlg::OnInitDialog();
    // Exchanges that have at least one combination contract.
    CFixRecord& exchanges = tradedata::ExchangeTable;
    CFixRecord& combinations = tradedata::CombinationContractTable;
    for (int row = 0; row < exchanges.GetCount(); ++row) {
        const std::string exchange = exchanges.Get(kExchangeField, row);
        bool any = false;
        for (int c = 0; c < combinations.GetCount() && !any; ++c)
            any = combinations.Get(kExchangeField, c) == exchange;
        if (!any) continue;
        const std::string name = exchanges.Get(kExchangeNameField, row);
        const LRESULT item =
            SendItem(kExchangeId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (item >= 0) SendItem(kExchangeId, CB_SETITEMDATA, static_cast<WPARAM>(item), row);
    }
    SendItem(kExchangeId, CB_SETCURSEL, 0, 0);

    // Codes that are no longer combination contracts are dropped.
    std::vector<std::string> codes;
    tradedata::SplitByChars(tradedata::LoadContractList(kFavoriteArbSection), ",", codes);
    for (const std::string& code : codes) {
        const int row = tradedata::FindCombinationContract(code.c_str());
        if (row >= 0) chosen_.Append(code, row);
    }
    FillList();
    return TRUE;
}

void CFavoriteArbCodeDlg::FillList() {
    const LRESULT selected = SendItem(kExchangeId, CB_GETCURSEL, 0, 0);
    std::string exchange;
    const bool all = selected < 0;
    if (!all) {
        const int row = static_cast<int>(SendItem(kExchangeId, CB_GETITEMDATA, selected, 0));
        exchange = tradedata::ExchangeTable.Get(kExchangeField, row);
    }
    std::vector<int> rows;
    CFixRecord& combinations = tradedata::CombinationContractTable;
    for (int row = 0; row < combinations.GetCount(); ++row)
        if (all || combinations.Get(kExchangeField, row) == exchange) rows.push_back(row);
    SetOffered(std::move(rows));
}

std::string CFavoriteArbCodeDlg::OfferedText(int row) const {
    return tradedata::CombinationContractTable.Get(kCodeField, row);
}

int CFavoriteArbCodeDlg::OfferedImage(int row) const {
    return chosen_.ContainsRow(row) ? kChosenImage : kNotChosenImage;
}

BOOL CFavoriteArbCodeDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kExchangeId &&
        IsComboChoiceMade(GetDlgItem(kExchangeId), HIWORD(wParam))) {
        FillList();
        return TRUE;
    }
    return CCodePickerDlg::OnCommand(wParam, lParam);
}

void CFavoriteArbCodeDlg::OnOK() {
    pavlet::WritePrivateConfigure(kFavoriteArbSection, "HYDM", chosen_.Joined());
    EndDialog(IDOK);
}

}  // namespace options
