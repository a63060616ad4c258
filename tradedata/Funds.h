// The client's own recomputation of the funds rows between server queries: equity from the
// funds answer plus the revalued positions, available and withdrawable funds, the risk ratio.
#pragma once

#include <cstdint>
#include <string>

#include "tradedata/Rates.h"

class CFixRecord;

namespace tradedata {

// Available funds 619, withdrawable 617, pledge balance 2571 and tradable pledge 2572.
struct AvailableFunds {
    double available = 0;
    double withdrawable = 0;
    double pledgeBalance = 0;
    double pledgeTradable = 0;
};

// From the fields of the funds row with the funds-rule word F (823), the pledge-rule word G
// (9020) and the ratio k (873); the second form takes them as loaded at login.
AvailableFunds CalcAvailableFunds(CFixRecord& funds, int row, const CalculationParameters& rules);
AvailableFunds CalcAvailableFunds(CFixRecord& funds, int row);

double CalcRiskRatio(double margin, double equity);

// Recomputes every FundsTable row of the customer from the position rows of the same customer
// and currency, under FundsTable's exclusive lock (a funds answer inserting a row on another
// thread would otherwise shift the rows under the loop). True when a row was recomputed.
bool RecalcFunds(const std::string& khh, CFixRecord& positions);

// Row of FundsTable with that customer and currency (empty = "RMB"), -1 if none.
int FindFundsRow(const std::string& khh, const std::string& currency);
// Available funds 619 of that row; 0 when none.
double GetAvailableFunds(const std::string& khh, const std::string& currency);

}  // namespace tradedata
