// Session ciphers of the packet bodies: the abstract CQvSymmetricCipher and the built-in
// "Std" (repeating 8-byte XOR), "BF" (Blowfish CBC) and "rc4" (RC4 stream) ciphers.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "comm/CipherPackets.h"

namespace NoltComm {

class CIOBuffer;

// One body cipher per connection. Encrypt and Decrypt work in place on a whole packet
// (14-byte header and body) and return false when they did not do their work: a packet
// whose Encrypt failed must not be sent, since its body is not (or not wholly) encrypted.
// A cipher that keeps a running state (rc4) must encrypt each packet and send it under one
// lock of the caller, the link's write lock, so the state advances in wire order.
// SetKey and GenerateKey must not run while another call on the same object runs.
class CQvSymmetricCipher {
public:
    CQvSymmetricCipher(std::string name, std::string description)
        : name_(std::move(name)), description_(std::move(description)) {}
    virtual ~CQvSymmetricCipher() = default;
    CQvSymmetricCipher(const CQvSymmetricCipher&) = delete;
    CQvSymmetricCipher& operator=(const CQvSymmetricCipher&) = delete;

    virtual bool Encrypt(CIOBuffer& buffer) = 0;
    virtual bool Decrypt(CIOBuffer& buffer) = 0;
    // False (previous key kept) unless the text has the cipher's key length.
    virtual bool SetKey(const std::string& key) = 0;
    // A fresh random key text of the cipher's key length; false when none could be made.
    virtual bool GenerateKey() = 0;

    std::string GetKey() const { return key_; }
    std::string GetErrorText() const { return errorText_; }
    const std::string& GetName() const { return name_; }
    const std::string& GetDescription() const { return description_; }

protected:
    void StoreKey(const std::string& key) { key_ = key; }
    void SetErrorText(std::string text) { errorText_ = std::move(text); }

private:
    std::string key_;
    std::string name_;
    std::string description_;
    // Filled by ciphers of crypto modules; the built-in ones leave it empty.
    std::string errorText_;
};

// "Std": the body XORed with the 8-character key text. Holds no state while working, so
// any number of threads may encrypt and decrypt at once.
class CQvStdCipher : public CQvSymmetricCipher {
public:
    static constexpr uint32_t kKeyLength = 8;
    CQvStdCipher();

    bool Encrypt(CIOBuffer& buffer) override;
    bool Decrypt(CIOBuffer& buffer) override;
    bool SetKey(const std::string& key) override;
    bool GenerateKey() override;
};

// "BF": Blowfish in CBC mode, keyed with the first 8 bytes of the 16-character key text,
// its last 8 bytes the initialisation vector of every packet. Wire form of an encrypted
// body: the cipher text (the body zero-filled to a multiple of 8) and the plain body
// length as u16 little-endian. Each call works on its own copy of the keyed state, so any
// number of threads may encrypt and decrypt at once.
class CQvBlowfishCipher : public CQvSymmetricCipher {
public:
    static constexpr uint32_t kKeyLength = 16;
    // Throws CQvException when the crypto library has no Blowfish.
    CQvBlowfishCipher();

    bool Encrypt(CIOBuffer& buffer) override;
    bool Decrypt(CIOBuffer& buffer) override;
    bool SetKey(const std::string& key) override;
    bool GenerateKey() override;

private:
    const EVP_CIPHER* cipher_;
    CipherCtx keyed_;  // null until keyed; copied per call, never changed by one
};

// "rc4": one RC4 key stream, set up by SetKey or GenerateKey and advanced by every
// Encrypt and Decrypt alike, so both directions draw from the same stream (the server
// keeps its stream the same way). The order of the calls is therefore part of the
// protocol: the caller must encrypt and send each packet under one lock (its write lock),
// so that the key stream is used in the order the packets go out. Calls never overlap
// inside the object either: an internal lock serialises them.
class CQvRc4Cipher : public CQvSymmetricCipher {
public:
    static constexpr uint32_t kKeyLength = 16;
    // Throws CQvException when the crypto library has no RC4.
    CQvRc4Cipher();

    bool Encrypt(CIOBuffer& buffer) override;
    bool Decrypt(CIOBuffer& buffer) override;
    bool SetKey(const std::string& key) override;
    bool GenerateKey() override;

private:
    bool Apply(CIOBuffer& buffer, bool encrypt);

    const EVP_CIPHER* cipher_;
    std::mutex lock_;
    CipherCtx stream_;  // null until keyed
};

// Registry names of the built-in ciphers, in registration order.
inline constexpr std::string_view kBuiltInSymmetricNames[] = {"Std", "BF", "rc4"};

// A new built-in cipher by its exact registry name, unkeyed; null with the reason in
// errorText when the name is unknown or the crypto library lacks the algorithm.
std::unique_ptr<CQvSymmetricCipher> CreateBuiltInSymmetricCipher(std::string_view name,
                                                                 std::string& errorText);

}  // namespace NoltComm
