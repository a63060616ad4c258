// The server's own codec against hand-made bytes: headers, bodies, raw data, framing limits
// and the packets of each answer form.
#include "testserver/Packet.h"

#include <gtest/gtest.h>

#include "RawClient.h"
#include "testserver/Answer.h"

namespace testserver {
namespace {

using testserver_test::Frame;
using testserver_test::Items;
using testserver_test::ParseRaw;

TEST(PacketTest, GoldenRequestIsDecoded) {
    const std::string bytes(
        "\x40\x00\x07\x01\x00\x80\x00\x00\x02\x00\x00\x00\x00\x00"
        "8=3|00009999|8|127.0.0.1|1|1|0|1|\x01"
        "35=16151\x01"
        "605=K1\x01",
        64);
    RequestDecoder decoder;
    decoder.Append(bytes.data(), bytes.size());
    PacketHeader header;
    std::string_view body;
    ASSERT_EQ(decoder.Next(header, body), RequestDecoder::Status::Packet);
    EXPECT_EQ(header.length, 64);
    EXPECT_EQ(header.packetId, 0x80000107u);
    EXPECT_EQ(header.kind, 0);
    EXPECT_EQ(header.packetFlags, kPacketPush);
    const ReceivedRequest request = DecodeRequest(header, body);
    EXPECT_EQ(request.function, 16151);
    EXPECT_EQ(request.fields,
              (Row{{8, "3|00009999|8|127.0.0.1|1|1|0|1|"}, {35, "16151"}, {605, "K1"}}));
    EXPECT_EQ(decoder.Next(header, body), RequestDecoder::Status::NeedMore);
}

TEST(PacketTest, StreamIsCutAtEveryLengthWhateverTheChunks) {
    std::string stream =
        Frame(1, 0, 0, "35=1\x01") + Frame(2, 3, 0, "") + Frame(3, 9, 0, "x=y\x01");
    for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{14}, stream.size()}) {
        RequestDecoder decoder;
        std::vector<uint32_t> ids;
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
            decoder.Append(stream.data() + pos, std::min(chunk, stream.size() - pos));
            PacketHeader header;
            std::string_view body;
            while (decoder.Next(header, body) == RequestDecoder::Status::Packet)
                ids.push_back(header.packetId);
        }
        EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 3})) << "chunk " << chunk;
    }
}

TEST(PacketTest, LengthOutsideHeaderAndLimitBreaksTheStream) {
    struct Case {
        uint16_t length;
        RequestDecoder::Status status;
    };
    for (const Case& c :
         {Case{0, RequestDecoder::Status::Broken}, Case{13, RequestDecoder::Status::Broken},
          Case{4097, RequestDecoder::Status::Broken}, Case{14, RequestDecoder::Status::Packet},
          Case{4096, RequestDecoder::Status::Packet}}) {
        std::string bytes = Frame(5, 0, 0, std::string(c.length >= 14 ? c.length - 14 : 0, 'a'));
        bytes[0] = static_cast<char>(c.length & 0xFF);
        bytes[1] = static_cast<char>(c.length >> 8);
        RequestDecoder decoder;
        decoder.Append(bytes.data(), bytes.size());
        PacketHeader header;
        std::string_view body;
        EXPECT_EQ(decoder.Next(header, body), c.status) << c.length;
        if (c.status == RequestDecoder::Status::Broken) {
            // Nothing can be framed after a broken length, not even a good packet.
            const std::string good = Frame(6, 0, 0, "");
            decoder.Append(good.data(), good.size());
            EXPECT_EQ(decoder.Next(header, body), RequestDecoder::Status::Broken);
        }
    }
}

TEST(PacketTest, BodyItemsFollowTheRawDataRuleAndGbk) {
    struct Case {
        std::string body;
        Row fields;
    };
    const Case cases[] = {
        {"95=3\x01"
         "96=a\x01"
         "b\x01"
         "7=x\x01",
         {{95, "3"},
          {96,
           "a\x01"
           "b"},
          {7, "x"}}},
        // Without SOH after the counted bytes the value runs to the next SOH.
        {"95=2\x01"
         "96=abc\x01",
         {{95, "2"}, {96, "abc"}}},
        // 96 not directly after 95 is an ordinary value.
        {"95=3\x01"
         "1=z\x01"
         "96=a\x01"
         "b\x01",
         {{95, "3"}, {1, "z"}, {96, "a"}}},
        {"95=99\x01"
         "96=ab\x01",
         {{95, "99"}, {96, "ab"}}},
        {"508=\xB3\xC9\xB9\xA6\x01", {{508, "成功"}}},
        {"1=\x01"
         "junk\x01"
         "2=v",
         {{1, ""}, {2, "v"}}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseBody(c.body), c.fields) << c.body;
}

TEST(PacketTest, PlainAnswerHasExactBytes) {
    const Answer answer{{{{507, "0"}, {508, "成功"}}}, AnswerForm::Plain, Ending::LastRow};
    const auto packets = EncodeAnswer(0x01020304, 0, answer);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], std::string("\x1D\x00\x04\x03\x02\x01\x00\x00\x05\x00\x00\x00\x00\x00"
                                      "507=0\x01"
                                      "508=\xB3\xC9\xB9\xA6\x01",
                                      29));
}

TEST(PacketTest, TableAnswerSendsColumnsThenValues) {
    const Answer answer{{{{507, "0"}, {605, "K1"}, {599, ""}},
                         {{605, "K2"}, {507, "1"}, {599, "上期"}, {9, "ignored"}},
                         {{507, "2"}}},
                        AnswerForm::Table,
                        Ending::LastRow};
    const auto packets = EncodeAnswer(9, 2, answer);
    ASSERT_EQ(packets.size(), 3u);
    const auto first = ParseRaw(packets[0]);
    EXPECT_EQ(first.bodyFlags, kBodyColumnHeader);
    EXPECT_EQ(first.packetFlags, kPacketAnswer);
    EXPECT_EQ(first.kind, 2);
    EXPECT_EQ(first.body,
              "507=0\x01"
              "605=K1\x01"
              "599=\x01");
    const auto second = ParseRaw(packets[1]);
    EXPECT_EQ(second.bodyFlags, 0);
    EXPECT_EQ(second.body, "1\x01K2\x01\xC9\xCF\xC6\xDA\x01");
    const auto third = ParseRaw(packets[2]);
    EXPECT_EQ(third.body, "2\x01\x01\x01");
    EXPECT_EQ(third.packetFlags, kPacketAnswer | kPacketLast);
}

TEST(PacketTest, EndingsSetTheFlagsOfTheLastPackets) {
    struct Case {
        std::size_t rows;
        Ending ending;
        std::vector<uint8_t> flags;
    };
    const Case cases[] = {
        {2, Ending::LastRow, {0x01, 0x05}},
        {2, Ending::EmptyTerminator, {0x01, 0x01, 0x0D}},
        {2, Ending::NotCountedTerminator, {0x01, 0x01, 0x15}},
        {0, Ending::LastRow, {0x0D}},
        {0, Ending::NotCountedTerminator, {0x15}},
    };
    for (const Case& c : cases) {
        Answer answer;
        answer.rows.assign(c.rows, Row{{507, "0"}});
        answer.ending = c.ending;
        std::vector<uint8_t> flags;
        for (const auto& packet : EncodeAnswer(1, 0, answer)) {
            const auto raw = ParseRaw(packet);
            flags.push_back(raw.packetFlags);
            if (raw.packetFlags & kPacketEmptyTerminator) {
                EXPECT_EQ(raw.length, 14);
            }
        }
        EXPECT_EQ(flags, c.flags) << c.rows << " rows, ending " << static_cast<int>(c.ending);
    }
}

TEST(PacketTest, RowLongerThanOnePacketIsRefused) {
    Answer answer{{{{1, std::string(kMaxBodySize, 'x')}}}, AnswerForm::Plain, Ending::LastRow};
    EXPECT_THROW(EncodeAnswer(1, 0, answer), std::length_error);
    // 4082 body bytes exactly fit: "1=" + value + SOH.
    answer.rows[0][0].value.resize(kMaxBodySize - 3);
    EXPECT_EQ(ParseRaw(EncodeAnswer(1, 0, answer).at(0)).length, 4096);
}

}  // namespace
}  // namespace testserver
