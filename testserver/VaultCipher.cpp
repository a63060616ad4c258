// Decryption of the client's type-14 texts with OpenSSL's streaming Base64 decoder and the
// HKDF of the EVP_PKEY interface; nothing here is shared with the client.
#include "testserver/VaultCipher.h"

#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <cstring>
#include <memory>
#include <vector>

namespace testserver {
namespace {

constexpr size_t kNonce = 12;
constexpr size_t kTag = 16;
constexpr unsigned char kSalt[] = "tavroEncrypt";
constexpr unsigned char kInfo[] = "CVaultCipher type 14 AES-256-GCM";

bool Base64Decode(std::string_view text, std::vector<unsigned char>* raw) {
    std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> ctx(EVP_ENCODE_CTX_new(),
                                                                        &EVP_ENCODE_CTX_free);
    if (!ctx || text.size() % 4 != 0 || text.size() > (1u << 27)) return false;
    raw->assign(text.size() / 4 * 3 + 3, 0);
    EVP_DecodeInit(ctx.get());
    int len = 0;
    int tail = 0;
    if (EVP_DecodeUpdate(ctx.get(), raw->data(), &len,
                         reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) < 0)
        return false;
    if (EVP_DecodeFinal(ctx.get(), raw->data() + len, &tail) < 0) return false;
    raw->resize(static_cast<size_t>(len + tail));
    return true;
}

bool DeriveKey(std::string_view key, unsigned char out[32]) {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr), &EVP_PKEY_CTX_free);
    size_t outLen = 32;
    return ctx && !key.empty() && EVP_PKEY_derive_init(ctx.get()) > 0 &&
           EVP_PKEY_CTX_set_hkdf_md(ctx.get(), EVP_sha256()) > 0 &&
           EVP_PKEY_CTX_set1_hkdf_salt(ctx.get(), kSalt, sizeof(kSalt) - 1) > 0 &&
           EVP_PKEY_CTX_set1_hkdf_key(ctx.get(), reinterpret_cast<const unsigned char*>(key.data()),
                                      static_cast<int>(key.size())) > 0 &&
           EVP_PKEY_CTX_add1_hkdf_info(ctx.get(), kInfo, sizeof(kInfo) - 1) > 0 &&
           EVP_PKEY_derive(ctx.get(), out, &outLen) > 0 && outLen == 32;
}

}  // namespace

bool DecryptVaultText(std::string_view key, std::string_view text, std::string* plain) {
    std::vector<unsigned char> raw;
    unsigned char aesKey[32];
    if (plain == nullptr || !Base64Decode(text, &raw) || raw.size() < kNonce + kTag ||
        !DeriveKey(key, aesKey))
        return false;
    const size_t bodyLen = raw.size() - kNonce - kTag;
    std::vector<unsigned char> body(bodyLen + 16);
    unsigned char tag[kTag];
    std::memcpy(tag, raw.data() + kNonce + bodyLen, kTag);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        &EVP_CIPHER_CTX_free);
    int len = 0;
    int tail = 0;
    const bool ok =
        ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonce, nullptr) == 1 &&
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, aesKey, raw.data()) == 1 &&
        EVP_DecryptUpdate(ctx.get(), body.data(), &len, raw.data() + kNonce,
                          static_cast<int>(bodyLen)) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTag, tag) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), body.data() + len, &tail) == 1;
    OPENSSL_cleanse(aesKey, sizeof(aesKey));
    if (!ok) return false;
    plain->assign(reinterpret_cast<const char*>(body.data()), static_cast<size_t>(len + tail));
    return true;
}

}  // namespace testserver
