// A table's rows kept in a section of a settings (ini) file, as flex lists ("606=cu|607=x|")
// or as comma-separated values under their own keys.
#pragma once

#include <span>
#include <string>
#include <string_view>

class CFixRecord;

namespace tradedata {

// Stored fields: the table's fields in layout order up to the first of identity 0, without
// 100 (colour) and 3010 (check box).

// Appends one row per key "<section><n>" (n = 1, 2, ...) up to the first missing or empty one.
void LoadFlexRowsFromIni(CFixRecord& table, std::string_view section, const std::string& iniPath);
// Empties the section, then writes row i as "<section><i + 1>"; only the listed identities
// when the list is not empty.
void SaveFlexRowsToIni(CFixRecord& table, std::string_view section, const std::string& iniPath,
                       std::span<const unsigned> identities = {});

// The file is iniPath, else the private profile, else the installation profile. Every key of
// the section with a non-empty value (file order) appends a row: the key into keyIdentity
// (when not 0) and item j of the comma-separated value into identities[j].
void LoadCsvRowsFromIni(CFixRecord& table, std::string_view section, unsigned keyIdentity,
                        std::span<const unsigned> identities, const std::string& iniPath = {});
// Empties the section; per row the key is the keyIdentity field's text (or "<section><row+1>"
// when keyIdentity is 0) and the value each listed field's text followed by ",".
void SaveCsvRowsToIni(CFixRecord& table, std::string_view section, unsigned keyIdentity,
                      std::span<const unsigned> identities, const std::string& iniPath = {});

}  // namespace tradedata
