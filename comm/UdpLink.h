// CUdpLink: the client side of the UDP quote registration protocol (register, subscribe,
// keep alive, receive data messages), optionally through a SOCKS5 UDP relay, with its
// CUdpWatchdog thread that keeps the registration alive; and the datagram readers they use.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

#include "comm/QvEvent.h"
#include "comm/QvThread.h"

namespace NoltComm {

// Message types of the protocol.
inline constexpr uint8_t kUdpRegister = 0;  // also the server's acknowledgement
inline constexpr uint8_t kUdpUnregister = 1;
inline constexpr uint8_t kUdpKeepAlive = 2;  // also the server's answer
inline constexpr uint8_t kUdpSubscription = 3;
inline constexpr uint8_t kUdpData = 4;

inline constexpr std::size_t kUdpMessageHeader = 4;  // u16 length, version, type
inline constexpr std::size_t kUdpMaxDatagram = 4096;
// The walk reads no message from a tail shorter than this.
inline constexpr std::size_t kUdpMinTail = 7;
inline constexpr std::size_t kUdpRelayHeader = 10;

// Calls visit(type, payload, payloadLength) for each whole message of a datagram, in order.
// The walk stops at a tail of fewer than 7 bytes and at a message whose length is below the
// 4-byte header or beyond the end of the datagram. Returns the number of messages visited.
template <typename Visit>
std::size_t WalkUdpMessages(const uint8_t* data, std::size_t length, Visit&& visit) {
    std::size_t offset = 0;
    std::size_t count = 0;
    while (length - offset >= kUdpMinTail) {
        const std::size_t size = data[offset] | static_cast<std::size_t>(data[offset + 1]) << 8;
        if (size < kUdpMessageHeader || size > length - offset) break;
        visit(data[offset + 3], data + offset + kUdpMessageHeader, size - kUdpMessageHeader);
        offset += size;
        ++count;
    }
    return count;
}

// The SOCKS5 UDP request header in front of a relayed datagram.
struct UdpRelayHeader {
    uint32_t address = 0;  // network order
    uint16_t port = 0;     // network order
};

// Reads the header of a datagram from the relay: true for an unfragmented datagram with an
// IPv4 address and at least one byte behind the header; false for anything to be ignored
// (too short, a fragment, a name or IPv6 address).
bool ParseUdpRelayHeader(const uint8_t* data, std::size_t length, UdpRelayHeader* header);

class CUdpLink;

// Sends keep-alives while the link is registered, drops a registration that has heard
// nothing for the silence time-out, and registers again while it is not registered.
class CUdpWatchdog : public CQvThreadEx {
public:
    explicit CUdpWatchdog(CUdpLink& link) : link_(link) {}
    ~CUdpWatchdog() override;

protected:
    int32_t OnStart() override { return 1; }
    uint32_t Run() override;

private:
    // Waits ms or until the thread is asked to stop; true when it is.
    bool Pause(int64_t ms);

    CUdpLink& link_;
    std::mutex pauseMutex_;
    std::condition_variable_any pauseCv_;
};

// The link's own thread is the receiver. Subclasses override OnDatagram and call Close in
// their destructor, so that no datagram reaches a half-destroyed object. Register, Close and
// SendSubscription belong to the owner's thread; Close must not be called from OnDatagram.
class CUdpLink : public CQvThreadEx {
public:
    static constexpr int32_t kFirstLocalPort = 5123;
    static constexpr int32_t kLocalPortTries = 300;
    static constexpr int64_t kKeepAliveIntervalMs = 2000;
    static constexpr int64_t kSilenceTimeoutMs = 60000;

    CUdpLink();
    ~CUdpLink() override;

    // A non-empty host makes every registration go through this SOCKS5 proxy.
    void SetSocks5Proxy(const std::string& host, int32_t port, const std::string& user,
                        const std::string& password);
    // Binds a local port (the first free one from 5123), opens the relay association when a
    // proxy is set, starts the threads and registers with host (a dotted IPv4 address) and
    // port, waiting waitSeconds for the acknowledgement. False with GetLastErrorText() set.
    bool Register(const std::string& host, int32_t port, int32_t waitSeconds);
    // Sends a subscription message carrying text as it stands. Always true.
    bool SendSubscription(const std::string& text);
    // Unregisters, closes the sockets and ends both threads.
    void Close();

    std::string GetLastErrorText() const;
    bool IsRegistered() const { return registered_.load(); }
    // The bound local port; 0 while there is no socket.
    int32_t GetLocalPort() const;
    uint32_t GetKeepAlivesSent() const { return keepAlivesSent_.load(); }
    uint32_t GetKeepAliveAnswers() const { return keepAliveAnswers_.load(); }

protected:
    int32_t OnStart() override { return 1; }
    uint32_t Run() override;
    // One data message's payload; runs on the receiver thread. The result is not used.
    virtual bool OnDatagram(const uint8_t* payload, int32_t length);
    // The address the socket binds (network order); all local addresses unless changed.
    void SetLocalBindAddress(uint32_t address) { bindAddress_ = address; }

private:
    friend class CUdpWatchdog;
    class SocketUse;

    // waitSeconds <= 0 only tests for an acknowledgement already received.
    bool RegisterLocked(const std::string& host, int32_t port, int32_t waitSeconds);
    // The watchdog's registration with the stored server; gives way to a Close.
    bool RegisterAgain();
    // The socket (when none) bound to the first free local port: 1, 0 when no port was free,
    // -1 when no socket could be made.
    int32_t OpenSocket();
    bool OpenProxyAssociation();
    // The data behind the relay header when relayed: the sendto result, or -1.
    int32_t SendDatagram(const void* data, std::size_t length);
    int32_t SendMessage(uint8_t type, const void* payload, std::size_t length);
    // > 0 the length of a datagram to walk; 0 nothing to walk (woken, ignored datagram);
    // -1 a socket error.
    int32_t ReceiveDatagram(std::stop_token stop);
    void ProcessDatagrams(std::size_t length);
    void CloseSockets();
    void SetLastError(std::string text);
    void Wake();

    std::unique_ptr<CUdpWatchdog> watchdog_;

    // Registration: one at a time (owner or watchdog).
    std::mutex registerMutex_;
    std::atomic<bool> closing_{false};
    std::string hostText_;
    int32_t serverPort_ = 0;
    int32_t waitSeconds_ = 10;
    std::string proxyHost_;
    int32_t proxyPort_ = 0;
    std::string proxyUser_;
    std::string proxyPassword_;
    uint32_t bindAddress_ = INADDR_ANY;

    // The sockets and where datagrams go and may come from, under socketMutex_; a socket in
    // use (socketUsers_) is closed only once its users are done.
    mutable std::mutex socketMutex_;
    std::condition_variable_any socketCv_;
    int udpSocket_ = -1;
    int controlSocket_ = -1;
    int socketUsers_ = 0;
    int32_t localPort_ = 0;
    sockaddr_in server_{};
    bool relayed_ = false;
    sockaddr_in relay_{};
    uint8_t relayHeader_[kUdpRelayHeader] = {};
    // Wakes the receiver out of its wait on the socket.
    int wakeFd_ = -1;

    // Serialises sends.
    std::mutex sendMutex_;

    CQvEvent registration_;
    std::atomic<bool> registered_{false};
    std::atomic<uint32_t> keepAlivesSent_{0};
    std::atomic<uint32_t> keepAliveAnswers_{0};
    // Program clock (ms) of the last send and of the last message received.
    std::atomic<int64_t> lastSendMs_{0};
    std::atomic<int64_t> lastReceiveMs_{0};

    // The receiver's own buffer: a relayed datagram of the largest size and a NUL.
    std::unique_ptr<uint8_t[]> receiveBuffer_;

    mutable std::mutex errorMutex_;
    std::string lastError_;
};

}  // namespace NoltComm
