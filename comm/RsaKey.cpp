// RSA keys, PKCS #1 v1.5 encryption in pieces and the hexadecimal cipher-text form.
#include "comm/RsaKey.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <algorithm>

#include "comm/LegacyCiphers.h"

namespace NoltComm {

namespace {

struct BnFree {
    void operator()(BIGNUM* bn) const { BN_free(bn); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

struct CtxFree {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;

struct BldFree {
    void operator()(OSSL_PARAM_BLD* bld) const { OSSL_PARAM_BLD_free(bld); }
};
struct ParamFree {
    void operator()(OSSL_PARAM* params) const { OSSL_PARAM_free(params); }
};

Bn ToBn(std::span<const uint8_t> bytes) {
    return Bn(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

std::string WithReason(std::string text) {
    const std::string reason = TakeCryptoLibraryErrors();
    if (!reason.empty()) text += "(" + reason + ")";
    return text;
}

std::vector<uint8_t> BnParam(const EVP_PKEY* key, const char* name) {
    BIGNUM* raw = nullptr;
    if (key == nullptr || EVP_PKEY_get_bn_param(key, name, &raw) != 1) {
        ERR_clear_error();
        return {};
    }
    Bn bn(raw);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(bn.get())));
    BN_bn2bin(bn.get(), bytes.data());
    return bytes;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

PkeyCtx PaddedContext(EVP_PKEY* key, bool encrypt) {
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    if (!ctx) return nullptr;
    const int init = encrypt ? EVP_PKEY_encrypt_init(ctx.get()) : EVP_PKEY_decrypt_init(ctx.get());
    if (init != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
        return nullptr;
    }
    return ctx;
}

}  // namespace

void PkeyFree::operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }

void SeedRsaRandom() {
    static const char kSeed[] =
        "brenlake string to make the random number generator think it has entropy";
    RAND_seed(kSeed, sizeof(kSeed));
}

RsaKeyPtr MakeRsaPublicKey(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent,
                           std::string& error) {
    if (modulus.size() > kMaxRsaBytes || exponent.size() > kMaxRsaBytes) {
        error = "RSA公钥过长";
        return nullptr;
    }
    Bn n = ToBn(modulus);
    Bn e = ToBn(exponent);
    if (!n || !e) {
        error = WithReason("RSA公钥无法建立");
        return nullptr;
    }
    if (BN_num_bits(n.get()) < kMinRsaBits) {
        error = "RSA公钥模数不足1024位";
        return nullptr;
    }
    if (!BN_is_odd(n.get())) {
        error = "RSA公钥模数无效";
        return nullptr;
    }
    // Odd and not 1 means at least 3.
    // The library refuses exponents over 64 bits with moduli over 3072 bits.
    if (!BN_is_odd(e.get()) || BN_is_one(e.get()) || BN_cmp(e.get(), n.get()) >= 0 ||
        (BN_num_bits(n.get()) > 3072 && BN_num_bits(e.get()) > 64)) {
        error = "RSA公钥指数无效";
        return nullptr;
    }
    std::unique_ptr<OSSL_PARAM_BLD, BldFree> bld(OSSL_PARAM_BLD_new());
    if (!bld || OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1) {
        error = WithReason("RSA公钥无法建立");
        return nullptr;
    }
    std::unique_ptr<OSSL_PARAM, ParamFree> params(OSSL_PARAM_BLD_to_param(bld.get()));
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
        EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
        error = WithReason("RSA公钥无法建立");
        return nullptr;
    }
    return RsaKeyPtr(key);
}

RsaKeyPtr GenerateRsaKeyPair(std::string& error) {
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    Bn e(BN_new());
    EVP_PKEY* key = nullptr;
    if (!ctx || !e || BN_set_word(e.get(), kGeneratedRsaExponent) != 1 ||
        EVP_PKEY_keygen_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), kGeneratedRsaBits) != 1 ||
        EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) != 1 ||
        EVP_PKEY_generate(ctx.get(), &key) != 1) {
        error = WithReason("RSA密钥生成失败");
        return nullptr;
    }
    return RsaKeyPtr(key);
}

std::vector<uint8_t> RsaModulusBytes(const EVP_PKEY* key) {
    return BnParam(key, OSSL_PKEY_PARAM_RSA_N);
}

std::vector<uint8_t> RsaExponentBytes(const EVP_PKEY* key) {
    return BnParam(key, OSSL_PKEY_PARAM_RSA_E);
}

bool RsaEncryptText(EVP_PKEY* key, std::string_view text, std::string& hex, std::string& error) {
    hex.clear();
    ERR_clear_error();
    PkeyCtx ctx = key != nullptr ? PaddedContext(key, true) : nullptr;
    if (!ctx) {
        error = WithReason("RSA加密失败");
        return false;
    }
    const int size = EVP_PKEY_get_size(key);
    // PKCS #1 v1.5 padding takes 11 bytes of every block.
    const std::size_t oneBlock = size > 11 ? static_cast<std::size_t>(size - 11) : 0;
    const std::size_t piece = text.size() <= oneBlock ? text.size() : kRsaPieceSize;
    if (piece > oneBlock) {
        error = "RSA密钥过短";
        return false;
    }
    std::vector<uint8_t> block(static_cast<std::size_t>(size));
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min(piece, text.size() - offset);
        std::size_t outLength = block.size();
        if (EVP_PKEY_encrypt(ctx.get(), block.data(), &outLength,
                             reinterpret_cast<const uint8_t*>(text.data()) + offset, n) != 1) {
            hex.clear();
            error = WithReason("RSA加密失败");
            return false;
        }
        hex += ToHex(std::span<const uint8_t>(block.data(), outLength));
        offset += n;
    } while (offset < text.size());
    return true;
}

bool RsaDecryptHex(EVP_PKEY* key, std::string_view hex, std::string& plain, std::string& error) {
    plain.clear();
    ERR_clear_error();
    std::vector<uint8_t> bytes;
    if (!FromHex(hex, bytes)) {
        error = "RSA密文不是十六进制文本";
        return false;
    }
    PkeyCtx ctx = key != nullptr ? PaddedContext(key, false) : nullptr;
    if (!ctx) {
        error = WithReason("RSA解密失败");
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(EVP_PKEY_get_size(key));
    if (bytes.empty() || size == 0 || bytes.size() % size != 0) {
        error = "RSA密文长度不符";
        return false;
    }
    std::vector<uint8_t> block(size);
    for (std::size_t offset = 0; offset < bytes.size(); offset += size) {
        std::size_t outLength = block.size();
        if (EVP_PKEY_decrypt(ctx.get(), block.data(), &outLength, bytes.data() + offset, size) !=
            1) {
            plain.clear();
            error = WithReason("RSA解密失败");
            return false;
        }
        plain.append(reinterpret_cast<const char*>(block.data()), outLength);
    }
    return true;
}

std::string ToHex(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

bool FromHex(std::string_view hex, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (hex.size() % 2 != 0) return false;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]);
        const int lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            bytes.clear();
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

}  // namespace NoltComm
