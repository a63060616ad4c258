// What the order-entry folder plugs into the shell: the hot-key settings dialog and the
// order-entry panel in both order-panel slots.
#pragma once

namespace orderentry {

// Fills the shell's slots this folder owns; called once by the program before the login.
void RegisterParts();

}  // namespace orderentry
