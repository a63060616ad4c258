// SSL client connections over the link's socket: context from the settings, a handshake
// bounded by the link's time-out, and peer verification against the CA file and the
// system's certificate paths.
#include "comm/SslLayer.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "comm/Certificate.h"
#include "comm/LegacyCiphers.h"
#include "comm/SocketLink.h"

namespace NoltComm {

namespace {

std::atomic<bool> sslLibraryReady{false};
std::mutex sslLibraryMutex;

// Debian's default; the one that refuses 1024-bit keys and SHA-1 signatures.
constexpr int kModernSecurityLevel = 2;

struct SslCtxFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// The library's socket BIO writes with write(), which raises SIGPIPE (and ends the program)
// when the peer has reset the connection or a Close has shut the socket down. This one is
// the same BIO with the link's own way of sending.
int SendWithoutSignal(BIO* bio, const char* data, int length) {
    int fd = -1;
    BIO_get_fd(bio, &fd);
    errno = 0;
    const int sent =
        static_cast<int>(send(fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL));
    BIO_clear_retry_flags(bio);
    if (sent <= 0 && BIO_sock_should_retry(sent)) BIO_set_retry_write(bio);
    return sent;
}

const BIO_METHOD* SocketMethod() {
    static const BIO_METHOD* const method = [] {
        const BIO_METHOD* base = BIO_s_socket();
        BIO_METHOD* own = BIO_meth_new(BIO_TYPE_SOCKET, "socket without SIGPIPE");
        if (own == nullptr) return base;
        BIO_meth_set_write(own, &SendWithoutSignal);
        BIO_meth_set_read(own, BIO_meth_get_read(base));
        BIO_meth_set_puts(own, BIO_meth_get_puts(base));
        BIO_meth_set_ctrl(own, BIO_meth_get_ctrl(base));
        BIO_meth_set_create(own, BIO_meth_get_create(base));
        BIO_meth_set_destroy(own, BIO_meth_get_destroy(base));
        return static_cast<const BIO_METHOD*>(own);
    }();
    return method;
}

// A socket BIO over fd that leaves the socket open when it goes.
BIO* NewSocketBio(int fd) {
    BIO* bio = BIO_new(SocketMethod());
    if (bio != nullptr) BIO_set_fd(bio, fd, BIO_NOCLOSE);
    return bio;
}

std::string WithLibraryReason(std::string text) {
    const std::string reason = TakeCryptoLibraryErrors();
    if (!reason.empty()) text += "(" + reason + ")";
    return text;
}

std::unique_ptr<SSL_CTX, SslCtxFree> MakeContext(const SslSettings& settings, std::string& reason) {
    std::unique_ptr<SSL_CTX, SslCtxFree> context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        reason = WithLibraryReason("创建SSL环境失败");
        return nullptr;
    }
    SSL_CTX* ctx = context.get();
    if (SSL_CTX_set_min_proto_version(ctx, settings.legacyTls ? TLS1_VERSION : TLS1_2_VERSION) !=
            1 ||
        SSL_CTX_set_cipher_list(ctx, settings.cipherList.c_str()) != 1) {
        reason = WithLibraryReason("SSL加密算法设置无效: " + settings.cipherList);
        return nullptr;
    }
    // Set after the cipher string, which may carry a level of its own: old servers are
    // reached only when the setting asks for it.
    if (settings.legacyTls) {
        SSL_CTX_set_security_level(ctx, 0);
        SSL_CTX_set_options(ctx, SSL_OP_LEGACY_SERVER_CONNECT);
    } else if (SSL_CTX_get_security_level(ctx) < kModernSecurityLevel) {
        SSL_CTX_set_security_level(ctx, kModernSecurityLevel);
    }
    // The link's queued send hands over what the socket takes now and the rest later, from
    // wherever the packet then lies.
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    if (!settings.caFile.empty() &&
        SSL_CTX_load_verify_locations(ctx, settings.caFile.c_str(), nullptr) != 1) {
        reason = WithLibraryReason("加载CA证书文件失败: " + settings.caFile);
        return nullptr;
    }
    if (SSL_CTX_set_default_verify_paths(ctx) != 1) {
        reason = WithLibraryReason("加载系统证书路径失败");
        return nullptr;
    }
    return context;
}

// The handshake on the non-blocking socket, waiting at most until the deadline; a Close
// from another thread shuts the socket down and ends the wait at once.
bool Handshake(SSL* ssl, int fd, int64_t timeoutMs, std::string& reason) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(ssl);
        if (result == 1) return true;
        const int error = SSL_get_error(ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            reason = "SSL握手超时";
            return false;
        }
        pollfd pfd{fd, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        poll(&pfd, 1, static_cast<int>(left));
    }
    const long verified = SSL_get_verify_result(ssl);
    if (verified != X509_V_OK) {
        TakeCryptoLibraryErrors();
        reason = std::string("服务器证书验证失败: ") + X509_verify_cert_error_string(verified);
    } else {
        reason = WithLibraryReason("SSL握手失败");
    }
    return false;
}

std::string DescribeCipher(const SSL* ssl) {
    const SSL_CIPHER* cipher = SSL_get_current_cipher(ssl);
    if (cipher == nullptr) return {};
    const int bits = SSL_CIPHER_get_bits(cipher, nullptr);
    return std::string(SSL_CIPHER_get_name(cipher)) + "(" + std::to_string(bits) + "位)";
}

}  // namespace

bool InitSslLibrary() {
    if (sslLibraryReady.load(std::memory_order_acquire)) return true;
    std::lock_guard lock(sslLibraryMutex);
    if (sslLibraryReady.load()) return true;
    // The library allocates with the C runtime's malloc, realloc and free unless told
    // otherwise, so no allocator is handed over.
    if (OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                         nullptr) != 1)
        return false;
    sslLibraryReady.store(true, std::memory_order_release);
    return true;
}

bool StartSsl(CSocketLink& link, const SslSettings& settings, std::string& reason) {
    reason.clear();
    if (!InitSslLibrary()) {
        reason = WithLibraryReason("SSL库初始化失败");
        return false;
    }
    auto context = MakeContext(settings, reason);
    if (!context) return false;
    std::string certificateNote;
    if (!settings.certificateFile.empty()) {
        std::string error;
        if (!LoadCertificateFile(context.get(), settings.certificateFile, error))
            certificateNote = "未使用客户端证书: " + error;
        TakeCryptoLibraryErrors();
    }

    const int64_t timeoutMs = static_cast<int64_t>(link.GetTimeoutSeconds()) * 1000;
    const bool ran = link.WithSocket([&](int fd) {
        std::unique_ptr<SSL, SslFree> ssl(SSL_new(context.get()));
        BIO* bio = ssl ? NewSocketBio(fd) : nullptr;
        if (!bio) {
            reason = WithLibraryReason("创建SSL连接失败");
            return false;
        }
        SSL_set_bio(ssl.get(), bio, bio);
        SSL_set_connect_state(ssl.get());
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
            reason = "SSL连接设置非阻塞失败";
            return false;
        }
        if (!Handshake(ssl.get(), fd, timeoutMs, reason)) {
            fcntl(fd, F_SETFL, flags);
            return false;
        }
        std::string description = DescribeCipher(ssl.get());
        link.AttachSsl(context.release(), ssl.release(), std::move(description));
        return true;
    });
    if (!ran) {
        if (reason.empty()) reason = "连接已关闭";
        return false;
    }
    reason = std::move(certificateNote);
    return true;
}

}  // namespace NoltComm
