// Fuzz target: the level-2 and multicast datagrams. The first byte picks a record kind; the
// rest becomes a datagram of exactly that kind's size (header set, so every decoder's fields
// are reached), which is decoded and applied to the contract tables.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "fuzz/market_feed_tables.h"
#include "market/feed/QuoteRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace market::feed;
    if (size < 1) return 0;
    struct Kind {
        char type;
        uint32_t size;
    };
    static constexpr Kind kKinds[] = {{0, 287},   {'1', 208}, {'1', 272}, {'4', 152},
                                      {'6', 112}, {'5', 96},  {'7', 208}};
    const uint8_t pick = data[0];
    // Above the kinds: the input as it came, of any size.
    if (pick >= 2 * std::size(kKinds)) {
        std::vector<uint8_t> raw(data + 1, data + size);
        fuzzing::FuzzProcessor().ProcessLevel2Datagram(raw.data(), raw.size());
        return 0;
    }
    const Kind& kind = kKinds[pick % std::size(kKinds)];
    std::vector<uint8_t> datagram(kind.size, 0);
    std::memcpy(datagram.data(), data + 1, std::min<std::size_t>(size - 1, kind.size));
    if (pick < std::size(kKinds)) {  // the other half keeps whatever header the input gave
        if (kind.type == 0) {
            std::memcpy(datagram.data(), &kind.size, 4);
        } else {
            datagram[0] = static_cast<uint8_t>(kind.type);
            std::memcpy(datagram.data() + 4, &kind.size, 4);
        }
    }
    fuzzing::FuzzProcessor().ProcessLevel2Datagram(datagram.data(), datagram.size());
    return 0;
}
