// What the settings folder plugs into the shell: the status strip in the panel's bottom bar.
#pragma once

namespace settings {

// Fills the shell's slots this folder owns; called once by the program before the login.
void RegisterParts();

}  // namespace settings
