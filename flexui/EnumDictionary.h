// Reading enumeration dictionaries: "|"-separated entries of a value and a caption separated by
// ",", each field cut to a GBK length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Fields kept when a list is built or a value remembered, and when a field is returned.
inline constexpr std::size_t kEnumFieldShort = 63;
inline constexpr std::size_t kEnumFieldLong = 127;

// Field `part` (0 value, 1 caption) of entry `entry`, cut to `limit` GBK bytes on a character
// boundary; empty when missing.
std::string EnumDictField(std::string_view dictionary, int entry, int part, std::size_t limit);
// The number of entries before the first one with an empty value.
int EnumDictCount(std::string_view dictionary);
// The first entry whose value is exactly `value`, or -1.
int EnumDictFind(std::string_view dictionary, std::string_view value);

// A typed character as UTF-8.
std::string EnumCharText(char32_t ch);
// The unshifted character of the key that types `ch` on the standard keyboard layout
// ('B' -> 'b', '!' -> '1', '?' -> '/'); other characters map to themselves.
char32_t EnumUnshiftedChar(char32_t ch);
