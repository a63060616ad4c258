// Socket calls bounded by a time-out in milliseconds: the timed connect that every link
// uses, and the one-shot send and receive of the machine identification.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace NoltComm {

// Connects the (non-blocking) socket fd to address within ms: 0, or the errno of the
// failure (ETIMEDOUT when the time ran out).
int ConnectWithin(int fd, const sockaddr_in& address, int64_t ms);

// A new non-blocking TCP socket connected to the dotted IPv4 address within ms, or -1 with
// errno set (ETIMEDOUT after a time-out).
int ConnectWithTimeout(const std::string& dottedAddress, int32_t port, int64_t ms);
// One send, waiting at most ms for room: the bytes sent or -1 (errno set).
int32_t SendWithTimeout(int fd, const void* data, int32_t length, int64_t ms);
// One receive, waiting at most ms for data: the bytes read, 0 when the peer closed, -1 on
// an error or when nothing came in time (errno EAGAIN).
int32_t RecvWithTimeout(int fd, void* buffer, int32_t length, int64_t ms);

}  // namespace NoltComm
