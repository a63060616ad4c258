// Dialog templates: the parsed form of a template text, its parser with the checks that make
// a broken template a load error, and the fixed dialog units.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/WinDefsTypes.h"

namespace platform::ui {

// One control of a template; position and size in dialog units.
struct DialogItemTemplate {
    int32_t id = 0;
    std::string className;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int line = 0;  // line of the template text, for messages
};

struct DialogTemplate {
    int32_t id = 0;
    std::string name;  // empty when the template has none
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::vector<DialogItemTemplate> items;  // in template order (the tab order)
};

// Whether a window class name is known; by default the registered window classes.
using ClassCheck = std::function<bool(const std::string&)>;

// Parses a template text (grammar at the top of DialogTemplate.cpp). On failure returns false
// and sets `error` to "line N: what is wrong"; `out` is then unspecified.
bool ParseDialogTemplate(std::string_view text, DialogTemplate* out, std::string* error,
                         const ClassCheck& knownClass = {});

// The value of a style name ("WS_TABSTOP", "BS_DEFPUSHBUTTON"...) for a window class ("" for a
// dialog); false when the name is unknown or does not apply to the class.
bool LookUpStyleName(std::string_view name, const std::string& className, DWORD* style,
                     bool* extended);

// Fixed dialog base units (the average character of the dialog font at 96 dpi), so that a
// template gives the same pixels on every machine whatever fonts are installed.
inline constexpr int kDialogBaseUnitX = 6;
inline constexpr int kDialogBaseUnitY = 13;
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

}  // namespace platform::ui

// Base units: horizontal in the low word, vertical in the high word.
LONG GetDialogBaseUnits();
// Dialog units to pixels, in place.
BOOL MapDialogRect(HWND dialog, RECT* rect);
