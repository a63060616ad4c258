// Fuzz target: flex items and delimited lists (get, set, find, remove, pad) over arbitrary text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "record/StringHelpers.h"

namespace {

bool ValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static constexpr char kSeps[] = {',', '|', ';', '='};
    const char sep = kSeps[data[0] & 3];
    const char subsep = kSeps[(data[0] >> 2) & 3];
    const int n = data[1] % 16 - 1;
    const int m = data[2] % 8;
    const int width = data[3] % 40 - 2;
    std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
    // Text, key and value are separated by newlines.
    const std::size_t nl1 = rest.find('\n');
    const std::string_view text = rest.substr(0, nl1);
    std::string_view key, value;
    if (nl1 != std::string_view::npos) {
        const std::string_view tail = rest.substr(nl1 + 1);
        const std::size_t nl2 = tail.find('\n');
        key = tail.substr(0, nl2);
        if (nl2 != std::string_view::npos) value = tail.substr(nl2 + 1);
    }

    // Flex items: a found value is the text right after "key=" and holds no '|'.
    int length = -1;
    const std::size_t at = pavlet::GetFlexItemEntry(text, key, length);
    if (at != std::string_view::npos) {
        Check(length >= 0 && at + static_cast<std::size_t>(length) <= text.size());
        Check(at > key.size() && text[at - 1] == '=' &&
              text.substr(at - 1 - key.size(), key.size()) == key);
        Check(text.substr(at, static_cast<std::size_t>(length)).find('|') ==
              std::string_view::npos);
    }
    (void)pavlet::GetFlexItemLong(text, key);
    (void)pavlet::GetFlexItemDouble(text, 605u);
    std::string row(text);
    const int change = pavlet::SetFlexItem(row, key, value);
    Check(row.size() ==
          text.size() + static_cast<std::size_t>(static_cast<std::ptrdiff_t>(change)));
    if (at != std::string_view::npos && value.find('|') == std::string_view::npos) {
        Check(pavlet::GetFlexItem(row, key) == value);
    }

    // Delimited lists.
    char out[8];
    const int itemLength = pavlet::GetSubString(text, sep, n, out, static_cast<int>(sizeof out));
    const std::string item = pavlet::GetSubString(text, sep, n);
    Check(itemLength == (pavlet::GetSubEntry(text, sep, n) == std::string_view::npos
                             ? -1
                             : static_cast<int>(item.size())));
    Check(std::strlen(out) < sizeof out && item.compare(0, std::strlen(out), out) == 0);
    (void)pavlet::GetSubSubString(text, sep, n, subsep, m, out, static_cast<int>(sizeof out));
    (void)pavlet::GetSubSubString(text, sep, n, subsep, m);
    const int found = pavlet::FindSubString(text, sep, key);
    if (found >= 0 && key.find(sep) == std::string_view::npos) {
        Check(pavlet::GetSubString(text, sep, found) == key);
    }
    (void)pavlet::FindSubString(text, sep, static_cast<int32_t>(n));
    (void)pavlet::FindSubSubString(text, sep, subsep, m, key);
    (void)pavlet::FindSubSubString(text, sep, subsep, m, static_cast<int32_t>(n));

    std::string list(text);
    const int seps = pavlet::strcnt(list, sep);
    pavlet::SetSubString(list, sep, n, value);
    if (n >= 0 && value.find(sep) == std::string_view::npos) {
        Check(pavlet::GetSubString(list, sep, n) == value);
        Check(pavlet::strcnt(list, sep) == std::max(seps, n));
    }
    std::string removed(text);
    pavlet::RemoveSubString(removed, sep, n);
    Check(removed.size() <= text.size());
    for (int i = 0; i < n; ++i) {
        Check(pavlet::GetSubString(removed, sep, i) == pavlet::GetSubString(text, sep, i));
    }

    // Padding keeps the width and never breaks UTF-8.
    std::string left(text), right(text);
    pavlet::strpadl(left, width, '0');
    pavlet::strpadr(right, width, ' ');
    Check(left.size() == static_cast<std::size_t>(std::max(width, 0)) &&
          left.size() == right.size());
    if (ValidUtf8(text)) Check(ValidUtf8(left) && ValidUtf8(right));
    std::string trimmed(text);
    pavlet::alltrim(trimmed);
    Check(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' '));

    // Numbers: any double, any grouping; never NaN from a finite value.
    if (text.size() >= sizeof(double)) {
        double x;
        std::memcpy(&x, text.data(), sizeof x);
        pavlet::SetFlexNumericGrouping(data[1] % 34);
        const std::string number = pavlet::FlexNumericFormat(x, m - 1);
        Check(!number.empty());
        pavlet::SetFlexNumericGrouping(0);
        if (std::isfinite(x)) {
            Check(!std::isnan(pavlet::round(x, n * 37 - 200)));
            Check(!std::isnan(pavlet::round(x)));
        }
    }
    return 0;
}
