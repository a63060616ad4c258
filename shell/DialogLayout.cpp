// Dialog layout helpers over the window layer.
#include "shell/DialogLayout.h"

#include <algorithm>
#include <vector>

#include <QWidget>

#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace shell {
namespace {

struct Placed {
    CWnd* control;
    RECT rect;  // in the dialog's client coordinates
};

std::vector<Placed> ListedControls(CWnd* dialog, std::initializer_list<int> ids) {
    std::vector<Placed> placed;
    for (int id : ids) {
        CWnd* control = dialog->GetDlgItem(id);
        if (control == nullptr) continue;
        RECT rect{};
        control->GetWindowRect(&rect);
        dialog->ScreenToClient(&rect);
        placed.push_back(Placed{control, rect});
    }
    return placed;
}

// Hands the sorted values of one coordinate out to the controls in list order.
template <typename Get, typename Set>
void Reorder(std::vector<Placed>& placed, Get get, Set set) {
    std::vector<LONG> values;
    for (const Placed& p : placed) values.push_back(get(p.rect));
    std::stable_sort(values.begin(), values.end());
    for (std::size_t i = 0; i < placed.size(); ++i) set(placed[i].rect, values[i]);
}

void MoveTo(RECT& rect, LONG left, LONG top) {
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    rect = RECT{left, top, left + width, top + height};
}

bool ReadHeaderItemData(HWND header, int index, LPARAM* data) {
    HDITEM item;
    item.mask = HDI_LPARAM;
    if (!::SendMessage(header, HDM_GETITEM, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(&item)))
        return false;
    *data = item.lParam;
    return true;
}

}  // namespace

void AlignDlgControls(CWnd* dialog, UINT flags, std::initializer_list<int> ids) {
    if (dialog == nullptr || dialog->m_hWnd == 0) return;
    std::vector<Placed> placed = ListedControls(dialog, ids);
    if (flags & kAlignTopToBottom) {
        Reorder(
            placed, [](const RECT& r) { return r.top; },
            [](RECT& r, LONG top) { MoveTo(r, r.left, top); });
    }
    if (flags & kAlignLeftToRight) {
        Reorder(
            placed, [](const RECT& r) { return r.left; },
            [](RECT& r, LONG left) { MoveTo(r, left, r.top); });
    }
    if (flags & (kAlignTopToBottom | kAlignLeftToRight)) {
        for (Placed& p : placed) p.control->MoveWindow(p.rect);
    }
    if (flags & kAlignTabOrder) {
        // Sibling order is the tab order: each control goes just before the sibling that
        // followed the previous control, or last when the previous control was last.
        for (std::size_t i = 1; i < placed.size(); ++i) {
            QWidget* widget = placed[i].control->GetWidget();
            if (widget == nullptr) continue;
            const HWND next = ::GetWindow(placed[i - 1].control->m_hWnd, GW_HWNDNEXT);
            if (next == placed[i].control->m_hWnd) continue;
            CWnd* nextWnd = next ? CWnd::FromHandle(next) : nullptr;
            if (nextWnd != nullptr && nextWnd->GetWidget() != nullptr) {
                widget->stackUnder(nextWnd->GetWidget());
            } else {
                widget->raise();
            }
        }
    }
}

bool AlignDlgItemTo(CWnd* dialog, int id, int referenceId, int side) {
    if (dialog == nullptr || dialog->m_hWnd == 0) return false;
    CWnd* control = dialog->GetDlgItem(id);
    CWnd* reference = dialog->GetDlgItem(referenceId);
    if (control == nullptr || reference == nullptr) return false;
    RECT rect{}, ref{};
    control->GetWindowRect(&rect);
    reference->GetWindowRect(&ref);
    dialog->ScreenToClient(&rect);
    dialog->ScreenToClient(&ref);
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    switch (side) {
        case kAlignSideTop:
            MoveTo(rect, rect.left, ref.top);
            break;
        case kAlignSideBottom:
            MoveTo(rect, rect.left, ref.bottom - height);
            break;
        case kAlignSideLeft:
            MoveTo(rect, ref.left, rect.top);
            break;
        case kAlignSideRight:
            MoveTo(rect, ref.right - width, rect.top);
            break;
        default:
            return false;
    }
    control->MoveWindow(rect);
    return true;
}

LPARAM GetHeaderItemData(HWND header, int index) {
    LPARAM data = 0;
    return ReadHeaderItemData(header, index, &data) ? data : 0;
}

int FindHeaderItemByData(HWND header, LPARAM data) {
    const int count = static_cast<int>(::SendMessage(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LPARAM each = 0;
        if (ReadHeaderItemData(header, i, &each) && each == data) return i;
    }
    return -1;
}

}  // namespace shell
