// CColumnOrderDlg: filling the field tree (a CTickTree) from the order text, the move buttons
// and the result.
#include "flexui/ColumnOrderDlg.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "flexui/FlexBitmaps.h"
#include "platform/core/Numbers.h"
#include "platform/ui/CmdUI.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr int kItemHeight = 18;
constexpr COLORREF kImageMask = 0x800080;

struct Field {
    int32_t id = 0;
    std::string caption;
};

std::vector<std::string_view> SplitItems(std::string_view text) {
    std::vector<std::string_view> items;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(',', start), text.size());
        items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// "%d:%s" items; a caption may itself hold ':' (only the first one separates).
std::vector<Field> ParseFields(std::string_view text) {
    std::vector<Field> fields;
    for (std::string_view item : SplitItems(text)) {
        Field field;
        field.id = platform::AtolSat(item);
        if (field.id <= 0) continue;
        const size_t colon = item.find(':');
        if (colon != std::string_view::npos) field.caption = std::string(item.substr(colon + 1));
        fields.push_back(std::move(field));
    }
    return fields;
}

}  // namespace

CColumnOrderDlg::CColumnOrderDlg(CWnd* parent) : CLibraryDialog(IDD_COLUMN_ORDER, parent) {
    // The move buttons follow the selection before every message the dialog translates, and
    // after each change the dialog makes itself.
    OnUpdateCommand(IDC_COLUMN_UP, [this](CCmdUI* ui) { ui->Enable(tree_.CanMoveSelected(true)); });
    OnUpdateCommand(IDC_COLUMN_DOWN,
                    [this](CCmdUI* ui) { ui->Enable(tree_.CanMoveSelected(false)); });
    UpdateControlsBeforeMessages();
}

CColumnOrderDlg::~CColumnOrderDlg() = default;

BOOL CColumnOrderDlg::OnInitDialog() {
    CLibraryDialog::OnInitDialog();
    tree_.SubclassDlgItem(IDC_COLUMN_TREE, this);
    LoadFlexImageList(images_, 103, kImageSize, kImageSize, kImageMask);
    tree_.SetLook(&images_, kItemHeight, kTreeBkColor);
    FillTree(order_);
    UpdateMoveButtons();
    return TRUE;
}

void CColumnOrderDlg::FillTree(const std::string& order) {
    tree_.SendMessage(TVM_DELETEITEM, 0, static_cast<LPARAM>(TVI_ROOT));
    const std::vector<Field> fields = ParseFields(fields_);
    // A field named twice in the order text is shown once, at its first place.
    std::set<int32_t> inserted;
    for (std::string_view item : SplitItems(order)) {
        const int32_t id = platform::AtolSat(item);
        if (id <= 0 || inserted.count(id)) continue;
        for (const Field& field : fields) {
            if (field.id != id) continue;
            tree_.AddLine(field.caption, field.id, true);
            inserted.insert(id);
            break;
        }
    }
    const bool noneNamed = inserted.empty();
    for (const Field& field : fields) {
        if (!inserted.insert(field.id).second) continue;
        tree_.AddLine(field.caption, field.id, noneNamed);
    }
}

void CColumnOrderDlg::UpdateMoveButtons() {
    if (m_hWnd) UpdateDialogControls(this, FALSE);
}

BOOL CColumnOrderDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDC_COLUMN_UP:
            case IDC_COLUMN_DOWN:
                if (tree_.MoveSelected(LOWORD(wParam) == IDC_COLUMN_UP)) UpdateMoveButtons();
                return TRUE;
            case IDC_COLUMN_DEFAULT:
                FillTree(std::string());
                UpdateMoveButtons();
                return TRUE;
            default:
                break;
        }
    }
    return CLibraryDialog::OnCommand(wParam, lParam);
}

BOOL CColumnOrderDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && tree_.m_hWnd && header->hwndFrom == tree_.m_hWnd) {
        if (header->code == NM_CUSTOMDRAW &&
            tree_.CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(lParam), kTreeBkColor,
                             RGB(255, 255, 255), kSelectedBkColor, result))
            return TRUE;
        if (header->code == TVN_SELCHANGED) UpdateMoveButtons();
    }
    return CLibraryDialog::OnNotify(wParam, lParam, result);
}

void CColumnOrderDlg::OnOK() {
    std::string result;
    for (const CTickTree::Line& line : tree_.Lines()) {
        if (!line.ticked) continue;
        if (!result.empty()) result += ',';
        result += std::to_string(line.data);
    }
    order_ = result;
    CLibraryDialog::OnOK();
}

BOOL RunColumnOrderDialog(CWnd* parent, const std::string& order, const std::string& fields,
                          std::string* result) {
    CColumnOrderDlg dialog(parent);
    dialog.SetColumnOrder(order);
    dialog.SetFieldList(fields);
    if (dialog.DoModal() != IDOK) return FALSE;
    *result = dialog.GetColumnOrder();
    return TRUE;
}
