// The settings store: the installation profile and the per-user private store (a private
// profile file, or the private registry file), read with defaults at the point of use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pavlet {

// Paths. A name without '/' lives in the program directory.
std::string GetFilePath(std::string_view name);
// The directory of path (up to and including its last '/') followed by file; the program
// directory followed by file when path is null or has no '/'.
std::string GetDefaultOpenPath(const char* path, std::string_view file);

// The installation profile (the application's profile name); empty until set, and an empty
// name clears it.
void SetProfileName(std::string_view name);
std::string GetProfileName();

// The application's name, part of the private registry section names ("Kelmon").
void SetApplicationName(std::string_view name);
std::string GetApplicationName();

// Installation profile. Texts: the value, or def (when not null) for an empty or missing one.
std::string ReadConfigure(std::string_view section, std::string_view key, const char* def);
// 1 or 0 for a non-empty value (a non-zero number or not), def for an empty or missing one.
int ReadConfigure(std::string_view section, std::string_view key, int def);
// The number of a non-empty value, clamped to min..max when min < max; def (never clamped)
// for an empty or missing one.
int ReadConfigInt(std::string_view section, std::string_view key, int def, int min, int max);
// 1 when the value was written, 0 when it already stood so (the file is not touched) or the
// write failed.
int WriteConfigure(std::string_view section, std::string_view key, std::string_view value);
int WriteConfigure(std::string_view section, std::string_view key, int value);

// The private store: a private profile file, or the private registry when its key is set (the
// registry then wins and the file name is ignored).
void SetPrivateProfileName(std::string_view path);
std::string GetPrivateProfileName();
void SetPrivateRegistryKey(std::string_view key);
std::string GetPrivateRegistryKey();

// Reads fall back to the installation profile for what the private store does not hold.
std::string ReadPrivateConfigure(std::string_view section, std::string_view key, const char* def);
int ReadPrivateConfigure(std::string_view section, std::string_view key, int def);
// What the private store itself holds for the key, an empty value too; nothing when it holds no
// such key (or holds it as "null"). No fallback: for settings whose empty value is a choice.
std::optional<std::string> FindPrivateConfigure(std::string_view section, std::string_view key);
int ReadPrivateConfigInt(std::string_view section, std::string_view key, int def, int min, int max);
// Non-zero when data was filled with exactly size bytes.
int ReadPrivateConfigureStruct(std::string_view section, std::string_view key, void* data,
                               unsigned size);

// Writes go to the private store, or to the installation profile when no private store is
// named. Non-zero on success.
int WritePrivateConfigure(std::string_view section, std::string_view key, std::string_view value);
int WritePrivateConfigure(std::string_view section, std::string_view key, int value);
// Six decimals, or `decimals` when it is above 0.
int WritePrivateConfigure(std::string_view section, std::string_view key, double value,
                          int decimals);
int WritePrivateConfigureStruct(std::string_view section, std::string_view key, const void* data,
                                unsigned size);

// The private registry lives in one profile-format file of ours, by default
// "$HOME/.kelmon/registry.ini": section "SoftWare\<key>\<application>\<section>", each value
// the hexadecimal of its bytes (texts in GBK, without NUL). Tests point it elsewhere; an empty
// text restores the default.
void SetRegistryFileForTesting(std::string_view path);
std::string GetRegistryFile();

}  // namespace pavlet
