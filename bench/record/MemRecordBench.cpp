// Figures of the record tables: typed reads by field tag, tag look-up, the lock (uncontended
// and with busy readers), sorting, binary search and keyed inserts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/RWLockInheritable.h"

namespace {

// Codes as the exchanges use them: ASCII contract codes and Chinese product names.
std::vector<std::string> MakeCodes(int n, uint32_t seed) {
    const char* products[] = {"cu",   "al",     "zn",   "rb",   "SR", "CF", "IF", "沪铜",
                              "白糖", "螺纹钢", "豆粕", "黄金", "m",  "y",  "TA", "MA"};
    std::mt19937 rng(seed);
    std::vector<std::string> codes;
    codes.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::string code = products[rng() % std::size(products)];
        code += std::to_string(2400 + rng() % 100);
        if (rng() % 3 == 0) code += (rng() % 2 ? "-C-" : "-P-") + std::to_string(rng() % 9000);
        codes.push_back(code);
    }
    return codes;
}

// 100 columns (integers, reals and texts in turn) with tags 1000, 1001, ...; 10,000 rows.
CFixRecord& WideTable() {
    static CFixRecord view = [] {
        CFixRecord v;
        std::vector<tagFIXHEADERINFO> layout(101);
        const char* types[] = {"N10", "R12.2", "C16"};
        for (int i = 0; i < 100; ++i) {
            tagFIXHEADERINFO& c = layout[static_cast<std::size_t>(i)];
            c.id = 1000 + i;
            std::snprintf(c.name, sizeof c.name, "F%d", i);
            std::snprintf(c.type, sizeof c.type, "%s", types[i % 3]);
        }
        layout[100] = tagFIXHEADERINFO{0, "", "", 0};
        v.Create(layout.data());
        CMemRecord* table = v.GetMemRecord();
        table->InitStorage(10000);
        for (int r = 0; r < 10000; ++r) {
            table->Append(nullptr, true);
            for (int f = 0; f < 100; f += 3) table->Set(f, int32_t{r + f}, r);
        }
        return v;
    }();
    return view;
}

void BM_TypedGetByTag(benchmark::State& state) {
    CFixRecord& view = WideTable();
    view.acquireLockShared();
    unsigned i = 0;
    for (auto _ : state) {
        const unsigned tag = 1000 + (i % 33) * 3;
        const int row = static_cast<int>((i * 7919u) % 10000u);
        benchmark::DoNotOptimize(view.GetLong(tag, row));
        benchmark::DoNotOptimize(view.GetDouble(tag + 1, row));
        ++i;
    }
    view.releaseLockShared();
    state.counters["ns/get"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TypedGetByTag);

void BM_FindIndexByTag(benchmark::State& state) {
    CFixRecord& view = WideTable();
    unsigned i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(view.FindIndex(1000 + (i++ % 100)));
}
BENCHMARK(BM_FindIndexByTag);

void BM_LockSharedUncontended(benchmark::State& state) {
    CRWLockInheritable lock;
    for (auto _ : state) {
        lock.acquireLockShared();
        lock.releaseLockShared();
    }
}
BENCHMARK(BM_LockSharedUncontended);

void BM_LockExclusiveUncontended(benchmark::State& state) {
    CRWLockInheritable lock;
    for (auto _ : state) {
        lock.acquireLockExclusive();
        lock.releaseLockExclusive();
    }
}
BENCHMARK(BM_LockExclusiveUncontended);

// Time for a writer to get in while 8 readers take and release the lock in a loop.
void BM_WriterEntryWith8Readers(benchmark::State& state) {
    CRWLockInheritable lock;
    std::atomic<bool> stop{false};
    std::vector<std::jthread> readers;
    for (int i = 0; i < 8; ++i)
        readers.emplace_back([&] {
            volatile int sink = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                lock.acquireLockShared();
                for (int k = 0; k < 200; ++k) sink = sink + k;
                lock.releaseLockShared();
            }
        });
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lock.acquireLockExclusive();
        const auto in = std::chrono::steady_clock::now();
        lock.releaseLockExclusive();
        const double seconds = std::chrono::duration<double>(in - start).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
        std::this_thread::yield();
    }
    stop = true;
    readers.clear();
    state.counters["worst_us"] = worst * 1e6;
}
BENCHMARK(BM_WriterEntryWith8Readers)->UseManualTime()->Iterations(2000);

void FillCodes(CMemRecord& table, const std::vector<std::string>& codes) {
    table.Create("CODE[C32],N[I]");
    table.InitStorage(static_cast<int>(codes.size()));
    for (std::size_t i = 0; i < codes.size(); ++i) {
        table.Append(nullptr, true);
        table.Set(0, codes[i].c_str());
        table.Set(1, static_cast<int32_t>(i));
    }
}

void BM_SortC32Rows100k(benchmark::State& state) {
    CMemRecord table;
    FillCodes(table, MakeCodes(100000, 1));
    std::mt19937 rng(2);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = table.GetCount() - 1; i > 0; --i)
            table.Swap(i, static_cast<int>(rng() % static_cast<unsigned>(i + 1)));
        state.ResumeTiming();
        table.Sort(0, true);
    }
}
BENCHMARK(BM_SortC32Rows100k)->Unit(benchmark::kMillisecond);

void BM_QuickFindAmong20kCodes(benchmark::State& state) {
    const std::vector<std::string> codes = MakeCodes(20000, 3);
    CMemRecord table;
    FillCodes(table, codes);
    table.Sort(0, true);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.QuickFind(codes[i].c_str()));
        i = (i + 7919) % codes.size();
    }
}
BENCHMARK(BM_QuickFindAmong20kCodes);

void BM_InsertKey10k(benchmark::State& state) {
    const std::vector<std::string> codes = MakeCodes(10000, 4);
    for (auto _ : state) {
        CMemRecord table;
        table.Create("CODE[C32],N[I]");
        for (const std::string& code : codes) table.InsertKey(0, code.c_str(), false);
        benchmark::DoNotOptimize(table.GetCount());
    }
}
BENCHMARK(BM_InsertKey10k)->Unit(benchmark::kMillisecond);

}  // namespace
