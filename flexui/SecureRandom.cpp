// The kernel's random bytes (getrandom, /dev/urandom when that call is missing), uniform
// numbers by rejection and the Fisher-Yates shuffle.
#include "flexui/SecureRandom.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

SecureRandomSource gSource = nullptr;

void KernelRandom(void* buffer, size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        out += got;
        size -= static_cast<size_t>(got);
    }
    if (size == 0) return;
    if (FILE* file = std::fopen("/dev/urandom", "rb")) {
        size_t read = std::fread(out, 1, size, file);
        std::fclose(file);
        if (read == size) return;
    }
    // A predictable key order would defeat the keyboard's purpose: never go on without one.
    std::abort();
}

}  // namespace

void SetSecureRandomSource(SecureRandomSource source) { gSource = source; }

uint32_t SecureRandomBelow(uint32_t bound) {
    if (bound <= 1) return 0;
    // Values at or above the largest multiple of the bound would favour the small results.
    const uint64_t range = uint64_t{1} << 32;
    const uint64_t limit = range - range % bound;
    while (true) {
        uint32_t value = 0;
        (gSource ? gSource : KernelRandom)(&value, sizeof value);
        if (value < limit) return value % bound;
    }
}

void SecureShuffle(std::vector<int>& items) {
    for (size_t i = items.size(); i > 1; --i) {
        size_t j = SecureRandomBelow(static_cast<uint32_t>(i));
        std::swap(items[i - 1], items[j]);
    }
}
