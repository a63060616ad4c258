// For comparison: a FIX engine's tag=value message parser on the same 40 fields, when that
// library is installed (its headers need C++14, so this file is compiled as such).
#ifdef KELMON_HAVE_QUICKFIX
#include <benchmark/benchmark.h>
#include <quickfix/Message.h>

#include "BenchMessages.h"

namespace {

// Parse the message, then read one field: the equivalent of reading a field of a plain row.
void BM_QuickFixParseAndRead(benchmark::State& state) {
    const std::string text = benchmsg::FixMessageText();
    FIX::Message message;
    const int tag = static_cast<int>(state.range(0));
    for (auto _ : state) {
        message.setString(text, false);
        benchmark::DoNotOptimize(message.getField(tag));
    }
}
BENCHMARK(BM_QuickFixParseAndRead)->Arg(620)->Arg(639);

// Reading one field of a message already parsed.
void BM_QuickFixReadParsed(benchmark::State& state) {
    const std::string text = benchmsg::FixMessageText();
    FIX::Message message;
    message.setString(text, false);
    const int tag = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(message.getField(tag));
}
BENCHMARK(BM_QuickFixReadParsed)->Arg(620)->Arg(639);

}  // namespace
#endif
