#include "shell/FrameWorker.h"

#include <chrono>
#include <cstdio>

#include "comm/FixApiClient.h"
#include "comm/MachineInfo.h"
#include "market/feed/NoticePushes.h"
#include "market/feed/PushSubscriptions.h"
#include "platform/core/Clock.h"
#include "platform/ui/Messages.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Positions.h"
#include "tradedata/Rates.h"
#include "tradedata/ReferenceData.h"
#include "tradedata/RunRegisters.h"
#include "tradedata/TradeRequest.h"
#include "tradedata/TradingHelpers.h"
#include "tradedata/TradingTime.h"

namespace shell {

namespace {

constexpr int32_t kFunctionNotices = 16340;
constexpr int32_t kFunctionLoginElsewhere = 16409;
constexpr int64_t kFundsIntervalMs = 1000;
constexpr int64_t kPositionsIntervalMs = 300;
constexpr int64_t kSubscriptionIntervalMs = 1000;
constexpr int64_t kUpgradeIntervalMs = 300000;
constexpr int64_t kSessionQuietMs = 2000;
constexpr int64_t kLogQuietMs = 2000;

// Account flag bits the worker sets once it has done the work they stand for.
constexpr int32_t kFlagBanksLoaded = 0x80000;
constexpr int32_t kFlagLinkedLoaded = 0x100000;
constexpr int32_t kFlagNoticesLoaded = 0x800000;
// Account services.
constexpr int32_t kServiceLinked = 0x8;
constexpr int32_t kServiceBanks = 0x40;
constexpr int32_t kServiceCombinations = 0x200 | 0x800;
constexpr int32_t kServiceCombinationCodes = 0x800000;

std::mutex gStationLock;
std::string gStationText;

bool IsOpen(NoltComm::CFixApiClient* connection) {
    return connection != nullptr && !connection->IsClosed();
}

bool NoRequestRunning() { return NoltComm::GetLiveRequestCount() == 0; }

// The notice kinds the worker takes from the server: plain, margin-call and forced-close notices.
bool IsServerNoticeKind(int32_t kind) { return kind == 11 || kind == 12 || kind == 13; }

}  // namespace

CFrameWorker::~CFrameWorker() { Stop(); }

std::string CFrameWorker::StationText() {
    std::lock_guard lock(gStationLock);
    return gStationText;
}

void CFrameWorker::SetStationText(std::string text) {
    std::lock_guard lock(gStationLock);
    gStationText = std::move(text);
}

void CFrameWorker::Nudge() {
    {
        std::lock_guard lock(sleepLock_);
        nudged_ = true;
    }
    sleepCv_.notify_all();
}

void CFrameWorker::MarkInputIdle() {
    {
        std::lock_guard lock(sleepLock_);
        inputIdle_ = true;
    }
    sleepCv_.notify_all();
}

bool CFrameWorker::WaitInputIdle() {
    std::unique_lock lock(sleepLock_);
    sleepCv_.wait(lock, [&] { return inputIdle_ || IsStopping(); });
    return inputIdle_;
}

int64_t CFrameWorker::NowMs() const { return platform::TickMs(); }

void CFrameWorker::FlushLog() {
    const int64_t lastWrite = GetLogFileLastWriteTick();
    if (lastWrite != 0 && NowMs() - lastWrite > kLogQuietMs) FlushLogFile();
}

bool CFrameWorker::MarginLoginWanted() {
    return (GetAppStateFlags() & kAppStateMarginLoginDue) != 0;
}

std::string CFrameWorker::LoadSettlementBill() {
    return tradedata::LoadSettlementBill(host_.TradingConnection(), "");
}

bool CFrameWorker::InsideExchangeSession() {
    std::vector<std::string> exchanges;
    tradedata::ExchangeTable.acquireLockShared();
    for (int row = 0; row < tradedata::ExchangeTable.GetCount(); ++row)
        exchanges.push_back(tradedata::ExchangeTable.Get(599, row));
    tradedata::ExchangeTable.releaseLockShared();
    for (std::size_t row = 0; row < exchanges.size(); ++row) {
        // The exchange's clock honours its time difference only within an hour either way.
        const tradedata::SystemTime t = tradedata::GetExchangeTime(static_cast<int>(row));
        const int32_t hhmmss = t.hour * 10000 + t.minute * 100 + t.second;
        if (tradedata::TimeInSections(hhmmss,
                                      tradedata::GetTradingSections(exchanges[row], nullptr)))
            return true;
    }
    return false;
}

void CFrameWorker::ReloadContracts() { tradedata::GetJysHydm(host_.TradingConnection()); }

bool CFrameWorker::LoadNextRate() { return tradedata::LoadPendingRates(host_.TradingConnection()); }

// A first load brings the day's cached lists up to date; a requested reload loads them whole.
void CFrameWorker::LoadCombinations(bool first) {
    tradedata::LoadExchangeCombinations(host_.TradingConnection(), first);
}

void CFrameWorker::LoadOptions(bool first) {
    tradedata::LoadOptionContracts(host_.TradingConnection(), first);
}

void CFrameWorker::QueryTradeCounters() {
    tradedata::QueryTradeCounters(host_.TradingConnection(), tradedata::GetCurrentKhh());
}

void CFrameWorker::LoadBankReferences() {
    if (tradedata::PriceSourceTable.GetFCount() == 0)
        tradedata::LoadPriceSources(host_.TradingConnection());
    if (tradedata::BankTable.GetFCount() == 0) tradedata::LoadBanks(host_.TradingConnection());
}

bool CFrameWorker::RefreshNextSnapshot() {
    const tradedata::RowRef ref = tradedata::FindPendingQuoteRow();
    if (ref < 0) return false;
    tradedata::RefreshContractQuote(host_.TradingConnection(), ref);
    PostRefresh(PostTarget::Workspace, kRefreshRow, ref);
    return true;
}

bool CFrameWorker::SendPushHeartbeat() {
    return market::feed::CPushSubscriptions::SendPushHeartbeat(host_.PushConnection());
}

bool CFrameWorker::SendTradingHeartbeat() {
    return market::feed::CPushSubscriptions::SendTradeHeartbeat(host_.TradingConnection(),
                                                                tradedata::GetCurrentKhh());
}

void CFrameWorker::RunStart() {
    if (MarginLoginWanted()) PostCommand(PostTarget::Frame, kCommandMarginWebLogin, 0);
    SetState(kFrameSnapshotsDue | kFrameCombinationContractsPending | kFrameOptionContractsPending |
             kFrameStartBit1000 | kFrameCombinationCodesPending);
    OpenMulticastFeed();
    ConnectLevel2();
}

uint32_t CFrameWorker::Run() {
    if (!WaitInputIdle()) return 0;
    RunStart();
    const std::stop_token token = StopToken();
    while (!IsStopping() && (State() & kFrameClosing) == 0) {
        RunPass();
        // A blocking wait: the thread sleeps until the pass interval ends, a nudge or a stop.
        std::unique_lock lock(sleepLock_);
        sleepCv_.wait_for(lock, std::chrono::milliseconds(kPassSleepMs),
                          [&] { return nudged_ || IsStopping() || token.stop_requested(); });
        nudged_ = false;
    }
    return 0;
}

void CFrameWorker::StepStation() {
    NoltComm::CFixApiClient* connection = host_.TradingConnection();
    if (connection == nullptr) return;
    if (connection->IsClosed()) {
        SetStationText({});
        return;
    }
    if (!StationText().empty()) return;
    std::string adapter;
    NoltComm::GetConnectionMacAddress(*connection, &adapter);
    char text[512];
    std::snprintf(text, sizeof text, "%s %s", connection->GetStationInfo().c_str(),
                  adapter.c_str());
    SetStationText(text);
    connection->SetStationInfo(text);
    PostRefresh(PostTarget::Frame, kRefreshStation);
}

bool CFrameWorker::RunPass() {
    using namespace tradedata;
    bool busy = false;
    NoltComm::CFixApiClient* trading = host_.TradingConnection();
    const int account = GetCurrentAccountIndex();

    StepStation();                         // 1
    if (TakeRequest(kRequestContracts)) {  // 2
        ReloadContracts();
        SetState(kFrameSnapshotsDue);
        if (account >= 0) SetAccountNotify(kNotifyPositions, account);
        busy = true;
        PostCommand(PostTarget::Workspace, kCommandLoaded, kRequestContracts);
    }
    if ((State() & kFrameQuoteSourcesConnected) == 0) {  // 3
        SetState(kFrameQuoteSourcesConnected | kFrameQuoteSubscriptionDue);
        ConnectQuoteSources();
    }
    if (account >= 0) {
        const int32_t category = GetAccountCategory(account);
        if (category == 1 && TestAccountFlag(kFlagBillPending, account) &&  // 4
            !TestAccountFlag(kFlagBillFetched, account)) {
            const std::string bill = LoadSettlementBill();
            SetAccountFlag(kFlagBillFetched, account);
            if (!bill.empty()) host_.Post(PostTarget::Frame, WM_COMMAND, ID_RECENT_BILL, 0);
            busy = true;
        }
        if (category == 1 && TakeRequest(kRequestAccountStatus)) {  // 5
            QueryAccountStatus(account);
            PostRefresh(PostTarget::Workspace, kRefreshAccountStatus);
            busy = true;
        }
        if (QueryAccountInfo(trading, account)) {  // 6
            ClearAccountNotify(kNotifyFunds, account);
            PostCommand(PostTarget::Workspace, kCommandLoaded, 0x10);
            busy = true;
        }
        if (HasAccountService(kServiceLinked, account) &&  // 7
            !TestAccountFlag(kFlagLinkedLoaded, account)) {
            QueryLinkedClients(trading, account);
            PostCommand(PostTarget::Workspace, kCommandLoaded, 0x400);
            busy = true;
        }
        if (HasAccountService(kServiceBanks, account) &&  // 8
            !TestAccountFlag(kFlagBanksLoaded, account)) {
            LoadBankReferences();
            QueryBankAccounts(trading, account);
            PostCommand(PostTarget::Workspace, kCommandBankAccountsLoaded, 0);
            busy = true;
        }
        if (!TestAccountFlag(kFlagNoticesLoaded, account)) {  // 9
            SetAccountFlag(kFlagNoticesLoaded, account);
            LoadNotices();
            busy = true;
        }
    }
    if (LoadNextRate()) busy = true;  // 10
    const int32_t services = account >= 0 ? GetAccountServices(account) : 0;
    if ((services & kServiceCombinations) != 0 &&  // 11
        ((State() & kFrameCombinationContractsPending) != 0 ||
         (host_.RequestWord().load() & kRequestCombinationContracts) != 0)) {
        const bool first = TakeState(kFrameCombinationContractsPending);
        const bool asked = TakeRequest(kRequestCombinationContracts);
        LoadCombinations(first && !asked);
        SetState(kFrameSnapshotsDue);
        PostCommand(PostTarget::Workspace, kCommandLoaded, kRequestCombinationContracts);
        busy = true;
    }
    {  // 12
        const bool first = (State() & kFrameOptionContractsPending) != 0;
        const bool asked = (host_.RequestWord().load() & kRequestOptionContracts) != 0;
        if (first || asked) {
            LoadOptions(first && !asked);
            // Cleared after the load: a reload asked for while it ran is served by a second,
            // full load on the next pass, because only the bits seen before it are cleared.
            if (first) ClearState(kFrameOptionContractsPending);
            if (asked) TakeRequest(kRequestOptionContracts);
            SetState(kFrameRevaluationDue | kFrameSnapshotsDue);
            PostCommand(PostTarget::Workspace, kCommandLoaded, kRequestOptionContracts);
            busy = true;
        }
    }
    if ((State() & kFrameTradeCountersLoaded) == 0) {  // 13
        QueryTradeCounters();
        PostRefresh(PostTarget::QuoteBoard, kRefreshRow, 0);
        SetState(kFrameTradeCountersLoaded);
        busy = true;
    }
    if (GetBatchOperationCount() == 0 && NoRequestRunning() &&  // 14
        GetElapsedTicks(kMarkFunds) > kFundsIntervalMs) {
        if (RefreshNotifiedFunds(trading)) {
            SetTickMark(kMarkFunds);
            PostCommand(PostTarget::Workspace, kCommandLoaded, 0x10);
            busy = true;
        }
    }
    if (account >= 0 &&  // 15
        (!TestAccountFlag(kFlagPositionsLoaded, account) ||
         (GetBatchOperationCount() == 0 && NoRequestRunning() &&
          TestAccountNotify(kNotifyPositions, account))) &&
        GetElapsedTicks(kMarkPositions) > kPositionsIntervalMs) {
        ClearAccountNotify(kNotifyPositions, account);
        RefreshPositions(trading);
        SetTickMark(kMarkPositions);
        PostCommand(PostTarget::Workspace, kCommandLoaded, 0x20);
        busy = true;
    }
    if (ReopenLostFeeds()) busy = true;  // 16
    if (CheckLoginElsewhere()) busy = true;
    // Asked for by the user-interface thread; a failure is tried again a second later, not
    // every pass.
    if (PushSubscriptionsPending() && NowMs() >= subscriptionRetryAt_) {
        if (RunPendingSubscriptions())
            busy = true;
        else
            subscriptionRetryAt_ = NowMs() + kSubscriptionIntervalMs;
    }
    if ((State() & kFrameQuoteSubscriptionDue) != 0 &&  // 17
        GetElapsedTicks(kMarkQuoteSubscription) > kSubscriptionIntervalMs) {
        // Only a subscription that went through counts as work: one failing every second
        // must not starve the keep-alives, which run only in passes without work.
        if (SubscribeQuotes()) {
            ClearState(kFrameQuoteSubscriptionDue);
            SetTickMark(kMarkQuoteSubscription);
            busy = true;
        }
    }
    if (!busy && (State() & kFrameSnapshotsDue) != 0 && IsOpen(trading) &&  // 18
        NoRequestRunning()) {
        if (RefreshNextSnapshot())
            busy = true;
        else
            ClearState(kFrameSnapshotsDue);
    }
    if ((services & kServiceCombinationCodes) != 0 &&  // 19
        ((State() & kFrameCombinationCodesPending) != 0 ||
         (host_.RequestWord().load() & kRequestCombinationCodes) != 0)) {
        const bool first = TakeState(kFrameCombinationCodesPending);
        const bool asked = TakeRequest(kRequestCombinationCodes);
        LoadCombinationCodes(first && !asked);
        PostCommand(PostTarget::Workspace, kCommandLoaded, kRequestCombinationCodes);
        busy = true;
    }
    StepKeepAlives(busy);                            // 20-22
    if (!busy && TakeState(kFrameRevaluationDue)) {  // 23
        if (RevaluePositionsAndFunds()) PostCommand(PostTarget::Workspace, kCommandLoaded, 0x10);
    }
    if (!busy && IsOpen(trading) && NoRequestRunning()) {  // 24
        if ((State() & kFrameUpgradeCheckDone) == 0) {
            RunUpgradeCheck(true);
            SetState(kFrameUpgradeCheckDone);
            SetTickMark(kMarkUpgradeCheck);
        } else if (GetElapsedTicks(kMarkUpgradeCheck) > kUpgradeIntervalMs) {
            RunUpgradeCheck(false);
            SetTickMark(kMarkUpgradeCheck);
        }
    }
    FlushLog();
    return busy;
}

void CFrameWorker::StepKeepAlives(bool& busy) {
    if (busy) return;
    NoltComm::CFixApiClient* push = host_.PushConnection();
    const int64_t now = NowMs();
    if (IsOpen(push)) {
        if (now - push->GetLastSendTick() >= kKeepAliveMs) {
            SendPushHeartbeat();
            busy = true;
        }
        if (!busy && (State() & kFrameMulticastOpen) == 0) {
            const int64_t last = std::max(push->GetLastSendTick(), push->GetLastReceiveTick());
            if (now - last >= kSessionQuietMs && InsideExchangeSession()) {
                SendPushHeartbeat();
                busy = true;
            }
        }
    }
    NoltComm::CFixApiClient* trading = host_.TradingConnection();
    if (!busy && IsOpen(trading) && now - trading->GetLastSendTick() >= kKeepAliveMs) {
        SendTradingHeartbeat();
        busy = true;
    }
}

int CFrameWorker::LoadNotices() {
    const std::string khh = tradedata::GetCurrentKhh();
    auto request = NoltComm::CTradeRequest::Create(host_.TradingConnection());
    request->SetFunction(kFunctionNotices);
    request->SetString(605, khh);
    if (!request->Send()) return 0;
    int added = 0;
    while (request->NextRow()) {
        const int32_t kind = request->GetLong(1332);
        const std::string text = request->GetString(1777);
        if (request->GetString(605) != khh || text.empty() || !IsServerNoticeKind(kind)) continue;
        const std::string time = request->GetString(1219);
        const std::string kindText = tradedata::GetNoticeKindText(kind);
        tradedata::AddNotice(khh, text, request->GetLong(797),
                             time.empty() ? nullptr : time.c_str(), kindText.c_str());
        ++added;
    }
    return added;
}

bool CFrameWorker::FrameIsLastActive() {
    const HWND active = GetLastActiveWindow();
    return active == 0 || active == GetMainFrameWindow();
}

bool CFrameWorker::CheckLoginElsewhere() {
    const uint32_t state = State();
    if ((state & kFrameLoginElsewhereCheck) == 0 || (state & kFrameLoginElsewhereDone) != 0)
        return false;
    if (!FrameIsLastActive()) return false;
    SetState(kFrameLoginElsewhereDone);
    const std::string khh = tradedata::GetCurrentKhh();
    auto request = NoltComm::CTradeRequest::Create(host_.TradingConnection());
    request->SetFunction(kFunctionLoginElsewhere);
    request->SetString(605, khh);
    if (request->Send()) {
        const std::string station = StationText();
        while (request->NextRow()) {
            if (request->GetString(605) != khh || request->GetLong(1332) != 1) continue;
            const std::string where = request->GetString(550);
            if (where == station) continue;
            char notice[512];
            std::snprintf(notice, sizeof notice, "请注意：客户号%s已在%s登录！",
                          market::feed::WithoutLeadingZeros(khh).c_str(), where.c_str());
            host_.SetNoticeText(notice);
            PostCommand(PostTarget::Frame, kCommandShowNotice, 0);
            break;
        }
    }
    return true;
}

void PostToTarget(PostTarget target, HWND frameWindow, uint32_t message, uintptr_t wParam,
                  intptr_t lParam) {
    // The window handles were taken on the user-interface thread; a handle whose window is
    // gone makes PostMessage fail, never touch freed memory.
    HWND hwnd = 0;
    switch (target) {
        case PostTarget::Frame:
            hwnd = frameWindow;
            break;
        case PostTarget::Workspace:
            hwnd = GetWorkspaceWindow();
            break;
        case PostTarget::QuoteBoard:
            hwnd = tradedata::GetQuoteBoardWindow();
            break;
    }
    if (hwnd != 0)
        PostMessage(hwnd, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

namespace {

class FrameHost final : public FrameWorkerHost {
public:
    explicit FrameHost(CMainFrame& frame) : frame_(frame), frameWindow_(frame.GetSafeHwnd()) {}
    std::atomic<uint32_t>& StateWord() override { return frame_.FrameStateWord(); }
    std::atomic<uint32_t>& RequestWord() override { return frame_.WorkerRequestWord(); }
    void Post(PostTarget target, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        PostToTarget(target, frameWindow_, message, wParam, lParam);
    }
    void SetNoticeText(std::string text) override { frame_.SetNoticeText(std::move(text)); }
    NoltComm::CFixApiClient* TradingConnection() override {
        return tradedata::GetTradingConnection();
    }
    NoltComm::CFixApiClient* PushConnection() override { return frame_.PushConnection(); }

private:
    CMainFrame& frame_;
    HWND frameWindow_;
};

// Owns its host, so the host outlives the thread that uses it (Stop runs in the destructor).
// The quote feeds are the frame's: the worker opens, restores and subscribes them.
class CMainFrameWorker final : public CFrameWorker {
public:
    CMainFrameWorker(CMainFrame& frame, std::unique_ptr<FrameHost> host)
        : CFrameWorker(*host), frame_(frame), host_(std::move(host)) {}
    ~CMainFrameWorker() override { Stop(); }

protected:
    void OpenMulticastFeed() override { frame_.OpenMulticastFeed(); }
    void ConnectLevel2() override { frame_.ConnectLevel2Server(); }
    bool ReopenLostFeeds() override { return frame_.RestoreQuoteFeeds(); }
    bool SubscribeQuotes() override { return frame_.SubscribeQuotes(); }
    bool PushSubscriptionsPending() override { return frame_.PushSubscriptionsPending(); }
    bool RunPendingSubscriptions() override { return frame_.RunPendingSubscriptions(); }
    void ConnectQuoteSources() override { frame_.ConnectQuoteSources(); }

private:
    CMainFrame& frame_;
    std::unique_ptr<FrameHost> host_;
};

}  // namespace

std::unique_ptr<CWorkerThread> MakeFrameWorker(CMainFrame& frame) {
    return std::make_unique<CMainFrameWorker>(frame, std::make_unique<FrameHost>(frame));
}

}  // namespace shell
