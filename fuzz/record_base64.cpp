// Fuzz target: Base64 decoding of arbitrary text into exact-size buffers, and encode/decode
// round trips with the 76-character line rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "record/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto length = static_cast<uint32_t>(size);
    const char* text = reinterpret_cast<const char*>(data);

    // Decode into exactly decodesize bytes on the heap, so a write past them is caught.
    const int room = pavlet::base64_decodesize(static_cast<int>(size));
    auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(room) + 1);
    const int n = pavlet::base64_decode(text, length, buffer.get(), room);
    if (n < 0 || n > room) std::abort();
    if (size != 0 && pavlet::base64_decode(std::string_view(text, size)) !=
                         std::string_view(buffer.get(), static_cast<std::size_t>(n))) {
        std::abort();
    }

    // Encode into exactly encodesize bytes, check the lines, decode back.
    const int encodeRoom = pavlet::base64_encodesize(static_cast<int>(size));
    auto encoded = std::make_unique<char[]>(static_cast<std::size_t>(encodeRoom) + 1);
    const int e = pavlet::base64_encode(data, length, encoded.get(), encodeRoom);
    if (e < 0 || e > encodeRoom) std::abort();
    const std::string_view lines(encoded.get(), static_cast<std::size_t>(e));
    std::size_t line = 0;
    for (std::size_t at = lines.find('\r'); at != std::string_view::npos;
         at = lines.find('\r', at + 1)) {
        if (at != line * 78 + 76 || lines.substr(at, 2) != "\r\n") std::abort();
        ++line;
    }
    if (pavlet::base64_decode(lines) != std::string_view(text, size)) std::abort();
    return 0;
}
