// Reading and writing one 100 KB blob of the keyed blob file, as message text and as bytes
// that do not compress, in a file that holds a few dozen other records.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "record/RandomMassFile.h"
#include "tests/support/TempDir.h"

namespace {

constexpr std::size_t kBlobSize = 100 * 1024;
constexpr uint32_t kKey = 20261210;

// A day of notices as the client stores them: tagged items, rows separated by 0x05.
std::string MessageText(std::size_t n, uint32_t seed) {
    static const char* const kKinds[] = {"成交回报", "委托确认", "撤单确认", "系统公告"};
    static const char* const kCodes[] = {"IF2412", "cu2501", "m2505", "SR501", "au2502"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) {
        s += "651=2026.12.10|3203=" + std::to_string(9 + rng() % 6) + ":" +
             std::to_string(10 + rng() % 50) + ":" + std::to_string(10 + rng() % 50) +
             "|1332=" + kKinds[rng() % 4] + "|1777=合约" + kCodes[rng() % 5] + " 买入开仓 " +
             std::to_string(1 + rng() % 20) + "手 成交价 " + std::to_string(3000 + rng() % 900) +
             "." + std::to_string(rng() % 10) + " 委托号 " + std::to_string(100000 + rng()) +
             "|\x05";
    }
    s.resize(n);
    return s;
}

std::string Noise(std::size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

std::string Payload(bool text, uint32_t seed) {
    return text ? MessageText(kBlobSize, seed) : Noise(kBlobSize, seed);
}

struct Store {
    testsupport::TempDir dir;
    CRandomMassFile file;
    explicit Store(bool text) {
        file.SetFilename(dir.file("bench.rmf").c_str());
        for (uint32_t key = 1; key <= 30; ++key) {
            const std::string other = MessageText(2000 + 100 * key, key);
            file.WriteRandomMass(key, other.data(), static_cast<int32_t>(other.size()));
        }
        const std::string blob = Payload(text, 7);
        file.WriteRandomMass(kKey, blob.data(), static_cast<int32_t>(blob.size()));
    }
};

void BM_ReadBlob(benchmark::State& state) {
    const bool text = state.range(0) != 0;
    Store store(text);
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        const int32_t needed = store.file.ReadRandomMass(kKey, nullptr, 0, nullptr);
        buffer.resize(static_cast<std::size_t>(needed));
        const int32_t n = store.file.ReadRandomMass(kKey, buffer.data(), needed, nullptr);
        if (n != static_cast<int32_t>(kBlobSize)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobSize));
    state.SetLabel(text ? "message text" : "incompressible");
}
BENCHMARK(BM_ReadBlob)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_ReadBlobAsText(benchmark::State& state) {
    Store store(true);
    for (auto _ : state) {
        std::string blob = store.file.ReadRandomMass(kKey);
        benchmark::DoNotOptimize(blob.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobSize));
}
BENCHMARK(BM_ReadBlobAsText)->Unit(benchmark::kMicrosecond);

// Alternates two payloads of the same size under one key, the way a day's notices are
// stored again and again.
void BM_WriteBlob(benchmark::State& state) {
    const bool text = state.range(0) != 0;
    Store store(text);
    const std::string payloads[2] = {Payload(text, 11), Payload(text, 12)};
    int which = 0;
    for (auto _ : state) {
        const std::string& blob = payloads[which ^= 1];
        if (store.file.WriteRandomMass(kKey, blob.data(), static_cast<int32_t>(blob.size())) != 1)
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobSize));
    state.SetLabel(text ? "message text" : "incompressible");
}
BENCHMARK(BM_WriteBlob)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
