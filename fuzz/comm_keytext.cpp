// Fuzz target: the key-text decoder on arbitrary texts (never past its buffer, strict and
// lenient forms agreeing, encode of the result giving the text back for alphabet texts) and
// the server-key checks on arbitrary modulus and exponent texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "comm/RsaKeyText.h"
#include "comm/RsaPublicKey.h"

using namespace NoltComm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> out(DecodedKeyTextSize(size));
    const int32_t n = DecodeKeyText(text, out.data(), out.size());
    if (n < 0 || static_cast<std::size_t>(n) != out.size()) __builtin_trap();
    if (out.size() >= 2 && DecodeKeyText(text, out.data(), out.size() - 1) != -1) __builtin_trap();
    if (const auto strict = DecodeKeyTextStrict(text, 1 << 20)) {
        if (*strict != out) __builtin_trap();
        // A text over the alphabet is canonical only when the unused bits of its last group
        // are zero; re-encoding and decoding again must be stable.
        const std::string again = EncodeKeyText(*strict);
        const auto back = DecodeKeyTextStrict(again, 1 << 20);
        if (!back || *back != *strict) __builtin_trap();
    }
    // Split at the first comma: modulus text, exponent text.
    const std::size_t comma = text.find(',');
    if (comma != std::string_view::npos) {
        CQvRsaPublicKey key;
        if (key.SetPublicKey(text.substr(0, comma), text.substr(comma + 1))) {
            std::string hex;
            if (key.Encrypt("abc,def,", hex) <= 0) __builtin_trap();
        } else if (key.HasKey() || key.GetErrorText().empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
