// The grid's export files: a dBASE III table and comma-separated text of what a list shows,
// built as bytes from the displayed texts and written out whole or not at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pavlet {

// One displayed column: its caption as shown and the declaration of its field in the table.
struct ExportColumn {
    std::string caption;  // UTF-8, after the header-text translation
    char type = 'C';      // the table's type letter: 'I' integer, 'R' real, 'C' text, ...
    int width = 0;        // the field's declared width
    int decimals = 0;
};

// What a list shows: columns left to right, rows in display order (UTF-8 cell texts as
// displayed, one per column).
struct ExportTable {
    std::vector<ExportColumn> columns;
    std::vector<std::vector<std::string>> rows;
};

struct ExportDate {
    int year = 2000;  // full year
    int month = 1;    // 1-12
    int day = 1;      // 1-31
};

// The local date of today for the dBASE header.
ExportDate TodayForExport();

// A dBASE record is counted in 16 bits: more than this many bytes cannot be described.
inline constexpr uint32_t kDbfMaxRecordLength = 65535;

// The dBASE III image: header, 32-byte field descriptors, 0x0D, space-filled records, no end
// marker. False (with nothing built) when the record would pass kDbfMaxRecordLength.
// A column is declared numeric only when every text in it is a plain number (a blank counts
// as none); other columns are text of the same length, so displayed texts such as "1,234" or
// "市价" never land in a numeric field.
bool BuildDbf(const ExportTable& table, const ExportDate& date, std::string* bytes);

// The comma-separated image in GBK: a caption line, then one line per row, every field
// followed by ",", quoted when it holds a comma, a quote, CR or LF; lines end with CR LF.
std::string BuildCsv(const ExportTable& table);

// Whether a displayed text may stand in a dBASE numeric field.
bool IsPlainNumber(std::string_view text);

// Writes the bytes to a new file at `path` (existing contents replaced). Every write and the
// close are checked; on failure a regular file that was created is removed again, so no
// truncated export is left behind. False on any failure.
bool WriteExportFile(const std::string& path, std::string_view bytes);

}  // namespace pavlet
