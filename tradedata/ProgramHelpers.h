// Small program-wide helpers: the program directory, string helpers, the amount in Chinese
// capital numerals, alert event names, colour conversion, the decimals of a price tick, least-
// squares trend fits and the time value of a "hh:mm:ss" text.
#pragma once

#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>

#include <fmt/printf.h>

namespace tradedata {

// The program directory without its trailing '/'.
std::string GetAppDirectory();

// A string whose assignment from a C text is AssignStringSafe and which trims itself.
class CTrimString : public std::string {
public:
    using std::string::string;
    CTrimString& operator=(const char* text);
    // Removes white space (ASCII) at both ends.
    CTrimString& Trim();
};

// A null text empties s; a pointer into s's own text makes s the tail from that point;
// anything else is copied.
void AssignStringSafe(std::string& s, const char* text);

// s cut to width when not shorter, else filled on the left with fill up to width.
std::string& PadLeft(std::string& s, char fill, int width);
int CountChar(std::string_view s, char c);
void ReplaceChar(std::span<uint8_t> bytes, uint8_t from, uint8_t to);

// printf-style formatting into out, independent of the locale and of any buffer size. A format
// that does not fit its arguments leaves out empty.
template <typename... Args>
void FormatString(std::string& out, std::string_view format, const Args&... args) {
    try {
        out = fmt::sprintf(format, args...);
    } catch (const std::exception&) {
        out.clear();
    }
}

// "%02X" of each byte.
std::string BytesToHex(std::span<const uint8_t> bytes);

// The amount in Chinese capital numerals ("壹仟零伍拾元整", "负叁角"); empty for an amount that
// is not finite or not below 10^16.
std::string AmountToChineseCapitals(double amount);

// Names of the alert events 0-8 ("委托成功" ... "全部成交"); empty otherwise.
std::string GetAlertEventName(int event);

// Colours are COLORREF values (0x00BBGGRR). Hue in degrees 0..360, the rest 0..1.
void RgbToHsv(uint32_t colour, double& hue, double& saturation, double& value);
// 0 unless 0 <= saturation <= 1, 0 <= value <= 1 and 0 <= hue < 360.
uint32_t HsvToRgb(double hue, double saturation, double value);
inline int XorInt(int a, int b) { return a ^ b; }

// 0 for a tick of 1 or more; otherwise the smallest n in 1..4 with tick x 10^n >= 0.9999; 0
// when none (and for a zero, negative or non-finite tick).
int GetTickDecimals(double tick);

struct FitStats {
    double regression;        // sum of (fitted - mean)^2
    double residual;          // sum of (y - fitted)^2
    double residualVariance;  // residual / (n - 2); 0 for fewer than 3 points
    double mean;
    double lastFitted;  // fitted value at x = n - 1
};
// Least-squares slope of y over x = 0..n-1; 0 for fewer than 2 points.
double LinearFit(std::span<const double> y, FitStats* stats = nullptr);
// Fits the last k values for k = 2, 3, ..., n - 1 while the fit's correlation stays at least
// minCorrelation and its slope keeps the direction of the one before; the last accepted
// slope (0 and length 0 when none).
double TrendFit(std::span<const double> y, double minCorrelation, double* lastFitted, int* length);

// The text split at any of "-/.:", read as hour x 10000 + minute x 100 + second from its
// first three pieces (missing pieces 0), saturated to 32 bits.
int32_t ParseTimeValue(std::string_view text);

}  // namespace tradedata
