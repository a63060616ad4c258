// The part of the FixApi connection that keeps it alive on its own: reconnection after a link
// loss with re-authentication, the renewal of parked subscriptions, and the timer that renews
// the subscriptions the server cancelled.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>

#include "comm/FixApiClient.h"
#include "comm/ToolkitRuntime.h"
#include "platform/core/Clock.h"

namespace NoltComm {

namespace {

constexpr auto kAutoSubscribePeriod = std::chrono::seconds(5);
constexpr int64_t kHelperJoinMs = 5000;
constexpr int32_t kTagSubscriptionRange = 220;

void TraceMessage(const char* text) {
    if (TraceEnabled("Message")) Trace("Message", text);
}

}  // namespace

bool CFixApiClient::Reconnect() {
    const uint32_t interval = reconnectInterval_.load();
    if (interval >= 1 && platform::TickMs() - lastAttempt_.load() < int64_t{interval} * 1000) {
        return false;
    }
    std::lock_guard helpers(helperMutex_);
    if (closing_.load()) return false;
    // The previous attempt's thread works on the link that was lost (its waits have failed
    // with it); it must be gone before a new socket takes the link's place.
    reconnectThread_.RequestStop();
    if (!reconnectThread_.Join(kHelperJoinMs)) return false;
    SelectAddress(std::string());
    if (!ParseAddress()) return false;
    lastAttempt_.store(platform::TickMs());
    TraceStep("开始重连服务器");
    std::string host;
    int32_t port = 0;
    {
        std::lock_guard lock(configMutex_);
        host = hostText_;
        port = port_;
    }
    SetNonBlocking();
    if (!CSocketLink::Connect(host, port, protocol_.load())) return false;
    // A Close that began meanwhile may have closed the link before this socket came up.
    if (closing_.load()) {
        CSocketLink::Close();
        return false;
    }
    TraceStep("成功重连服务器");
    if (!StartSsl()) {
        // A plain socket where SSL was asked for must not be read or written.
        CSocketLink::Close();
        return false;
    }
    // The link station text stays: later requests tell the server the address changed.
    const std::string local = LocalStationText();
    {
        std::lock_guard lock(configMutex_);
        station_ = local;
    }
    SetBlocking();
    ResetReceiveStage();
    try {
        reconnectThread_.Create([this](std::stop_token token) { return RunReconnection(token); });
    } catch (const std::system_error&) {
        CSocketLink::Close();
        return false;
    }
    return true;
}

uint32_t CFixApiClient::RunReconnection(std::stop_token token) {
    TraceMessage("开始通信认证");
    open_.store(0);
    if (!Authenticate()) {
        TraceMessage("通信认证失败");
        // The receive loop sees the broken link and tries the next address in its time.
        CSocketLink::Close();
        return 0;
    }
    TraceMessage("开始重新订阅");
    if (!token.stop_requested()) ResubscribeAll();
    TraceMessage("完成自动重连");
    // Close waits for this thread and clears the flag again after it.
    if (!token.stop_requested() && !closing_.load() && GetSocket() >= 0) open_.store(1);
    return 1;
}

bool CFixApiClient::IsParked(CFixRequest* subscription) {
    CQvCriticalSection::Owner owner(state_->pendingLock);
    const auto& list = state_->pending;
    return std::find(list.begin(), list.end(), subscription) != list.end();
}

bool CFixApiClient::DropParked(uint32_t handle) {
    CFixRequest* dropped = nullptr;
    {
        CQvCriticalSection::Owner owner(state_->pendingLock);
        auto& list = state_->pending;
        const auto it = std::find_if(list.begin(), list.end(), [&](CFixRequest* s) {
            return s->GetSubscriptionHandle() == handle;
        });
        if (it == list.end()) return false;
        dropped = *it;
        list.erase(it);
    }
    dropped->Release();
    return true;
}

bool CFixApiClient::ResubscribeAll() {
    if (state_->resubscribeBusy.exchange(true)) return false;
    // Each subscription waits for its answer, which the receive thread delivers; the receive
    // thread also parks subscriptions under the pending lock. So the list is copied and the
    // lock is never held across a wait.
    std::vector<CFixRequest*> parked;
    {
        CQvCriticalSection::Owner owner(state_->pendingLock);
        parked = state_->pending;
        for (CFixRequest* subscription : parked) subscription->AddRef();
    }
    bool result = true;
    try {
        for (auto it = parked.rbegin(); it != parked.rend(); ++it) {
            CFixRequest* old = *it;
            if (closing_.load()) {
                result = false;
                break;
            }
            // Unsubscribed while this run was under way.
            if (!IsParked(old)) continue;
            // A request of its own: the caller's current request is not touched.
            CFixRequest* request = CreateRequest();
            request->BeginRequest(std::string_view(old->GetFunctionText()));
            request->AddField(kTagSubscriptionRange, old->GetLast220());
            request->SetSubscriptionHandle(old->GetSubscriptionHandle());
            request->SetHandshakeMark(true);
            const PushCallback callback = old->GetPushCallback();
            const uint32_t handle = SubscribeRequest(request, callback, old->GetUserValue());
            if (handle == 0) {
                result = false;
                continue;
            }
            if (callback != nullptr) callback(this, handle, kPushRenewed);
            bool removed = false;
            {
                CQvCriticalSection::Owner owner(state_->pendingLock);
                auto& list = state_->pending;
                const auto found = std::find(list.begin(), list.end(), old);
                if (found != list.end()) {
                    list.erase(found);
                    removed = true;
                }
            }
            if (removed) old->Release();
        }
    } catch (const std::exception&) {
        // The entries not yet handled stay parked for the next run.
        result = false;
    }
    for (CFixRequest* subscription : parked) subscription->Release();
    state_->resubscribeBusy.store(false);
    return result;
}

void CFixApiClient::StartAutoSubscribe() {
    std::lock_guard helpers(helperMutex_);
    if (autoSubscribeThread_.IsValid() || closing_.load()) return;
    try {
        autoSubscribeThread_.Create(
            [this](std::stop_token token) { return RunAutoSubscribe(token); });
    } catch (const std::system_error&) {
        // The parked subscriptions are renewed at the next reconnection instead.
    }
}

uint32_t CFixApiClient::RunAutoSubscribe(std::stop_token token) {
    std::mutex mutex;
    std::condition_variable_any wake;
    for (;;) {
        {
            std::unique_lock lock(mutex);
            wake.wait_for(lock, token, kAutoSubscribePeriod, [] { return false; });
        }
        if (token.stop_requested()) return 0;
        // Only over a link that is up and authenticated; a lost link is renewed by the
        // reconnection instead.
        if (GetPendingCount() == 0 || GetSocket() < 0 || !IsReady()) continue;
        TraceMessage("开始自动订阅");
        TraceMessage(ResubscribeAll() ? "自动订阅完成" : "自动订阅失败");
    }
}

void CFixApiClient::StopHelperThreads() {
    std::lock_guard helpers(helperMutex_);
    reconnectThread_.RequestStop();
    autoSubscribeThread_.RequestStop();
    // Both end soon once asked: the timer waits on its stop token, and the link they would
    // wait on is closed by now, which fails every answer they wait for. They use this object,
    // so a late one is still waited for rather than left behind.
    for (CQvThreadHandle* thread : {&reconnectThread_, &autoSubscribeThread_}) {
        if (!thread->Join(kHelperJoinMs)) {
            TraceMessage("等待重连或自动订阅线程结束超时");
            thread->MarkInvalid();
        }
    }
}

}  // namespace NoltComm
