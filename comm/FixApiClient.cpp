// The FixApi connection: configuration, connect and close, request creation, subscriptions,
// the receive loop and the dispatch of answers and pushes.
#include "comm/FixApiClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

#include "comm/Authentication.h"
#include "comm/ConnectionString.h"
#include "comm/CryptoManager.h"
#include "comm/FixPacket.h"
#include "comm/QvPacket.h"
#include "comm/RequestErrors.h"
#include "comm/SecuritySession.h"
#include "comm/SymmetricCipher.h"
#include "comm/ToolkitRuntime.h"
#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"

namespace NoltComm {

namespace {

std::atomic<bool> g_clientShutdown{false};

// The stage holds several packets, so a burst of pushes costs one read for many packets.
constexpr int32_t kStageSize = 64 * 1024;
constexpr int64_t kCloseWaitMs = 5000;
constexpr auto kLinkLostPoll = std::chrono::milliseconds(100);
constexpr auto kFailedSendPause = std::chrono::milliseconds(200);
constexpr auto kClosePause = std::chrono::milliseconds(200);
constexpr int32_t kPoolLimit = 300;
constexpr int32_t kFunctionServerList = 20;
constexpr int32_t kFunctionServerUnsubscribe = 14;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && platform::EqualsNoCaseAscii(a, b);
}

std::string ProgramFileName() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    const std::string_view full(path, static_cast<std::size_t>(n));
    const std::size_t slash = full.rfind('/');
    return std::string(slash == std::string_view::npos ? full : full.substr(slash + 1));
}

// Runs its action when the scope ends (the auto-reconnect switch is put back on every exit).
template <typename Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action action_;
};

}  // namespace

CQvCriticalSection& ConnectLock() {
    static CQvCriticalSection lock;
    return lock;
}

bool IsClientShutdown() { return g_clientShutdown.load(); }

CFixApiClient::CFixApiClient()
    : programName_(ProgramFileName()),
      stage_(std::make_unique<uint8_t[]>(kStageSize)),
      state_(std::make_unique<FixLinkState>()),
      receiveThread_(*this) {
    state_->pool.SetLimit(kPoolLimit);
}

void CFixApiClient::StopReceiving() {
    closing_.store(true);
    receiveThread_.Stop(false);
    CSocketLink::Close();
    StopReceiveThread();
    StopHelperThreads();
}

CFixApiClient::~CFixApiClient() {
    g_clientShutdown.store(true);
    StopReceiving();
    ReleaseDispatched();
    ReplaceCurrent(nullptr);
    const auto releaseAll = [](std::vector<CFixRequest*>& list) {
        for (CFixRequest* request : list) request->Release();
        list.clear();
    };
    {
        CQvCriticalSection::Owner owner(clientLock_);
        releaseAll(state_->waiting);
    }
    {
        CQvCriticalSection::Owner owner(state_->subscriptionLock);
        releaseAll(state_->subscriptions);
    }
    {
        CQvCriticalSection::Owner owner(state_->pendingLock);
        releaseAll(state_->pending);
    }
}

// --- configuration ---

void CFixApiClient::SetConfigText(std::string& field, std::string_view text) {
    std::lock_guard lock(configMutex_);
    field.assign(text);
}

std::string CFixApiClient::GetConfigText(const std::string& field) const {
    std::lock_guard lock(configMutex_);
    return field;
}

void CFixApiClient::SetHeadValue1(std::string_view text) { SetConfigText(head1_, text); }
void CFixApiClient::SetHeadValue2(std::string_view text) { SetConfigText(head2_, text); }
void CFixApiClient::SetHeadValue3(std::string_view text) { SetConfigText(head3_, text); }
void CFixApiClient::SetHeadValue5(std::string_view text) { SetConfigText(head5_, text); }
void CFixApiClient::SetHeadValue6(std::string_view text) { SetConfigText(head6_, text); }
void CFixApiClient::SetProgramName(std::string_view text) { SetConfigText(programName_, text); }
std::string CFixApiClient::GetProgramName() const { return GetConfigText(programName_); }
void CFixApiClient::SetVersionText(std::string_view text) { SetConfigText(versionText_, text); }
std::string CFixApiClient::GetVersionText() const { return GetConfigText(versionText_); }
void CFixApiClient::SetAuthTexts(std::string_view first, std::string_view second) {
    std::lock_guard lock(configMutex_);
    authFirst_.assign(first);
    authSecond_.assign(second);
}

void CFixApiClient::SetSessionCipher(std::string_view name) { SetConfigText(sessionCipher_, name); }
std::string CFixApiClient::GetSessionCipher() const { return GetConfigText(sessionCipher_); }

void CFixApiClient::SetStationInfo(std::string_view text) {
    if (text.empty()) return;
    std::lock_guard lock(configMutex_);
    station_.assign(text);
    linkStation_.assign(text);
}

std::string CFixApiClient::GetStationInfo() const {
    std::lock_guard lock(configMutex_);
    return linkStation_.empty() ? station_ : linkStation_;
}

std::string CFixApiClient::GetStationText() const { return GetConfigText(station_); }

bool CFixApiClient::SetLinkMode(int32_t mode) {
    state_->linkMode.store(mode);
    ssl_.store(mode == 3);
    return true;
}

void CFixApiClient::AddServerAddress(std::string_view text) {
    std::lock_guard lock(configMutex_);
    for (const std::string& entry : state_->addresses) {
        if (EqualIgnoringCase(entry, text)) return;
    }
    state_->addresses.emplace_back(text);
}

std::vector<std::string> CFixApiClient::GetServerAddresses() const {
    std::lock_guard lock(configMutex_);
    return state_->addresses;
}

std::string CFixApiClient::GetServerText() const { return GetConfigText(state_->serverText); }

// --- connection ---

void CFixApiClient::SelectAddress(const std::string& text) {
    std::lock_guard lock(configMutex_);
    std::vector<std::string>& list = state_->addresses;
    if (!text.empty()) {
        addressText_ = text;
        if (std::none_of(list.begin(), list.end(), [&](const std::string& entry) {
                return EqualIgnoringCase(entry, text);
            })) {
            list.push_back(text);
        }
        state_->nextAddress = static_cast<int32_t>(list.size());
        return;
    }
    if (list.empty()) return;
    if (state_->nextAddress < 0 || state_->nextAddress >= static_cast<int32_t>(list.size())) {
        state_->nextAddress = 0;
    }
    addressText_ = list[static_cast<std::size_t>(state_->nextAddress++)];
}

bool CFixApiClient::ParseAddress() {
    std::string text;
    {
        std::lock_guard lock(configMutex_);
        text = addressText_;
    }
    ConnectionAddress address;
    switch (ParseConnectionString(text, &address)) {
        case ConnectionStringResult::Empty:
            return false;
        case ConnectionStringResult::Invalid:
            SetError(kBadConnectionStringText, kBadConnectionStringCode);
            return false;
        case ConnectionStringResult::Ok:
            break;
    }
    std::lock_guard lock(configMutex_);
    hostText_ = address.host;
    port_ = address.port;
    protocol_ = address.protocol;
    return true;
}

std::string CFixApiClient::LocalStationText() {
    const int fd = GetSocket();
    if (fd < 0) return std::string();
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return std::string();
    const uint32_t a = ntohl(local.sin_addr.s_addr);
    return platform::FormatInt(a >> 24) + "." + platform::FormatInt((a >> 16) & 0xFF) + "." +
           platform::FormatInt((a >> 8) & 0xFF) + "." + platform::FormatInt(a & 0xFF);
}

void CFixApiClient::TraceStep(const char* phrase) {
    if (!TraceEnabled("Message")) return;
    std::string host;
    int32_t port = 0;
    {
        std::lock_guard lock(configMutex_);
        host = hostText_;
        port = port_;
    }
    const std::string text =
        std::string(phrase) + "(" + host + "@" + platform::FormatInt(port) +
        ")(ThrId=" + platform::FormatInt(static_cast<int64_t>(gettid())) +
        ")(Ptr=" + platform::FormatInt(static_cast<int64_t>(reinterpret_cast<intptr_t>(this))) +
        ").";
    Trace("Message", text.c_str());
}

void CFixApiClient::StopReceiveThread() {
    receiveThread_.Stop(false);
    if (!receiveThread_.Wait(kCloseWaitMs)) receiveThread_.Terminate(0);
}

bool CFixApiClient::Connect(const std::string& address) {
    SetError(std::string(), 1);
    // Keeps the receive loop, which sees the link go, from reconnecting it meanwhile.
    closing_.store(true);
    CSocketLink::Close();
    StopReceiveThread();
    StopHelperThreads();
    closing_.store(false);
    SelectAddress(address);
    if (!ParseAddress()) {
        TraceStep("客户端与服务器连接时地址解析失败");
        return false;
    }
    SetNonBlocking();
    TraceStep("客户端开始与服务器连接");
    {
        CQvCriticalSection::Owner owner(ConnectLock());
        lastAttempt_.store(platform::TickMs());
        std::string host;
        int32_t port = 0;
        {
            std::lock_guard lock(configMutex_);
            host = hostText_;
            port = port_;
        }
        if (!CSocketLink::Connect(host, port, protocol_.load())) {
            TraceStep("客户端与服务器连接失败");
            return false;
        }
    }
    if (!StartSsl()) {
        TraceStep("客户端与服务器连接时初始化SSL失败");
        CSocketLink::Close();
        return false;
    }
    const std::string local = LocalStationText();
    {
        std::lock_guard lock(configMutex_);
        station_ = local;
        linkStation_ = local;
    }
    SetBlocking();
    ResetReceiveStage();

    const bool reconnect = autoReconnect_.exchange(false);
    ScopeExit restore([&] { autoReconnect_.store(reconnect); });
    if (IsBroken()) {
        TraceStep("客户端与服务器异常连接中断");
        CSocketLink::Close();
        return false;
    }
    state_->receiveLoopEnded.store(false);
    receiveThread_.Start();
    TraceStep("客户端与服务器成功连接");
    open_.store(0);
    if (!Authenticate()) {
        TraceStep("客户端与服务器认证失败");
        Close();
        return false;
    }
    TraceStep("客户端与服务器通信认证完成");
    open_.store(1);
    return true;
}

bool CFixApiClient::Authenticate() {
    CQvCriticalSection::Owner owner(state_->authLock);
    state_->ready.store(false);
    BuiltInAuthentication run;
    {
        std::lock_guard lock(configMutex_);
        run.headValue1 = head1_;
        run.values.first = authFirst_;
        run.values.second = authSecond_;
        run.values.programName = programName_;
        run.values.versionText = versionText_;
        run.sessionCipher = sessionCipher_;
    }
    run.values.authAlgorithm = GetAuthAlgorithm();
    run.ssl = ssl_.load();
    CQvCryptoManager& manager = CQvCryptoManager::Instance();
    if (state_->linkMode.load() == 2 && !run.ssl) {
        if (!AuthenticateBySecuritySession(*this, run.values.first, run.values.second, bodyCipher_,
                                           run.errorText, manager)) {
            SetError(run.errorText, GetErrorCode());
            return false;
        }
        state_->ready.store(true);
        return true;
    }
    if (!AuthenticateBuiltIn(*this, run, bodyCipher_, manager)) {
        SetError(run.errorText, GetErrorCode());
        return false;
    }
    {
        std::lock_guard lock(configMutex_);
        state_->serverText = run.serverText;
        if (run.hasLinkStation) linkStation_ = run.linkStation;
        if (linkStation_.empty()) linkStation_ = station_;
    }
    state_->ready.store(true);
    return true;
}

void CFixApiClient::SetSslSettings(const SslSettings& settings) {
    std::lock_guard lock(configMutex_);
    sslSettings_ = settings;
}

SslSettings CFixApiClient::GetSslSettings() const {
    std::lock_guard lock(configMutex_);
    return sslSettings_;
}

bool CFixApiClient::StartSsl() {
    if (!ssl_.load()) return true;
    std::string reason;
    if (!NoltComm::StartSsl(*this, GetSslSettings(), reason)) {
        SetError(reason, GetErrorCode());
        return false;
    }
    // A client certificate that could not be used is worth a trace line, not a failure.
    if (!reason.empty()) TraceStep(reason.c_str());
    return true;
}

bool CFixApiClient::Close() {
    if (GetSocket() >= 0) TraceStep("关闭客户端与服务器连接");
    closing_.store(true);
    receiveThread_.Stop(false);
    const bool reconnect = autoReconnect_.exchange(false);
    // The close hook fails every waiter; the shutdown inside wakes the receive thread.
    CSocketLink::Close();
    StopReceiveThread();
    // After the receive thread: it is the one that starts them.
    StopHelperThreads();
    // A reconnection that raced with the close may have left a socket or marked the link
    // open again.
    CSocketLink::Close();
    open_.store(0);
    std::this_thread::sleep_for(kClosePause);
    autoReconnect_.store(reconnect);
    return true;
}

void CFixApiClient::OnLinkClosed() {
    open_.store(0);
    state_->ready.store(false);
    std::vector<CFixRequest*> waiting;
    {
        CQvCriticalSection::Owner owner(clientLock_);
        waiting.swap(state_->waiting);
    }
    // Completed outside the client's lock: a request's lock is never taken inside it.
    for (CFixRequest* request : waiting) {
        request->CompleteWithError(kErrLinkClosed, kTextLinkLost, false);
        request->Release();
    }
    // A request of the lost link is over: its answer text must not pass for the error of
    // whatever comes next (a failed reconnection shows the link's own text).
    ReplaceCurrent(nullptr);
    std::vector<CFixRequest*> moved;
    {
        CQvCriticalSection::Owner owner(state_->subscriptionLock);
        moved.swap(state_->subscriptions);
    }
    if (!moved.empty()) {
        CQvCriticalSection::Owner owner(state_->pendingLock);
        state_->pending.insert(state_->pending.end(), moved.begin(), moved.end());
    }
}

bool CFixApiClient::QueryServerList(const std::string& address, std::vector<std::string>& names,
                                    std::vector<int32_t>& numbers) {
    names.clear();
    numbers.clear();
    closing_.store(true);
    CSocketLink::Close();
    StopReceiveThread();
    StopHelperThreads();
    closing_.store(false);
    SelectAddress(address);
    if (!ParseAddress()) return false;
    std::string host;
    int32_t port = 0;
    {
        std::lock_guard lock(configMutex_);
        host = hostText_;
        port = port_;
    }
    if (!CSocketLink::Connect(host, port, protocol_.load())) return false;
    if (!StartSsl()) {
        CSocketLink::Close();
        return false;
    }
    {
        const bool reconnect = autoReconnect_.exchange(false);
        ScopeExit restore([&] { autoReconnect_.store(reconnect); });
        SetBlocking();
        ResetReceiveStage();
        state_->receiveLoopEnded.store(false);
        receiveThread_.Start();
    }
    state_->ready.store(false);

    CFixRequest* request = state_->pool.Take();
    request->StampCreation();
    request->SetTimeout(GetTimeoutSeconds());
    request->SetConnection(this);
    request->SetAnswerAllocator(this);
    request->BeginRequest(kFunctionServerList);
    request->SetHandshakeMark(true);
    request->SetPushFlag(true);
    while (request->NextRow()) {
        names.push_back(request->GetString(204));
        numbers.push_back(request->GetLong(391));
    }
    request->Release();
    Close();
    return true;
}

std::string CFixApiClient::GetErrorText() {
    if (CFixRequest* request = GetCurrentRequest()) {
        std::string text = request->GetString(508);
        if (text.empty()) text = request->GetErrorText();
        request->Release();
        if (!text.empty()) return text;
    }
    return GetLinkErrorText();
}

// --- requests ---

CFixRequest* CFixApiClient::CreateRequest() {
    CFixRequest* request = state_->pool.Take();
    request->StampCreation();
    {
        std::lock_guard lock(configMutex_);
        request->SetHeadValue(1, head1_);
        request->SetHeadValue(2, head2_);
        request->SetHeadValue(3, head3_);
        request->SetHeadValue(4, linkStation_);
        request->SetHeadValue(5, head5_);
        request->SetHeadValue(6, head6_);
        request->SetHeadValue(9, linkStation_ != station_ ? "1" : "");
    }
    request->SetTimeout(GetTimeoutSeconds());
    request->SetHeadNumber(static_cast<int32_t>(headNumber8_.load()));
    request->SetConnection(this);
    request->SetAnswerAllocator(this);
    return request;
}

void CFixApiClient::ReplaceCurrent(CFixRequest* request) {
    CFixRequest* old = nullptr;
    {
        std::lock_guard lock(currentMutex_);
        old = current_;
        current_ = request;
    }
    if (old != nullptr) old->Release();
}

CFixRequest* CFixApiClient::GetCurrentRequest() {
    std::lock_guard lock(currentMutex_);
    if (current_ != nullptr) current_->AddRef();
    return current_;
}

CFixRequest* CFixApiClient::TakeCurrent() {
    std::lock_guard lock(currentMutex_);
    return std::exchange(current_, nullptr);
}

bool CFixApiClient::BeginRequest(int32_t function) {
    SetError(std::string(), GetErrorCode());
    ReplaceCurrent(nullptr);
    packetKind_.store(kKindRequest);
    CFixRequest* request = CreateRequest();
    if (request == nullptr) return false;
    const bool begun = request->BeginRequest(function);
    ReplaceCurrent(request);
    return begun;
}

bool CFixApiClient::BeginRequest(std::string_view function) {
    ReplaceCurrent(nullptr);
    packetKind_.store(kKindRequest);
    CFixRequest* request = CreateRequest();
    const bool begun = request->BeginRequest(function);
    ReplaceCurrent(request);
    return begun;
}

bool CFixApiClient::AddLongField(int32_t tag, int32_t value) {
    std::lock_guard lock(currentMutex_);
    return current_ != nullptr && current_->AddLongField(tag, value);
}

bool CFixApiClient::AddStringField(int32_t tag, std::string_view value) {
    std::lock_guard lock(currentMutex_);
    return current_ != nullptr && current_->AddField(tag, value);
}

CFixRequest* CFixApiClient::SendCurrent() {
    CFixRequest* request = GetCurrentRequest();
    if (request == nullptr) return nullptr;
    request->SetKind(static_cast<uint8_t>(packetKind_.load()));
    if (!request->Send()) std::this_thread::sleep_for(kFailedSendPause);
    request->Release();
    return request;
}

bool CFixApiClient::StepRequest(CFixRequest* request, uint8_t kind) {
    if (!request->IsSent()) request->SetKind(kind);
    return request->NextRow();
}

bool CFixApiClient::NextRow(CFixRequest* request) {
    if (request != nullptr && request != reinterpret_cast<CFixRequest*>(intptr_t{-1})) {
        return StepRequest(request, static_cast<uint8_t>(packetKind_.load()));
    }
    CFixRequest* current = GetCurrentRequest();
    if (current == nullptr) return false;
    const bool row = StepRequest(current, static_cast<uint8_t>(packetKind_.load()));
    current->Release();
    return row;
}

std::string CFixApiClient::GetAnswerString(int32_t tag, int32_t row) {
    CFixRequest* request = GetCurrentRequest();
    if (request == nullptr) return std::string();
    std::string text = request->GetString(tag, row);
    request->Release();
    return text;
}

std::string CFixApiClient::GetAnswerText() { return GetAnswerString(508); }

bool CFixApiClient::SendOneWay() {
    CFixRequest* request = TakeCurrent();
    if (request == nullptr) return false;
    request->SetKind(kKindOneWay);
    request->Send();
    request->Release();
    return true;
}

uint32_t CFixApiClient::Subscribe(PushCallback callback, uintptr_t userValue) {
    CFixRequest* request = GetCurrentRequest();
    if (request == nullptr) return 0;
    return SubscribeRequest(request, callback, userValue);
}

uint32_t CFixApiClient::SubscribeRequest(CFixRequest* request, PushCallback callback,
                                         uintptr_t userValue) {
    if (!StepRequest(request, kKindSubscribe)) {
        request->Release();
        return 0;
    }
    std::string_view topic;
    if (!request->FindField(kTagTopic, -1, topic) || topic.empty()) {
        request->SetError(request->GetErrorCode(), request->GetString(508));
        request->Release();
        return 0;
    }
    request->SetTopic(topic);
    request->SetSubscriptionToken(request->GetString(kTagSubscriptionKey));
    request->SetRole(2);
    request->SetPushCallback(callback, userValue);
    const uint32_t handle = request->EnsureSubscriptionHandle();
    {
        // The list keeps the caller's reference taken above.
        CQvCriticalSection::Owner owner(state_->subscriptionLock);
        state_->subscriptions.push_back(request);
    }
    return handle;
}

bool CFixApiClient::Unsubscribe(uint32_t handle) {
    std::string function;
    std::string token;
    std::string topic;
    {
        CQvCriticalSection::Owner owner(state_->subscriptionLock);
        const auto it =
            std::find_if(state_->subscriptions.begin(), state_->subscriptions.end(),
                         [&](CFixRequest* s) { return s->GetSubscriptionHandle() == handle; });
        if (it == state_->subscriptions.end()) return DropParked(handle);
        function = (*it)->GetFunctionText();
        token = (*it)->GetSubscriptionToken();
        topic = platform::GbkToUtf8((*it)->GetTopic());
    }
    BeginRequest(std::string_view(function));
    AddStringField(kTagSubscriptionKey, token);
    AddStringField(kTagTopic, topic);
    packetKind_.store(kKindUnsubscribe);
    if (CFixRequest* request = GetCurrentRequest()) {
        StepRequest(request, kKindUnsubscribe);
        request->Release();
    }
    packetKind_.store(kKindRequest);
    CFixRequest* removed = nullptr;
    {
        CQvCriticalSection::Owner owner(state_->subscriptionLock);
        const auto it =
            std::find_if(state_->subscriptions.begin(), state_->subscriptions.end(),
                         [&](CFixRequest* s) { return s->GetSubscriptionHandle() == handle; });
        if (it != state_->subscriptions.end()) {
            removed = *it;
            state_->subscriptions.erase(it);
        }
    }
    if (removed != nullptr) removed->Release();
    return true;
}

uintptr_t CFixApiClient::GetSubscriptionUserValue(uint32_t handle) {
    CQvCriticalSection::Owner owner(state_->subscriptionLock);
    for (CFixRequest* s : state_->subscriptions) {
        if (s->GetSubscriptionHandle() == handle) return s->GetUserValue();
    }
    return 0;
}

std::size_t CFixApiClient::GetSubscriptionCount() {
    CQvCriticalSection::Owner owner(state_->subscriptionLock);
    return state_->subscriptions.size();
}

std::size_t CFixApiClient::GetPendingCount() {
    CQvCriticalSection::Owner owner(state_->pendingLock);
    return state_->pending.size();
}

std::size_t CFixApiClient::GetWaitingCount() {
    CQvCriticalSection::Owner owner(clientLock_);
    return state_->waiting.size();
}

bool CFixApiClient::OnServerUnsubscribe(std::string_view topic) {
    CFixRequest* found = nullptr;
    {
        CQvCriticalSection::Owner owner(state_->subscriptionLock);
        auto& list = state_->subscriptions;
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            if ((*it)->GetTopic() == topic) {
                found = *it;
                if (PushCallback callback = found->GetPushCallback()) {
                    callback(this, found->GetSubscriptionHandle(), kPushCancelled);
                }
                list.erase(std::next(it).base());
                break;
            }
        }
    }
    if (found != nullptr) {
        CQvCriticalSection::Owner owner(state_->pendingLock);
        state_->pending.push_back(found);
    }
    return true;
}

// --- pushes ---

const uint8_t* CFixApiClient::GetPushBody(int32_t* length) {
    *length = 0;
    if (dispatched_ == nullptr || dispatched_->GetUsed() < kHeaderSize) return nullptr;
    *length = static_cast<int32_t>(dispatched_->GetUsed() - kHeaderSize);
    return dispatched_->GetBuffer() + kHeaderSize;
}

std::string CFixApiClient::GetPushString(int32_t tag) {
    int32_t length = 0;
    const uint8_t* body = GetPushBody(&length);
    if (body == nullptr) return std::string();
    int32_t valueLength = 0;
    const uint8_t* value = FindField(body, length, tag, &valueLength);
    if (value == nullptr) return std::string();
    return platform::GbkToUtf8(std::string_view(reinterpret_cast<const char*>(value),
                                                static_cast<std::size_t>(valueLength)));
}

const uint8_t* CFixApiClient::FindPushField(const uint8_t* body, int32_t length, int32_t tag,
                                            int32_t* valueLength) {
    *valueLength = 0;
    if (body == nullptr || length <= 0) return nullptr;
    if (pushCursor_ < 0 || pushCursor_ >= length) pushCursor_ = 0;
    const int32_t from = pushCursor_;
    const uint8_t* value = FindField(body + from, length - from, tag, valueLength);
    if (value == nullptr && from > 0) value = FindField(body, from, tag, valueLength);
    if (value != nullptr) pushCursor_ = static_cast<int32_t>(value - body) + *valueLength + 1;
    return value;
}

bool CFixApiClient::HasPushField(int32_t tag) {
    int32_t length = 0;
    const uint8_t* body = GetPushBody(&length);
    int32_t valueLength = 0;
    return FindPushField(body, length, tag, &valueLength) != nullptr;
}

// --- send and receive paths ---

int32_t CFixApiClient::SendPacket(const uint8_t* packet, int32_t length, bool handshake) {
    if (!state_->ready.load() && !handshake) return -1;
    if (length <= 0 || length > static_cast<int32_t>(kMaxPacketSize)) return 0;
    CIOBuffer* buffer = Allocate();
    buffer->AddData(packet, static_cast<uint32_t>(length));
    state_->lastSendTick.store(platform::TickMs());
    const int32_t wire = static_cast<int32_t>(buffer->GetUsed());
    int32_t written = Write(*buffer);
    // An encrypted packet may be longer on the wire than the request.
    if (written > 0 && written == static_cast<int32_t>(buffer->GetUsed())) {
        written = length;
    } else if (written == kWriteEncryptFailed) {
        written = kSendEncryptFailed;
    } else if (written > 0 && written != wire) {
        written = 0;
    }
    buffer->Release();
    return written;
}

bool CFixApiClient::RegisterWaiting(CFixRequest* request) {
    request->AddRef();
    CQvCriticalSection::Owner owner(clientLock_);
    state_->waiting.push_back(request);
    return true;
}

CFixRequest* CFixApiClient::FindWaiting(uint32_t packetId, bool remove) {
    CQvCriticalSection::Owner owner(clientLock_);
    auto& list = state_->waiting;
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](CFixRequest* r) { return r->GetPacketId() == packetId; });
    if (it == list.end()) return nullptr;
    CFixRequest* request = *it;
    if (remove) {
        list.erase(it);
    } else {
        request->AddRef();
    }
    return request;
}

void CFixApiClient::UnregisterWaiting(uint32_t packetId, CFixRequest* request) {
    CFixRequest* removed = nullptr;
    {
        CQvCriticalSection::Owner owner(clientLock_);
        auto& list = state_->waiting;
        const auto it = std::find_if(list.begin(), list.end(), [&](CFixRequest* r) {
            return r == request && r->GetPacketId() == packetId;
        });
        if (it == list.end()) return;
        removed = *it;
        list.erase(it);
    }
    removed->Release();
}

void CFixApiClient::ReleaseDispatched() {
    if (dispatched_ != nullptr) dispatched_->Release();
    dispatched_ = nullptr;
}

bool CFixApiClient::StageHoldsPacket() const {
    const int32_t staged = stageEnd_ - stageStart_;
    return staged >= static_cast<int32_t>(kHeaderSize) &&
           staged >= static_cast<int32_t>(ReadLe16(stage_.get() + stageStart_));
}

void CFixApiClient::ResetReceiveStage() {
    stageStart_ = 0;
    stageEnd_ = 0;
}

bool CFixApiClient::ReceiveOne() {
    return ReceiveFrom([this](uint8_t* out, int32_t room) { return ReadSome(out, room); });
}

bool CFixApiClient::ReceiveFrom(const ByteSource& source) {
    ReleaseDispatched();
    // Whole packets are framed from the stage; the source is asked only for what is missing.
    for (;;) {
        const int32_t staged = stageEnd_ - stageStart_;
        if (staged >= static_cast<int32_t>(kHeaderSize)) {
            const uint32_t length = ReadLe16(stage_.get() + stageStart_);
            if (!IsValidPacketLength(length)) {
                // A length no packet can have: the stream cannot be framed again.
                ResetReceiveStage();
                CSocketLink::Close();
                return false;
            }
            if (staged >= static_cast<int32_t>(length)) break;
        }
        if (stageStart_ > 0 && stageEnd_ + static_cast<int32_t>(kMaxPacketSize) > kStageSize) {
            std::memmove(stage_.get(), stage_.get() + stageStart_,
                         static_cast<std::size_t>(staged));
            stageStart_ = 0;
            stageEnd_ = staged;
        }
        const int32_t got = source(stage_.get() + stageEnd_, kStageSize - stageEnd_);
        if (got <= 0) {
            ResetReceiveStage();
            CSocketLink::Close();
            return false;
        }
        stageEnd_ += std::min(got, kStageSize - stageEnd_);
    }
    const uint32_t length = ReadLe16(stage_.get() + stageStart_);
    CIOBuffer* buffer = Allocate();
    buffer->AddData(stage_.get() + stageStart_, length);
    stageStart_ += static_cast<int32_t>(length);
    if (stageStart_ == stageEnd_) ResetReceiveStage();
    dispatched_ = buffer;
    state_->lastReceiveTick.store(platform::TickMs());
    return DispatchPacket(buffer);
}

bool CFixApiClient::DispatchPacket(CIOBuffer* buffer) {
    uint8_t* data = buffer->GetBuffer();
    if ((data[7] & kBodyEncrypted) != 0) {
        if (CQvSymmetricCipher* cipher = GetCipher()) {
            bool decrypted = false;
            try {
                decrypted = cipher->Decrypt(*buffer);
            } catch (...) {
                decrypted = false;
            }
            if (!decrypted || buffer->GetUsed() < kHeaderSize) {
                // The peer's cipher state and ours differ: nothing after this can be read.
                ResetReceiveStage();
                CSocketLink::Close();
                return false;
            }
        }
    }
    // Readers are bounded by lengths; the NUL is only for a packet that leaves room for it.
    if (buffer->GetUsed() < buffer->GetCapacity()) buffer->GetBuffer()[buffer->GetUsed()] = 0;
    if (data[6] == kKindOneWay) {
        if ((data[8] & kPacketPush) != 0) {
            CQvPacket notice;
            if (notice.Attach(buffer) && notice.GetFunction() == kFunctionServerUnsubscribe) {
                std::string_view topic;
                if (!notice.FindItem(kTagTopic, topic)) topic = {};
                OnServerUnsubscribe(topic);
                StartAutoSubscribe();
            }
            return true;
        }
        DispatchPush(buffer);
        return true;
    }
    DispatchAnswer(buffer);
    return true;
}

void CFixApiClient::DispatchPush(CIOBuffer* buffer) {
    if ((buffer->GetBuffer()[7] & kBodyCompressed) != 0) {
        CIOBuffer* plain = Allocate();
        const uint8_t* packet = buffer->GetBuffer();
        const uint32_t used = buffer->GetUsed();
        std::size_t produced = 0;
        const bool inflated = InflateSegments(packet + kHeaderSize, used - kHeaderSize,
                                              plain->GetBuffer() + kHeaderSize,
                                              plain->GetCapacity() - kHeaderSize, produced) &&
                              produced <= kMaxPushBody;
        if (!inflated) {
            plain->Release();
            return;
        }
        std::memcpy(plain->GetBuffer(), packet, kHeaderSize);
        WriteLe16(plain->GetBuffer(), static_cast<uint16_t>(produced + kHeaderSize));
        plain->GetBuffer()[7] &= static_cast<uint8_t>(~kBodyCompressed);
        plain->SetUsed(static_cast<uint32_t>(produced + kHeaderSize));
        ReleaseDispatched();
        dispatched_ = plain;
        buffer = plain;
    }
    CQvPacket packet;
    if (!packet.Attach(buffer)) return;
    std::string_view topic;
    if (!packet.FindItem(kTagTopic, topic)) topic = {};
    pushCursor_ = 0;
    if (topic.empty()) {
        if (QuoteCallback quote = state_->quoteCallback.load()) {
            quote(this, 0, kPushDelivered);
            return;
        }
    }
    CQvCriticalSection::Owner owner(state_->subscriptionLock);
    for (CFixRequest* subscription : state_->subscriptions) {
        if (subscription->GetTopic() != topic) continue;
        subscription->CountPush();
        if (PushCallback callback = subscription->GetPushCallback()) {
            callback(this, subscription->GetSubscriptionHandle(), kPushDelivered);
        }
        return;
    }
}

void CFixApiClient::DispatchAnswer(CIOBuffer* buffer) {
    const uint8_t* data = buffer->GetBuffer();
    const uint32_t packetId = ReadLe32(data + 2);
    const uint8_t bodyFlags = data[7];
    const bool last = (data[8] & kPacketLast) != 0;
    CFixRequest* request = FindWaiting(packetId, last);
    if (request == nullptr) return;
    if ((bodyFlags & kBodyCompressed) != 0) {
        const uint32_t used = buffer->GetUsed();
        if (!request->AddCompressedSegment(data + kHeaderSize, used - kHeaderSize,
                                           (bodyFlags & kBodyLastSegment) != 0)) {
            // A broken compressed answer ends the request now, with its own result, instead of
            // leaving the caller to run into the time-out; nothing further can belong to it.
            request->CompleteWithError(kErrBadAnswer, kTextBadAnswer, true);
            if (!last) UnregisterWaiting(packetId, request);
        }
    } else {
        request->AddAnswer(buffer);
    }
    // Out of the waiting list, nothing else can complete it.
    if (last && !request->IsComplete()) request->MarkComplete();
    request->Release();
}

uint32_t CFixApiClient::ReceiveThread::Run() {
    FixLinkState& state = *client_.state_;
    state.receiveLoopEnded.store(false);
    std::mutex idleMutex;
    std::condition_variable_any idle;
    while (!IsStopping()) {
        // A packet already staged is dispatched without asking the socket first.
        if (!client_.StageHoldsPacket()) {
            // A link the peer dropped is closed here at once, so every waiter fails now
            // instead of running into its time-out.
            if (client_.GetSocket() >= 0 && client_.IsBroken()) client_.CSocketLink::Close();
            if (client_.GetSocket() < 0) {
                if (client_.autoReconnect_.load()) {
                    client_.open_.store(0);
                    // A new link is read at once: its re-authentication waits for answers.
                    if (client_.Reconnect()) continue;
                }
                std::unique_lock lock(idleMutex);
                idle.wait_for(lock, StopToken(), kLinkLostPoll, [] { return false; });
                continue;
            }
        }
        client_.ReceiveOne();
    }
    state.receiveLoopEnded.store(true);
    return 1;
}

}  // namespace NoltComm
