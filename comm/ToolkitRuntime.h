// Small program-wide services of the toolkit: the sequence counter, the number text trimmer
// of the body writer, the empty error text and the trace points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace NoltComm {

// 1, 2, 3, ... across all threads.
int32_t NextSequenceNumber();

// Removes trailing zeros after a decimal point, and the point when nothing follows it
// ("12.500" -> "12.5", "3.000" -> "3"). A text without '.' is left alone.
void TrimTrailingZeros(std::string& text);
// The same on a character range; returns the new length.
std::size_t TrimTrailingZeros(char* text, std::size_t length);

std::string MakeEmptyText();

// Called once at exit. The crypto library releases its global state at process exit on its
// own; this leaves it usable until then.
void CleanupCryptoLibrary();

// Trace points of the send and receive paths; they do nothing.
bool TraceEnabled(const char* category);
bool Trace(const char* category, const char* text);

}  // namespace NoltComm
