// Random key texts over the key alphabet.
#include "comm/SessionKey.h"

#include <openssl/err.h>
#include <openssl/rand.h>

#include <climits>
#include <cstring>

namespace NoltComm {

static_assert(sizeof(kKeyAlphabet) - 1 == 64, "the key alphabet has 64 characters");

bool RandomKeyText(char* out, uint32_t n) {
    if (n == 0) return true;
    // 64 divides 256, so the low six bits of a uniform byte pick a character without bias.
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    if (n > INT_MAX || RAND_bytes(bytes, static_cast<int>(n)) != 1) {
        ERR_clear_error();
        std::memset(out, 0, n);
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) out[i] = kKeyAlphabet[bytes[i] & 63];
    return true;
}

std::string RandomKeyText(uint32_t n) {
    std::string text(n, '\0');
    if (!RandomKeyText(text.data(), n)) text.clear();
    return text;
}

}  // namespace NoltComm
