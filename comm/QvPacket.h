// A short-lived reader of one received packet (a push): items are found with a cursor, so
// reading them in wire order costs one pass over the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace NoltComm {

class CIOBuffer;

class CQvPacket {
public:
    // False for a null buffer, a header length below 14 or beyond the bytes held, or a body
    // longer than 4082 bytes. Nothing is written into the buffer.
    bool Attach(const CIOBuffer* buffer);
    bool Attach(const uint8_t* packet, std::size_t size);

    // The item's text (UTF-8), empty when absent.
    std::string GetItem(int32_t tag);
    // The item as by atol, 0 when absent or empty.
    int32_t GetLong(int32_t tag);
    // Item 35.
    int32_t GetFunction() { return GetLong(35); }
    // The item's bytes as they are on the wire; false when absent.
    bool FindItem(int32_t tag, std::string_view& value);

    std::string_view Body() const { return std::string_view(body_, length_); }

private:
    const char* body_ = nullptr;
    std::size_t length_ = 0;
    std::size_t cursor_ = 0;
    int64_t cursorRaw_ = -1;  // the raw length of a 95 item just before the cursor
};

}  // namespace NoltComm
