// The key-text encoding of RSA numbers: big-endian bytes written over the key alphabet at six
// bits per character, a short last group packed into the low bits, no padding character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace NoltComm {

// 3 bytes give 4 characters, a last pair 3, a last single byte 2.
std::string EncodeKeyText(std::span<const uint8_t> bytes);

// Bytes that a text of that length decodes to (0 when the length leaves remainder 1 by 4).
std::size_t DecodedKeyTextSize(std::size_t length);

// Writes the decoded bytes to out and returns how many; 0 for a text whose length leaves
// remainder 1 by 4. A character outside the alphabet counts as index 63 in every bit (all
// ones), as the server's encoder expects. Returns -1 and writes nothing when the result
// would not fit in capacity.
int32_t DecodeKeyText(std::string_view text, uint8_t* out, std::size_t capacity);

// Strict form for values from the wire: nullopt when a character is outside the alphabet,
// the length leaves remainder 1 by 4, or the result would be longer than maxBytes.
std::optional<std::vector<uint8_t>> DecodeKeyTextStrict(std::string_view text,
                                                        std::size_t maxBytes);

}  // namespace NoltComm
