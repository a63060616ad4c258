// Fuzz target: the reassembly of the TCP-mode control stream. The first byte sets where the
// rest is cut into reads; every whole quote record is applied to the contract tables.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/market_feed_tables.h"
#include "market/feed/Level2Framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace market::feed;
    if (size < 1) return 0;
    const std::size_t step = static_cast<std::size_t>(data[0]) + 1;
    ControlStreamBuffer buffer;
    std::size_t framed = 0;
    for (std::size_t at = 1; at < size; at += step) {
        const std::size_t n = size - at < step ? size - at : step;
        std::vector<uint8_t> read(data + at, data + at + n);
        buffer.Append(read.data(), read.size());
        std::string_view bytes;
        for (;;) {
            const ControlFrame frame = buffer.Next(bytes);
            if (frame.kind == ControlFrameKind::kNeedMore) break;
            if (frame.kind == ControlFrameKind::kGarbage) return 0;
            framed += bytes.size();
            if (framed > size - 1) __builtin_trap();
            if (frame.kind == ControlFrameKind::kQuoteRecord) {
                std::vector<uint8_t> record(bytes.begin(), bytes.end());
                fuzzing::FuzzProcessor().ProcessLevel2Datagram(record.data(), record.size());
            } else {
                (void)DescribeControlFrame(frame.kind, bytes);
            }
        }
    }
    return 0;
}
