// What the market folder plugs into the shell: the quote board and the quote tabs of the
// standard panel's bars.
#pragma once

namespace market {

// Fills the shell's slots this folder owns; called once by the program before the login.
void RegisterParts();

}  // namespace market
