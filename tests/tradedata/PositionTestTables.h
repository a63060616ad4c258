// Test support for the position tests: contract rows with quotes, combination contracts found by
// their legs, and position rows built from short field lists.
#pragma once

#include <string>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace tradedata::testing {

// Creates the contract tables (and the combination-by-legs index) empty.
inline void CreateContractTables() {
    FuturesContractTable.Create(kFuturesContractLayout);
    OptionContractTable.Create(kOptionContractLayout);
    CombinationContractTable.Create(kCombinationContractLayout);
    ProductTable.Create(kProductLayout);
    RateTable.Create(kRateLayout);
    const tagFIXHEADERINFO legs[] = {
        {763, "BROWINDEX", "C64", 0}, {1060, "ZHDM", "C64", 0}, {0, "", "", 0}};
    CombinationByLegsTable.Create(legs);
}

struct Quote {
    double last = 0, settlement = 0, units = 10, upper = 0, lower = 0;
};

inline int AddFutures(const std::string& code, const std::string& exchange, const Quote& q,
                      const std::string& product = "cu") {
    const int r = FuturesContractTable.GetMemRecord()->Append(nullptr, true);
    FuturesContractTable.Set(719, code, r);
    FuturesContractTable.Set(599, exchange, r);
    FuturesContractTable.Set(720, product, r);
    FuturesContractTable.Set(729, q.last, r);
    FuturesContractTable.Set(813, q.settlement, r);
    FuturesContractTable.Set(1752, q.units, r);
    FuturesContractTable.Set(706, q.upper, r);
    FuturesContractTable.Set(703, q.lower, r);
    return r;
}

// Sorts the futures table by code once the rows are in (lookups search it by code).
inline void SortFutures() {
    FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
}

inline int AddCombination(const std::string& code, const std::string& leg1,
                          const std::string& leg2) {
    const int r = AddRow(CombinationContractTable, {{1060, code}, {1392, leg1}, {1393, leg2}});
    AddRow(CombinationByLegsTable, {{763, leg1 + "&" + leg2}, {1060, code}});
    return r;
}

}  // namespace tradedata::testing
