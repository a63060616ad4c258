// The control connection's frames: every decision is taken on the bytes at the start of the
// buffer, and a frame is only handed out whole, so a record split over two reads or two
// frames merged into one read come out the same as one frame per read.
#include "market/feed/Level2Framing.h"

#include <cstring>

#include "platform/core/Numbers.h"

namespace market::feed {

namespace {

constexpr std::size_t kHeaderSize = 8;  // type, 3 padding bytes, u32 length
constexpr uint32_t kSnapshotMark = 287;

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
int32_t ReadI32(const uint8_t* p) { return static_cast<int32_t>(ReadU32(p)); }

// A byte a text answer may hold: printable ASCII, tab, CR, and GBK's high bytes.
bool IsTextByte(uint8_t b) { return b == '\t' || b == '\r' || (b >= 0x20 && b != 0x7f); }

// A typed quote record's header: the type and the size it must have.
bool IsTypedQuoteHeader(uint8_t type, uint32_t size) {
    switch (type) {
        case '1':
            return size == 208 || size == 272;
        case '4':
            return size == 152;
        case '5':
            return size == 96;
        case '6':
            return size == 112;
        case '7':
            return size == 208;
        default:
            return false;
    }
}

ControlFrame Whole(ControlFrameKind kind, std::size_t need, std::size_t size) {
    if (size < need) return {ControlFrameKind::kNeedMore, 0};
    return {kind, need};
}

// A text line at the start: up to its LF within the limit, of text bytes only.
ControlFrame FrameTextLine(const uint8_t* data, std::size_t size, std::size_t limit) {
    const std::size_t scan = size < limit ? size : limit;
    for (std::size_t i = 0; i < scan; ++i) {
        if (data[i] == '\n') return {ControlFrameKind::kTextLine, i + 1};
        if (!IsTextByte(data[i])) {
            // Fewer bytes than a header: a record's header may still be on its way.
            if (size < kHeaderSize) return {ControlFrameKind::kNeedMore, 0};
            return {ControlFrameKind::kGarbage, 0};
        }
    }
    if (size >= limit) return {ControlFrameKind::kGarbage, 0};
    return {ControlFrameKind::kNeedMore, 0};
}

std::string BoundedText(const uint8_t* field, std::size_t width) {
    const void* nul = std::memchr(field, 0, width);
    const std::size_t n =
        nul == nullptr ? width : static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - field);
    return std::string(reinterpret_cast<const char*>(field), n);
}

}  // namespace

ControlFrame FrameLoginAnswer(const uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0) return {ControlFrameKind::kNeedMore, 0};
    if (size >= kHeaderSize && ReadU32(data + 4) == kLevel2LoginAnswerSize)
        return Whole(ControlFrameKind::kLoginAnswer, kLevel2LoginAnswerSize, size);
    return FrameTextLine(data, size, kLoginLineLimit);
}

ControlFrame FrameControlStream(const uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0) return {ControlFrameKind::kNeedMore, 0};
    if (size >= 4 && ReadU32(data) == kSnapshotMark)
        return Whole(ControlFrameKind::kQuoteRecord, kSnapshotMark, size);
    if (size >= kHeaderSize) {
        const uint32_t length = ReadU32(data + 4);
        if (IsTypedQuoteHeader(data[0], length))
            return Whole(ControlFrameKind::kQuoteRecord, length, size);
        if (length == kLevel2SubscribeAnswerSize)
            return Whole(ControlFrameKind::kSubscribeAnswer, length, size);
    }
    return FrameTextLine(data, size, kAnswerLineLimit);
}

bool DecodeLevel2LoginAnswer(const uint8_t* data, std::size_t size, Level2LoginAnswer& out) {
    if (data == nullptr || size < kLevel2LoginAnswerSize) return false;
    out.type = static_cast<char>(data[0]);
    out.len = ReadI32(data + 4);
    out.customer = BoundedText(data + 8, 32);
    out.mode = ReadI32(data + 40);
    out.group = BoundedText(data + 44, 20);
    out.port = ReadI32(data + 64);
    return out.len == static_cast<int32_t>(kLevel2LoginAnswerSize);
}

bool DecodeLevel2SubscribeAnswer(const uint8_t* data, std::size_t size,
                                 Level2SubscribeAnswer& out) {
    if (data == nullptr || size < kLevel2SubscribeAnswerSize) return false;
    out.type = static_cast<char>(data[0]);
    out.len = ReadI32(data + 4);
    out.error = BoundedText(data + 8, 100);
    out.count = ReadI32(data + 108);
    return true;
}

std::string_view TrimLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::vector<std::string> SplitItems(std::string_view text, char separator) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = text.find(separator, start);
        items.emplace_back(text.substr(start, cut == std::string_view::npos ? cut : cut - start));
        if (cut == std::string_view::npos) return items;
        start = cut + 1;
    }
}

Level2TextLogin ParseTextLogin(std::string_view line) {
    const std::vector<std::string> items = SplitAnswerLine(TrimLineEnd(line));
    Level2TextLogin login;
    if (items.size() > 2) login.mode = platform::AtolSat(items[2]);
    if (items.size() > 3) login.group = items[3];
    if (items.size() > 4) login.port = platform::AtolSat(items[4]);
    return login;
}

void ControlStreamBuffer::Append(const void* data, std::size_t size) {
    if (broken_ || size == 0) return;
    // Framed bytes are dropped before the buffer grows, so it never holds more than one
    // unfinished frame and the new bytes.
    if (start_ > 0) {
        data_.erase(0, start_);
        start_ = 0;
    }
    data_.append(static_cast<const char*>(data), size);
}

ControlFrame ControlStreamBuffer::Next(std::string_view& bytes, bool login) {
    bytes = {};
    if (broken_) return {ControlFrameKind::kGarbage, 0};
    const auto* at = reinterpret_cast<const uint8_t*>(data_.data()) + start_;
    const std::size_t size = data_.size() - start_;
    const ControlFrame frame = login ? FrameLoginAnswer(at, size) : FrameControlStream(at, size);
    if (frame.kind == ControlFrameKind::kGarbage) {
        broken_ = true;
        return frame;
    }
    if (frame.kind == ControlFrameKind::kNeedMore) return frame;
    bytes = std::string_view(data_).substr(start_, frame.size);
    start_ += frame.size;
    return frame;
}

void ControlStreamBuffer::Clear() {
    data_.clear();
    start_ = 0;
    broken_ = false;
}

std::string ControlStreamBuffer::TakeRest() {
    std::string rest = data_.substr(start_);
    data_.clear();
    start_ = 0;
    return rest;
}

std::string DescribeControlFrame(ControlFrameKind kind, std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    switch (kind) {
        case ControlFrameKind::kLoginAnswer: {
            Level2LoginAnswer answer;
            DecodeLevel2LoginAnswer(data, bytes.size(), answer);
            return "LOGIN Type=" + std::string(1, answer.type) +
                   ",len=" + std::to_string(answer.len) + ",m_cKHH=" + answer.customer +
                   ",m_nDQMS=" + std::to_string(answer.mode) + ",m_cIP=" + answer.group +
                   ",m_nDKH=" + std::to_string(answer.port) + "\n";
        }
        case ControlFrameKind::kSubscribeAnswer: {
            Level2SubscribeAnswer answer;
            DecodeLevel2SubscribeAnswer(data, bytes.size(), answer);
            return "SUBSCRIBE Type=" + std::string(1, answer.type) +
                   ",len=" + std::to_string(answer.len) + ",m_cERR=" + answer.error +
                   ",m_nCGBW=" + std::to_string(answer.count) + "\n";
        }
        case ControlFrameKind::kTextLine:
            return std::string(bytes);
        case ControlFrameKind::kQuoteRecord:
            return "level-2 record of " + std::to_string(bytes.size()) + " bytes\n";
        case ControlFrameKind::kGarbage:
            return "level-2 control connection: bytes of no known frame, connection ended\n";
        case ControlFrameKind::kNeedMore:
            break;
    }
    return {};
}

}  // namespace market::feed
