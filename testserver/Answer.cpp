// Encoding of the test server's answers into packets.
#include "testserver/Answer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "platform/core/Encoding.h"

namespace testserver {

namespace {

std::string TableValues(const std::vector<int32_t>& columns, const Row& row) {
    std::string body;
    for (int32_t tag : columns) {
        auto it = std::find_if(row.begin(), row.end(),
                               [tag](const Field& field) { return field.tag == tag; });
        if (it != row.end())
            body += tag == kTagRawData ? it->value : platform::Utf8ToGbk(it->value);
        body += kSoh;
    }
    return body;
}

}  // namespace

std::vector<std::string> EncodeRowPackets(uint32_t packetId, uint8_t kind, const Answer& answer) {
    const bool table =
        answer.form == AnswerForm::Table || answer.form == AnswerForm::CompressedTable;
    const Ending ending = answer.rows.empty() && answer.ending == Ending::LastRow
                              ? Ending::EmptyTerminator
                              : answer.ending;
    std::vector<std::string> packets;
    std::vector<int32_t> columns;
    for (std::size_t i = 0; i < answer.rows.size(); ++i) {
        const Row& row = answer.rows[i];
        PacketHeader header{0, packetId, kind, 0, kPacketAnswer};
        std::string body;
        if (table && i == 0) {
            header.bodyFlags = kBodyColumnHeader;
            for (const Field& field : row) columns.push_back(field.tag);
            body = EncodeBody(row);
        } else if (table) {
            body = TableValues(columns, row);
        } else {
            body = EncodeBody(row);
        }
        if (ending == Ending::LastRow && i + 1 == answer.rows.size())
            header.packetFlags |= kPacketLast;
        packets.push_back(MakePacket(header, body));
    }
    if (ending != Ending::LastRow) {
        const uint8_t mark =
            ending == Ending::EmptyTerminator ? kPacketEmptyTerminator : kPacketNotCounted;
        packets.push_back(
            MakePacket(PacketHeader{0, packetId, kind, 0,
                                    static_cast<uint8_t>(kPacketAnswer | kPacketLast | mark)},
                       {}));
    }
    return packets;
}

std::string Deflate(std::string_view bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::runtime_error("deflate failed");
    out.resize(size);
    return out;
}

std::vector<std::string> SegmentPackets(uint32_t packetId, uint8_t kind,
                                        std::string_view compressed, bool finalBatch) {
    std::vector<std::string> packets;
    std::size_t pos = 0;
    do {
        const std::size_t size = std::min(kMaxBodySize, compressed.size() - pos);
        const bool last = pos + size == compressed.size();
        PacketHeader header{0, packetId, kind, kBodyCompressed, kPacketAnswer};
        if (last) {
            header.bodyFlags |= kBodyLastSegment;
            if (finalBatch) header.packetFlags |= kPacketLast;
        }
        packets.push_back(MakePacket(header, compressed.substr(pos, size)));
        pos += size;
    } while (pos < compressed.size());
    return packets;
}

std::vector<std::string> EncodeAnswer(uint32_t packetId, uint8_t kind, const Answer& answer) {
    std::vector<std::string> rows = EncodeRowPackets(packetId, kind, answer);
    if (answer.form == AnswerForm::Plain || answer.form == AnswerForm::Table) return rows;

    // Every batch holds whole packets, so the client's split of each inflated batch ends
    // exactly at its end.
    std::vector<std::string> batches;
    std::string batch;
    for (const std::string& packet : rows) {
        if (!batch.empty() && batch.size() + packet.size() > kMaxInflated) {
            batches.push_back(std::move(batch));
            batch.clear();
        }
        batch += packet;
    }
    batches.push_back(std::move(batch));

    std::vector<std::string> packets;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        const std::string compressed = Deflate(batches[i]);
        for (std::string& packet :
             SegmentPackets(packetId, kind, compressed, i + 1 == batches.size()))
            packets.push_back(std::move(packet));
    }
    return packets;
}

}  // namespace testserver
