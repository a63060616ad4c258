// The shortcut table: a fixed array of accelerator entries filled from the front, where the
// first entry without a key ends the part in use.
#include "orderentry/controls/HotkeyTable.h"

#include <array>
#include <cstddef>

#include "platform/ui/Keyboard.h"
#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/SmallControls.h"

namespace orderentry::controls {
namespace {

// An entry left free for reuse; it stays inside the part in use but is never built.
constexpr WORD kFreedKey = 0xFFFF;
constexpr size_t kMaxTextLength = 63;

std::array<ACCEL, kHotkeyTableSize> g_table{};

BYTE AcceleratorFlags(BYTE modifiers) {
    BYTE flags = FVIRTKEY;
    if (modifiers & HOTKEYF_CONTROL) flags |= FCONTROL;
    if (modifiers & HOTKEYF_ALT) flags |= FALT;
    if (modifiers & HOTKEYF_SHIFT) flags |= FSHIFT;
    return flags;
}

}  // namespace

void ClearHotkeyTable() { g_table.fill(ACCEL{}); }

int SetHotkeyCommand(int32_t hotKeyWord, UINT command) {
    BYTE key = 0, modifiers = 0;
    platform::ui::SplitHotKeyValue(hotKeyWord, &key, &modifiers);
    // A word with modifiers but no key would store an entry of key 0, which no key press matches
    // and which ends the part in use; a command is a 16-bit entry field, and a wider one would
    // fire some other command.
    if (hotKeyWord == 0 || command == 0 || key == 0 || command > 0xFFFF) return -1;
    const BYTE flags = AcceleratorFlags(modifiers);
    int slot = -1;
    for (int i = 0; i < kHotkeyTableSize && g_table[static_cast<size_t>(i)].key != 0; ++i) {
        const ACCEL& entry = g_table[static_cast<size_t>(i)];
        if (entry.fVirt == flags && entry.key == key) {
            slot = i;
            break;
        }
    }
    for (int i = 0; slot < 0 && i < kHotkeyTableSize; ++i) {
        const WORD used = g_table[static_cast<size_t>(i)].key;
        if (used == 0 || used == kFreedKey) slot = i;
    }
    if (slot < 0) return -1;
    g_table[static_cast<size_t>(slot)] = ACCEL{flags, key, static_cast<WORD>(command)};
    return slot;
}

HACCEL BuildAcceleratorTable() {
    std::array<ACCEL, kHotkeyTableSize> used{};
    int count = 0;
    for (const ACCEL& entry : g_table) {
        if (entry.key == 0) break;
        if (entry.key != kFreedKey) used[static_cast<size_t>(count++)] = entry;
    }
    return count == 0 ? 0 : CreateAcceleratorTable(used.data(), count);
}

std::string GetHotkeyText(int32_t hotKeyWord) {
    BYTE key = 0, modifiers = 0;
    platform::ui::SplitHotKeyValue(hotKeyWord, &key, &modifiers);
    std::string text;
    if (modifiers & HOTKEYF_CONTROL) text += "Ctrl+";
    if (modifiers & HOTKEYF_ALT) text += "Alt+";
    if (modifiers & HOTKEYF_SHIFT) text += "Shift+";
    // With no modifiers the hot-key control's text is the bare key name.
    if (key != 0) text += platform::ui::HotKeyText(key);
    if (text.size() > kMaxTextLength) text.resize(kMaxTextLength);
    return text;
}

}  // namespace orderentry::controls
