// The cipher engines over the shared packet transforms.
#include "comm/CipherEngine.h"

#include <cstring>

#include "comm/CipherPackets.h"
#include "comm/FixPacket.h"
#include "comm/LegacyCiphers.h"
#include "comm/SessionKey.h"

namespace NoltComm {

namespace {

// The key must be exactly `length` characters: a shorter one would be read beyond its end,
// and an empty one would leave the body in clear.
const uint8_t* KeyOfLength(const char* key, std::size_t length) {
    if (key == nullptr || strnlen(key, length + 1) != length) return nullptr;
    return reinterpret_cast<const uint8_t*>(key);
}

// 1 when `transform` succeeded with the legacy cipher and the 16-character key; 0 when the
// key or the cipher is missing or the transform failed.
template <typename Transform>
int WithLegacyCipher(LegacyCipher which, const char* key, Transform transform) {
    try {
        const uint8_t* k = KeyOfLength(key, 16);
        std::string text;
        const EVP_CIPHER* cipher = FetchLegacyCipher(which, text);
        return k != nullptr && cipher != nullptr && transform(cipher, k) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

int CQvCipherEngine::Encrypt(CIOBuffer&, const char*) { return 0; }
int CQvCipherEngine::Decrypt(CIOBuffer&, const char*) { return 0; }
std::string CQvCipherEngine::GenerateKey() { return std::string(); }

int CQvStdEngine::Encrypt(CIOBuffer& buffer, const char* key) {
    const uint8_t* k = KeyOfLength(key, 8);
    if (k == nullptr || buffer.GetUsed() < kHeaderSize) return 0;
    buffer.GetBuffer()[7] |= kBodyEncrypted;
    XorWithKey(buffer.GetBuffer() + kHeaderSize, buffer.GetUsed() - kHeaderSize, k);
    return 1;
}

int CQvStdEngine::Decrypt(CIOBuffer& buffer, const char* key) {
    const uint8_t* k = KeyOfLength(key, 8);
    if (k == nullptr || buffer.GetUsed() < kHeaderSize) return 0;
    XorWithKey(buffer.GetBuffer() + kHeaderSize, buffer.GetUsed() - kHeaderSize, k);
    return 1;
}

std::string CQvStdEngine::GenerateKey() { return RandomKeyText(8); }

int CQvBlowfishEngine::Encrypt(CIOBuffer& buffer, const char* key) {
    return WithLegacyCipher(LegacyCipher::kBlowfishCbc, key,
                            [&](const EVP_CIPHER* c, const uint8_t* k) {
                                CipherCtx keyed = MakeBlowfishKey(c, k);
                                return keyed && BlowfishEncryptPacket(buffer, keyed.get(), k + 8);
                            });
}

int CQvBlowfishEngine::Decrypt(CIOBuffer& buffer, const char* key) {
    return WithLegacyCipher(LegacyCipher::kBlowfishCbc, key,
                            [&](const EVP_CIPHER* c, const uint8_t* k) {
                                CipherCtx keyed = MakeBlowfishKey(c, k);
                                return keyed && BlowfishDecryptPacket(buffer, keyed.get(), k + 8);
                            });
}

std::string CQvBlowfishEngine::GenerateKey() { return RandomKeyText(16); }

int CQvRc4Engine::Encrypt(CIOBuffer& buffer, const char* key) {
    return WithLegacyCipher(LegacyCipher::kRc4, key, [&](const EVP_CIPHER* c, const uint8_t* k) {
        CipherCtx stream = MakeRc4Stream(c, k);
        return stream && Rc4Packet(buffer, stream.get(), true);
    });
}

int CQvRc4Engine::Decrypt(CIOBuffer& buffer, const char* key) { return Encrypt(buffer, key); }

std::string CQvRc4Engine::GenerateKey() { return RandomKeyText(16); }

CQvEngineTable::CQvEngineTable() {
    engines_.push_back(std::make_unique<CQvBlowfishEngine>());
    engines_.push_back(std::make_unique<CQvStdEngine>());
    engines_.push_back(std::make_unique<CQvRc4Engine>());
}

CQvEngineTable& CQvEngineTable::Instance() {
    static CQvEngineTable table;
    return table;
}

CQvCipherEngine* CQvEngineTable::GetAt(std::size_t index) const {
    return index < engines_.size() ? engines_[index].get() : nullptr;
}

}  // namespace NoltComm
