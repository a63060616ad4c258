// CCombQuoteSettingDlg: the working list rebuilt from the program's combination quotes, the
// exchange contract list with its presence marks, the custom spreads, the alarm band with its
// range, and the save.
#include "options/CombQuoteSettingDlg.h"

#include <algorithm>
#include <cmath>

#include "options/CodeList.h"
#include "options/ComboChoice.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WinDefsControls.h"
#include "record/MemRecord.h"
#include "shell/FrameMessages.h"
#include "shell/SharedFonts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/LocalLists.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/Registries.h"

namespace options {
namespace {

constexpr uint32_t kNameField = 1375;     // 组合代码
constexpr uint32_t kUpperField = 686;     // 报警上限: "价差 >="
constexpr uint32_t kLowerField = 687;     // 报警下限: "价差 <="
constexpr uint32_t kLeg1Field = 1392;     // ZQDM1
constexpr uint32_t kLeg2Field = 1393;     // ZQDM2
constexpr uint32_t kCodeField = 1060;     // ZHDM
constexpr uint32_t kRowField = 3062;      // RECNO
constexpr uint32_t kExchangeField = 599;  // JYS
constexpr uint32_t kExchangeNameField = 602;
constexpr uint32_t kOrderTypesField = 1681;  // DDLX
constexpr uint32_t kFuturesCodeField = 719;
constexpr uint32_t kTickField = 594;
constexpr uint32_t kLimitUpField = 706;
constexpr uint32_t kLimitDownField = 703;

// Exchanges whose order types carry exchange arbitrage instructions.
constexpr int32_t kArbitrageOrders = 4;
// The grid's extended style: grid lines and the row indicator.
constexpr uint32_t kGridStyle = GRID_GRIDLINES | GRID_INDICATOR;
// The band edits: an empty field for 0 and a spin button; a spread may be negative.
constexpr DWORD kBandEditStyle = FES_ZEROEMPTY | FES_SPIN;

const tagFIXHEADERINFO kLayout[] = {{1375, "组合代码", "C64", 0}, {686, "报警上限", "R9.2", 0},
                                    {687, "报警下限", "R9.2", 0}, {100, "color", "N1", 0},
                                    {1392, "ZQDM1", "C32", 0},    {1393, "ZQDM2", "C32", 0},
                                    {1060, "ZHDM", "C64", 0},     {3062, "RECNO", "N10", 0},
                                    {644, "FLAGS", "N1", 0},      {0, "", "", 0}};
// Columns kept by the grid but not shown.
constexpr unsigned kHiddenFields[] = {100, 1392, 1393, 1060, 3062, 644};

bool Known(double limit) { return std::isfinite(limit) && std::fabs(limit) > 0.000001; }

}  // namespace

SpreadRange CustomSpreadRange(double up1, double down1, double up2, double down2) {
    if (!Known(up1) || !Known(down1) || !Known(up2) || !Known(down2)) return {};
    return SpreadRange{down1 - up2, up1 - down2};
}

CCombQuoteSettingDlg::CCombQuoteSettingDlg(CWnd* parent) : CFlexDialog(IDD, parent) {}
CCombQuoteSettingDlg::~CCombQuoteSettingDlg() = default;

LRESULT CCombQuoteSettingDlg::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessage(m_hWnd, id, message, wParam, lParam);
}

BOOL CCombQuoteSettingDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    PrepareCodeList(GetDlgItem(kContractListId));
    if (CFont* font = shell::GetSharedFont(shell::SharedFont::kListText))
        SendItem(kContractListId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    upper_.SubclassDlgItem(kUpperId, this);
    lower_.SubclassDlgItem(kLowerId, this);
    for (CFlexEdit* edit : {&upper_, &lower_})
        edit->SetFloatProperty(2, 0.01, 0, 0, kBandEditStyle);

    rows_.Create(kLayout);
    grid_.SubclassDlgItem(kGridId, this);
    grid_.SetExStyle(kGridStyle, kGridStyle);
    grid_.SetRecord(&rows_);
    for (unsigned id : kHiddenFields) {
        const int column = grid_.GetColumnIndex(static_cast<int>(id));
        if (column >= 0) grid_.MoveColumn(column, -1);
    }

    CFixRecord& exchanges = tradedata::ExchangeTable;
    for (int row = 0; row < exchanges.GetCount(); ++row) {
        if (!(exchanges.GetLong(kOrderTypesField, row) & kArbitrageOrders)) continue;
        const std::string name = exchanges.Get(kExchangeNameField, row);
        const LRESULT item =
            SendItem(kExchangeId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (item >= 0) SendItem(kExchangeId, CB_SETITEMDATA, static_cast<WPARAM>(item), row);
    }
    SendItem(kExchangeId, CB_SETCURSEL, 0);

    tradedata::AddNotifyWindow(m_hWnd);
    PostMessage(shell::WM_FRAME_REFRESH, kRefreshLegs | kRefreshCombinations, 0);
    UpdateButtons();
    return TRUE;
}

void CCombQuoteSettingDlg::OnDestroy() {
    tradedata::RemoveNotifyWindow(m_hWnd);
    // The marks say "in the list being edited"; with the dialog gone no list is.
    tradedata::ClearFlagsInAllRows(tradedata::CombinationContractTable, kMarkInCombinationQuotes);
    CFlexDialog::OnDestroy();
}

LRESULT CCombQuoteSettingDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == shell::WM_FRAME_REFRESH) {
        OnRefresh(wParam);
        return 0;
    }
    return CFlexDialog::WindowProc(message, wParam, lParam);
}

void CCombQuoteSettingDlg::OnRefresh(WPARAM mask) {
    if (mask == 2) return;  // a list worker's report: not this dialog's
    pending_ |= static_cast<uint32_t>(mask);
    const uint32_t work = pending_;
    pending_ = 0;
    if (work & kRefreshLegs) FillLegs();
    if (work & kRefreshCombinations)
        tradedata::ClearFlagsInAllRows(tradedata::CombinationContractTable,
                                       kMarkInCombinationQuotes);
    if (!(work & (kRefreshLegs | kRefreshCombinations))) return;
    RebuildRows();
    RefreshGrid(rows_.GetCount() > 0 ? 0 : -1);
    if (SendItem(kExchangeId, CB_GETCOUNT) > 0) FillList();
    UpdateButtons();
}

void CCombQuoteSettingDlg::FillLegs() {
    CFixRecord& futures = tradedata::FuturesContractTable;
    for (int id : {kLeg1Id, kLeg2Id}) SendItem(id, CB_RESETCONTENT);
    for (int row = 0; row < futures.GetCount(); ++row) {
        const std::string code = futures.Get(kFuturesCodeField, row);
        for (int id : {kLeg1Id, kLeg2Id})
            SendItem(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(code.c_str()));
    }
}

void CCombQuoteSettingDlg::RebuildRows() {
    rows_.Create(kLayout);
    bandRow_ = -1;
    CFixRecord& source = tradedata::CombinationQuoteListTable;
    struct Kept {
        std::string name, leg1, leg2, code;
        double upper, lower;
        int combination;
    };
    std::vector<Kept> kept;
    source.acquireLockShared();
    for (int row = 0; row < source.GetCount(); ++row) {
        Kept k{source.Get(kNameField, row),
               source.Get(kLeg1Field, row),
               source.Get(kLeg2Field, row),
               source.Get(kCodeField, row),
               source.GetDouble(kUpperField, row),
               source.GetDouble(kLowerField, row),
               -1};
        kept.push_back(std::move(k));
    }
    source.releaseLockShared();
    // The lookups take the contract tables' locks, so they run after the list's is released.
    for (Kept& k : kept) {
        if (!k.code.empty()) {
            k.combination = tradedata::FindCombinationContract(k.code.c_str());
            if (k.combination < 0) continue;
            MarkPresent(k.combination, true);
        } else if (tradedata::FindFuturesContract(k.leg1.c_str()) < 0 ||
                   tradedata::FindFuturesContract(k.leg2.c_str()) < 0) {
            continue;
        }
        const int row = rows_.GetMemRecord()->Append(nullptr, true);
        rows_.Set(kNameField, k.name, row);
        rows_.Set(kLeg1Field, k.leg1, row);
        rows_.Set(kLeg2Field, k.leg2, row);
        rows_.Set(kCodeField, k.code, row);
        rows_.Set(kUpperField, k.upper, row);
        rows_.Set(kLowerField, k.lower, row);
        rows_.Set(kRowField, int32_t{k.combination}, row);
    }
}

void CCombQuoteSettingDlg::FillList() {
    const LRESULT selected = SendItem(kExchangeId, CB_GETCURSEL);
    std::string exchange;
    if (selected >= 0) {
        const int row = static_cast<int>(SendItem(kExchangeId, CB_GETITEMDATA, selected));
        exchange = tradedata::ExchangeTable.Get(kExchangeField, row);
    }
    offered_.clear();
    CFixRecord& combinations = tradedata::CombinationContractTable;
    for (int row = 0; row < combinations.GetCount(); ++row)
        if (selected < 0 || combinations.Get(kExchangeField, row) == exchange)
            offered_.push_back(row);
    SendItem(kContractListId, LVM_SETITEMCOUNT, offered_.size(), 0);
    if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
}

void CCombQuoteSettingDlg::MarkPresent(int combinationRow, bool present) {
    if (combinationRow < 0) return;
    tradedata::UpdateContractFlags(kMarkInCombinationQuotes, present ? kMarkInCombinationQuotes : 0,
                                   tradedata::kCombinationRef | combinationRow);
}

bool CCombQuoteSettingDlg::IsListed(int combinationRow) const {
    return (tradedata::CombinationContractTable.GetLong(644, combinationRow) &
            kMarkInCombinationQuotes) != 0;
}

bool CCombQuoteSettingDlg::IsPairListed(const std::string& leg1, const std::string& leg2) const {
    auto& rows = const_cast<CFixRecord&>(rows_);
    for (int row = 0; row < rows.GetCount(); ++row)
        if (rows.Get(kLeg1Field, row) == leg1 && rows.Get(kLeg2Field, row) == leg2) return true;
    return false;
}

std::string CCombQuoteSettingDlg::LegText(int id) const {
    const LRESULT item = SendItem(id, CB_GETCURSEL);
    if (item < 0) return {};
    char text[64] = {};
    if (SendItem(id, CB_GETLBTEXTLEN, item) >= static_cast<LRESULT>(sizeof text)) return {};
    SendItem(id, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<int> CCombQuoteSettingDlg::SelectedListRows() const {
    std::vector<int> rows;
    for (int item = static_cast<int>(
             SendItem(kContractListId, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         item >= 0 && item < static_cast<int>(offered_.size());
         item = static_cast<int>(SendItem(kContractListId, LVM_GETNEXTITEM, item, LVNI_SELECTED)))
        rows.push_back(offered_[static_cast<std::size_t>(item)]);
    return rows;
}

int CCombQuoteSettingDlg::ActiveRow() {
    const int display = grid_.GetActiveItem();
    if (display < 0 || display >= rows_.GetCount()) return -1;
    const int row = grid_.GetMapRecno(display);
    return row >= 0 && row < rows_.GetCount() ? row : -1;
}

std::vector<int> CCombQuoteSettingDlg::SelectedRows() {
    std::vector<int> rows;
    for (int display = static_cast<int>(
             grid_.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         display >= 0 && display < rows_.GetCount();
         display = static_cast<int>(grid_.SendMessage(LVM_GETNEXTITEM, display, LVNI_SELECTED))) {
        const int row = grid_.GetMapRecno(display);
        if (row >= 0 && row < rows_.GetCount()) rows.push_back(row);
    }
    if (rows.empty())
        if (const int row = ActiveRow(); row >= 0) rows.push_back(row);
    return rows;
}

void CCombQuoteSettingDlg::RefreshGrid(int active) {
    grid_.Refresh();
    if (active >= 0 && active < rows_.GetCount()) grid_.SetActiveItem(active);
    OnRowChosen();
}

BOOL CCombQuoteSettingDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (code == BN_CLICKED) {
        switch (id) {
            case kAddExchangeId:
                OnAddExchange();
                return TRUE;
            case kAddCustomId:
                OnAddCustom();
                return TRUE;
            case kDeleteId:
                OnDelete();
                return TRUE;
            case kClearId:
                OnClear();
                return TRUE;
            case kMoveUpId:
                OnMove(-1);
                return TRUE;
            case kMoveDownId:
                OnMove(1);
                return TRUE;
            default:
                break;
        }
    }
    if (id == kExchangeId && IsComboChoiceMade(GetDlgItem(kExchangeId), code)) {
        FillList();
        UpdateButtons();
        return TRUE;
    }
    if ((id == kLeg1Id || id == kLeg2Id) && IsComboChoiceMade(GetDlgItem(id), code)) {
        UpdateButtons();
        return TRUE;
    }
    if ((id == kUpperId || id == kLowerId) && code == EN_CHANGE && !loadingBand_)
        (id == kUpperId ? upperChanged_ : lowerChanged_) = true;
    if ((id == kUpperId || id == kLowerId) && code == EN_KILLFOCUS) OnBandEdited(id);
    return CFlexDialog::OnCommand(wParam, lParam);
}

BOOL CCombQuoteSettingDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    const int id = static_cast<int>(wParam);
    if (id == kContractListId && header->code == LVN_GETDISPINFO) {
        AnswerCodeDisplay(
            reinterpret_cast<NMLVDISPINFO*>(lParam), offered_, text_,
            [](int row) { return tradedata::CombinationContractTable.Get(kCodeField, row); },
            [this](int row) { return IsListed(row) ? kPresentImage : kAbsentImage; });
        return TRUE;
    }
    if (id == kContractListId && header->code == NM_DBLCLK) {
        CWnd* add = GetDlgItem(kAddExchangeId);
        if (add && add->IsWindowEnabled()) OnAddExchange();
    }
    const BOOL handled = CFlexDialog::OnNotify(wParam, lParam, result);
    if (id == kGridId) OnRowChosen();
    if (id == kGridId || id == kContractListId) UpdateButtons();
    return handled;
}

void CCombQuoteSettingDlg::OnAddExchange() {
    CFixRecord& combinations = tradedata::CombinationContractTable;
    for (int combination : SelectedListRows()) {
        if (IsListed(combination)) continue;
        const std::string code = combinations.Get(kCodeField, combination);
        const int row = rows_.GetMemRecord()->Append(nullptr, true);
        rows_.Set(kNameField, code, row);
        rows_.Set(kCodeField, code, row);
        rows_.Set(kRowField, int32_t{combination}, row);
        MarkPresent(combination, true);
    }
    RefreshGrid(ActiveRow() >= 0 ? grid_.GetActiveItem() : 0);
    if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
    UpdateButtons();
}

void CCombQuoteSettingDlg::OnAddCustom() {
    const std::string leg1 = LegText(kLeg1Id);
    const std::string leg2 = LegText(kLeg2Id);
    if (leg1.empty() || leg2.empty() || leg1 == leg2 || IsPairListed(leg1, leg2)) return;
    const int row = rows_.GetMemRecord()->Append(nullptr, true);
    rows_.Set(kNameField, leg1 + " / " + leg2, row);
    rows_.Set(kLeg1Field, leg1, row);
    rows_.Set(kLeg2Field, leg2, row);
    rows_.Set(kRowField, int32_t{-1}, row);
    RefreshGrid(row);
    UpdateButtons();
}

void CCombQuoteSettingDlg::OnDelete() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    // From the last, so the rows still to delete keep their numbers.
    std::sort(rows.rbegin(), rows.rend());
    for (int row : rows) {
        if (!rows_.Get(kCodeField, row).empty()) MarkPresent(rows_.GetLong(kRowField, row), false);
        rows_.GetMemRecord()->Delete(row);
    }
    bandRow_ = -1;
    const int next = std::min(rows.back(), rows_.GetCount() - 1);
    RefreshGrid(next);
    if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
    UpdateButtons();
}

void CCombQuoteSettingDlg::OnClear() {
    rows_.GetMemRecord()->Empty();
    tradedata::ClearFlagsInAllRows(tradedata::CombinationContractTable, kMarkInCombinationQuotes);
    bandRow_ = -1;
    RefreshGrid(-1);
    if (CWnd* list = GetDlgItem(kContractListId)) list->Invalidate();
    UpdateButtons();
}

void CCombQuoteSettingDlg::OnMove(int offset) {
    const int row = ActiveRow();
    const int other = row + offset;
    if (row < 0 || other < 0 || other >= rows_.GetCount()) return;
    rows_.GetMemRecord()->Swap(row, other);
    bandRow_ = -1;
    RefreshGrid(other);
    UpdateButtons();
}

void CCombQuoteSettingDlg::OnRowChosen() {
    const int row = ActiveRow();
    if (row == bandRow_) return;
    bandRow_ = row;
    loadingBand_ = true;
    upperChanged_ = lowerChanged_ = false;
    if (row < 0) {
        upper_.Empty();
        lower_.Empty();
        loadingBand_ = false;
        return;
    }
    int decimals = 2;
    double tick = 0.01;
    SpreadRange range;
    const std::string code = rows_.Get(kCodeField, row);
    if (code.empty()) {
        const std::string leg1 = rows_.Get(kLeg1Field, row);
        const std::string leg2 = rows_.Get(kLeg2Field, row);
        for (auto [id, leg] : {std::pair{kLeg1Id, &leg1}, std::pair{kLeg2Id, &leg2}})
            SendItem(id, CB_SETCURSEL,
                     static_cast<WPARAM>(SendItem(id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(leg->c_str()))));
        CFixRecord& futures = tradedata::FuturesContractTable;
        const int row1 = tradedata::FindFuturesContract(leg1.c_str());
        const int row2 = tradedata::FindFuturesContract(leg2.c_str());
        if (row1 >= 0 && row2 >= 0) {
            tick =
                std::max(futures.GetDouble(kTickField, row1), futures.GetDouble(kTickField, row2));
            range = CustomSpreadRange(
                futures.GetDouble(kLimitUpField, row1), futures.GetDouble(kLimitDownField, row1),
                futures.GetDouble(kLimitUpField, row2), futures.GetDouble(kLimitDownField, row2));
        }
    } else {
        // An exchange arbitrage contract: its own tick and its own price limits.
        CFixRecord& combinations = tradedata::CombinationContractTable;
        const int combination = tradedata::FindCombinationContract(code.c_str());
        if (combination >= 0) {
            tick = combinations.GetDouble(kTickField, combination);
            const double up = combinations.GetDouble(kLimitUpField, combination);
            const double down = combinations.GetDouble(kLimitDownField, combination);
            if (Known(up) && Known(down) && down <= up) range = SpreadRange{down, up};
        }
    }
    if (!(std::isfinite(tick) && tick > 0)) tick = 0.01;
    decimals = tradedata::GetTickDecimals(tick);
    for (CFlexEdit* edit : {&upper_, &lower_})
        edit->SetFloatProperty(decimals, tick, range.minimum, range.maximum, kBandEditStyle);
    upper_.SetValue(rows_.GetDouble(kUpperField, row));
    lower_.SetValue(rows_.GetDouble(kLowerField, row));
    loadingBand_ = false;
    upperChanged_ = lowerChanged_ = false;
}

void CCombQuoteSettingDlg::OnBandEdited(int id) {
    bool& changed = id == kUpperId ? upperChanged_ : lowerChanged_;
    if (!changed || bandRow_ < 0 || bandRow_ >= rows_.GetCount()) return;
    changed = false;
    CFlexEdit& edit = id == kUpperId ? upper_ : lower_;
    rows_.Set(id == kUpperId ? kUpperField : kLowerField, edit.GetDouble(), bandRow_);
    grid_.Refresh();
}

void CCombQuoteSettingDlg::UpdateButtons() {
    const int row = ActiveRow();
    const int count = rows_.GetCount();
    const std::vector<int> listRows = SelectedListRows();
    const bool canAdd = std::any_of(listRows.begin(), listRows.end(),
                                    [this](int combination) { return !IsListed(combination); });
    const std::string leg1 = LegText(kLeg1Id);
    const std::string leg2 = LegText(kLeg2Id);
    const bool canAddCustom =
        !leg1.empty() && !leg2.empty() && leg1 != leg2 && !IsPairListed(leg1, leg2);
    const struct {
        int id;
        bool enabled;
    } states[] = {
        {kAddExchangeId, canAdd}, {kAddCustomId, canAddCustom},
        {kDeleteId, row >= 0},    {kUpperId, row >= 0},
        {kLowerId, row >= 0},     {kClearId, count > 0},
        {kMoveUpId, row > 0},     {kMoveDownId, row >= 0 && row < count - 1},
    };
    for (const auto& state : states)
        if (CWnd* control = GetDlgItem(state.id)) control->EnableWindow(state.enabled);
}

void CCombQuoteSettingDlg::OnOK() {
    // A band value typed but not yet left counts.
    OnBandEdited(kUpperId);
    OnBandEdited(kLowerId);
    tradedata::SaveCombinationQuotes(rows_);
    tradedata::LoadCombinationQuotes();
    EndDialog(IDOK);
}

}  // namespace options
