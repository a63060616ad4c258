// Profile (ini) files: GBK on disk, UTF-8 through this interface, read through a process-wide
// parsed cache and written by replacing the whole file atomically.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Rules every function below follows:
// - CR LF, LF and a lone CR each end a line, in any mix within one file;
// - section and key names compare without ASCII case; names and values lose their leading and
//   trailing blanks; one pair of matching quotes (" or ') around a value is removed; a
//   default loses its trailing blanks;
// - a missing file, section or key reads as the default; of two sections or two keys with the
//   same name the first one counts (keys are looked up in the first block of a section only);
// - within a section a line with '=' is a setting ("=value" is one, of the empty key) and any
//   other line is an item (a section can be a list, one item a line), except comment lines
//   (';'), blank lines and lines holding NUL bytes; lines before the first section belong to
//   none. Every line is kept as it stands when the file is rewritten (its end becomes CR LF);
// - a '[' line without ']' is a broken header: the lines under it belong to no section (they
//   are not taken for lines of the section above it);
// - every write rewrites the file with CR LF line ends into a temporary file in the same
//   directory, syncs it and renames it over the old one, so the file on disk is always either
//   the old or the new one. An existing file keeps its mode; a new one gets newFileMode.
//   A file that exists but cannot be read is never rewritten (its other settings would be
//   lost), and neither is one that the write would make larger than kProfileMaxFileSize.

constexpr mode_t kProfileNewFileMode = 0600;

// Files larger than this read as empty and are never rewritten.
constexpr std::size_t kProfileMaxFileSize = 64u << 20;
// Of a file with more lines than this only these are read, and it is never rewritten: what
// a file holds in memory stays within a few times its size however short its lines are.
constexpr std::size_t kProfileMaxLines = 1u << 16;

std::string ReadProfileString(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue = {});
// The value when the key is there (an empty one too), nothing when it is not: for readers to
// whom an empty setting means something other than a missing one.
std::optional<std::string> FindProfileString(const std::string& file, std::string_view section,
                                             std::string_view key);

// Names of all sections, or of the keys of one section, each once (first spelling), in file
// order. The key names leave out items and the empty key (a NUL-separated list cannot hold it).
std::vector<std::string> ReadProfileSectionNames(const std::string& file);
std::vector<std::string> ReadProfileKeyNames(const std::string& file, std::string_view section);
// Every setting and item of a section (first block), in file order: a setting as "key=value",
// the key as stored and the value as a read returns it; an item as its text.
std::vector<std::string> ReadProfileSection(const std::string& file, std::string_view section);

// Replaces the value of the key in place (keeping its line and stored spelling) or appends the
// key after the last key line of its section, creating the section (at the end) and the file
// when missing. Refuses (false) names or values holding CR, LF or NUL, a key holding '=' or
// starting with ';' or '[', and an empty key.
bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value, mode_t newFileMode = kProfileNewFileMode);
// Remove every line of the key in the section / every block of the section. A missing file,
// section or key is left alone and counts as success.
bool DeleteProfileKey(const std::string& file, std::string_view section, std::string_view key);
bool DeleteProfileSection(const std::string& file, std::string_view section);

// Binary blocks: upper-case hexadecimal of the bytes followed by one checksum byte (the sum of
// the bytes modulo 256). A read fills data only when the stored block has exactly `size`
// bytes and a correct checksum.
bool ReadProfileStruct(const std::string& file, std::string_view section, std::string_view key,
                       void* data, std::size_t size);
bool WriteProfileStruct(const std::string& file, std::string_view section, std::string_view key,
                        const void* data, std::size_t size,
                        mode_t newFileMode = kProfileNewFileMode);

// The same blocks as texts, for stores that keep them elsewhere.
std::string EncodeProfileStruct(const void* data, std::size_t size);
bool DecodeProfileStruct(std::string_view text, void* data, std::size_t size);

// Names as one text: each followed by NUL, the whole ended by one more NUL.
std::string ToDoubleNulList(const std::vector<std::string>& names);

// C-shaped forms with nullable arguments, for code written against buffers:
// - a null section lists the section names, a null key the key names of the section, as a
//   double-NUL text; otherwise the value, or def (null: empty) when missing;
// - copies at most size - 1 bytes (never cutting a UTF-8 character) plus NUL and returns the
//   bytes copied;
// - a list that needs the whole buffer or more is cut (between characters) and ended by two
//   NULs, and gives size - 2: an exact fit gives size - 2 too, as a cut list does, so a caller
//   that gets size - 2 asks again with more room; an empty list (a missing file or section
//   too) is one NUL and gives 0.
uint32_t GetPrivateProfileString(const char* section, const char* key, const char* def,
                                 char* buffer, uint32_t size, const char* file);
// A null value deletes the key, a null key deletes the section; all three null empties the
// cache of the file (its next read parses it again).
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* file);
bool GetPrivateProfileStruct(const char* section, const char* key, void* data, uint32_t size,
                             const char* file);
bool WritePrivateProfileStruct(const char* section, const char* key, const void* data,
                               uint32_t size, const char* file);

// The cache notices changes by the file's size, inode and modification time (nanoseconds).
// Times move in clock ticks, so while a file's time is less than two seconds old each look
// also reads its bytes again and parses them when they changed. What remains: a change in place
// that keeps the size and sets the time back to one older than that, or a file system whose
// clock runs more than two seconds behind ours, is only seen after this call (or by a write,
// which always reads the file again).
void FlushProfileCache();

// Tests: called with the temporary file's path after it has been written and synced, just
// before the rename; returning false abandons the write as a failed rename would. An empty
// function removes the hook.
void SetProfileWriteHookForTesting(std::function<bool(const std::string& tempPath)> hook);

}  // namespace platform
