// Running-key XOR and the keyed 64-bit block scrambling of stored texts. Every table below is
// part of the stored format: names and texts written by earlier versions depend on them.
#include "tradedata/Scrambler.h"

#include <algorithm>

#include "platform/core/Encoding.h"

namespace tradedata {
namespace {

using Bits64 = std::array<uint8_t, 64>;
using Bits48 = std::array<uint8_t, 48>;
using Bits32 = std::array<uint8_t, 32>;

// Tables are 1-based bit positions, as they are usually printed.
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kFinalPermutation[64] = {
    40, 8,  48, 16, 56, 24, 64, 32, 39, 7,  47, 15, 55, 23, 63, 31, 38, 6,  46, 14, 54, 22,
    62, 30, 37, 5,  45, 13, 53, 21, 61, 29, 36, 4,  44, 12, 52, 20, 60, 28, 35, 3,  43, 11,
    51, 19, 59, 27, 34, 2,  42, 10, 50, 18, 58, 26, 33, 1,  41, 9,  49, 17, 57, 25};

constexpr uint8_t kExpansion[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                                    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                                    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

constexpr uint8_t kPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                      26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                      3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kKeyPermutation1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr uint8_t kKeyPermutation2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// Substitution boxes [box][row][column]. Box 2, row 0, column 10 holds 1 where the published
// table has 2: every stored text was made with this value.
constexpr uint8_t kSBoxes[8][4][16] = {{{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
                                        {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
                                        {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
                                        {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
                                       {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 1, 13, 12, 0, 5, 10},
                                        {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
                                        {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
                                        {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
                                       {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
                                        {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
                                        {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
                                        {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
                                       {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
                                        {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
                                        {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
                                        {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
                                       {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
                                        {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
                                        {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
                                        {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
                                       {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
                                        {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
                                        {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
                                        {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
                                       {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
                                        {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
                                        {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
                                        {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
                                       {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
                                        {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
                                        {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
                                        {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

// Eight bytes, the missing ones NUL, as 64 bits most significant first.
Bits64 ToBits(std::string_view bytes) {
    std::array<uint8_t, 8> raw{};
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 8), raw.begin());
    Bits64 bits{};
    for (int i = 0; i < 64; ++i) bits[i] = static_cast<uint8_t>(GetBit(raw, i));
    return bits;
}

std::array<uint8_t, 8> FromBits(const Bits64& bits) {
    std::array<uint8_t, 8> raw{};
    for (int i = 0; i < 64; ++i) {
        if (bits[i]) SetBit(raw, i);
    }
    return raw;
}

Bits32 RoundFunction(const Bits32& right, const Bits48& subkey) {
    Bits48 mixed{};
    for (int i = 0; i < 48; ++i) mixed[i] = right[kExpansion[i] - 1] ^ subkey[i];
    Bits32 substituted{};
    for (int box = 0; box < 8; ++box) {
        const uint8_t* six = &mixed[box * 6];
        const int row = six[0] * 2 + six[5];
        const int column = six[1] * 8 + six[2] * 4 + six[3] * 2 + six[4];
        const uint8_t value = kSBoxes[box][row][column];
        for (int b = 0; b < 4; ++b) substituted[box * 4 + b] = (value >> (3 - b)) & 1;
    }
    Bits32 out{};
    for (int i = 0; i < 32; ++i) out[i] = substituted[kPermutation[i] - 1];
    return out;
}

}  // namespace

int GetBit(std::span<const uint8_t> bytes, int i) {
    if (i < 0 || static_cast<std::size_t>(i / 8) >= bytes.size()) return 0;
    return (bytes[i / 8] >> (7 - i % 8)) & 1;
}

void SetBit(std::span<uint8_t> bytes, int i) {
    if (i < 0 || static_cast<std::size_t>(i / 8) >= bytes.size()) return;
    bytes[i / 8] |= static_cast<uint8_t>(0x80u >> (i % 8));
}

std::string XorScrambleText(std::string_view gbkBytes) {
    std::string out;
    out.reserve(gbkBytes.size());
    int counter = 0;
    for (const char c : gbkBytes) {
        if (c == '\0') break;
        const char scrambled = static_cast<char>(static_cast<uint8_t>(c) ^ (255 - counter));
        if (scrambled == '\0') break;  // the stored text ends here
        out.push_back(scrambled);
        counter = counter == 8 ? 0 : counter + 1;
    }
    return out;
}

std::string XorScrambleUtf8(std::string_view utf8) {
    return XorScrambleText(platform::Utf8ToGbk(utf8));
}

std::string XorUnscrambleToUtf8(std::string_view scrambled) {
    return platform::GbkToUtf8(XorScrambleText(scrambled));
}

ScrambleKey::ScrambleKey(std::string_view key) {
    // The key is read as a text of at most 8 characters, reversed, and NUL-padded to 8.
    key = key.substr(0, std::min<std::size_t>(key.size(), 8));
    key = key.substr(0, std::min(key.find('\0'), key.size()));
    std::string reversed(key.rbegin(), key.rend());
    const Bits64 keyBits = ToBits(reversed);

    std::array<uint8_t, 56> cd{};
    for (int i = 0; i < 56; ++i) cd[i] = keyBits[kKeyPermutation1[i] - 1];
    for (int round = 0; round < 16; ++round) {
        for (int s = 0; s < kKeyShifts[round]; ++s) {
            std::rotate(cd.begin(), cd.begin() + 1, cd.begin() + 28);
            std::rotate(cd.begin() + 28, cd.begin() + 29, cd.end());
        }
        for (int i = 0; i < 48; ++i) subkeys_[round][i] = cd[kKeyPermutation2[i] - 1];
    }
}

namespace {

std::array<uint8_t, 8> Cipher(const std::array<Bits48, 16>& subkeys, std::string_view block,
                              bool decipher) {
    const Bits64 input = ToBits(block);
    Bits32 left{}, right{};
    for (int i = 0; i < 32; ++i) {
        left[i] = input[kInitialPermutation[i] - 1];
        right[i] = input[kInitialPermutation[i + 32] - 1];
    }
    for (int round = 0; round < 16; ++round) {
        const Bits48& subkey = subkeys[decipher ? 15 - round : round];
        const Bits32 f = RoundFunction(right, subkey);
        Bits32 next{};
        for (int i = 0; i < 32; ++i) next[i] = left[i] ^ f[i];
        left = right;
        right = next;
    }
    // The halves are swapped before the final permutation.
    Bits64 preOutput{};
    std::copy(right.begin(), right.end(), preOutput.begin());
    std::copy(left.begin(), left.end(), preOutput.begin() + 32);
    Bits64 output{};
    for (int i = 0; i < 64; ++i) output[i] = preOutput[kFinalPermutation[i] - 1];
    return FromBits(output);
}

}  // namespace

std::string ScrambleKey::Scramble(std::string_view block) const {
    const auto bytes = Cipher(subkeys_, block, false);
    std::string letters;
    letters.reserve(16);
    for (const uint8_t v : bytes) {
        letters.push_back(static_cast<char>('z' - v / 26));
        letters.push_back(static_cast<char>('z' - v % 26));
    }
    return letters;
}

std::string ScrambleKey::Unscramble(std::string_view letters) const {
    if (letters.size() < 16) return {};
    std::string block(8, '\0');
    for (int i = 0; i < 8; ++i) {
        const unsigned c1 = static_cast<uint8_t>(letters[2 * i]);
        const unsigned c2 = static_cast<uint8_t>(letters[2 * i + 1]);
        block[i] = static_cast<char>((222u - ((26u * c1) % 256u) - c2) % 256u);
    }
    const auto bytes = Cipher(subkeys_, block, true);
    return std::string(bytes.begin(), bytes.end());
}

std::string ScrambleString(std::string_view key, std::string_view block) {
    return ScrambleKey(key).Scramble(block);
}

std::string UnscrambleString(std::string_view key, std::string_view letters) {
    return ScrambleKey(key).Unscramble(letters);
}

}  // namespace tradedata
