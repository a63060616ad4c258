// The "ComboBox" and "ListBox" window classes: item lists with selection, owner drawing and
// the notifications their parents rely on.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

// Adds "ComboBox" and "ListBox" to the standard classes.
void AddComboListClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

}  // namespace platform::ui
