// Fuzz target: the walk over the messages of a received UDP quote datagram; every message it
// hands out must lie inside the datagram and the messages must not overlap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "comm/UdpLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly the datagram's size, so that a read past it is caught.
    std::vector<uint8_t> datagram(data, data + size);
    const uint8_t* begin = datagram.data();
    const uint8_t* next = begin;
    std::size_t total = 0;
    const std::size_t count = NoltComm::WalkUdpMessages(
        begin, size, [&](uint8_t, const uint8_t* payload, std::size_t length) {
            const uint8_t* header = payload - NoltComm::kUdpMessageHeader;
            if (header != next || payload + length > begin + size) std::abort();
            next = payload + length;
            total += length + NoltComm::kUdpMessageHeader;
        });
    if (total > size || (count == 0) != (total == 0)) std::abort();
    return 0;
}
