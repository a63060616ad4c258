// A proxy handshake channel fed from memory: the proxy's scripted reply handed out in pieces
// of a chosen size, and what the client sent recorded.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "comm/ProxyHandshake.h"

namespace linktest {

class MemoryChannel : public NoltComm::ProxyChannel {
public:
    MemoryChannel(std::string reply, std::size_t chunk) : reply_(std::move(reply)), chunk_(chunk) {}
    bool SendAll(const void* data, std::size_t n) override {
        sent_.append(static_cast<const char*>(data), n);
        return true;
    }
    int32_t ReceiveSome(void* out, std::size_t n, int64_t) override {
        if (pos_ >= reply_.size()) return 0;  // the proxy closed
        const std::size_t take = std::min({n, chunk_, reply_.size() - pos_});
        std::memcpy(out, reply_.data() + pos_, take);
        pos_ += take;
        return static_cast<int32_t>(take);
    }
    std::string Left() const { return reply_.substr(pos_); }
    const std::string& Sent() const { return sent_; }

private:
    std::string reply_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
    std::string sent_;
};

}  // namespace linktest
