// Coalesced row-change notifications: quote threads mark rows dirty per receiver, and each
// receiver gets at most one pending wake-up however many rows change before it drains them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "tradedata/ContractLookup.h"

namespace market::feed {

// What a receiver hears about.
inline constexpr uint32_t kRowQuoteChannel = 0x1;  // a quote row was updated
inline constexpr uint32_t kRowDepthChannel = 0x2;  // order queue, book totals, settlement, trades

// A window (or anything else) that wants to hear of changed rows. Wake() is called on a quote
// thread, at most once until the receiver next drains; it must only queue a message (the
// frame's receiver posts WM_FRAME_REFRESH with 0x20000) and must not call back into the
// notifier.
class QuoteRowReceiver {
public:
    virtual ~QuoteRowReceiver() = default;
    virtual void Wake() = 0;
};

class QuoteRowNotifier {
public:
    QuoteRowNotifier();
    ~QuoteRowNotifier();
    QuoteRowNotifier(const QuoteRowNotifier&) = delete;
    QuoteRowNotifier& operator=(const QuoteRowNotifier&) = delete;

    // Registers a receiver for the channels given; a receiver registered again gets the new
    // channels. RemoveReceiver returns once no Wake() of that receiver is running.
    void AddReceiver(QuoteRowReceiver* receiver, uint32_t channels);
    void RemoveReceiver(QuoteRowReceiver* receiver);

    // Any thread: the row changed on that channel.
    void MarkRow(uint32_t channel, tradedata::RowRef ref);

    // The receiver's thread, when woken: the rows marked since the last drain, each once, in
    // the order they were first marked. A row marked after this call wakes the receiver again.
    std::vector<tradedata::RowRef> TakeRows(QuoteRowReceiver* receiver);

    // Wake-ups issued so far (all receivers).
    uint64_t WakeCount() const { return wakes_.load(std::memory_order_relaxed); }

private:
    struct Slot;
    Slot* find(QuoteRowReceiver* receiver) const;

    mutable std::shared_mutex receiversLock_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::atomic<uint64_t> wakes_{0};
};

}  // namespace market::feed
