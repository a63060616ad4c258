// Where the running program lives (in place of the module file name of the running
// executable).
#pragma once

#include <string>

namespace platform {

// The directory of the running executable, ending with '/'.
std::string ProgramDir();
// Tests point the program directory elsewhere; an empty text restores the real one.
void SetProgramDirForTesting(const std::string& dir);

}  // namespace platform
