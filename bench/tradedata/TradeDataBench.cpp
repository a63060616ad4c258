// Figures of the trading data model: dictionary texts, contract lookup by code over 2,000
// contracts, and a combination row's price read through its row reference.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace {

using namespace tradedata;

int AddRow(CFixRecord& table) { return table.GetMemRecord()->Append(nullptr, true); }

void FillDictionary() {
    DictionaryTable.Create(kDictionaryLayout);
    const char* categories[] = {"WTSBJG", "YZWTLB", "DDLX", "QHKPFX", "WTDLB", "JYSZHLX"};
    for (const char* category : categories) {
        for (int code = 0; code < 30; ++code) {
            const int r = AddRow(DictionaryTable);
            DictionaryTable.Set(566, category, r);
            DictionaryTable.Set(582, code, r);
            DictionaryTable.Set(516, std::to_string(code).c_str(), r);
            DictionaryTable.Set(642, "全部成交  ", r);
        }
    }
    InvalidateDictionaryCache();
}

std::vector<std::string> FillFutures(int n) {
    FuturesContractTable.Create(kFuturesContractLayout);
    const char* products[] = {"cu", "al", "zn", "rb", "SR", "CF", "IF", "m", "y", "TA", "MA"};
    std::vector<std::string> codes;
    for (int i = 0; i < n; ++i) {
        std::string code = std::string(products[i % 11]) + std::to_string(2000 + i);
        const int r = AddRow(FuturesContractTable);
        FuturesContractTable.Set(719, code.c_str(), r);
        FuturesContractTable.Set(599, "SQ", r);
        codes.push_back(code);
    }
    FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
    return codes;
}

void BM_GetDictText(benchmark::State& state) {
    FillDictionary();
    int code = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetDictText("WTSBJG|QHKPFX", code));
        code = (code + 7) % 40;
    }
}
BENCHMARK(BM_GetDictText);

void BM_FindContractByCode(benchmark::State& state) {
    const std::vector<std::string> codes = FillFutures(2000);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindContract(codes[i].c_str()));
        i = (i + 613) % codes.size();
    }
}
BENCHMARK(BM_FindContractByCode);

void BM_CombinationPrice(benchmark::State& state) {
    FillFutures(2000);
    const int leg1 = FindFuturesContract("cu2000");
    const int leg2 = FindFuturesContract("cu2011");
    for (int leg : {leg1, leg2}) {
        FuturesContractTable.Set(842, 100.0, leg);
        FuturesContractTable.Set(850, 101.0, leg);
        FuturesContractTable.Set(843, 5, leg);
        FuturesContractTable.Set(851, 5, leg);
        FuturesContractTable.Set(3203, 10.0, leg);
    }
    CombinationContractTable.Create(kCombinationContractLayout);
    const int row = AddRow(CombinationContractTable);
    CombinationContractTable.Set(1060, "SP cu2000&cu2011", row);
    CombinationContractTable.Set(3549, 2, row);
    CombinationContractTable.Set(1392, "cu2000", row);
    CombinationContractTable.Set(1393, "cu2011", row);
    const RowRef ref = row | kCombinationRef;
    for (auto _ : state) benchmark::DoNotOptimize(GetRowDouble(842, ref));
}
BENCHMARK(BM_CombinationPrice);

}  // namespace

BENCHMARK_MAIN();
