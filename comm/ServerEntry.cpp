// Parsing and lookup of server list entries.
#include "comm/ServerEntry.h"

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"

namespace NoltComm {

namespace {

constexpr std::size_t kMaxAddressBytes = 255;

// The first n bytes of text, cut back to a UTF-8 character boundary.
std::string_view HeadOf(std::string_view text, std::size_t n) {
    if (text.size() <= n) return text;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

std::string_view NameOf(std::string_view entry) { return entry.substr(0, entry.find(',')); }

std::string_view AddressesOf(std::string_view entry) {
    const std::size_t comma = entry.find(',');
    return comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1);
}

// Calls part for each ';'-separated part of text (empty parts too) until it returns true.
template <typename Part>
bool AnyPart(std::string_view text, Part part) {
    for (;;) {
        const std::size_t semicolon = text.find(';');
        if (part(text.substr(0, semicolon))) return true;
        if (semicolon == std::string_view::npos) return false;
        text.remove_prefix(semicolon + 1);
    }
}

}  // namespace

bool ParseServerAddress(std::string_view text, std::string* address, int32_t* port,
                        std::string* protocol) {
    std::string copy(HeadOf(text, kMaxAddressBytes));
    for (char& c : copy) c = platform::AsciiToUpper(c);
    const std::size_t slash = copy.find('/');
    if (slash == std::string::npos) return false;
    const std::string_view rest = std::string_view(copy).substr(0, slash);
    std::size_t separator = rest.rfind('@');
    if (separator == std::string_view::npos) separator = rest.rfind(',');
    if (separator == std::string_view::npos) return false;
    std::string lower = copy.substr(slash + 1);
    for (char& c : lower) c = platform::AsciiToLower(c);
    *protocol = std::move(lower);
    *port = platform::AtoiSat(rest.substr(separator + 1));
    *address = std::string(rest.substr(0, separator));
    return true;
}

std::string FormatServerAddress(std::string_view address, int32_t port, std::string_view protocol) {
    return std::string(address) + "@" + platform::FormatInt(port) + "/" + std::string(protocol);
}

std::string NormalizeServerEntry(std::string_view entry) {
    const std::string_view name = NameOf(entry);
    if (name.empty() || name.size() == entry.size()) return std::string();
    std::string result;
    AnyPart(AddressesOf(entry), [&](std::string_view part) {
        std::string address, protocol;
        int32_t port = 0;
        if (ParseServerAddress(part, &address, &port, &protocol)) {
            result += result.empty() ? std::string(name) + "," : std::string(";");
            result += FormatServerAddress(address, port, protocol);
        }
        return false;
    });
    return result;
}

int FindServerEntry(const std::vector<std::string>& list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string_view entry = list[i];
        if (NameOf(entry) == text) return static_cast<int>(i);
        if (entry.find(',') != std::string_view::npos &&
            AnyPart(AddressesOf(entry), [&](std::string_view part) { return part == text; }))
            return static_cast<int>(i);
    }
    return -1;
}

bool GetServerEntry(const std::vector<std::string>& list, int index, std::string* name,
                    std::string* addresses) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return false;
    *name = std::string(NameOf(list[static_cast<std::size_t>(index)]));
    *addresses = std::string(AddressesOf(list[static_cast<std::size_t>(index)]));
    return true;
}

}  // namespace NoltComm
