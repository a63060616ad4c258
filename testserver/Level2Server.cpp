// The level-2 quote server: one thread reads the control connections and answers their
// lines; Publish sends records from the caller's thread under the same lock, so a connection
// is never closed while a record is half written to it.
#include "testserver/Level2Server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "testserver/Ipv4Address.h"

namespace testserver {

namespace {

constexpr std::size_t kGarbageSize = 100;  // the size of no record

}  // namespace

struct Level2Server::Connection {
    Connection(const Level2Options& options, const sockaddr_in& peer) : session(options, peer) {}
    int fd = -1;
    bool dead = false;  // shut down; the serving thread closes and removes it
    Level2Session session;
};

Level2Server::Level2Server() : Level2Server(Options{}) {}

Level2Server::Level2Server(Options options) : options_(std::move(options)) {}

Level2Server::~Level2Server() { Stop(); }

bool Level2Server::Start() {
    auto fail = [this](const std::string& what) {
        const std::string reason = std::strerror(errno);
        for (int* fd : {&listenFd_, &udpFd_, &wakeFd_}) {
            if (*fd >= 0) close(*fd);
            *fd = -1;
        }
        std::lock_guard lock(mutex_);
        error_ = what + ": " + reason;
        return false;
    };
    sockaddr_in address{};
    if (!MakeAddress(options_.address, options_.port, address)) {
        errno = EINVAL;
        return fail("address " + options_.address);
    }
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return fail("socket");
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail("bind");
    if (listen(listenFd_, 16) != 0) return fail("listen");
    socklen_t size = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);

    udpFd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (udpFd_ < 0) return fail("udp socket");
    setsockopt(udpFd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    in_addr interface {};
    if (inet_pton(AF_INET, options_.multicastInterface.c_str(), &interface) == 1)
        setsockopt(udpFd_, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface);
    const unsigned char loop = 1;
    const unsigned char ttl = 1;
    setsockopt(udpFd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    setsockopt(udpFd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);

    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return fail("eventfd");
    thread_ = std::jthread([this](std::stop_token stop) { Serve(std::move(stop)); });
    return true;
}

void Level2Server::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    for (auto& connection : connections_)
        if (connection->fd >= 0) close(connection->fd);
    connections_.clear();
    for (int* fd : {&listenFd_, &udpFd_, &wakeFd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

std::string Level2Server::ErrorText() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void Level2Server::Serve(std::stop_token stop) {
    std::vector<pollfd> fds;
    std::vector<Connection*> polled;
    while (!stop.stop_requested()) {
        fds.assign({{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}});
        polled.clear();
        {
            std::lock_guard lock(mutex_);
            // Connections shut down elsewhere are closed here, where nothing polls them.
            const auto before = connections_.size();
            std::erase_if(connections_, [](const std::unique_ptr<Connection>& c) {
                if (!c->dead) return false;
                close(c->fd);
                return true;
            });
            if (connections_.size() != before) changed_.notify_all();
            for (auto& connection : connections_) {
                fds.push_back({connection->fd, POLLIN, 0});
                polled.push_back(connection.get());
            }
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t value = 0;
            [[maybe_unused]] const ssize_t got = read(wakeFd_, &value, sizeof value);
        }
        if (fds[0].revents & POLLIN) Accept();
        for (std::size_t i = 0; i < polled.size(); ++i)
            if (fds[i + 2].revents) Read(*polled[i]);
    }
}

void Level2Server::Accept() {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    if (fd < 0) return;
    // A client that stops reading holds a publisher up for a second at most, then is dropped.
    const timeval timeout{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    auto connection = std::make_unique<Connection>(options_, peer);
    connection->fd = fd;
    std::lock_guard lock(mutex_);
    connections_.push_back(std::move(connection));
    changed_.notify_all();
}

void Level2Server::Read(Connection& connection) {
    char data[4096];
    const ssize_t got = recv(connection.fd, data, sizeof data, MSG_DONTWAIT);
    std::lock_guard lock(mutex_);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got <= 0) {
        CloseLocked(connection);
        return;
    }
    for (Level2Session::Reply& reply :
         connection.session.Receive({data, static_cast<std::size_t>(got)})) {
        commands_.push_back(std::move(reply.line));
        Send(connection, reply.answer);
    }
    if (connection.session.Broken()) CloseLocked(connection);
    changed_.notify_all();
}

bool Level2Server::Send(Connection& connection, const std::string& bytes) {
    if (connection.dead) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            send(connection.fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            CloseLocked(connection);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void Level2Server::CloseLocked(Connection& connection) {
    if (connection.dead) return;
    connection.dead = true;
    shutdown(connection.fd, SHUT_RDWR);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

std::size_t Level2Server::Publish(const std::string& code,
                                  const std::vector<std::string>& records) {
    if (records.empty()) return 0;
    std::lock_guard lock(mutex_);
    std::vector<Connection*> streams;
    std::vector<sockaddr_in> targets = feeds_;
    for (auto& connection : connections_) {
        const Level2Session& session = connection->session;
        if (connection->dead || !session.Codes().contains(code)) continue;
        if (session.Channel() == Level2Channel::Tcp) streams.push_back(connection.get());
        const sockaddr_in& target = session.Target();
        if (session.Channel() == Level2Channel::Udp &&
            std::none_of(targets.begin(), targets.end(),
                         [&](const sockaddr_in& t) { return SameAddress(t, target); }))
            targets.push_back(target);
    }
    if (streams.empty() && targets.empty()) return 0;

    // The records go out as they are unless a fault changes them.
    const std::vector<std::string>* out = &records;
    std::vector<std::string> writes;
    if (fault_) {
        writes = records;
        out = &writes;
        switch (*fault_) {
            case Level2Fault::SplitRecord: {
                const std::string first = writes.front();
                writes.front() = first.substr(0, first.size() / 2);
                writes.insert(writes.begin() + 1, first.substr(first.size() / 2));
                break;
            }
            case Level2Fault::MergeRecords:
                if (writes.size() >= 2) {
                    writes[0] += writes[1];
                    writes.erase(writes.begin() + 1);
                }
                break;
            case Level2Fault::WrongSize:
                if (!writes.front().empty()) writes.front().pop_back();
                break;
            case Level2Fault::Garbage: {
                std::string garbage(kGarbageSize, '\0');
                for (std::size_t i = 0; i < garbage.size(); ++i)
                    garbage[i] = static_cast<char>(0xA5 ^ (i * 37));
                writes.insert(writes.begin(), std::move(garbage));
                break;
            }
        }
        fault_.reset();
    }

    std::size_t delivered = 0;
    for (Connection* connection : streams) {
        bool ok = true;
        for (const std::string& bytes : *out) ok = ok && Send(*connection, bytes);
        if (ok) ++delivered;
    }
    for (const sockaddr_in& target : targets) {
        bool ok = true;
        for (const std::string& bytes : *out)
            ok = sendto(udpFd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == static_cast<ssize_t>(bytes.size()) &&
                 ok;
        if (ok) ++delivered;
    }
    return delivered;
}

void Level2Server::AddFeed(const std::string& address, uint16_t port) {
    sockaddr_in target{};
    if (port == 0 || !MakeAddress(address, port, target)) return;
    std::lock_guard lock(mutex_);
    feeds_.push_back(target);
}

void Level2Server::InjectFault(Level2Fault fault) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
}

std::size_t Level2Server::DropControlConnections() {
    std::lock_guard lock(mutex_);
    std::size_t dropped = 0;
    for (auto& connection : connections_) {
        if (connection->dead) continue;
        CloseLocked(*connection);
        ++dropped;
    }
    return dropped;
}

std::size_t Level2Server::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(connections_.begin(), connections_.end(),
                                                  [](const auto& c) { return !c->dead; }));
}

std::size_t Level2Server::ChannelCountLocked() const {
    return static_cast<std::size_t>(std::count_if(
        connections_.begin(), connections_.end(),
        [](const auto& c) { return !c->dead && c->session.Channel() != Level2Channel::None; }));
}

std::size_t Level2Server::ChannelCount() const {
    std::lock_guard lock(mutex_);
    return ChannelCountLocked();
}

bool Level2Server::WaitForChannels(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ChannelCountLocked() >= count; });
}

std::set<std::string> Level2Server::Subscribed() const {
    std::lock_guard lock(mutex_);
    std::set<std::string> codes;
    for (const auto& connection : connections_)
        if (!connection->dead)
            codes.insert(connection->session.Codes().begin(), connection->session.Codes().end());
    return codes;
}

bool Level2Server::WaitForSubscribed(const std::string& code,
                                     std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return std::any_of(connections_.begin(), connections_.end(), [&](const auto& c) {
            return !c->dead && c->session.Codes().contains(code);
        });
    });
}

std::vector<std::string> Level2Server::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

}  // namespace testserver
