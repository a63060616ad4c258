// The program's string table: texts by number, kept as a UTF-8 text resource of lines
// `<id> "<text>"` (escapes \" \\ \n \r \t; blank lines and lines starting with "//" are skipped).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace shell {

// The resource the table is read from unless SetStringTableSource chose another file.
inline constexpr const char* kStringTableResource = ":/strings/kelmon";

// Parses a table. False (with the line and what is wrong in *error) for a malformed line, an id
// of 0 or of 0x10000 and above, or an id given twice; *table is then left empty.
bool ParseStringTable(std::string_view text, std::map<unsigned, std::string>* table,
                      std::string* error);

// Reads the table from this file (or resource path) from now on; empty restores the program's
// resource. Any thread.
void SetStringTableSource(const std::string& path);

// The text of string `id` in out. False for id 0 or id >= 0x10000; otherwise true, with out
// empty when the table has no such string (or the table is missing or damaged). Any thread.
bool LoadResString(std::string& out, unsigned id);

}  // namespace shell
