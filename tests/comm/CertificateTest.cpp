// Client certificates and keys made by the openssl command in every form the loader reads,
// and the ways a file can be unusable.
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "OpenSslTool.h"
#include "comm/Certificate.h"
#include "support/TempDir.h"

namespace {

using namespace NoltComm;

struct ContextFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CertificateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!commtest::HasOpenSslTool()) return;
        dir_ = new testsupport::TempDir;
        const std::string d = dir_->path().string();
        const char* steps[] = {
            "genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out key.pem",
            "genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out other.pem",
            "req -x509 -new -key key.pem -subj /CN=kelmon-client -days 2 -out cert.pem",
            "pkey -in key.pem -aes256 -passout pass:731406 -out key_enc.pem",
            "pkey -in key.pem -aes256 -passout pass:123456 -out key_wrong.pem",
            "x509 -in cert.pem -outform DER -out cert.der",
            "pkey -in key.pem -outform DER -out key.der",
            "pkcs12 -export -in cert.pem -inkey key.pem -passout pass:731406 -out modern.p12",
            ("pkcs12 -export -legacy -in cert.pem -inkey key.pem -passout pass:731406 "
             "-out legacy.p12"),
            "pkcs12 -export -in cert.pem -inkey key.pem -passout pass:999999 -out foreign.p12",
        };
        for (const char* step : steps) {
            if (!commtest::OpenSsl(d, step)) {
                failed_ = step;
                return;
            }
        }
        const std::string cert = ReadAll(dir_->file("cert.pem"));
        Write("pem_both", cert + ReadAll(dir_->file("key_enc.pem")));
        Write("pem_plain_key", cert + ReadAll(dir_->file("key.pem")));
        Write("pem_cert_only", cert);
        Write("pem_wrong_pass", cert + ReadAll(dir_->file("key_wrong.pem")));
        Write("pem_mismatch", cert + ReadAll(dir_->file("other.pem")));
        Write("der_both", ReadAll(dir_->file("cert.der")) + ReadAll(dir_->file("key.der")));
        Write("der_cert_only", ReadAll(dir_->file("cert.der")));
        Write("garbage", "-----BEGIN NOTHING-----\nxyz\n");
        Write("too_large", std::string(kMaxCertificateFile + 1, 'x'));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!commtest::HasOpenSslTool()) GTEST_SKIP() << "the openssl command is not installed";
        ASSERT_TRUE(failed_.empty()) << "openssl " << failed_;
        context_.reset(SSL_CTX_new(TLS_client_method()));
        ASSERT_TRUE(context_);
    }
    static void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_->file(name), std::ios::binary) << bytes;
    }

    static inline testsupport::TempDir* dir_ = nullptr;
    static inline std::string failed_;
    std::unique_ptr<SSL_CTX, ContextFree> context_;
};

struct LoadCase {
    const char* file;
    const char* error;  // empty: loads
};

TEST_F(CertificateTest, EveryFormLoadsAndEveryFaultHasItsText) {
    const LoadCase cases[] = {
        {"pem_both", ""},
        {"pem_plain_key", ""},
        {"der_both", ""},
        {"modern.p12", ""},
        {"legacy.p12", ""},  // RC2 and 3DES: only the legacy provider reads it
        {"pem_cert_only", "读取证书密钥信息失败!"},
        {"der_cert_only", "读取证书密钥信息失败!"},
        {"pem_wrong_pass", "读取证书密钥信息失败!"},
        {"foreign.p12", "读取证书信息失败!"},
        {"garbage", "读取证书信息失败!"},
        {"pem_mismatch", "证书与私钥不匹配"},
        {"missing", "读取证书文件失败!"},
        {"too_large", "读取证书文件失败!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        context_.reset(SSL_CTX_new(TLS_client_method()));
        std::string error;
        const bool loaded = LoadCertificateFile(context_.get(), dir_->file(c.file), error);
        EXPECT_EQ(loaded, *c.error == '\0') << error;
        if (*c.error != '\0') {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(SSL_CTX_get0_certificate(context_.get()), nullptr);
        } else {
            X509* cert = SSL_CTX_get0_certificate(context_.get());
            ASSERT_NE(cert, nullptr);
            char name[64] = {};
            X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, name,
                                      sizeof(name));
            EXPECT_STREQ(name, "kelmon-client");
            EXPECT_EQ(SSL_CTX_check_private_key(context_.get()), 1);
        }
    }
}

TEST_F(CertificateTest, BytesInMemoryAndEmptyInput) {
    const std::string bytes = ReadAll(dir_->file("pem_both"));
    std::string error;
    EXPECT_TRUE(LoadCertificate(
        context_.get(), std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
        error))
        << error;
    EXPECT_FALSE(LoadCertificate(context_.get(), {}, error));
    EXPECT_EQ(error, "读取证书失败");
    EXPECT_FALSE(LoadCertificate(nullptr, {}, error));
}

}  // namespace
