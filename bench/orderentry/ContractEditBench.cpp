// Figures of the contract-code edit's work per keystroke among 20,000 futures with 300 quick-input
// aliases (the typed-text check, the alias lookup, the exact lookup), and of the case-blind
// lookup its hosts make once when the field is left.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "orderentry/controls/ContractEdit.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace {

using namespace tradedata;

constexpr int kContracts = 20000;
constexpr int kAliases = 300;

std::string CodeOf(int i) {
    std::string code = "p" + std::to_string(i / 100) + "_";
    code += std::to_string(2501 + i % 100);
    return code;
}

struct Day {
    Day() {
        FuturesContractTable.Create(kFuturesContractLayout);
        CMemRecord* mem = FuturesContractTable.GetMemRecord();
        for (int i = 0; i < kContracts; ++i) {
            const int row = mem->Append(nullptr, true);
            FuturesContractTable.Set(719, CodeOf(i).c_str(), row);
            FuturesContractTable.Set(599, "SQ", row);
        }
        mem->Sort(FuturesContractTable.FindIndex(719), true);
        std::vector<std::string> lines;
        for (int i = 0; i < kAliases; ++i)
            lines.push_back("a" + std::to_string(i) + " = " + CodeOf(i * 61) + " // alias");
        aliases.Assign(lines);
        // What a user types on the way to codes: every prefix of a spread of codes and aliases.
        for (int i = 0; i < kContracts; i += 397) {
            const std::string code = CodeOf(i);
            for (std::size_t n = 1; n <= code.size(); ++n) keystrokes.push_back(code.substr(0, n));
        }
        for (int i = 0; i < kAliases; i += 7) keystrokes.push_back("a" + std::to_string(i));
    }
    orderentry::controls::CodeAliasList aliases;
    std::vector<std::string> keystrokes;
};

Day& TheDay() {
    static Day day;
    return day;
}

void BM_Keystroke(benchmark::State& state) {
    Day& day = TheDay();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& text = day.keystrokes[i++ % day.keystrokes.size()];
        RowRef ref = -1;
        if (orderentry::controls::CheckCodeText(text) == orderentry::controls::CodeTextCheck::kOk) {
            const std::string* alias = day.aliases.Find(text);
            int32_t kind = 0;
            ref = FindContractKind(alias ? alias->c_str() : text.c_str(), &kind);
        }
        benchmark::DoNotOptimize(ref);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Keystroke);

void BM_LeaveFieldCaseBlind(benchmark::State& state) {
    TheDay();                               // the tables
    const std::string upper = "P199_2600";  // the last rows: the whole scan
    for (auto _ : state) benchmark::DoNotOptimize(FindContractNoCase(upper.c_str()));
}
BENCHMARK(BM_LeaveFieldCaseBlind);

}  // namespace
