// Tests of the program's ticks and the server-synchronised wall clock.
#include "tradedata/ProgramClock.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/core/Clock.h"

namespace tradedata {
namespace {

using namespace std::chrono;

// First: the other tests set the base.
TEST(ProgramClockTest, UnsetBaseFollowsThePcClock) {
    const int64_t before = LocalFileTimeNow();
    const int64_t now = GetClockBase() + 10'000 * GetHighResTickCount();
    // The base is taken once; the PC's clock may have moved since, but not by a day.
    EXPECT_LT(std::llabs(now - before), 864'000'000'000LL);
}

TEST(ProgramClockTest, TicksFollowTheClockAndNeverWrap) {
    platform::ManualClock clock(5'000'000);
    platform::ScopedClockSource use(clock);
    EXPECT_EQ(GetHighResTickCount(), 5000);
    EXPECT_EQ(GetHighResMicroseconds(), 5'000'000.0);
    clock.AdvanceMs(50LL * 24 * 3600 * 1000);  // past the 49.7 days of a 32-bit tick
    EXPECT_EQ(GetHighResTickCount(), 5000 + 50LL * 24 * 3600 * 1000);
}

TEST(ProgramClockTest, SynchronisedTimeIsBasePlusTick) {
    platform::ManualClock clock(1'000'000);
    platform::ScopedClockSource use(clock);
    const local_seconds wall = local_days{2024y / January / 5} + 9h + 3min + 7s;
    SetClockBase(LocalSecondsToFileTime(wall) + 450'000 - 10'000 * GetHighResTickCount());
    clock.AdvanceMs(1500);
    const SystemTime t = GetCurrentSystemTime();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 5);
    EXPECT_EQ(t.dayOfWeek, 5);  // a Friday
    EXPECT_EQ(t.hour, 9);
    EXPECT_EQ(t.minute, 3);
    EXPECT_EQ(t.second, 8);
    EXPECT_EQ(t.milliseconds, 545);
    EXPECT_EQ(GetNowTime(), wall + 1s);
}

TEST(ProgramClockTest, FileTimeConversions) {
    const SystemTime epoch1601 = FileTimeToSystemTime(0);
    EXPECT_EQ(epoch1601.year, 1601);
    EXPECT_EQ(epoch1601.month, 1);
    EXPECT_EQ(epoch1601.day, 1);
    EXPECT_EQ(epoch1601.dayOfWeek, 1);  // a Monday
    const local_seconds leap = local_days{2024y / February / 29} + 23h + 59min + 59s;
    const SystemTime t = FileTimeToSystemTime(LocalSecondsToFileTime(leap));
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.second, 59);
    EXPECT_EQ(FileTimeToLocalSeconds(LocalSecondsToFileTime(leap)), leap);
}

}  // namespace
}  // namespace tradedata
