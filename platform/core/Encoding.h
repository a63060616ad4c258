// Text conversion between the UTF-8 held in memory and the GBK (code page 936) of the wire
// and of our files, GBK byte budgets for declared text widths, and GBK collation.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Invalid-byte policy, both directions:
// - GBK to UTF-8: a byte or pair that is not GBK becomes U+FFFD; nothing is dropped
//   silently and the output is always valid UTF-8.
// - UTF-8 to GBK: a malformed UTF-8 byte, and any character that GBK cannot hold, becomes
//   '?'. The output never contains a partial double-byte character.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Bytes the GBK form of a UTF-8 text takes (what Utf8ToGbk would return, without building it).
std::size_t GbkLength(std::string_view utf8);

// Length in UTF-8 bytes of the longest prefix whose GBK form fits in `budget` bytes; the cut
// never falls inside a character.
std::size_t CutToGbkBudget(std::string_view utf8, std::size_t budget);

// UTF-8 bytes to keep for a text of `budget` GBK bytes: a double-byte character takes three
// bytes in UTF-8, anything outside GBK is stored as '?'. The one exception is the euro sign,
// a single GBK byte but three UTF-8 bytes: sizing for it would double every text field for a
// character that trading texts do not carry, so stores cut at their room as well, and a text
// made mostly of euro signs keeps fewer characters than its budget allows.
constexpr std::size_t Utf8CapacityForGbk(std::size_t budget) { return (budget * 3 + 1) / 2; }

// Replaces every character that GBK cannot hold (and every malformed byte) with '?', so that
// what is kept in memory is exactly what the files and the wire can carry.
std::string ToGbkRepertoire(std::string_view utf8);

// Orders two UTF-8 texts as their GBK forms would order byte by byte (unsigned), which is
// the order users know from the GBK code page (close to pinyin for common characters).
// Returns -1, 0 or +1.
int CompareGbkOrder(std::string_view a, std::string_view b);

// ASCII-only helpers: profile names, keys and protocol texts fold case this way and no other.
char AsciiToLower(char c);
char AsciiToUpper(char c);
bool AsciiIsSpace(char c);
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

}  // namespace platform
