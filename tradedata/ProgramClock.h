// The program's clocks: the 64-bit millisecond and microsecond ticks and the server-synchronised
// wall clock (a base in 100-ns units since 1601 plus the tick), which everything that shows or
// stamps "now" uses instead of the PC's clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tradedata {

// Milliseconds of the monotonic clock; 64 bits, so it never wraps.
int64_t GetHighResTickCount();
// Microseconds of the same clock as a whole number, for round-trip times.
double GetHighResMicroseconds();

// Wall time broken down as the server's clock shows it (no time-zone conversion).
struct SystemTime {
    int year;
    int month;      // 1-12
    int dayOfWeek;  // 0 Sunday - 6 Saturday
    int day;
    int hour;
    int minute;
    int second;
    int milliseconds;
};

// The clock base: base + 10,000 x GetHighResTickCount() is the synchronised time in 100-ns
// units since 1601-01-01. Until it is set it follows the PC's local time.
void SetClockBase(int64_t base);
int64_t GetClockBase();
// The PC's local time now, in the same units (the base before any synchronisation).
int64_t LocalFileTimeNow();

SystemTime GetCurrentSystemTime();
// The same moment to the second, as wall time.
std::chrono::local_seconds GetNowTime();

// "%H:%M:%S" of the time, and "%Y%m%d" (separator 0) or "%Y.%m.%d" (separator '.') of its date.
std::string FormatTimeOfDay(const SystemTime& t);
std::string FormatDate(const SystemTime& t, char separator);

// 100-ns units since 1601 as broken-down time; wall time in seconds and back.
SystemTime FileTimeToSystemTime(int64_t fileTime);
std::chrono::local_seconds FileTimeToLocalSeconds(int64_t fileTime);
int64_t LocalSecondsToFileTime(std::chrono::local_seconds seconds);

}  // namespace tradedata
