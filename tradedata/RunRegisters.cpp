// The batch-operation count, the tick marks and the system-parameter record.
#include "tradedata/RunRegisters.h"

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/StringHelpers.h"
#include "tradedata/ProgramClock.h"

namespace tradedata {
namespace {

std::atomic<int32_t> g_batchCount{0};

std::mutex g_tickMutex;
std::unordered_map<uint32_t, int64_t> g_tickMarks;

std::mutex g_parameterMutex;
std::string g_parameters;

}  // namespace

int32_t BeginBatchOperation() { return g_batchCount.fetch_add(1) + 1; }
int32_t EndBatchOperation() { return g_batchCount.fetch_sub(1) - 1; }
int32_t GetBatchOperationCount() { return g_batchCount.load(); }

void SetTickMark(uint32_t id) {
    const int64_t now = GetHighResTickCount();
    std::lock_guard lock(g_tickMutex);
    g_tickMarks[id] = now;
}

void ClearTickMark(uint32_t id) {
    std::lock_guard lock(g_tickMutex);
    g_tickMarks[id] = 0;
}

int64_t GetElapsedTicks(uint32_t id) {
    const int64_t now = GetHighResTickCount();
    std::lock_guard lock(g_tickMutex);
    auto it = g_tickMarks.find(id);
    return now - (it == g_tickMarks.end() ? 0 : it->second);
}

void SetSystemParameterRecord(std::string record) {
    std::lock_guard lock(g_parameterMutex);
    g_parameters = std::move(record);
}

std::string GetSystemParameterText(uint32_t number) {
    std::lock_guard lock(g_parameterMutex);
    std::string item = pavlet::GetFlexItem(g_parameters, number);
    if (item.size() > 127) item.resize(127);
    return item;
}

int32_t GetSystemParameter(uint32_t number) {
    const std::string text = GetSystemParameterText(number);
    const int32_t value = platform::AtolSat(text);
    if (value == 0 &&
        (platform::EqualsNoCaseAscii(text, "YES") || platform::EqualsNoCaseAscii(text, "TRUE")))
        return 1;
    return value;
}

}  // namespace tradedata
