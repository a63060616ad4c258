// Answers of the test server and their packets: plain, table-form and compressed forms and
// the ways an answer ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "testserver/Packet.h"

namespace testserver {

// Compressed answers: what the client collects per batch and what one batch may inflate to.
inline constexpr std::size_t kMaxCollected = 32814;
inline constexpr std::size_t kMaxInflated = 32768;

enum class AnswerForm {
    Plain,            // one tag=value packet per row
    Table,            // first row defines the columns (body flag bit 3), later rows are values
    Compressed,       // plain row packets, deflated and sent in segments
    CompressedTable,  // table-form row packets, deflated and sent in segments
};

enum class Ending {
    LastRow,               // the last row carries the last-packet flag
    EmptyTerminator,       // a packet without a row, flagged last and empty terminator
    NotCountedTerminator,  // a packet without a row, flagged last and not counted
};

struct Answer {
    std::vector<Row> rows;
    AnswerForm form = AnswerForm::Plain;
    Ending ending = Ending::LastRow;  // with no rows the answer always ends with a terminator
};

// The answer's row packets before any compression; every packet carries the request's id
// and kind. Throws std::length_error when a row does not fit one packet.
std::vector<std::string> EncodeRowPackets(uint32_t packetId, uint8_t kind, const Answer& answer);

// The packets that go on the wire for the answer (compressed forms in batches of at most
// kMaxInflated inflated bytes, each batch deflated and cut into segments).
std::vector<std::string> EncodeAnswer(uint32_t packetId, uint8_t kind, const Answer& answer);

// zlib stream (the format uncompress reads) of the bytes.
std::string Deflate(std::string_view bytes);

// Cuts deflated bytes into segment packets: body flag bit 1 on each, bit 2 on the last; the
// last also gets the last-packet flag when finalBatch is set.
std::vector<std::string> SegmentPackets(uint32_t packetId, uint8_t kind,
                                        std::string_view compressed, bool finalBatch);

}  // namespace testserver
