// The control connection's framing: the login answer in both forms, the TCP stream cut into
// records, subscription answers and text lines however the bytes are split or merged, and
// garbage that breaks the stream for good.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "market/feed/Level2Framing.h"
#include "tests/market/feed/Level2Fixture.h"
#include "testserver/QuoteRecords.h"

namespace market::feed {
namespace {

testserver::MarketQuote Quote(const std::string& code) { return testing::TickQuote(code, 7000); }

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(Level2FramingTest, LoginAnswerFormsAndPartialReads) {
    const std::string record =
        testserver::EncodeLevel2LoginAnswer('A', "10086001", 6, "239.1.1.1", 9000);
    const std::string line = testserver::Level2LoginLine("10086001", 3, "239.1.1.1", 9000);
    struct Case {
        const char* name;
        std::string bytes;
        ControlFrameKind kind;
        std::size_t size;
    };
    const Case cases[] = {
        {"whole record", record, ControlFrameKind::kLoginAnswer, 68},
        {"record and more", record + "4011|0|tcp\r\n", ControlFrameKind::kLoginAnswer, 68},
        {"record's first half", record.substr(0, 30), ControlFrameKind::kNeedMore, 0},
        {"header only", record.substr(0, 8), ControlFrameKind::kNeedMore, 0},
        {"before the length", record.substr(0, 5), ControlFrameKind::kNeedMore, 0},
        {"text line", line, ControlFrameKind::kTextLine, line.size()},
        {"line without its end", line.substr(0, 10), ControlFrameKind::kNeedMore, 0},
        {"short line", "-1\r\n", ControlFrameKind::kTextLine, 4},
        {"length 67 is no record", std::string("A\0\0\0\x43\0\0\0xxxxxxxxxxxxxxxx", 24),
         ControlFrameKind::kGarbage, 0},
        {"overlong line", std::string(kLoginLineLimit, 'x'), ControlFrameKind::kGarbage, 0},
        {"line just inside the limit", std::string(kLoginLineLimit - 1, 'x') + "\n",
         ControlFrameKind::kTextLine, kLoginLineLimit},
    };
    for (const Case& c : cases) {
        const ControlFrame frame = FrameLoginAnswer(Bytes(c.bytes), c.bytes.size());
        EXPECT_EQ(frame.kind, c.kind) << c.name;
        EXPECT_EQ(frame.size, c.size) << c.name;
    }

    Level2LoginAnswer answer;
    ASSERT_TRUE(DecodeLevel2LoginAnswer(Bytes(record), record.size(), answer));
    EXPECT_EQ(answer.type, 'A');
    EXPECT_EQ(answer.customer, "10086001");
    EXPECT_EQ(answer.mode, 6);
    EXPECT_EQ(answer.group, "239.1.1.1");
    EXPECT_EQ(answer.port, 9000);
    EXPECT_FALSE(DecodeLevel2LoginAnswer(Bytes(record), 67, answer));

    const Level2TextLogin text = ParseTextLogin(line);
    EXPECT_EQ(text.mode, 3);
    EXPECT_EQ(text.group, "239.1.1.1");
    EXPECT_EQ(text.port, 9000);
    EXPECT_EQ(ParseTextLogin("4001|x\r\n").mode, 0);
}

TEST(Level2FramingTest, UnterminatedTextFieldsAreCutAtTheirField) {
    std::string record = testserver::EncodeLevel2LoginAnswer('A', "", 6, "", 9000);
    for (std::size_t i = 8; i < 64; ++i) record[i] = 'Z';  // customer and group unterminated
    Level2LoginAnswer answer;
    ASSERT_TRUE(DecodeLevel2LoginAnswer(Bytes(record), record.size(), answer));
    EXPECT_EQ(answer.customer, std::string(32, 'Z'));
    EXPECT_EQ(answer.group, std::string(20, 'Z'));

    std::string subscribe = testserver::EncodeLevel2SubscribeAnswer('S', "", 7);
    for (std::size_t i = 8; i < 108; ++i) subscribe[i] = 'E';
    Level2SubscribeAnswer sub;
    ASSERT_TRUE(DecodeLevel2SubscribeAnswer(Bytes(subscribe), subscribe.size(), sub));
    EXPECT_EQ(sub.error, std::string(100, 'E'));
    EXPECT_EQ(sub.count, 7);
}

// The stream of the TCP mode as the server writes it, cut at every possible point.
TEST(Level2FramingTest, StreamFramesSurviveEverySplit) {
    const testserver::MarketQuote q = Quote("cu2501");
    const std::vector<std::pair<ControlFrameKind, std::string>> frames = {
        {ControlFrameKind::kTextLine, "4011|0|tcp\r\n"},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeLevel2Snapshot(q, 93000000)},
        {ControlFrameKind::kSubscribeAnswer, testserver::EncodeLevel2SubscribeAnswer('A', "", 2)},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeLevel1(q, 93000000, false)},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeLevel1(q, 93000000, true)},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeOrderQueue(q)},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeBookTotals(q)},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeSettlementPrice(q)},
        {ControlFrameKind::kQuoteRecord, testserver::EncodeTradeStatistics(q)},
        {ControlFrameKind::kTextLine, "4012|0|all\r\n"},
    };
    std::string stream;
    for (const auto& f : frames) stream += f.second;

    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ControlStreamBuffer buffer;
        std::vector<std::pair<ControlFrameKind, std::string>> got;
        auto drain = [&] {
            std::string_view bytes;
            for (;;) {
                const ControlFrame frame = buffer.Next(bytes);
                if (frame.kind == ControlFrameKind::kNeedMore ||
                    frame.kind == ControlFrameKind::kGarbage)
                    return frame.kind;
                got.emplace_back(frame.kind, std::string(bytes));
            }
        };
        buffer.Append(stream.data(), cut);
        ASSERT_EQ(drain(), ControlFrameKind::kNeedMore) << "cut at " << cut;
        buffer.Append(stream.data() + cut, stream.size() - cut);
        ASSERT_EQ(drain(), ControlFrameKind::kNeedMore) << "cut at " << cut;
        ASSERT_EQ(got, frames) << "cut at " << cut;
        EXPECT_EQ(buffer.Pending(), 0u);
    }
}

TEST(Level2FramingTest, GarbageBreaksTheStreamForGood) {
    const std::string record = testserver::EncodeLevel2Snapshot(Quote("cu2501"), 93000000);
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t framesBefore;
    };
    std::string noise(100, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(0xA5 ^ (i * 37));
    const Case cases[] = {
        {"noise first", noise + record, 0},
        {"a record, then noise", record + noise, 1},
        {"a record one byte short, then another", record.substr(0, 286) + record, 1},
        {"zeros", std::string(16, '\0'), 0},
        {"a line without end past the limit", std::string(kAnswerLineLimit + 1, 'a'), 0},
    };
    for (const Case& c : cases) {
        ControlStreamBuffer buffer;
        buffer.Append(c.bytes.data(), c.bytes.size());
        std::string_view bytes;
        std::size_t frames = 0;
        ControlFrame frame;
        while ((frame = buffer.Next(bytes)).kind != ControlFrameKind::kGarbage &&
               frame.kind != ControlFrameKind::kNeedMore)
            ++frames;
        EXPECT_EQ(frame.kind, ControlFrameKind::kGarbage) << c.name;
        EXPECT_EQ(frames, c.framesBefore) << c.name;
        EXPECT_TRUE(buffer.Broken()) << c.name;
        buffer.Append(record.data(), record.size());
        EXPECT_EQ(buffer.Next(bytes).kind, ControlFrameKind::kGarbage) << c.name;
    }
}

TEST(Level2FramingTest, DescriptionsOfTheAnswers) {
    const std::string login = testserver::EncodeLevel2LoginAnswer('L', "10086001", 4, "", 0);
    EXPECT_EQ(DescribeControlFrame(ControlFrameKind::kLoginAnswer, login),
              "LOGIN Type=L,len=68,m_cKHH=10086001,m_nDQMS=4,m_cIP=,m_nDKH=0\n");
    const std::string sub = testserver::EncodeLevel2SubscribeAnswer('S', "ok", 3);
    EXPECT_EQ(DescribeControlFrame(ControlFrameKind::kSubscribeAnswer, sub),
              "SUBSCRIBE Type=S,len=112,m_cERR=ok,m_nCGBW=3\n");
    EXPECT_EQ(SplitAnswerLine("4011|0|udp|20000"),
              (std::vector<std::string>{"4011", "0", "udp", "20000"}));
    EXPECT_EQ(SplitAnswerLine(""), std::vector<std::string>{""});
    EXPECT_EQ(TrimLineEnd("a|b\r\n"), "a|b");
}

}  // namespace
}  // namespace market::feed
