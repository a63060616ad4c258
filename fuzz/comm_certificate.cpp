// Fuzz target: certificate and key loading from arbitrary bytes (DER, PEM and PKCS #12 tried
// in turn) into an SSL context; a failure must always come with its reason.
#include <openssl/ssl.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "comm/Certificate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) __builtin_trap();
    std::string error;
    if (!NoltComm::LoadCertificate(context, std::span<const uint8_t>(data, size), error) &&
        error.empty()) {
        __builtin_trap();
    }
    return 0;
}
