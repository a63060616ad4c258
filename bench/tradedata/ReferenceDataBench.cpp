// Figures of the reference data loaders against the in-process test server on loopback: the
// login-time load of 2,000 contracts (one quote request each) and the option list of 20,000
// series taken from the daily cache.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "platform/core/Paths.h"
#include "record/FixRecord.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/SettingsWriters.h"
#include "testserver/TestServer.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ReferenceData.h"

namespace {

using namespace tradedata;

constexpr int kContracts = 2000;
constexpr int kOptions = 20000;

// A server with the generated day, a connected client and a scratch user directory, the
// synchronised clock on the day's date.
class LoadedDay {
public:
    LoadedDay() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelmon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        dir_ = pattern;
        platform::SetProgramDirForTesting(dir_);
        shell::CreateDirectoryPath(shell::GetUserDirectory());
        namespace c = std::chrono;
        const c::local_seconds wall =
            c::local_days(c::year{2026} / c::month{12} / c::day{10}) + c::hours{10};
        SetClockBase(LocalSecondsToFileTime(wall) - GetHighResTickCount() * 10000);
        server_.EnableTradingDay(testserver::GeneratedTradingDay(kContracts, kOptions));
        if (!server_.Start()) std::abort();
        client_ = std::make_unique<NoltComm::CFixApiClient>();
        if (!client_->Connect("127.0.0.1@" + std::to_string(server_.Port()) + "/tcp")) std::abort();
    }
    ~LoadedDay() {
        client_.reset();
        server_.Stop();
        platform::SetProgramDirForTesting("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    NoltComm::CFixApiClient* client() { return client_.get(); }

private:
    std::string dir_;
    testserver::TestServer server_;
    std::unique_ptr<NoltComm::CFixApiClient> client_;
};

// The day's reference data with its options loaded whole, which writes the option cache.
bool LoadDayWithOptions(LoadedDay& day, benchmark::State& state) {
    TradeConnection* c = day.client();
    if (LoadExchanges(c) && LoadProducts(c) && GetJysHydm(c) && LoadOptionContracts(c, false))
        return true;
    state.SkipWithError("the day was not loaded");
    return false;
}

// Exchanges, products and 2,000 contracts with their first quote, as after a login.
void BM_LoginReferenceLoad(benchmark::State& state) {
    LoadedDay day;
    BuildCurrencyTable();
    for (auto _ : state) {
        bool ok =
            LoadExchanges(day.client()) && LoadProducts(day.client()) && GetJysHydm(day.client());
        if (!ok) state.SkipWithError("the contract list was not loaded");
    }
    state.counters["contracts"] = FuturesContractTable.GetCount();
}
BENCHMARK(BM_LoginReferenceLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole option load of a start on the same day: 20,000 cached series, the (empty) changes
// since today, the underlyings, the cache rewritten and the tables replaced.
void BM_LoadOptionsFromDailyCache(benchmark::State& state) {
    LoadedDay day;
    if (!LoadDayWithOptions(day, state)) return;
    for (auto _ : state) {
        if (!LoadOptionContracts(day.client(), true)) state.SkipWithError("options not loaded");
    }
    state.counters["options"] = OptionContractTable.GetCount();
    state.counters["underlyings"] = UnderlyingTable.GetCount();
}
BENCHMARK(BM_LoadOptionsFromDailyCache)->Unit(benchmark::kMillisecond);

// Only the reading of the 20,000-row cache file into a table.
void BM_ReadOptionCacheFile(benchmark::State& state) {
    LoadedDay day;
    if (!LoadDayWithOptions(day, state)) return;
    for (auto _ : state) {
        CFixRecord table;
        table.Create(kOptionContractLayout);
        std::string date;
        shell::LoadUserRecordFile(table, kOptionCacheFile, date);
        benchmark::DoNotOptimize(table.GetCount());
    }
}
BENCHMARK(BM_ReadOptionCacheFile)->Unit(benchmark::kMillisecond);

}  // namespace
