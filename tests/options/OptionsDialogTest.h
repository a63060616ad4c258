// Test support for the options folder's modal dialogs: a dialog run with an action inside its
// own event loop, button clicks and button states, list selections and images.
#pragma once

#include <functional>

#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"

namespace options::testing {

// Runs the dialog modally with `act` inside it; the dialog's end code.
template <class Dialog>
INT_PTR RunWith(kelmon::test::ui::ModalDriver& driver, Dialog& dialog,
                const std::function<void(Dialog&)>& act) {
    driver.OnNextModal([&](QWidget*) {
        kelmon::test::ui::DrainEvents();
        act(dialog);
    });
    return dialog.DoModal();
}

inline void Click(CWnd& dialog, int id) {
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

inline bool Enabled(CWnd& dialog, int id) { return dialog.GetDlgItem(id)->IsWindowEnabled(); }

// Selects an item of a list view of the dialog.
inline void SelectListItem(CWnd& dialog, int listId, int item) {
    LVITEM state;
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    ::SendMessage(dialog.GetDlgItem(listId)->m_hWnd, LVM_SETITEMSTATE, item,
                  reinterpret_cast<LPARAM>(&state));
}

// The image an owner-data list of the dialog shows for an item, as the dialog answers it.
inline int ListImage(CWnd& dialog, int listId, int item) {
    NMLVDISPINFO info;
    info.hdr.hwndFrom = dialog.GetDlgItem(listId)->m_hWnd;
    info.hdr.idFrom = listId;
    info.hdr.code = LVN_GETDISPINFO;
    info.item.mask = LVIF_IMAGE;
    info.item.iItem = item;
    dialog.SendMessage(WM_NOTIFY, listId, reinterpret_cast<LPARAM>(&info));
    return info.item.iImage;
}

}  // namespace options::testing
