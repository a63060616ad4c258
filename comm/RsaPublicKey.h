// CQvRsaPublicKey: the trading server's RSA public key in the built-in authentication, built
// from the key texts the server sends and used to encrypt the authentication values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/RsaKey.h"

namespace NoltComm {

// One thread at a time: the authentication keeps the object for one handshake.
class CQvRsaPublicKey {
public:
    // Texts this long or longer are refused by Encrypt.
    static constexpr std::size_t kMaxTextLength = 2032;

    CQvRsaPublicKey() = default;

    // The modulus and exponent in the key-text encoding. False with the reason in
    // GetErrorText, and no key, unless both decode to at most 512 bytes, the modulus has at
    // least 1024 bits and the exponent is odd, at least 3 and below the modulus.
    bool SetPublicKey(std::string_view modulusText, std::string_view exponentText);
    bool HasKey() const { return key_ != nullptr; }

    // PKCS #1 v1.5 cipher text of the text in lowercase hexadecimal, in place of out's
    // content: one block when the text fits, else one block per 100 bytes. Returns the number
    // of hexadecimal characters, or -1 (out empty, reason in GetErrorText) without a key, for
    // a text of kMaxTextLength or more, or when any block fails.
    int32_t Encrypt(std::string_view text, std::string& out);

    std::string GetErrorText() const { return errorText_; }

private:
    RsaKeyPtr key_;
    std::string errorText_;
};

}  // namespace NoltComm
