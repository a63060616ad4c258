// Tests of the quote record decoders: golden records laid out from their byte layouts, the
// datagram classification, unterminated codes, the compact record walk and push fields.
#include <gtest/gtest.h>

#include "market/feed/QuoteRecords.h"
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

TEST(QuoteRecordsTest, DatagramsAreToldApartBySizeAndHeader) {
    struct Case {
        const char* name;
        Bytes bytes;
        Level2Kind kind;
    };
    ByteLayout wrongWord(287);
    wrongWord.Put<uint32_t>(0, 286);
    ByteLayout lengthMismatch = TypedRecord('4', 152, "cu2501");
    lengthMismatch.Put<uint32_t>(4, 151);
    const Case cases[] = {
        {"snapshot", Level2Bytes{"cu2501"}.Encode(), Level2Kind::kSnapshot},
        {"snapshot without its word", wrongWord.bytes(), Level2Kind::kNone},
        {"level-1 short", Level1Bytes{"cu2501"}.Encode(), Level2Kind::kLevel1Short},
        {"level-1 long", Level1Bytes{"cu2501", true}.Encode(), Level2Kind::kLevel1Long},
        {"208 bytes of type 2", TypedRecord('2', 208, "cu2501").bytes(), Level2Kind::kNone},
        {"order queue", TypedRecord('4', 152, "cu2501").bytes(), Level2Kind::kOrderQueue},
        {"order queue, wrong length word", lengthMismatch.bytes(), Level2Kind::kNone},
        {"book totals", TypedRecord('6', 112, "cu2501").bytes(), Level2Kind::kBookTotals},
        {"settlement", TypedRecord('5', 96, "cu2501").bytes(), Level2Kind::kSettlement},
        {"trade statistics", TypedRecord('7', 208, "cu2501").bytes(), Level2Kind::kTradeStatistics},
        {"type 5 of another size", TypedRecord('5', 112, "cu2501").bytes(), Level2Kind::kNone},
        {"short read", Bytes{'1', 0, 0}, Level2Kind::kNone},
        {"empty", Bytes{}, Level2Kind::kNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyLevel2(c.bytes.data(), c.bytes.size()), c.kind) << c.name;
}

TEST(QuoteRecordsTest, SnapshotDecodesEveryField) {
    Level2Bytes r{"cu2501"};
    r.time = 93000500;
    r.suspended = 1;
    r.prevSettle = 70000;
    r.average = 70110.5;
    r.prevClose = 69990;
    r.open = 70020;
    r.openInterest = 123456;
    r.last = 70100;
    r.volume = 789;
    r.turnover = 276543210.5;
    r.upper = 73500;
    r.lower = 66500;
    r.high = 70200;
    r.low = 69900;
    for (int k = 0; k < 5; ++k) r.levels[k] = {70090.0 - 10 * k, 70110.0 + 10 * k, 10 + k, 20 + k};
    const Bytes b = r.Encode();
    Level2Snapshot s;
    ASSERT_TRUE(DecodeLevel2Snapshot(b.data(), b.size(), s));
    EXPECT_EQ(s.code.view(), "cu2501");
    EXPECT_EQ(s.updateTime, 93000500);
    EXPECT_EQ(s.suspended, 1);
    EXPECT_EQ(s.prevSettle, 70000);
    EXPECT_EQ(s.average, 70110.5);
    EXPECT_EQ(s.prevClose, 69990);
    EXPECT_EQ(s.open, 70020);
    EXPECT_EQ(s.openInterest, 123456);
    EXPECT_EQ(s.last, 70100);
    EXPECT_EQ(s.volume, 789);
    EXPECT_EQ(s.turnover, 276543210.5);
    EXPECT_EQ(s.upperLimit, 73500);
    EXPECT_EQ(s.lowerLimit, 66500);
    EXPECT_EQ(s.high, 70200);
    EXPECT_EQ(s.low, 69900);
    EXPECT_EQ(s.levels[4].bid, 70050);
    EXPECT_EQ(s.levels[4].ask, 70150);
    EXPECT_EQ(s.levels[4].bidVolume, 14);
    EXPECT_EQ(s.levels[4].askVolume, 24);
}

TEST(QuoteRecordsTest, LevelOneDecodesBothForms) {
    for (bool longForm : {false, true}) {
        Level1Bytes r{"IF2501", longForm};
        r.time = 101112;
        r.timeText = "10:11:12.500";
        r.prevSettle = 3900.2f;
        r.average = 3911.5f;
        r.last = 3912.4f;
        r.volume = 55;
        r.turnover = 64450800.0;
        r.openInterest = 7000;
        r.bidQuantity = 11;
        r.askQuantity = 12;
        for (int k = 0; k < 5; ++k) {
            r.levels[k].bid = 3912.0f - 0.2f * static_cast<float>(k);
            r.levels[k].ask = 3912.4f + 0.2f * static_cast<float>(k);
            r.levels[k].bidVolume = 1 + k;
            r.levels[k].askVolume = 6 + k;
        }
        const Bytes b = r.Encode();
        Level1Snapshot s;
        ASSERT_TRUE(DecodeLevel1Snapshot(b.data(), b.size(), s)) << longForm;
        EXPECT_EQ(s.longForm, longForm);
        EXPECT_EQ(s.code.view(), "IF2501");
        EXPECT_EQ(s.last, 3912.4f);
        EXPECT_EQ(s.average, 3911.5f);
        EXPECT_EQ(s.turnover, 64450800.0);
        EXPECT_EQ(s.openInterest, 7000);
        EXPECT_EQ(s.levels[3].bid, 3912.0f - 0.6f);
        EXPECT_EQ(s.levels[3].askVolume, 9);
        if (longForm) {
            EXPECT_STREQ(s.updateText, "10:11:12.500");
            EXPECT_EQ(s.bidQuantity, 11);
            EXPECT_EQ(s.askQuantity, 12);
        } else {
            EXPECT_EQ(s.updateTime, 101112);
        }
    }
}

TEST(QuoteRecordsTest, LevelOneTimeTextFillingItsFieldIsCutAtTheRecordsEnd) {
    Level1Bytes r{"IF2501", true};
    r.timeText = std::string(20, '9');  // no room for a NUL: the record ends there
    const Bytes b = r.Encode();
    Level1Snapshot s;
    ASSERT_TRUE(DecodeLevel1Snapshot(b.data(), b.size(), s));
    EXPECT_EQ(std::string(s.updateText), std::string(20, '9'));
}

TEST(QuoteRecordsTest, DepthRecordsDecode) {
    ByteLayout q = TypedRecord('4', 152, "cu2501");
    q.Put(40, 70090.0).Put(88, 70110.0);
    for (int i = 0; i < 10; ++i)
        q.Put<int32_t>(48 + 4 * static_cast<std::size_t>(i), i + 1)
            .Put<int32_t>(96 + 4 * static_cast<std::size_t>(i), 100 + i);
    OrderQueueRecord queue;
    ASSERT_TRUE(DecodeOrderQueue(q.bytes().data(), 152, queue));
    EXPECT_EQ(queue.buyPrice, 70090.0);
    EXPECT_EQ(queue.sellPrice, 70110.0);
    EXPECT_EQ(queue.buyVolumes[9], 10);
    EXPECT_EQ(queue.sellVolumes[0], 100);
    EXPECT_EQ(queue.bytes[0], '4');

    ByteLayout t = TypedRecord('6', 112, "cu2501");
    t.Put<int32_t>(88, 500).Put<int32_t>(92, 600).Put(96, 70001.5).Put(104, 70300.25);
    BookTotalsRecord totals;
    ASSERT_TRUE(DecodeBookTotals(t.bytes().data(), 112, totals));
    EXPECT_EQ(totals.totalBid, 500);
    EXPECT_EQ(totals.totalAsk, 600);
    EXPECT_EQ(totals.averageBid, 70001.5);
    EXPECT_EQ(totals.averageAsk, 70300.25);

    ByteLayout p = TypedRecord('5', 96, "cu2501");
    p.Put(88, 70050.0);
    SettlementRecord settlement;
    ASSERT_TRUE(DecodeSettlement(p.bytes().data(), 96, settlement));
    EXPECT_EQ(settlement.price, 70050.0);

    ByteLayout d = TypedRecord('7', 208, "cu2501");
    d.Put(88 + 24 * 4, 70200.0).Put<int32_t>(88 + 24 * 4 + 8 + 12, 77);
    TradeStatisticsRecord stats;
    ASSERT_TRUE(DecodeTradeStatistics(d.bytes().data(), 208, stats));
    EXPECT_EQ(stats.entries[4].price, 70200.0);
    EXPECT_EQ(stats.entries[4].volumes[3], 77);
}

TEST(QuoteRecordsTest, CodesWithoutTheirTerminatorAreRefused) {
    const std::string full30(30, 'A');
    const Bytes snapshot = Level2Bytes{full30}.Encode();
    Level2Snapshot s;
    EXPECT_FALSE(DecodeLevel2Snapshot(snapshot.data(), snapshot.size(), s));
    const Bytes level1 = Level1Bytes{full30}.Encode();
    Level1Snapshot l1;
    EXPECT_FALSE(DecodeLevel1Snapshot(level1.data(), level1.size(), l1));
    const ByteLayout queue = TypedRecord('4', 152, std::string(32, 'B'));
    OrderQueueRecord q;
    EXPECT_FALSE(DecodeOrderQueue(queue.bytes().data(), 152, q));
    // One byte shorter keeps its NUL and is taken.
    EXPECT_TRUE(DecodeLevel2Snapshot(Level2Bytes{std::string(29, 'A')}.Encode().data(), 287, s));
    EXPECT_EQ(s.code.size, 29);
}

TEST(QuoteRecordsTest, CompactRecordsWalkBothHeaderForms) {
    CompactBytes plain{"cu2501"};
    plain.Add(4, CompactBytes::Real(70100.0f)).Add(5, CompactBytes::Int(42));
    // Control 5: a length and 40 bitmap bits, of which bits 38 and 39 are not looked at.
    CompactBytes sized{"IF2501", 5};
    sized.Add(12, CompactBytes::Real(3912.2f)).Add(37, CompactBytes::Int(9));
    Bytes second = sized.Encode();
    second[6 + 1 + 2 + 4] |= 0xC0;  // bits 38 and 39, with no values behind them
    const Bytes buffer = Join({plain.Encode(), second});
    CompactRecordReader reader(buffer.data(), buffer.size());
    CompactRecord r;
    ASSERT_EQ(reader.Next(r), CompactRecordReader::Step::kRecord);
    EXPECT_EQ(r.code.view(), "cu2501");
    EXPECT_EQ(r.present, (1u << 4) | (1u << 5));
    EXPECT_EQ(r.RealValue(4), 70100.0f);
    EXPECT_EQ(r.IntValue(5), 42);
    ASSERT_EQ(reader.Next(r), CompactRecordReader::Step::kRecord);
    EXPECT_EQ(r.code.view(), "IF2501");
    EXPECT_EQ(r.present, (uint64_t{1} << 12) | (uint64_t{1} << 37));
    EXPECT_EQ(r.IntValue(37), 9);
    EXPECT_EQ(reader.Next(r), CompactRecordReader::Step::kEnd);
}

TEST(QuoteRecordsTest, CompactRecordLengthSkipsTrailingBytes) {
    CompactBytes first{"cu2501", 4};
    first.Add(4, CompactBytes::Real(1.0f));
    Bytes bytes = first.Encode();
    const std::size_t length = bytes.size() + 3;  // three padding bytes follow the values
    bytes[7] = static_cast<uint8_t>(length);
    bytes.insert(bytes.end(), {0xEE, 0xEE, 0xEE});
    CompactBytes next{"IF2501"};
    next.Add(4, CompactBytes::Real(2.0f));
    const Bytes buffer = Join({bytes, next.Encode()});
    CompactRecordReader reader(buffer.data(), buffer.size());
    CompactRecord r;
    ASSERT_EQ(reader.Next(r), CompactRecordReader::Step::kRecord);
    ASSERT_EQ(reader.Next(r), CompactRecordReader::Step::kRecord);
    EXPECT_EQ(r.code.view(), "IF2501");
    EXPECT_EQ(r.RealValue(4), 2.0f);
}

TEST(QuoteRecordsTest, MalformedCompactRecordsStopTheWalk) {
    auto sized = [](uint16_t length) {
        CompactBytes c{"cu2501", 4, length};
        c.Add(4, CompactBytes::Real(1.0f));
        return Join({c.Encode(), CompactBytes{"IF2501"}.Encode()});
    };
    // Header of the sized record: 6 code bytes, control, 2 length bytes, 4 bitmap bytes.
    const std::size_t header = 6 + 1 + 2 + 4;
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"offset pointing back to its own start", sized(1)},
        {"offset inside its header", sized(static_cast<uint16_t>(header - 1))},
        {"offset at its header's end", sized(static_cast<uint16_t>(header))},
        {"offset past the buffer", sized(500)},
        {"code without control byte", Bytes(70, 'A')},
        {"code running to the end", Bytes{'c', 'u'}},
        {"bitmap cut short", Bytes{'c', 'u', 0, 0xFF}},
        {"values cut short", Bytes{'c', 'u', 0, 0x10, 0, 0, 0, 0x01, 0x02}},
        {"length cut short", Bytes{'c', 'u', 3, 0x10}},
    };
    for (const Case& c : cases) {
        CompactRecordReader reader(c.bytes.data(), c.bytes.size());
        CompactRecord r;
        CompactRecordReader::Step step;
        int records = 0;
        while ((step = reader.Next(r)) == CompactRecordReader::Step::kRecord) ++records;
        EXPECT_EQ(step, CompactRecordReader::Step::kMalformed) << c.name;
        EXPECT_EQ(records, 0) << c.name;
        EXPECT_EQ(reader.Next(r), CompactRecordReader::Step::kEnd) << c.name;
    }
}

TEST(QuoteRecordsTest, PushFieldsAndTheirDecoding) {
    ParsedPushFields fields(testing::PushBody({{719, "cu2501"},
                                               {729, "70100"},
                                               {528, "2147483647"},
                                               {843, "7"},
                                               {813, ""},
                                               {1734, "nan"},
                                               {1803, "93000123.5"},
                                               {729, "70110"}}));
    EXPECT_TRUE(fields.Has(813));
    EXPECT_FALSE(fields.Has(850));
    PushQuote q;
    ASSERT_TRUE(DecodeQuotePush(fields, q));
    EXPECT_EQ(q.code.view(), "cu2501");
    auto entry = [](uint32_t tag) {
        for (int k = 0; k < kPushEntries; ++k)
            if (kPushTags[k] == tag) return k;
        return -1;
    };
    EXPECT_EQ(q.values[entry(729)], 70110);  // the later item replaces the earlier
    EXPECT_EQ(q.values[entry(843)], 7);
    EXPECT_FALSE((q.present >> entry(528)) & 1) << "the integer 'no value'";
    EXPECT_FALSE((q.present >> entry(813)) & 1) << "empty";
    EXPECT_FALSE((q.present >> entry(1734)) & 1) << "not finite";
    EXPECT_EQ(q.pushedTime, "93000123.5");

    // Items without "=" or without a tag are skipped; the ones around them stand.
    const ParsedPushFields odd(
        std::string_view("junk\x01=5\x01"
                         "719=cu2502\x01"
                         "-3=1\x01"));
    EXPECT_EQ(odd.Get(719), "cu2502");
    EXPECT_FALSE(odd.Has(0));
    EXPECT_EQ(odd.Get(0), "");

    EXPECT_FALSE(DecodeQuotePush(ParsedPushFields(testing::PushBody({{719, ""}})), q));
    EXPECT_FALSE(
        DecodeQuotePush(ParsedPushFields(testing::PushBody({{719, std::string(64, 'x')}})), q));
    EXPECT_FALSE(
        DecodeQuotePush(ParsedPushFields(testing::PushBody({{719, std::string("cu\0x", 4)}})), q));
}

}  // namespace
}  // namespace market::feed
