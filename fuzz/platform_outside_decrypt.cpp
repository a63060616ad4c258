// Fuzz target: the encryption stand-in's decryption over arbitrary text, into a buffer of a
// size also taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/outside/VaultCipher.h"

using tavroEncrypt::CVaultCipher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 << 16) return 0;
    const int room = data[0] * 4;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const int textLen = static_cast<int>(size - 1);
    std::vector<char> out(static_cast<size_t>(room) + 1, '\x5a');
    int len = room;
    const int result = CVaultCipher::DecryptWithBase64(
        CVaultCipher::kTypeAesGcm, "0000000000012345", text, textLen, out.data(), &len);
    // Nothing is written past the room given, and a success never claims more than it has.
    if (out[static_cast<size_t>(room)] != '\x5a') __builtin_trap();
    if (result == CVaultCipher::kOk && (len < 0 || len > room)) __builtin_trap();
    std::string plain;
    CVaultCipher::Decrypt(CVaultCipher::kTypeAesGcm, "k", std::string(text, textLen), &plain);
    return 0;
}
