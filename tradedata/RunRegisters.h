// Three small run-time registers: the count of running batch operations, the tick marks by id
// and the system-parameter record.
#pragma once

#include <cstdint>
#include <string>

namespace tradedata {

int32_t BeginBatchOperation();
int32_t EndBatchOperation();
int32_t GetBatchOperationCount();

// Tick marks (milliseconds of the program's clock), guarded: the user-interface thread and
// the frame's worker both use them.
void SetTickMark(uint32_t id);
void ClearTickMark(uint32_t id);
// Now minus the stored mark; an id never marked counts from 0.
int64_t GetElapsedTicks(uint32_t id);

// The system-parameter record: a flex record keyed by parameter number.
void SetSystemParameterRecord(std::string record);
// The item (up to 127 bytes).
std::string GetSystemParameterText(uint32_t number);
// The item as a number; "YES" or "TRUE" (any case) count 1.
int32_t GetSystemParameter(uint32_t number);

}  // namespace tradedata
