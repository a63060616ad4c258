// The order query view's paging and row rules, free of windows so the worker and the tests
// share them: one pass of the paged order query over several accounts with the trim to one
// page, the hide rules, the filter mask, the account list and the cell texts of the grids.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "record/FixRecord.h"

namespace NoltComm {
class CFixApiClient;
}

namespace views {

// The four hide boxes.
struct HideFlags {
    int32_t filled = 0;     // 1157 "HIDECJWT"
    int32_t cancelled = 0;  // 1162 "HIDECDWT"
    int32_t rejected = 0;   // 1310 "HIDEFDWT"
    int32_t extended = 1;   // 1311 "HIDEKZWT"
};

// 1 filled, 2 cancelled, 4 rejected, 8 extended: field 9020 of a full query.
uint32_t MakeFilterMask(const HideFlags& hide);

// Whether a row that a push changed leaves the view: state 3 with hide-rejected, or
// cancelled 886 >= 1 with hide-cancelled, or filled 528 >= quantity 684 with hide-filled.
bool IsHiddenOrder(const HideFlags& hide, int32_t state, int32_t quantity, int32_t filled,
                   int32_t cancelled);

// What merging a re-read order did to the shown rows.
enum class OrderMerge { Updated, Removed, NotFound };
// Copies row 0 of `fresh` over the shown row (and the all-orders copy's row) of the same order
// number, then deletes the shown row when a hide rule takes it. `row` gets the shown row.
OrderMerge MergeOrderRow(CFixRecord& shown, CFixRecord& all, CFixRecord& fresh,
                         const HideFlags& hide, int* row);

// Account -> continuation serial; 0 means the account has no further page.
using SerialMap = std::map<std::string, int32_t>;

// One pass of the order query: the inputs copied on the window's thread.
struct OrderPageJob {
    bool full = true;
    std::vector<std::string> accounts;
    int32_t pageSize = 20;
    uint32_t filterMask = 0;
    SerialMap serials;      // incremental: the map as it stands
    CFixRecord allRows;     // incremental: the all-orders copy as it stands (an owned copy)
    int32_t baseCount = 0;  // incremental: rows shown now
};

// What the pass hands back; the window replaces its records with it whole.
struct OrderPageResult {
    CFixRecord allRows;    // the all-orders copy
    CFixRecord shownRows;  // the trimmed page(s) to show
    SerialMap serials;
    int32_t moreSerial = 0;  // non-zero while some account has a further page
    std::string status;      // the last account's answer text
    bool missingDecimals = false;
};

// Runs the pass on the calling thread (the worker). Rows come newest first; several
// accounts' pages are merged on the serial 797 and trimmed to base + page size, the accounts
// whose rows were cut continuing from the cut row.
void RunOrderPage(NoltComm::CFixApiClient* connection, OrderPageJob& job, OrderPageResult& out);

// Trim of the merged rows to base + page size (the work record is `shown`, a copy of `all`):
// each cut row moves its account's continuation to its serial + 1.
void TrimToPage(CFixRecord& all, CFixRecord& shown, int32_t limit, SerialMap& serials,
                int32_t& moreSerial);

// Cell text of the order and side grids; false when the grid shows its own text.
bool FormatOrderCell(CFixRecord& table, int row, int field, std::string& text);

// An account of the selector: its account-table row and customer number.
struct AccountChoice {
    int row = -1;
    std::string khh;
    std::string caption;  // "%s %s" of the number without leading '0' and the name
};
// The current account and the logged-in accounts of kind 2 in its group (group > 0 only).
std::vector<AccountChoice> ListAccountChoices(bool* offerAll);
// The account list for a choice: -1 all (from `choices`), else the one number.
std::string JoinAccounts(const std::vector<AccountChoice>& choices, int index);
// Splits the list at ','.
std::vector<std::string> SplitAccounts(const std::string& list);

// Text colours of a trade or order cell (596 by 1718, 752 by 683) and of the merged
// positions (2044-2050 buy, 2051-2057 sell); CLR_INVALID for the default.
uint32_t OpenCloseDirectionTextColor(CFixRecord& table, int row, int field);
uint32_t MergedPositionTextColor(CFixRecord& table, int row, int field);

}  // namespace views
