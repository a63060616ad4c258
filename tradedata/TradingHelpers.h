// Helpers the order windows, views and panels share: the order-fill record and texts sent to the
// workplace, the window title, the trading-card quantities and spreads, the pre-placed order
// store, flex-record conversions of table rows, service items, two small server queries and
// parsing utilities.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tradedata/Registries.h"

class CFixRecord;

namespace NoltComm {
class CFixApiClient;
class CTradeRequest;
}  // namespace NoltComm

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

// ---- windows the helpers send to ----

inline constexpr uint32_t kWmCopyData = 0x004A;
inline constexpr uintptr_t kOrderFillDataId = 104;

// The window layer's synchronous SendMessage, its visibility test and a post that carries an
// owned copy of a text (the receiver takes the copy), set by the shell; until set, nothing is
// sent or posted and no window counts as visible.
struct WindowSender {
    std::function<intptr_t(WindowId, uint32_t, uintptr_t, intptr_t)> send;
    std::function<bool(WindowId)> isVisible;
    std::function<bool(WindowId, uint32_t, uintptr_t, std::string_view)> postText;
};
void SetWindowSender(WindowSender sender);

// The two designated windows of the workplace (0 = none), set and cleared by the workplace.
void SetQuickOrderWindow(WindowId window);
void SetOrderEntryWindow(WindowId window);
WindowId GetQuickOrderWindow();
WindowId GetOrderEntryWindow();
// The quote board's window (0 = none), set and cleared by the quote board.
void SetQuoteBoardWindow(WindowId window);
WindowId GetQuoteBoardWindow();

// The WM_COPYDATA record (field layout as the receivers read it).
struct CopyData {
    uintptr_t dwData;
    uint32_t cbData;
    const void* lpData;
};

// The 104-byte order-fill record: size, code (31 bytes at most, NUL-ended), kind, direction,
// quantity, price, price field tag and request kind, little-endian, all else zero.
using OrderFillRecord = std::array<uint8_t, 104>;
struct OrderFill {
    std::string code;
    int32_t openClose = 0;
    int32_t direction = 0;
    int32_t quantity = 0;
    double price = 0;
    int32_t priceField = 0;   // quote field giving the price instead (729 = last), 0 = price
    int32_t requestKind = 0;  // 1 contract only, 2 from an order, 3 from a quote click
};
OrderFillRecord BuildOrderFillRecord(const OrderFill& fill);
// Sends the record to the quick-order window when it is visible, else (with mayOpen) to the
// order-entry panel, first asking the workplace to show a hidden panel. The receiver's result,
// 0 when nothing was sent.
intptr_t SendOrderFillRequest(bool mayOpen, WindowId sender, const OrderFill& fill);
// WM_FRAME_COMMAND 80 (flag set) or 79 with the text to the workplace window, posted with an
// owned copy: worker threads report through it and must never wait for the user-interface
// thread (which may be waiting for them). 1 when posted.
intptr_t SendTextToMainWindow(const std::string& text, bool flag);

// ---- title, version, profiles ----

std::string GetProgramVersion();
std::string GetWindowTitle();
// True when the profile file has the section (names compared without ASCII case).
bool HasIniSection(std::string_view section, const std::string& file);
struct CodeAliases {
    std::string helpInfo;
    std::vector<std::string> aliases;  // the lines of section "CODE": "key=value" or item text
};
CodeAliases LoadCodeAliases();

// ---- trading-card parameters (section "JYKWTSL" of the private store) ----

void LoadTradeCardParams();
void SaveTradeCardParams();
// The open (847) or close (855) quantity of the contract's product and its spreads; 0 and
// zero spreads when not listed.
int32_t GetTradeCardParams(const std::string& contract, bool open, double* takeProfitSpread,
                           double* stopLossSpread);

// ---- pre-placed order store (section "YYWT" of the private store) ----

struct PreplacedOrder {
    std::string khh, exchange, contract, tradingCode;
    int32_t direction = 0, openClose = 0, quantity = 0;
    double price = 0;
    int32_t hedge = 0, orderType = 0;
};
// Written under the first empty key, with today's date and the time now; the key number.
int SavePreplacedOrder(const PreplacedOrder& order);

// The private store's profile file (the installation profile when no private file is named).
std::string PrivateProfileFile();

// ---- flex records of table rows (rows separated by character 5) ----

int AppendFlexRows(CFixRecord& table, std::string_view text);
std::string TableRowsToFlexText(CFixRecord& table, int first, int last);
void SplitAnswerFieldToRow(CFixRecord& table, int row, NoltComm::CTradeRequest& request,
                           int32_t answerTag, std::span<const unsigned> tags);

// ---- small utilities ----

// Years from now to 15:00:00 of the date ("YYYYMMDD", dots ignored); 0 for an invalid date.
double GetYearsToExpiry(std::string_view date);
int SplitByChars(std::string_view text, std::string_view separators, std::vector<std::string>& out);
// Year, month and day, then optionally hour, minute and second, split at "-/.: ".
bool ParseDateTime(std::string_view text, std::chrono::local_seconds& out);
std::string GetWeekdayName(int day);
// The input order of the order-entry fields from "QHWT"/"INPUTORDER".
std::vector<int32_t> LoadInputOrderSettings(std::span<const int32_t> allowed);
// Row of BankTable with that YHDM 692 and BZ 511; -1 when none.
int FindBankRow(const std::string& bank, const std::string& currency);

// ---- service items ----

struct ServiceItem {
    uint32_t bit = 0;
    std::string name;
    uint32_t flag = 0;  // read by the service-items window of the account services
};
// The table in its current order, without the end entry.
std::vector<ServiceItem> GetServiceItems();
// The entry with the bit, or the end entry (bit 0).
ServiceItem FindServiceItem(uint32_t bit);
// Moves the entries listed in "SYSTEM"/"ServiceOrder" to the front, in list order.
void ApplyServiceOrder();

// ---- requests ----

// Re-verification of a client's password (13002), given as typed and sent scrambled: the
// answer's 507, its text and client.
int32_t VerifyClientPassword(TradeConnection* connection, const std::string& khh,
                             const std::string& password, std::string* text,
                             std::string* clientOut);
// The settlement statement text (16169); empty when none came.
std::string QuerySettlementText(TradeConnection* connection, const std::string& khh,
                                const std::string& value618, const std::string& date);

}  // namespace tradedata
