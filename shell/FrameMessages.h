// The private messages between the main frame, its workspace, the worker and push threads,
// the panels and the view plug-ins: their numbers, codes and bits, the owned text a posted
// message carries, and the value checks the quote processing makes before it stores a number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/WinDefsMessages.h"
#include "tradedata/Registries.h"

namespace shell {

// ---- message numbers (the same numbers the trading data model posts by) ----
inline constexpr UINT WM_FRAME_REFRESH = tradedata::kWmFrameRefresh;  // WM_APP+1
inline constexpr UINT WM_FRAME_NOTICE = tradedata::kWmFrameEvent;     // WM_APP+2
inline constexpr UINT WM_FRAME_COMMAND = tradedata::kWmFrameCommand;  // WM_APP+3
inline constexpr UINT WM_FRAME_SERVICE = tradedata::kWmFrameService;  // WM_APP+16
static_assert(WM_FRAME_REFRESH == WM_APP + 1 && WM_FRAME_SERVICE == WM_APP + 16);

// ---- WM_FRAME_REFRESH: wParam bits of what changed, lParam the row or 0 ----
inline constexpr WPARAM kRefreshTradePushes = 0x4;  // subscribe the trade pushes again
inline constexpr WPARAM kRefreshMainAccount = 0x8;  // the main account became current
inline constexpr WPARAM kRefreshFunds = 0x10;
inline constexpr WPARAM kRefreshPositions = 0x20;
inline constexpr WPARAM kRefreshContracts = 0x40;
inline constexpr WPARAM kRefreshCombinationContracts = 0x80;
inline constexpr WPARAM kRefreshSettings = 0x100;
inline constexpr WPARAM kRefreshAccountStatus = 0x200;
inline constexpr WPARAM kRefreshStation = 0x3030;  // station text built (funds and positions too)
inline constexpr WPARAM kRefreshRow = 0x20000;     // one row changed; lParam the row

// ---- WM_FRAME_NOTICE: wParam low word the kind, high word the state; lParam the row ----
inline constexpr WPARAM kNoticeInfoRow = 1;
inline constexpr WPARAM kNoticeOrderConfirmation = 2;
inline constexpr WPARAM kNoticeTradeReturn = 3;
inline constexpr WPARAM kNoticeRow = 4;

// ---- WM_FRAME_COMMAND: wParam the code, lParam its argument ----
inline constexpr WPARAM kCommandLoaded = 1;  // lParam: the request bit served
inline constexpr WPARAM kCommandOnlineUpgrade = 2;
inline constexpr WPARAM kCommandSubscribeQuotes = 3;
inline constexpr WPARAM kCommandMarginWebLogin = 5;
inline constexpr WPARAM kCommandChangePassword = 7;
inline constexpr WPARAM kCommandReloadContracts = 8;
inline constexpr WPARAM kCommandReloadCombinationContracts = 9;
inline constexpr WPARAM kCommandQueryAccountStatus = 10;
inline constexpr WPARAM kCommandShowNotice = 11;
inline constexpr WPARAM kCommandShowMessages = 12;
inline constexpr WPARAM kCommandScreenLock = 13;
inline constexpr WPARAM kCommandReloadOptionContracts = 14;
inline constexpr WPARAM kCommandBankAccountsLoaded = 36;
inline constexpr WPARAM kCommandShowPage = 62;
inline constexpr WPARAM kCommandReverifyPassword = 63;
// lParam: the new contract's code as an owned text (PostFrameText). Whoever handles it takes
// it (TakeFrameText); a window that passes the message on posts a copy of its own.
inline constexpr WPARAM kCommandContractChanged = 73;
inline constexpr WPARAM kCommandStatusText = 79;
inline constexpr WPARAM kCommandStatusTextFlagged = 80;

// ---- WM_FRAME_SERVICE: wParam the service, lParam its argument ----
inline constexpr WPARAM kServiceQuery = 1;
inline constexpr WPARAM kServiceKeyForwarding = 3;  // lParam 0 suspends, other resumes
inline constexpr WPARAM kServiceAcceleratorTable = 4;
inline constexpr WPARAM kServiceNewRequest = 5;
inline constexpr WPARAM kServiceReleaseRequest = 6;
inline constexpr WPARAM kServiceLoginElsewhereCheck = 7;
inline constexpr WPARAM kServiceMessageBoxes = 8;

// lParam of kServiceQuery.
inline constexpr LPARAM kQueryConnection = 0;
inline constexpr LPARAM kQueryOrderWay = 1;
inline constexpr LPARAM kQueryTimeOffsetHigh = 2;
inline constexpr LPARAM kQueryTimeOffsetLow = 3;
inline constexpr LPARAM kQueryFundsParameter = 4;
inline constexpr LPARAM kQueryServerName = 5;
inline constexpr LPARAM kQueryCurrentAccountRow = 6;
inline constexpr LPARAM kQueryMainAccountRow = 7;
inline constexpr LPARAM kQueryStation = 8;
inline constexpr LPARAM kQueryStationToo = 9;
inline constexpr LPARAM kQueryFirstReferenceTable = 10;  // 10..19
inline constexpr LPARAM kQueryLastReferenceTable = 19;
inline constexpr LPARAM kQueryFirstAccountTable = 30;  // 30..41
inline constexpr LPARAM kQueryLastAccountTable = 41;
inline constexpr LPARAM kQueryAppStateFlags = 50;

// ---- worker request word: set by the frame, cleared by the worker once served ----
inline constexpr uint32_t kRequestContracts = 0x40;
inline constexpr uint32_t kRequestCombinationContracts = 0x80;
inline constexpr uint32_t kRequestAccountStatus = 0x200;
inline constexpr uint32_t kRequestOptionContracts = 0x800;
inline constexpr uint32_t kRequestCombinationCodes = 0x2000;

// ---- frame state word bits these messages and the worker use ----
inline constexpr uint32_t kFrameLoginElsewhereCheck = 0x1;
inline constexpr uint32_t kFrameQuoteSourcesConnected = 0x4;
inline constexpr uint32_t kFrameQuoteSubscriptionDue = 0x8;
inline constexpr uint32_t kFrameSnapshotsDue = 0x10;
inline constexpr uint32_t kFrameUpgradeCheckDone = 0x20;
inline constexpr uint32_t kFrameRevaluationDue = 0x80;
inline constexpr uint32_t kFrameCombinationContractsPending = 0x200;
inline constexpr uint32_t kFrameOptionContractsPending = 0x400;
inline constexpr uint32_t kFrameTradeCountersLoaded = 0x2000;
inline constexpr uint32_t kFrameMessageBoxes = 0x20000;
inline constexpr uint32_t kFrameLoginElsewhereDone = 0x40000;
inline constexpr uint32_t kFrameCombinationCodesPending = 0x80000;

// A posted message is read after its sender has moved on, so a text never travels as a
// pointer into the sender's memory: the message carries a copy that the receiver owns.
// PostFrameText posts `message` with `code` and a new copy of `text`; when the post fails the
// copy is freed here. The receiver takes it with TakeFrameText exactly once (null lParam:
// null). Any thread.
BOOL PostFrameText(HWND hwnd, UINT message, WPARAM code, std::string_view text);
// Lets the data model's helpers reach windows through the window layer: SendMessage, the
// visibility test and PostFrameText (their status texts). Start-up installs it.
void InstallWindowSender();
std::unique_ptr<std::string> TakeFrameText(LPARAM lParam);

// ---- value checks for numbers that arrive in quotes ----
// 0x7FFFFFFF stands for "no value".
inline constexpr int32_t kNoQuoteValue = 0x7FFFFFFF;
bool IsValidLong(int32_t value);
// Strictly between -16777215 and 16777215.
bool IsInFloatRange(double value);
// Strictly between -(2^53 - 1) and 2^53 - 1.
bool IsInDoubleRange(double value);

}  // namespace shell
