// The "SysTabControl32" window class: a row (or rows) of tabs over a page, owner-drawn on
// request, notifying its parent through WM_NOTIFY as the system tab control does.
#pragma once

#include <memory>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

std::unique_ptr<WindowClass> MakeTabControlClass();

}  // namespace platform::ui
