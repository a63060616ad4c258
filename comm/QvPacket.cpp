// Cursor-based item reader for received packets.
#include "comm/QvPacket.h"

#include <cstdio>
#include <exception>

#include "comm/FixPacket.h"
#include "comm/IOBuffer.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"

namespace NoltComm {

bool CQvPacket::Attach(const CIOBuffer* buffer) {
    if (buffer == nullptr) return false;
    return Attach(buffer->GetBuffer(), buffer->GetUsed());
}

bool CQvPacket::Attach(const uint8_t* packet, std::size_t size) {
    body_ = nullptr;
    length_ = 0;
    cursor_ = 0;
    cursorRaw_ = -1;
    if (packet == nullptr || size < kHeaderSize) return false;
    const std::size_t length = ReadLe16(packet);
    if (length < kHeaderSize || length > size || length - kHeaderSize > kMaxPushBody) return false;
    body_ = reinterpret_cast<const char*>(packet + kHeaderSize);
    length_ = length - kHeaderSize;
    return true;
}

bool CQvPacket::FindItem(int32_t tag, std::string_view& value) {
    if (body_ == nullptr) return false;
    FixItemScanner scanner(body_, length_);
    int32_t t;
    std::string_view v;
    scanner.Seek(cursor_, cursorRaw_);
    while (scanner.Next(t, v)) {
        if (t == tag) {
            value = v;
            cursor_ = scanner.Offset();
            cursorRaw_ = scanner.PendingRawLength();
            return true;
        }
    }
    // Not behind the cursor: once more from the start up to the cursor.
    const std::size_t stop = cursor_;
    scanner.Seek(0);
    while (scanner.Offset() < stop && scanner.Next(t, v)) {
        if (t == tag) {
            value = v;
            cursor_ = scanner.Offset();
            cursorRaw_ = scanner.PendingRawLength();
            return true;
        }
    }
    return false;
}

std::string CQvPacket::GetItem(int32_t tag) {
    try {
        std::string_view value;
        if (!FindItem(tag, value)) return std::string();
        return platform::GbkToUtf8(value);
    } catch (const std::exception&) {
        std::fprintf(stderr, "CQvPacket::GetItem Unexpected exception!(%li)\n",
                     static_cast<long>(tag));
        return std::string();
    }
}

int32_t CQvPacket::GetLong(int32_t tag) {
    try {
        std::string_view value;
        if (!FindItem(tag, value)) return 0;
        return platform::AtolSat(value);
    } catch (const std::exception&) {
        std::fprintf(stderr, "CQvPacket::GetLong Unexpected exception!(%li)\n",
                     static_cast<long>(tag));
        return 0;
    }
}

}  // namespace NoltComm
