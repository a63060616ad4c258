// Random numbers for what protects typed secrets (the soft keyboard's key order, the security
// code): drawn from the kernel's cryptographic source, replaceable in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Fills the buffer with random bytes.
using SecureRandomSource = void (*)(void* buffer, size_t size);
// Null restores the kernel's source (getrandom).
void SetSecureRandomSource(SecureRandomSource source);

// A uniform number in [0, bound); 0 for a bound of 0 or 1.
uint32_t SecureRandomBelow(uint32_t bound);
// Fisher-Yates: every order of the items equally likely.
void SecureShuffle(std::vector<int>& items);
