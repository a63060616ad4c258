// CSocketLink over POSIX sockets: timed non-blocking connect, poll instead of event
// selection, MSG_NOSIGNAL sends, and a close that wakes blocked callers before the handle
// goes away.
#include "comm/SocketLink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "comm/ConnectionString.h"
#include "comm/SocketTimeouts.h"
#include "comm/SymmetricCipher.h"
#include "platform/core/Numbers.h"

namespace NoltComm {

namespace {

constexpr char kCreateSocketText[] = "创建连接句柄失败!";
constexpr char kCreateSpxSocketText[] = "Create SPX Socket Fail!";
constexpr char kConnectText[] = "连接服务器失败!";
constexpr char kSocketOptionText[] = "Set Socket Option Fail!";

constexpr int kKeepAliveSeconds = 30;
constexpr int32_t kMaxTagText = 121;

std::atomic<uint32_t> totalReceived{0};
std::atomic<uint32_t> totalSent{0};

bool SetNoDelay(int fd) {
    const int on = 1;
    return setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

void SetKeepAlive(int fd) {
    const int on = 1;
    const int seconds = kKeepAliveSeconds;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &seconds, sizeof seconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &seconds, sizeof seconds);
}

// 1 readable (or closed/failed), 0 not, -1 poll error.
int ReadableNow(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, 0);
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
}

// How long a blocked SSL reader or writer polls before it asks the SSL connection again: the
// other side's call may have moved bytes that this one waits for (a renegotiation).
constexpr int kSslWaitSliceMs = 100;

void WaitFor(int fd, short events, int ms) {
    pollfd pfd{fd, events, 0};
    poll(&pfd, 1, ms);
}

uint32_t HeaderLength(const uint8_t* header) {
    return static_cast<uint32_t>(header[0]) | (static_cast<uint32_t>(header[1]) << 8);
}

}  // namespace

// Keeps the socket handle alive (not closed, not reused) while a call works on it.
class CSocketLink::SocketUse {
public:
    explicit SocketUse(CSocketLink& link) : link_(link), fd_(link.AcquireSocket()) {}
    ~SocketUse() {
        if (fd_ >= 0) link_.ReleaseSocket();
    }
    SocketUse(const SocketUse&) = delete;
    SocketUse& operator=(const SocketUse&) = delete;
    int fd() const { return fd_; }

private:
    CSocketLink& link_;
    int fd_;
};

CSocketLink::CSocketLink() : CIOBuffer::Allocator(kBufferSize, kMaxFreeBuffers) {}

CSocketLink::~CSocketLink() {
    ClearQueues();
    // The derived part is gone: close without its hook.
    CSocketLink::Close();
    Flush();
}

int CSocketLink::AcquireSocket() {
    std::lock_guard lock(socketMutex_);
    if (socket_ < 0 || closing_) return -1;
    ++socketUsers_;
    return socket_;
}

void CSocketLink::ReleaseSocket() {
    std::lock_guard lock(socketMutex_);
    if (--socketUsers_ == 0) socketIdle_.notify_all();
}

int CSocketLink::GetSocket() const {
    std::lock_guard lock(socketMutex_);
    return closing_ ? -1 : socket_;
}

void CSocketLink::SetError(std::string text, int32_t code) {
    std::lock_guard lock(errorMutex_);
    errorText_ = std::move(text);
    errorCode_ = code;
}

int32_t CSocketLink::GetErrorCode() const {
    std::lock_guard lock(errorMutex_);
    return errorCode_;
}

std::string CSocketLink::GetLinkErrorText() const {
    std::lock_guard lock(errorMutex_);
    return errorText_;
}

bool CSocketLink::SetProxy(int32_t type, const std::string& host, int32_t port,
                           const std::string& user, const std::string& password) {
    const auto fits = [](const std::string& text) {
        return text.size() < 128 && text.find('\0') == std::string::npos;
    };
    if (!fits(host) || !fits(user) || !fits(password)) return false;
    ProxySettings settings{};
    settings.ProxyType = type;
    std::memcpy(settings.host, host.c_str(), host.size() + 1);
    settings.port = static_cast<uint32_t>(port);
    std::memcpy(settings.user, user.c_str(), user.size() + 1);
    std::memcpy(settings.password, password.c_str(), password.size() + 1);
    proxy_ = settings;
    return true;
}

bool CSocketLink::SetAuthAlgorithm(const std::string& name) {
    if (name != "Std" && !name.empty()) return false;
    authAlgorithm_ = name;
    return true;
}

bool CSocketLink::WithSocket(const std::function<bool(int fd)>& step) {
    SocketUse use(*this);
    if (use.fd() < 0) return false;
    return step(use.fd());
}

void CSocketLink::AttachSsl(SSL_CTX* context, SSL* ssl, std::string description) {
    FreeSsl();
    {
        std::lock_guard lock(sslMutex_);
        sslContext_ = context;
        sslFailed_ = false;
        sslDescription_ = std::move(description);
        ssl_.store(ssl);
    }
    SocketUse use(*this);
    if (use.fd() >= 0) ApplyBlockingMode(use.fd());
}

std::string CSocketLink::GetSslDescription() const {
    std::lock_guard lock(sslMutex_);
    return sslDescription_;
}

void CSocketLink::ShutdownSsl() {
    std::lock_guard lock(sslMutex_);
    SSL* ssl = ssl_.load();
    if (!ssl || sslFailed_) return;
    // One try at the close_notify alert; the socket is non-blocking, and the close that
    // follows does not wait for the peer's answer.
    ERR_clear_error();
    SSL_shutdown(ssl);
    ERR_clear_error();
}

void CSocketLink::FreeSsl() {
    std::lock_guard lock(sslMutex_);
    if (SSL* ssl = ssl_.exchange(nullptr)) SSL_free(ssl);
    if (sslContext_) SSL_CTX_free(sslContext_);
    sslContext_ = nullptr;
    sslFailed_ = false;
    sslDescription_.clear();
}

int32_t CSocketLink::SslIo(SSL* ssl, bool write, void* data, int32_t length, short* events) {
    std::lock_guard lock(sslMutex_);
    // The error queue is per thread; a stale entry would misreport this call's result.
    ERR_clear_error();
    const int result = write ? SSL_write(ssl, data, length) : SSL_read(ssl, data, length);
    if (result > 0) return result;
    const int error = SSL_get_error(ssl, result);
    switch (error) {
        case SSL_ERROR_WANT_READ:
            *events = POLLIN;
            return 0;
        case SSL_ERROR_WANT_WRITE:
        case SSL_ERROR_WANT_X509_LOOKUP:
            *events = POLLOUT;
            return 0;
        case SSL_ERROR_ZERO_RETURN:
            return -2;
        default:
            lastSocketError_.store(errno);
            sslFailed_ = true;
            ERR_clear_error();
            return -1;
    }
}

void CSocketLink::SetKeyText(std::string key) {
    std::lock_guard lock(keyMutex_);
    keyText_ = std::move(key);
}

std::string CSocketLink::GetKeyText() const {
    std::lock_guard lock(keyMutex_);
    return keyText_;
}

void CSocketLink::ResetSession() {
    connected_.store(false);
    protocol_ = 1;
    packetKind_ = 0;
    SetKeyText({});
    bodySeparator_ = 1;
    valueSeparator_ = '|';
    encrypt_.store(false);
    cipher_.store(nullptr);
}

bool CSocketLink::Connect(const std::string& host, int32_t port, int32_t protocol) {
    Close();
    if (protocol != kProtocolTcp) {
        // No IPX/SPX stack on this platform: the socket of that family cannot be made.
        SetError(kCreateSpxSocketText, kLinkCreateSocketFailed);
        return false;
    }
    if (host.size() > kMaxHostText) {
        SetError(kBadConnectionStringText, kBadConnectionStringCode);
        return false;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        SetError(kCreateSocketText, kLinkCreateSocketFailed);
        return false;
    }
    {
        std::lock_guard lock(socketMutex_);
        socket_ = fd;
    }
    bool ok = false;
    {
        SocketUse use(*this);
        // A Close from another thread may already have taken the socket away.
        ok = use.fd() == fd && ConnectSocket(fd, host, port);
    }
    if (!ok) {
        // The step that failed left its error; closing keeps it.
        Close();
        return false;
    }
    connected_.store(true);
    return true;
}

bool CSocketLink::ConnectSocket(int fd, const std::string& host, int32_t port) {
    SetNoDelay(fd);
    SetKeepAlive(fd);

    const bool viaProxy = proxy_.ProxyType != 0;
    const std::string target =
        viaProxy ? std::string(proxy_.host, strnlen(proxy_.host, sizeof proxy_.host)) : host;
    const uint32_t address = ResolveAddress(target);
    if (address == INADDR_NONE) return false;  // no error text, as before
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(static_cast<uint16_t>(viaProxy ? proxy_.port & 0xFFFF : port));

    // Non-blocking while connecting, so a black-holed address costs the time-out and no
    // more; the handshake below polls with the same time-out.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const int error = ConnectWithin(fd, peer, static_cast<int64_t>(GetTimeoutSeconds()) * 1000);
    if (error != 0) {
        lastSocketError_.store(error);
        SetError(kConnectText, kLinkConnectFailed);
        return false;
    }

    SocketProxyChannel channel(fd);
    std::string proxyError;
    if (!RunProxyHandshake(channel, proxy_, host, port, GetTimeoutSeconds(), &proxyError)) {
        SetError(proxyError, kLinkProxyFailed);
        return false;
    }

    blocking_.store(true);
    ApplyBlockingMode(fd);
    if (!SetNoDelay(fd)) {
        SetError(kSocketOptionText, kLinkSocketOptionFailed);
        return false;
    }
    return true;
}

bool CSocketLink::Close() {
    OnLinkClosed();
    receiveProgress_.store(0);
    ResetSession();

    int fd = -1;
    {
        std::lock_guard lock(socketMutex_);
        if (socket_ >= 0 && !closing_) {
            closing_ = true;
            fd = socket_;
        }
    }
    if (fd >= 0) {
        ShutdownSsl();
        // Reset the connection on close (no graceful shutdown); the shutdown wakes any
        // reader or writer blocked on the socket so that the handle is closed only after
        // they have left it and cannot be reused under them.
        const linger abortive{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        shutdown(fd, SHUT_RDWR);
        CQvCriticalSection::Owner writing(writeLock_);
        std::unique_lock lock(socketMutex_);
        socketIdle_.wait(lock, [this] { return socketUsers_ == 0; });
        FreeSsl();
        close(fd);
        socket_ = -1;
        closing_ = false;
    }
    connected_.store(false);
    return true;
}

bool CSocketLink::IsBroken() {
    SocketUse use(*this);
    if (use.fd() < 0) return true;
    if (ReadableNow(use.fd()) != 1) return false;
    char byte = 0;
    const ssize_t got = recv(use.fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0) return false;
    if (got == 0) return true;
    return errno == ENETRESET || errno == ECONNABORTED || errno == ECONNRESET || errno == EINVAL ||
           errno == ENOTCONN || errno == EPIPE || errno == ETIMEDOUT;
}

void CSocketLink::ApplyBlockingMode(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return;
    // Under SSL the socket stays non-blocking, so that no SSL call waits for the network
    // while it holds the SSL lock; blocking reads and writes poll instead.
    const bool blocking = blocking_.load() && !IsSslOn();
    fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

void CSocketLink::SetBlocking() {
    blocking_.store(true);
    SocketUse use(*this);
    if (use.fd() >= 0) ApplyBlockingMode(use.fd());
}

void CSocketLink::SetNonBlocking() {
    blocking_.store(false);
    SocketUse use(*this);
    if (use.fd() >= 0) ApplyBlockingMode(use.fd());
}

int32_t CSocketLink::Read(void* buffer, int32_t length) {
    return blocking_.load() ? ReadExact(buffer, length) : ReadAvailable(buffer, length);
}

int32_t CSocketLink::ReadAvailable(void* buffer, int32_t length) {
    if (length < 1) return 0;
    CQvCriticalSection::Owner reading(readLock_);
    SocketUse use(*this);
    if (use.fd() < 0) return -1;
    return ReadAvailableOn(use.fd(), static_cast<uint8_t*>(buffer), length);
}

int32_t CSocketLink::ReadAvailableOn(int fd, uint8_t* buffer, int32_t length) {
    int32_t total = 0;
    while (total < length) {
        int32_t got = 0;
        if (SSL* ssl = ssl_.load()) {
            // The SSL layer may hold decrypted bytes that poll cannot see.
            short events = 0;
            got = SslIo(ssl, false, buffer + total, length - total, &events);
            if (got < 0) return -1;
            if (got == 0) return total;
        } else {
            const int readable = ReadableNow(fd);
            if (readable < 0) return -1;
            if (readable == 0) return total;
            got = static_cast<int32_t>(recv(fd, buffer + total, length - total, MSG_DONTWAIT));
            if (got == 0) return -1;  // readable and nothing to read: the peer closed
            if (got < 0) {
                lastSocketError_.store(errno);
                if (errno == EINTR) continue;
                return (errno == EAGAIN || errno == EWOULDBLOCK) ? total : -1;
            }
        }
        total += got;
    }
    return total;
}

int32_t CSocketLink::ReadExact(void* buffer, int32_t length) {
    if (length < 1) return 0;
    SocketUse use(*this);
    if (use.fd() < 0) return -1;
    return ReadExactOn(use.fd(), buffer, length);
}

int32_t CSocketLink::ReadExactOn(int fd, void* buffer, int32_t length) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int32_t total = 0;
    while (total < length) {
        int32_t got = 0;
        if (SSL* ssl = ssl_.load()) {
            short events = 0;
            got = SslIo(ssl, false, out + total, length - total, &events);
            if (got < 0) return got;
            if (got == 0) {
                WaitFor(fd, events, kSslWaitSliceMs);
                continue;
            }
        } else {
            got = static_cast<int32_t>(recv(fd, out + total, length - total, 0));
            if (got == 0) return -2;
            if (got < 0) {
                lastSocketError_.store(errno);
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    // Left non-blocking by mistake: wait for data instead of spinning.
                    pollfd pfd{fd, POLLIN, 0};
                    poll(&pfd, 1, 1000);
                    continue;
                }
                return -1;
            }
        }
        total += got;
        receiveProgress_.fetch_add(got);
    }
    return length;
}

int32_t CSocketLink::ReadSome(void* buffer, int32_t length) {
    if (length < 1) return 0;
    SocketUse use(*this);
    if (use.fd() < 0) return -1;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    for (;;) {
        int32_t got = 0;
        if (SSL* ssl = ssl_.load()) {
            short events = 0;
            got = SslIo(ssl, false, out, length, &events);
            if (got < 0) return got;
            if (got == 0) {
                WaitFor(use.fd(), events, kSslWaitSliceMs);
                continue;
            }
        } else {
            got = static_cast<int32_t>(recv(use.fd(), out, length, 0));
            if (got == 0) return -2;
            if (got < 0) {
                lastSocketError_.store(errno);
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    pollfd pfd{use.fd(), POLLIN, 0};
                    poll(&pfd, 1, 1000);
                    continue;
                }
                return -1;
            }
        }
        receiveProgress_.fetch_add(got);
        return got;
    }
}

int32_t CSocketLink::Write(CIOBuffer& buffer) {
    // Encryption and sending happen under one hold of the write lock: a cipher with a running
    // state (rc4) must see the packets in the order they go on the wire.
    CQvCriticalSection::Owner writing(writeLock_);
    if (encrypt_.load()) {
        if (CQvSymmetricCipher* cipher = cipher_.load()) {
            // A packet whose encryption failed would go out partly in clear text.
            bool encrypted = false;
            try {
                encrypted = cipher->Encrypt(buffer);
            } catch (...) {
                encrypted = false;
            }
            if (!encrypted) return kWriteEncryptFailed;
        }
    }
    const int64_t length = buffer.GetUsed();
    if (length <= 0 || length > kMaxWrite) return -5;
    SocketUse use(*this);
    if (use.fd() < 0) return -1;
    return WriteOn(use.fd(), buffer.GetBuffer(), static_cast<int32_t>(length));
}

int32_t CSocketLink::WriteOn(int fd, const uint8_t* data, int32_t length) {
    int32_t written = 0;
    while (written < length) {
        if (SSL* ssl = ssl_.load()) {
            short events = 0;
            const int32_t sent =
                SslIo(ssl, true, const_cast<uint8_t*>(data + written), length - written, &events);
            if (sent < 0) return -1;
            if (sent == 0) WaitFor(fd, events, kSslWaitSliceMs);
            written += sent;
            continue;
        }
        const ssize_t sent = send(fd, data + written, length - written, MSG_NOSIGNAL);
        if (sent < 0) {
            lastSocketError_.store(errno);
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (sent == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (sent > length - written) return -3;
        written += static_cast<int32_t>(sent);
    }
    return written;
}

int32_t CSocketLink::SendAvailable(const uint8_t* data, int32_t length) {
    CQvCriticalSection::Owner writing(writeLock_);
    SocketUse use(*this);
    if (use.fd() < 0) return -1;
    return SendAvailableOn(use.fd(), data, length);
}

int32_t CSocketLink::SendAvailableOn(int fd, const uint8_t* data, int32_t length) {
    int32_t sent = 0;
    if (SSL* ssl = ssl_.load()) {
        // Raw bytes would break the SSL stream: the rest goes through the SSL connection as
        // far as it takes it now (partial writes are on, see the SSL layer).
        while (sent < length) {
            short events = 0;
            const int32_t n =
                SslIo(ssl, true, const_cast<uint8_t*>(data + sent), length - sent, &events);
            if (n < 0) return -1;
            if (n == 0) break;
            sent += n;
        }
        return sent;
    }
    while (sent < length) {
        pollfd pfd{fd, POLLOUT, 0};
        const int ready = poll(&pfd, 1, 0);
        if (ready < 0) return -1;
        if (ready == 0) break;
        const int32_t rest = length - sent;
        const int32_t piece = rest < 8195 ? rest : 1000;
        const ssize_t n = send(fd, data + sent, piece, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            lastSocketError_.store(errno);
            if (errno == EINTR) continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? sent : -1;
        }
        sent += static_cast<int32_t>(n);
    }
    return sent;
}

void CSocketLink::QueueSend(CIOBuffer* buffer) {
    buffer->AddRef();
    std::lock_guard lock(sendQueueMutex_);
    sendQueue_.push_back(buffer);
}

int32_t CSocketLink::FlushOne() {
    if (GetSocket() < 0) return -1;
    std::lock_guard lock(sendQueueMutex_);
    if (sendQueue_.empty()) return 0;
    CIOBuffer* packet = sendQueue_.front();
    const int32_t sent = SendAvailable(packet->GetBuffer() + sendOffset_,
                                       static_cast<int32_t>(packet->GetUsed()) - sendOffset_);
    if (sent < 0) return -1;
    sendOffset_ += sent;
    if (sendOffset_ >= static_cast<int32_t>(packet->GetUsed())) {
        packetsSent_.fetch_add(1);
        totalSent.fetch_add(1);
        sendOffset_ = 0;
        sendQueue_.pop_front();
        packet->Release();
    }
    return sent;
}

void CSocketLink::ReleaseReceiveBuffer() {
    if (receiving_) receiving_->Release();
    receiving_ = nullptr;
    receiveProgress_.store(0);
}

int32_t CSocketLink::PumpReceive() {
    CQvCriticalSection::Owner reading(readLock_);
    if (GetSocket() < 0) return -1;
    if (!receiving_) {
        receiving_ = Allocate();
        receiveProgress_.store(0);
    }
    uint8_t* data = receiving_->GetBuffer();
    int32_t progress = receiveProgress_.load();
    const auto fail = [this] {
        ReleaseReceiveBuffer();
        Close();
        return -1;
    };
    if (progress < kHeaderSize) {
        const int32_t got = ReadAvailable(data + progress, kHeaderSize - progress);
        if (got < 0) return fail();
        progress += got;
        receiveProgress_.store(progress);
        if (progress < kHeaderSize) return 0;
    }
    const int32_t total = static_cast<int32_t>(HeaderLength(data));
    if (total > kMaxPacket || total < kHeaderSize) return fail();
    if (total == kHeaderSize) {
        receiveProgress_.store(0);
        return 0;
    }
    const int32_t got = ReadAvailable(data + progress, total - progress);
    if (got < 0) return fail();
    progress += got;
    receiveProgress_.store(progress);
    if (progress < total) return 0;
    receiving_->SetUsed(static_cast<uint32_t>(total));
    receiveQueue_.push_back(receiving_);
    receiving_ = nullptr;
    receiveProgress_.store(0);
    packetsReceived_.fetch_add(1);
    totalReceived.fetch_add(1);
    return total - kHeaderSize;
}

int32_t CSocketLink::ReadPacket(uint8_t* buffer, int32_t capacity) {
    for (;;) {
        const int32_t pumped = PumpReceive();
        if (pumped < 0) return pumped;
        if (pumped == 0) break;
    }
    if (FlushOne() < 0) return -1;
    CQvCriticalSection::Owner reading(readLock_);
    if (receiveQueue_.empty()) return 0;
    CIOBuffer* packet = receiveQueue_.front();
    receiveQueue_.pop_front();
    std::memcpy(lastHeader_, packet->GetBuffer(), kHeaderSize);
    if ((lastHeader_[7] & 1) != 0) {
        if (CQvSymmetricCipher* cipher = cipher_.load()) {
            bool decrypted = false;
            try {
                decrypted = cipher->Decrypt(*packet);
            } catch (...) {
                decrypted = false;
            }
            if (!decrypted) {
                // The session's key stream no longer matches the peer's: nothing after this
                // packet can be read, so the link is given up.
                packet->Release();
                Close();
                return -1;
            }
        }
    }
    // Decryption may shorten the body (a padded cipher text).
    const int32_t used = static_cast<int32_t>(packet->GetUsed());
    const int32_t bodyLength = used < kHeaderSize ? 0 : used - kHeaderSize;
    if (bodyLength > capacity) {
        // A packet the caller cannot take is dropped rather than left at the head of the
        // queue, where it would block every later packet.
        packet->Release();
        return kReadPacketTooLarge;
    }
    std::memcpy(buffer, packet->GetBuffer() + kHeaderSize, static_cast<std::size_t>(bodyLength));
    packet->Release();
    return bodyLength;
}

std::size_t CSocketLink::GetReceivedQueueCount() {
    CQvCriticalSection::Owner reading(readLock_);
    return receiveQueue_.size();
}

void CSocketLink::ClearQueues() {
    SetKeyText({});
    {
        std::lock_guard lock(sendQueueMutex_);
        for (CIOBuffer* packet : sendQueue_) packet->Release();
        sendQueue_.clear();
        sendOffset_ = 0;
    }
    CQvCriticalSection::Owner reading(readLock_);
    for (CIOBuffer* packet : receiveQueue_) packet->Release();
    receiveQueue_.clear();
    ReleaseReceiveBuffer();
}

const uint8_t* CSocketLink::ScanField(const uint8_t* body, int32_t length, int32_t index,
                                      std::string* tagText, int32_t* valueLength) const {
    *valueLength = 0;
    if (!body || length <= 0) return nullptr;
    int32_t pos = 0;
    int32_t field = 0;
    int32_t rawLength = -1;
    const uint8_t separator = bodySeparator_.load();
    while (pos < length) {
        const int32_t tagStart = pos;
        while (pos < length && body[pos] != '=') ++pos;
        if (pos >= length || pos - tagStart > kMaxTagText) return nullptr;
        const std::string_view tag(reinterpret_cast<const char*>(body + tagStart),
                                   static_cast<std::size_t>(pos - tagStart));
        const int32_t tagNumber = platform::AtolSat(tag);
        const int32_t valueStart = pos + 1;
        int32_t valueEnd = 0;
        if (tagNumber == 96) {
            // Raw data: its length comes from the tag 95 field before it, and the bytes may
            // hold separators.
            if (rawLength < 0 || rawLength > length - valueStart) return nullptr;
            valueEnd = valueStart + rawLength;
            if (valueEnd >= length || body[valueEnd] != separator) return nullptr;
        } else {
            valueEnd = valueStart;
            while (valueEnd < length && body[valueEnd] != separator) ++valueEnd;
        }
        if (field == index) {
            if (tagText) tagText->assign(tag);
            *valueLength = valueEnd - valueStart;
            return body + valueStart;
        }
        if (tagNumber == 95) {
            rawLength = platform::AtolSat(
                std::string_view(reinterpret_cast<const char*>(body + valueStart),
                                 static_cast<std::size_t>(valueEnd - valueStart)));
        }
        ++field;
        pos = valueEnd + 1;
    }
    return nullptr;
}

const uint8_t* CSocketLink::FindField(const uint8_t* body, int32_t length, int32_t tag,
                                      int32_t* valueLength) const {
    std::string tagText;
    for (int32_t index = 0;; ++index) {
        const uint8_t* value = ScanField(body, length, index, &tagText, valueLength);
        if (!value) return nullptr;
        if (platform::AtolSat(tagText) == tag) return value;
    }
}

uint32_t CSocketLink::TotalPacketsReceived() { return totalReceived.load(); }
uint32_t CSocketLink::TotalPacketsSent() { return totalSent.load(); }

}  // namespace NoltComm
