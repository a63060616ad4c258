// The notice list and the information message list with their workplace events, today's stored
// notices of a customer, and the query of an account's login binding.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {
class CFixApiClient;
}

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

// The information message list is emptied when it reaches this many rows.
inline constexpr int kMaxMessageRows = 1024;
// Key offset of a day's notices in a customer's data file (yyyymmdd + offset).
inline constexpr int32_t kNoticeDayOffset = 10'000'000;
// FLAG (739) bits of the login binding.
inline constexpr int32_t kFlagLoginBound = 0x1000;
inline constexpr int32_t kFlagBindingEmpty = 0x2000;

// Appends a notice (time text "date time", "hh:mm:ss" or null; kind null = "系统通知"), posts
// WM_FRAME_EVENT 4 with its row; returns the row count after the append.
int32_t AddNotice(const std::string& khh, const std::string& content, int32_t serial,
                  const char* timeText, const char* kind);
// Appends a message (time null or empty = now), posts WM_FRAME_EVENT 1; returns its row.
int32_t AppendInfoMessage(const std::string& kind, const std::string& text, const char* timeText);
// Once per login of the account (-1 = current): appends today's stored notices. Returns the
// number appended.
int LoadTodayNotices(int accountRow);
// Function 16665: refreshes FLAG bits 0x1000 and 0x2000 of the account (-1 = current). True
// when an answer row was taken.
bool QueryLoginBinding(TradeConnection* connection, int accountRow);

}  // namespace tradedata
