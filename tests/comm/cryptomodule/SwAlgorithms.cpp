// "SWRSA" and "SW_ALG34" of the test security-session module, over the crypto library. The
// test server mirrors them with its own code.
#include "SwAlgorithms.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstring>
#include <vector>

#include "comm/IOBuffer.h"

namespace swmodule {

namespace {

// The client's proof key and the server's public proof key of this test installation.
constexpr char kClientProofSeed[] =
    "8c3cf6fc2d081298710110e68b3cddc0d3d187d70f2969aa30e9ecc66f02bbc1";
constexpr char kServerProofPublic[] =
    "08e05a956e415842a8653a59c510ee06f7e8150f24a388c763a6ff900844f3aa";
constexpr char kConfirmationLabel[] = "SW_ALG34 key confirmation";

constexpr uint32_t kHeader = 14;
constexpr uint32_t kNonce = 12;
constexpr uint32_t kTag = 16;

std::string Hex(const uint8_t* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool Unhex(const std::string& text, std::vector<uint8_t>& bytes) {
    auto value = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    bytes.clear();
    if (text.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = value(text[i]), lo = value(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

EVP_PKEY* RawEd25519(const std::string& hex, bool isPrivate) {
    std::vector<uint8_t> raw;
    if (!Unhex(hex, raw) || raw.size() != 32) return nullptr;
    return isPrivate
               ? EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, raw.data(), raw.size())
               : EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw.data(), raw.size());
}

struct CtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

bool OaepContext(EVP_PKEY_CTX* ctx, bool encrypt) {
    const int init = encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx);
    return init == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) == 1 &&
           EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256()) == 1 &&
           EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) == 1;
}

// The header as authenticated: length bytes zero, body flag bit 0 set.
void AuthenticatedHeader(const uint8_t* packet, uint8_t out[kHeader]) {
    std::memcpy(out, packet, kHeader);
    out[0] = out[1] = 0;
    out[7] |= 1;
}

void WriteLength(uint8_t* packet, uint32_t length) {
    packet[0] = static_cast<uint8_t>(length & 0xFF);
    packet[1] = static_cast<uint8_t>(length >> 8);
}

}  // namespace

CSwRsa::CSwRsa() : CQvAsymmetricCipher("SWRSA") {}

CSwRsa::~CSwRsa() {
    EVP_PKEY_free(rsa_);
    EVP_PKEY_free(proofKey_);
}

bool CSwRsa::GenerateKeyPair() {
    std::unique_ptr<EVP_PKEY_CTX, CtxFree> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), 2048) != 1 ||
        EVP_PKEY_generate(ctx.get(), &key) != 1) {
        ERR_clear_error();
        return Fail("SWRSA: 密钥生成失败");
    }
    EVP_PKEY_free(rsa_);
    rsa_ = key;
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(rsa_, &der);
    if (length <= 0) return Fail("SWRSA: 公钥编码失败");
    StorePublicKey(Hex(der, static_cast<std::size_t>(length)));
    OPENSSL_free(der);
    return true;
}

bool CSwRsa::SetPublicKey(const std::string& key) {
    EVP_PKEY* proof = RawEd25519(key.empty() ? kServerProofPublic : key, false);
    if (proof == nullptr) return Fail("SWRSA: 验证密钥无效");
    EVP_PKEY_free(proofKey_);
    proofKey_ = proof;
    return true;
}

bool CSwRsa::SetPrivateKey(const std::string& key) {
    EVP_PKEY* proof = RawEd25519(key.empty() ? kClientProofSeed : key, true);
    if (proof == nullptr) return Fail("SWRSA: 签名密钥无效");
    EVP_PKEY_free(proofKey_);
    proofKey_ = proof;
    return true;
}

bool CSwRsa::Sign(const std::string& data, std::string& result) {
    result.clear();
    std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
    uint8_t signature[64];
    std::size_t length = sizeof(signature);
    if (proofKey_ == nullptr || !ctx ||
        EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, proofKey_) != 1 ||
        EVP_DigestSign(ctx.get(), signature, &length, reinterpret_cast<const uint8_t*>(data.data()),
                       data.size()) != 1) {
        ERR_clear_error();
        return Fail("SWRSA: 签名失败");
    }
    result = Hex(signature, length);
    return true;
}

bool CSwRsa::Verify(const std::string& data, const std::string& proof) {
    std::vector<uint8_t> signature;
    std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
    if (proofKey_ == nullptr || !Unhex(proof, signature) || !ctx ||
        EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, proofKey_) != 1 ||
        EVP_DigestVerify(ctx.get(), signature.data(), signature.size(),
                         reinterpret_cast<const uint8_t*>(data.data()), data.size()) != 1) {
        ERR_clear_error();
        return Fail("SWRSA: 服务器证明无效");
    }
    return true;
}

bool CSwRsa::PrivateDecrypt(const std::string& hex, std::string& plain) {
    plain.clear();
    std::vector<uint8_t> cipher;
    if (rsa_ == nullptr || !Unhex(hex, cipher)) return Fail("SWRSA: 会话密钥密文无效");
    std::unique_ptr<EVP_PKEY_CTX, CtxFree> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, rsa_, nullptr));
    std::vector<uint8_t> out(static_cast<std::size_t>(EVP_PKEY_get_size(rsa_)));
    std::size_t length = out.size();
    if (!ctx || !OaepContext(ctx.get(), false) ||
        EVP_PKEY_decrypt(ctx.get(), out.data(), &length, cipher.data(), cipher.size()) != 1) {
        ERR_clear_error();
        return Fail("SWRSA: 会话密钥解密失败");
    }
    plain.assign(reinterpret_cast<const char*>(out.data()), length);
    sessionKey_ = plain;
    return true;
}

bool CSwRsa::PublicEncrypt(const std::string& plain, std::string& hex) {
    hex.clear();
    if (rsa_ == nullptr) return Fail("SWRSA: 没有密钥");
    std::unique_ptr<EVP_PKEY_CTX, CtxFree> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, rsa_, nullptr));
    std::vector<uint8_t> out(static_cast<std::size_t>(EVP_PKEY_get_size(rsa_)));
    std::size_t length = out.size();
    if (!ctx || !OaepContext(ctx.get(), true) ||
        EVP_PKEY_encrypt(ctx.get(), out.data(), &length,
                         reinterpret_cast<const uint8_t*>(plain.data()), plain.size()) != 1) {
        ERR_clear_error();
        return Fail("SWRSA: 加密失败");
    }
    hex = Hex(out.data(), length);
    return true;
}

std::string CSwRsa::GetAuxText() {
    if (sessionKey_.empty()) return {};
    uint8_t mac[32];
    unsigned length = sizeof(mac);
    if (HMAC(EVP_sha256(), sessionKey_.data(), static_cast<int>(sessionKey_.size()),
             reinterpret_cast<const uint8_t*>(kConfirmationLabel), sizeof(kConfirmationLabel) - 1,
             mac, &length) == nullptr) {
        return {};
    }
    return Hex(mac, length);
}

CSwAlg34::CSwAlg34() : CQvSymmetricCipher("SW_ALG34", "SW_ALG34") {}

bool CSwAlg34::SetKey(const std::string& key) {
    std::vector<uint8_t> bytes;
    if (key.size() != 64 || !Unhex(key, bytes)) {
        SetErrorText("SW_ALG34: 会话密钥格式不符");
        return false;
    }
    std::memcpy(key_, bytes.data(), sizeof(key_));
    keyed_ = true;
    StoreKey(key);
    return true;
}

bool CSwAlg34::GenerateKey() {
    uint8_t bytes[32];
    if (RAND_bytes(bytes, sizeof(bytes)) != 1) return false;
    return SetKey(Hex(bytes, sizeof(bytes)));
}

bool CSwAlg34::Encrypt(NoltComm::CIOBuffer& buffer) {
    const uint32_t used = buffer.GetUsed();
    if (!keyed_ || used < kHeader || buffer.GetCapacity() - used < kNonce + kTag ||
        used + kNonce + kTag > 0xFFFF) {
        return false;
    }
    uint8_t* packet = buffer.GetBuffer();
    const int n = static_cast<int>(used - kHeader);
    uint8_t* body = packet + kHeader + kNonce;
    std::memmove(body, packet + kHeader, static_cast<std::size_t>(n));
    if (RAND_bytes(packet + kHeader, kNonce) != 1) return false;
    uint8_t aad[kHeader];
    AuthenticatedHeader(packet, aad);
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    int out = 0;
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key_, packet + kHeader) != 1 ||
        EVP_EncryptUpdate(ctx.get(), nullptr, &out, aad, kHeader) != 1 ||
        EVP_EncryptUpdate(ctx.get(), body, &out, body, n) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), body + n, &out) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTag, body + n) != 1) {
        // Put the plain body back: the caller must find the packet as it was.
        std::memmove(packet + kHeader, body, static_cast<std::size_t>(n));
        return false;
    }
    packet[7] |= 1;
    buffer.SetUsed(used + kNonce + kTag);
    WriteLength(packet, used + kNonce + kTag);
    return true;
}

bool CSwAlg34::Decrypt(NoltComm::CIOBuffer& buffer) {
    const uint32_t used = buffer.GetUsed();
    if (!keyed_ || used < kHeader + kNonce + kTag) return false;
    uint8_t* packet = buffer.GetBuffer();
    const int n = static_cast<int>(used - kHeader - kNonce - kTag);
    const uint8_t* nonce = packet + kHeader;
    const uint8_t* cipher = nonce + kNonce;
    uint8_t tag[kTag];
    std::memcpy(tag, cipher + n, kTag);
    uint8_t aad[kHeader];
    AuthenticatedHeader(packet, aad);
    std::vector<uint8_t> plain(static_cast<std::size_t>(n) + 1);
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    int out = 0;
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key_, nonce) != 1 ||
        EVP_DecryptUpdate(ctx.get(), nullptr, &out, aad, kHeader) != 1 ||
        EVP_DecryptUpdate(ctx.get(), plain.data(), &out, cipher, n) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTag, tag) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), plain.data() + n, &out) != 1) {
        ERR_clear_error();
        return false;
    }
    std::memcpy(packet + kHeader, plain.data(), static_cast<std::size_t>(n));
    packet[7] &= static_cast<uint8_t>(~1u);
    buffer.SetUsed(kHeader + static_cast<uint32_t>(n));
    WriteLength(packet, kHeader + static_cast<uint32_t>(n));
    return true;
}

}  // namespace swmodule
