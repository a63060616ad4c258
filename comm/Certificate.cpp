// Certificate and key loading for the SSL context.
#include "comm/Certificate.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <climits>
#include <fstream>
#include <memory>

#include "comm/LegacyCiphers.h"
#include "comm/RsaKey.h"

namespace NoltComm {

namespace {

// The pass phrase the client's key files are made with.
char kPassPhrase[] = "731406";

// A bundle that asks for more MAC rounds than this is refused: no real file needs them, and
// a crafted one would hold the connecting thread for minutes.
constexpr long kMaxMacIterations = 10'000'000;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct X509Free {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct P12Free {
    void operator()(PKCS12* p12) const { PKCS12_free(p12); }
};
using Cert = std::unique_ptr<X509, X509Free>;

struct Loaded {
    Cert cert;
    RsaKeyPtr key;
};

void Rewind(BIO* bio) {
    BIO_reset(bio);
    ERR_clear_error();
}

Loaded TryDer(BIO* bio) {
    Loaded loaded;
    loaded.cert.reset(d2i_X509_bio(bio, nullptr));
    if (loaded.cert) loaded.key.reset(d2i_PrivateKey_bio(bio, nullptr));
    return loaded;
}

Loaded TryPem(BIO* bio) {
    Loaded loaded;
    loaded.cert.reset(PEM_read_bio_X509(bio, nullptr, nullptr, kPassPhrase));
    if (loaded.cert) {
        loaded.key.reset(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, kPassPhrase));
    }
    return loaded;
}

bool MacRoundsAcceptable(const PKCS12* p12) {
    const ASN1_INTEGER* rounds = nullptr;
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &rounds, p12);
    if (rounds == nullptr) return true;  // no MAC, or the default of one round
    const long n = ASN1_INTEGER_get(rounds);
    return n >= 0 && n <= kMaxMacIterations;
}

Loaded TryPkcs12(BIO* bio) {
    Loaded loaded;
    // Bundles of older tools are protected with algorithms that only the legacy provider
    // has; fetching one of its ciphers loads it for the whole process.
    std::string unused;
    FetchLegacyCipher(LegacyCipher::kRc4, unused);
    std::unique_ptr<PKCS12, P12Free> p12(d2i_PKCS12_bio(bio, nullptr));
    if (!p12 || !MacRoundsAcceptable(p12.get())) return loaded;
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509)* chain = nullptr;
    if (PKCS12_parse(p12.get(), kPassPhrase, &key, &cert, &chain) == 1) {
        loaded.cert.reset(cert);
        loaded.key.reset(key);
    }
    sk_X509_pop_free(chain, X509_free);
    return loaded;
}

std::string WithReason(std::string text) {
    const std::string reason = TakeCryptoLibraryErrors();
    if (!reason.empty()) text += "(" + reason + ")";
    return text;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::size_t limit) {
    bytes.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    char chunk[4096];
    while (file) {
        file.read(chunk, sizeof(chunk));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (bytes.size() + got > limit) {
            bytes.clear();
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (file.bad()) {
        bytes.clear();
        return false;
    }
    return true;
}

bool LoadCertificateFile(SSL_CTX* context, const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, kMaxCertificateFile)) {
        error = "读取证书文件失败!";
        return false;
    }
    return LoadCertificate(context, bytes, error);
}

bool LoadCertificate(SSL_CTX* context, std::span<const uint8_t> data, std::string& error) {
    if (context == nullptr || data.size() > INT_MAX) {
        error = "读取证书失败";
        return false;
    }
    ERR_clear_error();
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
    if (!bio) {
        error = "读取证书失败";
        return false;
    }
    Loaded loaded;
    for (Loaded (*form)(BIO*) : {&TryDer, &TryPem, &TryPkcs12}) {
        Rewind(bio.get());
        loaded = form(bio.get());
        if (loaded.cert) break;
    }
    bio.reset();
    ERR_clear_error();
    if (!loaded.cert) {
        error = "读取证书信息失败!";
        return false;
    }
    if (!loaded.key) {
        error = "读取证书密钥信息失败!";
        return false;
    }
    // Checked before installing: the context refuses a key that does not match its
    // certificate, which would otherwise read as a failed installation.
    if (X509_check_private_key(loaded.cert.get(), loaded.key.get()) != 1) {
        ERR_clear_error();
        error = "证书与私钥不匹配";
        return false;
    }
    if (SSL_CTX_use_certificate(context, loaded.cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context, loaded.key.get()) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        error = WithReason("安装证书失败");
        return false;
    }
    return true;
}

}  // namespace NoltComm
