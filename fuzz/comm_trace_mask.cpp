// Fuzz target: the masking of password items in packet traces on arbitrary bodies (answer
// bodies come from the server): the items keep their number and order, and no item 598 or 714
// keeps its value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/Authentication.h"

namespace {

std::size_t CountSoh(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text) n += c == '\x01' ? 1 : 0;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const std::string masked = NoltComm::MaskSecretItems(body);
    if (CountSoh(masked) != CountSoh(body)) __builtin_trap();
    std::string_view rest = masked;
    for (;;) {
        const std::size_t end = rest.find('\x01');
        const std::string_view item = rest.substr(0, end);
        if (item.starts_with("598=") || item.starts_with("714=")) {
            if (item.substr(4) != "***") __builtin_trap();
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return 0;
}
