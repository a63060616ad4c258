// Fuzz target: the HTTP, SOCKS5 and SOCKS4 handshakes fed arbitrary bytes as the proxy's
// answer; the bytes behind an accepted reply must stay unread.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/ProxyHandshake.h"

using namespace NoltComm;

namespace {

class MemoryChannel : public ProxyChannel {
public:
    MemoryChannel(const uint8_t* data, std::size_t size, std::size_t chunk)
        : data_(data), size_(size), chunk_(chunk) {}
    bool SendAll(const void*, std::size_t) override { return true; }
    int32_t ReceiveSome(void* out, std::size_t n, int64_t) override {
        if (pos_ >= size_) return 0;
        std::size_t take = n < chunk_ ? n : chunk_;
        if (take > size_ - pos_) take = size_ - pos_;
        std::memcpy(out, data_ + pos_, take);
        pos_ += take;
        return static_cast<int32_t>(take);
    }
    std::size_t pos() const { return pos_; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // First byte: proxy type and whether a user name is set; second: read chunk size.
    const int32_t types[] = {kProxyHttp, kProxySocks5, kProxySocks4};
    ProxySettings settings{};
    settings.ProxyType = types[data[0] % 3];
    std::strcpy(settings.host, "127.0.0.1");
    settings.port = 1080;
    if (data[0] & 0x80) {
        std::strcpy(settings.user, "user");
        std::strcpy(settings.password, "password");
    }
    const std::size_t chunk = 1 + data[1] % 16;
    MemoryChannel channel(data + 2, size - 2, chunk);
    std::string error;
    const bool ok = RunProxyHandshake(channel, settings, "10.0.0.1", 7000, 1, &error);
    if (ok != error.empty()) std::abort();
    // An HTTP reply is read to its blank line and no further.
    if (ok && settings.ProxyType == kProxyHttp) {
        const std::string reply(reinterpret_cast<const char*>(data + 2), channel.pos());
        if (reply.find("\n\n") != reply.size() - 2 && reply.find("\n\r\n") != reply.size() - 3)
            std::abort();
    }
    return 0;
}
