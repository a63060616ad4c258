// The injectable monotonic clock.
#include "platform/core/Clock.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(Clock, SteadyClockIsMonotonicAnd64Bit) {
    const int64_t a = TickUs();
    const int64_t b = TickUs();
    EXPECT_LE(a, b);
    EXPECT_EQ(TickMs(), TickUs() / 1000);
}

TEST(Clock, ManualClockReplacesTheSourceWhileInstalled) {
    ManualClock manual(int64_t{5'000'000'000'000});  // past where a 32-bit ms tick wraps
    {
        ScopedClockSource use(manual);
        EXPECT_EQ(TickMs(), 5'000'000'000);
        manual.AdvanceMs(1500);
        EXPECT_EQ(TickMs(), 5'000'001'500);
        manual.AdvanceUs(7);
        EXPECT_EQ(TickUs(), 5'000'001'500'007);
    }
    EXPECT_LT(TickUs(), 5'000'000'000'000);
}

}  // namespace
