// A UDP link for tests: bound to loopback, recording the data payloads it is handed; and a
// wait for a condition that another thread makes true.
#pragma once

#include <arpa/inet.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/UdpLink.h"

namespace linktest {

class RecordingLink : public NoltComm::CUdpLink {
public:
    RecordingLink() { SetLocalBindAddress(htonl(INADDR_LOOPBACK)); }
    ~RecordingLink() override { Close(); }

    // True once count payloads have arrived within ms.
    bool WaitForPayloads(std::size_t count, int ms = 5000) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::milliseconds(ms),
                                 [&] { return payloads_.size() >= count; });
    }
    std::vector<std::string> Payloads() {
        std::lock_guard lock(mutex_);
        return payloads_;
    }

protected:
    bool OnDatagram(const uint8_t* payload, int32_t length) override {
        {
            std::lock_guard lock(mutex_);
            payloads_.emplace_back(reinterpret_cast<const char*>(payload),
                                   static_cast<std::size_t>(length));
        }
        arrived_.notify_all();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> payloads_;
};

// Re-tests done() every 10 ms for at most ms, running step() before each test (a test that
// drives a manual clock advances it there). For state that offers no wait of its own.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000,
                      const std::function<void()>& step = {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (step) step();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace linktest
