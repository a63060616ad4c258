// What the views folder plugs into the shell: the order query page and the funds and
// positions page.
#pragma once

namespace views {

// Fills the shell's slots this folder owns; called once by the program before the login.
void RegisterParts();

}  // namespace views
