// The standard control classes: "Edit" (single and multi-line), "Button" (push, default push, check
// box, radio button) and "Static".
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>> MakeStandardClasses();

}  // namespace platform::ui
