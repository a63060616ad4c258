// Profile file figures: a read served from the parsed cache, and the first parse of a large
// profile.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/ProfileFile.h"

namespace {

// A profile of about `bytes` bytes in sections of 40 keys, with some GBK values.
std::string makeProfile(std::size_t bytes) {
    std::string text;
    for (int s = 0; text.size() < bytes; ++s) {
        text += "[SECTION" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 40 && text.size() < bytes; ++k)
            text += "KEY" + std::to_string(k) + "=value " + std::to_string(s * 100 + k) +
                    (k % 4 == 0 ? " \xD0\xD0\xC7\xE9" : "") + "\r\n";
    }
    return text;
}

class ProfileFixture {
public:
    explicit ProfileFixture(std::size_t bytes) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelmon-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        dir_ = pattern;
        path_ = dir_ + "/bench.ini";
        std::ofstream(path_, std::ios::binary) << makeProfile(bytes);
        // Installed long ago: a file changed in the last seconds is read again at each look.
        const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
        std::filesystem::last_write_time(path_, old);
    }
    ~ProfileFixture() { std::filesystem::remove_all(dir_); }
    const std::string& path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

void BM_CachedRead(benchmark::State& state) {
    ProfileFixture file(200 * 1024);
    platform::ReadProfileString(file.path(), "SECTION3", "KEY7");
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::ReadProfileString(file.path(), "section30", "key17"));
}
BENCHMARK(BM_CachedRead);

void BM_FirstParse200K(benchmark::State& state) {
    ProfileFixture file(200 * 1024);
    for (auto _ : state) {
        platform::FlushProfileCache();
        benchmark::DoNotOptimize(platform::ReadProfileString(file.path(), "SECTION3", "KEY7"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 200 * 1024);
}
BENCHMARK(BM_FirstParse200K)->Unit(benchmark::kMillisecond);

void BM_WriteKey(benchmark::State& state) {
    ProfileFixture file(20 * 1024);
    int i = 0;
    for (auto _ : state)
        platform::WriteProfileString(file.path(), "SECTION3", "KEY7", std::to_string(i++));
}
BENCHMARK(BM_WriteKey)->Unit(benchmark::kMicrosecond);

}  // namespace
