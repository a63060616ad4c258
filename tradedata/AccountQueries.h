// The account queries to the trading server (information, trading codes, funds, bank accounts,
// status, link number, linked clients, trading groups), the requests that carry an account
// (identity fields, notices, logout) and the settlement statement of the account data file.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {
class CFixApiClient;
class CTradeRequest;
}  // namespace NoltComm

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

// FLAG bits of the once-per-login queries.
inline constexpr int32_t kFlagTradingCodes = 1 << 16;
inline constexpr int32_t kFlagFunds = 1 << 17;
inline constexpr int32_t kFlagBillFetched = 1 << 18;
inline constexpr int32_t kFlagBankAccounts = 1 << 19;
inline constexpr int32_t kFlagLinkNumber = 1 << 20;
inline constexpr int32_t kFlagNotices = 1 << 22;

// The global trading connection (QueryAccountStatus uses it).
void SetTradingConnection(TradeConnection* connection);
TradeConnection* GetTradingConnection();
// Texts the account-information query and the login notice send: the program version (3072),
// the machine description (1062, sent while client settings bit 256 is on) and the terminal
// information of the login notice.
void SetAccountQueryTexts(std::string versionText, std::string machineDescription,
                          std::string terminalInfo);
// The machine description given there, else this machine's own (GetMachineInfo); other
// requests that identify the machine send it too.
std::string GetMachineDescription();

// KHH 605, the row's trade password 598 and 781 = 2; only KHH without a row. Row or -1.
int FillAccountFields(NoltComm::CTradeRequest& request, const std::string& khh);
// One-way notice 16406 of the row (the current account for a negative row).
bool PublishAccountNotice(TradeConnection* connection, int32_t type, int32_t flag,
                          const std::string& text, int row);
// Sends the logout (16338, 1 s) when the row announced its login, then removes its rows.
bool LogoutAccount(TradeConnection* connection, int row);

// Each query reports whether an answer came. An answer replaces the rows it answers for under
// the table's exclusive lock; a request that failed or timed out leaves the tables as they
// were and the guarding FLAG bit unset, and the query is tried again after a growing pause.
bool QueryTradingCodes(TradeConnection* connection, const std::string& khh);
bool QueryFunds(TradeConnection* connection, const std::string& khh);
// Rows appended, or -1 when no answer came.
int QueryBankAccounts(TradeConnection* connection, int row);
// The customer state 614 (non-zero = abnormal); -1 when no answer came.
int32_t QueryAccountStatus(int row);
// The link number; -1 when no answer came.
int32_t QueryAccountLinkNumber(TradeConnection* connection, int row);
bool QueryLinkedClients(TradeConnection* connection, int row);
bool QueryTradingGroups(TradeConnection* connection, int32_t link);
// The first query of an account after login and its once-only follow-ups; true when it did
// work.
bool QueryAccountInfo(TradeConnection* connection, int row);
// The current account's settlement statement for a date ("2026.12.09" or "20261209"; empty =
// its settlement date JSDRQ): the text the frame's worker fetched, else the copy kept in the
// account's data file, else asked of the server (and kept when the date is a plausible one).
// Empty when there is none.
std::string LoadSettlementBill(TradeConnection* connection, const std::string& date);
// QueryFunds for every active account whose NOTIFY has value 16; true when any was answered.
bool RefreshNotifiedFunds(TradeConnection* connection);
// Whether a query that failed for lack of an answer may be tried again now (by customer and
// function number); QueryAccountInfo checks it itself, the frame's worker checks it before
// it runs QueryBankAccounts or QueryLinkedClients again.
bool IsQueryRetryDue(const std::string& khh, int32_t function);
// Forgets every back-off (a new session).
void ResetQueryRetries();

}  // namespace tradedata
