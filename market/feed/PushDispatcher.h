// CPushDispatcher: the one push callback of every subscription and of the quote connection,
// routing each push by its subscription handle to its handler, and the handles it compares.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "market/feed/QuoteRecords.h"

namespace NoltComm {
class CFixApiClient;
}

namespace market::feed {

// Any push read by tag: missing fields read as empty texts.
using PushFields = QuotePushFields;

// Topics of the push connection (function numbers).
inline constexpr int32_t kTopicOrderConfirm = 16402;
inline constexpr int32_t kTopicTradeReturn = 16403;
inline constexpr int32_t kTopicSystemNotice = 16405;
inline constexpr int32_t kTopicLoginElsewhere = 16406;
inline constexpr int32_t kTopicOptionResult = 17001100;
// The quote topic unless "QuoteSubscibeCode" names another.
inline constexpr int32_t kTopicQuoteDefault = 16404;

enum class PushTopic : uint8_t {
    kQuote,
    kTradeReturn,
    kOrderConfirm,
    kSystemNotice,
    kLoginElsewhere,
    kOptionResult,
};
inline constexpr std::size_t kPushTopicCount = 6;

// The subscription handles (0 = none). Written by the thread that subscribes, read by every
// receive thread, so each is atomic.
class PushHandles {
public:
    uint32_t Get(PushTopic topic) const {
        return handles_[Index(topic)].load(std::memory_order_acquire);
    }
    void Set(PushTopic topic, uint32_t handle) {
        handles_[Index(topic)].store(handle, std::memory_order_release);
    }
    // The old handle; the slot holds 0 afterwards.
    uint32_t Take(PushTopic topic) {
        return handles_[Index(topic)].exchange(0, std::memory_order_acq_rel);
    }

private:
    static std::size_t Index(PushTopic topic) { return static_cast<std::size_t>(topic); }
    std::array<std::atomic<uint32_t>, kPushTopicCount> handles_{};
};

// The handlers of the pushes; each is called on the receive thread of the connection, one push
// at a time per connection, and must neither block nor touch a window.
class PushHandlers {
public:
    virtual ~PushHandlers() = default;
    virtual void OnQuotePush(const PushFields& push) = 0;
    virtual void OnTradeReturn(const PushFields& push) = 0;
    virtual void OnOrderConfirm(const PushFields& push) = 0;
    // A 16402 push whose 1718 is 10 (combine) or 11 (unlock).
    virtual void OnCombinationResult(const PushFields& push) = 0;
    virtual void OnSystemNotice(const PushFields& push) = 0;
    virtual void OnLoginElsewhere(const PushFields& push) = 0;
    virtual void OnOptionResult(const PushFields& push) = 0;
};

class CPushDispatcher {
public:
    // Both must outlive the dispatcher.
    CPushDispatcher(const PushHandles& handles, PushHandlers& handlers);
    // Detaches from every connection first.
    ~CPushDispatcher();
    CPushDispatcher(const CPushDispatcher&) = delete;
    CPushDispatcher& operator=(const CPushDispatcher&) = delete;

    // Routes one push; false when the handle is none of ours (the push is ignored).
    bool Dispatch(uint32_t handle, const PushFields& push);

    // Pushes of the connection reach this dispatcher through OnPushCallback from now on, and
    // so do its quote packets (the connection's quote callback is set here). A connection
    // serves one dispatcher at a time.
    void Attach(NoltComm::CFixApiClient* client);
    // After this returns no push of the connection is being handled by this dispatcher and
    // later ones are dropped: the shut-down's guard against pushes into a dying frame.
    void Detach(NoltComm::CFixApiClient* client);
    void DetachAll();

    // The callback to give every subscription and SetQuoteCallback. Reason 1 and 2 (a
    // subscription cancelled or renewed by the toolkit) carry no push and are ignored.
    static void OnPushCallback(NoltComm::CFixApiClient* client, uint32_t handle, int32_t reason);

private:
    const PushHandles& handles_;
    PushHandlers& handlers_;
};

// The push being dispatched on a connection (its receive thread, inside the callback), read
// by tag with the connection's text conversion; each field is read from the wire once.
class ConnectionPushFields : public PushFields {
public:
    explicit ConnectionPushFields(NoltComm::CFixApiClient& client) : client_(client) {}
    bool Has(uint32_t tag) const override;
    std::string_view Get(uint32_t tag) const override;
    std::string_view Body() const override;

private:
    NoltComm::CFixApiClient& client_;
    // A deque keeps the texts in place while more are added, so views handed out stay valid.
    mutable std::deque<std::pair<uint32_t, std::string>> cache_;
};

}  // namespace market::feed
