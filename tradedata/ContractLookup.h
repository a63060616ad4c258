// Contract lookup by code over the four contract tables, contract row references and the typed
// accessors through them, typed-code expansion and the named contract lists of the settings.
#pragma once

#include <cstdint>
#include <string>

class CFixRecord;

namespace tradedata {

// Bits 0-19 the row; bit 20 a combination, bit 21 an option, bit 22 an option underlying,
// none of them a future; negative for none.
using RowRef = int32_t;
inline constexpr RowRef kRowMask = 0xFFFFF;
inline constexpr RowRef kCombinationRef = 0x100000;
inline constexpr RowRef kOptionRef = 0x200000;
inline constexpr RowRef kUnderlyingRef = 0x400000;

// Returned beside a RowRef; numbered differently from the bits.
enum ContractKind : int32_t {
    kFuturesKind = 0,
    kOptionKind = 1,
    kCombinationKind = 2,
    kUnderlyingKind = 3,
};

// ---- exact lookups (plain row or -1) ----
int FindFuturesContract(const char* code);
int FindCombinationContract(const char* code);
int FindOptionContract(const char* code);
int FindUnderlyingContract(const char* code);

// The first table that holds the code wins: futures, combination, option, underlying. The out
// values are null and 0 when the code is unknown.
RowRef FindContractEx(const char* code, CFixRecord** table, int32_t* kind);
RowRef FindContract(const char* code);
RowRef FindContractTable(const char* code, CFixRecord** table);
RowRef FindContractKind(const char* code, int32_t* kind);
// Plain row of the combination whose legs are leg1 and leg2 (also leg2 and leg1 unless
// exactOrder); negative when none.
int FindCombinationByLegs(const char* leg1, const char* leg2, bool exactOrder);
// For an option underlying that names a traded contract (XQDM 1566), that contract.
RowRef FindTradableContract(const char* code);

// ---- lookups that ignore ASCII letter case (scans in row order) ----
int FindFuturesContractNoCase(const char* code);
// Futures, then combination, then option rows; never an option underlying.
RowRef FindContractNoCase(const char* code);
// The typed text in the letter case of the first futures code that begins with it.
std::string MatchContractCase(const std::string& text);
// Turns typed text into a contract code (see the code-prefix index); true when recognised.
bool ExpandContractCode(std::string& text, std::string& code, std::string& product);

// ---- typed accessors (0, 0.0, empty or no write for a negative reference) ----
double GetRowDouble(uint32_t field, RowRef ref);
int32_t GetRowLong(uint32_t field, RowRef ref);
std::string GetRowString(uint32_t field, RowRef ref);
void SetRowLong(uint32_t field, int32_t value, RowRef ref);
void SetRowDouble(uint32_t field, double value, RowRef ref);
std::string GetRowContractCode(RowRef ref);
// The table a reference designates, or null for a negative reference.
CFixRecord* GetRowTable(RowRef ref);

// ---- contract lists (key "HYDM" of a private settings section) ----
std::string LoadContractList(const std::string& section);
bool AddToContractList(int futuresRow, const std::string& section, uint32_t bits);
bool RemoveFromContractList(int futuresRow, const std::string& section, uint32_t bits);

}  // namespace tradedata
