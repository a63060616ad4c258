// CDisplaySettingsDlg: the item tree filled from a code list, ticking by the image, moving the
// selected line, and the ticked codes stored in tree order.
#include "settings/DisplaySettingsDlg.h"

#include <QImage>
#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "flexui/FlexBitmaps.h"
#include "platform/core/Encoding.h"
#include "platform/ui/CmdUI.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"

namespace settings {
namespace {

// Calls `take` with each ","-separated field of `list` in order, as long as the fields read so
// far (separators included) stay within `budget` bytes of GBK: a list is read as far as the
// buffer its writer filled would hold it, and never a field cut short.
template <typename Take>
void ForEachField(std::string_view list, std::size_t budget, Take take) {
    std::size_t used = 0;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string_view field = list.substr(start, end - start);
        used += platform::GbkLength(field) + (start > 0 ? 1 : 0);
        if (used > budget) return;
        take(field);
        start = end + 1;
    }
}

bool IsCode(std::string_view code) {
    return !code.empty() && platform::GbkLength(code) <= CDisplaySettingsDlg::kMaxCodeBytes;
}

// The stored list. The store's reader gives the default for an empty value as well, but an
// emptied list is the user's choice (it opens with every item ticked), so a value that the
// private store holds is taken as it stands, empty or not.
std::string ReadStoredList(const std::string& key, const std::string& defaults) {
    if (key.empty()) return defaults;
    if (std::optional<std::string> stored = pavlet::FindPrivateConfigure(kDisplayListSection, key))
        return std::move(*stored);
    return pavlet::ReadConfigure(kDisplayListSection, key, defaults.c_str());
}

BOOL LoadTickImages(CImageList& list) {
    const QImage strip = LoadFlexBitmap(CDisplaySettingsDlg::kTickBitmapId, "kelmon");
    CBitmap bitmap;
    if (strip.isNull() || !bitmap.CreateFromImage(strip)) return FALSE;
    constexpr int kSize = CDisplaySettingsDlg::kImageSize;
    list.DeleteImageList();
    if (!list.Create(kSize, kSize, ILC_COLOR24 | ILC_MASK, 2, 0)) return FALSE;
    return list.Add(&bitmap, CDisplaySettingsDlg::kImageMask) >= 0;
}

}  // namespace

// The dialog's tree: a press or a double click on a line's image flips its tick before the
// tree sees the click (a click on the text only selects).
class CDisplaySettingsDlg::CItemTree : public CWnd {
public:
    explicit CItemTree(CDisplaySettingsDlg* dialog) : dialog_(dialog) {}

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
    CDisplaySettingsDlg* dialog_;
};

CDisplaySettingsDlg::CDisplaySettingsDlg(CWnd* parent)
    : CFlexDialog(IDD, parent), tree_(std::make_unique<CItemTree>(this)) {
    // The move buttons follow the selection before every message the dialog translates, and
    // after each change the dialog makes itself.
    OnUpdateCommand(kMoveUpId, [this](CCmdUI* ui) { ui->Enable(CanMove(TVGN_PREVIOUS)); });
    OnUpdateCommand(kMoveDownId, [this](CCmdUI* ui) { ui->Enable(CanMove(TVGN_NEXT)); });
    UpdateControlsBeforeMessages();
}

CDisplaySettingsDlg::~CDisplaySettingsDlg() = default;

BOOL CDisplaySettingsDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    items_.clear();
    ForEachField(catalogue_, std::string_view::npos, [this](std::string_view pair) {
        const std::size_t colon = pair.find(':');
        Item item;
        if (colon != std::string_view::npos && IsCode(pair.substr(0, colon))) {
            item.code = pair.substr(0, colon);
            item.caption = pair.substr(colon + 1);
        }
        items_.push_back(std::move(item));
    });
    tree_->SubclassDlgItem(kItemTreeId, this);
    tree_->ModifyStyle(0, TVS_SHOWSELALWAYS);
    if (LoadTickImages(images_))
        tree_->SendMessage(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(&images_));
    tree_->SendMessage(TVM_SETITEMHEIGHT, kItemHeight, 0);
    tree_->SendMessage(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBkColor));
    FillTree(ReadStoredList(key_, defaultSelection_));
    return TRUE;
}

void CDisplaySettingsDlg::AddLine(std::size_t index, bool ticked) {
    TVINSERTSTRUCT line;
    line.hParent = TVI_ROOT;
    line.hInsertAfter = TVI_LAST;
    line.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    line.item.pszText = items_[index].caption.data();
    line.item.lParam = static_cast<LPARAM>(index);
    line.item.iImage = line.item.iSelectedImage = ticked ? kTicked : kUnticked;
    tree_->SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&line));
}

void CDisplaySettingsDlg::FillTree(const std::string& codes) {
    tree_->SendMessage(TVM_DELETEITEM, 0, static_cast<LPARAM>(TVI_ROOT));
    // A code named twice gives two lines; both are stored again on OK.
    std::vector<bool> listed(items_.size(), false);
    bool anyListed = false;
    ForEachField(codes, kMaxStoredBytes, [&](std::string_view code) {
        if (!IsCode(code)) return;
        auto found = std::find_if(items_.begin(), items_.end(),
                                  [code](const Item& item) { return item.code == code; });
        if (found == items_.end()) return;
        const auto index = static_cast<std::size_t>(found - items_.begin());
        AddLine(index, true);
        listed[index] = true;
        anyListed = true;
    });
    // A list that names no item shows every item.
    for (std::size_t index = 0; index < items_.size(); ++index)
        if (!listed[index] && !items_[index].code.empty()) AddLine(index, !anyListed);
    UpdateMoveButtons();
}

HTREEITEM CDisplaySettingsDlg::Next(WPARAM code, HTREEITEM item) const {
    return static_cast<HTREEITEM>(
        ::SendMessage(tree_->m_hWnd, TVM_GETNEXTITEM, code, static_cast<LPARAM>(item)));
}

void CDisplaySettingsDlg::ToggleAt(POINT point) {
    TVHITTESTINFO hit;
    hit.pt = point;
    tree_->SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (!hit.hItem || !(hit.flags & TVHT_ONITEMICON)) return;
    TVITEM line;
    line.mask = TVIF_IMAGE;
    line.hItem = hit.hItem;
    tree_->SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&line));
    line.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    line.iImage = line.iSelectedImage = line.iImage == kTicked ? kUnticked : kTicked;
    tree_->SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&line));
    tree_->Invalidate(FALSE);
}

void CDisplaySettingsDlg::MoveSelected(bool up) {
    const HTREEITEM selected = Next(TVGN_CARET, 0);
    const HTREEITEM other = selected ? Next(up ? TVGN_PREVIOUS : TVGN_NEXT, selected) : 0;
    if (!other) return;
    // The two lines exchange tick and item; each line's text is its item's caption, whole.
    TVITEM lines[2];
    const HTREEITEM handles[2] = {selected, other};
    for (int i = 0; i < 2; ++i) {
        lines[i].mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        lines[i].hItem = handles[i];
        tree_->SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&lines[i]));
    }
    std::swap(lines[0].hItem, lines[1].hItem);
    for (TVITEM& line : lines) {
        line.mask |= TVIF_TEXT;
        line.pszText = items_[static_cast<std::size_t>(line.lParam)].caption.data();
        tree_->SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&line));
    }
    tree_->SendMessage(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(other));
    tree_->SendMessage(TVM_ENSUREVISIBLE, 0, static_cast<LPARAM>(other));
    UpdateMoveButtons();
}

bool CDisplaySettingsDlg::CanMove(WPARAM way) const {
    if (!tree_->m_hWnd) return false;
    const HTREEITEM selected = Next(TVGN_CARET, 0);
    return selected && Next(way, selected);
}

void CDisplaySettingsDlg::UpdateMoveButtons() {
    if (m_hWnd) UpdateDialogControls(this, FALSE);
}

BOOL CDisplaySettingsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case kMoveUpId:
            case kMoveDownId:
                MoveSelected(LOWORD(wParam) == kMoveUpId);
                return TRUE;
            case kDefaultsId:
                FillTree(defaultSelection_);
                return TRUE;
            default:
                break;
        }
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

BOOL CDisplaySettingsDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || !tree_->m_hWnd || header->hwndFrom != tree_->m_hWnd)
        return CFlexDialog::OnNotify(wParam, lParam, result);
    if (header->code == TVN_SELCHANGED) UpdateMoveButtons();
    if (header->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(lParam);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
            *result = CDRF_NOTIFYITEMDRAW;
            return TRUE;
        }
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const bool selected =
                static_cast<HTREEITEM>(draw->nmcd.dwItemSpec) == Next(TVGN_CARET, 0);
            draw->clrText = selected ? kSelectedTextColor : RGB(0, 0, 0);
            draw->clrTextBk = selected ? kSelectedBkColor : kTreeBkColor;
            *result = CDRF_DODEFAULT;
            return TRUE;
        }
    }
    return CFlexDialog::OnNotify(wParam, lParam, result);
}

std::string CDisplaySettingsDlg::TickedCodes() const {
    std::string codes;
    std::size_t bytes = 0;
    for (HTREEITEM line = Next(TVGN_ROOT, 0); line; line = Next(TVGN_NEXT, line)) {
        TVITEM info;
        info.mask = TVIF_IMAGE | TVIF_PARAM;
        info.hItem = line;
        ::SendMessage(tree_->m_hWnd, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
        if (info.iImage != kTicked) continue;
        const std::string& code = items_[static_cast<std::size_t>(info.lParam)].code;
        // Only whole codes: the list ends before the first one that would pass the budget.
        const std::size_t more = platform::GbkLength(code) + (codes.empty() ? 0 : 1);
        if (bytes + more > kMaxStoredBytes) break;
        if (!codes.empty()) codes += ',';
        codes += code;
        bytes += more;
    }
    return codes;
}

void CDisplaySettingsDlg::OnOK() {
    const bool stored =
        pavlet::WritePrivateConfigure(kDisplayListSection, key_, TickedCodes()) != 0;
    EndDialog(stored ? IDOK : IDCANCEL);
}

}  // namespace settings
