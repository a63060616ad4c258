// The notice, login-elsewhere and option-instruction-result handlers.
#include "market/feed/NoticePushes.h"

#include <fmt/format.h>

#include <utility>

#include "platform/core/Numbers.h"
#include "record/StringHelpers.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/Registries.h"

namespace market::feed {
namespace {

constexpr uint32_t kTagText = 1777;
constexpr uint32_t kTagKind = 1332;
constexpr uint32_t kTagSerial = 797;
constexpr uint32_t kTagKhh = 605;
constexpr uint32_t kTagTime = 1219;
constexpr uint32_t kTagReverifyMode = 7153;
constexpr uint32_t kTagInstruction = 5001;
constexpr uint32_t kTagAction = 5002;
constexpr uint32_t kTagSetting = 5003;
constexpr uint32_t kTagResult = 1029;
constexpr uint32_t kTagError = 1030;

constexpr const char* kLoginNoticeKind = "登录提示";

enum class SuccessText : uint8_t { kWordDone, kRevoked, kSetDone };
enum class RefreshValue : uint8_t { kZero, kSetting };

// One row per instruction kind and action: the workspace refresh on success, the texts, and
// the trade-log line of a failed revocation.
struct OptionResultRow {
    int32_t kind;
    int32_t action;
    uint32_t refresh;
    RefreshValue refreshValue;
    SuccessText success;
    const char* failure;  // one or two %s: the word (when it leads) and the error text
    bool failureHasWord;
    const char* revokeLog;  // null: none
};
constexpr OptionResultRow kOptionResults[] = {
    {0, 1, kRefreshOptionHedge, RefreshValue::kZero, SuccessText::kWordDone, "{}失败,错误说明:{}",
     true, nullptr},
    {0, 2, kRefreshOptionHedge, RefreshValue::kZero, SuccessText::kRevoked, "撤销失败,错误说明:{}",
     false, "撤销期权对冲失败,错误说明:{}"},
    {1, 1, kRefreshExerciseHedge, RefreshValue::kSetting, SuccessText::kWordDone,
     "{}失败,错误说明:{}", true, nullptr},
    {1, 2, kRefreshExerciseHedge, RefreshValue::kSetting, SuccessText::kRevoked,
     "撤销失败,错误说明:{}", false, "撤销履约对冲失败,错误说明:{}"},
    {2, 1, kRefreshAutoExercise, RefreshValue::kZero, SuccessText::kSetDone, "设置失败,错误说明:{}",
     false, nullptr},
    {2, 2, kRefreshAutoExercise, RefreshValue::kZero, SuccessText::kRevoked, "撤销失败,错误说明:{}",
     false, nullptr},
};

const OptionResultRow* FindOptionResult(int32_t kind, int32_t action) {
    for (const OptionResultRow& row : kOptionResults)
        if (row.kind == kind && row.action == action) return &row;
    return nullptr;
}

bool IsCustomerNoticeKind(int32_t kind) {
    return (kind >= kNoticePlain && kind <= kNoticeReverify) || kind == kNoticeServiceItems;
}

// Marks the information-list row for the frame's pop-up, unless the list was emptied (or the
// row reused) since it was appended: then the flag would land on someone else's row.
bool MarkRowToShow(int row, const std::string& kind, const std::string& text) {
    CFixRecord& table = tradedata::MessageTable;
    table.acquireLockExclusive();
    const bool ours = row >= 0 && row < table.GetCount() && table.Get(596, row) == kind &&
                      table.Get(508, row) == text;
    if (ours) table.Set(644, kMessageRowToShow, row);
    table.releaseLockExclusive();
    return ours;
}

}  // namespace

std::string WithoutLeadingZeros(std::string_view khh) {
    const auto first = khh.find_first_not_of('0');
    return first == std::string_view::npos ? std::string() : std::string(khh.substr(first));
}

std::string OptionInstructionKindText(int32_t kind) {
    switch (kind) {
        case 0:
            return "期权对冲";
        case 1:
            return "履约对冲";
        case 2:
            return "自动行权";
        default:
            return {};
    }
}

CNoticePushHandler::CNoticePushHandler(PushSink& sink, Hooks hooks)
    : sink_(sink), hooks_(std::move(hooks)) {
    if (!hooks_.nodeAddress) hooks_.nodeAddress = [] { return shell::GetStationAddress(); };
    if (!hooks_.serviceItemsChanged) hooks_.serviceItemsChanged = [] {};
    hooks_.log = WithDefaults(std::move(hooks_.log));
}

void CNoticePushHandler::Ignore(const char* why, std::string_view khh) {
    counters_.ignored.fetch_add(1, std::memory_order_relaxed);
    if ((hooks_.log.logOptions() & kTraceConfirms) != 0)
        hooks_.log.trace(fmt::format("通知推送:{}\tkhh:{}", why, khh));
}

void CNoticePushHandler::OnSystemNotice(const PushFields& push) {
    counters_.handled.fetch_add(1, std::memory_order_relaxed);
    const std::string text(push.Get(kTagText));
    if (text.empty()) return Ignore("empty", {});
    tradedata::AddNotice(tradedata::GetMainKhh(), text, 0, nullptr, nullptr);
}

void CNoticePushHandler::OnLoginElsewhere(const PushFields& push) {
    counters_.handled.fetch_add(1, std::memory_order_relaxed);
    const int32_t kind = platform::AtolSat(push.Get(kTagKind));
    const std::string khh(push.Get(kTagKhh));
    const std::string text(push.Get(kTagText));
    std::string time(push.Get(kTagTime));
    pavlet::alltrim(time);
    if (!IsCustomerNoticeKind(kind)) return Ignore("kind", khh);
    const int row = khh.empty() ? -1 : tradedata::FindLoggedInAccount(khh, 0);
    if (row < 0) return Ignore("customer", khh);
    if (text.empty()) return Ignore("empty", khh);
    if (kind <= kNoticeForcedClose) {
        const std::string kindText = tradedata::GetNoticeKindText(kind);
        tradedata::AddNotice(khh, text, platform::AtolSat(push.Get(kTagSerial)),
                             time.empty() ? nullptr : time.c_str(), kindText.c_str());
        return;
    }
    // A login, re-verification or service change that came from this terminal is ours.
    if (text == hooks_.nodeAddress()) return Ignore("own node", khh);
    switch (kind) {
        case kNoticeLoginElsewhere:
            LoginElsewhere(khh, text, std::move(time));
            break;
        case kNoticeReverify: {
            const int32_t mode = platform::AtolSat(push.Get(kTagReverifyMode));
            if (mode != 0 && mode != 1) return Ignore("mode", khh);
            tradedata::SetAccountFlag(kAccountFlagReverify, row);
            sink_.Post(PushWindow::kFrame, tradedata::kWmFrameCommand, kCommandReverifyPassword,
                       row);
            break;
        }
        case kNoticeServiceItems:
            tradedata::SetAccountFlag(kAccountFlagServiceItems, row);
            hooks_.serviceItemsChanged();
            break;
        default:
            break;
    }
}

void CNoticePushHandler::LoginElsewhere(const std::string& khh, const std::string& text,
                                        std::string time) {
    if (const auto blank = time.find(' '); blank != std::string::npos)
        time = time.substr(blank + 1);
    const std::string message = fmt::format("{} {}在{}登录!", time, WithoutLeadingZeros(khh), text);
    const int row = tradedata::AppendInfoMessage(kLoginNoticeKind, message, time.c_str());
    if (MarkRowToShow(row, kLoginNoticeKind, message))
        sink_.Post(PushWindow::kFrame, tradedata::kWmFrameCommand, kCommandShowMessageRows, 0);
}

void CNoticePushHandler::OnOptionResult(const PushFields& push) {
    counters_.handled.fetch_add(1, std::memory_order_relaxed);
    const int32_t kind = platform::AtolSat(push.Get(kTagInstruction));
    const int32_t action = platform::AtolSat(push.Get(kTagAction));
    const OptionResultRow* row = FindOptionResult(kind, action);
    if (row == nullptr) return Ignore("instruction", {});
    const int32_t setting = platform::AtolSat(push.Get(kTagSetting));
    const std::string_view word = setting == 1 ? "设置" : "取消";
    const std::string error(push.Get(kTagError));
    std::string text;
    if (platform::AtolSat(push.Get(kTagResult)) == 0) {
        const intptr_t value = row->refreshValue == RefreshValue::kSetting ? setting : 0;
        sink_.Post(PushWindow::kWorkspace, tradedata::kWmFrameRefresh, row->refresh, value);
        switch (row->success) {
            case SuccessText::kWordDone:
                text = fmt::format("{}成功", word);
                break;
            case SuccessText::kRevoked:
                text = "撤销成功";
                break;
            case SuccessText::kSetDone:
                text = "设置成功";
                break;
        }
    } else {
        text = row->failureHasWord ? fmt::format(fmt::runtime(row->failure), word, error)
                                   : fmt::format(fmt::runtime(row->failure), error);
        if (row->revokeLog != nullptr && hooks_.log.logLevel() != 0)
            hooks_.log.tradeLog(fmt::format(fmt::runtime(row->revokeLog), error));
    }
    tradedata::AppendInfoMessage(OptionInstructionKindText(kind), text, nullptr);
}

}  // namespace market::feed
