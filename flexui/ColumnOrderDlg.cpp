// CColumnOrderDlg: filling the field tree from the order text, checking, moving and the result.
#include "flexui/ColumnOrderDlg.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "flexui/FlexBitmaps.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
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

// The dialog's tree: a press or double click on an item's icon toggles the item first.
class CColumnOrderDlg::CColumnTree : public CWnd {
public:
    explicit CColumnTree(CColumnOrderDlg* dialog) : dialog_(dialog) {}

protected:
    void OnLButtonDown(UINT flags, POINT point) override {
        dialog_->ToggleAt(point);
        CWnd::OnLButtonDown(flags, point);
    }
    void OnLButtonDblClk(UINT flags, POINT point) override {
        dialog_->ToggleAt(point);
        CWnd::OnLButtonDblClk(flags, point);
    }

private:
    CColumnOrderDlg* dialog_;
};

CColumnOrderDlg::CColumnOrderDlg(CWnd* parent)
    : CLibraryDialog(IDD_COLUMN_ORDER, parent), tree_(std::make_unique<CColumnTree>(this)) {}

CColumnOrderDlg::~CColumnOrderDlg() = default;

BOOL CColumnOrderDlg::OnInitDialog() {
    CLibraryDialog::OnInitDialog();
    tree_->SubclassDlgItem(IDC_COLUMN_TREE, this);
    LoadFlexImageList(images_, 103, kImageSize, kImageSize, kImageMask);
    tree_->ModifyStyle(0, TVS_SHOWSELALWAYS);
    tree_->SendMessage(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(&images_));
    tree_->SendMessage(TVM_SETITEMHEIGHT, kItemHeight, 0);
    tree_->SendMessage(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBkColor));
    FillTree(order_);
    UpdateMoveButtons();
    return TRUE;
}

void CColumnOrderDlg::FillTree(const std::string& order) {
    tree_->SendMessage(TVM_DELETEITEM, 0, static_cast<LPARAM>(TVI_ROOT));
    const std::vector<Field> fields = ParseFields(fields_);
    auto insert = [&](const Field& field, bool checked) {
        std::string text = field.caption;
        TVINSERTSTRUCT item;
        item.hParent = TVI_ROOT;
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.item.pszText = text.data();
        item.item.lParam = field.id;
        item.item.iImage = item.item.iSelectedImage = checked ? kChecked : kUnchecked;
        tree_->SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
    };
    // A field named twice in the order text is shown once, at its first place.
    std::set<int32_t> inserted;
    for (std::string_view item : SplitItems(order)) {
        const int32_t id = platform::AtolSat(item);
        if (id <= 0 || inserted.count(id)) continue;
        for (const Field& field : fields) {
            if (field.id != id) continue;
            insert(field, true);
            inserted.insert(id);
            break;
        }
    }
    const bool noneNamed = inserted.empty();
    for (const Field& field : fields) {
        if (!inserted.insert(field.id).second) continue;
        insert(field, noneNamed);
    }
}

HTREEITEM CColumnOrderDlg::Next(WPARAM code, HTREEITEM item) const {
    return static_cast<HTREEITEM>(
        ::SendMessage(tree_->m_hWnd, TVM_GETNEXTITEM, code, static_cast<LPARAM>(item)));
}

void CColumnOrderDlg::ToggleAt(POINT point) {
    TVHITTESTINFO hit;
    hit.pt = point;
    tree_->SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (!hit.hItem || !(hit.flags & TVHT_ONITEMICON)) return;
    TVITEM item;
    item.mask = TVIF_IMAGE;
    item.hItem = hit.hItem;
    tree_->SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
    item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.iImage = item.iSelectedImage = item.iImage == kUnchecked ? kChecked : kUnchecked;
    tree_->SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
    tree_->Invalidate(FALSE);
}

void CColumnOrderDlg::MoveSelected(bool up) {
    const HTREEITEM selected = Next(TVGN_CARET, 0);
    const HTREEITEM other = selected ? Next(up ? TVGN_PREVIOUS : TVGN_NEXT, selected) : 0;
    if (!other) return;
    // The two items swap what they show; the selection follows the moved field.
    char texts[2][1024];
    TVITEM items[2];
    const HTREEITEM handles[2] = {selected, other};
    for (int i = 0; i < 2; ++i) {
        items[i].mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        items[i].hItem = handles[i];
        items[i].pszText = texts[i];
        items[i].cchTextMax = sizeof texts[i];
        tree_->SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&items[i]));
    }
    std::swap(items[0].hItem, items[1].hItem);
    for (TVITEM& item : items) tree_->SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
    tree_->SendMessage(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(other));
    tree_->SendMessage(TVM_ENSUREVISIBLE, 0, static_cast<LPARAM>(other));
    UpdateMoveButtons();
}

void CColumnOrderDlg::UpdateMoveButtons() {
    if (!m_hWnd || !tree_->m_hWnd) return;
    const HTREEITEM selected = Next(TVGN_CARET, 0);
    const bool canUp = selected && Next(TVGN_PREVIOUS, selected);
    const bool canDown = selected && Next(TVGN_NEXT, selected);
    for (auto [id, enable] : {std::pair{IDC_COLUMN_UP, canUp}, std::pair{IDC_COLUMN_DOWN, canDown}})
        if (CWnd* button = GetDlgItem(id); button && (button->IsWindowEnabled() != 0) != enable)
            button->EnableWindow(enable);
}

BOOL CColumnOrderDlg::PreTranslateMessage(MSG* msg) {
    UpdateMoveButtons();
    return CLibraryDialog::PreTranslateMessage(msg);
}

BOOL CColumnOrderDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDC_COLUMN_UP:
            case IDC_COLUMN_DOWN:
                MoveSelected(LOWORD(wParam) == IDC_COLUMN_UP);
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
    if (header && tree_->m_hWnd && header->hwndFrom == tree_->m_hWnd) {
        if (header->code == NM_CUSTOMDRAW) {
            auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(lParam);
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
                *result = CDRF_NOTIFYITEMDRAW;
                return TRUE;
            }
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                const bool selected =
                    static_cast<HTREEITEM>(draw->nmcd.dwItemSpec) == Next(TVGN_CARET, 0);
                draw->clrText = selected ? RGB(255, 255, 255) : RGB(0, 0, 0);
                draw->clrTextBk = selected ? kSelectedBkColor : kTreeBkColor;
                *result = CDRF_DODEFAULT;
                return TRUE;
            }
        }
        if (header->code == TVN_SELCHANGED) UpdateMoveButtons();
    }
    return CLibraryDialog::OnNotify(wParam, lParam, result);
}

void CColumnOrderDlg::OnOK() {
    std::string result;
    for (HTREEITEM item = Next(TVGN_ROOT, 0); item; item = Next(TVGN_NEXT, item)) {
        TVITEM info;
        info.mask = TVIF_IMAGE | TVIF_PARAM;
        info.hItem = item;
        tree_->SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
        if (info.iImage != kChecked) continue;
        if (!result.empty()) result += ',';
        result += std::to_string(info.lParam);
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
