// The "msctls_updown32" (spin) and "msctls_hotkey32" (hot key) window classes.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

// Adds "msctls_updown32" and "msctls_hotkey32" to the standard classes.
void AddSmallControlClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

// The text a hot-key control shows for a hot key (modifiers * 256 + virtual key).
std::string HotKeyText(WORD hotKey);

}  // namespace platform::ui
