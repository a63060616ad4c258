// Header coding, length checks and the body readers of the packet format.
#include "comm/FixPacket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommTestSupport.h"

namespace NoltComm {
namespace {

using namespace std::string_literals;

TEST(FixPacketHeaderTest, EncodesLittleEndianFieldsBackToBack) {
    FixPacketHeader h;
    h.length = 0x1234;
    h.packetId = 0xA1B2C3D4;
    h.kind = 3;
    h.bodyFlags = 0x0A;
    h.packetFlags = 0x16;
    uint8_t out[14];
    h.EncodeTo(out);
    const uint8_t expected[14] = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 3, 0x0A, 0x16, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(out, out + 14), std::vector<uint8_t>(expected, expected + 14));
    const FixPacketHeader back = FixPacketHeader::Decode(out);
    EXPECT_EQ(back.length, 0x1234);
    EXPECT_EQ(back.packetId, 0xA1B2C3D4u);
    EXPECT_EQ(back.kind, 3);
    EXPECT_EQ(back.bodyFlags, 0x0A);
    EXPECT_EQ(back.packetFlags, 0x16);
}

TEST(FixPacketHeaderTest, PacketLengthsAPeerMaySend) {
    const struct {
        uint32_t length;
        bool valid;
    } cases[] = {{0, false},  {1, false},   {13, false},   {14, true},
                 {100, true}, {4096, true}, {4097, false}, {65535, false}};
    for (const auto& c : cases) EXPECT_EQ(IsValidPacketLength(c.length), c.valid) << c.length;
}

TEST(FixPacketReaderTest, PlainFieldsFirstItemWinsAndMalformedItemsAreSkipped) {
    const std::string body =
        "8=x|y\x01"
        "35=100\x01"
        "junk\x01"
        "507=1\x01"
        "507=2\x01"
        "508=\x01"
        "9=tail"s;
    std::string_view v;
    ASSERT_TRUE(FindPlainField(body, 507, v));
    EXPECT_EQ(v, "1");
    ASSERT_TRUE(FindPlainField(body, 508, v));
    EXPECT_EQ(v, "");
    ASSERT_TRUE(FindPlainField(body, 9, v));
    EXPECT_EQ(v, "tail");
    EXPECT_FALSE(FindPlainField(body, 0, v));
    EXPECT_FALSE(FindPlainField("", 1, v));
}

TEST(FixPacketReaderTest, RawDataPairGoodAndHostile) {
    const struct {
        std::string body;
        std::string raw96;
        std::string next;  // value of 97, when it follows
    } cases[] = {
        {"95=3\x01"
         "96=a\x01"
         "b\x01"
         "97=x\x01"s,
         "a\x01"
         "b"s,
         "x"},
        {"95=100\x01"
         "96=a\x01"
         "b\x01"
         "97=x\x01"s,
         "a", "x"},  // longer than the body
        {"95=-1\x01"
         "96=a\x01"
         "97=x\x01"s,
         "a", "x"},  // negative
        {"95=2\x01"
         "96=abcd\x01"
         "97=x\x01"s,
         "abcd", "x"},  // no SOH behind 2 bytes
        {"95=99999999999\x01"
         "96=ab\x01"
         "97=x\x01"s,
         "ab", "x"},  // beyond any length
        {"95=2\x01"
         "96=ab"s,
         "ab", ""},  // exactly the rest
        {"95=0\x01"
         "96=\x01"
         "97=x\x01"s,
         "", "x"},
        {"95=3\x01"
         "1=q\x01"
         "96=a\x01"
         "b\x01"s,
         "a", ""},  // 96 not right behind
    };
    for (const auto& c : cases) {
        std::string_view v;
        ASSERT_TRUE(FindPlainField(c.body, 96, v)) << c.body;
        EXPECT_EQ(std::string(v), c.raw96) << c.body;
        if (!c.next.empty()) {
            ASSERT_TRUE(FindPlainField(c.body, 97, v));
            EXPECT_EQ(v, c.next);
        }
    }
}

TEST(FixPacketReaderTest, TablePieces) {
    std::string_view v;
    const std::string row =
        "a\x01\x01"
        "c\x01"s;
    ASSERT_TRUE(FindTablePiece(row, 0, v));
    EXPECT_EQ(v, "a");
    ASSERT_TRUE(FindTablePiece(row, 1, v));
    EXPECT_EQ(v, "");
    ASSERT_TRUE(FindTablePiece(row, 2, v));
    EXPECT_EQ(v, "c");
    EXPECT_FALSE(FindTablePiece(row, 3, v));
    EXPECT_FALSE(FindTablePiece("a", 0, v)) << "shorter than 2 bytes";
    ASSERT_TRUE(
        FindTablePiece("ab\x01"
                       "cd",
                       1, v));
    EXPECT_EQ(v, "cd");

    std::vector<uint16_t> starts;
    for (const std::string& body : {row,
                                    "ab\x01"
                                    "cd"s,
                                    "\x01\x01"s, "x"s}) {
        IndexTablePieces(body, starts);
        const std::size_t pieces = starts.empty() ? 0 : starts.size() - 1;
        for (std::size_t i = 0; i < pieces + 2; ++i) {
            const bool found = FindTablePiece(body, i, v);
            EXPECT_EQ(found, i < pieces) << i;
            if (found) {
                EXPECT_EQ(v,
                          std::string_view(body).substr(starts[i], starts[i + 1] - 1u - starts[i]));
            }
        }
    }
}

TEST(FixPacketReaderTest, ColumnHeaderRewrite) {
    std::string body =
        "1=a\x01"
        "22=\x01"
        "333=ccc\x01"s;
    std::vector<uint32_t> columns;
    const std::size_t n = RewriteColumnHeader(body.data(), body.size(), columns);
    EXPECT_EQ(body.substr(0, n),
              "a\x01\x01"
              "ccc\x01"s);
    EXPECT_EQ(columns, (std::vector<uint32_t>{1, 22, 333}));

    std::string raw =
        "1=a\x01"
        "95=1\x01"
        "96=z\x01"s;
    const std::string before = raw;
    EXPECT_EQ(RewriteColumnHeader(raw.data(), raw.size(), columns), raw.size());
    EXPECT_TRUE(columns.empty());
    EXPECT_EQ(raw, before);
}

TEST(FixPacketReaderTest, SplitChecksEveryLength) {
    const std::string a = commtest::Packet("1=a\x01");
    const std::string b = commtest::Packet("");
    auto split = [](const std::string& stream, int& count) {
        count = 0;
        return SplitPackets(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), 4096,
                            [&](const uint8_t*, std::size_t) { return ++count, true; });
    };
    int count;
    EXPECT_TRUE(split(a + b + a, count));
    EXPECT_EQ(count, 3);
    std::string shortLength = a + b;
    shortLength[a.size()] = 13;
    EXPECT_FALSE(split(shortLength, count));
    EXPECT_EQ(count, 1) << "packets before the failure stay delivered";
    EXPECT_FALSE(split(a + a.substr(0, 5), count));
    EXPECT_FALSE(split(a + "\x01", count)) << "one stray byte";
    std::string big = commtest::Packet(std::string(4083, 'x'));
    EXPECT_FALSE(split(big, count)) << "larger than one buffer";
    EXPECT_TRUE(split("", count));
}

TEST(FixPacketReaderTest, InflateRefusesOutputBeyondItsRoom) {
    const std::string plain(40000, 'q');
    const std::string packed = commtest::Deflate(plain);
    std::vector<uint8_t> out(32768);
    std::size_t produced = 0;
    EXPECT_FALSE(InflateSegments(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(),
                                 out.data(), out.size(), produced));
    const std::string fits = commtest::Deflate(std::string(32768, 'q'));
    EXPECT_TRUE(InflateSegments(reinterpret_cast<const uint8_t*>(fits.data()), fits.size(),
                                out.data(), out.size(), produced));
    EXPECT_EQ(produced, 32768u);
    const std::string broken = "not zlib";
    EXPECT_FALSE(InflateSegments(reinterpret_cast<const uint8_t*>(broken.data()), broken.size(),
                                 out.data(), out.size(), produced));
}

}  // namespace
}  // namespace NoltComm
