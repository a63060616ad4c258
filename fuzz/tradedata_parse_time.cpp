// Fuzzes the time-value reader with arbitrary texts: no overflow, and a text of three plain
// small pieces reads as hour x 10000 + minute x 100 + second.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tradedata/ProgramHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int32_t value = tradedata::ParseTimeValue(text);
    if (size == 8 && text[2] == ':' && text[5] == ':') {
        bool digits = true;
        for (const std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u}) {
            digits = digits && text[i] >= '0' && text[i] <= '9';
        }
        const auto two = [&](std::size_t at) {
            return (text[at] - '0') * 10 + (text[at + 1] - '0');
        };
        if (digits && value != two(0) * 10000 + two(3) * 100 + two(6)) std::abort();
    }
    return 0;
}
