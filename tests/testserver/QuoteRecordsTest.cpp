// Byte layouts of the server's quote records against offsets and values written out by hand:
// sizes, headers, field offsets, text terminators and the bytes nobody reads.
#include "testserver/QuoteRecords.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace testserver {
namespace {

// A quote with round numbers: cu2701 at 74020, tick 10, multiplier 5.
MarketQuote HandQuote() {
    MarketQuote q;
    q.exchange = "SQ";
    q.code = "cu2701";
    q.tick = 10;
    q.multiplier = 5;
    q.settlement = 7400;
    q.close = 7399;
    q.open = 7401;
    q.last = 7402;
    q.high = 7407;
    q.low = 7396;
    q.upper = 7918;
    q.lower = 6882;
    q.bids = {7401, 7400, 7399, 7398, 7397};
    q.asks = {7403, 7404, 7405, 7406, 7407};
    q.bidVolumes = {10, 13, 16, 19, 22};
    q.askVolumes = {12, 14, 16, 18, 20};
    q.volume = 3000;
    q.turnover = 3000.0 * 74020 * 5;  // 1,110,300,000: beyond a single's range
    q.openInterest = 15000;
    q.previousInterest = 14880;
    q.suspended = 1;
    return q;
}

uint32_t U32(const std::string& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b.at(at + i));
    return v;
}
int32_t I32(const std::string& b, std::size_t at) { return static_cast<int32_t>(U32(b, at)); }
float F32(const std::string& b, std::size_t at) { return std::bit_cast<float>(U32(b, at)); }
double F64(const std::string& b, std::size_t at) {
    const uint64_t low = U32(b, at);
    const uint64_t high = U32(b, at + 4);
    return std::bit_cast<double>(high << 32 | low);
}
std::string Text(const std::string& b, std::size_t at, std::size_t width) {
    const std::string field = b.substr(at, width);
    return field.substr(0, field.find('\0'));
}

// One field of a record: offset, kind ('b' u8, 'i' i32, 'u' u32, 'f' f32, 'd' f64), value.
struct Expect {
    std::size_t at;
    char kind;
    double value;
};

void CheckFields(const std::string& record, std::initializer_list<Expect> fields) {
    for (const Expect& e : fields) {
        SCOPED_TRACE(testing::Message() << "offset " << e.at << " kind " << e.kind);
        switch (e.kind) {
            case 'b':
                EXPECT_EQ(static_cast<uint8_t>(record.at(e.at)), e.value);
                break;
            case 'i':
                EXPECT_EQ(I32(record, e.at), static_cast<int32_t>(e.value));
                break;
            case 'u':
                EXPECT_EQ(U32(record, e.at), static_cast<uint32_t>(e.value));
                break;
            case 'f':
                EXPECT_FLOAT_EQ(F32(record, e.at), static_cast<float>(e.value));
                break;
            case 'd':
                EXPECT_DOUBLE_EQ(F64(record, e.at), e.value);
                break;
        }
    }
}

void CheckZero(const std::string& record, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) EXPECT_EQ(record.at(i), '\0') << "byte " << i;
}

TEST(QuoteRecordsTest, Level2SnapshotIs287BytesWithItsFieldsAtTheirOffsets) {
    const std::string r = EncodeLevel2Snapshot(HandQuote(), 93015250);
    ASSERT_EQ(r.size(), 287u);
    CheckFields(r,
                {{0, 'u', 287},     {5, 'i', 93015250}, {42, 'b', 1},           {43, 'd', 74000},
                 {59, 'd', 74020},  {67, 'd', 73990},   {83, 'd', 74010},       {95, 'i', 15000},
                 {99, 'd', 74020},  {107, 'i', 3000},   {111, 'd', 1110300000}, {119, 'd', 79180},
                 {127, 'd', 68820}, {135, 'd', 74070},  {143, 'd', 73960},      {167, 'd', 74010},
                 {175, 'd', 74030}, {183, 'i', 10},     {187, 'i', 12},         {191, 'd', 74000},
                 {199, 'd', 74040}, {207, 'i', 13},     {211, 'i', 14},         {263, 'd', 73970},
                 {271, 'd', 74070}, {279, 'i', 22},     {283, 'i', 20}});
    EXPECT_EQ(Text(r, 12, 30), "cu2701");
    CheckZero(r, 12 + 6, 42);  // the code's terminator and the rest of its field
    CheckZero(r, 4, 5);
    CheckZero(r, 9, 12);
    CheckZero(r, 151, 167);
}

TEST(QuoteRecordsTest, Level1ShortFormIs208BytesWithLevelsSideBySide) {
    const std::string r = EncodeLevel1(HandQuote(), 93015250, false);
    ASSERT_EQ(r.size(), 208u);
    CheckFields(r,
                {{0, 'b', '1'},     {4, 'u', 208},     {12, 'i', 93015250}, {49, 'b', 1},
                 {52, 'f', 74000},  {60, 'f', 74020},  {64, 'f', 73990},    {72, 'f', 74010},
                 {80, 'i', 15000},  {84, 'f', 74020},  {88, 'i', 3000},     {96, 'd', 1110300000},
                 {104, 'f', 79180}, {108, 'f', 68820}, {112, 'f', 74070},   {116, 'f', 73960},
                 {128, 'f', 74010}, {132, 'f', 74030}, {136, 'i', 10},      {140, 'i', 12},
                 {192, 'f', 73970}, {196, 'f', 74070}, {200, 'i', 22},      {204, 'i', 20}});
    EXPECT_EQ(Text(r, 19, 30), "cu2701");
}

TEST(QuoteRecordsTest, Level1LongFormIs272BytesWithBidsAndAsksApart) {
    const std::string r = EncodeLevel1(HandQuote(), 93015250, true);
    ASSERT_EQ(r.size(), 272u);
    CheckFields(r, {{0, 'b', '1'},
                    {4, 'u', 272},
                    {12, 'i', 0},
                    {84, 'f', 74020},
                    {128, 'f', 74010},
                    {132, 'i', 10},
                    {160, 'f', 73970},
                    {164, 'i', 22},
                    {168, 'f', 74030},
                    {172, 'i', 12},
                    {200, 'f', 74070},
                    {204, 'i', 20},
                    {224, 'i', 80},
                    {228, 'i', 80}});
    EXPECT_EQ(Text(r, 19, 30), "cu2701");
    EXPECT_EQ(Text(r, 252, 20), "93015250");
}

TEST(QuoteRecordsTest, TypedRecordsHaveTypeLengthCodeAndTheirValues) {
    const MarketQuote q = HandQuote();
    struct Case {
        std::string record;
        char type;
        std::size_t size;
    };
    const Case cases[] = {{EncodeOrderQueue(q), '4', 152},
                          {EncodeBookTotals(q), '6', 112},
                          {EncodeSettlementPrice(q), '5', 96},
                          {EncodeTradeStatistics(q), '7', 208}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(c.record.size(), c.size);
        EXPECT_EQ(c.record[0], c.type);
        EXPECT_EQ(U32(c.record, 4), c.size);
        EXPECT_EQ(Text(c.record, 8, 32), "cu2701");
        CheckZero(c.record, 1, 4);
    }
    // Best prices and the orders queued there, which add up to the level's volume.
    CheckFields(cases[0].record, {{40, 'd', 74010},
                                  {48, 'i', 5},
                                  {52, 'i', 5},
                                  {56, 'i', 0},
                                  {88, 'd', 74030},
                                  {96, 'i', 6},
                                  {100, 'i', 6},
                                  {104, 'i', 0}});
    CheckZero(cases[0].record, 136, 152);
    // Totals 80 and 80; volume-weighted prices 5,918,900 / 80 and 5,924,200 / 80.
    CheckFields(cases[1].record,
                {{88, 'i', 80}, {92, 'i', 80}, {96, 'd', 73986.25}, {104, 'd', 74052.5}});
    CheckFields(cases[2].record, {{88, 'd', 74000}});
    // Five prices from two ticks above the last down to two below, each with four volumes.
    CheckFields(cases[3].record, {{88, 'd', 74040},
                                  {112, 'd', 74030},
                                  {136, 'd', 74020},
                                  {160, 'd', 74010},
                                  {184, 'd', 74000},
                                  {144, 'i', 150}});
}

TEST(QuoteRecordsTest, LongCodesAreCutToLeaveTheirTerminator) {
    MarketQuote q = HandQuote();
    q.code = std::string(40, 'x');
    EXPECT_EQ(Text(EncodeLevel2Snapshot(q, 0), 12, 30), std::string(29, 'x'));
    EXPECT_EQ(Text(EncodeLevel1(q, 0, false), 19, 30), std::string(29, 'x'));
    EXPECT_EQ(Text(EncodeOrderQueue(q), 8, 32), std::string(31, 'x'));
    EXPECT_EQ(EncodeLevel2Snapshot(q, 0)[41], '\0');
}

// Control byte 5: code, 5, u16 length, 40 bitmap bits, then 4-byte values in bit order. The
// turnover (bit 6) does not fit a single and is left out.
TEST(QuoteRecordsTest, CompactRecordWithLengthCarriesThirtyThreeValues) {
    const std::string r = EncodeCompactRecord(HandQuote(), true);
    const std::size_t values = 33;
    ASSERT_EQ(r.size(), 6 + 1 + 2 + 5 + 4 * values);
    EXPECT_EQ(r.substr(0, 6), "cu2701");
    EXPECT_EQ(r[6], 5);
    EXPECT_EQ(static_cast<uint8_t>(r[7]) | static_cast<uint8_t>(r[8]) << 8, r.size());
    EXPECT_EQ(static_cast<uint8_t>(r[9]), 0xBF);  // all of bits 0-7 but 6
    EXPECT_EQ(static_cast<uint8_t>(r[10]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(r[11]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(r[12]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(r[13]), 0x03);  // 1734 and 1806
    const std::size_t v = 14;
    CheckFields(r, {{v, 'i', 1},                 // 860
                    {v + 4, 'f', 74000},         // 813
                    {v + 8, 'f', 73990},         // 726
                    {v + 12, 'f', 74010},        // 587
                    {v + 16, 'f', 74020},        // 729
                    {v + 20, 'i', 3000},         // 528; 524 is left out
                    {v + 24, 'f', 79180},        // 706
                    {v + 40, 'i', 15000},        // 1807, entry 11 (one place earlier)
                    {v + 44, 'f', 74010},        // 842
                    {v + 48, 'f', 74030},        // 850
                    {v + 52, 'i', 10},           // 843
                    {v + 56, 'i', 12},           // 851
                    {v + 4 * 28, 'f', 74070},    // 1359, entry 29
                    {v + 4 * 29, 'i', 22},       // 1358
                    {v + 4 * 30, 'i', 20},       // 1360
                    {v + 4 * 31, 'f', 74020},    // 1734
                    {v + 4 * 32, 'i', 14880}});  // 1806
}

// Control byte 0: four bitmap bytes and no length, so 1734 and 1806 cannot be named.
TEST(QuoteRecordsTest, CompactRecordWithoutLengthHasFourBitmapBytes) {
    MarketQuote q = HandQuote();
    q.turnover = 1000;
    const std::string r = EncodeCompactRecord(q, false);
    ASSERT_EQ(r.size(), 6 + 1 + 4 + 4 * 32u);
    EXPECT_EQ(r[6], 0);
    EXPECT_EQ(U32(r, 7), 0xFFFFFFFFu);
    CheckFields(r, {{11 + 24, 'f', 1000}, {11 + 4 * 31, 'i', 20}});
}

// Records follow each other; the length is the offset of the next one.
TEST(QuoteRecordsTest, CompactRecordsChainByTheirLength) {
    MarketQuote second = HandQuote();
    second.code = "al2701";
    const std::string buffer = EncodeCompactRecord(HandQuote()) + EncodeCompactRecord(second);
    const std::size_t next = static_cast<uint8_t>(buffer[7]) | static_cast<uint8_t>(buffer[8]) << 8;
    EXPECT_EQ(buffer.substr(next, 6), "al2701");
    // A code byte below 20 would end the code early: it is cut there.
    MarketQuote odd = HandQuote();
    odd.code = std::string("ab") + '\x05' + "cd";
    EXPECT_EQ(EncodeCompactRecord(odd).substr(0, 3), std::string("ab") + '\x05');
}

TEST(QuoteRecordsTest, QuotePushHasTheCodeThenThePushFormsTags) {
    const Row row = QuotePushRow(HandQuote());
    const Row expected{{719, "cu2701"}, {860, "1"},      {813, "74000"},    {726, "73990"},
                       {587, "74010"},  {729, "74020"},  {528, "3000"},     {524, "1110300000.00"},
                       {706, "79180"},  {703, "68820"},  {707, "74070"},    {704, "73960"},
                       {1807, "15000"}, {842, "74010"},  {850, "74030"},    {843, "10"},
                       {851, "12"},     {844, "74000"},  {852, "74040"},    {845, "13"},
                       {853, "14"},     {846, "73990"},  {854, "74050"},    {847, "16"},
                       {855, "16"},     {848, "73980"},  {856, "74060"},    {849, "19"},
                       {857, "18"},     {1357, "73970"}, {1359, "74070"},   {1358, "22"},
                       {1360, "20"},    {1806, "14880"}, {1734, "74020.00"}};
    EXPECT_EQ(row, expected);
    MarketQuote au = HandQuote();
    au.tick = 0.02;
    au.decimals = 2;
    au.last = 31001;
    EXPECT_EQ(FieldOf(QuotePushRow(au), 729), "620.02");
}

TEST(QuoteRecordsTest, CompactPushCarriesTheRecordsAsRawData) {
    const std::string records = EncodeCompactRecord(HandQuote());
    const Row row = CompactPushRow(records);
    EXPECT_EQ(FieldOf(row, 95), std::to_string(records.size()));
    EXPECT_EQ(FieldOf(row, 96), records);
    EXPECT_EQ(FieldOf(row, 719), "");
}

TEST(QuoteRecordsTest, Level2LoginAnswerIs68Bytes) {
    const std::string r = EncodeLevel2LoginAnswer('A', "000123", 6, "239.1.1.1", 9000);
    ASSERT_EQ(r.size(), 68u);
    CheckFields(r, {{0, 'b', 'A'}, {4, 'u', 68}, {40, 'i', 6}, {64, 'i', 9000}});
    CheckZero(r, 1, 4);
    EXPECT_EQ(Text(r, 8, 32), "000123");
    EXPECT_EQ(Text(r, 44, 20), "239.1.1.1");
    CheckZero(r, 44 + 9, 64);
    const std::string cut =
        EncodeLevel2LoginAnswer('A', std::string(40, '9'), 1, std::string(30, '1'), 0);
    EXPECT_EQ(Text(cut, 8, 32), std::string(31, '9'));
    EXPECT_EQ(Text(cut, 44, 20), std::string(19, '1'));
    EXPECT_EQ(I32(cut, 40), 1);
}

TEST(QuoteRecordsTest, Level2TextAnswersAndSubscribeAnswer) {
    EXPECT_EQ(Level2LoginLine("000123", 3, "239.1.1.1", 9000), "4001|000123|3|239.1.1.1|9000\r\n");
    EXPECT_EQ(Level2LoginLine("000123", 1, "", 0), "4001|000123|1||0\r\n");
    const std::string r = EncodeLevel2SubscribeAnswer('A', "ok", 12);
    ASSERT_EQ(r.size(), 112u);
    CheckFields(r, {{0, 'b', 'A'}, {4, 'u', 112}, {108, 'i', 12}});
    EXPECT_EQ(Text(r, 8, 100), "ok");
}

TEST(QuoteRecordsTest, UpdateTimeIsTheTimeOfDayAsDigits) {
    Market market(SampleTradingDay(), {.rate = 0, .dayStartMs = (9 * 3600 + 30 * 60 + 15) * 1000});
    market.Advance(std::chrono::milliseconds(250));
    market.Update(0);
    EXPECT_EQ(UpdateTimeOf(market, market.Quotes()[0]), 93015250);
}

TEST(QuoteRecordsTest, IntegerTagsAreTheFourteenOfTheList) {
    int integers = 0;
    for (int32_t tag : kCompactTags) integers += IsIntegerQuoteTag(tag);
    EXPECT_EQ(integers, 14);
    EXPECT_FALSE(IsIntegerQuoteTag(729));
    EXPECT_TRUE(IsIntegerQuoteTag(1806));
}

}  // namespace
}  // namespace testserver
