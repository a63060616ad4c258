// System hot keys: RegisterHotKey / UnregisterHotKey and the WM_HOTKEY they post.
//
// Limit of this platform: a grab of a key for the whole desktop is not generally possible
// (Wayland, the offscreen platform), so a registered hot key is seen only while a window of this
// application is active and has the keyboard. Registrations are still exclusive within the
// application, as on the desktop this layer stands in for.
#pragma once

#include "platform/ui/WinDefsMessages.h"

// User-interface thread. Registers the key (virtual key `vk` with exactly the MOD_ALT,
// MOD_CONTROL, MOD_SHIFT, MOD_WIN modifiers; MOD_NOREPEAT drops auto-repeats) for the window:
// pressing it posts WM_HOTKEY (wParam = id, lParam = MAKELPARAM(modifiers, vk)) to the window
// and the key press goes nowhere else. FALSE when the window is not a window, when vk is 0,
// or when a living window has already registered the same key and modifiers. Registering
// (window, id) again keeps the older key too, until UnregisterHotKey.
BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk);
// Removes every key the window registered under id; FALSE when there was none.
BOOL UnregisterHotKey(HWND hwnd, int id);

namespace platform::ui {

// Called by the input filter for each key press: posts WM_HOTKEY and returns true when the
// key with these MOD_* modifiers is a registered hot key (and is not a repeat it refuses).
bool DispatchHotKey(UINT vk, UINT modifiers, bool autoRepeat);

}  // namespace platform::ui
