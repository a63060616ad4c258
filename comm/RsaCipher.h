// CQvRsaCipher: the built-in asymmetric algorithm "Std": 1024-bit RSA key pairs, public keys
// from a hexadecimal modulus, PKCS #1 v1.5 encryption in pieces and decryption.
#pragma once

#include <string>

#include "comm/AsymmetricCipher.h"
#include "comm/RsaKey.h"

namespace NoltComm {

class CQvRsaCipher : public CQvAsymmetricCipher {
public:
    // The cipher text must fit the 2047 characters the authentication has room for.
    static constexpr std::size_t kMaxCipherText = 2047;

    CQvRsaCipher() : CQvAsymmetricCipher("Std") {}

    // A fresh 1024-bit key pair with exponent 17: GetKey gives the modulus and GetExponent the
    // exponent, both in the key-text encoding.
    bool GenerateKeyPair() override;
    // A public key from the modulus in hexadecimal and the exponent that GetExponent holds
    // (from an earlier GenerateKeyPair); refused without an exponent or for an unusable key.
    bool SetPublicKey(const std::string& key) override;
    bool SetPrivateKey(const std::string& key) override;
    bool Sign(const std::string& data, std::string& result) override;
    bool Verify(const std::string& data, const std::string& proof) override;
    bool PrivateDecrypt(const std::string& hex, std::string& plain) override;
    bool PublicEncrypt(const std::string& plain, std::string& hex) override;
    std::string GetAuxText() override { return {}; }

private:
    RsaKeyPtr key_;
};

}  // namespace NoltComm
