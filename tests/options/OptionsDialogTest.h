// Test support for the options folder's modal dialogs: a dialog run with an action inside its
// own event loop, button clicks and button states.
#pragma once

#include <functional>

#include "platform/ui/Messages.h"
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

}  // namespace options::testing
