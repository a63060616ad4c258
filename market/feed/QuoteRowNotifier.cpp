// Coalesced row notifications: a dirty set and one pending wake-up per receiver.
#include "market/feed/QuoteRowNotifier.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

namespace market::feed {

struct QuoteRowNotifier::Slot {
    QuoteRowReceiver* receiver = nullptr;
    std::atomic<uint32_t> channels{0};
    std::mutex lock;
    std::vector<tradedata::RowRef> order;         // under lock
    std::unordered_set<tradedata::RowRef> dirty;  // under lock
    bool wakePending = false;                     // under lock
};

QuoteRowNotifier::QuoteRowNotifier() = default;
QuoteRowNotifier::~QuoteRowNotifier() = default;

QuoteRowNotifier::Slot* QuoteRowNotifier::find(QuoteRowReceiver* receiver) const {
    for (const auto& slot : slots_)
        if (slot->receiver == receiver) return slot.get();
    return nullptr;
}

void QuoteRowNotifier::AddReceiver(QuoteRowReceiver* receiver, uint32_t channels) {
    if (receiver == nullptr) return;
    std::unique_lock hold(receiversLock_);
    Slot* slot = find(receiver);
    if (slot == nullptr) {
        slots_.push_back(std::make_unique<Slot>());
        slot = slots_.back().get();
        slot->receiver = receiver;
    }
    slot->channels.store(channels, std::memory_order_relaxed);
}

void QuoteRowNotifier::RemoveReceiver(QuoteRowReceiver* receiver) {
    // The exclusive hold waits for every MarkRow, and so every Wake(), in progress.
    std::unique_lock hold(receiversLock_);
    std::erase_if(slots_, [receiver](const auto& slot) { return slot->receiver == receiver; });
}

void QuoteRowNotifier::MarkRow(uint32_t channel, tradedata::RowRef ref) {
    if (ref < 0) return;
    std::shared_lock hold(receiversLock_);
    for (const auto& slot : slots_) {
        if ((slot->channels.load(std::memory_order_relaxed) & channel) == 0) continue;
        bool wake = false;
        {
            std::lock_guard rows(slot->lock);
            if (slot->dirty.insert(ref).second) slot->order.push_back(ref);
            if (!slot->wakePending) {
                slot->wakePending = true;
                wake = true;
            }
        }
        if (wake) {
            wakes_.fetch_add(1, std::memory_order_relaxed);
            slot->receiver->Wake();
        }
    }
}

std::vector<tradedata::RowRef> QuoteRowNotifier::TakeRows(QuoteRowReceiver* receiver) {
    std::vector<tradedata::RowRef> rows;
    std::shared_lock hold(receiversLock_);
    Slot* slot = find(receiver);
    if (slot == nullptr) return rows;
    std::lock_guard lock(slot->lock);
    rows.swap(slot->order);
    slot->dirty.clear();
    slot->wakePending = false;
    return rows;
}

}  // namespace market::feed
