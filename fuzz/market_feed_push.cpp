// Fuzz target: the body of a FixApi quote push ("tag=value" items ended by SOH), parsed,
// decoded and applied; without field 719 the body is taken as compact records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/market_feed_tables.h"
#include "market/feed/QuoteRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace market::feed;
    const ParsedPushFields fields(std::string_view(reinterpret_cast<const char*>(data), size));
    PushQuote quote;
    if (DecodeQuotePush(fields, quote)) {
        if (quote.code.size == 0 || quote.code.size > QuoteCode::kMaxBytes) std::abort();
        if (std::string_view(quote.code.c_str()).size() != quote.code.size) std::abort();
    }
    fuzzing::FuzzProcessor().ProcessQuotePush(fields);
    return 0;
}
