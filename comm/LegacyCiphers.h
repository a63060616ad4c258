// Blowfish and RC4 from the crypto library's legacy provider: loaded once for the whole
// process together with the default provider, and fetched once.
#pragma once

#include <openssl/types.h>

#include <string>

namespace NoltComm {

enum class LegacyCipher { kBlowfishCbc, kRc4 };

// The fetched cipher, or null when the legacy provider (or the cipher in it) is missing;
// the reason is then in `text`. Thread-safe; the provider is loaded on the first call.
const EVP_CIPHER* FetchLegacyCipher(LegacyCipher which, std::string& text);

// Empties the library's error queue and returns its texts joined by "; ".
std::string TakeCryptoLibraryErrors();

// Tests: pretend that the legacy provider failed to load (true) or restore the real state.
void SetLegacyProviderMissingForTesting(bool missing);

}  // namespace NoltComm
