// The program's layer over its three settings files: the user directory and "localize.ini",
// the localisation readers and writers, the change-logging setting writers, the one-time move
// of files into the user directory and the "ALIAS" relabelling texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace shell {

// "<program directory>/User", rebuilt on every call (without a trailing '/').
std::string GetUserDirectory();
// "<user directory>/localize.ini".
std::string GetLocalizeIniPath();

// Creates every missing directory of path (mode 0700). 1 when all levels exist at the end,
// 0 when one cannot be created.
int CreateDirectoryPath(std::string_view path);
// 1 when an entry that is not a directory matches the path, which may hold '*' and '?'.
int FileExists(std::string_view pathOrPattern);

// The value from "localize.ini" when it is not empty; empty when the key stands there with an
// empty value (key names compared without case); otherwise the installation profile's value.
std::string GetLocalizeString(std::string_view section, std::string_view key);
// GetLocalizeString as a number, def when that text is empty.
int GetLocalizeInt(std::string_view section, std::string_view key, int def);
// The key's "localize.ini" value when "localize.ini" holds a non-empty "localize_<key>"
// marker, else the installation profile's value.
std::string GetLocalizeKeyString(std::string_view section, std::string_view key);
int GetLocalizeKeyInt(std::string_view section, std::string_view key, int def);

// Writers of "localize.ini"; true on success. The Key forms also set the "localize_<key>"
// marker to the same value.
bool WriteLocalizeString(std::string_view section, std::string_view key, std::string_view text);
bool WriteLocalizeInt(std::string_view section, std::string_view key, int value);
bool WriteLocalizeKeyString(std::string_view section, std::string_view key, std::string_view text);
bool WriteLocalizeKeyInt(std::string_view section, std::string_view key, int value);
bool ReadLocalizeStruct(std::string_view section, std::string_view key, void* data,
                        std::size_t size);
bool WriteLocalizeStruct(std::string_view section, std::string_view key, const void* data,
                         std::size_t size);

// Stores a changed setting in the private store and writes the change to the trace file
// ("参数设置:\t<label>\t<old> => <new>"; the label "[section].key" when empty). An unchanged
// value (compared on its first 511 bytes) is neither written nor logged.
// 1 when written, 0 when unchanged, -1 when the write failed.
int WriteConfigString(std::string_view section, std::string_view key, std::string_view text,
                      std::string_view label);
int WriteConfigInt(std::string_view section, std::string_view key, int value,
                   std::string_view label);
// "%lf", or "%.<decimals>lf" when decimals > 0.
int WriteConfigDouble(std::string_view section, std::string_view key, double value, int decimals,
                      std::string_view label);

// Start-up: creates the user directory on the first start and moves the per-account
// profiles, the .rmf files and the contract caches into it; creates and seeds "localize.ini"
// with the communication and last-account keys of the installation profile when missing.
void MigrateUserFiles();

// Builds the alias text ("key,value|key,value") from section "ALIAS" of the installation
// profile. True when there is at least one alias (the window layer then installs its
// relabelling).
bool LoadAliasTable();
const std::string& GetAliasText();
// The alias of a whole text, or the text itself when it has none.
std::string MapAliasText(std::string_view text);

}  // namespace shell
