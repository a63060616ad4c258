// The funds and positions panel's row rules, free of windows: the summary rows by product,
// direction and currency, the cell texts of the position grids and the expiry marks.
#pragma once

#include <string>

#include "record/FixRecord.h"

namespace views {

// Grouping of the summary rows (view flags 4 and 8 of the panel).
struct SummaryGrouping {
    bool byProduct = false;
    bool byDirection = false;
    bool detailMode = false;  // the summed fields of the detail layout
};

// Removes the target's old summary rows (direction 683 == 0) and appends new ones: one per
// group of the grouping, and, when the rows are in more than one currency, one total per
// client and currency. Writes each position row's product code (720) from its contract.
// Running it twice gives the same rows.
void BuildSummaryRows(CFixRecord& target, const SummaryGrouping& grouping);

// Cell text of a position grid; false for the grid's own text. Summary rows show only the
// summed columns and their labels.
bool FormatPositionCell(CFixRecord& table, int row, int field, bool detailMode, std::string& text);

// Prefixes the names of option rows expiring on the trading date ("%Y.%m.%d") with
// "[到期]", and of those expiring in its month with "[本月到期]".
void MarkExpiringOptions(CFixRecord& options, const std::string& tradingDate);

}  // namespace views
