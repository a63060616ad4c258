// CFavoriteArbCodeDlg: the exchanges with combination contracts, the list of one exchange's
// contracts, the ordered favourites tree and the stored list.
#include "options/FavoriteArbCodeDlg.h"

#include "options/ComboChoice.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "shell/SharedFonts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace options {
namespace {

constexpr uint32_t kExchangeField = 599;      // JYS
constexpr uint32_t kExchangeNameField = 602;  // the exchange's full name
constexpr uint32_t kCodeField = 1060;         // ZHDM

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(',', start), text.size());
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

CFavoriteArbCodeDlg::CFavoriteArbCodeDlg(CWnd* parent) : CDialog(IDD, parent) {}
CFavoriteArbCodeDlg::~CFavoriteArbCodeDlg() = default;

LRESULT CFavoriteArbCodeDlg::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    CWnd* item = GetDlgItem(id);
    return item ? item->SendMessage(message, wParam, lParam) : 0;
}

BOOL CFavoriteArbCodeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    chosen_.Attach(GetDlgItem(kFavoritesId));
    if (CFont* font = shell::GetSharedFont(shell::SharedFont::kListText)) {
        SendItem(kContractListId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendItem(kFavoritesId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (CWnd* list = GetDlgItem(kContractListId)) list->ModifyStyle(0, LVS_REPORT | LVS_OWNERDATA);
    SendItem(kContractListId, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
             LVS_EX_FULLROWSELECT);

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

    RECT client{};
    if (CWnd* list = GetDlgItem(kContractListId)) list->GetClientRect(&client);
    LVCOLUMN column;
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = client.right - client.left - 16;  // room for a vertical scroll bar
    char caption[] = "zqdm";
    column.pszText = caption;
    SendItem(kContractListId, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));

    // Codes that are no longer combination contracts are dropped.
    for (const std::string& code : Split(tradedata::LoadContractList(kFavoriteArbSection))) {
        const int row = tradedata::FindCombinationContract(code.c_str());
        if (row >= 0) chosen_.Append(code, row);
    }
    FillList();
    return TRUE;
}

void CFavoriteArbCodeDlg::FillList() {
    const LRESULT selected = SendItem(kExchangeId, CB_GETCURSEL, 0, 0);
    std::string exchange;
    bool all = true;
    if (selected >= 0) {
        const int row = static_cast<int>(SendItem(kExchangeId, CB_GETITEMDATA, selected, 0));
        exchange = tradedata::ExchangeTable.Get(kExchangeField, row);
        all = false;
    }
    listed_.clear();
    CFixRecord& combinations = tradedata::CombinationContractTable;
    for (int row = 0; row < combinations.GetCount(); ++row)
        if (all || combinations.Get(kExchangeField, row) == exchange) listed_.push_back(row);
    SendItem(kContractListId, LVM_SETITEMCOUNT, listed_.size(), 0);
    if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
    UpdateButtons();
}

void CFavoriteArbCodeDlg::AddSelected() {
    for (int item = static_cast<int>(SendItem(kContractListId, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
         item >= 0 && item < static_cast<int>(listed_.size());
         item = static_cast<int>(SendItem(kContractListId, LVM_GETNEXTITEM, item, LVNI_SELECTED))) {
        const int row = listed_[static_cast<size_t>(item)];
        if (!chosen_.ContainsRow(row))
            chosen_.Append(tradedata::CombinationContractTable.Get(kCodeField, row), row);
    }
}

BOOL CFavoriteArbCodeDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kExchangeId) {
        if (IsComboChoiceMade(GetDlgItem(kExchangeId), code)) {
            FillList();
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
    if (code != BN_CLICKED) return CDialog::OnCommand(wParam, lParam);
    switch (id) {
        case kAddId:
            AddSelected();
            break;
        case kDeleteId:
            chosen_.DeleteSelected();
            break;
        case kClearId:
            chosen_.Clear();
            break;
        case kMoveUpId:
        case kMoveDownId:
            chosen_.MoveSelected(id == kMoveUpId);
            break;
        default:
            return CDialog::OnCommand(wParam, lParam);
    }
    if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
    UpdateButtons();
    return TRUE;
}

BOOL CFavoriteArbCodeDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (static_cast<int>(wParam) == kContractListId && header->code == LVN_GETDISPINFO) {
        auto* info = reinterpret_cast<NMLVDISPINFO*>(lParam);
        const int item = info->item.iItem;
        if (item < 0 || item >= static_cast<int>(listed_.size())) return TRUE;
        const int row = listed_[static_cast<size_t>(item)];
        if (info->item.mask & LVIF_TEXT) {
            text_ = tradedata::CombinationContractTable.Get(kCodeField, row);
            info->item.pszText = text_.data();
        }
        if (info->item.mask & LVIF_IMAGE)
            info->item.iImage = chosen_.ContainsRow(row) ? kChosenImage : kNotChosenImage;
        return TRUE;
    }
    if (static_cast<int>(wParam) == kContractListId && header->code == NM_DBLCLK) {
        AddSelected();
        if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
    }
    const BOOL handled = CDialog::OnNotify(wParam, lParam, result);
    if (static_cast<int>(wParam) == kContractListId || static_cast<int>(wParam) == kFavoritesId)
        UpdateButtons();
    return handled;
}

void CFavoriteArbCodeDlg::UpdateButtons() {
    const struct {
        int id;
        bool enabled;
    } states[] = {
        {kMoveUpId, chosen_.HasPrevious()},
        {kMoveDownId, chosen_.HasNext()},
        {kAddId, SendItem(kContractListId, LVM_GETSELECTEDCOUNT, 0, 0) > 0},
        {kDeleteId, chosen_.Selected() != 0},
        {kClearId, chosen_.Count() > 0},
    };
    for (const auto& state : states)
        if (CWnd* button = GetDlgItem(state.id)) button->EnableWindow(state.enabled);
}

void CFavoriteArbCodeDlg::OnOK() {
    pavlet::WritePrivateConfigure(kFavoriteArbSection, "HYDM", chosen_.Joined());
    EndDialog(IDOK);
}

}  // namespace options
