// Figures of the positions: one revaluation pass plus the funds recomputation over 500 position
// rows (400 futures, 100 options), with every quote moved, and with no quote moved.
#include <benchmark/benchmark.h>

#include <string>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/Funds.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Positions.h"

namespace {

using namespace tradedata;

int AddRow(CFixRecord& table) { return table.GetMemRecord()->Append(nullptr, true); }

void FillPositions() {
    FuturesContractTable.Create(kFuturesContractLayout);
    OptionContractTable.Create(kOptionContractLayout);
    CombinationContractTable.Create(kCombinationContractLayout);
    ProductTable.Create(kProductLayout);
    RateTable.Create(kRateLayout);
    PositionSummaryTable.Create(kPositionSummaryLayout);
    FundsTable.Create(kFundsLayout);
    for (int i = 0; i < 200; ++i) {
        const int r = AddRow(FuturesContractTable);
        FuturesContractTable.Set(719, "cu" + std::to_string(2000 + i), r);
        FuturesContractTable.Set(599, "SQ", r);
        FuturesContractTable.Set(720, "cu", r);
        FuturesContractTable.Set(729, 3500.0 + i, r);
        FuturesContractTable.Set(813, 3450.0 + i, r);
        FuturesContractTable.Set(1752, 10.0, r);
    }
    FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
    for (int i = 0; i < 50; ++i) {
        const int r = AddRow(OptionContractTable);
        OptionContractTable.Set(9100, "cu" + std::to_string(2000 + i) + "C3500", r);
        OptionContractTable.Set(719, "cu" + std::to_string(2000 + i), r);
        OptionContractTable.Set(1854, 1 + i % 2, r);
        OptionContractTable.Set(1569, 3500.0, r);
        OptionContractTable.Set(729, 50.0 + i, r);
        OptionContractTable.Set(813, 45.0 + i, r);
        OptionContractTable.Set(1752, 10.0, r);
    }
    OptionContractTable.GetMemRecord()->Sort(OptionContractTable.FindIndex(9100), true);
    for (int i = 0; i < 500; ++i) {
        const bool option = i >= 400;
        const int r = AddRow(PositionSummaryTable);
        const std::string code = option ? "cu" + std::to_string(2000 + i % 50) + "C3500"
                                        : "cu" + std::to_string(2000 + i % 200);
        PositionSummaryTable.Set(719, code, r);
        PositionSummaryTable.Set(599, "SQ", r);
        PositionSummaryTable.Set(605, "8001", r);
        PositionSummaryTable.Set(511, "RMB", r);
        PositionSummaryTable.Set(683, 1 + i % 2, r);
        PositionSummaryTable.Set(1717, i % 3, r);
        PositionSummaryTable.Set(1873, option ? 1 : 0, r);
        PositionSummaryTable.Set(757, 5, r);
        PositionSummaryTable.Set(845, 3, r);
        PositionSummaryTable.Set(853, 2, r);
        PositionSummaryTable.Set(524, 170000.0, r);
        PositionSummaryTable.Set(2040, 100000.0, r);
        PositionSummaryTable.Set(515, 2500.0, r);
    }
    for (const char* currency : {"RMB", "USD"}) {
        const int r = AddRow(FundsTable);
        FundsTable.Set(605, "8001", r);
        FundsTable.Set(511, currency, r);
        FundsTable.Set(709, 1000000.0, r);
        FundsTable.Set(1720, 300000.0, r);
    }
}

void BM_RevalueAndRecalcFundsQuotesMoved(benchmark::State& state) {
    FillPositions();
    CMemRecord* futures = FuturesContractTable.GetMemRecord();
    const int last = futures->FindIndex(729u);
    double tick = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tick = tick == 0 ? 1 : 0;
        for (int r = 0; r < futures->GetCount(); ++r) futures->Set(last, 3500.0 + r + tick, r);
        for (int r = 0; r < OptionContractTable.GetCount(); ++r)
            OptionContractTable.Set(729, 50.0 + r + tick, r);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RevaluePositions(PositionSummaryTable, false));
        benchmark::DoNotOptimize(RecalcFunds("8001", PositionSummaryTable));
    }
}
BENCHMARK(BM_RevalueAndRecalcFundsQuotesMoved)->Unit(benchmark::kMicrosecond);

void BM_RevalueAndRecalcFundsNoQuoteMoved(benchmark::State& state) {
    FillPositions();
    RevaluePositions(PositionSummaryTable, true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RevaluePositions(PositionSummaryTable, false));
        benchmark::DoNotOptimize(RecalcFunds("8001", PositionSummaryTable));
    }
}
BENCHMARK(BM_RevalueAndRecalcFundsNoQuoteMoved)->Unit(benchmark::kMicrosecond);

}  // namespace
