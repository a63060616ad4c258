// COptionCombCodeDlg: the working copy of the option combination list, its delete, clear and
// move commands, and the save that writes it back.
#include "options/OptionCombCodeDlg.h"

#include "record/MemRecord.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/LocalLists.h"

namespace options {
namespace {

const tagFIXHEADERINFO kLayout[] = {{601, "交易所", "C16", 0},      {3053, "组合类型", "C16", 0},
                                    {1392, "期权合约一", "C32", 0}, {1393, "期权合约二", "C32", 0},
                                    {100, "color", "N1", 0},        {1332, "TYPE", "N1", 0},
                                    {1060, "ZHDM", "C64", 0},       {0, "", "", 0}};
// Columns kept by the grid but not shown.
constexpr unsigned kHiddenFields[] = {100, 1332, 1060};

}  // namespace

COptionCombCodeDlg::COptionCombCodeDlg(CWnd* parent) : CFlexDialog(IDD, parent) {}
COptionCombCodeDlg::~COptionCombCodeDlg() = default;

BOOL COptionCombCodeDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    rows_.Create(kLayout);
    CFixRecord& source = tradedata::OptionCombinationTable;
    source.acquireLockShared();
    for (int row = 0; row < source.GetCount(); ++row) {
        const int copy = rows_.GetMemRecord()->Append(nullptr, true);
        for (const tagFIXHEADERINFO* field = kLayout; field->id != 0; ++field)
            rows_.Set(field->id, source.Get(field->id, row).c_str(), copy);
    }
    source.releaseLockShared();

    grid_.SubclassDlgItem(kGridId, this);
    grid_.SetRecord(&rows_);
    for (unsigned id : kHiddenFields) {
        const int column = grid_.GetColumnIndex(static_cast<int>(id));
        if (column >= 0) grid_.MoveColumn(column, -1);
    }
    grid_.Refresh();
    if (rows_.GetCount() > 0) grid_.SetActiveItem(0);
    UpdateButtons();
    return TRUE;
}

int COptionCombCodeDlg::ActiveRow() {
    const int display = grid_.GetActiveItem();
    if (display < 0 || display >= rows_.GetCount()) return -1;
    const int row = grid_.GetMapRecno(display);
    return row >= 0 && row < rows_.GetCount() ? row : -1;
}

BOOL COptionCombCodeDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case kDeleteId:
                if (const int row = ActiveRow(); row >= 0) {
                    rows_.GetMemRecord()->Delete(row);
                    grid_.Refresh();
                    if (rows_.GetCount() > 0)
                        grid_.SetActiveItem(row < rows_.GetCount() ? row : rows_.GetCount() - 1);
                }
                UpdateButtons();
                return TRUE;
            case kClearId:
                rows_.GetMemRecord()->Empty();
                grid_.Refresh();
                UpdateButtons();
                return TRUE;
            case kMoveUpId:
                Move(-1);
                return TRUE;
            case kMoveDownId:
                Move(1);
                return TRUE;
            default:
                break;
        }
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

BOOL COptionCombCodeDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const BOOL handled = CFlexDialog::OnNotify(wParam, lParam, result);
    if (static_cast<int>(wParam) == kGridId) UpdateButtons();
    return handled;
}

void COptionCombCodeDlg::Move(int offset) {
    const int row = ActiveRow();
    const int other = row + offset;
    if (row < 0 || other < 0 || other >= rows_.GetCount()) return;
    rows_.GetMemRecord()->Swap(row, other);
    grid_.Refresh();
    grid_.SetActiveItem(other);
    UpdateButtons();
}

void COptionCombCodeDlg::UpdateButtons() {
    const int row = ActiveRow();
    const int count = rows_.GetCount();
    const struct {
        int id;
        bool enabled;
    } states[] = {
        {kDeleteId, row >= 0},
        {kClearId, count > 0},
        {kMoveUpId, row > 0},
        {kMoveDownId, row >= 0 && row < count - 1},
    };
    for (const auto& state : states)
        if (CWnd* button = GetDlgItem(state.id)) button->EnableWindow(state.enabled);
}

void COptionCombCodeDlg::OnOK() {
    tradedata::SaveOptionCombinations(rows_);
    tradedata::LoadOptionCombinations(tradedata::OptionCombinationTable);
    EndDialog(IDOK);
}

}  // namespace options
