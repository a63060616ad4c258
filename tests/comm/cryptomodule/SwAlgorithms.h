// The algorithms of the test security-session module: "SWRSA" (RSA-OAEP key transport of the
// session key, Ed25519 proofs, an HMAC key confirmation) and "SW_ALG34" (AES-256-GCM bodies).
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <string>

#include "comm/AsymmetricCipher.h"
#include "comm/SymmetricCipher.h"

namespace swmodule {

// A key pair made by GenerateKeyPair (RSA 2048, public key text = hex of its DER public key),
// or a proof key: SetPrivateKey("") takes the client's proof key, SetPublicKey("") the
// server's; other texts are raw Ed25519 keys in hex. GetAuxText after PrivateDecrypt is the
// key confirmation of the session key.
class CSwRsa : public NoltComm::CQvAsymmetricCipher {
public:
    CSwRsa();
    ~CSwRsa() override;

    bool GenerateKeyPair() override;
    bool SetPublicKey(const std::string& key) override;
    bool SetPrivateKey(const std::string& key) override;
    bool Sign(const std::string& data, std::string& result) override;
    bool Verify(const std::string& data, const std::string& proof) override;
    bool PrivateDecrypt(const std::string& hex, std::string& plain) override;
    bool PublicEncrypt(const std::string& plain, std::string& hex) override;
    std::string GetAuxText() override;

private:
    EVP_PKEY* rsa_ = nullptr;
    EVP_PKEY* proofKey_ = nullptr;
    std::string sessionKey_;
};

// Session key text: 64 hexadecimal characters (32 key bytes). Packet layout: header | 12-byte
// nonce | cipher text | 16-byte tag; the header (length bytes zero, body flag bit 0 set) is
// authenticated with the body.
class CSwAlg34 : public NoltComm::CQvSymmetricCipher {
public:
    CSwAlg34();

    bool Encrypt(NoltComm::CIOBuffer& buffer) override;
    bool Decrypt(NoltComm::CIOBuffer& buffer) override;
    bool SetKey(const std::string& key) override;
    bool GenerateKey() override;

private:
    uint8_t key_[32] = {};
    bool keyed_ = false;
};

}  // namespace swmodule
