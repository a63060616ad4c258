// Fuzz target: server list entries and their addresses, and the start server of an address
// list, over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/ConnectProcedure.h"
#include "comm/ServerEntry.h"

using namespace NoltComm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string address, protocol;
    int32_t port = 0;
    if (ParseServerAddress(text, &address, &port, &protocol)) {
        if (address.size() > 255 || address.find('/') != std::string::npos) std::abort();
    }

    // A normalised entry reads back as itself (short ones: a long address part may grow past
    // the bytes that are read, "@" becoming "@0").
    const std::string entry = NormalizeServerEntry(text);
    if (size < 200 && !entry.empty() && NormalizeServerEntry(entry) != entry) std::abort();

    const std::vector<std::string> list = {entry, text};
    const int found = FindServerEntry(list, text);
    if (found < -1 || found > 1) std::abort();
    std::string name, addresses;
    if (GetServerEntry(list, found, &name, &addresses) != (found >= 0)) std::abort();
    if (found >= 0 && name.size() + addresses.size() > list[static_cast<std::size_t>(found)].size())
        std::abort();

    const std::size_t half = size / 2;
    const int start = ChooseStartIndex(text.substr(0, half), text.substr(half),
                                       static_cast<uint32_t>(size * 2654435761u));
    if (start < 0 || static_cast<std::size_t>(start) > half) std::abort();
    return 0;
}
