// Account queries over the request wrapper: answers are built aside and swapped in under the
// table's exclusive lock, and a query that got no answer is retried after a growing pause.
#include "tradedata/AccountQueries.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

#include "comm/FixApiClient.h"
#include "comm/FixPacket.h"
#include "comm/FixRequest.h"
#include "comm/MachineInfo.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/RandomMassFile.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TradeRequest.h"
#include "tradedata/TradingHelpers.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

constexpr unsigned kKhh = 605, kFlag = 739;
constexpr int32_t kFunctionTradingCodes = 16106;
constexpr int32_t kFunctionFunds = 16108;
constexpr int32_t kFunctionBankAccounts = 12549;
constexpr int32_t kFunctionStatus = 14011;
constexpr int32_t kFunctionLinkNumber = 16425;
constexpr int32_t kFunctionLinkedClients = 16429;
constexpr int32_t kFunctionGroups = 16433;
constexpr int32_t kFunctionGroupMembers = 16437;
constexpr int32_t kFunctionAccountInfo = 16468;
constexpr int32_t kFunctionNotice = 16406;
constexpr int32_t kFunctionLogout = 16338;

std::atomic<TradeConnection*> g_connection{nullptr};

std::mutex g_textMutex;
std::string g_versionText, g_machineDescription, g_terminalInfo;

// Back-off of queries that got no answer, per customer and function.
struct Retry {
    int64_t due = 0;
    int64_t pause = 0;
};
std::mutex g_retryMutex;
std::map<std::pair<std::string, int32_t>, Retry> g_retries;
constexpr int64_t kFirstPause = 1000;
constexpr int64_t kLongestPause = 60000;

void NoteFailure(const std::string& khh, int32_t function) {
    const int64_t now = GetHighResTickCount();
    std::lock_guard lock(g_retryMutex);
    Retry& r = g_retries[{khh, function}];
    r.pause = r.pause == 0 ? kFirstPause : std::min(r.pause * 2, kLongestPause);
    r.due = now + r.pause;
}

void NoteAnswer(const std::string& khh, int32_t function) {
    std::lock_guard lock(g_retryMutex);
    g_retries.erase({khh, function});
}

std::string KhhOf(int row) { return AccountTable.Get(kKhh, row); }

int ResolveRow(int row) { return row < 0 ? GetCurrentAccountIndex() : row; }

// A request with the function and the account fields of the customer.
std::unique_ptr<CTradeRequest> AccountRequest(TradeConnection* connection, int32_t function,
                                              const std::string& khh) {
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(function);
    FillAccountFields(*request, khh);
    return request;
}

// Sends and walks the answer rows; `row` sees each row with its 507. True when any row came
// (an answer, good or bad); false when the request failed, timed out or the link dropped.
template <typename OnRow>
bool SendAndWalk(CTradeRequest& request, OnRow onRow) {
    if (!request.Send()) return false;
    while (request.NextRow()) onRow(request.GetLong(507));
    return request.IsAnswered();
}

// The row still names the customer (the table may have been rebuilt meanwhile).
bool SameAccount(int row, const std::string& khh) {
    return row >= 0 && row < AccountTable.GetCount() && KhhOf(row) == khh;
}

void SetFlagIfSame(int row, const std::string& khh, int32_t bits) {
    AccountTable.acquireLockExclusive();
    if (SameAccount(row, khh)) SetAccountFlag(bits, row);
    AccountTable.releaseLockExclusive();
}

}  // namespace

void SetTradingConnection(TradeConnection* connection) { g_connection.store(connection); }
TradeConnection* GetTradingConnection() { return g_connection.load(); }

void SetAccountQueryTexts(std::string versionText, std::string machineDescription,
                          std::string terminalInfo) {
    std::lock_guard lock(g_textMutex);
    g_versionText = std::move(versionText);
    g_machineDescription = std::move(machineDescription);
    g_terminalInfo = std::move(terminalInfo);
}

std::string GetMachineDescription() {
    {
        std::lock_guard lock(g_textMutex);
        if (!g_machineDescription.empty()) return g_machineDescription;
    }
    return NoltComm::GetMachineInfo();
}

bool IsQueryRetryDue(const std::string& khh, int32_t function) {
    const int64_t now = GetHighResTickCount();
    std::lock_guard lock(g_retryMutex);
    auto it = g_retries.find({khh, function});
    return it == g_retries.end() || now >= it->second.due;
}

void ResetQueryRetries() {
    std::lock_guard lock(g_retryMutex);
    g_retries.clear();
}

int FillAccountFields(CTradeRequest& request, const std::string& khh) {
    const int row = FindAccount(khh, 0);
    request.SetString(605, khh);
    if (row >= 0) {
        request.SetBytes(598, ScrambledTradePassword(row));
        request.SetLong(781, 2);
    }
    return row;
}

bool PublishAccountNotice(TradeConnection* connection, int32_t type, int32_t flag,
                          const std::string& text, int row) {
    if (connection == nullptr) return false;
    row = ResolveRow(row);
    const SystemTime t = FileTimeToSystemTime(LocalFileTimeNow());
    char when[32];
    std::snprintf(when, sizeof when, "%04d.%02d.%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    NoltComm::CFixRequest* request = connection->CreateRequest();
    if (request == nullptr) return false;
    request->BeginRequest(kFunctionNotice);
    request->AddField(605, KhhOf(row));
    request->AddLongField(1332, type);
    request->AddField(1777, text);
    request->AddLongField(7153, flag);
    request->AddField(1219, when);
    request->SetKind(NoltComm::kKindOneWay);
    const bool sent = request->Send();
    request->Release();
    return sent;
}

bool LogoutAccount(TradeConnection* connection, int row) {
    row = ResolveRow(row);
    if (row < 0 || row >= AccountTable.GetCount()) return false;
    bool result = false;
    if (TestAccountFlag(kFlagLoginNotice, row)) {
        auto request = CTradeRequest::Create(connection);
        request->SetFunction(kFunctionLogout);
        request->SetString(605, KhhOf(row));
        request->SetLong(7153, 1);
        request->SetTimeout(1);
        if (request->Send()) request->NextRow();
        result = true;
    }
    RemoveLoggedOutAccount(row);
    return result;
}

bool QueryTradingCodes(TradeConnection* connection, const std::string& khh) {
    CFixRecord fresh;
    fresh.Create(kTradingCodeLayout);
    bool refused = false;
    int counted = 0;
    auto request = AccountRequest(connection, kFunctionTradingCodes, khh);
    const bool answered = SendAndWalk(*request, [&](int32_t code) {
        if (code < 0) {
            refused = true;
            return;
        }
        const int r = request->AppendRowTo(&fresh, true);
        fresh.Set(kKhh, khh, r);
        ++counted;
    });
    if (!answered) {
        NoteFailure(khh, kFunctionTradingCodes);
        return false;
    }
    NoteAnswer(khh, kFunctionTradingCodes);
    // A refusal alone is final but keeps the codes the customer had; an empty list empties them.
    if (counted > 0 || !refused || TradingCodeTable.GetFCount() == 0) {
        RebuildTable(
            TradingCodeTable, kTradingCodeLayout,
            [&](CFixRecord& t, int r) { return t.Get(kKhh, r) != khh; }, &fresh);
    }
    return true;
}

bool QueryFunds(TradeConnection* connection, const std::string& khh) {
    if (FundsTable.GetFCount() == 0) FundsTable.Create(kFundsLayout);
    auto request = AccountRequest(connection, kFunctionFunds, khh);
    request->SetLong(739, 1);
    CMemRecord* mem = FundsTable.GetMemRecord();
    const bool answered = SendAndWalk(*request, [&](int32_t code) {
        if (code < 0) return;
        const std::string key = request->GetString(716) + "|" + request->GetString(511);
        FundsTable.acquireLockExclusive();
        const int r = mem->InsertKey(FundsTable.FindIndex(763), key.c_str(), true);
        if (r >= 0) {
            request->CopyRowTo(&FundsTable, r);
            FundsTable.Set(763, key, r);
            FundsTable.Set(kKhh, khh, r);
        }
        FundsTable.releaseLockExclusive();
    });
    if (answered)
        NoteAnswer(khh, kFunctionFunds);
    else
        NoteFailure(khh, kFunctionFunds);
    return answered;
}

int QueryBankAccounts(TradeConnection* connection, int row) {
    row = ResolveRow(row);
    if (row < 0) return -1;
    const std::string khh = KhhOf(row);
    CFixRecord fresh;
    fresh.Create(kBankAccountLayout);
    int appended = 0;
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionBankAccounts);
    request->SetString(605, khh);
    const bool answered = SendAndWalk(*request, [&](int32_t code) {
        if (code < 0) return;
        const int r = request->AppendRowTo(&fresh, true);
        fresh.Set(kKhh, khh, r);
        fresh.Set(514, GetCurrencyName(fresh.Get(511, r)), r);
        const int bank = BankTable.Find(692, fresh.Get(692, r).c_str());
        if (bank >= 0 && BankTable.FindIndex(908) >= 0) fresh.Set(908, BankTable.Get(908, bank), r);
        ++appended;
    });
    if (!answered) {
        NoteFailure(khh, kFunctionBankAccounts);
        return -1;
    }
    NoteAnswer(khh, kFunctionBankAccounts);
    if (appended > 0 || BankAccountTable.GetFCount() == 0) {
        RebuildTable(
            BankAccountTable, kBankAccountLayout,
            [&](CFixRecord& t, int r) { return t.Get(kKhh, r) != khh; }, &fresh);
    }
    SetFlagIfSame(row, khh, kFlagBankAccounts);
    return appended;
}

int32_t QueryAccountStatus(int row) {
    row = ResolveRow(row);
    if (row < 0) return -1;
    const std::string khh = KhhOf(row);
    auto request = AccountRequest(GetTradingConnection(), kFunctionStatus, khh);
    if (!request->Send() || !request->NextRow()) return -1;
    // A refusal carries no status: reading its missing 614 as 0 would report "normal".
    if (request->GetLong(507) < 0) return -1;
    if (request->GetLong(507) > 0) {
        AccountTable.acquireLockExclusive();
        if (SameAccount(row, khh)) {
            AccountTable.Set(613, request->GetString(613), row);
            AccountTable.Set(570, request->GetLong(570), row);
        }
        AccountTable.releaseLockExclusive();
    }
    return request->GetLong(614);
}

int32_t QueryAccountLinkNumber(TradeConnection* connection, int row) {
    row = ResolveRow(row);
    if (row < 0) return -1;
    const std::string khh = KhhOf(row);
    auto request = AccountRequest(connection, kFunctionLinkNumber, khh);
    if (!request->Send() || !request->NextRow()) {
        NoteFailure(khh, kFunctionLinkNumber);
        return -1;
    }
    NoteAnswer(khh, kFunctionLinkNumber);
    const int32_t link = request->GetLong(710) == 0 ? request->GetLong(1837) : 0;
    AccountTable.acquireLockExclusive();
    if (SameAccount(row, khh)) {
        AccountTable.Set(1837, link, row);
        if (link < 1) RemoveAccountService(8, row);
        SetAccountFlag(kFlagLinkNumber, row);
    }
    AccountTable.releaseLockExclusive();
    return link;
}

bool QueryLinkedClients(TradeConnection* connection, int row) {
    row = ResolveRow(row);
    if (row < 0) return false;
    const std::string khh = KhhOf(row);
    if (!TestAccountFlag(kFlagLinkNumber, row) && QueryAccountLinkNumber(connection, row) < 0)
        return false;
    const int32_t link = AccountTable.GetLong(1837, row);
    if (LinkedClientTable.GetFCount() == 0) LinkedClientTable.Create(kLinkedClientLayout);
    if (TradingGroupTable.GetFCount() == 0) TradingGroupTable.Create(kTradingGroupLayout);
    if (link == 0) return true;
    CFixRecord fresh;
    fresh.Create(kLinkedClientLayout);
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionLinkedClients);
    request->SetLong(1837, link);
    const bool answered = SendAndWalk(*request, [&](int32_t code) {
        if (code < 0 || request->GetString(kKhh) == khh) return;
        const int r = request->AppendRowTo(&fresh, true);
        if (!request->HasField(1837)) fresh.Set(1837, link, r);
    });
    if (!answered) {
        NoteFailure(khh, kFunctionLinkedClients);
        return false;
    }
    NoteAnswer(khh, kFunctionLinkedClients);
    RebuildTable(
        LinkedClientTable, kLinkedClientLayout,
        [&](CFixRecord& t, int r) { return t.GetLong(1837, r) != link; }, &fresh);
    QueryTradingGroups(connection, link);
    return true;
}

bool QueryTradingGroups(TradeConnection* connection, int32_t link) {
    // Groups: error rows (507 present and negative) are not groups.
    CFixRecord groups;
    groups.Create(kTradingGroupLayout);
    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionGroups);
    request->SetLong(1837, link);
    const bool groupsAnswered = SendAndWalk(*request, [&](int32_t code) {
        if (code < 0 && request->HasField(507)) return;
        const int r = request->AppendRowTo(&groups, true);
        groups.Set(613, groups.GetLong(1840, r) == 2 ? "按总数下单" : "按基数下单", r);
    });
    if (groupsAnswered) ReplaceTableWhole(TradingGroupTable, groups);

    CFixRecord members;
    members.Create(kGroupMemberLayout);
    request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionGroupMembers);
    request->SetLong(1837, link);
    const bool membersAnswered = SendAndWalk(*request, [&](int32_t code) {
        if (code < 0 && request->HasField(507)) return;
        request->AppendRowTo(&members, true);
    });
    if (membersAnswered) ReplaceTableWhole(GroupMemberTable, members);
    return groupsAnswered && membersAnswered;
}

bool QueryAccountInfo(TradeConnection* connection, int row) {
    row = ResolveRow(row);
    if (row < 0 || row >= AccountTable.GetCount()) return false;
    const std::string khh = KhhOf(row);
    const int32_t category = AccountTable.GetLong(608, row);
    bool result = false;

    if (!TestAccountFlag(kFlagInfoAsked, row) && IsQueryRetryDue(khh, kFunctionAccountInfo)) {
        SetAccountFlag(kFlagInfoAsked, row);
        std::string version, machine;
        {
            std::lock_guard lock(g_textMutex);
            version = g_versionText;
            machine = g_machineDescription;
        }
        auto request = CTradeRequest::Create(connection);
        request->SetFunction(kFunctionAccountInfo);
        request->SetString(605, khh);
        request->SetBytes(598, ScrambledTradePassword(row));
        request->SetLong(781, 2);
        request->SetLong(7153, 1);
        if (shell::GetClientSettings() & 256) request->SetString(1062, machine);
        request->SetString(3072, version);
        if (request->Send() && request->NextRow()) {
            NoteAnswer(khh, kFunctionAccountInfo);
            AccountTable.acquireLockExclusive();
            if (SameAccount(row, khh) && request->GetLong(507) > 0) {
                for (unsigned tag : {697u, 613u, 1730u, 3001u, 1332u, 920u})
                    AccountTable.Set(tag, request->GetString(tag), row);
                for (unsigned tag : {570u, 1844u, 820u})
                    AccountTable.Set(tag, request->GetLong(tag), row);
                const std::string prompt = request->GetString(964);
                AccountTable.Set(964, prompt, row);
                if (!prompt.empty()) SetAccountFlag(1 << 14, row);
                const std::string settlement = request->GetString(1831);
                AccountTable.Set(1831, settlement, row);
                if (request->GetLong(9020) == 1 && request->GetString(1832) < settlement)
                    SetAccountFlag(kFlagBillPending, row);
                SetAccountFlag(kFlagActive, row);
            }
            AccountTable.releaseLockExclusive();
        } else {
            // No answer at all: ask again later instead of leaving the account inactive.
            ClearAccountFlag(kFlagInfoAsked, row);
            NoteFailure(khh, kFunctionAccountInfo);
        }
        result = true;
    }
    if (!SameAccount(row, khh) || !TestAccountFlag(kFlagActive, row)) return result;

    if (category == 1 && !TestAccountFlag(kFlagLoginNotice, row)) {
        std::string info;
        {
            std::lock_guard lock(g_textMutex);
            info = g_terminalInfo;
        }
        PublishAccountNotice(connection, 14, 1, info, row);
        SetAccountFlag(kFlagLoginNotice, row);
        result = true;
    }
    if (!TestAccountFlag(kFlagTradingCodes, row) && IsQueryRetryDue(khh, kFunctionTradingCodes)) {
        if (QueryTradingCodes(connection, khh)) SetFlagIfSame(row, khh, kFlagTradingCodes);
        result = true;
    }
    if (!TestAccountFlag(kFlagFunds, row) && IsQueryRetryDue(khh, kFunctionFunds)) {
        if (QueryFunds(connection, khh)) SetFlagIfSame(row, khh, kFlagFunds);
        result = true;
    }
    // Sets the notices bit itself, before it reads, so the notices are appended once a login.
    if (!TestAccountFlag(kFlagNotices, row)) LoadTodayNotices(row);
    return result;
}

std::string LoadSettlementBill(TradeConnection* connection, const std::string& date) {
    std::string khh, settlementDate;
    bool confirmationPending = false;
    AccountTable.acquireLockShared();
    const int row = GetCurrentAccountIndex();
    if (row >= 0 && row < AccountTable.GetCount()) {
        khh = AccountTable.Get(605, row);
        settlementDate = AccountTable.Get(1831, row);
        confirmationPending = (AccountTable.GetLong(739, row) & kFlagBillPending) != 0;
    }
    AccountTable.releaseLockShared();
    if (khh.empty()) return std::string();

    std::string asked = date.empty() ? settlementDate : date;
    asked.erase(std::remove(asked.begin(), asked.end(), '.'), asked.end());
    const int32_t number = platform::AtolSat(asked);
    // Only plausible dates name a record of the data file; anything else is asked anew.
    const bool keyed = number >= 20000101 && number <= 29991231;

    std::string text;
    if (asked == settlementDate) text = GetWorkerStatementText();
    CRandomMassFile file;
    const std::string path = GetAccountRmfPath(khh);
    file.SetFilename(path.c_str());
    // A statement still awaiting confirmation may change on the server: not read from disk.
    if (text.empty() && keyed &&
        (asked < settlementDate || (asked == settlementDate && !confirmationPending))) {
        text = platform::GbkToUtf8(file.ReadRandomMass(static_cast<uint32_t>(number)));
    }
    if (text.empty()) {
        text = QuerySettlementText(connection, khh, std::string(), asked);
        if (!text.empty() && keyed) {
            const std::string stored = platform::Utf8ToGbk(text);
            file.WriteRandomMass(static_cast<uint32_t>(number), stored.data(),
                                 static_cast<int32_t>(stored.size()));
        }
    }
    file.Close();
    return text;
}

bool RefreshNotifiedFunds(TradeConnection* connection) {
    std::vector<std::pair<int, std::string>> due;
    AccountTable.acquireLockShared();
    const int count = AccountTable.GetCount();
    for (int r = 0; r < count; ++r) {
        if ((AccountTable.GetLong(kFlag, r) & kFlagActive) != 0 &&
            (AccountTable.GetLong(9083, r) & kNotifyFunds) != 0)
            due.emplace_back(r, KhhOf(r));
    }
    AccountTable.releaseLockShared();
    bool any = false;
    for (const auto& [row, khh] : due) {
        ClearAccountNotify(kNotifyFunds, row);
        if (QueryFunds(connection, khh)) {
            any = true;
        } else {
            // Not answered: the refresh is still owed.
            AccountTable.acquireLockExclusive();
            if (SameAccount(row, khh)) SetAccountNotify(kNotifyFunds, row);
            AccountTable.releaseLockExclusive();
        }
    }
    return any;
}

}  // namespace tradedata
