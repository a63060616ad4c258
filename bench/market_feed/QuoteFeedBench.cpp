// Figures of the quote feed on one thread over 2,000 futures contracts, one table lock per
// record: level-2 snapshots and compact records decoded and applied per second, and a burst of
// 50,000 updates with the wake-ups it queues and the time until its last row is written.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/GlobalTables.h"

namespace {

using namespace market::feed;

constexpr int kContracts = 2'000;

std::vector<std::string> FillFutures() {
    tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
    const char* products[] = {"cu", "al", "zn", "rb", "SR", "CF", "IF", "m", "y", "TA", "MA"};
    std::vector<std::string> codes;
    for (int i = 0; i < kContracts; ++i) {
        std::string code = std::string(products[i % 11]) + std::to_string(2000 + i);
        const int r = tradedata::FuturesContractTable.GetMemRecord()->Append(nullptr, true);
        tradedata::FuturesContractTable.Set(719, code.c_str(), r);
        tradedata::FuturesContractTable.Set(599, i % 3 == 0 ? "SQ" : "DL", r);
        tradedata::FuturesContractTable.Set(594, 1.0, r);
        tradedata::FuturesContractTable.Set(1752, 10.0, r);
        codes.push_back(std::move(code));
    }
    tradedata::FuturesContractTable.GetMemRecord()->Sort(
        tradedata::FuturesContractTable.FindIndex(719), true);
    return codes;
}

template <typename T>
void Put(std::vector<uint8_t>& b, std::size_t at, T v) {
    std::memcpy(b.data() + at, &v, sizeof v);
}

std::vector<uint8_t> Snapshot(const std::string& code, int i) {
    std::vector<uint8_t> b(287, 0);
    Put<uint32_t>(b, 0, 287);
    std::memcpy(b.data() + 12, code.data(), code.size());
    Put(b, 99, 5000.0 + i % 50);
    Put<int32_t>(b, 107, 100 + i);
    Put(b, 111, 5e6 + i);
    for (int k = 0; k < 5; ++k) {
        const std::size_t at = 167 + 24 * static_cast<std::size_t>(k);
        Put(b, at, 4999.0 - k + i % 7);
        Put(b, at + 8, 5001.0 + k + i % 7);
        Put<int32_t>(b, at + 16, 10 + k);
        Put<int32_t>(b, at + 20, 20 + k);
    }
    return b;
}

// One compact record: last, volume, turnover and the best bid and ask with volumes.
void AppendCompact(std::vector<uint8_t>& b, const std::string& code, int i) {
    b.insert(b.end(), code.begin(), code.end());
    b.push_back(0);
    const uint32_t bitmap = (1u << 4) | (1u << 5) | (1u << 6) | (0xFu << 12);
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(bitmap >> (8 * k)));
    auto real = [&b](float v) {
        uint8_t raw[4];
        std::memcpy(raw, &v, 4);
        b.insert(b.end(), raw, raw + 4);
    };
    auto integer = [&b](int32_t v) {
        uint8_t raw[4];
        std::memcpy(raw, &v, 4);
        b.insert(b.end(), raw, raw + 4);
    };
    real(5000.0f + static_cast<float>(i % 50));
    integer(100 + i);
    real(5e6f);
    real(4999.0f + static_cast<float>(i % 7));
    real(5001.0f + static_cast<float>(i % 7));
    integer(10);
    integer(20);
}

struct CountingReceiver : QuoteRowReceiver {
    void Wake() override { wakes.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<uint64_t> wakes{0};
};

struct Feed {
    std::atomic<uint32_t> frameState{0};
    QuoteRowNotifier notifier;
    CountingReceiver window;
    CQuoteProcessor processor{frameState, notifier};
    Feed() { notifier.AddReceiver(&window, kRowQuoteChannel); }
};

void BM_Level2Snapshots(benchmark::State& state) {
    const std::vector<std::string> codes = FillFutures();
    std::vector<std::vector<uint8_t>> datagrams;
    for (int i = 0; i < kContracts; ++i) datagrams.push_back(Snapshot(codes[i], i));
    Feed feed;
    std::size_t n = 0;
    for (auto _ : state) {
        const auto& d = datagrams[n++ % datagrams.size()];
        feed.processor.ProcessLevel2Datagram(d.data(), d.size());
        if ((n & 1023) == 0) feed.notifier.TakeRows(&feed.window);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Level2Snapshots);

void BM_CompactRecords(benchmark::State& state) {
    const std::vector<std::string> codes = FillFutures();
    // Buffers of 40 records, as a UDP datagram of some 1,600 bytes carries them.
    std::vector<std::vector<uint8_t>> buffers;
    for (int i = 0; i < kContracts; i += 40) {
        std::vector<uint8_t> b;
        for (int j = i; j < i + 40; ++j) AppendCompact(b, codes[j], j);
        buffers.push_back(std::move(b));
    }
    Feed feed;
    std::size_t n = 0;
    for (auto _ : state) {
        const auto& b = buffers[n++ % buffers.size()];
        feed.processor.ProcessCompactQuotes(b.data(), b.size());
        if ((n & 63) == 0) feed.notifier.TakeRows(&feed.window);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 40);
}
BENCHMARK(BM_CompactRecords);

// 50,000 compact updates over the 2,000 rows with no drain in between: the wake-ups queued
// and the time from the first record to the last row written.
void BM_Burst50000(benchmark::State& state) {
    const std::vector<std::string> codes = FillFutures();
    std::vector<std::vector<uint8_t>> buffers;
    for (int u = 0; u < 50'000; u += 40) {
        std::vector<uint8_t> b;
        for (int j = u; j < u + 40 && j < 50'000; ++j) AppendCompact(b, codes[j % kContracts], j);
        buffers.push_back(std::move(b));
    }
    uint64_t wakes = 0;
    std::size_t drained = 0;
    double seconds = 0;
    for (auto _ : state) {
        Feed feed;
        const auto start = std::chrono::steady_clock::now();
        for (const auto& b : buffers) feed.processor.ProcessCompactQuotes(b.data(), b.size());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        wakes = feed.window.wakes.load();
        drained = feed.notifier.TakeRows(&feed.window).size();
    }
    state.counters["wakeups_queued"] = static_cast<double>(wakes);
    state.counters["rows_drained"] = static_cast<double>(drained);
    state.counters["ms_to_last_row"] = seconds * 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Burst50000)->Unit(benchmark::kMillisecond);

}  // namespace
