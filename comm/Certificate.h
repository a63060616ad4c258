// The client certificate and private key of SSL connections: read from a file in DER, PEM
// (key under the fixed pass phrase) or PKCS #12 form and installed in an SSL context.
#pragma once

#include <openssl/types.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace NoltComm {

// Larger files are refused rather than cut: a cut bundle would fail with a misleading text.
inline constexpr std::size_t kMaxCertificateFile = 64 * 1024;

// The whole file; false when it cannot be read or is longer than limit.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::size_t limit);

// Reads the file and loads it as LoadCertificate does; "读取证书文件失败!" when it cannot
// be read.
bool LoadCertificateFile(SSL_CTX* context, const std::string& path, std::string& error);

// Tries DER (certificate, then a DER key behind it), PEM (certificate, then a PEM key behind
// it) and PKCS #12 in this order, stopping at the first form that gives a certificate, then
// installs certificate and key in the context. PKCS #12 files made with old algorithms are
// read with the crypto library's legacy provider. False with the reason in error.
bool LoadCertificate(SSL_CTX* context, std::span<const uint8_t> data, std::string& error);

}  // namespace NoltComm
