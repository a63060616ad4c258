// The proxy record of a link and the HTTP CONNECT, SOCKS5 and SOCKS4 handshakes that open a
// tunnel to the server through it, over a byte channel so that the replies can be fed from
// memory as well as from a socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace NoltComm {

// Proxy types of ProxySettings::ProxyType; any other value means a direct connection.
inline constexpr int32_t kProxySocks4 = 4;
inline constexpr int32_t kProxySocks5 = 5;
inline constexpr int32_t kProxyHttp = 80;

// Zero-filled while no proxy is set; the texts are NUL-terminated.
struct ProxySettings {
    int32_t ProxyType;
    char host[128];
    uint32_t port;  // the low 16 bits are used
    char user[128];
    char password[128];
};
static_assert(sizeof(ProxySettings) == 392);

// The bytes between the client and the proxy during the handshake.
class ProxyChannel {
public:
    virtual ~ProxyChannel() = default;
    // Sends all n bytes; false when they did not all go out.
    virtual bool SendAll(const void* data, std::size_t n) = 0;
    // Up to n bytes received before deadlineMs (platform::TickMs): the count, 0 when the
    // peer closed, -1 on an error or when the deadline passed.
    virtual int32_t ReceiveSome(void* out, std::size_t n, int64_t deadlineMs) = 0;
};

// A connected socket (blocking or not) as a handshake channel.
class SocketProxyChannel : public ProxyChannel {
public:
    explicit SocketProxyChannel(int fd) : fd_(fd) {}
    bool SendAll(const void* data, std::size_t n) override;
    int32_t ReceiveSome(void* out, std::size_t n, int64_t deadlineMs) override;

private:
    int fd_;
};

// Exactly n bytes before the deadline; false when the peer closed, failed or was late.
// Never reads past n, so the tunnel's own bytes stay in the stream.
bool ReceiveExactly(ProxyChannel& channel, void* out, std::size_t n, int64_t deadlineMs);

// SOCKS5 address types and the commands the client sends.
inline constexpr uint8_t kSocks5IPv4 = 1;
inline constexpr uint8_t kSocks5Name = 3;
inline constexpr uint8_t kSocks5IPv6 = 4;
inline constexpr uint8_t kSocks5Connect = 1;
inline constexpr uint8_t kSocks5UdpAssociate = 3;

// The address part of a SOCKS5 reply: its type, its bytes as sent (4 or 16 bytes, or the
// name without its length byte) and the port.
struct Socks5Address {
    uint8_t type = 0;
    std::string bytes;
    uint16_t port = 0;
};

// The SOCKS5 greeting offering no authentication and user/password, and the sub-negotiation
// when the proxy picks the latter. On failure errorText gets the step's message.
bool Socks5Negotiate(ProxyChannel& channel, std::string_view user, std::string_view password,
                     int32_t timeoutSeconds, std::string* errorText);

// One SOCKS5 request for an IPv4 address (network order) and port, and its reply read to its
// exact end: true when the proxy granted it, with the address it names in *bound.
bool Socks5Request(ProxyChannel& channel, uint8_t command, uint32_t address, uint16_t port,
                   int32_t timeoutSeconds, Socks5Address* bound);

// Opens the tunnel to host:port through the proxy in settings (a type other than 4, 5 and
// 80 succeeds at once). Each reply must arrive within timeoutSeconds of its request. On
// failure errorText gets the step's message.
bool RunProxyHandshake(ProxyChannel& channel, const ProxySettings& settings,
                       const std::string& host, int32_t port, int32_t timeoutSeconds,
                       std::string* errorText);

// The IPv4 address (network order) of a dotted text or a host name; all ones when the name
// has no IPv4 address.
uint32_t ResolveAddress(const std::string& host);

// Base64 in one line with '=' padding (the Basic authorization of the HTTP proxy).
std::string Base64Encode(std::string_view bytes);

}  // namespace NoltComm
