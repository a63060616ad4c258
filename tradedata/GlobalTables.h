// The global record tables of the trading data (static objects that live for the whole
// process), their column layouts and the frame's table service by number.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "record/FixRecord.h"

class CMemRecord;

namespace tradedata {

// ---- account tables ----
extern CFixRecord AccountTable;          // service 30
extern CFixRecord TradingCodeTable;      // 31
extern CFixRecord FundsTable;            // 32
extern CFixRecord PositionSummaryTable;  // 33
extern CFixRecord PositionDetailTable;   // 34
extern CFixRecord BankAccountTable;      // 35
extern CFixRecord NoticeTable;           // 36
extern CFixRecord MessageTable;          // 37
extern CFixRecord LinkedClientTable;     // 38
extern CFixRecord TradingGroupTable;     // 39
extern CFixRecord GroupMemberTable;      // 40
extern CFixRecord PreplacedOrderTable;   // 41
extern CFixRecord CombinationQuoteListTable;
extern CFixRecord ContractParamTable;
extern CFixRecord CombinationPositionTable;

// ---- reference and market tables ----
extern CFixRecord ExchangeTable;             // 10
extern CFixRecord ProductTable;              // 11
extern CFixRecord CurrencyTable;             // 12
extern CFixRecord DictionaryTable;           // 13
extern CFixRecord FuturesContractTable;      // 14
extern CFixRecord PriceSourceTable;          // 15
extern CFixRecord BankTable;                 // 16
extern CFixRecord CombinationContractTable;  // 17
extern CFixRecord CombinationLegTable;       // 18
extern CFixRecord QuoteSubscriptionTable;    // 19
extern CFixRecord RateTable;
extern CFixRecord ClientMarginTable;
extern CFixRecord ExchangeRateTable;
extern CFixRecord OptionContractTable;
extern CFixRecord UnderlyingTable;
extern CFixRecord ExchangeCombinationCodeTable;
extern CFixRecord CombinationByLegsTable;
extern CFixRecord CombinationByFirstLegTable;
extern CFixRecord CombinationBySecondLegTable;
extern CFixRecord ProductPrefixTable;
extern CFixRecord TradeCardParamTable;
extern CFixRecord OptionCombinationTable;

// ---- order and trade tables ----
extern CFixRecord OrderTable;
extern CFixRecord TwoLegOrderTable;
extern CFixRecord TradeTable;
extern CFixRecord TradeDetailTable;
extern CFixRecord OrderCountTable;

// ---- layouts (each ends with an entry of id 0) ----
extern const tagFIXHEADERINFO kAccountLayout[];
extern const tagFIXHEADERINFO kTradingCodeLayout[];
extern const tagFIXHEADERINFO kFundsLayout[];
extern const tagFIXHEADERINFO kPositionSummaryLayout[];
extern const tagFIXHEADERINFO kPositionDetailLayout[];
extern const tagFIXHEADERINFO kBankAccountLayout[];
extern const tagFIXHEADERINFO kNoticeLayout[];
extern const tagFIXHEADERINFO kMessageLayout[];
extern const tagFIXHEADERINFO kLinkedClientLayout[];
extern const tagFIXHEADERINFO kTradingGroupLayout[];
extern const tagFIXHEADERINFO kGroupMemberLayout[];
extern const tagFIXHEADERINFO kPreplacedOrderLayout[];
extern const tagFIXHEADERINFO kCombinationQuoteListLayout[];
extern const tagFIXHEADERINFO kContractParamLayout[];
extern const tagFIXHEADERINFO kOptionCombinationLayout[];
extern const tagFIXHEADERINFO kExchangeLayout[];
extern const tagFIXHEADERINFO kProductLayout[];
extern const tagFIXHEADERINFO kCurrencyLayout[];
extern const tagFIXHEADERINFO kDictionaryLayout[];
extern const tagFIXHEADERINFO kPriceSourceLayout[];
extern const tagFIXHEADERINFO kBankLayout[];
extern const tagFIXHEADERINFO kCombinationLegLayout[];
extern const tagFIXHEADERINFO kQuoteSubscriptionLayout[];
extern const tagFIXHEADERINFO kRateLayout[];
extern const tagFIXHEADERINFO kClientMarginLayout[];
extern const tagFIXHEADERINFO kExchangeRateLayout[];
extern const tagFIXHEADERINFO kTradeCardParamLayout[];
extern const tagFIXHEADERINFO kOrderCountLayout[];
extern const tagFIXHEADERINFO kFuturesContractLayout[];  // the quote row
extern const tagFIXHEADERINFO kCombinationContractLayout[];
extern const tagFIXHEADERINFO kOptionContractLayout[];
extern const tagFIXHEADERINFO kOrderLayout[];
extern const tagFIXHEADERINFO kTwoLegOrderLayout[];
extern const tagFIXHEADERINFO kTradeLayout[];
extern const tagFIXHEADERINFO kTradeDetailLayout[];

// Number of columns of a layout (entries before the first id <= 0).
int LayoutColumnCount(const tagFIXHEADERINFO* layout);

// The frame's table service (wParam 1): the memory table of service number 10-19 or 30-41,
// owned by the global table and valid for the whole run; null for any other number.
CMemRecord* GetServiceTable(int32_t number);

// Gives the ten tables of the main frame their layouts (empty rows), in the frame's order.
void CreateFrameTables();

// Replaces the table's layout and rows with the source's under the table's exclusive lock,
// into the same memory table, so pointers handed out stay valid. A source without columns
// changes nothing.
void ReplaceTableWhole(CFixRecord& table, CFixRecord& source);

// Rebuilds the table under its exclusive lock: the layout given, then the rows for which keep
// (called with the table and a row) is true, then the rows of `additions` (matched by field
// tag). Readers on other threads see the old rows or the new ones, never a half-built table.
// Returns the number of rows removed.
int RebuildTable(CFixRecord& table, const tagFIXHEADERINFO* layout,
                 const std::function<bool(CFixRecord&, int)>& keep,
                 CFixRecord* additions = nullptr);

// 0 when no row's text field `tag` equals text, 1 when every row does (or the table is
// empty), 2 when some do.
int ClassifyRowsByValue(CFixRecord& table, unsigned tag, const std::string& text);
// Removes every row whose field `tag` equals text; a table left with no rows (or that had
// none) gets the layout. The rebuild is swapped in under the table's exclusive lock.
void RemoveRowsByValue(CFixRecord& table, const tagFIXHEADERINFO* layout, unsigned tag,
                       const std::string& text);

// The settlement statement of the current account that the frame's worker last fetched.
std::string GetWorkerStatementText();
void SetWorkerStatementText(std::string text);

}  // namespace tradedata
