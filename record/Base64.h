// Base64 (A-Z a-z 0-9 + / with '=' padding) in 76-character lines ended by CR LF, as kept
// in settings and blobs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pavlet {

// Room for the encoding of n bytes: 4 * ceil(n / 3) plus 2 for each full 76-character line
// of that length. -1 when n is negative or the result does not fit an int.
int base64_encodesize(int n);
// Writes the encoding of data (no terminating NUL) and returns the characters written; 0
// for null data or length 0. A CR LF follows every full 76-character line of whole groups.
// -1, writing nothing, when outSize cannot hold the encoding (base64_encodesize always can).
int base64_encode(const void* data, uint32_t length, char* out, int outSize);
std::string base64_encode(std::string_view data);

// Room for the decoding of n characters: (n + 3) / 4 * 3. -1 when n is negative or too big.
int base64_decodesize(int n);
// Decodes text, skipping every character outside the alphabet (CR, LF and '=' among them).
// Each 4 codes give 3 bytes; a remainder of 3 codes gives 2, of 2 codes 1, of 1 nothing.
// Returns the bytes written; 0 for null arguments or length 0; -1, writing nothing, when
// the bytes would not fit in outSize.
int base64_decode(const char* text, uint32_t length, void* out, int outSize);
std::string base64_decode(std::string_view text);

}  // namespace pavlet
