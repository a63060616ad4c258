// Fuzzes the daily cache file reader with arbitrary file bytes: a rejected file must leave the
// table as it was and the date empty; an accepted one must carry a date of eight digits.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LocalFiles.h"

namespace {

const tagFIXHEADERINFO kLayout[] = {{599, "JYS", "C8", 0},   {606, "HYDM", "C32", 0},
                                    {607, "HYMC", "C64", 0}, {700, "CS", "N10", 0},
                                    {701, "JG", "R12.4", 0}, {100, "color", "N10", 0},
                                    {800, "HIDE", "C8", 0},  {0, "", "", 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first line is the program's version, so that the rest of the reader is reached.
    std::string bytes = shell::GetProgramVersionText() + "\r\n";
    bytes.append(reinterpret_cast<const char*>(data), size);
    CFixRecord table;
    table.Create(kLayout);
    table.GetMemRecord()->Append(nullptr, true);
    std::string date;
    const bool taken = shell::ParseUserRecordFile(table, bytes, date);
    if (!taken && (!date.empty() || table.GetCount() != 1)) std::abort();
    if (taken && date.size() != 8) std::abort();
    for (int row = 0; row < table.GetCount(); ++row) {
        if (table.Get(800, row) != "") std::abort();  // after the colour column: never read
    }
    return 0;
}
