// The rows of a positions view: single-contract positions and combination positions formed by
// pairing opposite positions in the two legs of an exchange combination contract.
#pragma once

class CFixRecord;

namespace tradedata {

// Builds `out` (summary layout, or detail layout in detail mode) from the position rows of
// `source`, pairing legs into combination rows and moving the paired quantities and pro-rated
// amounts from the leg rows; onlyWithNumber = false also pairs legs of different orders.
// Returns 1 when a combination row was formed, 0 when none, -1 when a leg ended with more paired
// than held quantity. Holds the exclusive locks of source, out and CombinationContractTable.
int BuildPositionView(CFixRecord& out, CFixRecord& source, bool detailMode, bool onlyWithNumber);

}  // namespace tradedata
