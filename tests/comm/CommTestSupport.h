// Helpers of the communication toolkit's tests: packets built from header fields and body
// text, independently of the code under test.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace commtest {

// A packet: 14-byte little-endian header (length, id, kind, body flags, packet flags, 5
// zero bytes) followed by the body.
inline std::string Packet(std::string_view body, uint32_t id = 7, uint8_t kind = 0,
                          uint8_t bodyFlags = 0, uint8_t packetFlags = 0) {
    const uint32_t length = static_cast<uint32_t>(14 + body.size());
    std::string p;
    p += static_cast<char>(length & 0xFF);
    p += static_cast<char>((length >> 8) & 0xFF);
    for (int i = 0; i < 4; ++i) p += static_cast<char>((id >> (8 * i)) & 0xFF);
    p += static_cast<char>(kind);
    p += static_cast<char>(bodyFlags);
    p += static_cast<char>(packetFlags);
    p.append(5, '\0');
    p.append(body);
    return p;
}

inline std::string Deflate(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

}  // namespace commtest
