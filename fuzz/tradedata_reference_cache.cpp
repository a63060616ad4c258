// Fuzzes the packed reference rows (item 1777 of the contract, combination and option lists)
// that the loaders turn into contract and cache rows: no overrun, and the key the loader files
// a row under is the one the row gets, never longer than an item may be (in GBK bytes), never with
// a comma.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "platform/core/Encoding.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ReferenceData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    struct Kind {
        const tagFIXHEADERINFO* layout;
        std::span<const int32_t> tags;
        std::size_t keyItem;
    };
    const Kind kinds[] = {
        {tradedata::kFuturesContractLayout, tradedata::PackedContractTags(), 1},
        {tradedata::kCombinationCodeLayout, tradedata::PackedCombinationTags(), 2},
        {tradedata::kOptionContractLayout, tradedata::PackedOptionTags(), 1},
    };
    const Kind& kind = kinds[data[0] % 3];
    CFixRecord table;
    table.Create(kind.layout);
    const int row = table.GetMemRecord()->Append(nullptr, true);
    const std::string key = tradedata::ApplyPackedText(table, row, text, kind.tags, kind.keyItem);
    if (key != tradedata::PackedKey(text, kind.keyItem)) std::abort();
    // The item budget is 255 bytes of the wire's GBK form.
    if (platform::CutToGbkBudget(key, 255) != key.size() || key.find(',') != std::string::npos)
        std::abort();
    if (key.size() > text.size()) std::abort();
    return 0;
}
