// Base64 codec with 76-character CR LF lines; decoding skips anything outside the alphabet.
#include "record/Base64.h"

#include <array>
#include <climits>

namespace pavlet {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 76;

constexpr std::array<signed char, 256> MakeCodes() {
    std::array<signed char, 256> codes{};
    for (auto& c : codes) c = -1;
    for (int i = 0; i < 64; ++i)
        codes[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    return codes;
}

constexpr std::array<signed char, 256> kCodes = MakeCodes();

int64_t EncodeSize(int64_t n) {
    const int64_t chars = (n + 2) / 3 * 4;
    return chars + chars / kLineLength * 2;
}

int64_t DecodeSize(int64_t n) { return (n + 3) / 4 * 3; }

// Bytes that decoding text gives: whole quads give 3, a trailing 3 codes 2, 2 codes 1.
int64_t DecodedLength(const char* text, uint32_t length) {
    int64_t codes = 0;
    for (uint32_t i = 0; i < length; ++i) codes += kCodes[static_cast<unsigned char>(text[i])] >= 0;
    const int64_t rest = codes % 4;
    return codes / 4 * 3 + (rest > 1 ? rest - 1 : 0);
}

// Writes EncodedLength(length) characters.
int64_t Encode(const unsigned char* in, uint32_t length, char* out) {
    char* p = out;
    int line = 0;
    uint32_t i = 0;
    for (; length - i >= 3; i += 3) {
        const uint32_t v = in[i] << 16 | in[i + 1] << 8 | in[i + 2];
        *p++ = kAlphabet[v >> 18];
        *p++ = kAlphabet[v >> 12 & 63];
        *p++ = kAlphabet[v >> 6 & 63];
        *p++ = kAlphabet[v & 63];
        line += 4;
        if (line >= kLineLength) {
            *p++ = '\r';
            *p++ = '\n';
            line = 0;
        }
    }
    if (length - i == 1) {
        const uint32_t v = in[i] << 16;
        *p++ = kAlphabet[v >> 18];
        *p++ = kAlphabet[v >> 12 & 63];
        *p++ = '=';
        *p++ = '=';
    } else if (length - i == 2) {
        const uint32_t v = in[i] << 16 | in[i + 1] << 8;
        *p++ = kAlphabet[v >> 18];
        *p++ = kAlphabet[v >> 12 & 63];
        *p++ = kAlphabet[v >> 6 & 63];
        *p++ = '=';
    }
    return p - out;
}

int64_t EncodedLength(uint32_t length) {
    const int64_t groups = length / 3;
    const int64_t chars = groups * 4;
    return chars + chars / kLineLength * 2 + (length % 3 ? 4 : 0);
}

int64_t Decode(const char* text, uint32_t length, unsigned char* out) {
    unsigned char* p = out;
    uint32_t v = 0;
    int codes = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const int code = kCodes[static_cast<unsigned char>(text[i])];
        if (code < 0) continue;
        v = v << 6 | static_cast<uint32_t>(code);
        if (++codes == 4) {
            *p++ = static_cast<unsigned char>(v >> 16);
            *p++ = static_cast<unsigned char>(v >> 8);
            *p++ = static_cast<unsigned char>(v);
            v = 0;
            codes = 0;
        }
    }
    if (codes == 3) {
        *p++ = static_cast<unsigned char>(v >> 10);
        *p++ = static_cast<unsigned char>(v >> 2);
    } else if (codes == 2) {
        *p++ = static_cast<unsigned char>(v >> 4);
    }
    return p - out;
}

int ToIntSize(int64_t n) { return n > INT_MAX ? -1 : static_cast<int>(n); }

}  // namespace

int base64_encodesize(int n) { return n < 0 ? -1 : ToIntSize(EncodeSize(n)); }

int base64_encode(const void* data, uint32_t length, char* out, int outSize) {
    if (data == nullptr || out == nullptr || length == 0) return 0;
    const int64_t needed = EncodedLength(length);
    if (needed > outSize || needed > INT_MAX) return -1;
    return static_cast<int>(Encode(static_cast<const unsigned char*>(data), length, out));
}

std::string base64_encode(std::string_view data) {
    if (data.size() > UINT32_MAX) return {};
    const auto length = static_cast<uint32_t>(data.size());
    std::string out(static_cast<std::size_t>(EncodedLength(length)), '\0');
    Encode(reinterpret_cast<const unsigned char*>(data.data()), length, out.data());
    return out;
}

int base64_decodesize(int n) { return n < 0 ? -1 : ToIntSize(DecodeSize(n)); }

int base64_decode(const char* text, uint32_t length, void* out, int outSize) {
    if (text == nullptr || out == nullptr || length == 0) return 0;
    const int64_t needed = DecodedLength(text, length);
    if (needed > outSize) return -1;
    return static_cast<int>(Decode(text, length, static_cast<unsigned char*>(out)));
}

std::string base64_decode(std::string_view text) {
    if (text.size() > UINT32_MAX) return {};
    const auto length = static_cast<uint32_t>(text.size());
    std::string out(static_cast<std::size_t>(DecodedLength(text.data(), length)), '\0');
    Decode(text.data(), length, reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

}  // namespace pavlet
