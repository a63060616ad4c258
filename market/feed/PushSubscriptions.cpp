// The push subscriptions, their request bits and the keep-alive requests.
#include "market/feed/PushSubscriptions.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

#include "comm/FixApiClient.h"
#include "comm/FixRequest.h"
#include "market/feed/PushSink.h"
#include "platform/core/Numbers.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Rates.h"
#include "tradedata/TradeRequest.h"

namespace market::feed {
namespace {

constexpr int32_t kTagRange = 220;
constexpr int32_t kFunctionPushHeartbeat = 10;
constexpr int32_t kFunctionTradeHeartbeat = 16339;
constexpr int kHeartbeatTimeoutSec = 5;

constexpr PushTopic kTradeTopics[] = {PushTopic::kTradeReturn, PushTopic::kOrderConfirm,
                                      PushTopic::kLoginElsewhere, PushTopic::kOptionResult};
constexpr int32_t kTradeFunctions[] = {kTopicTradeReturn, kTopicOrderConfirm, kTopicLoginElsewhere,
                                       kTopicOptionResult};

}  // namespace

std::string BuildAccountRange() {
    using tradedata::AccountTable;
    const int main = tradedata::GetMainAccountIndex();
    if (main < 0) return {};
    AccountTable.acquireLockShared();
    const std::string mainKhh = AccountTable.Get(605, main);
    const std::string link = AccountTable.Get(1837, main);
    const bool linked = platform::AtolSat(link) != 0;
    std::vector<std::string> customers;
    for (int r = 0; r < AccountTable.GetCount(); ++r) {
        if ((AccountTable.GetLong(739, r) & tradedata::kFlagActive) == 0) continue;
        const int32_t category = AccountTable.GetLong(608, r);
        const std::string khh = AccountTable.Get(605, r);
        const bool ours = (category == 1 && khh == mainKhh) ||
                          (category == 3 && AccountTable.Get(607, r) == mainKhh) ||
                          (category == 2 && linked && khh == link);
        if (!ours || khh.empty()) continue;
        bool seen = false;
        for (const auto& c : customers) seen = seen || c == khh;
        if (!seen) customers.push_back(khh);
    }
    AccountTable.releaseLockShared();
    std::string text = "range(605:";
    for (std::size_t i = 0; i < customers.size(); ++i) {
        if (i > 0) text += ';';
        text += customers[i];
    }
    text += ')';
    return text;
}

CPushSubscriptions::CPushSubscriptions(PushHandles& handles, Hooks hooks)
    : handles_(handles), hooks_(std::move(hooks)) {
    if (!hooks_.accountRange) hooks_.accountRange = &BuildAccountRange;
    if (!hooks_.quoteFunction) hooks_.quoteFunction = [] { return kTopicQuoteDefault; };
    if (!hooks_.log) hooks_.log = [](std::string_view line) { shell::WriteLogLine(line); };
    if (!hooks_.quoteSubscribed)
        hooks_.quoteSubscribed = [] { shell::SetQuoteSourceState(kQuoteSubscribed); };
}

void CPushSubscriptions::Request(uint32_t bits) {
    pending_.fetch_or(bits, std::memory_order_acq_rel);
}

void CPushSubscriptions::RequestQuotes(const std::string& text) {
    std::lock_guard hold(textLock_);
    wantedQuotes_ = text;
    if (wantedQuotes_ != subscribedQuotes_) Request(kWantQuotes);
}

bool CPushSubscriptions::RunPending(const PushConnections& connections) {
    bool attempted = false;
    if ((Pending() & kWantTradePushes) != 0 && connections.push != nullptr) {
        // Cleared before the work: a request made while it runs is served on the next run.
        pending_.fetch_and(~kWantTradePushes, std::memory_order_acq_rel);
        if (!SubscribeTradePushes(connections.push)) Request(kWantTradePushes);
        attempted = true;
    }
    if ((Pending() & kWantNotices) != 0 && connections.push != nullptr) {
        pending_.fetch_and(~kWantNotices, std::memory_order_acq_rel);
        if (!SubscribeNotices(connections.push)) Request(kWantNotices);
        attempted = true;
    }
    if ((Pending() & kWantQuotes) != 0) {
        std::string text;
        {
            std::lock_guard hold(textLock_);
            text = wantedQuotes_;
            pending_.fetch_and(~kWantQuotes, std::memory_order_acq_rel);
        }
        const bool done = SubscribeQuotes(connections, text);
        std::lock_guard hold(textLock_);
        // Only a subscription that went through is remembered; a failed one stays wanted
        // (the caller spaces the attempts out).
        if (done) subscribedQuotes_ = text;
        if (wantedQuotes_ != subscribedQuotes_) Request(kWantQuotes);
        attempted = true;
    }
    return attempted;
}

uint32_t CPushSubscriptions::SubscribeTopic(NoltComm::CFixApiClient* client, int32_t function,
                                            const std::string* range) {
    if (!client->BeginRequest(function)) return 0;
    if (range != nullptr && !client->AddStringField(kTagRange, *range)) return 0;
    return client->Subscribe(&CPushDispatcher::OnPushCallback, 0);
}

void CPushSubscriptions::Cancel(NoltComm::CFixApiClient* client, PushTopic topic) {
    const uint32_t old = handles_.Take(topic);
    if (old != 0 && client != nullptr) client->Unsubscribe(old);
}

bool CPushSubscriptions::SubscribeTradePushes(NoltComm::CFixApiClient* push) {
    if (push == nullptr) return false;
    const std::string range = hooks_.accountRange();
    bool all = true;
    for (std::size_t i = 0; i < std::size(kTradeTopics); ++i) {
        Cancel(push, kTradeTopics[i]);
        const uint32_t handle =
            range.empty() ? 0 : SubscribeTopic(push, kTradeFunctions[i], &range);
        handles_.Set(kTradeTopics[i], handle);
        all = all && handle != 0;
    }
    return all;
}

bool CPushSubscriptions::SubscribeNotices(NoltComm::CFixApiClient* push) {
    if (push == nullptr) return false;
    if (handles_.Get(PushTopic::kSystemNotice) != 0) return true;
    const uint32_t handle = SubscribeTopic(push, kTopicSystemNotice, nullptr);
    handles_.Set(PushTopic::kSystemNotice, handle);
    return handle != 0;
}

NoltComm::CFixApiClient* CPushSubscriptions::QuoteConnection(
    const PushConnections& connections) const {
    if (connections.quote != nullptr) return connections.quote;
    return connections.multicastOpen ? nullptr : connections.push;
}

bool CPushSubscriptions::SubscribeQuotes(const PushConnections& connections,
                                         const std::string& text) {
    NoltComm::CFixApiClient* target = QuoteConnection(connections);
    Cancel(target, PushTopic::kQuote);
    if (text.empty()) return true;
    const std::string range = "range(" + text + ")";
    if (connections.udpSubscribe) return connections.udpSubscribe(range);
    // Multicast quotes need no subscription here; without any connection it stays wanted.
    if (target == nullptr) return connections.multicastOpen;
    const uint32_t handle = SubscribeTopic(target, hooks_.quoteFunction(), &range);
    handles_.Set(PushTopic::kQuote, handle);
    if (handle != 0) {
        hooks_.quoteSubscribed();
        return true;
    }
    hooks_.log(
        fmt::format("行情订阅:{}\tmsg:{}", tradedata::GetSyncTimeText(), target->GetErrorText()));
    return false;
}

bool CPushSubscriptions::TradeHandlesMissing() const {
    for (PushTopic topic : kTradeTopics)
        if (handles_.Get(topic) == 0) return true;
    return false;
}

uint32_t CPushSubscriptions::ForgetTradeTopics() {
    uint32_t bits = 0;
    for (PushTopic topic : kTradeTopics)
        if (handles_.Take(topic) != 0) bits |= kWantTradePushes;
    if (handles_.Take(PushTopic::kSystemNotice) != 0) bits |= kWantNotices;
    return bits;
}

uint32_t CPushSubscriptions::ForgetQuotes() {
    handles_.Take(PushTopic::kQuote);
    std::lock_guard hold(textLock_);
    subscribedQuotes_.clear();
    return wantedQuotes_.empty() ? 0 : kWantQuotes;
}

void CPushSubscriptions::PushConnectionReplaced(bool quotesOnPush) {
    Request(ForgetTradeTopics() | (quotesOnPush ? ForgetQuotes() : 0));
}

void CPushSubscriptions::QuoteConnectionReplaced(NoltComm::CFixApiClient* push,
                                                 bool hadQuoteConnection) {
    // The old quote connection goes away with its subscription; one made on the push
    // connection would go on delivering beside the new one.
    if (!hadQuoteConnection) Cancel(push, PushTopic::kQuote);
    Request(ForgetQuotes());
}

void CPushSubscriptions::ConnectionsReplaced() { Request(ForgetTradeTopics() | ForgetQuotes()); }

void CPushSubscriptions::CancelAll(const PushConnections& connections) {
    Cancel(QuoteConnection(connections), PushTopic::kQuote);
    for (PushTopic topic : kTradeTopics) handles_.Take(topic);
    handles_.Take(PushTopic::kSystemNotice);
    pending_.store(0, std::memory_order_release);
}

bool CPushSubscriptions::SendPushHeartbeat(NoltComm::CFixApiClient* push) {
    if (push == nullptr || push->IsClosed()) return false;
    auto request = NoltComm::CTradeRequest::Create(push);
    if (request->GetHandle() == nullptr) return false;
    request->SetFunction(kFunctionPushHeartbeat);
    request->GetHandle()->SetPushFlag(true);
    request->SetTimeout(kHeartbeatTimeoutSec);
    request->Send();
    return request->IsAnswered();
}

bool CPushSubscriptions::SendTradeHeartbeat(NoltComm::CFixApiClient* trading,
                                            const std::string& khh) {
    if (trading == nullptr || trading->IsClosed()) return false;
    auto request = NoltComm::CTradeRequest::Create(trading);
    request->SetFunction(kFunctionTradeHeartbeat);
    request->SetString(605, khh);
    request->SetLong(7153, 1);
    request->SetTimeout(kHeartbeatTimeoutSec);
    const double start = tradedata::GetHighResMicroseconds();
    request->Send();
    if (!request->IsAnswered()) return false;
    const double elapsedMs = (tradedata::GetHighResMicroseconds() - start) / 1000.0;
    tradedata::SetTimeSyncDuration(static_cast<uint32_t>(elapsedMs < 0 ? 0 : elapsedMs));
    return true;
}

}  // namespace market::feed
