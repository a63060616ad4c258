// The program's shortcut table: the keys of the user's "HOTKEY" settings entered with the menu
// commands they trigger, the accelerator table built from them, and a hot key's text form.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/WinDefsTypes.h"

namespace orderentry::controls {

// Entries of the table; a 129th distinct shortcut is refused.
inline constexpr int kHotkeyTableSize = 128;

// The table belongs to the user-interface thread, as the accelerators built from it do.

// Empties the table.
void ClearHotkeyTable();

// Enters a shortcut (a hot-key word: HOTKEYF_* modifiers in the second byte, the virtual key in
// the low byte) for a command. A shortcut already in the table keeps its entry and takes the
// new command. Returns the entry's index, or -1 when nothing was entered: a word or command of
// 0, a word without a key, a command beyond 16 bits, or a full table.
int SetHotkeyCommand(int32_t hotKeyWord, UINT command);

// A new accelerator table of the entered shortcuts (the caller destroys it); 0 when there is
// none.
HACCEL BuildAcceleratorTable();

// "Ctrl+", "Alt+", "Shift+" for the modifiers present, in that order, then the key's name;
// at most 63 characters.
std::string GetHotkeyText(int32_t hotKeyWord);

}  // namespace orderentry::controls
