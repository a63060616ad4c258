// Request composition (golden bytes), the request pool, and the answer side: table form,
// compressed answers and raw data.
#include "comm/FixRequest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CommTestSupport.h"
#include "comm/FixPacket.h"
#include "comm/FixRequestPool.h"

namespace NoltComm {
namespace {

using namespace std::string_literals;

std::string Body(const CFixRequest& r) {
    return std::string(reinterpret_cast<const char*>(r.GetPacket()) + 14,
                       static_cast<std::size_t>(r.GetBodyLength()) - 14);
}

std::string Whole(const CFixRequest& r) {
    return std::string(reinterpret_cast<const char*>(r.GetPacket()), 4096);
}

TEST(FixRequestComposeTest, FreshRequestHasHeadAndFunctionOnly) {
    CFixRequest r;
    EXPECT_FALSE(r.AddField(1, "x")) << "no header yet";
    ASSERT_TRUE(r.BeginRequest(100));
    EXPECT_EQ(Body(r),
              "8=2||||||0|0|\x01"
              "35=100\x01"s);
    EXPECT_EQ(r.GetPacket()[r.GetBodyLength()], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.GetPacket()), 14), std::string(14, '\0'));
}

TEST(FixRequestComposeTest, GoldenBytesWithHeadFieldsAndFinish) {
    CFixRequest r;
    r.SetHeadValue(1, "3");
    r.SetHeadValue(2, "00009999");
    r.SetHeadValue(3, "8");
    r.SetHeadValue(4, "PC;192.168.0.1");
    r.SetHeadValue(5, "1");
    r.SetHeadValue(6, "1");
    r.SetHeadValue(9, "1");
    r.SetHeadNumber(1);
    ASSERT_TRUE(r.BeginRequest("303"));
    EXPECT_TRUE(r.AddField(605, "cu2501"));
    EXPECT_TRUE(r.AddField(606, nullptr));
    EXPECT_TRUE(r.AddLongField(607, -42));
    EXPECT_TRUE(r.AddDoubleField(44, 12));
    EXPECT_TRUE(r.AddDoubleField(45, 0.25));
    EXPECT_TRUE(r.AddDoubleField(46, -3.1));
    EXPECT_TRUE(r.AddDoubleField(47, 1.25));
    EXPECT_TRUE(r.AddField(58, "中文"));
    const std::string body =
        "8=3|00009999|8|PC;192.168.0.1|1|1|0|1|1\x01"
        "35=303\x01"
        "605=cu2501\x01"
        "606=\x01"
        "607=-42\x01"
        "44=12\x01"
        "45=0.25\x01"
        "46=-3.1\x01"
        "47=1.25\x01"
        "58=\xD6\xD0\xCE\xC4\x01"s;
    EXPECT_EQ(Body(r), body);

    r.SetKind(kKindOneWay);
    r.SetPushFlag(true);
    r.FinishPacket(0x01020304);
    const uint32_t length = static_cast<uint32_t>(14 + body.size());
    const std::string header = {static_cast<char>(length & 0xFF),
                                static_cast<char>(length >> 8),
                                4,
                                3,
                                2,
                                1,
                                3,
                                0,
                                2,
                                0,
                                0,
                                0,
                                0,
                                0};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.GetPacket()), 14), header);
    EXPECT_EQ(r.GetPacketId(), 0x01020304u);
    // The next begin carries the packet id last sent in head position 7.
    ASSERT_TRUE(r.BeginRequest(1));
    EXPECT_EQ(Body(r).substr(0, 40),
              "8=3|00009999|8|PC;192.168.0.1|1|1|16909060|1|1\x01"s.substr(0, 40));
}

TEST(FixRequestComposeTest, FieldReachingOffset4066LeavesTheBufferUnchanged) {
    CFixRequest r;
    ASSERT_TRUE(r.BeginRequest(1));
    const std::size_t start = static_cast<std::size_t>(r.GetBodyLength());
    // Item "1=<n bytes>\x01" is n + 3 bytes long and must end before offset 4066.
    const std::size_t fits = 4066 - start - 4;
    const std::string before = Whole(r);
    EXPECT_FALSE(r.AddField(1, std::string(fits + 1, 'v')));
    EXPECT_EQ(Whole(r), before) << "not a byte written";
    EXPECT_EQ(r.GetBodyLength(), static_cast<int32_t>(start));
    EXPECT_TRUE(r.AddField(1, std::string(fits, 'v')));
    EXPECT_EQ(r.GetBodyLength(), 4065);
    EXPECT_EQ(r.GetPacket()[4065], 0);
    const std::string full = Whole(r);
    EXPECT_FALSE(r.AddField(1, ""));
    EXPECT_FALSE(r.AddLongField(2, 1));
    EXPECT_FALSE(r.AddDoubleField(3, 1e300));
    EXPECT_EQ(Whole(r), full);
}

TEST(FixRequestComposeTest, HeadTooLongForAPacketLeavesNoHeader) {
    CFixRequest r;
    r.SetHeadValue(4, std::string(5000, 's'));
    EXPECT_FALSE(r.BeginRequest(1));
    EXPECT_FALSE(r.IsHeaderCreated());
    EXPECT_FALSE(r.AddField(1, "x"));
}

TEST(FixRequestPoolTest, ReturnedRequestComesBackPreparedAndLimitHolds) {
    CFixRequestPool pool;
    pool.SetLimit(1);
    CFixRequest* a = pool.Take();
    a->SetTimeout(30);
    a->SetHeadValue(1, "3");
    ASSERT_TRUE(a->BeginRequest(5));
    CIOBuffer::Allocator allocator(4096, 0);
    CIOBuffer* row = allocator.Allocate();
    const std::string p = commtest::Packet("507=1\x01");
    row->AddData(p.data(), static_cast<uint32_t>(p.size()));
    a->AddAnswer(row);
    row->Release();
    CFixRequest* b = pool.Take();
    a->Release();
    b->Release();  // beyond the limit of one free object: destroyed
    EXPECT_EQ(pool.GetFreeCount(), 1u);
    EXPECT_EQ(pool.GetInUseCount(), 0u);
    EXPECT_EQ(allocator.GetInUseCount(), 0u) << "answer rows released on return";
    CFixRequest* again = pool.Take();
    EXPECT_EQ(again, a);
    EXPECT_EQ(again->GetTimeout(), 10);
    EXPECT_EQ(again->GetAnswerCount(), 0u);
    EXPECT_EQ(again->RefCount(), 1);
    ASSERT_TRUE(again->BeginRequest(5));
    EXPECT_EQ(Body(*again).substr(0, 4), "8=2|");
    again->Release();
}

class AnswerTest : public testing::Test {
protected:
    AnswerTest() : allocator_(4096, 0) { request_.SetAnswerAllocator(&allocator_); }
    ~AnswerTest() override {
        request_.Prepare();
        EXPECT_EQ(allocator_.GetInUseCount(), 0u);
    }
    void Add(const std::string& packet) {
        CIOBuffer* b = allocator_.Allocate();
        b->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
        request_.AddAnswer(b);
        b->Release();
    }
    bool AddSegment(const std::string& bytes, bool last) {
        return request_.AddCompressedSegment(reinterpret_cast<const uint8_t*>(bytes.data()),
                                             static_cast<uint32_t>(bytes.size()), last);
    }

    CIOBuffer::Allocator allocator_;
    CFixRequest request_;
};

TEST_F(AnswerTest, PlainRowsAndTheLastEmptyTerminator) {
    Add(
        commtest::Packet("507=0\x01"
                         "508=ok\x01"
                         "10=1.5\x01"));
    Add(commtest::Packet("10=2\x01"));
    EXPECT_FALSE(request_.IsComplete());
    Add(commtest::Packet("", 7, 0, 0, kPacketLast | kPacketEmpty));
    EXPECT_TRUE(request_.IsComplete());
    EXPECT_TRUE(request_.GetAnswerEvent().Wait(0));
    EXPECT_EQ(request_.GetRowCount(), 2);
    EXPECT_EQ(request_.GetString(508, 0), "ok");
    EXPECT_DOUBLE_EQ(request_.GetDouble(10, 0), 1.5);
    EXPECT_EQ(request_.GetLong(10, 1), 2);
    EXPECT_FALSE(request_.HasField(508, 1));
    EXPECT_EQ(request_.GetLong(10, 5), 0);
    ASSERT_TRUE(request_.TakeNextAnswer());
    EXPECT_EQ(request_.GetErrorText(), "ok");
    EXPECT_EQ(request_.GetLong(10, 0), 2) << "row 0 is now the next waiting one";
}

TEST_F(AnswerTest, TableFormRewritesTheColumnHeaderPacket) {
    Add(
        commtest::Packet("1=a\x01"
                         "22=\x01"
                         "333=ccc\x01"
                         "22=dup\x01",
                         7, 0, kBodyColumnHeader));
    Add(
        commtest::Packet("x\x01"
                         "y\x01"
                         "z\x01"
                         "w\x01",
                         7, 0, kBodyColumnHeader));
    Add(commtest::Packet("p\x01", 7, 0, 0, kPacketLast));
    EXPECT_TRUE(request_.IsTableForm());
    EXPECT_EQ(request_.GetColumns(), (std::vector<uint32_t>{1, 22, 333, 22}));
    EXPECT_EQ(request_.GetRowCount(), 3);
    EXPECT_EQ(request_.GetString(1, 0), "a");
    EXPECT_TRUE(request_.HasField(22, 0));
    EXPECT_EQ(request_.GetString(22, 0), "") << "first column of a tag wins";
    EXPECT_EQ(request_.GetString(333, 0), "ccc");
    EXPECT_EQ(request_.GetString(333, 1), "z") << "bit 3 on a later packet keeps the row";
    EXPECT_EQ(request_.GetString(1, 2), "p");
    EXPECT_FALSE(request_.HasField(22, 2)) << "fewer pieces";
    EXPECT_FALSE(request_.HasField(4, 1));
    ASSERT_TRUE(request_.TakeNextAnswer());
    const CIOBuffer* first = request_.GetCurrentRow();
    const std::string rewritten =
        "a\x01\x01"
        "ccc\x01"
        "dup\x01"s;
    EXPECT_EQ(first->GetUsed(), 14 + rewritten.size());
    EXPECT_EQ(ReadLe16(first->GetBuffer()), 14 + rewritten.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first->GetBuffer()) + 14, rewritten.size()),
              rewritten);
}

TEST_F(AnswerTest, ColumnHeaderWithRawDataLeavesNoColumns) {
    Add(
        commtest::Packet("1=a\x01"
                         "95=1\x01"
                         "96=z\x01",
                         7, 0, kBodyColumnHeader));
    Add(commtest::Packet("q\x01", 7, 0, 0, kPacketLast));
    EXPECT_TRUE(request_.IsTableForm());
    EXPECT_TRUE(request_.GetColumns().empty());
    EXPECT_FALSE(request_.HasField(1, 0));
    EXPECT_FALSE(request_.HasField(1, 1));
}

TEST_F(AnswerTest, RawDataOfAPlainRow) {
    Add(
        commtest::Packet("95=3\x01"
                         "96=a\x01"
                         "b\x01"
                         "97=x\x01"s));
    Add(
        commtest::Packet("95=50\x01"
                         "96=a\x01"
                         "b\x01"s));
    Add(commtest::Packet("96=\x01"s));
    uint32_t length = 99;
    const uint8_t* raw = request_.GetRawData(length, 0);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw), length),
              "a\x01"
              "b"s);
    EXPECT_EQ(request_.GetString(97, 0), "x");
    raw = request_.GetRawData(length, 1);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw), length), "a");
    EXPECT_EQ(request_.GetRawData(length, 2), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(request_.GetRawData(length, 3), nullptr);
}

TEST_F(AnswerTest, CompressedAnswerInManySegmentsIsInflatedAndSplitIntoRows) {
    std::string stream;
    constexpr int kRows = 120;
    for (int i = 0; i < kRows; ++i) {
        std::string body = "507=" + std::to_string(i) +
                           "\x01"
                           "600=" +
                           std::string(200, 'a' + i % 26) + "\x01";
        stream += commtest::Packet(body, 7, 0, 0, i == kRows - 1 ? kPacketLast : 0);
    }
    ASSERT_LE(stream.size(), 32768u);
    const std::string packed = commtest::Deflate(stream);
    const std::size_t third = packed.size() / 3;
    EXPECT_TRUE(AddSegment(packed.substr(0, third), false));
    EXPECT_TRUE(AddSegment(packed.substr(third, third), false));
    EXPECT_TRUE(AddSegment(packed.substr(2 * third), true));
    EXPECT_EQ(request_.GetRowCount(), kRows);
    EXPECT_TRUE(request_.IsComplete());
    EXPECT_EQ(request_.GetLong(507, 77), 77);
    EXPECT_EQ(request_.GetString(600, 3), std::string(200, 'd'));
    EXPECT_EQ(LargeBufferAllocator().GetInUseCount(), 0u);
}

TEST_F(AnswerTest, HostileCompressedAnswersFailWithoutHarm) {
    // A bad inner length after two good packets: the answer is broken, no row is delivered.
    std::string stream = commtest::Packet("1=a\x01") + commtest::Packet("1=b\x01");
    std::string bad = commtest::Packet("1=c\x01");
    bad[0] = 13;
    EXPECT_FALSE(AddSegment(commtest::Deflate(stream + bad), true));
    EXPECT_EQ(request_.GetAnswerCount(), 0u);
    // Output beyond 32768 bytes.
    EXPECT_FALSE(AddSegment(commtest::Deflate(std::string(40000, '\0')), true));
    // Not zlib at all, and an empty segment.
    EXPECT_FALSE(AddSegment("garbage", true));
    EXPECT_FALSE(AddSegment("", true));
    // Segments beyond 32814 collected bytes.
    const std::string chunk(16000, 'z');
    EXPECT_TRUE(AddSegment(chunk, false));
    EXPECT_TRUE(AddSegment(chunk, false));
    EXPECT_FALSE(AddSegment(std::string(815, 'z'), false));
    EXPECT_EQ(LargeBufferAllocator().GetInUseCount(), 0u);
    EXPECT_EQ(request_.GetAnswerCount(), 0u);
}

TEST_F(AnswerTest, BeginningAgainDropsThePreviousAnswer) {
    Add(commtest::Packet("1=a\x01", 7, 0, kBodyColumnHeader, kPacketLast));
    ASSERT_TRUE(request_.TakeNextAnswer());
    ASSERT_TRUE(request_.BeginRequest(2));
    EXPECT_EQ(request_.GetCurrentRow(), nullptr);
    EXPECT_FALSE(request_.IsTableForm());
    EXPECT_FALSE(request_.IsComplete());
    EXPECT_EQ(request_.GetRowCount(), 0);
    EXPECT_EQ(allocator_.GetInUseCount(), 0u);
}

TEST_F(AnswerTest, RowsArrivingOnAnotherThreadAreReadInOrder) {
    constexpr int kRows = 300;
    std::jthread receiver([this] {
        Add(
            commtest::Packet("1=0\x01"
                             "2=x\x01",
                             7, 0, kBodyColumnHeader));
        for (int i = 1; i < kRows; ++i) {
            Add(commtest::Packet(std::to_string(i) + "\x01"
                                                     "y\x01",
                                 7, 0, 0, i == kRows - 1 ? kPacketLast : 0));
        }
    });
    int next = 0;
    while (next < kRows) {
        if (!request_.TakeNextAnswer()) {
            if (!request_.IsComplete()) request_.GetAnswerEvent().Wait(5);
            continue;
        }
        ASSERT_EQ(request_.GetLong(1), next);
        ASSERT_TRUE(request_.HasField(2));
        ++next;
    }
    receiver.join();
    EXPECT_EQ(request_.GetRowCount(), kRows);
}

}  // namespace
}  // namespace NoltComm
