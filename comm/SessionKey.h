// Session key texts: the 64-character key alphabet and random key texts drawn from the
// crypto library's generator.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {

// Index 0 to 63 in this order; also the alphabet of the key-text encoding of RSA values.
inline constexpr char kKeyAlphabet[] =
    "./abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Writes n characters of kKeyAlphabet to out, no terminator (callers zero-fill a larger
// buffer first). The characters come from the crypto library's generator, never from a
// clock seed, so a key cannot be guessed from the time it was made. False when the
// generator fails; out then holds no key (zero bytes).
bool RandomKeyText(char* out, uint32_t n);

// The same as a text; empty when the generator fails.
std::string RandomKeyText(uint32_t n);

}  // namespace NoltComm
