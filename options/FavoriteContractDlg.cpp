// CFavoriteContractDlg: the categories of contracts, the offered contracts of one category
// with the typed filter, the ordered favourites and the stored list.
#include "options/FavoriteContractDlg.h"

#include <cstdio>

#include "options/ComboChoice.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "shell/SharedFonts.h"
#include "shell/services/SettingsWriters.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ReferenceData.h"
#include "tradedata/TradingHelpers.h"

namespace options {
namespace {

constexpr uint32_t kExchangeField = 599;        // JYS
constexpr uint32_t kExchangeShortField = 601;   // JYSJC
constexpr uint32_t kProductField = 720;         // ZQLB
constexpr uint32_t kProductNameField = 721;     // ZQLBMC
constexpr uint32_t kQuoteExchangeField = 1847;  // HQJYS
constexpr uint32_t kCodeField = 719;            // ZQDM
constexpr uint32_t kNameField = 722;            // ZQMC

}  // namespace

CFavoriteContractDlg::CFavoriteContractDlg(CWnd* parent) : CCodePickerDlg(IDD, parent) {}
CFavoriteContractDlg::~CFavoriteContractDlg() = default;

namespace {

CFixRecord& ContractTable(int kind) {
    return kind == kUnderlyingContracts ? tradedata::UnderlyingTable
                                        : tradedata::FuturesContractTable;
}

}  // namespace

BOOL CFavoriteContractDlg::OnInitDialog() {
    CCodePickerDlg::OnInitDialog();
    if (!title.empty()) SetWindowText(title);
    if (CFont* font = shell::GetSharedFont(shell::SharedFont::kListText))
        SendItem(kFilterId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

    const bool quoteList = section == kFavoriteQuoteSection;
    includePosition_ = pavlet::ReadPrivateConfigure(section, "IncludePosition", 0) != 0;
    CheckDlgButton(kIncludePositionId, includePosition_ ? BST_CHECKED : BST_UNCHECKED);
    if (CWnd* check = GetDlgItem(kIncludePositionId))
        check->ShowWindow(quoteList ? SW_SHOW : SW_HIDE);

    FillCategories();
    // A stored code that no longer names a contract keeps its place and its text.
    std::vector<std::string> codes;
    tradedata::SplitByChars(tradedata::LoadContractList(section), ",", codes);
    for (const std::string& code : codes) {
        const int row = kind == kUnderlyingContracts
                            ? tradedata::FindUnderlyingContract(code.c_str())
                            : tradedata::FindFuturesContract(code.c_str());
        chosen_.Append(code, row);
    }
    FillOffered();
    return TRUE;
}

void CFavoriteContractDlg::FillCategories() {
    categories_.clear();
    auto add = [&](const std::string& text, Category category) {
        const LRESULT item =
            SendItem(kCategoryId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (item < 0) return;
        SendItem(kCategoryId, CB_SETITEMDATA, static_cast<WPARAM>(item),
                 static_cast<LPARAM>(categories_.size()));
        categories_.push_back(category);
    };
    add("全部合约", {});
    CFixRecord& exchanges = tradedata::ExchangeTable;
    for (int row = 0; row < exchanges.GetCount(); ++row)
        add(exchanges.Get(kExchangeShortField, row), {row, -1});
    CFixRecord& products = tradedata::ProductTable;
    for (int row = 0; row < products.GetCount(); ++row) {
        const std::string exchange = products.Get(kExchangeField, row);
        const std::string quoteExchange = products.Get(kQuoteExchangeField, row);
        // A product quoted on another exchange is offered there.
        if (!quoteExchange.empty() && quoteExchange != exchange) continue;
        int exchangeRow = -1;
        for (int e = 0; e < exchanges.GetCount() && exchangeRow < 0; ++e)
            if (exchanges.Get(kExchangeField, e) == exchange) exchangeRow = e;
        const std::string shortName =
            exchangeRow >= 0 ? exchanges.Get(kExchangeShortField, exchangeRow) : "";
        add(shortName + " " + products.Get(kProductNameField, row), {exchangeRow, row});
    }
    SendItem(kCategoryId, CB_SETCURSEL, 0, 0);
}

std::string CFavoriteContractDlg::OfferedText(int row) const {
    CFixRecord& table = ContractTable(kind);
    const std::string code = table.Get(kCodeField, row);
    if (kind == kUnderlyingContracts) return code;
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%-6s %s", code.c_str(),
                  table.Get(kNameField, row).c_str());
    return buffer;
}

void CFavoriteContractDlg::FillOffered() {
    const LRESULT selected = SendItem(kCategoryId, CB_GETCURSEL, 0, 0);
    Category category;
    if (selected >= 0) {
        const auto index = static_cast<size_t>(SendItem(kCategoryId, CB_GETITEMDATA, selected, 0));
        if (index < categories_.size()) category = categories_[index];
    }
    std::string exchange, product;
    if (category.productRow >= 0)
        product = tradedata::ProductTable.Get(kProductField, category.productRow);
    else if (category.exchangeRow >= 0)
        exchange = tradedata::ExchangeTable.Get(kExchangeField, category.exchangeRow);
    const std::string typed = GetDlgItemText(kFilterId);

    std::vector<int> rows;
    CFixRecord& table = ContractTable(kind);
    for (int row = 0; row < table.GetCount(); ++row) {
        const std::string code = table.Get(kCodeField, row);
        if (kind != kUnderlyingContracts && tradedata::IsEfpContract(code.c_str())) continue;
        if (!exchange.empty() && table.Get(kExchangeField, row) != exchange) continue;
        if (!product.empty() && table.Get(kProductField, row) != product) continue;
        if (!typed.empty() && code.find(typed) == std::string::npos) continue;
        rows.push_back(row);
    }
    SetOffered(std::move(rows));
    if (!typed.empty() && !OfferedRows().empty()) {
        LVITEM state;
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendItem(kAvailableId, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        UpdateButtons();
    }
}

std::string CFavoriteContractDlg::OfferedCode(int row) const {
    return ContractTable(kind).Get(kCodeField, row);
}

BOOL CFavoriteContractDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kCategoryId && IsComboChoiceMade(GetDlgItem(kCategoryId), code)) {
        SetDlgItemText(kFilterId, "");
        FillOffered();
        return TRUE;
    }
    if (id == kFilterId && code == EN_CHANGE) FillOffered();
    return CCodePickerDlg::OnCommand(wParam, lParam);
}

void CFavoriteContractDlg::OnOK() {
    if (section == kFavoriteQuoteSection)
        shell::WriteConfigInt(section, "IncludePosition",
                              IsDlgButtonChecked(kIncludePositionId) == BST_CHECKED ? 1 : 0, "");
    shell::WriteConfigString(section, "HYDM", chosen_.Joined(), "");
    EndDialog(IDOK);
}

}  // namespace options
