// Positions of the current account: the position queries, the summary by contract, side,
// trading code and hedge flag, revaluation against the live quotes, the look-ups that order
// entry uses, and the reload and revaluation steps of the frame's worker.
#pragma once

#include <cstdint>
#include <string>

#include "tradedata/AccountQueries.h"

class CFixRecord;

namespace tradedata {

// Optional filters of a position query: empty texts, side 0 and hedge -1 ask for everything.
struct PositionFilter {
    std::string contract;
    std::string exchange;
    std::string tradingCode;
    int32_t side = 0;    // sent when > 0
    int32_t hedge = -1;  // sent when >= 0
};

// Kinds of QueryPositions.
inline constexpr int32_t kPositionKindFutures = 1;
inline constexpr int32_t kPositionKindOptions = 2;

// Values of one side of a contract's position (0 where there is none).
struct PositionHolding {
    int32_t yesterday = 0;           // 853
    int32_t yesterdayAvailable = 0;  // 1860
    double yesterdayAverage = 0;     // 854
    int32_t today = 0;               // 845
    int32_t todayAvailable = 0;      // 1861
    double todayAverage = 0;         // 846
};

struct PositionSides {
    PositionHolding buy;
    PositionHolding sell;
};

// Contract mark of the contracts that have positions (they get quotes).
inline constexpr uint32_t kContractHasPosition = 512;
// Account FLAG bit: the positions answer had rows.
inline constexpr int32_t kFlagHasPositions = 1 << 24;

// Queries the customer's position details (functions 16154 and 16950) into `out` (detail
// layout), revalued. Returns out's row count, or -1 when a request got no answer: `out` then
// keeps its rows.
int QueryPositions(TradeConnection* connection, const std::string& khh, CFixRecord& out,
                   int32_t value739, int32_t value1740, int32_t kinds,
                   const PositionFilter& filter = {});
// Details queried afresh and summed into `out` (summary layout); false (out unchanged) when no
// answer came.
bool QueryPositionSummary(TradeConnection* connection, const std::string& khh, CFixRecord& out,
                          const PositionFilter& filter);

// One summary row per customer, exchange, contract, trading code, hedge flag and side; rows
// without quantity only when keepEmpty. Holds both tables' exclusive locks (details first).
void BuildPositionSummary(CFixRecord& summary, CFixRecord& detail, bool keepEmpty);

// Revalues the rows against the contract tables; a row is recomputed only when its prices
// moved since the last pass, unless forced. Returns the number of rows recomputed.
int RevaluePositions(CFixRecord& table, bool force);

// ---- look-ups in PositionSummaryTable (exchange, contract, trading code, side, hedge) ----
// 1 when the row exists; the holding is all 0 otherwise.
int FindPosition(const std::string& exchange, const std::string& contract,
                 const std::string& tradingCode, int32_t side, int32_t hedge,
                 PositionHolding* holding);
// As FindPosition without the averages; always 1.
int GetPositionQuantities(const std::string& exchange, const std::string& contract,
                          const std::string& tradingCode, int32_t side, int32_t hedge,
                          PositionHolding* holding);
// For a combination contract, each quantity is the smaller of leg 1 on `side` and leg 2 on the
// opposite side; otherwise GetPositionQuantities.
int GetContractPositionQuantities(const std::string& exchange, const std::string& contract,
                                  const std::string& tradingCode, int32_t side, int32_t hedge,
                                  PositionHolding* holding);
// For each side, the values of the last row of the table that matches (empty exchange or
// trading code, side -1 and hedge -1 match any).
PositionSides ReadPositionSides(CFixRecord& table, const std::string& contract,
                                const std::string& exchange, const std::string& tradingCode,
                                int32_t side, int32_t hedge);

// The same over a fresh summary from the server. False (outputs 0) when no answer came.
bool QueryPositionSums(TradeConnection* connection, const std::string& khh,
                       const PositionFilter& filter, PositionSides* sides);
// 1, or -1 (outputs 0) when no answer came.
int QueryPositionQuantities(TradeConnection* connection, const std::string& khh,
                            const std::string& exchange, const std::string& contract,
                            const std::string& tradingCode, int32_t side, int32_t hedge,
                            PositionHolding* holding);
int QueryContractPositionQuantities(TradeConnection* connection, const std::string& khh,
                                    const std::string& exchange, const std::string& contract,
                                    const std::string& tradingCode, int32_t side, int32_t hedge,
                                    PositionHolding* holding);

// The 739 and 1740 values of the position query from the display and trading settings word.
void GetPositionQueryValues(int32_t* value739, int32_t* value1740);

// Reloads the current account's positions into PositionDetailTable and PositionSummaryTable.
// False when there is no current account or no answer came (the tables keep their rows and
// NOTIFY value 32 is set again, so the worker retries).
bool RefreshPositions(TradeConnection* connection);
// The worker's revaluation after new quotes: false while a reload is pending.
bool RevaluePositionsAndFunds();

}  // namespace tradedata
