// Fuzz target: the test server's request decoder and body parser over arbitrary client bytes.
#include <cstddef>
#include <cstdint>

#include "testserver/Packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the chunk size, so framing across reads is exercised too.
    const std::size_t chunk = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    testserver::RequestDecoder decoder;
    for (std::size_t pos = 0; pos < length; pos += chunk) {
        decoder.Append(bytes + pos, length - pos < chunk ? length - pos : chunk);
        testserver::PacketHeader header;
        std::string_view body;
        while (decoder.Next(header, body) == testserver::RequestDecoder::Status::Packet) {
            const testserver::ReceivedRequest request = testserver::DecodeRequest(header, body);
            if (request.fields.size() > body.size()) __builtin_trap();
            // What the server sends back must be framed again from its own bytes.
            const std::string echoed = testserver::EncodeBody(request.fields);
            (void)echoed;
        }
    }
    // A whole body parsed in one piece, without framing.
    (void)testserver::ParseBody(std::string_view(bytes, length));
    return 0;
}
