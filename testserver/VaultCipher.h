// The server's own reading of the client's type-14 cipher texts (the login's password and
// authorisation code), written from the format alone: Base64 of a 12-byte nonce, the
// AES-256-GCM cipher text and the 16-byte tag, keyed by HKDF-SHA256 of the key text.
#pragma once

#include <string>
#include <string_view>

namespace testserver {

// The plain bytes of `text` under `key` (the customer number padded as the client pads it);
// false for text that is no Base64, too short, or fails its tag. A password comes back with
// the terminating NUL the client encrypts along with it.
bool DecryptVaultText(std::string_view key, std::string_view text, std::string* plain);

}  // namespace testserver
