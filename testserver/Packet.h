// The server's own wire codec: the 14-byte packet header, tag=value bodies and the decoding
// of the byte stream a client sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

inline constexpr std::size_t kHeaderSize = 14;
inline constexpr std::size_t kMaxPacketSize = 4096;
inline constexpr std::size_t kMaxBodySize = kMaxPacketSize - kHeaderSize;
inline constexpr char kSoh = '\x01';

// Header byte 6.
enum PacketKind : uint8_t {
    kKindRequest = 0,
    kKindSubscribe = 2,
    kKindOneWay = 3,  // from the client: no answer awaited; from the server: a push or notice
    kKindUnsubscribe = 9,
};

// Header byte 7.
enum BodyFlag : uint8_t {
    kBodyEncrypted = 0x01,
    kBodyCompressed = 0x02,
    kBodyLastSegment = 0x04,
    kBodyColumnHeader = 0x08,
};

// Header byte 8.
enum PacketFlag : uint8_t {
    kPacketAnswer = 0x01,
    kPacketPush = 0x02,
    kPacketLast = 0x04,
    kPacketEmptyTerminator = 0x08,
    kPacketNotCounted = 0x10,
};

struct PacketHeader {
    uint16_t length = 0;  // whole packet, header included
    uint32_t packetId = 0;
    uint8_t kind = 0;
    uint8_t bodyFlags = 0;
    uint8_t packetFlags = 0;
};

// Little-endian, reserved bytes zero.
void WriteHeader(const PacketHeader& header, char* out);
PacketHeader ReadHeader(const char* in);

// Header plus body with the length filled in. Throws std::length_error when the body does
// not fit one packet.
std::string MakePacket(PacketHeader header, std::string_view body);

// One item of a body; values are UTF-8 in memory, except item 96 (raw data) which is kept
// as the bytes that travel.
struct Field {
    int32_t tag = 0;
    std::string value;
    bool operator==(const Field&) const = default;
};
using Row = std::vector<Field>;

inline constexpr int32_t kTagRawLength = 95;
inline constexpr int32_t kTagRawData = 96;
inline constexpr int32_t kTagPassword = 598;  // kept as received

// Items of a body in wire order. A value runs to the next SOH (or the end of the body);
// item 96 right after item 95 = n takes the next n bytes when the byte after them is SOH.
// Pieces without "=" are skipped.
Row ParseBody(std::string_view body);

// Appends tag=value SOH with the value converted to GBK (item 96 goes out as it is).
void AppendItem(std::string& body, int32_t tag, std::string_view value);
std::string EncodeBody(const Row& row);

// A request as the server received it.
struct ReceivedRequest {
    std::size_t connection = 0;  // order in which the connection was accepted, from 0
    uint32_t packetId = 0;
    uint8_t kind = 0;
    uint8_t bodyFlags = 0;
    uint8_t packetFlags = 0;
    int32_t function = 0;  // item 35 as a number
    Row fields;            // every item in wire order, the head (8) and function (35) included

    // First item with the tag; null when absent.
    const std::string* Find(int32_t tag) const;
    std::string Get(int32_t tag) const;
};

ReceivedRequest DecodeRequest(const PacketHeader& header, std::string_view body);

// Cuts a client's byte stream into packets. A length below the header size or above the
// packet limit breaks the stream for good: nothing after it can be framed again.
class RequestDecoder {
public:
    enum class Status { NeedMore, Packet, Broken };

    void Append(const char* data, std::size_t size);
    // On Packet, header and body describe the next packet, valid until the next call.
    Status Next(PacketHeader& header, std::string_view& body);
    bool IsBroken() const { return broken_; }

private:
    std::string buffer_;
    std::size_t consumed_ = 0;
    bool broken_ = false;
};

}  // namespace testserver
