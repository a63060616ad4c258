// Cipher engines: the stateless family of the body cipher algorithms, keyed on every call,
// and the process-wide table that holds one engine of each kind.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/IOBuffer.h"

namespace NoltComm {

// Encrypt and Decrypt return 1 when done and 0 when not; the base does nothing. Engines
// keep no state between calls, so any number of threads may use one at once.
class CQvCipherEngine : public CIOBuffer::Allocator {
public:
    CQvCipherEngine(std::string name, std::string description)
        : name_(std::move(name)), description_(std::move(description)) {}

    virtual int Encrypt(CIOBuffer& buffer, const char* key);
    virtual int Decrypt(CIOBuffer& buffer, const char* key);
    virtual std::string GenerateKey();

    const std::string& GetName() const { return name_; }
    const std::string& GetDescription() const { return description_; }

private:
    std::string name_;
    std::string description_;
};

// "Std": the body XORed with the given 8-character key.
class CQvStdEngine : public CQvCipherEngine {
public:
    CQvStdEngine() : CQvCipherEngine("Std", "通用加密算法") {}
    int Encrypt(CIOBuffer& buffer, const char* key) override;
    int Decrypt(CIOBuffer& buffer, const char* key) override;
    std::string GenerateKey() override;
};

// "BF": Blowfish CBC with the layout of the session cipher, the key schedule built from the
// given 16-character key on every call; 0 without Blowfish in the crypto library.
class CQvBlowfishEngine : public CQvCipherEngine {
public:
    CQvBlowfishEngine() : CQvCipherEngine("BF", "Blowfish") {}
    int Encrypt(CIOBuffer& buffer, const char* key) override;
    int Decrypt(CIOBuffer& buffer, const char* key) override;
    std::string GenerateKey() override;
};

// "rc4": a fresh RC4 stream from the given 16-character key on every call, so each packet
// starts a new key stream; Decrypt is the same operation (it sets the body flag too).
class CQvRc4Engine : public CQvCipherEngine {
public:
    CQvRc4Engine() : CQvCipherEngine("rc4", "rc4") {}
    int Encrypt(CIOBuffer& buffer, const char* key) override;
    int Decrypt(CIOBuffer& buffer, const char* key) override;
    std::string GenerateKey() override;
};

// One engine of each kind, made at first use in the order "BF", "Std", "rc4".
class CQvEngineTable {
public:
    static CQvEngineTable& Instance();

    std::size_t GetCount() const { return engines_.size(); }
    CQvCipherEngine* GetAt(std::size_t index) const;

private:
    CQvEngineTable();
    std::vector<std::unique_ptr<CQvCipherEngine>> engines_;
};

}  // namespace NoltComm
