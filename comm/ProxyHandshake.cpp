// Proxy handshakes: each reply is read to its exact end (HTTP to the blank line, SOCKS by
// its fixed or announced size), so the first packet of the tunnel is never eaten.
#include "comm/ProxyHandshake.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/core/Clock.h"
#include "platform/core/Numbers.h"
#include "record/Base64.h"

namespace NoltComm {

namespace {

constexpr char kHttpSendFailed[] = "代理服务器连接失败(发送数据 ）!";
constexpr char kLoginFailed[] = "代理服务器登录失败!";
constexpr char kConnectFailed[] = "代理服务器连接失败!";
constexpr char kGreetingFailed[] = "代理服务器连接失败1!";

// An HTTP proxy's reply header larger than this is not a proxy talking.
constexpr std::size_t kMaxHttpReply = 8192;

bool Fail(std::string* errorText, const char* text) {
    if (errorText) *errorText = text;
    return false;
}

int64_t DeadlineIn(int32_t seconds) {
    return platform::TickMs() + static_cast<int64_t>(seconds < 0 ? 0 : seconds) * 1000;
}

std::string PortBytes(int32_t port) {
    std::string out;
    out += static_cast<char>((port >> 8) & 0xFF);
    out += static_cast<char>(port & 0xFF);
    return out;
}

std::string AddressBytes(uint32_t networkOrder) {
    return std::string(reinterpret_cast<const char*>(&networkOrder), 4);
}

// "HTTP/x.y 200 ..." in the first line; anything else (407 with " 200" in its text, say)
// is a refusal.
bool HttpStatusIsOk(std::string_view reply) {
    const std::size_t end = reply.find_first_of("\r\n");
    std::string_view line = reply.substr(0, end);
    if (line.substr(0, 5) != "HTTP/") return false;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    std::string_view rest = line.substr(space + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.size() < 3 || rest.substr(0, 3) != "200") return false;
    return rest.size() == 3 || rest[3] == ' ' || rest[3] == '\t';
}

bool HttpHandshake(ProxyChannel& channel, const ProxySettings& settings, const std::string& host,
                   int32_t port, int32_t timeoutSeconds, std::string* errorText) {
    const std::string target = host + ":" + platform::FormatInt(port);
    std::string request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
    if (settings.user[0] != '\0') {
        const std::string credentials =
            Base64Encode(std::string(settings.user) + ":" + std::string(settings.password));
        request += "Authorization: Basic " + credentials + "\r\nProxy-Authorization: Basic " +
                   credentials + "\r\n";
    }
    request += "\r\n";
    if (!channel.SendAll(request.data(), request.size())) return Fail(errorText, kHttpSendFailed);

    // One byte at a time up to the blank line: a proxy may split its reply anywhere, and
    // the tunnel's bytes may follow it at once.
    const int64_t deadline = DeadlineIn(timeoutSeconds);
    std::string reply;
    while (reply.size() < kMaxHttpReply) {
        char c = 0;
        if (channel.ReceiveSome(&c, 1, deadline) != 1) return Fail(errorText, kLoginFailed);
        reply += c;
        const std::string_view r = reply;
        if (r.ends_with("\n\r\n") || r.ends_with("\n\n"))
            return HttpStatusIsOk(r) || Fail(errorText, kLoginFailed);
    }
    return Fail(errorText, kLoginFailed);
}

bool Socks5Handshake(ProxyChannel& channel, const ProxySettings& settings, const std::string& host,
                     int32_t port, int32_t timeoutSeconds, std::string* errorText) {
    const std::size_t userLength = strnlen(settings.user, sizeof settings.user - 1);
    const std::size_t passwordLength = strnlen(settings.password, sizeof settings.password - 1);
    if (!Socks5Negotiate(channel, std::string_view(settings.user, userLength),
                         std::string_view(settings.password, passwordLength), timeoutSeconds,
                         errorText))
        return false;
    // The client resolves the server's name itself and asks for the IPv4 address.
    const uint32_t address = ResolveAddress(host);
    if (address == INADDR_NONE) return Fail(errorText, kConnectFailed);
    Socks5Address bound;
    if (!Socks5Request(channel, kSocks5Connect, address, static_cast<uint16_t>(port),
                       timeoutSeconds, &bound))
        return Fail(errorText, kConnectFailed);
    return true;
}

bool Socks4Handshake(ProxyChannel& channel, const std::string& host, int32_t port,
                     int32_t timeoutSeconds, std::string* errorText) {
    // SOCKS4 carries only an address: a name is resolved here, and one that does not
    // resolve fails instead of asking the proxy for 255.255.255.255.
    const uint32_t address = ResolveAddress(host);
    if (address == INADDR_NONE) return Fail(errorText, kConnectFailed);
    const std::string request =
        std::string("\x04\x01", 2) + PortBytes(port) + AddressBytes(address) + std::string(1, '\0');
    if (!channel.SendAll(request.data(), request.size())) return Fail(errorText, kConnectFailed);
    unsigned char reply[8];
    if (!ReceiveExactly(channel, reply, 8, DeadlineIn(timeoutSeconds)) || reply[0] != 0 ||
        reply[1] != 0x5A)
        return Fail(errorText, kConnectFailed);
    return true;
}

}  // namespace

bool SocketProxyChannel::SendAll(const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t sent = send(fd_, p, n, MSG_NOSIGNAL);
        if (sent > 0) {
            p += sent;
            n -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{fd_, POLLOUT, 0};
            if (poll(&pfd, 1, 1000) < 0 && errno != EINTR) return false;
            continue;
        }
        return false;
    }
    return true;
}

int32_t SocketProxyChannel::ReceiveSome(void* out, std::size_t n, int64_t deadlineMs) {
    for (;;) {
        const int64_t left = deadlineMs - platform::TickMs();
        if (left < 0) return -1;
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(left > 60000 ? 60000 : left));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (ready == 0) continue;
        const ssize_t got = recv(fd_, out, n, MSG_DONTWAIT);
        if (got >= 0) return static_cast<int32_t>(got);
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        return -1;
    }
}

bool ReceiveExactly(ProxyChannel& channel, void* out, std::size_t n, int64_t deadlineMs) {
    char* p = static_cast<char*>(out);
    while (n > 0) {
        const int32_t got = channel.ReceiveSome(p, n, deadlineMs);
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool Socks5Negotiate(ProxyChannel& channel, std::string_view user, std::string_view password,
                     int32_t timeoutSeconds, std::string* errorText) {
    const unsigned char greeting[4] = {5, 2, 0, 2};
    if (!channel.SendAll(greeting, sizeof greeting)) return Fail(errorText, kGreetingFailed);
    unsigned char method[2];
    if (!ReceiveExactly(channel, method, 2, DeadlineIn(timeoutSeconds)) || method[0] != 5)
        return Fail(errorText, kConnectFailed);
    if (method[1] == 2) {
        // The sub-negotiation carries each text behind a one-byte length.
        if (user.size() > 255 || password.size() > 255) return Fail(errorText, kLoginFailed);
        std::string auth;
        auth += '\x01';
        auth += static_cast<char>(user.size());
        auth += user;
        auth += static_cast<char>(password.size());
        auth += password;
        if (!channel.SendAll(auth.data(), auth.size())) return Fail(errorText, kLoginFailed);
        unsigned char status[2];
        if (!ReceiveExactly(channel, status, 2, DeadlineIn(timeoutSeconds)) || status[0] != 1 ||
            status[1] != 0)
            return Fail(errorText, kLoginFailed);
    } else if (method[1] != 0) {
        return Fail(errorText, kConnectFailed);
    }
    return true;
}

bool Socks5Request(ProxyChannel& channel, uint8_t command, uint32_t address, uint16_t port,
                   int32_t timeoutSeconds, Socks5Address* bound) {
    const std::string request = std::string("\x05", 1) + static_cast<char>(command) +
                                std::string("\x00\x01", 2) + AddressBytes(address) +
                                PortBytes(port);
    if (!channel.SendAll(request.data(), request.size())) return false;

    const int64_t deadline = DeadlineIn(timeoutSeconds);
    unsigned char head[4];
    if (!ReceiveExactly(channel, head, 4, deadline) || head[0] != 5 || head[1] != 0) return false;
    // The bound address and port follow; their size depends on the address type.
    std::size_t addressSize = 0;
    switch (head[3]) {
        case kSocks5IPv4:
            addressSize = 4;
            break;
        case kSocks5IPv6:
            addressSize = 16;
            break;
        case kSocks5Name: {
            unsigned char nameLength = 0;
            if (!ReceiveExactly(channel, &nameLength, 1, deadline)) return false;
            addressSize = nameLength;
            break;
        }
        default:
            return false;
    }
    unsigned char rest[255 + 2];
    if (!ReceiveExactly(channel, rest, addressSize + 2, deadline)) return false;
    if (bound) {
        bound->type = head[3];
        bound->bytes.assign(reinterpret_cast<const char*>(rest), addressSize);
        bound->port = static_cast<uint16_t>(rest[addressSize] << 8 | rest[addressSize + 1]);
    }
    return true;
}

bool RunProxyHandshake(ProxyChannel& channel, const ProxySettings& settings,
                       const std::string& host, int32_t port, int32_t timeoutSeconds,
                       std::string* errorText) {
    switch (settings.ProxyType) {
        case kProxyHttp:
            return HttpHandshake(channel, settings, host, port, timeoutSeconds, errorText);
        case kProxySocks5:
            return Socks5Handshake(channel, settings, host, port, timeoutSeconds, errorText);
        case kProxySocks4:
            return Socks4Handshake(channel, host, port, timeoutSeconds, errorText);
        default:
            return true;
    }
}

uint32_t ResolveAddress(const std::string& host) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) return address.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return INADDR_NONE;
    const uint32_t result = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return result;
}

std::string Base64Encode(std::string_view bytes) {
    std::string text = pavlet::base64_encode(bytes);
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

}  // namespace NoltComm
