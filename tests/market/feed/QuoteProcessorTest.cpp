// Tests of the quote rules: each record kind decoded and applied to a contract row, the
// freshness arbitration between sources, rounding and range checks, the best price history,
// the one-level book shift, average price, the position mark and dropped garbage.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "market/feed/QuoteProcessor.h"
#include "tests/market/feed/QuoteFeedFixture.h"

namespace market::feed {
namespace {

using testing::ByteLayout;
using testing::Bytes;
using testing::CompactBytes;
using testing::Join;
using testing::Level1Bytes;
using testing::Level2Bytes;
using testing::TypedRecord;

using QuoteProcessorTest = testing::QuoteFeedTest;

// Compact entry numbers of the tag list.
constexpr int kLastEntry = 4, kVolumeEntry = 5, kBidEntry = 12, kSettleEntry = 1,
              kAverageEntry = 32;

TEST_F(QuoteProcessorTest, SnapshotIsAppliedRoundedAndAnnouncedOnce) {
    Level2Bytes r{"cu2501"};
    r.time = 93000500;
    r.prevSettle = 70000;
    r.average = 1;  // replaced by the computed average
    r.open = 70004;
    r.last = 70105;  // halves round away from zero to the tick of 10
    r.volume = 10;
    r.turnover = 3505000.5;
    r.openInterest = 800;
    r.upper = 73500;
    r.lower = 66500;
    r.levels[0] = {70090, 70110, 3, 4};
    r.levels[4] = {70050, 70150, 9, 8};
    Level2(r);
    EXPECT_EQ(D("cu2501", 729), 70110);
    EXPECT_EQ(D("cu2501", 587), 70000);
    EXPECT_EQ(D("cu2501", 524), 3505000.5) << "an amount is no price: never rounded";
    EXPECT_EQ(L("cu2501", 528), 10);
    EXPECT_EQ(L("cu2501", 1807), 800);
    EXPECT_EQ(D("cu2501", 842), 70090);
    EXPECT_EQ(L("cu2501", 851), 4);
    EXPECT_EQ(D("cu2501", 1357), 70050);
    EXPECT_EQ(L("cu2501", 1360), 8);
    EXPECT_DOUBLE_EQ(D("cu2501", 1734), 3505000.5 / 5 / 10);
    EXPECT_EQ(D("cu2501", 1901), 93000500);
    EXPECT_EQ(D("cu2501", 1803), 100'000'000);
    EXPECT_EQ(D("cu2501", 3203), 100'000'000);
    EXPECT_EQ(workspace.wakes, 1);
    EXPECT_EQ(board.wakes, 0);
    const auto rows = notifier.TakeRows(&workspace);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], tradedata::FindContract("cu2501"));
}

TEST_F(QuoteProcessorTest, SnapshotSkipsMissingOutOfRangeAndNonPositiveValues) {
    SetRow("cu2501", 729, 70000);
    SetRow("cu2501", 813, 69000);
    SetRow("cu2501", 706, 73000);
    SetRow("cu2501", 528, 5);
    SetRow("cu2501", 524, 100);
    Level2Bytes r{"cu2501"};
    r.last = 0;
    r.prevSettle = -1;
    r.upper = std::numeric_limits<double>::quiet_NaN();
    r.volume = kNoValue;
    r.turnover = 1e300;
    r.high = 70200;
    Level2(r);
    EXPECT_EQ(D("cu2501", 729), 70000);
    EXPECT_EQ(D("cu2501", 813), 69000);
    EXPECT_EQ(D("cu2501", 706), 73000);
    EXPECT_EQ(L("cu2501", 528), 5);
    EXPECT_EQ(D("cu2501", 524), 100);
    EXPECT_EQ(D("cu2501", 707), 70200);
}

TEST_F(QuoteProcessorTest, LevelOneWritesEveryFieldWithZeroForBadValues) {
    SetRow("IF2501", 729, 3900);
    SetRow("IF2501", 528, 10);
    SetRow("IF2501", 524, 11'700'000);  // average from these, before the record's own
    Level1Bytes r{"IF2501", true};
    r.timeText = "101112500";
    r.last = 0;
    r.prevSettle = 3890.2f;
    r.volume = -5;
    r.turnover = std::numeric_limits<double>::infinity();
    r.high = 2e7f;  // outside the single-precision range
    r.bidQuantity = 31;
    r.askQuantity = 32;
    r.levels[0].bid = 3912.0f;
    r.levels[0].bidVolume = 4;
    Level1(r);
    EXPECT_EQ(D("IF2501", 729), 0) << "a level-1 last price of 0 is written";
    EXPECT_NEAR(D("IF2501", 813), 3890.2, 1e-9);
    EXPECT_EQ(L("IF2501", 528), 0);
    EXPECT_EQ(D("IF2501", 524), 0);
    EXPECT_EQ(D("IF2501", 707), 0);
    EXPECT_EQ(L("IF2501", 2058), 31);
    EXPECT_EQ(L("IF2501", 2059), 32);
    EXPECT_NEAR(D("IF2501", 842), 3912.0, 1e-9);
    EXPECT_DOUBLE_EQ(D("IF2501", 1734), 11'700'000.0 / 300 / 10);
    EXPECT_EQ(D("IF2501", 1901), 101112500);
    EXPECT_EQ(D("IF2501", 1739), 100'000'000);
    EXPECT_EQ(workspace.wakes, 1);
}

TEST_F(QuoteProcessorTest, ExchangeZZKeepsTheSourcesAveragePrice) {
    Level1Bytes r{"SR501"};
    r.average = 5801.0f;
    r.volume = 3;
    r.turnover = 1000;
    Level1(r);
    EXPECT_EQ(D("SR501", 1734), 5801);
    clock.AdvanceMs(2500);  // past the level-1 record's hold
    Level2Bytes s{"SR501"};
    s.average = 5802;
    s.volume = 4;
    s.turnover = 2000;
    Level2(s);
    EXPECT_EQ(D("SR501", 1734), 5802);
}

TEST_F(QuoteProcessorTest, AveragePriceHonoursTheQuoteCurrencyRate) {
    SetRow("cu2501", 9020, 16);
    SetRow("cu2501", 1787, 2);
    Push({{719, "cu2501"}, {528, "10"}, {524, "1000000"}});
    EXPECT_DOUBLE_EQ(D("cu2501", 1734), 1000000.0 / 5 / 10 / 2);
    // Without turnover in the push the average is left alone.
    Push({{719, "cu2501"}, {528, "20"}});
    EXPECT_DOUBLE_EQ(D("cu2501", 1734), 1000000.0 / 5 / 10 / 2);
}

TEST_F(QuoteProcessorTest, DepthRecordsGoToTheBoardAndTheMaps) {
    ByteLayout q = TypedRecord('4', 152, "cu2501");
    q.Put(40, 70094.0).Put(88, 1e17);  // the second is outside the range: 0
    q.Put<int32_t>(48, 5);
    processor.ProcessLevel2Datagram(q.bytes().data(), 152);
    OrderQueueRecord kept;
    ASSERT_TRUE(processor.GetOrderQueue("cu2501", kept));
    EXPECT_EQ(kept.buyPrice, 70090);
    EXPECT_EQ(kept.sellPrice, 0);
    EXPECT_EQ(kept.buyVolumes[0], 5);
    double inBytes;
    std::memcpy(&inBytes, kept.bytes.data() + 40, sizeof inBytes);
    EXPECT_EQ(inBytes, 70090);
    EXPECT_EQ(D("cu2501", 1814), 100'000'000);
    // A later record of the contract overwrites the kept copy.
    q.Put(40, 70100.0).Put<int32_t>(48, 6);
    processor.ProcessLevel2Datagram(q.bytes().data(), 152);
    ASSERT_TRUE(processor.GetOrderQueue("cu2501", kept));
    EXPECT_EQ(kept.buyPrice, 70100);
    EXPECT_EQ(kept.buyVolumes[0], 6);

    ByteLayout t = TypedRecord('6', 112, "cu2501");
    t.Put<int32_t>(88, 500).Put<int32_t>(92, kNoValue).Put(96, 70001.0).Put(104, 70300.0);
    processor.ProcessLevel2Datagram(t.bytes().data(), 112);
    EXPECT_EQ(L("cu2501", 638), 500);
    EXPECT_EQ(L("cu2501", 628), 0);
    EXPECT_EQ(D("cu2501", 636), 70000);
    EXPECT_EQ(D("cu2501", 626), 70300);

    ByteLayout p = TypedRecord('5', 96, "cu2501");
    p.Put(88, 70046.0);
    processor.ProcessLevel2Datagram(p.bytes().data(), 96);
    EXPECT_EQ(D("cu2501", 1027), 70050);

    ByteLayout d = TypedRecord('7', 208, "cu2501");
    d.Put(88, 70200.0);
    processor.ProcessLevel2Datagram(d.bytes().data(), 208);
    TradeStatisticsRecord stats;
    ASSERT_TRUE(processor.GetTradeStatistics("cu2501", stats));
    EXPECT_EQ(stats.entries[0].price, 70200);

    EXPECT_EQ(workspace.wakes, 0);
    EXPECT_EQ(board.wakes, 1) << "four records, one pending wake-up";
    EXPECT_EQ(notifier.TakeRows(&board).size(), 1u);

    const ByteLayout unknown = TypedRecord('7', 208, "zz9999");
    processor.ProcessLevel2Datagram(unknown.bytes().data(), 208);
    EXPECT_FALSE(processor.GetTradeStatistics("zz9999", stats));
    EXPECT_EQ(processor.Counters().unknown, 1u);
}

TEST_F(QuoteProcessorTest, CompactRecordsSkipUnknownContractsAndMissingValues) {
    SetRow("cu2501", 528, 7);
    CompactBytes unknown{"xx0000"};
    unknown.Add(kLastEntry, CompactBytes::Real(1.0f));
    CompactBytes known{"cu2501", 6};  // a length and 6 bitmap bytes
    known
        .Add(kSettleEntry, CompactBytes::Real(2e7f))  // out of range
        .Add(kLastEntry, CompactBytes::Real(70104.0f))
        .Add(kVolumeEntry, CompactBytes::Int(kNoValue))
        .Add(kBidEntry, CompactBytes::Real(70090.0f))
        .Add(kAverageEntry, CompactBytes::Real(70111.0f))
        .Add(35, CompactBytes::Int(123));  // 1808: no table holds it
    CompactBytes option{"cu2501C70000"};
    option.Add(kLastEntry, CompactBytes::Real(1233.0f));
    Compact(Join({unknown.Encode(), known.Encode(), option.Encode()}));
    EXPECT_EQ(D("cu2501", 729), 70100);
    EXPECT_EQ(D("cu2501", 813), 0);
    EXPECT_EQ(L("cu2501", 528), 7);
    EXPECT_EQ(D("cu2501", 842), 70090);
    EXPECT_EQ(D("cu2501", 1734), 70110) << "without turnover the record's average stands";
    EXPECT_EQ(D("cu2501C70000", 729), 1234);
    EXPECT_EQ(processor.Counters().unknown, 1u);
    EXPECT_EQ(processor.Counters().applied, 2u);
    EXPECT_EQ(processor.Counters().malformed, 0u);
}

TEST_F(QuoteProcessorTest, PushWritesItsListAndKeepsThePushedTimeUnrounded) {
    SetRow("cu2501", 729, 70000);
    Push({{719, "cu2501"}, {729, "0"}, {587, "70016"}, {843, "12"}, {1803, "93000123.75"}});
    EXPECT_EQ(D("cu2501", 729), 70000) << "a pushed last price of 0 is ignored";
    EXPECT_EQ(D("cu2501", 587), 70020);
    EXPECT_EQ(L("cu2501", 843), 12);
    EXPECT_EQ(D("cu2501", 1803), 93000123.75);
    EXPECT_EQ(D("cu2501", 1901), 93000123.75);
    EXPECT_EQ(D("cu2501", 3203), 100'000'000);
}

TEST_F(QuoteProcessorTest, PushWithoutCodeIsCompactRecords) {
    CompactBytes c{"cu2501"};
    c.Add(kLastEntry, CompactBytes::Real(70200.0f));
    const Bytes b = c.Encode();
    struct Fields : QuotePushFields {
        std::string body;
        bool Has(uint32_t) const override { return false; }
        std::string_view Get(uint32_t) const override { return {}; }
        std::string_view Body() const override { return body; }
    } push;
    push.body.assign(b.begin(), b.end());
    processor.ProcessQuotePush(push);
    EXPECT_EQ(D("cu2501", 729), 70200);
    push.body.clear();
    processor.ProcessQuotePush(push);
    EXPECT_EQ(processor.Counters().applied, 1u);
    EXPECT_EQ(processor.Counters().malformed, 0u);
}

TEST_F(QuoteProcessorTest, CombinationRowsTakeOnlyTheirShareOfEachForm) {
    const char* code = "SP cu2501&cu2502";
    Push({{719, code}, {729, "100"}, {842, "-20"}, {843, "3"}, {850, "-10"}, {851, "4"}});
    EXPECT_EQ(CombinationD(729), 0);
    EXPECT_EQ(CombinationD(842), -20) << "combination prices may be negative";
    EXPECT_EQ(CombinationD(851), 4);
    Level2Bytes s{code};
    s.last = 120;
    s.prevSettle = 110;
    s.levels[0] = {-30, -10, 5, 6};
    Level2(s);
    EXPECT_EQ(CombinationD(729), 0);
    EXPECT_EQ(CombinationD(813), 0);
    EXPECT_EQ(CombinationD(842), -30);
    EXPECT_EQ(CombinationD(2000), 0) << "no bid history for combinations";
    CompactBytes c{code};
    c.Add(kLastEntry, CompactBytes::Real(-5.0f));
    Compact(c.Encode());
    EXPECT_EQ(CombinationD(729), -10) << "the compact form gives everything, rounded";
}

TEST_F(QuoteProcessorTest, TickOfZeroOrNaNSkipsRounding) {
    Push({{719, "au2506"}, {729, "612.34"}});
    EXPECT_EQ(D("au2506", 729), 612.34);
    SetRow("au2506", 594, std::numeric_limits<double>::quiet_NaN());
    Level1Bytes r{"au2506"};
    r.prevSettle = 600.5f;
    r.levels[0] = {612.25f, 612.5f, 1, 1};
    Level1(r);
    EXPECT_EQ(D("au2506", 813), 600.5);
    EXPECT_EQ(D("au2506", 842), 612.25);
    EXPECT_FALSE(std::isnan(D("au2506", 850)));
}

TEST_F(QuoteProcessorTest, BestBidHistoryKeepsFourOlderPrices) {
    for (int bid = 10; bid <= 15; ++bid) {
        clock.AdvanceMs(10);
        Push({{719, "au2506"},
              {842, std::to_string(bid)},
              {843, std::to_string(bid * 10)},
              {850, std::to_string(bid + 1)},
              {851, "1"}});
    }
    EXPECT_EQ(D("au2506", 842), 15);
    EXPECT_EQ(D("au2506", 2000), 14);
    EXPECT_EQ(L("au2506", 2001), 140);
    EXPECT_EQ(D("au2506", 2004), 13);
    EXPECT_EQ(D("au2506", 2008), 12);
    EXPECT_EQ(D("au2506", 2012), 11);
    EXPECT_EQ(L("au2506", 2013), 110) << "10 was the fifth oldest and is gone";
    EXPECT_EQ(D("au2506", 2002), 15);
    EXPECT_EQ(D("au2506", 1812), clock.NowMicros());
    const double changed = clock.NowMicros();
    clock.AdvanceMs(10);
    Push({{719, "au2506"}, {842, "15"}, {843, "999"}});
    EXPECT_EQ(D("au2506", 1812), changed) << "an unchanged best bid keeps its time";
    EXPECT_EQ(D("au2506", 2000), 14);
}

TEST_F(QuoteProcessorTest, OneLevelBookShiftsTheStoredDeeperLevels) {
    // cu2501 trades on "SQ" with a tick of 10; the stored book has five levels.
    const double bids[5] = {70100, 70090, 70080, 70070, 70060};
    const double asks[5] = {70110, 70120, 70130, 70140, 70150};
    const uint32_t bidTags[5] = {842, 844, 846, 848, 1357};
    const uint32_t askTags[5] = {850, 852, 854, 856, 1359};
    const uint32_t bidVolTags[5] = {843, 845, 847, 849, 1358};
    const uint32_t askVolTags[5] = {851, 853, 855, 857, 1360};
    for (int k = 0; k < 5; ++k) {
        SetRow("cu2501", bidTags[k], bids[k]);
        SetRow("cu2501", askTags[k], asks[k]);
        SetRow("cu2501", bidVolTags[k], k == 3 ? 0 : 5);  // level 4 empty on the bid side
        SetRow("cu2501", askVolTags[k], 5);
    }
    Level1Bytes r{"cu2501"};
    r.levels[0] = {70070.0f, 70150.0f, 2, 3};  // through the stored level 2 on both sides
    Level1(r);
    EXPECT_EQ(D("cu2501", 842), 70070);
    EXPECT_EQ(L("cu2501", 843), 2);
    // Bids move by 70070 - 70090 - 10 = -30; the empty level stays.
    EXPECT_EQ(D("cu2501", 844), 70060);
    EXPECT_EQ(D("cu2501", 846), 70050);
    EXPECT_EQ(D("cu2501", 848), 70070);
    EXPECT_EQ(D("cu2501", 1357), 70030);
    // Asks move by 70150 - 70120 + 10 = +40.
    EXPECT_EQ(D("cu2501", 852), 70160);
    EXPECT_EQ(D("cu2501", 1359), 70190);
    EXPECT_EQ(L("cu2501", 853), 5);

    // With a second level in the record the whole book is written as it came.
    Level1Bytes full{"cu2501"};
    full.levels[0] = {70100.0f, 70110.0f, 1, 1};
    full.levels[1] = {70090.0f, 70120.0f, 1, 1};
    Level1(full);
    EXPECT_EQ(D("cu2501", 844), 70090);
    EXPECT_EQ(D("cu2501", 1357), 0);
}

TEST_F(QuoteProcessorTest, HeldContractsAskForAPositionRefresh) {
    SetRow("cu2501", 644, 0x200);
    SetRow("cu2501", 729, 70000);
    Push({{719, "cu2501"}, {729, "70000"}});
    EXPECT_EQ(frameState & kFramePositionRefresh, 0u) << "same price, no change";
    Push({{719, "cu2501"}, {729, "70010"}});
    EXPECT_NE(frameState & kFramePositionRefresh, 0u);
    frameState = 0;
    CompactBytes c{"cu2501"};
    c.Add(kLastEntry, CompactBytes::Real(70010.0f));
    Compact(c.Encode());
    EXPECT_NE(frameState & kFramePositionRefresh, 0u) << "compact: arriving is enough";
    frameState = 0;
    Push({{719, "IF2501"}, {729, "3999"}});
    EXPECT_EQ(frameState & kFramePositionRefresh, 0u) << "not held";
    Level1(Level1Bytes{"cu2501"});
    EXPECT_EQ(D("cu2501", 729), 0);
    EXPECT_NE(frameState & kFramePositionRefresh, 0u) << "level 1: a last price of 0 counts";
    frameState = 0;
    clock.AdvanceMs(2500);  // past the level-1 record's hold
    Level2Bytes s{"cu2501"};
    s.last = 70020;
    Level2(s);
    EXPECT_NE(frameState & kFramePositionRefresh, 0u);
    frameState = 0;
    Level2(s);
    EXPECT_EQ(frameState & kFramePositionRefresh, 0u) << "level 2: same price, no change";
}

TEST_F(QuoteProcessorTest, NothingIsProcessedWhileTheFrameCloses) {
    frameState = kFrameClosing;
    Push({{719, "cu2501"}, {729, "70010"}});
    Level2(Level2Bytes{"cu2501"});
    CompactBytes c{"cu2501"};
    c.Add(kLastEntry, CompactBytes::Real(70010.0f));
    Compact(c.Encode());
    EXPECT_EQ(D("cu2501", 729), 0);
    EXPECT_EQ(D("cu2501", 1803), 0);
    EXPECT_EQ(workspace.wakes, 0);
}

TEST_F(QuoteProcessorTest, GarbageIsDroppedAndCountedNeverApplied) {
    Bytes noise(287, 0x41);
    processor.ProcessLevel2Datagram(noise.data(), noise.size());
    Bytes unterminated = Level1Bytes{std::string(30, 'c')}.Encode();
    processor.ProcessLevel2Datagram(unterminated.data(), unterminated.size());
    CompactBytes good{"cu2501"};
    good.Add(kLastEntry, CompactBytes::Real(70010.0f));
    CompactBytes bad{"IF2501", 4, 3};  // its next-record offset points into its own header
    bad.Add(kLastEntry, CompactBytes::Real(3900.0f));
    Compact(Join({good.Encode(), bad.Encode()}));
    EXPECT_EQ(processor.Counters().malformed, 3u);
    EXPECT_EQ(D("cu2501", 729), 70010) << "records before the broken one stand";
    EXPECT_EQ(D("IF2501", 729), 0);
}

// ---- freshness between sources ----

TEST(QuoteFreshnessTest, WhichSourceYieldsToWhichWithinTwoSeconds) {
    constexpr uint32_t kAuto = shell::kQuoteSourceAutomatic;
    constexpr uint32_t kSub = shell::kQuoteSourceSubscription;
    constexpr uint32_t kBroad = shell::kQuoteSourceBroadcast;
    constexpr uint32_t kL2 = shell::kQuoteSourceLevel2;
    constexpr double kNow = 50'000'000;
    // Last accepted update a level-1 record (3203 == 1739), or a push (3203 == 1803).
    auto afterLevel1 = [](double ageMs) {
        const double t = kNow - ageMs * 1000;
        return QuoteStamps{t, 0, t};
    };
    auto afterPush = [](double ageMs) {
        const double t = kNow - ageMs * 1000;
        return QuoteStamps{t, t, 0};
    };
    using O = QuoteOrigin;
    using R = Freshness;
    struct Case {
        const char* name;
        O origin;
        QuoteStamps stamps;
        uint32_t source;
        R expected;
    };
    const Case cases[] = {
        {"push 1.5 s after level 1, automatic", O::kPush, afterLevel1(1500), kAuto, R::kDrop},
        {"push 2.5 s after level 1, automatic", O::kPush, afterLevel1(2500), kAuto,
         R::kAcceptAfterStale},
        {"push 1.5 s after level 1, subscription chosen", O::kPush, afterLevel1(1500), kSub,
         R::kAccept},
        {"push after level 1, broadcast chosen", O::kPush, afterLevel1(1500), kBroad, R::kDrop},
        {"compact 1.5 s after level 1, automatic", O::kCompact, afterLevel1(1500), kAuto, R::kDrop},
        {"compact 2.5 s after level 1: no log", O::kCompact, afterLevel1(2500), kAuto, R::kAccept},
        {"compact after level 1, subscription chosen", O::kCompact, afterLevel1(100), kSub,
         R::kAccept},
        {"level 2 1.5 s after level 1, automatic", O::kLevel2, afterLevel1(1500), kAuto, R::kDrop},
        {"level 2 after level 1, broadcast chosen", O::kLevel2, afterLevel1(1500), kBroad,
         R::kAccept},
        {"level 2 after level 1, subscription chosen", O::kLevel2, afterLevel1(1500), kSub,
         R::kDrop},
        {"level 2 2.5 s after level 1", O::kLevel2, afterLevel1(2500), kAuto, R::kAcceptAfterStale},
        {"push after a push", O::kPush, afterPush(10), kAuto, R::kAccept},
        {"level 1 1.5 s after a push, subscription", O::kLevel1, afterPush(1500), kSub, R::kDrop},
        {"level 1 2.5 s after a push, subscription", O::kLevel1, afterPush(2500), kSub,
         R::kAcceptAfterStale},
        {"level 1 after a push, broadcast", O::kLevel1, afterPush(1500), kBroad, R::kDrop},
        {"level 1 after a push, automatic", O::kLevel1, afterPush(1500), kAuto, R::kAccept},
        {"level 1 after a push, level 2 chosen", O::kLevel1, afterPush(1500), kSub | kL2,
         R::kAccept},
        {"level 1 after level 1", O::kLevel1, afterLevel1(10), kSub, R::kAccept},
        {"fresh row, young clock", O::kPush, QuoteStamps{0, 0, 0}, kAuto, R::kAccept},
        {"fresh row, young clock, level 1", O::kLevel1, QuoteStamps{0, 0, 0}, kSub, R::kAccept},
    };
    for (const Case& c : cases) {
        // A young clock (1 s since start) must not hold back rows no level-1 record reached.
        const double now = c.stamps.lastAccepted == 0 ? 1'000'000 : kNow;
        EXPECT_EQ(JudgeFreshness(c.origin, c.stamps, now, c.source), c.expected) << c.name;
    }
}

TEST_F(QuoteProcessorTest, LevelOneYieldsToARecentPushAndLogsWhenItTakesOver) {
    ChooseSource(shell::kQuoteSourceSubscription);
    Push({{719, "cu2501"}, {729, "70000"}});
    clock.AdvanceMs(1500);
    Level1Bytes r{"cu2501"};
    r.last = 70100.0f;
    Level1(r);
    EXPECT_EQ(D("cu2501", 729), 70000) << "held back";
    EXPECT_EQ(D("cu2501", 1739), clock.NowMicros()) << "its arrival is still stamped";
    EXPECT_EQ(processor.Counters().held, 1u);
    EXPECT_TRUE(lines.empty());
    clock.AdvanceMs(1000);
    Level1(r);
    EXPECT_EQ(D("cu2501", 729), 70100);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("cu2501 level1 latest update:", 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].size(), std::string("cu2501 level1 latest update:hh:mm:ss.mmm").size());
    // Now level 1 was last: a push within 2 s is accepted only because subscription is chosen.
    clock.AdvanceMs(100);
    Push({{719, "cu2501"}, {729, "70200"}});
    EXPECT_EQ(D("cu2501", 729), 70200);
}

TEST_F(QuoteProcessorTest, PushYieldsToARecentLevelOneRecordAndLogsWhenItTakesOver) {
    Level1Bytes r{"cu2501"};
    r.last = 70100.0f;
    Level1(r);
    clock.AdvanceMs(1500);
    Push({{719, "cu2501"}, {729, "70200"}});
    EXPECT_EQ(D("cu2501", 729), 70100) << "held back";
    EXPECT_EQ(D("cu2501", 1803), clock.NowMicros()) << "its arrival is still stamped";
    EXPECT_TRUE(lines.empty());
    clock.AdvanceMs(1000);
    Push({{719, "cu2501"}, {729, "70200"}});
    EXPECT_EQ(D("cu2501", 729), 70200);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("cu2501 level2 latest update:", 0), 0u) << lines[0];
    // A compact record taking over from an old level-1 record writes no line.
    Level1(r);
    clock.AdvanceMs(2500);
    CompactBytes c{"cu2501"};
    c.Add(kLastEntry, CompactBytes::Real(70300.0f));
    Compact(c.Encode());
    EXPECT_EQ(D("cu2501", 729), 70300);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(processor.Counters().held, 1u);
}

TEST_F(QuoteProcessorTest, TracesLevelOneAndOrderQueueRecordsWhenAsked) {
    logOptions = 0x30;
    SetRow("cu2501", 842, 70090);
    ByteLayout q = TypedRecord('4', 152, "cu2501");
    q.Put(40, 70080.0).Put<int32_t>(48, 3).Put<int32_t>(52, 4).Put(88, 70110.0);
    processor.ProcessLevel2Datagram(q.bytes().data(), 152);
    clock.AdvanceMs(5);
    Level1Bytes r{"cu2501"};
    r.last = 70100.0f;
    r.levels[0] = {70090.0f, 70110.0f, 7, 8};
    Level1(r);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "100000000\thydm:cu2501,BestBuyOrderPrice:70080.00 3 4 ***-,"
              "BestSellOrderPrice:70110.00 ***+");
    EXPECT_EQ(lines[1],
              "100005000\thydm:cu2501,zxj:70100.00,mrjg1:70090.00,mrsl1:7,mcjg1:70110.00,"
              "mcsl1:8 ***\t100000000");
}

}  // namespace
}  // namespace market::feed
