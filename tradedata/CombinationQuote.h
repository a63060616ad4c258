// The implied quote of exchange combination contracts, computed from the legs' books and merged
// with the combination's own book.
#pragma once

#include <cstdint>

namespace tradedata {

// The computed quote lives in a side store under a small lock of its own, so reading a
// combination's price needs only shared table locks: a caller that already holds the
// combination table's shared lock (a grid drawing its rows) can read prices without
// deadlocking. The rows' own fields 1905, 1907, 729, 638, 628, 813, 587, 706, 703, 707, 704,
// 2000, 2002, 1812, 1813 and 899 are written by UpdateCombinationQuote.

// True when `field` (after remapping) is one the implied quote supplies for reads.
bool IsImpliedQuoteField(uint32_t field);
// Recomputes the quote of the row when a leg or the combination is newer than the last
// computation, and gives the field's value. False when the row is not a two-leg combination
// whose legs are known (the caller then reads the row itself).
bool ReadImpliedQuote(int row, uint32_t field, double* value);
// Recomputes as above and writes the quote into the row under the combination table's
// exclusive lock. The caller must not hold a shared lock of the combination table.
void UpdateCombinationQuote(int row);
// Forgets every computed quote; the loader calls it after it replaced the combination table.
void ResetCombinationQuotes();
// Keeps the side store in step with a direct write of one of its fields into the row.
void NoteCombinationFieldWritten(int row, uint32_t field, double value);

}  // namespace tradedata
