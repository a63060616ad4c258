// The composition of the program: every window folder's windows into the shell's slots.
#pragma once

namespace kelmon {

// Calls each window folder's RegisterParts, in the folders' order; main calls it once, before
// the login and the main frame.
void RegisterParts();

}  // namespace kelmon
