// The table of registered hot keys and the dispatch of a key press to WM_HOTKEY.
#include "platform/ui/HotKey.h"

#include <algorithm>
#include <vector>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace platform::ui {
namespace {

constexpr UINT kModifierMask = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;

struct HotKey {
    HWND hwnd;
    int id;
    UINT modifiers;  // MOD_* including MOD_NOREPEAT
    UINT vk;
};

// User-interface thread only, like the key presses that use it.
std::vector<HotKey>& HotKeys() {
    static std::vector<HotKey> keys;
    return keys;
}

// Registrations of windows that died no longer hold their key.
void DropDeadWindows() {
    auto& keys = HotKeys();
    std::erase_if(keys, [](const HotKey& key) { return !IsWindow(key.hwnd); });
}

}  // namespace

bool DispatchHotKey(UINT vk, UINT modifiers, bool autoRepeat) {
    auto& keys = HotKeys();
    if (keys.empty()) return false;
    DropDeadWindows();
    for (const HotKey& key : keys) {
        if (key.vk != vk || (key.modifiers & kModifierMask) != (modifiers & kModifierMask))
            continue;
        // A refused repeat still belongs to the hot key: it reaches no window either.
        if (!(autoRepeat && (key.modifiers & MOD_NOREPEAT)))
            PostMessage(
                key.hwnd, WM_HOTKEY, static_cast<WPARAM>(key.id),
                MAKELPARAM(static_cast<WORD>(modifiers & kModifierMask), static_cast<WORD>(vk)));
        return true;
    }
    return false;
}

}  // namespace platform::ui

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk) {
    using platform::ui::HotKeys;
    using platform::ui::kModifierMask;
    if (!IsWindow(hwnd) || vk == 0 || vk > 0xFF) return FALSE;
    platform::ui::DropDeadWindows();
    auto& keys = HotKeys();
    const bool taken = std::any_of(keys.begin(), keys.end(), [&](const auto& key) {
        return key.vk == vk && (key.modifiers & kModifierMask) == (modifiers & kModifierMask);
    });
    if (taken) return FALSE;
    keys.push_back({hwnd, id, modifiers & (kModifierMask | MOD_NOREPEAT), vk});
    return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id) {
    auto& keys = platform::ui::HotKeys();
    const auto removed =
        std::erase_if(keys, [&](const auto& key) { return key.hwnd == hwnd && key.id == id; });
    return removed > 0 ? TRUE : FALSE;
}
