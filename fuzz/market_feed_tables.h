// The contract tables and the quote processor the market feed's fuzz targets apply their input
// to: a futures, a combination and an option contract, set up once per process.
#pragma once

#include <atomic>

#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteRowNotifier.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/GlobalTables.h"

namespace market::feed::fuzzing {

struct NullReceiver : QuoteRowReceiver {
    void Wake() override {}
};

// The processor over tables holding "cu2501" (exchange "SQ", held in a position), the
// combination "SP a&b" and the option "cu2501C1"; every rule runs, nothing is logged.
inline CQuoteProcessor& FuzzProcessor() {
    static std::atomic<uint32_t> frameState{0};
    static QuoteRowNotifier notifier;
    static NullReceiver receiver;
    static CQuoteProcessor* processor = [] {
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        int row = tradedata::FuturesContractTable.GetMemRecord()->Append(nullptr, true);
        tradedata::FuturesContractTable.Set(719, "cu2501", row);
        tradedata::FuturesContractTable.Set(599, "SQ", row);
        tradedata::FuturesContractTable.Set(594, "10", row);
        tradedata::FuturesContractTable.Set(1752, "5", row);
        tradedata::FuturesContractTable.Set(644, "512", row);
        tradedata::CombinationContractTable.Create(tradedata::kCombinationContractLayout);
        row = tradedata::CombinationContractTable.GetMemRecord()->Append(nullptr, true);
        tradedata::CombinationContractTable.Set(1060, "SP a&b", row);
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        row = tradedata::OptionContractTable.GetMemRecord()->Append(nullptr, true);
        tradedata::OptionContractTable.Set(9100, "cu2501C1", row);
        tradedata::OptionContractTable.Set(599, "ZZ", row);
        notifier.AddReceiver(&receiver, kRowQuoteChannel | kRowDepthChannel);
        CQuoteProcessor::Hooks hooks;
        hooks.quoteSource = [] { return 0x10000u; };
        hooks.logOptions = [] { return 0x10u; };
        hooks.log = [](std::string_view) {};
        return new CQuoteProcessor(frameState, notifier, std::move(hooks));
    }();
    return *processor;
}

}  // namespace market::feed::fuzzing
