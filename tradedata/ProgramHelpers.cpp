// Program-wide helpers: directory, strings, Chinese capital amounts, alert names, colours,
// tick decimals, trend fits and time values.
#include "tradedata/ProgramHelpers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/Paths.h"
#include "record/StringHelpers.h"

namespace tradedata {
namespace {

constexpr const char* kNumerals[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
constexpr const char* kDigitUnits[] = {"仟", "佰", "拾", ""};
constexpr const char* kGroupUnits[] = {"元", "万", "亿", "兆"};
constexpr int kMaxPadWidth = 1023;

// One group of four digits; leading zeros are left to the caller, inner zeros become one
// "零", trailing zeros nothing.
std::string GroupText(std::string_view digits) {
    std::string out;
    bool zero = false;
    bool started = false;
    for (int i = 0; i < 4; ++i) {
        const int d = digits[static_cast<std::size_t>(i)] - '0';
        if (d == 0) {
            zero = started;
            continue;
        }
        if (zero) out += kNumerals[0];
        zero = false;
        started = true;
        out += kNumerals[d];
        out += kDigitUnits[i];
    }
    return out;
}

}  // namespace

std::string GetAppDirectory() {
    std::string dir = platform::ProgramDir();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

CTrimString& CTrimString::operator=(const char* text) {
    AssignStringSafe(*this, text);
    return *this;
}

CTrimString& CTrimString::Trim() {
    std::size_t b = 0;
    std::size_t e = size();
    while (b < e && platform::AsciiIsSpace((*this)[b])) ++b;
    while (e > b && platform::AsciiIsSpace((*this)[e - 1])) --e;
    assign(substr(b, e - b));
    return *this;
}

void AssignStringSafe(std::string& s, const char* text) {
    if (text == nullptr) {
        s.clear();
        return;
    }
    const auto at = std::less_equal<const char*>{};
    if (at(s.data(), text) && at(text, s.data() + s.size())) {
        s.erase(0, static_cast<std::size_t>(text - s.data()));
        return;
    }
    s.assign(text);
}

std::string& PadLeft(std::string& s, char fill, int width) {
    return pavlet::strpadl(s, std::clamp(width, 0, kMaxPadWidth), fill);
}

int CountChar(std::string_view s, char c) { return pavlet::strcnt(s, c); }

void ReplaceChar(std::span<uint8_t> bytes, uint8_t from, uint8_t to) {
    std::replace(bytes.begin(), bytes.end(), from, to);
}

std::string BytesToHex(std::span<const uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

std::string AmountToChineseCapitals(double amount) {
    if (!std::isfinite(amount) || std::fabs(amount) >= 1e16) return {};
    const std::string text = platform::FormatFixed(std::fabs(amount), 2);
    const std::size_t point = text.find('.');
    std::string integer = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "00" : text.substr(point + 1, 2);
    if (integer.size() > 16) return {};  // rounding carried the amount to 10^16

    std::string out;
    const int groups = static_cast<int>((integer.size() + 3) / 4);
    integer.insert(0, static_cast<std::size_t>(groups) * 4 - integer.size(), '0');
    bool pendingZero = false;  // zeros stand between the last group written and the next
    bool any = false;
    for (int g = 0; g < groups; ++g) {
        const std::string_view digits = std::string_view(integer).substr(g * 4u, 4);
        const int unit = groups - 1 - g;
        if (digits == "0000") {
            pendingZero = any;
            continue;
        }
        if (any && (pendingZero || digits[0] == '0')) out += kNumerals[0];
        out += GroupText(digits);
        if (unit > 0) out += kGroupUnits[unit];
        pendingZero = digits[3] == '0';
        any = true;
    }
    out = any ? out + kGroupUnits[0] : std::string(kNumerals[0]) + kGroupUnits[0];

    const int jiao = fraction[0] - '0';
    const int fen = fraction[1] - '0';
    if (jiao != 0) out += std::string(kNumerals[jiao]) + "角";
    if (fen != 0) out += std::string(kNumerals[fen]) + "分";
    if (jiao == 0 && fen == 0) out += "整";
    const bool negative = amount < 0 && (any || jiao != 0 || fen != 0);
    return negative ? "负" + out : out;
}

std::string GetAlertEventName(int event) {
    static constexpr const char* kNames[] = {"委托成功", "委托失败", "撤单成功",
                                             "撤单失败", "成交回报", "操作失败",
                                             "价差减小", "价差增大", "全部成交"};
    if (event < 0 || event >= static_cast<int>(std::size(kNames))) return {};
    return kNames[event];
}

void RgbToHsv(uint32_t colour, double& hue, double& saturation, double& value) {
    const double r = (colour & 0xFF) / 255.0;
    const double g = ((colour >> 8) & 0xFF) / 255.0;
    const double b = ((colour >> 16) & 0xFF) / 255.0;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    value = max;
    saturation = max == 0 ? 0 : (max - min) / max;
    if (saturation == 0) {
        hue = 0;
        return;
    }
    const double delta = max - min;
    double h;
    if (r == max) {
        h = (g - b) / delta;
    } else if (g == max) {
        h = 2 + (b - r) / delta;
    } else {
        h = 4 + (r - g) / delta;
    }
    h *= 60;
    if (h < 0) h += 360;
    if (h >= 360) h -= 360;
    hue = h;
}

uint32_t HsvToRgb(double hue, double saturation, double value) {
    if (!(saturation >= 0 && saturation <= 1 && value >= 0 && value <= 1 && hue >= 0 &&
          hue < 360)) {
        return 0;
    }
    double r = value;
    double g = value;
    double b = value;
    if (saturation != 0) {
        const double h = hue / 60;
        const int sector = static_cast<int>(std::floor(h));
        const double f = h - sector;
        const double p = value * (1 - saturation);
        const double q = value * (1 - saturation * f);
        const double t = value * (1 - saturation * (1 - f));
        // Which of value, t, p, q each component takes, by sector.
        const double pick[4] = {value, t, p, q};
        static constexpr int kSectors[6][3] = {{0, 1, 2}, {3, 0, 2}, {2, 0, 1},
                                               {2, 3, 0}, {1, 2, 0}, {0, 2, 3}};
        const int* c = kSectors[std::clamp(sector, 0, 5)];
        r = pick[c[0]];
        g = pick[c[1]];
        b = pick[c[2]];
    }
    auto component = [](double c) {
        return static_cast<uint32_t>(static_cast<int>(std::ceil(c * 255 - 0.5))) & 0xFF;
    };
    return component(r) | component(g) << 8 | component(b) << 16;
}

int GetTickDecimals(double tick) {
    if (!(tick > 0) || !std::isfinite(tick)) return 0;
    if (tick >= 0.999) return 0;
    for (int n = 1; n <= 4; ++n) {
        tick *= 10;
        if (tick >= 0.9999) return n;
    }
    return 0;
}

double LinearFit(std::span<const double> y, FitStats* stats) {
    const std::size_t n = y.size();
    double sumY = 0;
    for (const double v : y) sumY += v;
    const double mean = n > 0 ? sumY / static_cast<double>(n) : 0;
    double slope = 0;
    if (n >= 2) {
        const double meanX = (static_cast<double>(n) - 1) / 2;
        double sxy = 0;
        double sxx = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double dx = static_cast<double>(i) - meanX;
            sxy += dx * (y[i] - mean);
            sxx += dx * dx;
        }
        slope = sxy / sxx;
    }
    if (stats != nullptr) {
        const double meanX = n > 0 ? (static_cast<double>(n) - 1) / 2 : 0;
        double regression = 0;
        double residual = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double fitted = mean + slope * (static_cast<double>(i) - meanX);
            regression += (fitted - mean) * (fitted - mean);
            residual += (y[i] - fitted) * (y[i] - fitted);
        }
        stats->regression = regression;
        stats->residual = residual;
        stats->residualVariance = n >= 3 ? residual / static_cast<double>(n - 2) : 0;
        stats->mean = mean;
        stats->lastFitted = n > 0 ? mean + slope * (static_cast<double>(n) - 1 - meanX) : 0;
    }
    return slope;
}

double TrendFit(std::span<const double> y, double minCorrelation, double* lastFitted, int* length) {
    double accepted = 0;
    bool have = false;
    if (length != nullptr) *length = 0;
    for (std::size_t k = 2; k + 1 <= y.size(); ++k) {
        FitStats stats{};
        const double slope = LinearFit(y.subspan(y.size() - k), &stats);
        const double total = stats.regression + stats.residual;
        // A flat stretch fits perfectly.
        const double correlation = total > 0 ? std::sqrt(stats.regression / total) : 1;
        if (correlation < minCorrelation) break;
        if (have && slope * accepted < -0.01) break;
        accepted = slope;
        have = true;
        if (lastFitted != nullptr) *lastFitted = stats.lastFitted;
        if (length != nullptr) *length = static_cast<int>(k);
    }
    return accepted;
}

int32_t ParseTimeValue(std::string_view text) {
    std::array<int64_t, 3> pieces{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < pieces.size() && start <= text.size(); ++i) {
        std::size_t end = text.find_first_of("-/.:", start);
        if (end == std::string_view::npos) end = text.size();
        pieces[i] = platform::AtolSat(text.substr(start, end - start));
        if (end == text.size()) break;
        start = end + 1;
    }
    const int64_t value = pieces[0] * 10000 + pieces[1] * 100 + pieces[2];
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace tradedata
