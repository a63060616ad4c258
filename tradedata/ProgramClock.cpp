// The program's ticks and the server-synchronised wall clock.
#include "tradedata/ProgramClock.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <limits>

#include "platform/core/Clock.h"

namespace tradedata {
namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;
constexpr int64_t kUnitsPerMs = 10'000;
constexpr int64_t kSeconds1601To1970 = 11'644'473'600;
constexpr int64_t kUnset = std::numeric_limits<int64_t>::min();

std::atomic<int64_t> g_base{kUnset};

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

int64_t GetHighResTickCount() { return platform::TickMs(); }

double GetHighResMicroseconds() { return static_cast<double>(platform::TickUs()); }

int64_t LocalFileTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const time_t seconds = static_cast<time_t>(FloorDiv(ms, 1000));
    struct tm local {};
    localtime_r(&seconds, &local);
    return (ms + int64_t{local.tm_gmtoff} * 1000 + kSeconds1601To1970 * 1000) * kUnitsPerMs;
}

void SetClockBase(int64_t base) { g_base.store(base, std::memory_order_relaxed); }

int64_t GetClockBase() {
    int64_t base = g_base.load(std::memory_order_relaxed);
    if (base == kUnset) {
        const int64_t fromPc = LocalFileTimeNow() - kUnitsPerMs * GetHighResTickCount();
        // Whichever thread comes first sets it; the others use that one.
        if (!g_base.compare_exchange_strong(base, fromPc, std::memory_order_relaxed)) {
            return base;
        }
        base = fromPc;
    }
    return base;
}

namespace {
int64_t NowFileTime() { return GetClockBase() + kUnitsPerMs * GetHighResTickCount(); }
}  // namespace

SystemTime FileTimeToSystemTime(int64_t fileTime) {
    using namespace std::chrono;
    const int64_t ms = FloorDiv(fileTime, kUnitsPerMs);
    const int64_t totalSeconds = FloorDiv(ms, 1000);
    const int64_t days = FloorDiv(totalSeconds, 86400) - kSeconds1601To1970 / 86400;
    const int64_t secondOfDay = totalSeconds - FloorDiv(totalSeconds, 86400) * 86400;
    const sys_days day{std::chrono::days{days}};
    const year_month_day ymd{day};
    const weekday wd{day};
    return SystemTime{
        static_cast<int>(ymd.year()),         static_cast<int>(static_cast<unsigned>(ymd.month())),
        static_cast<int>(wd.c_encoding()),    static_cast<int>(static_cast<unsigned>(ymd.day())),
        static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
        static_cast<int>(secondOfDay % 60),   static_cast<int>(ms - totalSeconds * 1000)};
}

std::chrono::local_seconds FileTimeToLocalSeconds(int64_t fileTime) {
    return std::chrono::local_seconds{
        std::chrono::seconds{FloorDiv(fileTime, kUnitsPerSecond) - kSeconds1601To1970}};
}

int64_t LocalSecondsToFileTime(std::chrono::local_seconds seconds) {
    return (seconds.time_since_epoch().count() + kSeconds1601To1970) * kUnitsPerSecond;
}

SystemTime GetCurrentSystemTime() { return FileTimeToSystemTime(NowFileTime()); }

std::chrono::local_seconds GetNowTime() { return FileTimeToLocalSeconds(NowFileTime()); }

std::string FormatTimeOfDay(const SystemTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour % 100, t.minute % 100,
                  t.second % 100);
    return text;
}

std::string FormatDate(const SystemTime& t, char separator) {
    char text[16];
    if (separator == 0)
        std::snprintf(text, sizeof text, "%04d%02d%02d", t.year % 10000, t.month % 100,
                      t.day % 100);
    else
        std::snprintf(text, sizeof text, "%04d%c%02d%c%02d", t.year % 10000, separator,
                      t.month % 100, separator, t.day % 100);
    return text;
}

}  // namespace tradedata
