// The two reversible scramblings of texts kept on the local disk: the running-key XOR of
// stored secrets and the keyed block scrambling that turns 8 bytes into 16 letters and back.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tradedata {

// Bit i of a byte array, most significant bit first (bit 0 is 0x80 of byte 0). An index
// outside the array reads 0 and sets nothing.
int GetBit(std::span<const uint8_t> bytes, int i);
void SetBit(std::span<uint8_t> bytes, int i);

// Running-key XOR over GBK bytes up to the first NUL: byte n is XORed with 255 - (n mod 9).
// Self-inverse as long as no byte equals its key byte; such a byte becomes NUL and, exactly
// as in the texts stored so far, ends the result there.
std::string XorScrambleText(std::string_view gbkBytes);
// The same for a UTF-8 text: converted to GBK, then scrambled (the result is bytes, not text).
std::string XorScrambleUtf8(std::string_view utf8);
// Reverse of XorScrambleUtf8: unscrambles the bytes and returns the text as UTF-8.
std::string XorUnscrambleToUtf8(std::string_view scrambled);

// The key schedule of the block scrambling. It lives wherever the caller keeps it (usually
// on the stack), so any number of threads scramble at once with keys of their own.
class ScrambleKey {
public:
    // Up to 8 key bytes (GBK), read as a text that ends at the first NUL.
    explicit ScrambleKey(std::string_view key);

    // The first 8 bytes of `block` (NUL-padded when shorter) as 16 lower-case letters.
    std::string Scramble(std::string_view block) const;
    // 16 letters back to their 8 bytes; empty when fewer than 16 characters are given.
    std::string Unscramble(std::string_view letters) const;

private:
    using Subkey = std::array<uint8_t, 48>;  // one byte per bit
    std::array<Subkey, 16> subkeys_{};
};

// One-call forms over a key schedule built on the caller's stack.
std::string ScrambleString(std::string_view key, std::string_view block);
std::string UnscrambleString(std::string_view key, std::string_view letters);

}  // namespace tradedata
