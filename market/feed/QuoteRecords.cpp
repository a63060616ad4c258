// Decoders of the quote records: fixed little-endian layouts read with bounded copies, the
// compact record walk and the tag=value push fields.
#include "market/feed/QuoteRecords.h"

#include <cmath>
#include <cstring>

#include "comm/FixPacket.h"
#include "platform/core/Numbers.h"

namespace market::feed {

const uint32_t kPushTags[kPushEntries] = {
    860, 813, 726, 587, 729, 528, 524, 706, 703, 707, 704,  1807, 842,  850,  843,  851,  844, 852,
    845, 853, 846, 854, 847, 855, 848, 856, 849, 857, 1357, 1359, 1358, 1360, 1806, 1734, 1803};

namespace {

// Every read is bounded by the caller's size check of the whole record.
template <typename T>
T Read(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
int32_t ReadI32(const uint8_t* p) { return Read<int32_t>(p); }
uint32_t ReadU32(const uint8_t* p) { return Read<uint32_t>(p); }
double ReadF64(const uint8_t* p) { return Read<double>(p); }
double ReadF32(const uint8_t* p) { return Read<float>(p); }

// Type byte at 0 and u32 length at 4, both matching the received size.
bool TypedHeader(const uint8_t* data, std::size_t size, char type, std::size_t expected) {
    return size == expected && data[0] == static_cast<uint8_t>(type) && ReadU32(data + 4) == size;
}

// The code of the type 4-7 records: text at 8, up to the first field after it at 40.
constexpr std::size_t kTypedCodeOffset = 8;
constexpr std::size_t kTypedCodeWidth = 32;

}  // namespace

bool QuoteCode::Assign(std::string_view value) {
    if (value.empty() || value.size() > kMaxBytes) {
        text[0] = 0;
        size = 0;
        return false;
    }
    std::memcpy(text, value.data(), value.size());
    text[value.size()] = 0;
    size = static_cast<uint8_t>(value.size());
    return true;
}

bool ReadCodeField(const uint8_t* field, std::size_t width, QuoteCode& code) {
    const void* nul = std::memchr(field, 0, width);
    if (nul == nullptr) return code.Assign({});
    const std::size_t n = static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - field);
    return code.Assign(std::string_view(reinterpret_cast<const char*>(field), n));
}

Level2Kind ClassifyLevel2(const uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 8) return Level2Kind::kNone;
    if (size == 287 && ReadU32(data) == 287) return Level2Kind::kSnapshot;
    switch (data[0]) {
        case '1':
            if (TypedHeader(data, size, '1', 208)) return Level2Kind::kLevel1Short;
            if (TypedHeader(data, size, '1', 272)) return Level2Kind::kLevel1Long;
            break;
        case '4':
            if (TypedHeader(data, size, '4', 152)) return Level2Kind::kOrderQueue;
            break;
        case '6':
            if (TypedHeader(data, size, '6', 112)) return Level2Kind::kBookTotals;
            break;
        case '5':
            if (TypedHeader(data, size, '5', 96)) return Level2Kind::kSettlement;
            break;
        case '7':
            if (TypedHeader(data, size, '7', 208)) return Level2Kind::kTradeStatistics;
            break;
        default:
            break;
    }
    return Level2Kind::kNone;
}

bool DecodeLevel2Snapshot(const uint8_t* data, std::size_t size, Level2Snapshot& out) {
    if (ClassifyLevel2(data, size) != Level2Kind::kSnapshot) return false;
    if (!ReadCodeField(data + 12, 30, out.code)) return false;
    out.updateTime = ReadI32(data + 5);
    out.suspended = data[42];
    out.prevSettle = ReadF64(data + 43);
    out.average = ReadF64(data + 59);
    out.prevClose = ReadF64(data + 67);
    out.open = ReadF64(data + 83);
    out.openInterest = ReadI32(data + 95);
    out.last = ReadF64(data + 99);
    out.volume = ReadI32(data + 107);
    out.turnover = ReadF64(data + 111);
    out.upperLimit = ReadF64(data + 119);
    out.lowerLimit = ReadF64(data + 127);
    out.high = ReadF64(data + 135);
    out.low = ReadF64(data + 143);
    for (int k = 0; k < 5; ++k) {
        const uint8_t* p = data + 167 + 24 * k;
        out.levels[k] = {ReadF64(p), ReadF64(p + 8), ReadI32(p + 16), ReadI32(p + 20)};
    }
    return true;
}

bool DecodeLevel1Snapshot(const uint8_t* data, std::size_t size, Level1Snapshot& out) {
    const Level2Kind kind = ClassifyLevel2(data, size);
    if (kind != Level2Kind::kLevel1Short && kind != Level2Kind::kLevel1Long) return false;
    if (!ReadCodeField(data + 19, 30, out.code)) return false;
    out.longForm = kind == Level2Kind::kLevel1Long;
    out.suspended = data[49];
    out.prevSettle = ReadF32(data + 52);
    out.average = ReadF32(data + 60);
    out.prevClose = ReadF32(data + 64);
    out.open = ReadF32(data + 72);
    out.openInterest = ReadI32(data + 80);
    out.last = ReadF32(data + 84);
    out.volume = ReadI32(data + 88);
    out.turnover = ReadF64(data + 96);
    out.upperLimit = ReadF32(data + 104);
    out.lowerLimit = ReadF32(data + 108);
    out.high = ReadF32(data + 112);
    out.low = ReadF32(data + 116);
    if (out.longForm) {
        out.updateTime = 0;
        for (int k = 0; k < 5; ++k) {
            const uint8_t* bid = data + 128 + 8 * k;
            const uint8_t* ask = data + 168 + 8 * k;
            out.levels[k] = {ReadF32(bid), ReadF32(ask), ReadI32(bid + 4), ReadI32(ask + 4)};
        }
        out.bidQuantity = ReadI32(data + 224);
        out.askQuantity = ReadI32(data + 228);
        // The text runs to the end of the record and may fill it: copied bounded.
        const void* nul = std::memchr(data + 252, 0, 20);
        const std::size_t n =
            nul == nullptr
                ? 20
                : static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - (data + 252));
        std::memcpy(out.updateText, data + 252, n);
        out.updateText[n] = 0;
    } else {
        out.updateTime = ReadI32(data + 12);
        out.updateText[0] = 0;
        for (int k = 0; k < 5; ++k) {
            const uint8_t* p = data + 128 + 16 * k;
            out.levels[k] = {ReadF32(p), ReadF32(p + 4), ReadI32(p + 8), ReadI32(p + 12)};
        }
        out.bidQuantity = 0;
        out.askQuantity = 0;
    }
    return true;
}

bool DecodeOrderQueue(const uint8_t* data, std::size_t size, OrderQueueRecord& out) {
    if (ClassifyLevel2(data, size) != Level2Kind::kOrderQueue) return false;
    if (!ReadCodeField(data + kTypedCodeOffset, kTypedCodeWidth, out.code)) return false;
    out.buyPrice = ReadF64(data + 40);
    out.sellPrice = ReadF64(data + 88);
    for (int i = 0; i < 10; ++i) {
        out.buyVolumes[i] = ReadI32(data + 48 + 4 * i);
        out.sellVolumes[i] = ReadI32(data + 96 + 4 * i);
    }
    std::memcpy(out.bytes.data(), data, OrderQueueRecord::kSize);
    return true;
}

bool DecodeBookTotals(const uint8_t* data, std::size_t size, BookTotalsRecord& out) {
    if (ClassifyLevel2(data, size) != Level2Kind::kBookTotals) return false;
    if (!ReadCodeField(data + kTypedCodeOffset, kTypedCodeWidth, out.code)) return false;
    out.totalBid = ReadI32(data + 88);
    out.totalAsk = ReadI32(data + 92);
    out.averageBid = ReadF64(data + 96);
    out.averageAsk = ReadF64(data + 104);
    return true;
}

bool DecodeSettlement(const uint8_t* data, std::size_t size, SettlementRecord& out) {
    if (ClassifyLevel2(data, size) != Level2Kind::kSettlement) return false;
    if (!ReadCodeField(data + kTypedCodeOffset, kTypedCodeWidth, out.code)) return false;
    out.price = ReadF64(data + 88);
    return true;
}

bool DecodeTradeStatistics(const uint8_t* data, std::size_t size, TradeStatisticsRecord& out) {
    if (ClassifyLevel2(data, size) != Level2Kind::kTradeStatistics) return false;
    if (!ReadCodeField(data + kTypedCodeOffset, kTypedCodeWidth, out.code)) return false;
    for (int k = 0; k < 5; ++k) {
        const uint8_t* p = data + 88 + 24 * k;
        out.entries[k].price = ReadF64(p);
        for (int v = 0; v < 4; ++v) out.entries[k].volumes[v] = ReadI32(p + 8 + 4 * v);
    }
    std::memcpy(out.bytes.data(), data, TradeStatisticsRecord::kSize);
    return true;
}

bool IsIntegerQuoteTag(uint32_t tag) {
    switch (tag) {
        case 528:
        case 843:
        case 845:
        case 847:
        case 849:
        case 851:
        case 853:
        case 855:
        case 857:
        case 860:
        case 1358:
        case 1360:
        case 1806:
        case 1807:
            return true;
        default:
            return false;
    }
}

float CompactRecord::RealValue(int k) const {
    float v;
    std::memcpy(&v, &raw[k], sizeof v);
    return v;
}

CompactRecordReader::Step CompactRecordReader::Next(CompactRecord& out) {
    if (done_ || data_ == nullptr || offset_ >= size_) {
        done_ = true;
        return Step::kEnd;
    }
    const uint8_t* start = data_ + offset_;
    const std::size_t left = size_ - offset_;
    auto malformed = [this] {
        done_ = true;
        return Step::kMalformed;
    };
    // The code runs to the first byte whose signed value is below 20: the control byte.
    std::size_t n = 0;
    while (n < left && n <= QuoteCode::kMaxBytes && static_cast<int8_t>(start[n]) >= 20) ++n;
    if (n >= left || n > QuoteCode::kMaxBytes) return malformed();
    const int8_t control = static_cast<int8_t>(start[n]);
    std::size_t pos = n + 1;
    std::size_t bitmapBytes = 4;
    std::size_t recordLength = 0;
    if (control > 0) {
        if (left - pos < 2) return malformed();
        recordLength =
            static_cast<std::size_t>(start[pos]) | (static_cast<std::size_t>(start[pos + 1]) << 8);
        pos += 2;
        bitmapBytes = static_cast<std::size_t>(control);
    }
    if (left - pos < bitmapBytes) return malformed();
    const uint8_t* bitmap = start + pos;
    pos += bitmapBytes;
    const std::size_t header = pos;
    out.code.Assign(std::string_view(reinterpret_cast<const char*>(start), n));
    out.present = 0;
    for (int k = 0; k < kCompactEntries && static_cast<std::size_t>(k / 8) < bitmapBytes; ++k) {
        if ((bitmap[k / 8] >> (k % 8)) & 1) {
            if (left - pos < 4) return malformed();
            out.raw[k] = static_cast<uint32_t>(start[pos]) |
                         (static_cast<uint32_t>(start[pos + 1]) << 8) |
                         (static_cast<uint32_t>(start[pos + 2]) << 16) |
                         (static_cast<uint32_t>(start[pos + 3]) << 24);
            out.present |= uint64_t{1} << k;
            pos += 4;
        }
    }
    if (recordLength == 0) {
        offset_ += pos;
    } else {
        // The next record must start past this one's header and inside the buffer: an offset
        // that points back or into the header would loop or re-read bytes as a new record.
        if (recordLength <= header || recordLength > left) return malformed();
        offset_ += recordLength;
    }
    return Step::kRecord;
}

ParsedPushFields::ParsedPushFields(std::string_view body) : body_(body) {
    // Items are split as the connection's own field reader splits them.
    NoltComm::FixItemScanner scanner(body_.data(), body_.size());
    int32_t tag = 0;
    std::string_view value;
    while (scanner.Next(tag, value))
        if (tag > 0) fields_.emplace_back(static_cast<uint32_t>(tag), value);
}

// Searched from the end, so that a later item of a tag stands for it.
const std::string_view* ParsedPushFields::find(uint32_t tag) const {
    for (auto it = fields_.rbegin(); it != fields_.rend(); ++it)
        if (it->first == tag) return &it->second;
    return nullptr;
}

bool ParsedPushFields::Has(uint32_t tag) const { return find(tag) != nullptr; }

std::string_view ParsedPushFields::Get(uint32_t tag) const {
    const std::string_view* value = find(tag);
    return value != nullptr ? *value : std::string_view{};
}

bool DecodeQuotePush(const QuotePushFields& push, PushQuote& out) {
    if (!out.code.Assign(push.Get(719))) return false;
    // A code with a NUL inside would be cut short by every C-string reader after us.
    if (std::memchr(out.code.text, 0, out.code.size) != nullptr) return out.code.Assign({});
    out.present = 0;
    out.pushedTime.clear();
    for (int k = 0; k < kPushEntries; ++k) {
        const uint32_t tag = kPushTags[k];
        const std::string_view text = push.Get(tag);
        if (text.empty()) continue;
        double value;
        if (IsIntegerQuoteTag(tag)) {
            const int32_t v = platform::AtolSat(text);
            if (v == kNoValue) continue;
            value = v;
        } else {
            value = platform::Atof(text);
            if (!std::isfinite(value)) continue;
        }
        out.values[k] = value;
        out.present |= uint64_t{1} << k;
        if (tag == 1803) out.pushedTime.assign(text.substr(0, 63));
    }
    return true;
}

}  // namespace market::feed
