// COrderConfirmHandler: pushed order and cancel confirmations (16402) written into the order
// table and the open and cancel counters, with the information line, the account's refresh
// mark and the windows told; and the results of combine and unlock instructions.
#pragma once

#include <atomic>
#include <cstdint>

#include "market/feed/PushDispatcher.h"
#include "market/feed/PushSink.h"

namespace market::feed {

// Order states (753) a confirmation writes.
inline constexpr int32_t kStateConfirmed = 2;
inline constexpr int32_t kStateRejected = 3;
inline constexpr int32_t kStatePartlyCancelled = 7;
inline constexpr int32_t kStateCancelled = 8;

// Whether a cancel of this many lots counts as a large cancel on the exchange; limit is the
// contract's largest order (WTSX), used by "DL" only.
bool IsLargeCancel(const std::string& exchange, int32_t cancelled, double limit);

struct OrderConfirmCounters {
    std::atomic<uint64_t> handled{0};
    std::atomic<uint64_t> unknownOrders{0};
    std::atomic<uint64_t> countedCancels{0};
};

class COrderConfirmHandler {
public:
    COrderConfirmHandler(PushSink& sink, PushLogHooks hooks = {});

    void OnOrderConfirm(const PushFields& push);
    // 1718 = 10 (combine) or 11 (unlock).
    void OnCombinationResult(const PushFields& push);

    const OrderConfirmCounters& Counters() const { return counters_; }

private:
    PushSink& sink_;
    PushLogHooks hooks_;
    OrderConfirmCounters counters_;
};

}  // namespace market::feed
