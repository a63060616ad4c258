// Program-wide services of the toolkit.
#include "comm/ToolkitRuntime.h"

#include <atomic>
#include <cstring>

namespace NoltComm {

namespace {
std::atomic<uint32_t> g_sequence{0};
}

int32_t NextSequenceNumber() { return static_cast<int32_t>(g_sequence.fetch_add(1) + 1); }

std::size_t TrimTrailingZeros(char* text, std::size_t length) {
    if (length == 0 || std::memchr(text, '.', length) == nullptr) return length;
    while (length > 0 && text[length - 1] == '0') --length;
    if (length > 0 && text[length - 1] == '.') --length;
    return length;
}

void TrimTrailingZeros(std::string& text) {
    text.resize(TrimTrailingZeros(text.data(), text.size()));
}

std::string MakeEmptyText() { return std::string(); }

// The crypto library frees its global state itself when the process exits. Cleaning it up
// here would end it for good in this process: a reconnection thread still winding down, or
// a later session of the same process, would crash on its freed locks.
void CleanupCryptoLibrary() {}

bool TraceEnabled(const char*) { return true; }
bool Trace(const char*, const char*) { return true; }

}  // namespace NoltComm
