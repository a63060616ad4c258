// The settings store's window forms: a window's text read from or written to the installation
// profile, for dialogs that keep a field's last value there.
#pragma once

#include <string_view>

class CWnd;

namespace pavlet {

// Sets the window's text to ReadConfigure(section, key, def). A null window does nothing.
void ReadConfigure(std::string_view section, std::string_view key, CWnd* window, const char* def);
// Sets the window's text to the decimal ReadConfigInt(section, key, def, 0, 0).
void ReadConfigure(std::string_view section, std::string_view key, CWnd* window, int def);
// Writes the window's text as WriteConfigure does (1 written, 0 unchanged or failed); 0 for a
// null window.
int WriteConfigure(std::string_view section, std::string_view key, CWnd* window);

}  // namespace pavlet
