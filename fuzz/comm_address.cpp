// Fuzz target: connection address texts and the body field scanner over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "comm/ConnectionString.h"
#include "comm/SocketLink.h"

using namespace NoltComm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConnectionAddress address;
    if (ParseConnectionString(text, &address) == ConnectionStringResult::Ok) {
        if (address.host.empty() || address.host.size() > kMaxHostText) std::abort();
        if (address.port < 0 || address.port > 65535) std::abort();
    }

    static CSocketLink link;
    const int32_t length = static_cast<int32_t>(size);
    for (int32_t index = 0; index < 64; ++index) {
        std::string tag;
        int32_t valueLength = 0;
        const uint8_t* value = link.ScanField(data, length, index, &tag, &valueLength);
        if (!value) break;
        if (value < data || value + valueLength > data + size) std::abort();
    }
    int32_t valueLength = 0;
    for (int32_t tag : {96, 95, 8, 0}) {
        const uint8_t* value = link.FindField(data, length, tag, &valueLength);
        if (value && (value < data || value + valueLength > data + size)) std::abort();
    }
    return 0;
}
