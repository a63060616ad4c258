// The live market: whole-tick moves within the limits, volume and open interest that never
// fall, the update rate, and a sequence that the seed alone decides.
#include "testserver/Market.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace testserver {
namespace {

using std::chrono::milliseconds;

bool IsWholeTick(double price, double tick) {
    const double ticks = price / tick;
    return std::fabs(ticks - std::round(ticks)) < 1e-6;
}

TEST(MarketTest, TakesTheDaysFuturesWithTheirTicksAndLimits) {
    const TradingDay day = SampleTradingDay();
    const Market market(day);
    ASSERT_EQ(market.Quotes().size(), day.futures.size());
    const MarketQuote* cu = market.Find("cu2701");
    ASSERT_NE(cu, nullptr);
    EXPECT_EQ(cu->exchange, "SQ");
    EXPECT_DOUBLE_EQ(cu->tick, 10);
    EXPECT_DOUBLE_EQ(cu->Price(cu->settlement), 74000);
    EXPECT_DOUBLE_EQ(cu->Price(cu->upper), 79180);  // 74000 x 1.07, down to a tick
    EXPECT_DOUBLE_EQ(cu->Price(cu->lower), 68820);
    EXPECT_DOUBLE_EQ(cu->Price(cu->last), 74020);
    const MarketQuote* au = market.Find("au2701");
    ASSERT_NE(au, nullptr);
    EXPECT_DOUBLE_EQ(au->tick, 0.02);
    EXPECT_EQ(au->decimals, 2);
    EXPECT_EQ(market.Find("nosuch"), nullptr);
}

// Many steps over a whole session: every price stays on the tick grid and inside the limits,
// the book is ordered around the last price, and the day's totals only grow.
TEST(MarketTest, MovesByWholeTicksWithinLimitsAndTotalsNeverFall) {
    Market market(SampleTradingDay(), {.rate = 5, .seed = 7});
    std::vector<MarketQuote> before = market.Quotes();
    std::size_t moves = 0;
    for (int step = 0; step < 600; ++step) {
        // A contract may move more than once in a step: compare with the step before.
        std::map<std::size_t, int64_t> times;
        for (std::size_t index : market.Advance(milliseconds(100))) ++times[index];
        for (const auto& [index, count] : times) {
            const MarketQuote& q = market.Quotes()[index];
            const MarketQuote& old = before[index];
            SCOPED_TRACE(q.code);
            ASSERT_GE(q.last, q.lower);
            ASSERT_LE(q.last, q.upper);
            ASSERT_TRUE(IsWholeTick(q.Price(q.last), q.tick));
            ASSERT_LE(std::llabs(q.last - old.last), 2 * count);
            moves += q.last != old.last;
            ASSERT_GE(q.volume, old.volume + count);
            ASSERT_GE(q.turnover, old.turnover);
            ASSERT_GE(q.openInterest, old.openInterest);
            ASSERT_GE(q.high, q.last);
            ASSERT_LE(q.low, q.last);
            for (int k = 0; k < kBookLevels; ++k) {
                if (q.bids[k] != 0) {
                    ASSERT_GE(q.bids[k], q.lower);
                    ASSERT_LT(q.bids[k], q.last);
                    ASSERT_GT(q.bidVolumes[k], 0);
                }
                if (q.asks[k] != 0) {
                    ASSERT_LE(q.asks[k], q.upper);
                    ASSERT_GT(q.asks[k], q.last);
                    ASSERT_GT(q.askVolumes[k], 0);
                }
            }
            before[index] = q;
        }
    }
    EXPECT_GT(moves, 1000u);
}

// A contract pinned at its limit: moves toward the limit stay at it, and the book has no
// level beyond it.
TEST(MarketTest, StopsAtTheLimitAndShowsNoLevelBeyondIt) {
    TradingDay day = SampleTradingDay();
    day.futures.resize(1);
    for (Field& field : day.futures[0])
        if (field.tag == 729) field.value = FieldOf(day.futures[0], 706);
    Market market(day, {.rate = 50, .seed = 3});
    bool atLimit = false;
    for (int step = 0; step < 200; ++step) {
        market.Advance(milliseconds(100));
        const MarketQuote& q = market.Quotes()[0];
        ASSERT_LE(q.last, q.upper);
        if (q.last == q.upper) {
            atLimit = true;
            for (int k = 0; k < kBookLevels; ++k) {
                EXPECT_EQ(q.asks[k], 0);
                EXPECT_EQ(q.askVolumes[k], 0);
            }
        }
    }
    EXPECT_TRUE(atLimit);
}

TEST(MarketTest, SameSeedSameSequenceOtherSeedAnother) {
    auto run = [](uint64_t seed) {
        Market market(SampleTradingDay(), {.rate = 3, .seed = seed});
        std::vector<std::pair<std::size_t, int64_t>> sequence;
        for (int step = 0; step < 50; ++step)
            for (std::size_t index : market.Advance(milliseconds(100)))
                sequence.emplace_back(index, market.Quotes()[index].last);
        return sequence;
    };
    EXPECT_EQ(run(42), run(42));
    EXPECT_NE(run(42), run(43));
}

// The rate is per contract and per second, carried over steps shorter than one update.
TEST(MarketTest, MakesRateTimesContractsUpdatesPerSecond) {
    struct Case {
        double rate;
        milliseconds step;
        int steps;
        std::size_t expected;
    };
    const TradingDay day = SampleTradingDay();
    const std::size_t n = day.futures.size();
    for (const Case& c :
         {Case{3, milliseconds(100), 10, 3 * n}, Case{10, milliseconds(1), 2000, 20 * n},
          Case{0, milliseconds(1000), 5, 0}, Case{0.5, milliseconds(1000), 4, 2 * n}}) {
        SCOPED_TRACE(c.rate);
        Market market(day, {.rate = c.rate, .seed = 1});
        std::size_t updates = 0;
        for (int i = 0; i < c.steps; ++i) updates += market.Advance(c.step).size();
        EXPECT_NEAR(static_cast<double>(updates), static_cast<double>(c.expected), 1.0);
        EXPECT_EQ(market.Now(), c.step.count() * c.steps);
    }
}

// Update times rise through a step (in the order of each contract's last update), and the
// time of day starts at the configured hour.
TEST(MarketTest, UpdateTimesRiseThroughTheStep) {
    Market market(SampleTradingDay(), {.rate = 2, .seed = 5, .dayStartMs = 23 * 3600 * 1000});
    const std::vector<std::size_t> updated = market.Advance(milliseconds(1000));
    ASSERT_FALSE(updated.empty());
    std::map<std::size_t, std::size_t> lastPosition;
    for (std::size_t i = 0; i < updated.size(); ++i) lastPosition[updated[i]] = i;
    std::map<std::size_t, std::size_t> byPosition;
    for (const auto& [index, position] : lastPosition) byPosition[position] = index;
    int64_t previous = 0;
    for (const auto& [position, index] : byPosition) {
        EXPECT_GT(market.Quotes()[index].updateMs, previous);
        previous = market.Quotes()[index].updateMs;
    }
    EXPECT_EQ(previous, 1000);
    EXPECT_EQ(market.TimeOfDayMs(1000), 23 * 3600 * 1000 + 1000);
    EXPECT_EQ(market.TimeOfDayMs(3600 * 1000), 0);  // past midnight
}

TEST(MarketTest, BadRatesAndEmptyDaysMakeNoUpdates) {
    TradingDay empty = SampleTradingDay();
    empty.futures.clear();
    Market none(empty);
    EXPECT_TRUE(none.Advance(milliseconds(1000)).empty());
    for (double rate : {-1.0, std::nan("")}) {
        Market market(SampleTradingDay(), {.rate = rate});
        EXPECT_TRUE(market.Advance(milliseconds(1000)).empty());
    }
    Market market(SampleTradingDay());
    EXPECT_TRUE(market.Advance(milliseconds(-5)).empty());
    market.Update(market.Quotes().size());  // out of range: nothing
}

}  // namespace
}  // namespace testserver
