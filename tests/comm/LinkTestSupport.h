// Loopback peers for the link's tests: a listening socket with timed accept, whole-buffer
// socket I/O, and outside peer programs (proxies) started and stopped by the test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace linktest {

// A TCP socket bound to a free loopback port; the port it got.
inline int BindLoopback(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

class Listener {
public:
    explicit Listener(int backlog = 8) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        port_ = BindLoopback(fd_);
        listen(fd_, backlog);
    }
    ~Listener() { close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    int port() const { return port_; }
    int fd() const { return fd_; }
    // A connected socket, or -1 when nobody came within ms.
    int Accept(int ms = 5000) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, ms) <= 0) return -1;
        return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port held by a socket that does not listen: a connect to it is refused at once.
class RefusingPort {
public:
    RefusingPort()
        : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindLoopback(fd_)) {}
    ~RefusingPort() { close(fd_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return port_; }

private:
    int fd_;
    int port_;
};

inline bool SendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads until the text ends with terminator (or n bytes when terminator is empty), the
// peer closes or ms pass.
inline std::string ReadUntil(int fd, const std::string& terminator, std::size_t n = 0,
                             int ms = 5000) {
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!terminator.empty() && data.size() >= terminator.size() &&
            data.compare(data.size() - terminator.size(), terminator.size(), terminator) == 0)
            break;
        if (terminator.empty() && data.size() >= n) break;
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 50) <= 0) continue;
        char c;
        if (recv(fd, &c, 1, 0) != 1) break;
        data += c;
    }
    return data;
}

// A loopback port free at the moment of the call.
inline int FreePort() {
    Listener probe;
    return probe.port();
}

// True once something accepts connections on the loopback port (within ms).
inline bool WaitForPort(int port, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// An outside program run for the length of a test; stopped with SIGTERM, then SIGKILL.
class PeerProcess {
public:
    explicit PeerProcess(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~PeerProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

}  // namespace linktest
