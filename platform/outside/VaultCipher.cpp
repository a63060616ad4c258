// The encryption stand-in: HKDF-SHA256 turns the caller's key text into an AES-256 key; each
// message carries its own random 12-byte nonce and the 16-byte GCM tag, so a wrong key or a
// changed character is reported instead of decrypting to garbage.
#include "platform/outside/VaultCipher.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <array>
#include <cstring>
#include <memory>

namespace tavroEncrypt {
namespace {

constexpr int kNonceBytes = 12;
constexpr int kTagBytes = 16;
constexpr int kOverhead = kNonceBytes + kTagBytes;
// Far above anything the program encrypts, far below where the Base64 length overflows.
constexpr int kMaxPlain = 1 << 26;

// Both sides of the login derive the same key from the same text: the salt and label fix
// the derivation to this cipher type.
constexpr char kSalt[] = "tavroEncrypt";
constexpr char kLabel[] = "CVaultCipher type 14 AES-256-GCM";

using Key = std::array<unsigned char, 32>;

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

bool DeriveKey(std::string_view text, Key* key) {
    if (text.empty()) return false;
    EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    if (kdf == nullptr) return false;
    EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
    EVP_KDF_free(kdf);
    if (ctx == nullptr) return false;
    char digest[] = "SHA256";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_octet_string(
                               OSSL_KDF_PARAM_KEY, const_cast<char*>(text.data()), text.size()),
                           OSSL_PARAM_construct_octet_string(
                               OSSL_KDF_PARAM_SALT, const_cast<char*>(kSalt), sizeof(kSalt) - 1),
                           OSSL_PARAM_construct_octet_string(
                               OSSL_KDF_PARAM_INFO, const_cast<char*>(kLabel), sizeof(kLabel) - 1),
                           OSSL_PARAM_construct_end()};
    const bool ok = EVP_KDF_derive(ctx, key->data(), key->size(), params) == 1;
    EVP_KDF_CTX_free(ctx);
    return ok;
}

int Base64Length(int rawLen) { return (rawLen + 2) / 3 * 4; }

bool IsBase64Code(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

int CodeValue(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : 63;
}

// Strict Base64: whole groups of four, the alphabet only, '=' only as the last one or two
// characters, and the bits the padding leaves over zero, so that every message has exactly
// one text. OpenSSL's block decoder would let blanks, inner padding and stray bits through.
bool DecodeStrict(std::string_view text, std::string* raw) {
    if (text.empty() || text.size() % 4 != 0) return false;
    size_t pad = 0;
    if (text.back() == '=') pad = text[text.size() - 2] == '=' ? 2 : 1;
    for (size_t i = 0; i < text.size() - pad; ++i)
        if (!IsBase64Code(static_cast<unsigned char>(text[i]))) return false;
    if (pad > 0) {
        const int last = CodeValue(static_cast<unsigned char>(text[text.size() - pad - 1]));
        if ((last & (pad == 1 ? 0x3 : 0xF)) != 0) return false;
    }
    raw->resize(text.size() / 4 * 3);
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(raw->data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0 || static_cast<size_t>(n) != raw->size()) return false;
    raw->resize(raw->size() - pad);
    return true;
}

bool Seal(const Key& key, const unsigned char* plain, int plainLen, std::string* raw) {
    raw->assign(static_cast<size_t>(plainLen) + kOverhead, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(raw->data());
    if (RAND_bytes(bytes, kNonceBytes) != 1) return false;
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int tail = 0;
    return ctx &&
           EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), bytes) == 1 &&
           (plainLen == 0 ||
            EVP_EncryptUpdate(ctx.get(), bytes + kNonceBytes, &len, plain, plainLen) == 1) &&
           EVP_EncryptFinal_ex(ctx.get(), bytes + kNonceBytes + len, &tail) == 1 &&
           len + tail == plainLen &&
           EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagBytes,
                               bytes + kNonceBytes + plainLen) == 1;
}

bool Open(const Key& key, const std::string& raw, std::string* plain) {
    if (raw.size() < static_cast<size_t>(kOverhead)) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
    const int plainLen = static_cast<int>(raw.size()) - kOverhead;
    plain->assign(static_cast<size_t>(plainLen), '\0');
    auto* out = reinterpret_cast<unsigned char*>(plain->data());
    unsigned char tag[kTagBytes];
    std::memcpy(tag, bytes + kNonceBytes + plainLen, kTagBytes);
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int tail = 0;
    const bool ok =
        ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), bytes) == 1 &&
        (plainLen == 0 ||
         EVP_DecryptUpdate(ctx.get(), out, &len, bytes + kNonceBytes, plainLen) == 1) &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagBytes, tag) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), out + len, &tail) == 1 && len + tail == plainLen;
    if (!ok) {
        // Nothing unauthenticated leaves this function.
        OPENSSL_cleanse(plain->data(), plain->size());
        plain->clear();
    }
    return ok;
}

}  // namespace

int CVaultCipher::EncryptedLength(int type, int plainLen) {
    if (type != kTypeAesGcm || plainLen < 0 || plainLen > kMaxPlain) return -1;
    return Base64Length(plainLen + kOverhead);
}

int CVaultCipher::DecryptedLength(int type, int textLen) {
    if (type != kTypeAesGcm || textLen < 0) return -1;
    const int raw = textLen / 4 * 3;
    return raw > kOverhead ? raw - kOverhead : 0;
}

int CVaultCipher::EncryptWithBase64(int type, std::string_view key, const void* in, int inLen,
                                    char* out, int* outLen) {
    const int textLen = EncryptedLength(type, inLen);
    if (textLen < 0 || (in == nullptr && inLen > 0) || out == nullptr || outLen == nullptr)
        return kFailed;
    if (*outLen < textLen + 1) {
        *outLen = textLen + 1;
        return kBufferSmall;
    }
    Key derived;
    std::string raw;
    const bool ok = DeriveKey(key, &derived) &&
                    Seal(derived, static_cast<const unsigned char*>(in), inLen, &raw);
    OPENSSL_cleanse(derived.data(), derived.size());
    if (!ok) return kFailed;
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out),
                                        reinterpret_cast<const unsigned char*>(raw.data()),
                                        static_cast<int>(raw.size()));
    if (written != textLen) return kFailed;
    *outLen = written;
    return kOk;
}

int CVaultCipher::DecryptWithBase64(int type, std::string_view key, const char* in, int inLen,
                                    void* out, int* outLen) {
    if (type != kTypeAesGcm || in == nullptr || inLen < 0 || out == nullptr || outLen == nullptr ||
        *outLen < 0)
        return kFailed;
    std::string raw;
    std::string plain;
    Key derived;
    const bool ok = DecodeStrict(std::string_view(in, static_cast<size_t>(inLen)), &raw) &&
                    DeriveKey(key, &derived) && Open(derived, raw, &plain);
    OPENSSL_cleanse(derived.data(), derived.size());
    if (!ok) return kFailed;
    const int plainLen = static_cast<int>(plain.size());
    int result = kOk;
    if (*outLen < plainLen) {
        result = kBufferSmall;
    } else {
        std::memcpy(out, plain.data(), plain.size());
        if (*outLen > plainLen) static_cast<char*>(out)[plainLen] = '\0';
    }
    *outLen = plainLen;
    OPENSSL_cleanse(plain.data(), plain.size());
    return result;
}

bool CVaultCipher::Encrypt(int type, std::string_view key, std::string_view plain,
                           std::string* text) {
    if (text == nullptr || plain.size() > static_cast<size_t>(kMaxPlain)) return false;
    const int textLen = EncryptedLength(type, static_cast<int>(plain.size()));
    if (textLen < 0) return false;
    std::string buffer(static_cast<size_t>(textLen) + 1, '\0');
    int len = textLen + 1;
    if (EncryptWithBase64(type, key, plain.data(), static_cast<int>(plain.size()), buffer.data(),
                          &len) != kOk)
        return false;
    buffer.resize(static_cast<size_t>(len));
    *text = std::move(buffer);
    return true;
}

bool CVaultCipher::Decrypt(int type, std::string_view key, std::string_view text,
                           std::string* plain) {
    if (plain == nullptr || text.size() > static_cast<size_t>(EncryptedLength(type, kMaxPlain)))
        return false;
    const int room = DecryptedLength(type, static_cast<int>(text.size()));
    if (room < 0) return false;
    std::string buffer(static_cast<size_t>(room) + 1, '\0');
    int len = room + 1;
    if (DecryptWithBase64(type, key, text.data(), static_cast<int>(text.size()), buffer.data(),
                          &len) != kOk)
        return false;
    buffer.resize(static_cast<size_t>(len));
    *plain = std::move(buffer);
    return true;
}

}  // namespace tavroEncrypt
