// Plain sockets for the quote tests: a datagram receiver (loopback, any address, a multicast
// group) and the namespace runner for the tests that need broadcast or multicast.
#pragma once

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

namespace testserver_test {

class DatagramSocket {
public:
    // Bound to the address (INADDR_ANY for "0.0.0.0") on a free port.
    explicit DatagramSocket(const char* address = "127.0.0.1") {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        const int buffer = 1 << 20;  // a whole step's records wait here unread
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, address, &local.sin_addr);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        socklen_t size = sizeof local;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
        port_ = ntohs(local.sin_port);
    }
    ~DatagramSocket() { close(fd_); }
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    bool bound() const { return bound_; }
    uint16_t port() const { return port_; }

    bool Join(const char* group, const char* interface = "127.0.0.1") {
        ip_mreq request{};
        inet_pton(AF_INET, group, &request.imr_multiaddr);
        inet_pton(AF_INET, interface, &request.imr_interface);
        return setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0;
    }

    bool SendTo(uint16_t port, const std::string& datagram, const char* address = "127.0.0.1") {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, address, &to.sin_addr);
        return sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(datagram.size());
    }

    // The next datagram; nullopt when none comes within the bound (a lost-test guard, never
    // a timing expectation).
    std::optional<std::string> Receive(int ms = 5000) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, ms) <= 0) return std::nullopt;
        std::string buffer(65536, '\0');
        const ssize_t got = recv(fd_, buffer.data(), buffer.size(), 0);
        if (got < 0) return std::nullopt;
        buffer.resize(static_cast<std::size_t>(got));
        return buffer;
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    bool bound_ = false;
};

// Runs `body` in a child process inside a network namespace of its own (loopback up, with
// multicast), so broadcast and multicast never leave it. The result is the body's error text
// ("" when it passed); "SKIP: ..." when the machine refuses the namespace.
inline std::string RunInNetworkNamespace(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        close(pipeFds[0]);
        std::string result;
        if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            result = std::string("SKIP: no network namespace: ") + std::strerror(errno);
        } else {
            const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            ifreq request{};
            std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
            ioctl(control, SIOCGIFFLAGS, &request);
            request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_MULTICAST);
            if (ioctl(control, SIOCSIFFLAGS, &request) != 0)
                result = std::string("SKIP: loopback stays down: ") + std::strerror(errno);
            close(control);
            if (result.empty()) result = body();
        }
        [[maybe_unused]] const ssize_t written = write(pipeFds[1], result.data(), result.size());
        close(pipeFds[1]);
        _exit(0);
    }
    close(pipeFds[1]);
    std::string result;
    char buffer[512];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<std::size_t>(got));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the namespace child failed";
    return result;
}

}  // namespace testserver_test
