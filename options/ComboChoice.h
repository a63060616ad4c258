// When a drop-down list's choice counts as made: confirmed from the open list, or changed with
// the keys while the list is closed (a change while it is open is only a preview).
#pragma once

#include "platform/ui/WinDefsControls.h"
#include "platform/ui/Wnd.h"

namespace options {

inline bool IsComboChoiceMade(CWnd* combo, WORD notifyCode) {
    return notifyCode == CBN_SELENDOK ||
           (notifyCode == CBN_SELCHANGE && combo && !combo->SendMessage(CB_GETDROPPEDSTATE, 0, 0));
}

}  // namespace options
