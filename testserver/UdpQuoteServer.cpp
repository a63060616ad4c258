// The UDP quote side of the test server, with its own reading and writing of the messages
// (u16 length, version, type, payload), kept apart from the client's.
#include "testserver/UdpQuoteServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "testserver/Ipv4Address.h"

namespace testserver {

namespace {

constexpr uint8_t kRegister = 0;
constexpr uint8_t kUnregister = 1;
constexpr uint8_t kKeepAlive = 2;
constexpr uint8_t kData = 4;
constexpr std::size_t kMaxDatagram = 65536;

std::string Message(uint8_t type, const std::string& payload) {
    const std::size_t length = payload.size() + 4;
    std::string out;
    out += static_cast<char>(length & 0xFF);
    out += static_cast<char>((length >> 8) & 0xFF);
    out += '\x01';
    out += static_cast<char>(type);
    return out + payload;
}

std::size_t CountOf(const std::vector<UdpMessage>& messages, uint8_t type) {
    return static_cast<std::size_t>(std::count_if(
        messages.begin(), messages.end(), [type](const UdpMessage& m) { return m.type == type; }));
}

}  // namespace

UdpQuoteServer::UdpQuoteServer() : UdpQuoteServer(Options{}) {}

UdpQuoteServer::UdpQuoteServer(Options options) : options_(std::move(options)) {}

UdpQuoteServer::~UdpQuoteServer() { Stop(); }

bool UdpQuoteServer::Start() {
    auto fail = [this](const std::string& what) {
        std::lock_guard lock(mutex_);
        error_ = what + ": " + std::strerror(errno);
        if (socket_ >= 0) close(socket_);
        socket_ = -1;
        return false;
    };
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) return fail("socket");
    sockaddr_in address{};
    if (!MakeAddress(options_.address, options_.port, address)) {
        errno = EINVAL;
        return fail("address " + options_.address);
    }
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail("bind");
    socklen_t size = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return fail("eventfd");
    thread_ = std::jthread([this](std::stop_token stop) { Serve(std::move(stop)); });
    return true;
}

void UdpQuoteServer::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (socket_ >= 0) close(socket_);
    if (wakeFd_ >= 0) close(wakeFd_);
    socket_ = -1;
    wakeFd_ = -1;
}

std::string UdpQuoteServer::ErrorText() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void UdpQuoteServer::SetSilent(bool silent) {
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void UdpQuoteServer::Serve(std::stop_token stop) {
    std::vector<uint8_t> buffer(kMaxDatagram);
    while (!stop.stop_requested()) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents & POLLIN) continue;
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t got = recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &size);
        if (got < 0) continue;
        Handle(from, buffer.data(), static_cast<std::size_t>(got));
    }
}

void UdpQuoteServer::Handle(const sockaddr_in& from, const uint8_t* data, std::size_t length) {
    std::size_t offset = 0;
    while (length - offset >= 4) {
        UdpMessage message;
        message.from = from;
        message.length = static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
        if (message.length < 4 || message.length > length - offset) return;
        message.version = data[offset + 2];
        message.type = data[offset + 3];
        message.payload.assign(reinterpret_cast<const char*>(data + offset + 4),
                               message.length - 4u);
        offset += message.length;

        bool silent = false;
        {
            std::lock_guard lock(mutex_);
            silent = silent_;
            const auto known =
                std::find_if(clients_.begin(), clients_.end(),
                             [&](const sockaddr_in& c) { return SameAddress(c, from); });
            if (message.type == kRegister && known == clients_.end()) clients_.push_back(from);
            if (message.type == kUnregister && known != clients_.end()) clients_.erase(known);
            messages_.push_back(message);
        }
        changed_.notify_all();
        if (silent) continue;
        if (message.type == kRegister) {
            SendTo(from, Message(kRegister, std::string(36, '\0')));
        } else if (message.type == kKeepAlive) {
            std::string payload(8, '\0');
            const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
            for (int i = 0; i < 4; ++i) payload[i] = static_cast<char>(now >> (8 * i));
            payload[4] = 1;
            SendTo(from, Message(kKeepAlive, payload));
        }
    }
}

bool UdpQuoteServer::SendTo(const sockaddr_in& to, const std::string& datagram) {
    return sendto(socket_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(datagram.size());
}

std::size_t UdpQuoteServer::SendData(const std::string& payload) {
    return SendRaw(DataMessage(payload));
}

std::size_t UdpQuoteServer::SendRaw(const std::string& datagram) {
    std::size_t sent = 0;
    for (const sockaddr_in& client : Clients())
        if (SendTo(client, datagram)) ++sent;
    return sent;
}

bool UdpQuoteServer::SendRawTo(const sockaddr_in& to, const std::string& datagram) {
    return SendTo(to, datagram);
}

std::vector<UdpMessage> UdpQuoteServer::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t UdpQuoteServer::CountMessages(uint8_t type) const {
    std::lock_guard lock(mutex_);
    return CountOf(messages_, type);
}

bool UdpQuoteServer::WaitForMessages(uint8_t type, std::size_t count,
                                     std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return CountOf(messages_, type) >= count; });
}

std::vector<sockaddr_in> UdpQuoteServer::Clients() const {
    std::lock_guard lock(mutex_);
    return clients_;
}

std::string UdpQuoteServer::DataMessage(const std::string& payload) {
    return Message(kData, payload);
}

}  // namespace testserver
