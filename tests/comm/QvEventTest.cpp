// The manual-reset event and its time-outs on the program clock.
#include "comm/QvEvent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/core/Clock.h"

namespace NoltComm {
namespace {

TEST(QvEventTest, ManualResetStaysSignalledUntilReset) {
    CQvEvent event;
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(1000));
    EXPECT_TRUE(event.Wait());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(QvEventTest, SetWakesAWaiterOnAnotherThread) {
    CQvEvent event;
    auto waiter = std::async(std::launch::async, [&] { return event.Wait(); });
    event.Set();
    EXPECT_TRUE(waiter.get());
}

TEST(QvEventTest, TimeOutFollowsTheProgramClock) {
    platform::ManualClock clock;
    platform::ScopedClockSource source(clock);
    CQvEvent event;
    auto waiter = std::async(std::launch::async, [&] { return event.Wait(5000); });
    // The waiter only ends once the program clock passes its deadline, however long that
    // takes in real time; step the clock until it has.
    while (waiter.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        clock.AdvanceMs(1000);
    }
    EXPECT_FALSE(waiter.get());
}

}  // namespace
}  // namespace NoltComm
