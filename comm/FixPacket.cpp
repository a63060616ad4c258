// Header coding and body readers of the FixApi packet format.
#include "comm/FixPacket.h"

#include <zlib.h>

#include <cstring>
#include <limits>

namespace NoltComm {

void FixPacketHeader::EncodeTo(uint8_t* out) const {
    WriteLe16(out, length);
    WriteLe32(out + 2, packetId);
    out[6] = kind;
    out[7] = bodyFlags;
    out[8] = packetFlags;
    for (int i = 0; i < 5; ++i) out[9 + i] = reserved[i];
}

FixPacketHeader FixPacketHeader::Decode(const uint8_t* in) {
    FixPacketHeader h;
    h.length = ReadLe16(in);
    h.packetId = ReadLe32(in + 2);
    h.kind = in[6];
    h.bodyFlags = in[7];
    h.packetFlags = in[8];
    for (int i = 0; i < 5; ++i) h.reserved[i] = in[9 + i];
    return h;
}

int32_t ParseTag(std::string_view text) {
    // Fast path for the usual plain digits; anything else by the atoi rules.
    if (!text.empty() && text.size() <= 9) {
        int32_t v = 0;
        bool digits = true;
        for (char c : text) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            v = v * 10 + (c - '0');
        }
        if (digits) return v;
    }
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > std::numeric_limits<int32_t>::max()) {
            return negative ? std::numeric_limits<int32_t>::min()
                            : std::numeric_limits<int32_t>::max();
        }
    }
    return static_cast<int32_t>(negative ? -v : v);
}

namespace {
int64_t ParseRawLength(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return -1;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    if (negative) return -1;
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > (int64_t{1} << 32)) return -1;
    }
    return v;
}
}  // namespace

void FixItemScanner::Seek(std::size_t offset, int64_t rawLength) {
    const std::size_t size = static_cast<std::size_t>(end_ - body_);
    pos_ = body_ + (offset < size ? offset : size);
    raw_ = rawLength;
}

bool FixItemScanner::Next(int32_t& tag, std::string_view& value) {
    while (pos_ < end_) {
        // The usual item starts with plain digits and '='; read those inline.
        const char* eq = nullptr;
        const char* p = pos_;
        int32_t digits = 0;
        int32_t v = 0;
        while (p < end_ && digits < 9 && *p >= '0' && *p <= '9') {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        if (digits > 0 && p < end_ && *p == '=') {
            eq = p;
            tag = v;
        } else {
            const char* soh = static_cast<const char*>(
                std::memchr(pos_, kSoh, static_cast<std::size_t>(end_ - pos_)));
            const char* itemEnd = soh != nullptr ? soh : end_;
            eq = static_cast<const char*>(
                std::memchr(pos_, '=', static_cast<std::size_t>(itemEnd - pos_)));
            if (eq == nullptr) {
                // Not an item (no '=' before its SOH): skip it.
                pos_ = soh != nullptr ? soh + 1 : end_;
                raw_ = -1;
                continue;
            }
            tag = ParseTag(std::string_view(pos_, static_cast<std::size_t>(eq - pos_)));
        }
        const char* valueStart = eq + 1;
        const std::size_t remaining = static_cast<std::size_t>(end_ - valueStart);
        if (tag == 96 && raw_ >= 0 && static_cast<uint64_t>(raw_) < remaining &&
            valueStart[raw_] == kSoh) {
            value = std::string_view(valueStart, static_cast<std::size_t>(raw_));
            pos_ = valueStart + raw_ + 1;
            raw_ = -1;
            return true;
        }
        // Values are mostly a few bytes: a plain loop beats a library call here.
        const char* itemEnd = valueStart;
        while (itemEnd < end_ && *itemEnd != kSoh) ++itemEnd;
        const char* soh = itemEnd < end_ ? itemEnd : nullptr;
        value = std::string_view(valueStart, static_cast<std::size_t>(itemEnd - valueStart));
        pos_ = soh != nullptr ? soh + 1 : end_;
        raw_ = tag == 95 ? ParseRawLength(value) : -1;
        return true;
    }
    return false;
}

bool FindPlainField(std::string_view body, int32_t tag, std::string_view& value) {
    FixItemScanner scanner(body.data(), body.size());
    int32_t t;
    std::string_view v;
    while (scanner.Next(t, v)) {
        if (t == tag) {
            value = v;
            return true;
        }
    }
    return false;
}

bool FindTablePiece(std::string_view body, std::size_t index, std::string_view& value) {
    if (body.size() < 2) return false;
    const char* p = body.data();
    const char* end = p + body.size();
    for (std::size_t i = 0;; ++i) {
        const char* soh =
            static_cast<const char*>(std::memchr(p, kSoh, static_cast<std::size_t>(end - p)));
        if (i == index) {
            value = std::string_view(p, static_cast<std::size_t>((soh != nullptr ? soh : end) - p));
            return true;
        }
        if (soh == nullptr || soh + 1 == end) return false;
        p = soh + 1;
    }
}

void IndexTablePieces(std::string_view body, std::vector<uint16_t>& starts) {
    starts.clear();
    if (body.size() < 2) return;
    std::size_t pos = 0;
    for (;;) {
        starts.push_back(static_cast<uint16_t>(pos));
        const void* soh = std::memchr(body.data() + pos, kSoh, body.size() - pos);
        if (soh == nullptr) {
            starts.push_back(static_cast<uint16_t>(body.size() + 1));
            return;
        }
        pos = static_cast<std::size_t>(static_cast<const char*>(soh) - body.data()) + 1;
        if (pos == body.size()) {
            starts.push_back(static_cast<uint16_t>(pos));
            return;
        }
    }
}

std::size_t RewriteColumnHeader(char* body, std::size_t length, std::vector<uint32_t>& columns) {
    columns.clear();
    FixItemScanner scanner(body, length);
    int32_t tag;
    std::string_view value;
    while (scanner.Next(tag, value)) {
        if (tag == 96) {
            columns.clear();
            return length;
        }
        columns.push_back(static_cast<uint32_t>(tag));
    }
    // Values move only towards the start (each loses its "tag="), so an in-place copy in
    // wire order never overwrites bytes not yet read.
    FixItemScanner again(body, length);
    std::size_t out = 0;
    while (again.Next(tag, value)) {
        std::memmove(body + out, value.data(), value.size());
        out += value.size();
        body[out++] = kSoh;
    }
    return out;
}

bool InflateSegments(const uint8_t* in, std::size_t inLength, uint8_t* out, std::size_t outCapacity,
                     std::size_t& outLength) {
    outLength = 0;
    if (inLength > std::numeric_limits<uLong>::max()) return false;
    uLongf produced = static_cast<uLongf>(outCapacity);
    if (uncompress(out, &produced, in, static_cast<uLong>(inLength)) != Z_OK) return false;
    if (produced > outCapacity) return false;
    outLength = produced;
    return true;
}

}  // namespace NoltComm
