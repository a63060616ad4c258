// Fuzz target: arbitrary bytes as a table definition (up to the first newline) and as field
// values (the rest): layout round trip, typed stores and reads, sorting and keyed search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/core/Encoding.h"
#include "record/MemRecord.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string definition(input.substr(0, newline));  // a NUL ends it, as in C
    const std::string_view values =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    CMemRecord table;
    table.Create(definition.c_str());
    const std::string detail = table.GetDetail();
    CMemRecord rebuilt;
    rebuilt.Create(detail.c_str());
    Check(rebuilt.GetDetail() == detail);
    Check(rebuilt.SameLayout(&table));
    if (table.GetFCount() == 0) {
        Check(table.Append(nullptr, true) == -1);
        return 0;
    }

    table.Append(nullptr, true);
    table.Append(nullptr, true);
    std::size_t pos = 0;
    for (int f = 0; f < table.GetFCount(); ++f) {
        // Each field takes the next piece of the values, up to a '|'.
        std::string_view piece;
        if (pos <= values.size()) {
            const std::size_t bar = values.find('|', pos);
            piece = values.substr(
                pos, bar == std::string_view::npos ? std::string_view::npos : bar - pos);
            pos = bar == std::string_view::npos ? values.size() + 1 : bar + 1;
        }
        table.Set(f, piece, 0);
        table.Set(f, static_cast<int32_t>(piece.size()) - 3, 1);
        const std::string text = table.GetItemText(f, 0);
        std::string scratch;
        const char* direct = table.GetDirectText(f, scratch, 0);
        Check(direct != nullptr && text == direct);
        int width = 0;
        uint8_t type = 0;
        Check(table.GetFieldInfo(f, nullptr, &type, &width, nullptr, nullptr));
        if (type == 'C') Check(platform::GbkLength(text) <= static_cast<std::size_t>(width));
        char small[5];
        table.GetItemText(f, small, static_cast<int>(piece.size() % sizeof small), 0);
        (void)table.GetLong(f, 0);
        (void)table.GetDouble(f, 0);
        table.Set(f, table.GetDouble(f, 0) * 1.5, 1);

        table.Sort(f, piece.size() % 2 == 0);
        const std::string key(piece);
        (void)table.QuickFind(key.c_str());
        (void)table.QuickFindLower(key.c_str());
        (void)table.Locate(f, key.c_str());
        const int row = table.InsertKey(f, key.c_str(), true);
        Check(row >= 0 && row < table.GetCount());
    }
    CMemRecord copy;
    copy = table;
    Check(copy.GetCount() == table.GetCount());
    const int keys[] = {0, table.GetFCount() - 1};
    copy.GroupFrom(&table, 2, keys);
    copy.Append(&copy);
    return 0;
}
