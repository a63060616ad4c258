// The "ALIAS" relabelling of window texts: static texts and buttons of the program's dialogs
// and grid header texts whose whole text has an alias in the installation profile.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/WinDefsTypes.h"

class CWnd;

namespace shell {

// For each child window of a dialog: a "Static" or "Button" whose whole (non-empty) text is an
// alias key gets the alias value as its text. Always TRUE (go on with the next child).
BOOL RelabelChildWindow(CWnd* child, CWnd* dialog);
// A grid header text: its alias value, or the text itself. The answer stays valid until the
// calling thread's next call (the grid copies it at once).
const char* RelabelHeaderText(const char* text);

// Builds the alias text from section "ALIAS" of the installation profile and, when there is
// at least one alias, installs RelabelChildWindow for every dialog of the control library and
// RelabelHeaderText for every grid header.
// Returns whether there is an alias.
bool InstallAliasRelabelling();

}  // namespace shell
