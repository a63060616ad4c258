// The handlers' shared rules and log defaults.
#include "market/feed/PushSink.h"

#include <algorithm>
#include <utility>

#include "record/MemRecord.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "shell/services/TradeLogger.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace market::feed {
namespace {

struct KindBit {
    int32_t kind;
    uint32_t bit;
};
constexpr KindBit kKindBits[] = {{2, 0x10000}, {3, 0x100000}, {4, 0x200000}, {5, 0x40000},
                                 {6, 0x80000}, {7, 0x400000}, {11, 0x800000}};

// The workspace refresh bit of an order kind (1842); 0 for a kind without one.
uint32_t RefreshBitForOrderKind(int32_t kind) {
    for (const KindBit& k : kKindBits)
        if (k.kind == kind) return k.bit;
    return 0;
}

}  // namespace

PushLogHooks WithDefaults(PushLogHooks hooks) {
    if (!hooks.logOptions) hooks.logOptions = [] { return shell::GetLogOptions(); };
    if (!hooks.logLevel) hooks.logLevel = [] { return shell::GetLogLevel(); };
    if (!hooks.trace) hooks.trace = [](std::string_view line) { shell::WriteLogLine(line); };
    if (!hooks.tradeLog)
        hooks.tradeLog = [](const std::string& line) {
            shell::GetTradeLogger("", 400).Info("%s", line);
        };
    return hooks;
}

PushLogHooks SilentLogHooks(uint32_t logOptions, int32_t logLevel) {
    PushLogHooks hooks;
    hooks.logOptions = [logOptions] { return logOptions; };
    hooks.logLevel = [logLevel] { return logLevel; };
    hooks.trace = [](std::string_view) {};
    hooks.tradeLog = [](const std::string&) {};
    return hooks;
}

void PostOrderKindRefresh(PushSink& sink, int32_t kind) {
    const uint32_t bit = RefreshBitForOrderKind(kind);
    if (bit != 0) sink.Post(PushWindow::kWorkspace, tradedata::kWmFrameRefresh, bit, 0);
}

int32_t StateAfterFill(int32_t cancelled, int32_t filled, int32_t ordered) {
    if (cancelled > 0) return 7;
    return filled < ordered ? 5 : 6;
}

int FindOrAddCounterRow(const std::string& key, const std::string& khh, const char* type,
                        const std::string& exchange, const std::string& contract) {
    CFixRecord& t = tradedata::OrderCountTable;
    if (t.GetFCount() == 0) return -1;
    int row = t.Find(763, key.c_str());
    if (row >= 0) return row;
    row = t.GetMemRecord()->Append(nullptr, true);
    if (row < 0) return -1;
    t.Set(763, std::string_view(key), row);
    t.Set(605, std::string_view(khh), row);
    t.Set(1332, type, row);
    t.Set(599, std::string_view(exchange), row);
    if (!contract.empty()) t.Set(7125, std::string_view(contract), row);
    return row;
}

int32_t AddClamped(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace market::feed
