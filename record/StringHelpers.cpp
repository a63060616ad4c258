// Text and number helpers: rounding, trimming, padding, delimited lists, flex items and
// grouped number texts.
#include "record/StringHelpers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>

#include "platform/core/Numbers.h"

namespace pavlet {

namespace {

constexpr std::size_t npos = std::string_view::npos;

std::atomic<int> g_numericGrouping{0};

// Largest cut <= `cut` that does not fall inside a UTF-8 character. Stray continuation
// bytes (no lead byte before them) carry no character to protect and are cut as they come.
std::size_t Utf8Floor(std::string_view s, std::size_t cut) {
    if (cut >= s.size()) return s.size();
    std::size_t p = cut;
    for (int k = 0; k < 3 && p > 0 && (static_cast<unsigned char>(s[p]) & 0xC0) == 0x80; ++k) {
        --p;
    }
    const auto lead = static_cast<unsigned char>(s[p]);
    const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return lead >= 0xC0 && p + len > cut ? p : cut;
}

// Copies `text` into out as a terminated C string of at most size - 1 bytes.
void CopyOut(std::string_view text, char* out, int size) {
    if (out == nullptr || size <= 0) return;
    const std::size_t n = Utf8Floor(text, static_cast<std::size_t>(size - 1));
    if (n > 0) std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

std::optional<std::string_view> Item(std::string_view s, char sep, int n) {
    const std::size_t start = GetSubEntry(s, sep, n);
    if (start == npos) return std::nullopt;
    const std::size_t end = s.find(sep, start);
    return s.substr(start, end == npos ? npos : end - start);
}

bool StartsWithFollowedBy(std::string_view s, std::size_t at, std::string_view item, char a,
                          char b) {
    if (s.substr(at).substr(0, item.size()) != item) return false;
    const std::size_t after = at + item.size();
    return after == s.size() || s[after] == a || s[after] == b;
}

std::string FlexKey(uint32_t key) { return platform::FormatUnsigned(key); }

std::string FlexValueOf(std::string_view s, std::string_view key) {
    int length = 0;
    const std::size_t at = GetFlexItemEntry(s, key, length);
    return at == npos ? std::string() : std::string(s.substr(at, static_cast<std::size_t>(length)));
}

// The value as the fixed 32-byte read buffer saw it: its first 31 bytes.
std::string_view ShortValue(std::string_view s, std::string_view key) {
    int length = 0;
    const std::size_t at = GetFlexItemEntry(s, key, length);
    if (at == npos) return {};
    return s.substr(at, std::min<std::size_t>(static_cast<std::size_t>(length), 31));
}

// Groups the integer digits: 1..9 repeats that size; 32 is 3 then 2s (12,34,56,789). Other
// settings are refused by the system formatter; the digits then stay ungrouped.
std::string GroupDigits(std::string_view digits, int grouping) {
    std::string out(digits);
    if (grouping <= 0 || (grouping > 9 && grouping != 32)) return out;
    std::size_t size = grouping == 32 ? 3 : static_cast<std::size_t>(grouping);
    for (std::size_t pos = out.size(); pos > size;) {
        pos -= size;
        out.insert(pos, 1, ',');
        if (grouping == 32) size = 2;
    }
    return out;
}

}  // namespace

double round(double x) { return x >= 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5); }

double round(double x, double step) {
    if (step == 0 || !std::isfinite(step)) return x;
    const double r = step * round(x / step);
    // A tiny step can overflow x / step; the nearest multiple is then x itself.
    return std::isfinite(x) && !std::isfinite(r) ? x : r;
}

double round(double x, int decimals) {
    return round(x, std::pow(10.0, -static_cast<double>(decimals)));
}

void SetFlexNumericGrouping(int grouping) { g_numericGrouping.store(grouping); }

std::string FlexNumericFormat(double value, int decimals) {
    const int grouping = g_numericGrouping.load();
    if (grouping <= 0 || !std::isfinite(value)) return platform::FormatFixed(value, decimals);
    decimals = std::clamp(decimals, 0, 40);
    const std::string text = platform::FormatFixed(value, 6);
    const bool negative = text[0] == '-';
    const std::size_t point = text.find('.');
    const std::size_t first = negative ? 1 : 0;
    std::string digits = text.substr(first, point - first);
    const std::string_view fraction = std::string_view(text).substr(point + 1);
    const auto kept = static_cast<std::size_t>(std::min(decimals, 6));
    digits.append(fraction.substr(0, kept));
    if (kept < fraction.size() && fraction[kept] >= '5') {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) {
            digits.insert(0, 1, '1');
        } else {
            ++digits[i - 1];
        }
    }
    digits.append(static_cast<std::size_t>(decimals) - kept, '0');
    const std::size_t newIntLength = digits.size() - static_cast<std::size_t>(decimals);
    std::string out = negative ? "-" : "";
    out += GroupDigits(std::string_view(digits).substr(0, newIntLength), grouping);
    if (decimals > 0) {
        out += '.';
        out.append(digits, newIntLength);
    }
    return out;
}

std::string& ltrim(std::string& s) {
    s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
    return s;
}

std::string& rtrim(std::string& s) {
    const std::size_t last = s.find_last_not_of(' ');
    s.erase(last == npos ? 0 : last + 1);
    return s;
}

std::string& alltrim(std::string& s) { return ltrim(rtrim(s)); }

std::string& strpadl(std::string& s, int width, char fill) {
    const auto w = static_cast<std::size_t>(std::max(width, 0));
    if (s.size() > w) s.resize(Utf8Floor(s, w));
    s.insert(0, w - s.size(), fill);
    return s;
}

std::string& strpadr(std::string& s, int width, char fill) {
    const auto w = static_cast<std::size_t>(std::max(width, 0));
    if (s.size() > w) s.resize(Utf8Floor(s, w));
    s.append(w - s.size(), fill);
    return s;
}

int strcnt(std::string_view s, char c) {
    return static_cast<int>(std::count(s.begin(), s.end(), c));
}

std::string& strcrep(std::string& s, char from, char to) {
    std::replace(s.begin(), s.end(), from, to);
    return s;
}

void strremove(std::string& s, char c) { std::erase(s, c); }

std::string& stuff(std::string& s, int n, std::string_view insert, int insertLength) {
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(n, 0)), s.size());
    if (insertLength >= 0) insert = insert.substr(0, static_cast<std::size_t>(insertLength));
    try {
        s.replace(0, count, insert);
    } catch (const std::bad_alloc&) {
        // Out of memory: s stays as it was, as the caller is told to expect.
    }
    return s;
}

std::size_t GetSubEntry(std::string_view s, char sep, int n) {
    if (n < 0) return npos;
    std::size_t p = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t q = s.find(sep, p);
        if (q == npos) return npos;
        p = q + 1;
    }
    return p;
}

std::string GetSubString(std::string_view s, char sep, int n) {
    const auto item = Item(s, sep, n);
    return item ? std::string(*item) : std::string();
}

int GetSubString(std::string_view s, char sep, int n, char* out, int size) {
    const auto item = Item(s, sep, n);
    CopyOut(item.value_or(std::string_view()), out, size);
    return item ? static_cast<int>(item->size()) : -1;
}

int GetSubSubString(std::string_view s, char sep, int n, char subsep, int m, char* out, int size) {
    const auto item = Item(s, sep, n);
    const auto sub = item ? Item(*item, subsep, m) : std::nullopt;
    const bool found = sub && !sub->empty();
    CopyOut(found ? *sub : std::string_view(), out, size);
    return found ? static_cast<int>(sub->size()) : -1;
}

std::string GetSubSubString(std::string_view s, char sep, int n, char subsep, int m) {
    const auto item = Item(s, sep, n);
    const auto sub = item ? Item(*item, subsep, m) : std::nullopt;
    return sub ? std::string(*sub) : std::string();
}

int FindSubString(std::string_view s, char sep, std::string_view item) {
    if (s.empty() || item.empty()) return -1;
    std::size_t p = 0;
    for (int index = 0;; ++index) {
        if (StartsWithFollowedBy(s, p, item, sep, sep)) return index;
        const std::size_t q = s.find(sep, p);
        if (q == npos) return -1;
        p = q + 1;
    }
}

int FindSubString(std::string_view s, char sep, int32_t value) {
    if (s.empty()) return -1;
    for (int index = 0;; ++index) {
        const auto item = Item(s, sep, index);
        if (!item) return -1;
        if (platform::AtolSat(*item) == value) return index;
    }
}

int FindSubSubString(std::string_view s, char sep, char subsep, int m, std::string_view item) {
    if (s.empty() || item.empty() || m < 0) return -1;
    for (int index = 0;; ++index) {
        const std::size_t start = GetSubEntry(s, sep, index);
        if (start == npos) return -1;
        const std::size_t sub = GetSubEntry(*Item(s, sep, index), subsep, m);
        if (sub != npos && StartsWithFollowedBy(s, start + sub, item, subsep, sep)) return index;
    }
}

int FindSubSubString(std::string_view s, char sep, char subsep, int m, int32_t value) {
    if (s.empty() || m < 0) return -1;
    for (int index = 0;; ++index) {
        const auto entry = Item(s, sep, index);
        if (!entry) return -1;
        const auto sub = Item(*entry, subsep, m);
        if (sub && platform::AtolSat(*sub) == value) return index;
    }
}

void SetSubString(std::string& s, char sep, int n, std::string_view value) {
    if (n < 0) return;
    const int have = strcnt(s, sep);
    if (have < n) s.append(static_cast<std::size_t>(n - have), sep);
    const std::size_t start = GetSubEntry(s, sep, n);
    const std::size_t end = s.find(sep, start);
    s.replace(start, (end == npos ? s.size() : end) - start, value);
}

void RemoveSubString(std::string& s, char sep, int n) {
    const std::size_t start = GetSubEntry(s, sep, n);
    if (start == npos) return;
    const std::size_t end = s.find(sep, start);
    s.erase(start, end == npos ? npos : end + 1 - start);
}

std::size_t GetFlexItemEntry(std::string_view s, std::string_view key, int& length) {
    std::size_t p = 0;
    for (;;) {
        const std::size_t eq = s.find('=', p);
        if (eq == npos) return npos;
        const std::size_t bar = s.find('|', p);
        if ((bar == npos || eq < bar) && s.substr(p, eq - p) == key) {
            const std::size_t value = eq + 1;
            length = static_cast<int>((bar == npos ? s.size() : bar) - value);
            return value;
        }
        if (bar == npos) return npos;
        p = bar + 1;
    }
}

std::string GetFlexItem(std::string_view s, std::string_view key) { return FlexValueOf(s, key); }

std::string GetFlexItem(std::string_view s, uint32_t key) { return FlexValueOf(s, FlexKey(key)); }

int32_t GetFlexItemLong(std::string_view s, std::string_view key) {
    return platform::AtolSat(ShortValue(s, key));
}

int32_t GetFlexItemLong(std::string_view s, uint32_t key) {
    return GetFlexItemLong(s, FlexKey(key));
}

double GetFlexItemDouble(std::string_view s, std::string_view key) {
    return platform::Atof(ShortValue(s, key));
}

double GetFlexItemDouble(std::string_view s, uint32_t key) {
    return GetFlexItemDouble(s, FlexKey(key));
}

int SetFlexItem(std::string& s, std::string_view key, std::string_view value) {
    int length = 0;
    const std::size_t at = GetFlexItemEntry(s, key, length);
    if (at != npos) {
        s.replace(at, static_cast<std::size_t>(length), value);
        return static_cast<int>(value.size()) - length;
    }
    s.append(key).append(1, '=').append(value).append(1, '|');
    return static_cast<int>(key.size() + value.size() + 2);
}

int SetFlexItem(std::string& s, uint32_t key, std::string_view value) {
    return SetFlexItem(s, FlexKey(key), value);
}

int SetFlexItem(std::string& s, std::string_view key, int32_t value) {
    return SetFlexItem(s, key, platform::FormatInt(value));
}

int SetFlexItem(std::string& s, uint32_t key, int32_t value) {
    return SetFlexItem(s, FlexKey(key), platform::FormatInt(value));
}

int SetFlexItem(std::string& s, std::string_view key, double value) {
    return SetFlexItem(s, key, platform::FormatFixed(value, 6));
}

int SetFlexItem(std::string& s, uint32_t key, double value) {
    return SetFlexItem(s, FlexKey(key), platform::FormatFixed(value, 6));
}

}  // namespace pavlet
