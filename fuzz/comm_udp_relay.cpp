// Fuzz target: what a SOCKS5 proxy says to the UDP link: the header of a relayed datagram
// (first byte even) or the replies to the greeting and the UDP ASSOCIATE request (first byte
// odd; the second gives the size of the pieces they arrive in).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/ProxyHandshake.h"
#include "comm/UdpLink.h"
#include "tests/comm/ProxyTestSupport.h"

using namespace NoltComm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    if ((data[0] & 1) == 0) {
        std::vector<uint8_t> datagram(data + 1, data + size);
        UdpRelayHeader header;
        if (ParseUdpRelayHeader(datagram.data(), datagram.size(), &header) &&
            datagram.size() <= kUdpRelayHeader)
            std::abort();
        return 0;
    }
    const std::size_t chunk = 1 + data[1] % 16;
    linktest::MemoryChannel channel(std::string(reinterpret_cast<const char*>(data + 2), size - 2),
                                    chunk);
    Socks5Address relay;
    std::string error;
    const bool greeted = Socks5Negotiate(channel, "user", "password", 1, &error);
    if (greeted != error.empty()) std::abort();
    if (!greeted) return 0;
    if (Socks5Request(channel, kSocks5UdpAssociate, 0, 5123, 1, &relay)) {
        const std::size_t expected = relay.type == kSocks5IPv4   ? 4
                                     : relay.type == kSocks5IPv6 ? 16
                                                                 : 0;
        if (relay.type != kSocks5Name && relay.bytes.size() != expected) std::abort();
        if (relay.bytes.size() > 255) std::abort();
    }
    return 0;
}
