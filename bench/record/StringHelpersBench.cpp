// Figures for the flex-item lookups done per row when lists are rebuilt, and number texts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "record/StringHelpers.h"

namespace {

std::string FortyItemRow() {
    std::string row;
    for (uint32_t key = 600; key < 640; ++key)
        pavlet::SetFlexItem(row, key, "value" + std::to_string(key));
    return row;
}

void BM_GetFlexItemFirst(benchmark::State& state) {
    const std::string row = FortyItemRow();
    for (auto _ : state) benchmark::DoNotOptimize(pavlet::GetFlexItem(row, 600u));
}
BENCHMARK(BM_GetFlexItemFirst);

void BM_GetFlexItemLast(benchmark::State& state) {
    const std::string row = FortyItemRow();
    for (auto _ : state) benchmark::DoNotOptimize(pavlet::GetFlexItem(row, 639u));
}
BENCHMARK(BM_GetFlexItemLast);

void BM_GetFlexItemMissing(benchmark::State& state) {
    const std::string row = FortyItemRow();
    for (auto _ : state) benchmark::DoNotOptimize(pavlet::GetFlexItem(row, 9999u));
}
BENCHMARK(BM_GetFlexItemMissing);

void BM_FlexNumericFormat(benchmark::State& state) {
    pavlet::SetFlexNumericGrouping(static_cast<int>(state.range(0)));
    double value = -1234567.891;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pavlet::FlexNumericFormat(value, 2));
        value += 0.01;
    }
    pavlet::SetFlexNumericGrouping(0);
}
BENCHMARK(BM_FlexNumericFormat)->Arg(0)->Arg(3);

}  // namespace
