// The FixApi packet: the 14-byte little-endian header, its flag bits, and the readers and
// rewriters of tag=value bodies (plain rows, table-form rows, compressed answer streams).
// Every reader is bounded by the lengths it is given; none relies on a NUL behind a body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace NoltComm {

constexpr uint32_t kHeaderSize = 14;
constexpr uint32_t kMaxPacketSize = 4096;
constexpr uint32_t kMaxPushBody = kMaxPacketSize - kHeaderSize;  // 4082
// Composing stops before this offset, leaving room in the 4096-byte buffer for the NUL.
constexpr uint32_t kComposeLimit = 4066;
constexpr uint32_t kPacketBufferSize = 32768;
// 14 + 32768 * 1.001 truncated: the largest request and the compressed collection limit.
constexpr uint32_t kLargestRequest = 32814;
constexpr uint32_t kLargeBufferSize = kLargestRequest + 10;  // 32824
constexpr uint32_t kCryptoBufferSize = 4118;
constexpr char kSoh = '\x01';

enum FixPacketKind : uint8_t {
    kKindRequest = 0,
    kKindSubscribe = 2,
    kKindOneWay = 3,
    kKindUnsubscribe = 9,
};

enum FixBodyFlags : uint8_t {
    kBodyEncrypted = 0x01,
    kBodyCompressed = 0x02,
    kBodyLastSegment = 0x04,
    kBodyColumnHeader = 0x08,
};

enum FixPacketFlags : uint8_t {
    kPacketAnswer = 0x01,
    kPacketPush = 0x02,
    kPacketLast = 0x04,
    kPacketEmpty = 0x08,
    kPacketNotCounted = 0x10,
};

struct FixPacketHeader {
    uint16_t length = 0;  // whole packet, header included
    uint32_t packetId = 0;
    uint8_t kind = 0;
    uint8_t bodyFlags = 0;
    uint8_t packetFlags = 0;
    uint8_t reserved[5] = {};

    // Writes the 14 bytes, little-endian, fields back to back.
    void EncodeTo(uint8_t* out) const;
    static FixPacketHeader Decode(const uint8_t* in);
};

// A packet length a peer may send: the header itself up to 4096 bytes.
constexpr bool IsValidPacketLength(uint32_t length) {
    return length >= kHeaderSize && length <= kMaxPacketSize;
}

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The tag of an item as by atoi (leading blanks, sign, digits), saturating.
int32_t ParseTag(std::string_view text);

// Walks the items of a plain-form body in wire order, honouring the raw-data pair: after
// item 95 = n, item 96's value is the next n bytes when 0 <= n < the bytes left and an SOH
// follows them; otherwise 96 is read up to the next SOH like any item.
class FixItemScanner {
public:
    FixItemScanner(const char* body, std::size_t length) : body_(body), end_(body + length) {}
    // Starts at an item boundary (an offset returned by Offset()); rawLength is the value
    // of a 95 item right before that offset, or -1.
    void Seek(std::size_t offset, int64_t rawLength = -1);
    // The next item; false at the end of the body.
    bool Next(int32_t& tag, std::string_view& value);
    std::size_t Offset() const { return static_cast<std::size_t>(pos_ - body_); }
    int64_t PendingRawLength() const { return raw_; }

private:
    const char* body_;
    const char* end_;
    const char* pos_ = body_;
    int64_t raw_ = -1;
};

// The value of the first item with the tag in a plain-form body; false when absent.
bool FindPlainField(std::string_view body, int32_t tag, std::string_view& value);

// The index-th SOH-separated piece of a table-form row body; false when the row has fewer
// pieces or the body is shorter than 2 bytes.
bool FindTablePiece(std::string_view body, std::size_t index, std::string_view& value);

// Offsets of the pieces of a table-form row: piece i runs from starts[i] to starts[i + 1] - 1;
// the last entry is a sentinel, so a row has starts.size() - 1 pieces (none for a body
// shorter than 2 bytes). Bodies are at most one packet, so offsets fit 16 bits.
void IndexTablePieces(std::string_view body, std::vector<uint16_t>& starts);

// Rewrites a column-header body in place to its values, each followed by SOH, and returns
// the new length; the tags become `columns`. A body that holds item 96 gets no columns and
// stays as it is (returns its own length).
std::size_t RewriteColumnHeader(char* body, std::size_t length, std::vector<uint32_t>& columns);

// Inflates a zlib stream into out (at most outCapacity bytes); false on any zlib error or
// when the result would not fit.
bool InflateSegments(const uint8_t* in, std::size_t inLength, uint8_t* out, std::size_t outCapacity,
                     std::size_t& outLength);

// Splits an inflated stream by the leading u16 lengths. Calls deliver(packet, length) for
// each packet in order; true when the lengths add up exactly. A length below 14, above
// maxPacket, or passing the end stops the split as a failure (earlier packets stay
// delivered). deliver returning false also stops it as a failure.
template <typename Deliver>
bool SplitPackets(const uint8_t* data, std::size_t length, std::size_t maxPacket,
                  Deliver&& deliver) {
    std::size_t pos = 0;
    while (pos < length) {
        if (length - pos < 2) return false;
        const std::size_t size = ReadLe16(data + pos);
        if (size < kHeaderSize || size > maxPacket || size > length - pos) return false;
        if (!deliver(data + pos, size)) return false;
        pos += size;
    }
    return true;
}

}  // namespace NoltComm
