// The address text of a connection ("host@port/TCP" or ".../SPX") read into the host,
// port and protocol that the link connects to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace NoltComm {

inline constexpr int32_t kProtocolTcp = 1;
inline constexpr int32_t kProtocolSpx = 3;

// Longest address text and host text the link keeps.
inline constexpr std::size_t kMaxAddressText = 239;
inline constexpr std::size_t kMaxHostText = 42;

// The text and code of a connection string that cannot be read.
inline constexpr int32_t kBadConnectionStringCode = -2003;
inline constexpr char kBadConnectionStringText[] = "非法连接字符串!";

struct ConnectionAddress {
    std::string host;
    int32_t port = 0;
    int32_t protocol = kProtocolTcp;
};

enum class ConnectionStringResult {
    Ok,
    Empty,    // nothing to connect to; no error text
    Invalid,  // kBadConnectionStringCode / kBadConnectionStringText
};

// Upper-cases the text, treats '@' like ',', takes the protocol from the first "/TCP" or
// "/SPX" (the text is cut there), then the first run of non-',' characters as the host
// ("127.0.0.1" when there is none) and the next as the decimal port (0 when there is none).
// A text longer than kMaxAddressText, a host longer than kMaxHostText or a port outside
// 0..65535 is invalid.
ConnectionStringResult ParseConnectionString(const std::string& text, ConnectionAddress* out);

}  // namespace NoltComm
