// The local files of the user directory: the daily cache files of reference data, the
// carrying-over of the older per-account files into the account's store, and tables kept in
// a section of "localize.ini".
#pragma once

#include <string>
#include <string_view>

class CFixRecord;

namespace shell {

// The program's version text, the first line of every cache file ("%d.%d.%d.%d").
std::string GetProgramVersionText();

// Writes the table as the cache file `fileName` of the user directory: the version line, the
// date line (dateText, "%Y%m%d" of the synchronised clock), then one "tag=value|" line per
// row of the stored columns (layout order, up to the first column of tag 0 or 100), CR LF,
// GBK. The file is replaced as a whole (mode 0600). A value that a line cannot carry (CR, LF,
// NUL or '|') makes the write fail and removes the old file, so stale data is never loaded.
bool SaveUserRecordFile(CFixRecord& table, std::string_view fileName, std::string_view dateText);

// Appends the rows of the cache file `fileName` of the user directory and returns its date
// (empty when the file is missing, of another version, undated, or damaged). The file is
// parsed as a whole first: a damaged file appends nothing.
void LoadUserRecordFile(CFixRecord& table, std::string_view fileName, std::string& date);
// The same over the file's bytes; true when rows were taken (they are then appended).
bool ParseUserRecordFile(CFixRecord& table, std::string_view bytes, std::string& date);

// Truncates the cache file to 0 bytes when it exists.
void EmptyUserRecordFile(std::string_view fileName);
inline void ClearUserRecordFile(std::string_view fileName) { EmptyUserRecordFile(fileName); }

// Carries the older text message file (TAB-separated lines: date, time, time text, type,
// content) into the account's store as day records under 10,000,000 + yyyymmdd. The number
// of day records written.
int MigrateMessageTextFile(const std::string& storePath, const std::string& textPath);
// Carries "MESSAGE.rmf" (messages, LF -> 0x05) and "帐单.rmf" (bills) of the older folder
// into the account's store. The number of records written.
int MigrateIndexedFiles(const std::string& storePath, const std::string& olderFolder);

// A table in a section of "localize.ini": "VERSION", then "<section><n>" per row from 0.
void SaveTableToLocalize(CFixRecord& table, std::string_view section);
void LoadTableFromLocalize(CFixRecord& table, std::string_view section);
void ClearLocalizeSection(std::string_view section);

}  // namespace shell
