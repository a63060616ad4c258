// The "SysDateTimePick32" window class: a date or time field with a fixed, locale-free format,
// an optional "no date" check box and a range, notifying its parent of user changes.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

std::unique_ptr<WindowClass> MakeDateTimePickerClass();

// The display format of the picker's own format letters ("yyyy-MM-dd", "HH:mm:ss", quoted
// literals) in Qt's date-time format language.
std::string PickerFormatToQt(const std::string& format);

}  // namespace platform::ui
