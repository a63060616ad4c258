// The server's own wire codec: header bytes, tag=value bodies and request stream framing.
#include "testserver/Packet.h"

#include <cstring>
#include <stdexcept>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"

namespace testserver {

void WriteHeader(const PacketHeader& header, char* out) {
    std::memset(out, 0, kHeaderSize);
    out[0] = static_cast<char>(header.length & 0xFF);
    out[1] = static_cast<char>(header.length >> 8);
    for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<char>((header.packetId >> (8 * i)) & 0xFF);
    out[6] = static_cast<char>(header.kind);
    out[7] = static_cast<char>(header.bodyFlags);
    out[8] = static_cast<char>(header.packetFlags);
}

PacketHeader ReadHeader(const char* in) {
    auto byte = [in](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(in[i])); };
    PacketHeader header;
    header.length = static_cast<uint16_t>(byte(0) | (byte(1) << 8));
    header.packetId = byte(2) | (byte(3) << 8) | (byte(4) << 16) | (byte(5) << 24);
    header.kind = static_cast<uint8_t>(byte(6));
    header.bodyFlags = static_cast<uint8_t>(byte(7));
    header.packetFlags = static_cast<uint8_t>(byte(8));
    return header;
}

std::string MakePacket(PacketHeader header, std::string_view body) {
    if (body.size() > kMaxBodySize) throw std::length_error("packet body longer than one packet");
    header.length = static_cast<uint16_t>(kHeaderSize + body.size());
    std::string packet(kHeaderSize, '\0');
    WriteHeader(header, packet.data());
    packet.append(body);
    return packet;
}

Row ParseBody(std::string_view body) {
    Row row;
    std::size_t pos = 0;
    int64_t rawLength = -1;  // value of a 95 item directly before, else -1
    while (pos < body.size()) {
        const std::size_t eq = body.find('=', pos);
        const std::size_t soh = body.find(kSoh, pos);
        if (eq == std::string_view::npos || (soh != std::string_view::npos && soh < eq)) {
            pos = soh == std::string_view::npos ? body.size() : soh + 1;
            rawLength = -1;
            continue;
        }
        const int32_t tag = platform::AtolSat(body.substr(pos, eq - pos));
        const std::size_t start = eq + 1;
        std::string_view value;
        if (tag == kTagRawData && rawLength >= 0 &&
            static_cast<uint64_t>(rawLength) < body.size() - start &&
            body[start + static_cast<std::size_t>(rawLength)] == kSoh) {
            value = body.substr(start, static_cast<std::size_t>(rawLength));
            pos = start + value.size() + 1;
        } else {
            std::size_t end = body.find(kSoh, start);
            if (end == std::string_view::npos) end = body.size();
            value = body.substr(start, end - start);
            pos = end + 1;
        }
        rawLength = -1;
        if (tag == kTagRawLength && !value.empty()) rawLength = platform::Atol64Sat(value);
        // The trading password comes scrambled: bytes, not GBK text.
        if (tag == kTagRawData || tag == kTagPassword)
            row.push_back({tag, std::string(value)});
        else
            row.push_back({tag, platform::GbkToUtf8(value)});
    }
    return row;
}

void AppendItem(std::string& body, int32_t tag, std::string_view value) {
    body += platform::FormatInt(tag);
    body += '=';
    if (tag == kTagRawData)
        body.append(value);
    else
        body += platform::Utf8ToGbk(value);
    body += kSoh;
}

std::string EncodeBody(const Row& row) {
    std::string body;
    for (const Field& field : row) AppendItem(body, field.tag, field.value);
    return body;
}

const std::string* ReceivedRequest::Find(int32_t tag) const {
    for (const Field& field : fields)
        if (field.tag == tag) return &field.value;
    return nullptr;
}

std::string ReceivedRequest::Get(int32_t tag) const {
    const std::string* value = Find(tag);
    return value ? *value : std::string();
}

ReceivedRequest DecodeRequest(const PacketHeader& header, std::string_view body) {
    ReceivedRequest request;
    request.packetId = header.packetId;
    request.kind = header.kind;
    request.bodyFlags = header.bodyFlags;
    request.packetFlags = header.packetFlags;
    request.fields = ParseBody(body);
    if (const std::string* function = request.Find(35))
        request.function = platform::AtolSat(*function);
    return request;
}

void RequestDecoder::Append(const char* data, std::size_t size) {
    if (broken_) return;
    if (consumed_ > 0 && consumed_ == buffer_.size()) {
        buffer_.clear();
        consumed_ = 0;
    } else if (consumed_ >= kMaxPacketSize) {
        buffer_.erase(0, consumed_);
        consumed_ = 0;
    }
    buffer_.append(data, size);
}

RequestDecoder::Status RequestDecoder::Next(PacketHeader& header, std::string_view& body) {
    if (broken_) return Status::Broken;
    const std::size_t available = buffer_.size() - consumed_;
    if (available < kHeaderSize) return Status::NeedMore;
    header = ReadHeader(buffer_.data() + consumed_);
    if (header.length < kHeaderSize || header.length > kMaxPacketSize) {
        broken_ = true;
        return Status::Broken;
    }
    if (available < header.length) return Status::NeedMore;
    body = std::string_view(buffer_).substr(consumed_ + kHeaderSize, header.length - kHeaderSize);
    consumed_ += header.length;
    return Status::Packet;
}

}  // namespace testserver
