// IPv4 socket addresses as the test server's sockets take them: built from dotted text and a
// port, and compared by address and port alone.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace testserver {

// False when the text is no dotted IPv4 address; `out` holds the port either way.
inline bool MakeAddress(const std::string& text, uint16_t port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return inet_pton(AF_INET, text.c_str(), &out.sin_addr) == 1;
}

inline bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

}  // namespace testserver
