// to_chars/from_chars behind the C library's number rules.
#include "platform/core/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/core/Encoding.h"

namespace platform {
namespace {

std::size_t skipBlanks(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && AsciiIsSpace(t[i])) ++i;
    return i;
}

}  // namespace

int64_t Atol64Sat(std::string_view text) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as a negative number so that INT64_MIN is reachable.
    int64_t value = 0;
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (overflow) return negative ? kMin : std::numeric_limits<int64_t>::max();
    if (negative) return value;
    return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

int32_t AtolSat(std::string_view text) {
    const int64_t v = Atol64Sat(text);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

double Atof(std::string_view text) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string_view rest = text.substr(i);
    double value = 0;
    std::from_chars_result r{};
    if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        r = std::from_chars(rest.data() + 2, rest.data() + rest.size(), value,
                            std::chars_format::hex);
    } else {
        r = std::from_chars(rest.data(), rest.data() + rest.size(), value,
                            std::chars_format::general);
    }
    if (r.ec == std::errc::result_out_of_range) {
        // strtod gives +-HUGE_VAL on overflow and 0 (or a denormal) on underflow.
        const bool big = rest.find_first_of("eE") == std::string_view::npos ||
                         rest[rest.find_first_of("eE") + 1] != '-';
        value = big ? HUGE_VAL : 0.0;
    } else if (r.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

int32_t DoubleToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

std::size_t FormatIntTo(char* buf, std::size_t size, int64_t value) {
    if (size == 0) return 0;
    char tmp[24];
    const auto r = std::to_chars(tmp, tmp + sizeof tmp, value);
    std::size_t n = static_cast<std::size_t>(r.ptr - tmp);
    if (n > size - 1) n = size - 1;
    std::memcpy(buf, tmp, n);
    buf[n] = '\0';
    return n;
}

std::size_t FormatFixedTo(char* buf, std::size_t size, double value, int decimals) {
    if (size == 0) return 0;
    if (decimals < 0) decimals = 0;
    if (decimals > 40) decimals = 40;
    char tmp[400];
    std::size_t n;
    if (std::isnan(value)) {
        n = std::signbit(value) ? 4 : 3;
        std::memcpy(tmp, std::signbit(value) ? "-nan" : "nan", n);
    } else if (std::isinf(value)) {
        n = value < 0 ? 4 : 3;
        std::memcpy(tmp, value < 0 ? "-inf" : "inf", n);
    } else {
        const auto r =
            std::to_chars(tmp, tmp + sizeof tmp, value, std::chars_format::fixed, decimals);
        n = r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - tmp) : 0;
    }
    if (n > size - 1) n = size - 1;
    std::memcpy(buf, tmp, n);
    buf[n] = '\0';
    return n;
}

std::string FormatInt(int64_t value) {
    char buf[24];
    return std::string(buf, FormatIntTo(buf, sizeof buf, value));
}

std::string FormatUnsigned(uint64_t value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FormatFixed(double value, int decimals) {
    char buf[400];
    return std::string(buf, FormatFixedTo(buf, sizeof buf, value, decimals));
}

std::string FormatG(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

}  // namespace platform
