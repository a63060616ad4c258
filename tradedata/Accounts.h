// The logged-in and linked accounts: lookup, the FLAG/NOTIFY/UPDATE/FWXM bit fields, the
// current and main account, logout of an account's rows and the linked accounts kept in the
// main account's data file.
#pragma once

#include <cstdint>
#include <string>

namespace tradedata {

// FLAG (739) bits used by the account routines.
inline constexpr int32_t kFlagInfoAsked = 0x1;
inline constexpr int32_t kFlagActive = 0x2;
inline constexpr int32_t kFlagBillPending = 0x100;
inline constexpr int32_t kFlagLoginNotice = 0x400;
inline constexpr int32_t kFlagPositionsLoaded = 0x2000000;
// NOTIFY (9083) values.
inline constexpr int32_t kNotifyFunds = 16;
inline constexpr int32_t kNotifyPositions = 32;

// ---- lookup (row or -1) ----
int FindAccount(const std::string& khh, int32_t category);
int FindLoggedInAccount(const std::string& khh, int32_t category);
int32_t GetAccountCategory(int row);

// ---- bit fields: each read-modify-write is one step under AccountTable's exclusive lock.
// A negative row means the current account; for NOTIFY, UPDATE and FWXM so does a row at or
// beyond the row count. ----
void SetAccountFlag(int32_t bits, int row);
bool TestAccountFlag(int32_t bits, int row);
void ClearAccountFlag(int32_t bits, int row);
// Value 32 also clears FLAG bit 25, so positions count as not loaded until reloaded.
void SetAccountNotify(int32_t bits, int row);
void SetAccountNotifyByKhh(const std::string& khh, int32_t bits);
bool TestAccountNotify(int32_t bits, int row);
void ClearAccountNotify(int32_t bits, int row);
void SetAccountUpdate(int32_t bits, int row);
void SetAccountUpdateByKhh(const std::string& khh, int32_t bits);
bool TestAccountUpdate(int32_t bits, int row);
void ClearAccountUpdate(int32_t bits, int row);
void AddAccountService(int32_t bits, int row);
int32_t GetAccountServices(int row);
bool HasAccountService(int32_t bits, int row);
void RemoveAccountService(int32_t bits, int row);

// Value of the first "key,value" item of FJXX (922) whose key matches; -1 when none.
int32_t GetAccountExtraValue(const std::string& key, int row);

// Finds (khh, category) or appends it; writes each given (non-null) text. Returns the row.
// The trading password is kept as the text typed: the table holds only text GBK can carry,
// and its scrambled form is bytes, so it is scrambled where it leaves (ScrambledTradePassword).
int AddAccount(int32_t category, const std::string& khh, const char* yyb, const char* name,
               const char* tradePassword, const char* fundsPassword);
// The row's trading password as requests carry it (item 598): XorScrambleUtf8 of the text.
std::string ScrambledTradePassword(int row);

// ---- current and main account: kept by (KHH, KHLB), so a rebuild of AccountTable cannot
// make them name another customer; -1 once the account's row is gone. ----
void SetCurrentAccount(int row);
void SetLoginAccount(int row);
int SelectAccountByKhh(const std::string& khh);
int GetCurrentAccountIndex();
int GetMainAccountIndex();
std::string GetCurrentKhh();
std::string GetMainKhh();
// Forgets both (a new session).
void ResetAccountSelection();

// Steps of logging an account out that need no server: clears FLAG bits 1 and 10, removes the
// account's rows (KHH and KHLB) from AccountTable, and, when no active row of the customer is
// left, its trading codes and funds. A negative row means the current account.
void RemoveLoggedOutAccount(int row);

// The account's keyed data file.
std::string GetAccountRmfPath(const std::string& khh);

// Linked accounts (category 3) of the main account, one record per key 19000200-19000299 of
// its data file. Load returns the number added; Save the number written, or -1 when a write
// failed (later keys are then left as they were).
int LoadLinkedAccounts();
int SaveLinkedAccounts();

// Pads a text shorter than 12 characters on the left with '0' to 12.
void PadAccountNumber(std::string& text);

}  // namespace tradedata
