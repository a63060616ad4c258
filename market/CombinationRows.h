// The rows of the user's combination-quote list as the quote board shows them: each row's
// spreads, volumes and settlement from its two legs, or its exchange combination's own quote.
#pragma once

class CFixRecord;

namespace market {

// Recomputes every row of the list (the combination-quote list layout) from the futures
// table; a price that needs a leg price of 0 is 0. The caller holds no lock of the tables.
void RefreshCombinationRows(CFixRecord& list);

}  // namespace market
