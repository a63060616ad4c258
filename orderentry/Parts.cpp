// The order-entry folder's windows in the shell's slots.
#include "orderentry/Parts.h"

#include "orderentry/HotkeySettingsDlg.h"
#include "shell/PartOpeners.h"

namespace orderentry {

void RegisterParts() {
    shell::PartOpeners().hotkeySettings = shell::RunModal<CHotkeySettingsDlg>();
}

}  // namespace orderentry
