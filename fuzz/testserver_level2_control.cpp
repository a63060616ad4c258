// Fuzz target: the level-2 server's control lines (login, channel, cancel, subscribe) over
// arbitrary client bytes, in every answer form and mode.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "testserver/Level2Session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the form and mode, the second the chunk size of the reads.
    testserver::Level2Options options;
    options.form = data[0] & 1 ? testserver::Level2LoginForm::Text
                               : testserver::Level2LoginForm::Record;
    options.mode = (data[0] >> 1) % 8;
    options.quotePort = 9000;
    options.broadcast = data[0] & 0x80;
    const std::size_t chunk = 1 + data[1] % 64;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    testserver::Level2Session session(options, peer);
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    const std::size_t length = size - 2;
    for (std::size_t pos = 0; pos < length && !session.Broken(); pos += chunk) {
        const std::size_t n = length - pos < chunk ? length - pos : chunk;
        for (const auto& reply : session.Receive(std::string_view(bytes + pos, n))) {
            // Every answer is a line or one of the two records.
            if (reply.answer.empty() || reply.answer.size() > 8192 + 64) __builtin_trap();
        }
    }
    if (session.Channel() == testserver::Level2Channel::Udp && session.Target().sin_port == 0)
        __builtin_trap();
    return 0;
}
