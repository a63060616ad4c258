// Fuzz target: packet header and body readers, the column-header rewrite, and compressed
// answers collected, inflated and split, over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "comm/FixPacket.h"
#include "comm/FixRequest.h"
#include "comm/IOBuffer.h"

using namespace NoltComm;

namespace {

void ReadRows(CFixRequest& request) {
    const std::size_t rows = request.GetAnswerCount();
    for (std::size_t row = 0; row < rows; ++row) {
        const int32_t r = static_cast<int32_t>(row);
        for (int32_t tag : {8, 35, 95, 96, 507, 508, 1, 0}) {
            request.GetString(tag, r);
            request.GetLong(tag, r);
        }
        uint32_t length = 0;
        request.GetRawData(length, r);
        for (uint32_t column : request.GetColumns())
            request.HasField(static_cast<int32_t>(column), r);
    }
    while (request.TakeNextAnswer()) request.GetString(507);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;

    // Header and plain body.
    if (size >= kHeaderSize) {
        const FixPacketHeader h = FixPacketHeader::Decode(data);
        uint8_t again[kHeaderSize];
        h.EncodeTo(again);
        if (std::memcmp(again, data, kHeaderSize) != 0) __builtin_trap();
        (void)IsValidPacketLength(h.length);
    }
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    FixItemScanner scanner(body.data(), body.size());
    int32_t tag;
    std::string_view value;
    while (scanner.Next(tag, value)) {
        if (value.data() < body.data() || value.data() + value.size() > body.data() + body.size()) {
            __builtin_trap();
        }
    }
    FindPlainField(body, 96, value);

    // Table form.
    std::vector<uint16_t> starts;
    if (size <= kMaxPacketSize) {
        IndexTablePieces(body, starts);
        for (std::size_t i = 0; i + 1 < starts.size() + 1; ++i) FindTablePiece(body, i, value);
        std::string copy(body);
        std::vector<uint32_t> columns;
        const std::size_t n = RewriteColumnHeader(copy.data(), copy.size(), columns);
        if (n > copy.size()) __builtin_trap();
    }

    CIOBuffer::Allocator allocator(kMaxPacketSize, 8);
    CFixRequest request;
    request.SetAnswerAllocator(&allocator);
    if ((mode & 1) == 0) {
        // The input as answer packets of at most one buffer each.
        std::size_t pos = 0;
        while (pos < size) {
            const std::size_t n = std::min<std::size_t>(
                size - pos, std::min<std::size_t>((mode >> 1) * 33 + kHeaderSize, kMaxPacketSize));
            CIOBuffer* b = allocator.Allocate();
            b->AddData(data + pos, static_cast<uint32_t>(n));
            request.AddAnswer(b);
            b->Release();
            pos += n;
        }
    } else {
        // The input as compressed segments, the last one flagged.
        const std::size_t segments = 1 + (mode >> 1) % 4;
        const std::size_t step = size / segments + 1;
        for (std::size_t pos = 0; pos < size; pos += step) {
            const std::size_t n = std::min(step, size - pos);
            request.AddCompressedSegment(data + pos, static_cast<uint32_t>(n), pos + n >= size);
        }
    }
    ReadRows(request);
    request.Prepare();
    if (allocator.GetInUseCount() != 0) __builtin_trap();
    return 0;
}
