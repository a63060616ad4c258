// What the push handlers report to: the windows they post to (through an abstract sink, the
// core has no window layer), their trace and trade-log lines, and the shared small rules of
// both handlers (the refresh bit of an order kind, the order state after fills or cancels).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace market::feed {

enum class PushWindow : uint8_t { kWorkspace, kQuoteBoard, kFrame };

class PushSink {
public:
    virtual ~PushSink() = default;
    // Posts; never sends (the caller is a receive thread or the leg-2 worker).
    virtual void Post(PushWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// `LogOptions` bits that switch the handlers' trace lines on.
inline constexpr uint32_t kTraceConfirms = 0x10;
inline constexpr uint32_t kTraceTrades = 0x100;

// Refresh bits of the workspace.
inline constexpr uint32_t kRefreshAfterTrade = 0x1030;
inline constexpr uint32_t kRefreshQuoteRow = 0x20000;
// Frame command with the trade-counter row after a counted cancel.
inline constexpr uint32_t kCommandCounterRow = 37;
// The frame state's bit: the trade counters were loaded (a detected self-trade clears it).
inline constexpr uint32_t kFrameCountersLoaded = 0x2000;
// Account notify bits: funds and positions to refresh.
inline constexpr int32_t kNotifyFundsPositions = 0x30;

struct PushLogHooks {
    std::function<uint32_t()> logOptions;              // default shell's `LogOptions`
    std::function<int32_t()> logLevel;                 // default shell's "LogLevel"
    std::function<void(std::string_view)> trace;       // default the daily trace file
    std::function<void(const std::string&)> tradeLog;  // a level-200 line of the trade log
};
// The hooks with every unset one given its default.
PushLogHooks WithDefaults(PushLogHooks hooks);
// Hooks that read the given switches and write nothing (the handlers run by tools, fuzzing and
// measurements, where every line is formatted but none is kept).
PushLogHooks SilentLogHooks(uint32_t logOptions, int32_t logLevel);

// Posts the kind's refresh bit to the workspace; nothing for a kind without one.
void PostOrderKindRefresh(PushSink& sink, int32_t kind);
// 7 after a cancel, else 5 while unfilled quantity is left, else 6.
int32_t StateAfterFill(int32_t cancelled, int32_t filled, int32_t ordered);
// The trade-counter row of the key (763), made with its identity fields when absent; -1 when
// the table has no layout. The caller holds the counter table's exclusive lock.
int FindOrAddCounterRow(const std::string& key, const std::string& khh, const char* type,
                        const std::string& exchange, const std::string& contract);
// a + b clamped to the int32 range (pushed quantities are outside input).
int32_t AddClamped(int32_t a, int32_t b);

}  // namespace market::feed
