// What the order-entry folder plugs into the shell: the hot-key settings dialog.
#pragma once

namespace orderentry {

// Fills the shell's slots this folder owns; called once by the program before the login.
void RegisterParts();

}  // namespace orderentry
