// The built-in body ciphers: key handling around the shared packet transforms.
#include "comm/SymmetricCipher.h"

#include "comm/FixPacket.h"
#include "comm/IOBuffer.h"
#include "comm/LegacyCiphers.h"
#include "comm/QvException.h"
#include "comm/SessionKey.h"

namespace NoltComm {

namespace {

// A key text travels as C text inside the authentication values, so it holds no NUL.
bool IsKeyText(const std::string& key, uint32_t length) {
    return key.size() == length && key.find('\0') == std::string::npos;
}

const uint8_t* KeyBytes(const std::string& key) {
    return reinterpret_cast<const uint8_t*>(key.data());
}

const EVP_CIPHER* FetchOrThrow(LegacyCipher which, const char* where) {
    std::string text;
    const EVP_CIPHER* cipher = FetchLegacyCipher(which, text);
    if (cipher == nullptr) throw CQvException(where, text);
    return cipher;
}

}  // namespace

// ---- "Std" ----

CQvStdCipher::CQvStdCipher() : CQvSymmetricCipher("Std", "通用加密算法") {}

bool CQvStdCipher::Encrypt(CIOBuffer& buffer) {
    const std::string key = GetKey();
    if (key.empty() || buffer.GetUsed() < kHeaderSize) return false;
    uint8_t* packet = buffer.GetBuffer();
    packet[7] |= kBodyEncrypted;
    XorWithKey(packet + kHeaderSize, buffer.GetUsed() - kHeaderSize, KeyBytes(key));
    return true;
}

bool CQvStdCipher::Decrypt(CIOBuffer& buffer) {
    const std::string key = GetKey();
    if (key.empty() || buffer.GetUsed() < kHeaderSize) return false;
    XorWithKey(buffer.GetBuffer() + kHeaderSize, buffer.GetUsed() - kHeaderSize, KeyBytes(key));
    return true;
}

bool CQvStdCipher::SetKey(const std::string& key) {
    if (!IsKeyText(key, kKeyLength)) return false;
    StoreKey(key);
    return true;
}

bool CQvStdCipher::GenerateKey() {
    const std::string key = RandomKeyText(kKeyLength);
    return !key.empty() && SetKey(key);
}

// ---- "BF" ----

CQvBlowfishCipher::CQvBlowfishCipher()
    : CQvSymmetricCipher("BF", "Blowfish"),
      cipher_(FetchOrThrow(LegacyCipher::kBlowfishCbc, "CQvBlowfishCipher::CQvBlowfishCipher()")) {}

bool CQvBlowfishCipher::SetKey(const std::string& key) {
    if (!IsKeyText(key, kKeyLength)) return false;
    CipherCtx keyed = MakeBlowfishKey(cipher_, KeyBytes(key));
    if (!keyed) return false;
    keyed_ = std::move(keyed);
    StoreKey(key);
    return true;
}

bool CQvBlowfishCipher::GenerateKey() {
    const std::string key = RandomKeyText(kKeyLength);
    return !key.empty() && SetKey(key);
}

bool CQvBlowfishCipher::Encrypt(CIOBuffer& buffer) {
    try {
        const std::string key = GetKey();
        return keyed_ && BlowfishEncryptPacket(buffer, keyed_.get(), KeyBytes(key) + 8);
    } catch (...) {
        return false;
    }
}

bool CQvBlowfishCipher::Decrypt(CIOBuffer& buffer) {
    try {
        const std::string key = GetKey();
        return keyed_ && BlowfishDecryptPacket(buffer, keyed_.get(), KeyBytes(key) + 8);
    } catch (...) {
        return false;
    }
}

// ---- "rc4" ----

CQvRc4Cipher::CQvRc4Cipher()
    : CQvSymmetricCipher("rc4", "rc4"),
      cipher_(FetchOrThrow(LegacyCipher::kRc4, "CQvRc4Cipher::CQvRc4Cipher()")) {}

bool CQvRc4Cipher::SetKey(const std::string& key) {
    if (!IsKeyText(key, kKeyLength)) return false;
    CipherCtx stream = MakeRc4Stream(cipher_, KeyBytes(key));
    if (!stream) return false;
    std::lock_guard<std::mutex> guard(lock_);
    stream_ = std::move(stream);
    StoreKey(key);
    return true;
}

bool CQvRc4Cipher::GenerateKey() {
    const std::string key = RandomKeyText(kKeyLength);
    return !key.empty() && SetKey(key);
}

bool CQvRc4Cipher::Apply(CIOBuffer& buffer, bool encrypt) {
    try {
        std::lock_guard<std::mutex> guard(lock_);
        return stream_ && Rc4Packet(buffer, stream_.get(), encrypt);
    } catch (...) {
        return false;
    }
}

bool CQvRc4Cipher::Encrypt(CIOBuffer& buffer) { return Apply(buffer, true); }
bool CQvRc4Cipher::Decrypt(CIOBuffer& buffer) { return Apply(buffer, false); }

// ---- creation by name ----

std::unique_ptr<CQvSymmetricCipher> CreateBuiltInSymmetricCipher(std::string_view name,
                                                                 std::string& errorText) {
    try {
        if (name == "Std") return std::make_unique<CQvStdCipher>();
        if (name == "BF") return std::make_unique<CQvBlowfishCipher>();
        if (name == "rc4") return std::make_unique<CQvRc4Cipher>();
        errorText = "系统不支持此对称算法(" + std::string(name) + ")";
    } catch (const CQvException& e) {
        errorText = e.Message();
    }
    return nullptr;
}

}  // namespace NoltComm
