// Keyboard side of the window layer: virtual-key codes of Qt keys, the modifier state,
// accelerator tables, and the tick of the user's last key or mouse input.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui/WinDefsMessages.h"

// Bit 0x8000 set while the key is down; only Shift, Ctrl and Alt (and their left/right forms)
// are tracked. Any thread.
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);

// An accelerator table is a list of (modifier flags + FVIRTKEY, virtual key, command id).
// Only virtual-key entries are matched. Any thread; 0 when the list is empty.
HACCEL CreateAcceleratorTable(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// On WM_KEYDOWN / WM_SYSKEYDOWN whose key and exact modifiers match an entry: sends
// WM_COMMAND (command id, code 1) to the window and returns TRUE.
BOOL TranslateAccelerator(HWND hwnd, HACCEL table, MSG* msg);

namespace platform::ui {

// The virtual key of a Qt key (0 when it has none); `keypad` for keys of the number pad.
int VirtualKeyOf(int qtKey, bool keypad);
// The Qt key that plays a virtual key (0 when none).
int QtKeyOf(int vk);

// platform::TickMs() of the last key press or mouse button press seen by the input filter.
int64_t LastInputTick();

}  // namespace platform::ui
