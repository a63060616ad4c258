// CSocketLink: the TCP transport of one FixApi connection (connect, proxy, blocking and
// non-blocking reads and writes, plain or through SSL, packet queues, abortive close) and the
// body field scanner.
#pragma once

#include <openssl/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "comm/IOBuffer.h"
#include "comm/ProxyHandshake.h"
#include "comm/QvCriticalSection.h"

namespace NoltComm {

class CQvSymmetricCipher;

// Error codes of the link (GetErrorCode), with the texts of SocketLink.cpp.
inline constexpr int32_t kLinkCreateSocketFailed = -2000;
inline constexpr int32_t kLinkConnectFailed = -2001;
inline constexpr int32_t kLinkSocketOptionFailed = -2002;
inline constexpr int32_t kLinkBadAddress = -2003;
inline constexpr int32_t kLinkProxyFailed = -2004;

class CSocketLink : public CIOBuffer::Allocator {
public:
    static constexpr uint32_t kBufferSize = 4096;
    static constexpr uint32_t kMaxFreeBuffers = 1000;
    static constexpr int32_t kHeaderSize = 14;
    static constexpr int32_t kMaxPacket = 4096;
    static constexpr int32_t kMaxWrite = 8 * 1024 * 1024;

    CSocketLink();
    ~CSocketLink() override;
    CSocketLink(const CSocketLink&) = delete;
    CSocketLink& operator=(const CSocketLink&) = delete;

    // protocol 1 is TCP; any other value asks for SPX, which this platform does not have.
    // The connect (and each proxy reply) is bounded by the link's time-out.
    bool Connect(const std::string& host, int32_t port, int32_t protocol);
    // Abortive close; wakes a reader or writer blocked on the socket. Idempotent.
    bool Close();
    bool IsBroken();
    bool IsConnected() const { return connected_.load(); }

    void SetBlocking();
    void SetNonBlocking();
    bool IsBlockingMode() const { return blocking_.load(); }

    // Non-blocking mode: ReadAvailable; blocking mode: ReadExact.
    int32_t Read(void* buffer, int32_t length);
    // What is there now, up to length: the bytes read, or -1 on an error.
    int32_t ReadAvailable(void* buffer, int32_t length);
    // Exactly length bytes: length, -1 on an error, -2 when the peer closed.
    int32_t ReadExact(void* buffer, int32_t length);
    // Blocking mode: whatever arrives, at least 1 and at most length bytes; -1 on an error,
    // -2 when the peer closed.
    int32_t ReadSome(void* buffer, int32_t length);
    // The whole packet (encrypted first while encryption is on): its length, or -1 error,
    // -3 / -4 impossible send results, -5 a length of 0 or above 8 MiB, kWriteEncryptFailed
    // when the cipher refused it (nothing is sent).
    int32_t Write(CIOBuffer& buffer);
    static constexpr int32_t kWriteEncryptFailed = -6;

    // Texts of 128 characters or more do not fit the record: false, nothing changes.
    bool SetProxy(int32_t type, const std::string& host, int32_t port, const std::string& user,
                  const std::string& password);
    const ProxySettings& GetProxy() const { return proxy_; }

    // The cipher stays the caller's; encryption on write needs the switch too.
    void SetCipher(CQvSymmetricCipher* cipher) { cipher_.store(cipher); }
    CQvSymmetricCipher* GetCipher() const { return cipher_.load(); }
    void SetEncryption(bool on) { encrypt_.store(on); }
    bool SetAuthAlgorithm(const std::string& name);
    std::string GetAuthAlgorithm() const { return authAlgorithm_; }
    void SetKeyText(std::string key);
    std::string GetKeyText() const;

    void SetError(std::string text, int32_t code);
    int32_t GetErrorCode() const;
    std::string GetLinkErrorText() const;
    int32_t GetLastSocketError() const { return lastSocketError_.load(); }

    void SetTimeoutSeconds(int32_t seconds) { timeoutSeconds_.store(seconds); }
    int32_t GetTimeoutSeconds() const { return timeoutSeconds_.load(); }

    // Runs step with the socket held open: a Close from another thread wakes a step blocked
    // on it (shutdown) and waits for it to return before the handle goes. False without
    // running step when there is no socket.
    bool WithSocket(const std::function<bool(int fd)>& step);
    // Hands a handshaken SSL connection and its context to the link, which owns both from
    // now on: reads and writes go through it (the socket stays non-blocking underneath and
    // blocking mode waits by polling), and Close shuts it down and frees it. Call it from a
    // WithSocket step.
    void AttachSsl(SSL_CTX* context, SSL* ssl, std::string description);
    bool IsSslOn() const { return ssl_.load() != nullptr; }
    // "cipher(bits位)" of the SSL connection; empty without SSL.
    std::string GetSslDescription() const;

    // -1 when there is none.
    int GetSocket() const;

    // Queued read (non-blocking): the body of the next complete packet copied into buffer
    // and its length; 0 when none is complete; -1 when the link failed (a packet that does
    // not decrypt closes it); kReadPacketTooLarge when the next packet's body is longer than
    // capacity (that packet is dropped, later ones stay readable).
    virtual int32_t ReadPacket(uint8_t* buffer, int32_t capacity);
    static constexpr int32_t kReadPacketTooLarge = -7;
    // Adds a packet to the send queue (the queue holds its own reference).
    void QueueSend(CIOBuffer* buffer);
    int32_t PumpReceive();
    int32_t FlushOne();
    int32_t SendAvailable(const uint8_t* data, int32_t length);
    void ClearQueues();
    void ResetSession();
    std::size_t GetReceivedQueueCount();
    // Header of the last packet ReadPacket handed out.
    const uint8_t* GetLastHeader() const { return lastHeader_; }

    // The value of the first field with the tag, or null (length 0).
    const uint8_t* FindField(const uint8_t* body, int32_t length, int32_t tag,
                             int32_t* valueLength) const;
    // The index-th field's value and its tag text, or null (length 0).
    const uint8_t* ScanField(const uint8_t* body, int32_t length, int32_t index,
                             std::string* tagText, int32_t* valueLength) const;

    uint32_t GetPacketsReceived() const { return packetsReceived_.load(); }
    uint32_t GetPacketsSent() const { return packetsSent_.load(); }
    static uint32_t TotalPacketsReceived();
    static uint32_t TotalPacketsSent();

protected:
    // Runs first in every Close.
    virtual void OnLinkClosed() {}

    // Reset by a Close from any thread while the receive thread scans bodies.
    std::atomic<uint8_t> bodySeparator_{1};
    std::atomic<uint8_t> valueSeparator_{'|'};
    std::string addressText_;
    std::string hostText_;
    int32_t port_ = 0;
    std::atomic<int32_t> protocol_{1};
    std::atomic<uint32_t> packetKind_{0};

private:
    class SocketUse;
    int AcquireSocket();
    void ReleaseSocket();
    bool ConnectSocket(int fd, const std::string& host, int32_t port);
    int32_t ReadExactOn(int fd, void* buffer, int32_t length);
    int32_t ReadAvailableOn(int fd, uint8_t* buffer, int32_t length);
    int32_t WriteOn(int fd, const uint8_t* data, int32_t length);
    int32_t SendAvailableOn(int fd, const uint8_t* data, int32_t length);
    void ApplyBlockingMode(int fd);
    // One SSL_read or SSL_write under the SSL lock: the bytes moved (> 0); 0 when the call
    // must wait, with the poll events to wait for in *events; -1 on a fatal error; -2 when
    // the peer ended the SSL session.
    int32_t SslIo(SSL* ssl, bool write, void* data, int32_t length, short* events);
    // Closes the SSL session (best effort) before the socket goes; frees it once unused.
    void ShutdownSsl();
    void FreeSsl();
    void ReleaseReceiveBuffer();

    mutable std::mutex socketMutex_;
    std::condition_variable socketIdle_;
    int socket_ = -1;
    int socketUsers_ = 0;
    bool closing_ = false;

    std::atomic<bool> connected_{false};
    std::atomic<bool> blocking_{false};
    std::atomic<int32_t> timeoutSeconds_{10};
    std::atomic<int32_t> lastSocketError_{0};

    mutable std::mutex keyMutex_;
    std::string keyText_;
    std::string authAlgorithm_;
    ProxySettings proxy_{};

    mutable std::mutex errorMutex_;
    int32_t errorCode_ = 0;
    std::string errorText_;

    std::atomic<bool> encrypt_{false};
    std::atomic<CQvSymmetricCipher*> cipher_{nullptr};
    // The SSL connection is used by the receiving thread and by sending threads; the library
    // does not allow two calls on one connection at a time, so every call takes sslMutex_
    // and none waits for the network while holding it. ssl_ is freed only by Close, once no
    // call holds the socket.
    mutable std::mutex sslMutex_;
    SSL_CTX* sslContext_ = nullptr;
    std::atomic<SSL*> ssl_{nullptr};
    bool sslFailed_ = false;  // a fatal error: no close_notify may be sent
    std::string sslDescription_;

    std::mutex sendQueueMutex_;
    std::deque<CIOBuffer*> sendQueue_;
    int32_t sendOffset_ = 0;
    // Receive side: guarded by readLock_.
    std::deque<CIOBuffer*> receiveQueue_;
    CIOBuffer* receiving_ = nullptr;
    std::atomic<int32_t> receiveProgress_{0};
    uint8_t lastHeader_[kHeaderSize] = {};

    std::atomic<uint32_t> packetsReceived_{0};
    std::atomic<uint32_t> packetsSent_{0};

    CQvCriticalSection readLock_;
    CQvCriticalSection writeLock_;
};

}  // namespace NoltComm
