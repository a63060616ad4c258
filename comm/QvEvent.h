// A manual-reset event: once set, every wait returns at once until it is reset.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace NoltComm {

class CQvEvent {
public:
    CQvEvent() = default;
    virtual ~CQvEvent() = default;
    CQvEvent(const CQvEvent&) = delete;
    CQvEvent& operator=(const CQvEvent&) = delete;

    void Set();
    void Reset();
    // True when the event is (or becomes) signalled within timeoutMs of the program clock;
    // a time-out of 0 only tests it.
    bool Wait(int64_t timeoutMs);
    // Waits without limit; true.
    bool Wait();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

}  // namespace NoltComm
