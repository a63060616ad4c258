// CDisplaySettingsDlg: the item tree (a CTickTree) filled from a code list, the move buttons,
// and the ticked codes stored in tree order.
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

CDisplaySettingsDlg::CDisplaySettingsDlg(CWnd* parent) : CFlexDialog(IDD, parent) {
    // The move buttons follow the selection before every message the dialog translates, and
    // after each change the dialog makes itself.
    OnUpdateCommand(kMoveUpId, [this](CCmdUI* ui) { ui->Enable(tree_.CanMoveSelected(true)); });
    OnUpdateCommand(kMoveDownId, [this](CCmdUI* ui) { ui->Enable(tree_.CanMoveSelected(false)); });
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
    tree_.SubclassDlgItem(kItemTreeId, this);
    tree_.SetLook(LoadTickImages(images_) ? &images_ : nullptr, kItemHeight, kTreeBkColor);
    FillTree(ReadStoredList(key_, defaultSelection_));
    return TRUE;
}

void CDisplaySettingsDlg::FillTree(const std::string& codes) {
    tree_.SendMessage(TVM_DELETEITEM, 0, static_cast<LPARAM>(TVI_ROOT));
    // A code named twice gives two lines; both are stored again on OK.
    std::vector<bool> listed(items_.size(), false);
    bool anyListed = false;
    ForEachField(codes, kMaxStoredBytes, [&](std::string_view code) {
        if (!IsCode(code)) return;
        auto found = std::find_if(items_.begin(), items_.end(),
                                  [code](const Item& item) { return item.code == code; });
        if (found == items_.end()) return;
        const auto index = static_cast<std::size_t>(found - items_.begin());
        tree_.AddLine(items_[index].caption, static_cast<LPARAM>(index), true);
        listed[index] = true;
        anyListed = true;
    });
    // A list that names no item shows every item.
    for (std::size_t index = 0; index < items_.size(); ++index)
        if (!listed[index] && !items_[index].code.empty())
            tree_.AddLine(items_[index].caption, static_cast<LPARAM>(index), !anyListed);
    UpdateMoveButtons();
}

void CDisplaySettingsDlg::UpdateMoveButtons() {
    if (m_hWnd) UpdateDialogControls(this, FALSE);
}

BOOL CDisplaySettingsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case kMoveUpId:
            case kMoveDownId:
                if (tree_.MoveSelected(LOWORD(wParam) == kMoveUpId)) UpdateMoveButtons();
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
    if (!header || !tree_.m_hWnd || header->hwndFrom != tree_.m_hWnd)
        return CFlexDialog::OnNotify(wParam, lParam, result);
    if (header->code == TVN_SELCHANGED) UpdateMoveButtons();
    if (header->code == NM_CUSTOMDRAW &&
        tree_.CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(lParam), kTreeBkColor,
                         kSelectedTextColor, kSelectedBkColor, result))
        return TRUE;
    return CFlexDialog::OnNotify(wParam, lParam, result);
}

std::string CDisplaySettingsDlg::TickedCodes() const {
    std::string codes;
    std::size_t bytes = 0;
    for (const CTickTree::Line& line : tree_.Lines()) {
        if (!line.ticked) continue;
        const std::string& code = items_[static_cast<std::size_t>(line.data)].code;
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
