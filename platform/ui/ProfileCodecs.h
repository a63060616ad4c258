// Stored forms of the drawing and window values that profiles keep: LOGFONT and
// WINDOWPLACEMENT records (fixed little-endian byte layouts, kept as profile structure texts),
// colours as signed decimal text and hot keys as modifiers * 256 + virtual key.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/WinDefsDraw.h"
#include "platform/ui/WinDefsMessages.h"

namespace platform::ui {

// The 60-byte record: lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight as 32-bit
// little-endian integers (offsets 0-19), the eight byte fields (20-27), and the face name in
// GBK, NUL-terminated, in 32 bytes (28-59; at most 31 bytes of name, cut on a character).
inline constexpr std::size_t kLogFontRecordSize = 60;
std::array<uint8_t, kLogFontRecordSize> PackLogFont(const LOGFONT& font);
// The face name comes back as UTF-8, cut on a character boundary to fit lfFaceName.
LOGFONT UnpackLogFont(const std::array<uint8_t, kLogFontRecordSize>& record);
// As profile structure text (hexadecimal and checksum); decoding fails on anything that is
// not a well-formed 60-byte record, leaving *font alone.
std::string EncodeLogFont(const LOGFONT& font);
bool DecodeLogFont(std::string_view text, LOGFONT* font);

// The 44-byte record: eleven 32-bit little-endian integers (length, flags, showCmd, minimum
// position x y, maximum position x y, normal rectangle left top right bottom).
inline constexpr std::size_t kWindowPlacementRecordSize = 44;
std::array<uint8_t, kWindowPlacementRecordSize> PackWindowPlacement(
    const WINDOWPLACEMENT& placement);
WINDOWPLACEMENT UnpackWindowPlacement(
    const std::array<uint8_t, kWindowPlacementRecordSize>& record);
std::string EncodeWindowPlacement(const WINDOWPLACEMENT& placement);
bool DecodeWindowPlacement(std::string_view text, WINDOWPLACEMENT* placement);

// A colour as signed decimal text ("-1" for not set); reading takes the text as a 32-bit
// integer (saturating) and gives `defaultColor` for empty text.
std::string EncodeColor(COLORREF color);
COLORREF DecodeColor(std::string_view text, COLORREF defaultColor = 0xFFFFFFFF);

// Hot keys: modifiers (HOTKEYF_*) in the second byte, the virtual key in the first.
int32_t MakeHotKeyValue(BYTE virtualKey, BYTE modifiers);
void SplitHotKeyValue(int32_t value, BYTE* virtualKey, BYTE* modifiers);

}  // namespace platform::ui
