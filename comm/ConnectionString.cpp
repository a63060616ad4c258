// Reading of connection address texts.
#include "comm/ConnectionString.h"

#include <string_view>

#include "platform/core/Numbers.h"

namespace NoltComm {

namespace {

// The next run of characters other than ',' from pos (leading ',' skipped).
std::string_view NextRun(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && text[pos] == ',') ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] != ',') ++pos;
    return text.substr(start, pos - start);
}

}  // namespace

ConnectionStringResult ParseConnectionString(const std::string& text, ConnectionAddress* out) {
    if (text.empty()) return ConnectionStringResult::Empty;
    // Longer texts used to be cut silently, which could connect somewhere else.
    if (text.size() > kMaxAddressText) return ConnectionStringResult::Invalid;
    std::string upper = text;
    for (char& c : upper) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (c == '@') c = ',';
    }
    ConnectionAddress address;
    std::size_t cut = upper.find("/TCP");
    if (cut != std::string::npos) {
        address.protocol = kProtocolTcp;
    } else if ((cut = upper.find("/SPX")) != std::string::npos) {
        address.protocol = kProtocolSpx;
    } else {
        return ConnectionStringResult::Invalid;
    }
    const std::string_view rest = std::string_view(upper).substr(0, cut);
    std::size_t pos = 0;
    const std::string_view host = NextRun(rest, pos);
    const std::string_view port = NextRun(rest, pos);
    if (host.size() > kMaxHostText) return ConnectionStringResult::Invalid;
    address.host = host.empty() ? std::string("127.0.0.1") : std::string(host);
    if (!port.empty()) {
        // A port that does not fit 16 bits used to connect to its low bits instead.
        const int32_t value = platform::AtolSat(port);
        if (value < 0 || value > 65535) return ConnectionStringResult::Invalid;
        address.port = value;
    }
    *out = std::move(address);
    return ConnectionStringResult::Ok;
}

}  // namespace NoltComm
