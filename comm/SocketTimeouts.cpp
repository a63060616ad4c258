// Timed socket calls over poll; time-outs run on the monotonic clock.
#include "comm/SocketTimeouts.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/core/Clock.h"

namespace NoltComm {

namespace {

// Waits for events on fd until ms have passed: >0 ready, 0 time-out, -1 error.
int PollWithin(int fd, short events, int64_t ms) {
    const int64_t deadline = platform::TickMs() + (ms < 0 ? 0 : ms);
    for (;;) {
        const int64_t left = deadline - platform::TickMs();
        pollfd pfd{fd, events, 0};
        const int ready = poll(&pfd, 1,
                               static_cast<int>(left < 0       ? 0
                                                : left > 60000 ? 60000
                                                               : left));
        if (ready > 0) return ready;
        if (ready < 0 && errno != EINTR) return -1;
        if (ready == 0 && left <= 60000) return 0;
    }
}

}  // namespace

int ConnectWithin(int fd, const sockaddr_in& address, int64_t ms) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return errno;
    const int ready = PollWithin(fd, POLLOUT, ms);
    if (ready == 0) return ETIMEDOUT;
    if (ready < 0) return errno;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

int ConnectWithTimeout(const std::string& dottedAddress, int32_t port, int64_t ms) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, dottedAddress.c_str(), &address.sin_addr) != 1) {
        errno = EINVAL;
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return -1;
    const int error = ConnectWithin(fd, address, ms);
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int32_t SendWithTimeout(int fd, const void* data, int32_t length, int64_t ms) {
    ssize_t sent = send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const int ready = PollWithin(fd, POLLOUT, ms);
        if (ready <= 0) {
            if (ready == 0) errno = EAGAIN;
            return -1;
        }
        sent = send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    return static_cast<int32_t>(sent);
}

int32_t RecvWithTimeout(int fd, void* buffer, int32_t length, int64_t ms) {
    ssize_t got = recv(fd, buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const int ready = PollWithin(fd, POLLIN, ms);
        if (ready <= 0) {
            if (ready == 0) errno = EAGAIN;
            return -1;
        }
        // Readable also when the peer closed: recv then says so with 0.
        got = recv(fd, buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    }
    return static_cast<int32_t>(got);
}

}  // namespace NoltComm
