// Fuzz target: a buffer of compact quote records, walked (every record must lie inside the
// buffer and the walk must end) and applied to the contract tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/market_feed_tables.h"
#include "market/feed/QuoteRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace market::feed;
    // A copy of exactly the input's size, so that a read past it is caught.
    std::vector<uint8_t> buffer(data, data + size);
    CompactRecordReader reader(buffer.data(), buffer.size());
    CompactRecord record;
    std::size_t records = 0;
    while (reader.Next(record) == CompactRecordReader::Step::kRecord) {
        // Each record takes at least its control byte and bitmap: the walk always advances.
        if (++records > size) std::abort();
        // An empty code is allowed: it names no contract and is skipped like an unknown one.
        if (record.code.size > QuoteCode::kMaxBytes) std::abort();
    }
    fuzzing::FuzzProcessor().ProcessCompactQuotes(buffer.data(), buffer.size());
    return 0;
}
