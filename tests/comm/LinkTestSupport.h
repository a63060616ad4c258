// Loopback peers for the link's tests: a listening socket with timed accept, whole-buffer
// socket I/O, and outside peer programs (proxies) started and stopped by the test.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace linktest {

// How long a link waits for a real peer (a proxy, an SSL server) before it gives up: a bound
// for a peer that never answers, generous because a loaded machine starts peers slowly.
inline constexpr int kPeerTimeoutSeconds = 30;

// A TCP socket bound to a free loopback port; the port it got. Without `reuse` no other socket
// can bind the port while this one holds it.
inline int BindLoopback(int fd, bool reuse = true) {
    const int on = 1;
    if (reuse) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
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
        : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindLoopback(fd_, false)) {}
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

// Inodes of the sockets of the namespace's /proc/net table ("tcp", "udp") bound to the local
// port; for TCP only listening ones.
inline std::vector<std::string> PortSocketInodes(const std::string& table, int port) {
    std::ifstream in("/proc/net/" + table);
    std::string line;
    std::getline(in, line);  // the heading
    std::vector<std::string> inodes;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode))
            continue;
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos) continue;
        if (std::stoi(local.substr(colon + 1), nullptr, 16) != port) continue;
        if (table == "tcp" && state != "0A") continue;  // 0A: listening
        inodes.push_back("socket:[" + inode + "]");
    }
    return inodes;
}

// Whether one of the process's descriptors is one of those sockets.
inline bool ProcessHoldsSocket(pid_t pid, const std::vector<std::string>& sockets) {
    if (sockets.empty()) return false;
    const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (dir == nullptr) return false;
    bool held = false;
    while (const dirent* entry = readdir(dir)) {
        char target[64] = {};
        const std::string path = fdDir + "/" + entry->d_name;
        if (readlink(path.c_str(), target, sizeof target - 1) <= 0) continue;
        if (std::find(sockets.begin(), sockets.end(), target) != sockets.end()) held = true;
    }
    closedir(dir);
    return held;
}

// Whether this process still has a UDP socket on the port. Other programs may bind the same
// port the moment it is free, so a probe bind cannot tell.
inline bool ThisProcessHoldsUdpPort(int port) {
    return ProcessHoldsSocket(getpid(), PortSocketInodes("udp", port));
}

// Whether the process or one of its children listens on the TCP port: the peer itself, not
// whoever else took the port after it was picked.
inline bool ProcessListensOn(pid_t pid, int port) {
    const std::vector<std::string> sockets = PortSocketInodes("tcp", port);
    if (ProcessHoldsSocket(pid, sockets)) return true;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(proc)) {
        const pid_t child = static_cast<pid_t>(std::atoi(entry->d_name));
        if (child <= 0) continue;
        std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
        std::string text;
        std::getline(stat, text);
        // "pid (name) state ppid ...": the name may hold blanks, the last ')' ends it.
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(text.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        if (rest >> state >> parent && parent == pid && ProcessHoldsSocket(child, sockets)) {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
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
        if (pid_ <= 0 || ended_) return;
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
    pid_t pid() const { return pid_; }
    PeerProcess& process() { return *this; }
    // Whether the program has ended (it is reaped then).
    bool Ended() {
        if (!ended_ && pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) ended_ = true;
        return ended_ || pid_ <= 0;
    }
    // True once the program itself listens on the loopback port (within ms); false when it
    // ended first (the port was taken by someone else meanwhile, say) or the time ran out.
    bool WaitUntilListening(int port, int ms = 10000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            if (ProcessListensOn(pid_, port)) return true;
            if (Ended()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

// A peer program on a port picked free just before it starts: when another program takes the
// port in between, the peer cannot listen there and is started again on another port.
// `start(port)` starts it; the peer that listens, or null after `tries` attempts.
template <class Peer, class Start>
std::unique_ptr<Peer> StartOnFreePort(int& port, Start start, int tries = 5) {
    for (int attempt = 0; attempt < tries; ++attempt) {
        port = FreePort();
        std::unique_ptr<Peer> peer = start(port);
        if (peer && peer->process().WaitUntilListening(port)) return peer;
    }
    return nullptr;
}

}  // namespace linktest
