// A minimal FixApi client for the server's tests: frames are built byte by byte here, apart
// from the server's codec, so the server is checked against the wire layout itself.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver_test {

inline constexpr char SOH = '\x01';

// 14-byte little-endian header followed by the body.
inline std::string Frame(uint32_t id, uint8_t kind, uint8_t packetFlags, std::string_view body,
                         uint8_t bodyFlags = 0) {
    const std::size_t length = 14 + body.size();
    std::string frame;
    frame += static_cast<char>(length & 0xFF);
    frame += static_cast<char>((length >> 8) & 0xFF);
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((id >> shift) & 0xFF);
    frame += static_cast<char>(kind);
    frame += static_cast<char>(bodyFlags);
    frame += static_cast<char>(packetFlags);
    frame.append(5, '\0');
    frame.append(body);
    return frame;
}

// A request body as the client composes it: the head, the function, then the fields.
inline std::string RequestBody(int function, std::string_view fields = {}) {
    std::string body = "8=3|00009999|8|127.0.0.1|1|1|0|1|";
    body += SOH;
    body += "35=" + std::to_string(function);
    body += SOH;
    body.append(fields);
    return body;
}

inline std::string Request(uint32_t id, int function, std::string_view fields = {},
                           uint8_t kind = 0, uint8_t packetFlags = 0) {
    return Frame(id, kind, packetFlags, RequestBody(function, fields));
}

// Splits a body at SOH (each piece is followed by one).
inline std::vector<std::string> Items(std::string_view body) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == SOH) {
            items.emplace_back(body.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < body.size()) items.emplace_back(body.substr(start));
    return items;
}

struct RawPacket {
    std::string raw;
    uint16_t length = 0;
    uint32_t id = 0;
    uint8_t kind = 0;
    uint8_t bodyFlags = 0;
    uint8_t packetFlags = 0;
    std::string body;
};

inline RawPacket ParseRaw(std::string raw) {
    auto byte = [&](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(raw[i])); };
    RawPacket packet;
    packet.length = static_cast<uint16_t>(byte(0) | (byte(1) << 8));
    packet.id = byte(2) | (byte(3) << 8) | (byte(4) << 16) | (byte(5) << 24);
    packet.kind = static_cast<uint8_t>(byte(6));
    packet.bodyFlags = static_cast<uint8_t>(byte(7));
    packet.packetFlags = static_cast<uint8_t>(byte(8));
    packet.body = raw.substr(14);
    packet.raw = std::move(raw);
    return packet;
}

// zlib uncompress with an output limit; nullopt when it fails.
inline std::optional<std::string> Inflate(std::string_view data, std::size_t limit) {
    std::string out(limit, '\0');
    uLongf size = static_cast<uLongf>(limit);
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(data.data()),
                   static_cast<uLong>(data.size())) != Z_OK)
        return std::nullopt;
    out.resize(size);
    return out;
}

class RawClient {
public:
    explicit RawClient(uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        // No test may hang on a server that does not answer.
        timeval limit{10, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawClient() {
        if (fd_ >= 0) close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    int fd() const { return fd_; }
    // errno of the last failed read, 0 after an end of stream.
    int lastError() const { return lastError_; }

    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    std::optional<std::string> ReadExact(std::size_t size) {
        std::string out(size, '\0');
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = recv(fd_, out.data() + got, size - got, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                lastError_ = n == 0 ? 0 : errno;
                return std::nullopt;
            }
            got += static_cast<std::size_t>(n);
        }
        return out;
    }

    std::optional<RawPacket> ReadPacket() {
        auto header = ReadExact(14);
        if (!header) return std::nullopt;
        const std::size_t length = static_cast<unsigned char>((*header)[0]) |
                                   (static_cast<unsigned char>((*header)[1]) << 8);
        if (length < 14) return std::nullopt;
        auto body = ReadExact(length - 14);
        if (!body) return std::nullopt;
        return ParseRaw(*header + *body);
    }

    // Packets up to and including the one with the last-packet flag.
    std::vector<RawPacket> ReadAnswer() {
        std::vector<RawPacket> packets;
        while (auto packet = ReadPacket()) {
            packets.push_back(*packet);
            if (packet->packetFlags & 0x04) break;
        }
        return packets;
    }

    // True when the peer ended the stream (or reset it) and nothing else came first.
    bool SeesClosed() {
        char byte;
        const ssize_t n = recv(fd_, &byte, 1, 0);
        lastError_ = n == 0 ? 0 : errno;
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    int lastError_ = 0;
};

}  // namespace testserver_test
