// Key-text encoding and decoding over the key alphabet.
#include "comm/RsaKeyText.h"

#include <array>

#include "comm/SessionKey.h"

namespace NoltComm {

namespace {

constexpr uint8_t kNotInAlphabet = 0xFF;

constexpr std::array<uint8_t, 256> MakeIndexTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) entry = kNotInAlphabet;
    for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(kKeyAlphabet[i])] = i;
    return table;
}

constexpr std::array<uint8_t, 256> kIndex = MakeIndexTable();

uint8_t IndexOf(char c) { return kIndex[static_cast<uint8_t>(c)]; }

}  // namespace

std::string EncodeKeyText(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint8_t b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
        text += kKeyAlphabet[b0 >> 2];
        text += kKeyAlphabet[(b0 & 3) << 4 | b1 >> 4];
        text += kKeyAlphabet[(b1 & 15) << 2 | b2 >> 6];
        text += kKeyAlphabet[b2 & 63];
    }
    if (bytes.size() - i == 1) {
        text += kKeyAlphabet[bytes[i] >> 2];
        text += kKeyAlphabet[bytes[i] & 3];
    } else if (bytes.size() - i == 2) {
        const uint8_t b0 = bytes[i], b1 = bytes[i + 1];
        text += kKeyAlphabet[b0 >> 2];
        text += kKeyAlphabet[(b0 & 3) << 4 | b1 >> 4];
        text += kKeyAlphabet[b1 & 15];
    }
    return text;
}

std::size_t DecodedKeyTextSize(std::size_t length) {
    const std::size_t rest = length % 4;
    if (rest == 1) return 0;
    return length / 4 * 3 + (rest == 0 ? 0 : rest - 1);
}

int32_t DecodeKeyText(std::string_view text, uint8_t* out, std::size_t capacity) {
    const std::size_t size = DecodedKeyTextSize(text.size());
    if (size > capacity || size > INT32_MAX) return -1;
    if (size == 0) return 0;
    std::size_t o = 0;
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        const unsigned c0 = IndexOf(text[i]), c1 = IndexOf(text[i + 1]);
        const unsigned c2 = IndexOf(text[i + 2]), c3 = IndexOf(text[i + 3]);
        out[o++] = static_cast<uint8_t>(c0 << 2 | (c1 >> 4 & 3));
        out[o++] = static_cast<uint8_t>(c1 << 4 | (c2 >> 2 & 15));
        out[o++] = static_cast<uint8_t>(c2 << 6 | (c3 & 63));
    }
    const std::size_t rest = text.size() - i;
    if (rest == 2) {
        const unsigned c0 = IndexOf(text[i]), c1 = IndexOf(text[i + 1]);
        out[o++] = static_cast<uint8_t>(c0 << 2 | (c1 & 3));
    } else if (rest == 3) {
        const unsigned c0 = IndexOf(text[i]), c1 = IndexOf(text[i + 1]);
        const unsigned c2 = IndexOf(text[i + 2]);
        out[o++] = static_cast<uint8_t>(c0 << 2 | (c1 >> 4 & 3));
        out[o++] = static_cast<uint8_t>(c1 << 4 | (c2 & 15));
    }
    return static_cast<int32_t>(o);
}

std::optional<std::vector<uint8_t>> DecodeKeyTextStrict(std::string_view text,
                                                        std::size_t maxBytes) {
    if (text.size() % 4 == 1) return std::nullopt;
    for (char c : text) {
        if (IndexOf(c) == kNotInAlphabet) return std::nullopt;
    }
    std::vector<uint8_t> bytes(DecodedKeyTextSize(text.size()));
    if (bytes.size() > maxBytes) return std::nullopt;
    const int32_t n = DecodeKeyText(text, bytes.data(), bytes.size());
    if (n < 0) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(n));
    return bytes;
}

}  // namespace NoltComm
