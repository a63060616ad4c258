// Text and number helpers used across the system: rounding, trimming and padding, in-place
// edits, delimited lists ("a,b,c"), flex items ("605=A|606=B|") and grouped number texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pavlet {

// Numbers. `round` halves away from zero; qualify it as pavlet::round beside <cmath>.
double round(double x);
// Nearest multiple of step. A zero or non-finite step gives x back unchanged.
double round(double x, double step);
// Rounds to `decimals` digits after the point (a negative count rounds to tens, hundreds...).
// Never NaN for a finite x: a count so large that the step over- or underflows gives x.
double round(double x, int decimals);

// Thousands grouping of FlexNumericFormat for the whole process; 0 (no grouping) at start.
void SetFlexNumericGrouping(int grouping);
// The value with `decimals` digits after the point. Without grouping the digits are rounded
// as "%.Nf" does (binary value, ties to even); with grouping the six-decimal "%lf" text is
// rounded half up to `decimals` digits, then grouped with ',' and '.' as the point.
std::string FlexNumericFormat(double value, int decimals);

// Trimming removes ASCII spaces only.
std::string& ltrim(std::string& s);
std::string& rtrim(std::string& s);
std::string& alltrim(std::string& s);

// Widths count bytes. A text shorter than width is filled up to width (on the left for
// strpadl, on the right for strpadr); a longer one is cut to width, never inside a UTF-8
// character: a cut that would split one falls before it and the fill makes up the width.
std::string& strpadl(std::string& s, int width, char fill);
std::string& strpadr(std::string& s, int width, char fill);

int strcnt(std::string_view s, char c);
std::string& strcrep(std::string& s, char from, char to);
void strremove(std::string& s, char c);
// Replaces the first n bytes of s (all of s when shorter, none when n < 0) by the first
// insertLength bytes of insert (all of it when insertLength < 0 or longer than insert).
std::string& stuff(std::string& s, int n, std::string_view insert, int insertLength = -1);

// Delimited lists: items separated by `sep`, numbered from 0. A two-level list has entries
// separated by `sep` and sub-items inside an entry separated by `subsep`.

// Offset of the first byte of item n, or npos when s has fewer than n separators (or n < 0).
std::size_t GetSubEntry(std::string_view s, char sep, int n);
// Item n; empty when it does not exist.
std::string GetSubString(std::string_view s, char sep, int n);
// Copies item n into out (at most size - 1 bytes, cut on a UTF-8 character boundary, always
// terminated). Returns the item's full length, or -1 when item n does not exist (out is then
// empty). A null out or a size <= 0 writes nothing and only returns the length.
int GetSubString(std::string_view s, char sep, int n, char* out, int size);
// Sub-item m of item n: its length, or -1 when item n does not exist or the sub-item is
// missing or empty. The buffer form copies as GetSubString does.
int GetSubSubString(std::string_view s, char sep, int n, char subsep, int m, char* out, int size);
std::string GetSubSubString(std::string_view s, char sep, int n, char subsep, int m);
// Number of the first item that is exactly `item` (its text followed by sep or the end); -1
// for an empty s or item, or no match.
int FindSubString(std::string_view s, char sep, std::string_view item);
// Number of the first item whose atol value is `value` (an empty item counts as 0); -1 for
// an empty s or no match.
int FindSubString(std::string_view s, char sep, int32_t value);
// Number of the first entry whose sub-item m is exactly `item` (followed by subsep, sep or
// the end), or whose sub-item m has the atol value `value`; -1 otherwise.
int FindSubSubString(std::string_view s, char sep, char subsep, int m, std::string_view item);
int FindSubSubString(std::string_view s, char sep, char subsep, int m, int32_t value);
// Replaces item n with value, first appending separators until s has n of them.
void SetSubString(std::string& s, char sep, int n, std::string_view value);
// Removes item n with the separator that follows it; the last item goes without the
// separator before it ("a,b,c" without item 2 is "a,b,"). No item n: nothing changes.
void RemoveSubString(std::string& s, char sep, int n);

// Flex items: "key=value|" repeated. An item counts only when its '=' comes before its '|';
// the scan ends where no '=' follows. A key matches when the text before '=' equals it.

// Offset of the value of item `key` with its length (up to '|' or the end), or npos.
std::size_t GetFlexItemEntry(std::string_view s, std::string_view key, int& length);
// The value, empty when absent. A numeric key is written as "%u".
std::string GetFlexItem(std::string_view s, std::string_view key);
std::string GetFlexItem(std::string_view s, uint32_t key);
// atol / atof of the value's first 31 bytes.
int32_t GetFlexItemLong(std::string_view s, std::string_view key);
int32_t GetFlexItemLong(std::string_view s, uint32_t key);
double GetFlexItemDouble(std::string_view s, std::string_view key);
double GetFlexItemDouble(std::string_view s, uint32_t key);
// Replaces the value of `key` (result: new length - old length of the value) or appends
// "key=value|" (result: bytes added). Numbers are written as "%d" and "%lf".
int SetFlexItem(std::string& s, std::string_view key, std::string_view value);
int SetFlexItem(std::string& s, uint32_t key, std::string_view value);
int SetFlexItem(std::string& s, std::string_view key, int32_t value);
int SetFlexItem(std::string& s, uint32_t key, int32_t value);
int SetFlexItem(std::string& s, std::string_view key, double value);
int SetFlexItem(std::string& s, uint32_t key, double value);

}  // namespace pavlet
