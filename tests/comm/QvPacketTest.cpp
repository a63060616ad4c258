// The push reader: attach bounds, cursor searches and raw data.
#include "comm/QvPacket.h"

#include <gtest/gtest.h>

#include "CommTestSupport.h"
#include "comm/IOBuffer.h"

namespace NoltComm {
namespace {

using namespace std::string_literals;

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(QvPacketTest, AttachRefusesBadLengths) {
    CQvPacket p;
    EXPECT_FALSE(p.Attach(static_cast<const CIOBuffer*>(nullptr)));
    EXPECT_FALSE(p.Attach(nullptr, 0));
    std::string packet = commtest::Packet("35=1\x01");
    EXPECT_TRUE(p.Attach(Bytes(packet), packet.size()));
    EXPECT_FALSE(p.Attach(Bytes(packet), packet.size() - 1)) << "length beyond the bytes held";
    std::string small = packet;
    small[0] = 13;
    EXPECT_FALSE(p.Attach(Bytes(small), small.size()));
    const std::string empty = commtest::Packet("");
    EXPECT_TRUE(p.Attach(Bytes(empty), empty.size()));
    EXPECT_EQ(p.GetItem(35), "");
    const std::string max = commtest::Packet(std::string(4082, 'x'));
    EXPECT_TRUE(p.Attach(Bytes(max), max.size()));
    const std::string over = commtest::Packet(std::string(4083, 'x'));
    EXPECT_FALSE(p.Attach(Bytes(over), over.size()));
    EXPECT_EQ(p.GetItem(1), "") << "a failed attach reads nothing";
}

TEST(QvPacketTest, ItemsInAnyOrderThroughTheCursor) {
    const std::string packet = commtest::Packet(
        "35=14\x01"
        "384=TOPIC.A\x01"
        "220=\xD6\xD0\x01"
        "95=2\x01"
        "96=\x01\x01\x01"
        "507=-5\x01"s,
        1, 3);
    CIOBuffer::Allocator allocator(4096, 0);
    CIOBuffer* b = allocator.Allocate();
    b->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
    CQvPacket p;
    ASSERT_TRUE(p.Attach(b));
    EXPECT_EQ(p.GetFunction(), 14);
    EXPECT_EQ(p.GetItem(384), "TOPIC.A");
    EXPECT_EQ(p.GetItem(220), "中");
    std::string_view raw;
    ASSERT_TRUE(p.FindItem(96, raw));
    EXPECT_EQ(raw, "\x01\x01"s);
    EXPECT_EQ(p.GetLong(507), -5);
    // Behind the cursor now: found by the second search from the start.
    EXPECT_EQ(p.GetItem(384), "TOPIC.A");
    ASSERT_TRUE(p.FindItem(96, raw)) << "the raw pair is honoured after a wrap too";
    EXPECT_EQ(raw, "\x01\x01"s);
    EXPECT_EQ(p.GetItem(999), "");
    EXPECT_EQ(p.GetLong(999), 0);
    EXPECT_EQ(p.GetLong(384), 0);
    b->Release();
}

}  // namespace
}  // namespace NoltComm
