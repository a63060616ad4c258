// Notices and information messages appended for the workplace, today's stored notices and the
// login-binding query.
#include "tradedata/Notices.h"

#include "platform/core/Encoding.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/RandomMassFile.h"
#include "record/StringHelpers.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Registries.h"
#include "tradedata/TradeRequest.h"
#include "tradedata/TradingHelpers.h"

namespace tradedata {

using NoltComm::CTradeRequest;

namespace {

constexpr int32_t kFunctionLoginBinding = 16665;
constexpr uintptr_t kEventMessage = 1;
constexpr uintptr_t kEventNotice = 4;

int ResolveAccountRow(int row) { return row < 0 ? GetCurrentAccountIndex() : row; }

}  // namespace

int32_t AddNotice(const std::string& khh, const std::string& content, int32_t serial,
                  const char* timeText, const char* kind) {
    const SystemTime now = GetCurrentSystemTime();
    const std::string nowDate = FormatDate(now, '.');
    const std::string nowTime = FormatTimeOfDay(now);
    std::string date = nowDate;
    std::string time = nowTime;
    if (timeText != nullptr && *timeText != '\0') {
        std::string given = timeText;
        pavlet::alltrim(given);
        const std::size_t blank = given.find(' ');
        const std::size_t colon = given.find(':');
        if (blank != std::string::npos && blank >= 1) {
            date = given.substr(0, blank);
            time = given.substr(blank + 1);
            pavlet::alltrim(time);
        } else if (colon != std::string::npos && colon >= 2) {
            time = given;
        }
    }
    NoticeTable.acquireLockExclusive();
    if (NoticeTable.GetFCount() == 0) NoticeTable.Create(kNoticeLayout);
    const int row = NoticeTable.GetMemRecord()->Append(nullptr, true);
    NoticeTable.Set(605, khh, row);
    NoticeTable.Set(797, serial, row);
    NoticeTable.Set(1777, content, row);
    NoticeTable.Set(1219, time, row);
    NoticeTable.Set(1410, date, row);
    NoticeTable.Set(1332, kind != nullptr && *kind != '\0' ? kind : "系统通知", row);
    NoticeTable.Set(651, nowDate, row);
    NoticeTable.Set(3203, nowTime, row);
    const int32_t count = NoticeTable.GetCount();
    NoticeTable.releaseLockExclusive();
    PostToWindow(GetWorkplaceWindow(), kWmFrameEvent, kEventNotice, row);
    return count;
}

int32_t AppendInfoMessage(const std::string& kind, const std::string& text, const char* timeText) {
    const std::string time = timeText != nullptr && *timeText != '\0'
                                 ? timeText
                                 : FormatTimeOfDay(GetCurrentSystemTime());
    MessageTable.acquireLockExclusive();
    if (MessageTable.GetFCount() == 0) MessageTable.Create(kMessageLayout);
    // Emptied whole rather than trimmed row by row: the views hold row indexes.
    if (MessageTable.GetCount() >= kMaxMessageRows) MessageTable.GetMemRecord()->Zap();
    const int row = MessageTable.GetMemRecord()->Append(nullptr, true);
    MessageTable.Set(1219, time, row);
    MessageTable.Set(596, kind, row);
    MessageTable.Set(508, text, row);
    MessageTable.releaseLockExclusive();
    PostToWindow(GetWorkplaceWindow(), kWmFrameEvent, kEventMessage, row);
    return row;
}

int LoadTodayNotices(int accountRow) {
    std::string khh;
    AccountTable.acquireLockExclusive();
    const int row = ResolveAccountRow(accountRow);
    if (row >= 0 && row < AccountTable.GetCount()) {
        const int32_t flag = AccountTable.GetLong(739, row);
        // Marked before the read, so a second call in the same login appends nothing.
        if ((flag & kFlagActive) != 0 && (flag & kFlagNotices) == 0) {
            AccountTable.Set(739, flag | kFlagNotices, row);
            khh = AccountTable.Get(605, row);
        }
    }
    AccountTable.releaseLockExclusive();
    if (khh.empty()) return 0;

    const SystemTime now = GetCurrentSystemTime();
    const int32_t key = now.year * 10000 + now.month * 100 + now.day + kNoticeDayOffset;
    CRandomMassFile file;
    const std::string path = GetAccountRmfPath(khh);
    file.SetFilename(path.c_str());
    const std::string text = platform::GbkToUtf8(file.ReadRandomMass(static_cast<uint32_t>(key)));
    file.Close();
    if (text.empty()) return 0;

    NoticeTable.acquireLockExclusive();
    if (NoticeTable.GetFCount() == 0) NoticeTable.Create(kNoticeLayout);
    const int first = NoticeTable.GetCount();
    const int appended = AppendFlexRows(NoticeTable, text);
    for (int r = first; r < first + appended; ++r) NoticeTable.Set(644, 3, r);
    NoticeTable.releaseLockExclusive();
    return appended;
}

bool QueryLoginBinding(TradeConnection* connection, int accountRow) {
    const int row = ResolveAccountRow(accountRow);
    if (row < 0 || row >= AccountTable.GetCount()) return false;
    const std::string khh = AccountTable.Get(605, row);
    const int32_t category = AccountTable.GetLong(608, row);

    auto request = CTradeRequest::Create(connection);
    request->SetFunction(kFunctionLoginBinding);
    request->SetString(605, khh);
    request->SetLong(3011, 0);
    request->SetLong(741, 2);
    if (!request->Send()) return false;
    bool taken = false;
    int32_t bits = 0;
    while (request->NextRow()) {
        if (request->GetLong(507) < 0) continue;
        taken = true;
        bits = 0;
        if (request->GetLong(741) & 0x2) {
            bits = kFlagLoginBound;
            if (request->GetString(1062).empty() &&
                (shell::GetClientSettings() & shell::kClientEmptyLoginBinding) != 0)
                bits |= kFlagBindingEmpty;
        }
    }
    if (!taken) return false;
    // The request ran without the lock; the account's row may have moved meanwhile.
    AccountTable.acquireLockExclusive();
    const int current = FindAccount(khh, category);
    if (current >= 0) {
        const int32_t flag = AccountTable.GetLong(739, current);
        AccountTable.Set(739, (flag & ~(kFlagLoginBound | kFlagBindingEmpty)) | bits, current);
    }
    AccountTable.releaseLockExclusive();
    return true;
}

}  // namespace tradedata
