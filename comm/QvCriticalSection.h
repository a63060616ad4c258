// The toolkit's lock and its scoped owner. The lock is recursive because push callbacks and
// request releases re-enter objects whose lock their caller already holds.
#pragma once

#include <mutex>

namespace NoltComm {

class CQvCriticalSection {
public:
    CQvCriticalSection() = default;
    CQvCriticalSection(const CQvCriticalSection&) = delete;
    CQvCriticalSection& operator=(const CQvCriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

    // Enters on construction and leaves on destruction, so an exception releases the lock.
    class Owner {
    public:
        explicit Owner(CQvCriticalSection& section) : section_(section) { section_.Enter(); }
        ~Owner() { section_.Leave(); }
        Owner(const Owner&) = delete;
        Owner& operator=(const Owner&) = delete;

    private:
        CQvCriticalSection& section_;
    };

private:
    std::recursive_mutex mutex_;
};

}  // namespace NoltComm
