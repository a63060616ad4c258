// The "SysTreeView32" window class: a tree of items with images, check-box state images,
// expansion and a selection, notifying its parent through WM_NOTIFY as the system control does.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

// Adds "SysTreeView32", "SysTabControl32" and "SysDateTimePick32" to the registry's list.
void AddTreeTabAndDateClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

}  // namespace platform::ui
