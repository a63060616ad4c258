// Locale-free number parsing and formatting with the C library's rules (atol, atof, %d, %g,
// %.Nf), since Qt sets the process locale at start-up and a Windows long is 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// atol/atoi rules (leading blanks, optional sign, digits, the rest ignored), saturating at
// the int32 limits instead of wrapping.
int32_t AtolSat(std::string_view text);
inline int32_t AtoiSat(std::string_view text) { return AtolSat(text); }
// The same with a 64-bit result (keys of indexed files, stamps).
int64_t Atol64Sat(std::string_view text);
// atof rules: leading blanks, optional sign, a decimal or hexadecimal number, inf or nan;
// 0 when nothing can be read.
double Atof(std::string_view text);

// double -> int32 truncated toward zero, clamped to the int32 range; NaN gives 0.
int32_t DoubleToInt32(double value);

std::string FormatInt(int64_t value);                 // "%d"
std::string FormatUnsigned(uint64_t value);           // "%u"
std::string FormatFixed(double value, int decimals);  // "%.Nf" ("%lf" is decimals 6)
std::string FormatG(double value);                    // "%g"

// Writes "%.Nf" into buf (size includes the NUL) without allocating; returns the length
// written, cut to size - 1.
std::size_t FormatFixedTo(char* buf, std::size_t size, double value, int decimals);
std::size_t FormatIntTo(char* buf, std::size_t size, int64_t value);

}  // namespace platform
