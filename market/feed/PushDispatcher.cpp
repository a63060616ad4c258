// The push dispatcher: routing by handle and the connections' registry behind the one callback.
#include "market/feed/PushDispatcher.h"

#include <algorithm>
#include <shared_mutex>
#include <vector>

#include "comm/FixApiClient.h"
#include "platform/core/Numbers.h"

namespace market::feed {
namespace {

constexpr uint32_t kTagKind = 1718;
constexpr int32_t kKindCombine = 10;
constexpr int32_t kKindUnlock = 11;

// Which dispatcher serves which connection. A dispatch holds the lock shared for the whole
// handler, so Detach (exclusive) returns only once no handler of that connection runs.
struct Registry {
    std::shared_mutex lock;
    std::vector<std::pair<NoltComm::CFixApiClient*, CPushDispatcher*>> entries;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

CPushDispatcher::CPushDispatcher(const PushHandles& handles, PushHandlers& handlers)
    : handles_(handles), handlers_(handlers) {}

CPushDispatcher::~CPushDispatcher() { DetachAll(); }

bool CPushDispatcher::Dispatch(uint32_t handle, const PushFields& push) {
    // The quote handle is compared first: a packet without topic comes with handle 0, which is
    // a quote even while no quote subscription exists.
    if (handle == 0 || handle == handles_.Get(PushTopic::kQuote)) {
        handlers_.OnQuotePush(push);
    } else if (handle == handles_.Get(PushTopic::kTradeReturn)) {
        handlers_.OnTradeReturn(push);
    } else if (handle == handles_.Get(PushTopic::kOrderConfirm)) {
        const int32_t kind = platform::AtolSat(push.Get(kTagKind));
        if (kind == kKindCombine || kind == kKindUnlock)
            handlers_.OnCombinationResult(push);
        else
            handlers_.OnOrderConfirm(push);
    } else if (handle == handles_.Get(PushTopic::kSystemNotice)) {
        handlers_.OnSystemNotice(push);
    } else if (handle == handles_.Get(PushTopic::kLoginElsewhere)) {
        handlers_.OnLoginElsewhere(push);
    } else if (handle == handles_.Get(PushTopic::kOptionResult)) {
        handlers_.OnOptionResult(push);
    } else {
        return false;
    }
    return true;
}

void CPushDispatcher::Attach(NoltComm::CFixApiClient* client) {
    if (client == nullptr) return;
    // Packets without a topic (quotes of the quote server or the trading server) come through
    // the connection's quote callback: the same routing, as handle 0.
    client->SetQuoteCallback(&CPushDispatcher::OnPushCallback);
    Registry& r = TheRegistry();
    std::unique_lock hold(r.lock);
    for (auto& entry : r.entries) {
        if (entry.first == client) {
            entry.second = this;
            return;
        }
    }
    r.entries.emplace_back(client, this);
}

void CPushDispatcher::Detach(NoltComm::CFixApiClient* client) {
    Registry& r = TheRegistry();
    std::unique_lock hold(r.lock);
    std::erase_if(r.entries, [&](const auto& e) { return e.first == client && e.second == this; });
}

void CPushDispatcher::DetachAll() {
    Registry& r = TheRegistry();
    std::unique_lock hold(r.lock);
    std::erase_if(r.entries, [&](const auto& e) { return e.second == this; });
}

void CPushDispatcher::OnPushCallback(NoltComm::CFixApiClient* client, uint32_t handle,
                                     int32_t reason) {
    if (client == nullptr || reason != NoltComm::kPushDelivered) return;
    Registry& r = TheRegistry();
    std::shared_lock hold(r.lock);
    for (const auto& [c, dispatcher] : r.entries) {
        if (c != client) continue;
        ConnectionPushFields push(*client);
        dispatcher->Dispatch(handle, push);
        return;
    }
}

bool ConnectionPushFields::Has(uint32_t tag) const {
    for (const auto& [t, text] : cache_)
        if (t == tag) return true;
    return client_.HasPushField(static_cast<int32_t>(tag));
}

std::string_view ConnectionPushFields::Get(uint32_t tag) const {
    for (const auto& [t, text] : cache_)
        if (t == tag) return text;
    if (tag > static_cast<uint32_t>(INT32_MAX)) return {};
    cache_.emplace_back(tag, client_.GetPushString(static_cast<int32_t>(tag)));
    return cache_.back().second;
}

std::string_view ConnectionPushFields::Body() const {
    int32_t length = 0;
    const uint8_t* body = client_.GetPushBody(&length);
    if (body == nullptr || length <= 0) return {};
    return {reinterpret_cast<const char*>(body), static_cast<std::size_t>(length)};
}

}  // namespace market::feed
