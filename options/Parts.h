// What the options folder plugs into the shell: the option calculator of the standard panel
// and the dialogs and the option underlying strip the quote board opens.
#pragma once

namespace options {

// Fills the shell's slots this folder owns; called once by the program before the login.
void RegisterParts();

}  // namespace options
