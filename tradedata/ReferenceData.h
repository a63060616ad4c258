// The reference data of the trading day: exchanges, products, futures contracts with their first
// quote, exchange combinations and their legs, option contracts and their underlyings, price
// sources and banks, the daily cache files that spare the rarely changing lists, and the quote
// refresh of one contract.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "record/FixRecord.h"
#include "tradedata/ContractLookup.h"

namespace NoltComm {
class CFixApiClient;
}

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

// The daily cache files of the user directory.
inline constexpr const char* kCombinationCodeCacheFile = "JYSTLDM.dat";
inline constexpr const char* kCombinationLegCacheFile = "JYSTLHY.dat";
inline constexpr const char* kOptionCacheFile = "OPTIONS.dat";

// FLAGS (644) bits of contract rows used here.
inline constexpr int32_t kFlagQuoteLoaded = 0x1;
inline constexpr int32_t kFlagSubscriptionMarks = 0xff00;
inline constexpr int32_t kFlagCombinationQuoteList = 0x400;
inline constexpr int32_t kFlagUnderlyingList = 0x4000;

// Layouts of the tables whose columns this loader fixes.
extern const tagFIXHEADERINFO kCombinationCodeLayout[];  // code, by-legs, by-first/second-leg
const tagFIXHEADERINFO* UnderlyingLayout();

// The synchronised clock's calendar date as "%Y%m%d" (not the trading date): what the cache
// files are stamped with and compared against.
std::string GetCacheDateText();
// Empties the three cache files (the login's fresh start).
void ClearReferenceCacheFiles();

// Each loader builds its tables aside and swaps them in whole; a request that brings no
// complete answer leaves the tables (and the cache files) as they were. True when replaced.
bool LoadExchanges(TradeConnection* connection);
bool LoadProducts(TradeConnection* connection);
// The futures contracts with their first quote (one quote request per contract). The table is
// replaced only when the contract list was answered with at least one contract.
bool GetJysHydm(TradeConnection* connection);
bool LoadPriceSources(TradeConnection* connection);
bool LoadBanks(TradeConnection* connection);

// Refreshes the quote of the contract (futures 719, combination 1060, option 9100, underlying
// 719); an underlying that names another underlying row in 1566 refreshes that one and both
// get the flag. FLAGS bit 0x1 is set even when the refresh failed, so the row is not retried.
// True when any answer row had 507 > 0.
bool RefreshContractQuote(TradeConnection* connection, RowRef ref);
bool RefreshFuturesQuote(TradeConnection* connection, int row);
bool RefreshCombinationQuote(TradeConnection* connection, int row);
bool RefreshOptionQuote(TradeConnection* connection, int row);
bool RefreshUnderlyingQuote(TradeConnection* connection, int row);
// The worker's idle pass: the first row with a subscription mark and no quote yet (futures,
// combinations, options, then underlyings of kind 3). Its reference, or -1 when none.
RowRef FindPendingQuoteRow();

// The exchange combinations, with the cached lists of "JYSTLDM.dat" and "JYSTLHY.dat" brought
// up to date by the server's changes since their date (useCache), or loaded whole.
bool LoadExchangeCombinations(TradeConnection* connection, bool useCache);
// The option contracts, with "OPTIONS.dat" likewise, and the underlyings built from them.
bool LoadOptionContracts(TradeConnection* connection, bool useCache);
// Re-reads one row of OptionContractTable from the server; true when it was answered.
bool LoadOptionRow(TradeConnection* connection, int row);
// The options of one underlying, inserted or updated in OptionContractTable; true when any came.
bool LoadUnderlyingOptions(TradeConnection* connection, const std::string& underlying);
// Loads them when a row of the underlying has no quote yet; false when nothing was loaded.
bool EnsureUnderlyingOptions(TradeConnection* connection, const std::string& underlying);

// Marks the contracts that the combination quote list uses and gives its rows the legs' codes,
// previous settlements and price decimals.
void FlagCombinationQuoteContracts();

// True when the code is at least 3 characters long and ends in "efp".
bool IsEfpContract(const char* code);

// Packed row text (item 1777): comma-separated items assigned by position to `tags`; an empty
// item leaves its field unset, items are cut to 255 bytes and the text to 4095. The item at
// `keyItem` (the row's key) is returned, empty when missing.
std::string ApplyPackedText(CFixRecord& table, int row, std::string_view text,
                            std::span<const int32_t> tags, std::size_t keyItem);
std::string PackedKey(std::string_view text, std::size_t keyItem);
// The item lists of the packed answers.
std::span<const int32_t> PackedContractTags();
std::span<const int32_t> PackedCombinationTags();
std::span<const int32_t> PackedOptionTags();

}  // namespace tradedata
