// Fuzz target: the push reader and its cursor over arbitrary packets, with tags to look up
// taken from the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "comm/QvPacket.h"

using namespace NoltComm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    // The first bytes choose the tags asked for; the rest is the packet.
    const std::size_t asks = data[0] % 8;
    if (size < 1 + 2 * asks) return 0;
    const uint8_t* tags = data + 1;
    const uint8_t* packet = data + 1 + 2 * asks;
    const std::size_t length = size - 1 - 2 * asks;

    CQvPacket p;
    if (!p.Attach(packet, length)) return 0;
    const std::string_view body = p.Body();
    for (std::size_t i = 0; i < asks; ++i) {
        const int32_t tag = tags[2 * i] | tags[2 * i + 1] << 8;
        std::string_view value;
        if (p.FindItem(tag, value) && (value.data() < body.data() ||
                                       value.data() + value.size() > body.data() + body.size())) {
            __builtin_trap();
        }
        p.GetItem(tag);
        p.GetLong(tag);
    }
    p.GetFunction();
    for (int32_t tag : {384, 96, 95, 220, 246}) p.GetItem(tag);
    return 0;
}
