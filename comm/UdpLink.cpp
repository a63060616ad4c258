// The UDP quote link: registration, subscription and keep-alive messages, the receiver that
// walks incoming datagrams, the SOCKS5 UDP relay association, and the watchdog thread.
#include "comm/UdpLink.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "comm/ProxyHandshake.h"
#include "comm/SocketTimeouts.h"
#include "platform/core/Clock.h"

namespace NoltComm {

namespace {

constexpr char kNoLocalPort[] = "无法建立UDP通信句柄!";
constexpr char kProxyFailed[] = "连接Sock5代理失败!";
constexpr char kNoAcknowledgement[] = "注册UDP服务时等待应答超时!";

constexpr uint8_t kVersion = 1;
constexpr std::size_t kRegisterPayload = 36;
constexpr std::size_t kUnregisterPayload = 32;
// Connect and each reply of the SOCKS5 control connection.
constexpr int32_t kProxyTimeoutSeconds = 10;

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

sockaddr_in Endpoint(uint32_t address, uint16_t networkPort) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_addr.s_addr = address;
    endpoint.sin_port = networkPort;
    return endpoint;
}

void PutU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool ParseUdpRelayHeader(const uint8_t* data, std::size_t length, UdpRelayHeader* header) {
    // A fragment would need the rest of its datagram, which the link does not reassemble.
    if (length <= kUdpRelayHeader || data[2] != 0 || data[3] != 1) return false;
    std::memcpy(&header->address, data + 4, 4);
    std::memcpy(&header->port, data + 8, 2);
    return true;
}

// Holds the socket open for one receive or send and copies where datagrams go, so that a
// CloseSockets on another thread waits for the call instead of closing a handle under it.
class CUdpLink::SocketUse {
public:
    // The socket as it is now (none: fd < 0).
    explicit SocketUse(CUdpLink& link) : link_(link) {
        std::lock_guard lock(link.socketMutex_);
        Take();
    }
    // Waits for a socket; none when stop is requested first.
    SocketUse(CUdpLink& link, std::stop_token stop) : link_(link) {
        std::unique_lock lock(link.socketMutex_);
        link.socketCv_.wait(lock, stop, [&link] { return link.udpSocket_ >= 0; });
        Take();
    }
    ~SocketUse() {
        if (fd < 0) return;
        std::lock_guard lock(link_.socketMutex_);
        if (--link_.socketUsers_ == 0) link_.socketCv_.notify_all();
    }
    SocketUse(const SocketUse&) = delete;
    SocketUse& operator=(const SocketUse&) = delete;

    int fd = -1;
    bool relayed = false;
    sockaddr_in server{};
    sockaddr_in relay{};
    uint8_t relayHeader[kUdpRelayHeader] = {};

private:
    void Take() {
        if (link_.udpSocket_ < 0) return;
        fd = link_.udpSocket_;
        ++link_.socketUsers_;
        relayed = link_.relayed_;
        server = link_.server_;
        relay = link_.relay_;
        std::memcpy(relayHeader, link_.relayHeader_, kUdpRelayHeader);
    }

    CUdpLink& link_;
};

CUdpLink::CUdpLink()
    : watchdog_(std::make_unique<CUdpWatchdog>(*this)),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      receiveBuffer_(std::make_unique<uint8_t[]>(kUdpRelayHeader + kUdpMaxDatagram + 1)) {}

CUdpLink::~CUdpLink() {
    Close();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void CUdpLink::SetSocks5Proxy(const std::string& host, int32_t port, const std::string& user,
                              const std::string& password) {
    std::lock_guard lock(registerMutex_);
    proxyHost_ = host;
    proxyPort_ = port;
    proxyUser_ = user;
    proxyPassword_ = password;
}

bool CUdpLink::Register(const std::string& host, int32_t port, int32_t waitSeconds) {
    std::lock_guard lock(registerMutex_);
    closing_ = false;
    return RegisterLocked(host, port, waitSeconds);
}

bool CUdpLink::RegisterAgain() {
    std::lock_guard lock(registerMutex_);
    if (closing_) return false;
    const std::string host = hostText_;
    return RegisterLocked(host, serverPort_, waitSeconds_);
}

bool CUdpLink::RegisterLocked(const std::string& host, int32_t port, int32_t waitSeconds) {
    waitSeconds_ = waitSeconds;
    hostText_ = host;
    serverPort_ = port;
    {
        // Dotted addresses only, as the server lists hold them; a name gives no address.
        std::lock_guard lock(socketMutex_);
        server_ = Endpoint(inet_addr(host.c_str()), htons(static_cast<uint16_t>(port)));
    }

    const int32_t opened = OpenSocket();
    if (opened < 0) return false;
    if (opened == 0) {
        SetLastError(kNoLocalPort);
        return false;
    }
    if (!OpenProxyAssociation()) {
        CloseSockets();
        SetLastError(kProxyFailed);
        return false;
    }
    if (IsFinished()) {
        Stop(true);  // joins a receiver that ended with an earlier Close
        Start();
    }

    // Reset before the request goes out, so that a quick answer is not lost.
    registration_.Reset();
    if (closing_) return false;
    const uint8_t zeros[kRegisterPayload] = {};
    SendMessage(kUdpRegister, zeros, sizeof zeros);
    const bool acknowledged =
        registration_.Wait(static_cast<int64_t>(waitSeconds) * 1000) && !closing_;
    if (!acknowledged) {
        SetLastError(kNoAcknowledgement);
        CloseSockets();
        return false;
    }
    // Also after a first registration that failed: the watchdog runs once one succeeds.
    if (watchdog_->IsFinished()) {
        watchdog_->Stop(true);
        watchdog_->Start();
    }
    return true;
}

int32_t CUdpLink::OpenSocket() {
    {
        std::lock_guard lock(socketMutex_);
        if (udpSocket_ >= 0) return 1;
    }
    for (int32_t port = kFirstLocalPort; port < kFirstLocalPort + kLocalPortTries; ++port) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        const sockaddr_in local = Endpoint(bindAddress_, htons(static_cast<uint16_t>(port)));
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) {
            {
                std::lock_guard lock(socketMutex_);
                udpSocket_ = fd;
                localPort_ = port;
            }
            socketCv_.notify_all();
            return 1;
        }
        close(fd);
    }
    return 0;
}

bool CUdpLink::OpenProxyAssociation() {
    int oldControl = -1;
    int32_t localPort = 0;
    {
        std::lock_guard lock(socketMutex_);
        oldControl = controlSocket_;
        controlSocket_ = -1;
        relayed_ = false;
        localPort = localPort_;
    }
    if (oldControl >= 0) close(oldControl);
    if (proxyHost_.empty()) return true;

    const uint32_t proxyAddress = ResolveAddress(proxyHost_);
    if (proxyAddress == INADDR_NONE) return false;
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &proxyAddress, dotted, sizeof dotted);
    const int fd = ConnectWithTimeout(dotted, proxyPort_, kProxyTimeoutSeconds * 1000LL);
    if (fd < 0) return false;

    SocketProxyChannel channel(fd);
    Socks5Address bound;
    if (!Socks5Negotiate(channel, proxyUser_, proxyPassword_, kProxyTimeoutSeconds, nullptr) ||
        !Socks5Request(channel, kSocks5UdpAssociate, bindAddress_, static_cast<uint16_t>(localPort),
                       kProxyTimeoutSeconds, &bound)) {
        close(fd);
        return false;
    }
    uint32_t relayAddress = INADDR_NONE;
    if (bound.type == kSocks5IPv4) {
        std::memcpy(&relayAddress, bound.bytes.data(), 4);
    } else if (bound.type == kSocks5Name) {
        relayAddress = ResolveAddress(bound.bytes);
    }
    if (relayAddress == INADDR_NONE) {
        close(fd);
        return false;
    }
    // A relay on "any address" listens on the proxy's host; datagrams sent to 0.0.0.0 would
    // reach only a proxy on this machine, and its answers come from the proxy's address.
    if (relayAddress == INADDR_ANY) relayAddress = proxyAddress;

    std::lock_guard lock(socketMutex_);
    controlSocket_ = fd;
    relayed_ = true;
    relay_ = Endpoint(relayAddress, htons(bound.port));
    const uint8_t head[4] = {0, 0, 0, 1};
    std::memcpy(relayHeader_, head, 4);
    std::memcpy(relayHeader_ + 4, &server_.sin_addr.s_addr, 4);
    std::memcpy(relayHeader_ + 8, &server_.sin_port, 2);
    return true;
}

int32_t CUdpLink::SendDatagram(const void* data, std::size_t length) {
    if (length > kUdpMaxDatagram) return -1;
    SocketUse use(*this);
    if (use.fd < 0) return -1;
    std::lock_guard lock(sendMutex_);
    lastSendMs_ = platform::TickMs();
    ssize_t sent = -1;
    if (!use.relayed) {
        sent = sendto(use.fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&use.server), sizeof use.server);
    } else {
        if (length > kUdpMaxDatagram - kUdpRelayHeader) return -1;
        uint8_t out[kUdpMaxDatagram];
        std::memcpy(out, use.relayHeader, kUdpRelayHeader);
        std::memcpy(out + kUdpRelayHeader, data, length);
        sent = sendto(use.fd, out, length + kUdpRelayHeader, MSG_DONTWAIT | MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&use.relay), sizeof use.relay);
    }
    return sent < 0 ? -1 : static_cast<int32_t>(sent);
}

int32_t CUdpLink::SendMessage(uint8_t type, const void* payload, std::size_t length) {
    if (length > kUdpMaxDatagram - kUdpMessageHeader) return -1;
    uint8_t message[kUdpMaxDatagram];
    const std::size_t size = length + kUdpMessageHeader;
    message[0] = static_cast<uint8_t>(size);
    message[1] = static_cast<uint8_t>(size >> 8);
    message[2] = kVersion;
    message[3] = type;
    if (length > 0) std::memcpy(message + kUdpMessageHeader, payload, length);
    return SendDatagram(message, size);
}

bool CUdpLink::SendSubscription(const std::string& text) {
    SendMessage(kUdpSubscription, text.data(), text.size());
    return true;
}

void CUdpLink::Close() {
    // A registration waiting for its answer (the watchdog's, say) gives up at once.
    closing_ = true;
    registration_.Set();
    watchdog_->Stop(true);

    std::lock_guard lock(registerMutex_);
    keepAlivesSent_ = 0;
    keepAliveAnswers_ = 0;
    const uint8_t zeros[kUnregisterPayload] = {};
    SendMessage(kUdpUnregister, zeros, sizeof zeros);
    CloseSockets();
    Stop(true);
}

void CUdpLink::CloseSockets() {
    int udp = -1;
    int control = -1;
    {
        std::unique_lock lock(socketMutex_);
        registered_ = false;
        udp = udpSocket_;
        control = controlSocket_;
        udpSocket_ = -1;
        controlSocket_ = -1;
        localPort_ = 0;
        relayed_ = false;
        if (socketUsers_ > 0) {
            Wake();
            socketCv_.wait(lock, [this] { return socketUsers_ == 0; });
        }
    }
    if (udp >= 0) close(udp);
    if (control >= 0) close(control);
}

void CUdpLink::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

uint32_t CUdpLink::Run() {
    const std::stop_token stop = StopToken();
    const std::stop_callback wake(stop, [this] { Wake(); });
    while (!IsStopping() && !stop.stop_requested()) {
        const int32_t length = ReceiveDatagram(stop);
        // Only the socket failing ends the registration; the watchdog then makes a new one.
        if (length < 0) {
            CloseSockets();
        } else if (length > 0) {
            ProcessDatagrams(static_cast<std::size_t>(length));
        }
    }
    return 1;
}

int32_t CUdpLink::ReceiveDatagram(std::stop_token stop) {
    SocketUse use(*this, stop);
    if (use.fd < 0) return 0;
    pollfd fds[2] = {{use.fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) return errno == EINTR ? 0 : -1;
    if (fds[1].revents & POLLIN) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t drained = read(wakeFd_, &count, sizeof count);
        return 0;
    }

    uint8_t* buffer = receiveBuffer_.get();
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const std::size_t capacity = kUdpMaxDatagram + (use.relayed ? kUdpRelayHeader : 0);
    const ssize_t got = recvfrom(use.fd, buffer, capacity, MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    buffer[got] = 0;
    // Anyone can send to the port: only the server's (or the relay's) datagrams count.
    if (!use.relayed) return SameEndpoint(from, use.server) ? static_cast<int32_t>(got) : 0;
    UdpRelayHeader header;
    if (!SameEndpoint(from, use.relay) ||
        !ParseUdpRelayHeader(buffer, static_cast<std::size_t>(got), &header) ||
        header.address != use.server.sin_addr.s_addr || header.port != use.server.sin_port)
        return 0;
    const std::size_t length = static_cast<std::size_t>(got) - kUdpRelayHeader;
    std::memmove(buffer, buffer + kUdpRelayHeader, length);
    buffer[length] = 0;
    return static_cast<int32_t>(length);
}

void CUdpLink::ProcessDatagrams(std::size_t length) {
    WalkUdpMessages(receiveBuffer_.get(), length,
                    [this](uint8_t type, const uint8_t* payload, std::size_t size) {
                        lastReceiveMs_ = platform::TickMs();
                        switch (type) {
                            case kUdpRegister:
                                registered_ = true;
                                registration_.Set();
                                break;
                            case kUdpKeepAlive:
                                ++keepAliveAnswers_;
                                break;
                            case kUdpData:
                                OnDatagram(payload, static_cast<int32_t>(size));
                                break;
                            default:
                                break;
                        }
                    });
}

bool CUdpLink::OnDatagram(const uint8_t* /*payload*/, int32_t /*length*/) { return true; }

std::string CUdpLink::GetLastErrorText() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

void CUdpLink::SetLastError(std::string text) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(text);
}

int32_t CUdpLink::GetLocalPort() const {
    std::lock_guard lock(socketMutex_);
    return localPort_;
}

CUdpWatchdog::~CUdpWatchdog() { Stop(true); }

bool CUdpWatchdog::Pause(int64_t ms) {
    std::unique_lock lock(pauseMutex_);
    const std::stop_token stop = StopToken();
    pauseCv_.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
    return stop.stop_requested() || IsStopping();
}

uint32_t CUdpWatchdog::Run() {
    while (!IsStopping()) {
        if (link_.IsRegistered()) {
            const int64_t now = platform::TickMs();
            if (now - link_.lastSendMs_.load() >= CUdpLink::kKeepAliveIntervalMs) {
                uint8_t payload[8];
                PutU32(payload, static_cast<uint32_t>(std::time(nullptr)));
                PutU32(payload + 4, 1);
                if (link_.SendMessage(kUdpKeepAlive, payload, sizeof payload) > 0)
                    ++link_.keepAlivesSent_;
            }
            if (now - link_.lastReceiveMs_.load() > CUdpLink::kSilenceTimeoutMs)
                link_.CloseSockets();
        } else {
            if (Pause(1000)) break;
            link_.RegisterAgain();
        }
        if (Pause(200)) break;
    }
    return 1;
}

}  // namespace NoltComm
