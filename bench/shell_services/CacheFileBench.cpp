// Loading and saving a daily cache file of 20,000 contract rows (the contract table's size on
// a busy trading day).
#include <benchmark/benchmark.h>

#include <string>

#include "platform/core/Paths.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/SettingsWriters.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRows = 20000;

const tagFIXHEADERINFO kContractLayout[] = {{599, "JYS", "C8", 0},       {606, "HYDM", "C32", 0},
                                            {607, "HYMC", "C64", 0},     {608, "PZDM", "C16", 0},
                                            {609, "PZMC", "C32", 0},     {610, "HYCS", "N10", 0},
                                            {611, "ZXBDJW", "R12.4", 0}, {612, "ZDXDL", "N10", 0},
                                            {613, "ZXXDL", "N10", 0},    {614, "DQRQ", "C10", 0},
                                            {615, "KSRQ", "C10", 0},     {616, "JGRQ", "C10", 0},
                                            {617, "ZTJ", "R12.4", 0},    {618, "DTJ", "R12.4", 0},
                                            {619, "ZSJ", "R12.4", 0},    {620, "ZJSJ", "R12.4", 0},
                                            {621, "BZJL", "R10.6", 0},   {622, "SXFL", "R10.6", 0},
                                            {623, "CCSX", "N10", 0},     {624, "ZT", "N10", 0},
                                            {100, "color", "N10", 0},    {0, "", "", 0}};

void FillContracts(CFixRecord& table) {
    table.Create(kContractLayout);
    CMemRecord* mem = table.GetMemRecord();
    for (int i = 0; i < kRows; ++i) {
        const int row = mem->Append(nullptr, true);
        const std::string n = std::to_string(i);
        table.Set(599, i % 2 ? "SQ" : "DL", row);
        table.Set(606, std::string_view("cu" + n), row);
        table.Set(607, std::string_view("沪铜合约" + n), row);
        table.Set(608, "cu", row);
        table.Set(609, "沪铜", row);
        table.Set(610, 5, row);
        table.Set(611, 10.0, row);
        table.Set(612, 1000, row);
        table.Set(613, 1, row);
        table.Set(614, "20250115", row);
        table.Set(615, "20240116", row);
        table.Set(616, "20250120", row);
        table.Set(617, 75000.0 + i, row);
        table.Set(618, 65000.0 + i, row);
        table.Set(619, 70000.0 + i, row);
        table.Set(620, 70010.0 + i, row);
        table.Set(621, 0.08, row);
        table.Set(622, 0.00005, row);
        table.Set(623, 10000, row);
        table.Set(624, 1, row);
    }
}

struct Fixture {
    testsupport::TempDir dir;
    Fixture() {
        platform::SetProgramDirForTesting(dir.path().string());
        shell::CreateDirectoryPath(shell::GetUserDirectory());
        CFixRecord table;
        FillContracts(table);
        shell::SaveUserRecordFile(table, "JYSTLHY.dat", "20240105");
    }
};

void BM_LoadCacheFile20000Rows(benchmark::State& state) {
    Fixture fixture;
    for (auto _ : state) {
        CFixRecord table;
        table.Create(kContractLayout);
        std::string date;
        shell::LoadUserRecordFile(table, "JYSTLHY.dat", date);
        if (table.GetCount() != kRows) state.SkipWithError("rows lost");
        benchmark::DoNotOptimize(table.GetCount());
    }
    platform::SetProgramDirForTesting("");
}
BENCHMARK(BM_LoadCacheFile20000Rows)->Unit(benchmark::kMillisecond);

void BM_SaveCacheFile20000Rows(benchmark::State& state) {
    Fixture fixture;
    CFixRecord table;
    FillContracts(table);
    for (auto _ : state) {
        benchmark::DoNotOptimize(shell::SaveUserRecordFile(table, "JYSTLHY.dat", "20240105"));
    }
    platform::SetProgramDirForTesting("");
}
BENCHMARK(BM_SaveCacheFile20000Rows)->Unit(benchmark::kMillisecond);

}  // namespace
