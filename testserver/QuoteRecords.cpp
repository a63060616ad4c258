// Byte layouts of the quote records, written little-endian field by field at their offsets
// (never by copying a struct), so padding and alignment can never creep into the wire.
#include "testserver/QuoteRecords.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/core/Numbers.h"

namespace testserver {

namespace {

class Record {
public:
    explicit Record(std::size_t size) : bytes_(size, '\0') {}

    void U8(std::size_t at, uint8_t v) { bytes_.at(at) = static_cast<char>(v); }
    void U32(std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.at(at + i) = static_cast<char>(v >> (8 * i));
    }
    void I32(std::size_t at, int32_t v) { U32(at, static_cast<uint32_t>(v)); }
    void F32(std::size_t at, float v) { U32(at, std::bit_cast<uint32_t>(v)); }
    void F64(std::size_t at, double v) {
        const auto bits = std::bit_cast<uint64_t>(v);
        for (int i = 0; i < 8; ++i) bytes_.at(at + i) = static_cast<char>(bits >> (8 * i));
    }
    // Text cut to leave room for its NUL within `width` bytes.
    void Text(std::size_t at, std::size_t width, std::string_view text) {
        const std::size_t n = std::min(text.size(), width - 1);
        std::memcpy(bytes_.data() + at, text.data(), n);
    }
    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

// Header of the typed level-2 records: type byte, u32 length, the code from offset 8.
Record Typed(char type, std::size_t size, const MarketQuote& q, std::size_t codeWidth) {
    Record r(size);
    r.U8(0, static_cast<uint8_t>(type));
    r.U32(4, static_cast<uint32_t>(size));
    r.Text(8, codeWidth, q.code);
    return r;
}

float Single(double v) { return static_cast<float>(v); }

int32_t SumOf(const std::array<int32_t, kBookLevels>& volumes) {
    int64_t sum = 0;
    for (int32_t v : volumes) sum += v;
    return static_cast<int32_t>(std::min<int64_t>(sum, std::numeric_limits<int32_t>::max()));
}

double WeightedPrice(const MarketQuote& q, const std::array<int64_t, kBookLevels>& prices,
                     const std::array<int32_t, kBookLevels>& volumes) {
    double amount = 0;
    int64_t total = 0;
    for (int k = 0; k < kBookLevels; ++k) {
        amount += q.Price(prices[k]) * volumes[k];
        total += volumes[k];
    }
    return total > 0 ? amount / static_cast<double>(total) : 0;
}

// Ten queued orders that make up a level's volume: the first ones larger, none empty.
std::array<int32_t, 10> QueueOf(int32_t volume) {
    std::array<int32_t, 10> queue{};
    const int orders = std::clamp(volume / 5, volume > 0 ? 1 : 0, 10);
    for (int i = 0; i < orders; ++i) queue[i] = volume / orders + (i < volume % orders ? 1 : 0);
    return queue;
}

// A compact or push value of the quote, by tag; false when the quote has none.
bool ValueOf(const MarketQuote& q, int32_t tag, double& value) {
    static constexpr int32_t kBidTags[kBookLevels][2] = {
        {842, 843}, {844, 845}, {846, 847}, {848, 849}, {1357, 1358}};
    static constexpr int32_t kAskTags[kBookLevels][2] = {
        {850, 851}, {852, 853}, {854, 855}, {856, 857}, {1359, 1360}};
    for (int k = 0; k < kBookLevels; ++k) {
        if (tag == kBidTags[k][0]) return value = q.Price(q.bids[k]), true;
        if (tag == kBidTags[k][1]) return value = q.bidVolumes[k], true;
        if (tag == kAskTags[k][0]) return value = q.Price(q.asks[k]), true;
        if (tag == kAskTags[k][1]) return value = q.askVolumes[k], true;
    }
    switch (tag) {
        case 860:
            return value = q.suspended, true;
        case 813:
            return value = q.Price(q.settlement), true;
        case 726:
            return value = q.Price(q.close), true;
        case 587:
            return value = q.Price(q.open), true;
        case 729:
            return value = q.Price(q.last), true;
        case 528:
            return value = q.volume, true;
        case 524:
            return value = q.turnover, true;
        case 706:
            return value = q.Price(q.upper), true;
        case 703:
            return value = q.Price(q.lower), true;
        case 707:
            return value = q.Price(q.high), true;
        case 704:
            return value = q.Price(q.low), true;
        case 1807:
            return value = q.openInterest, true;
        case 1806:
            return value = q.previousInterest, true;
        case 1734:
            return value = q.AveragePrice(), true;
        default:
            return false;
    }
}

constexpr std::size_t kCompactEntries = 34;  // 1809, 1808, 1804 and 1805 are never sent
constexpr double kSingleLimit = 16777215;

}  // namespace

bool IsIntegerQuoteTag(int32_t tag) {
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

int32_t UpdateTimeOf(const Market& market, const MarketQuote& quote) {
    const int64_t ms = market.TimeOfDayMs(quote.updateMs);
    const int64_t seconds = ms / 1000;
    return static_cast<int32_t>((seconds / 3600) * 10000000 + (seconds / 60 % 60) * 100000 +
                                (seconds % 60) * 1000 + ms % 1000);
}

std::string EncodeLevel2Snapshot(const MarketQuote& q, int32_t updateTime) {
    Record r(kLevel2SnapshotSize);
    r.U32(0, kLevel2SnapshotSize);
    r.I32(5, updateTime);
    r.Text(12, 30, q.code);
    r.U8(42, static_cast<uint8_t>(q.suspended));
    r.F64(43, q.Price(q.settlement));
    r.F64(59, q.AveragePrice());
    r.F64(67, q.Price(q.close));
    r.F64(83, q.Price(q.open));
    r.I32(95, q.openInterest);
    r.F64(99, q.Price(q.last));
    r.I32(107, q.volume);
    r.F64(111, q.turnover);
    r.F64(119, q.Price(q.upper));
    r.F64(127, q.Price(q.lower));
    r.F64(135, q.Price(q.high));
    r.F64(143, q.Price(q.low));
    for (int k = 0; k < kBookLevels; ++k) {
        const std::size_t at = 167 + 24 * static_cast<std::size_t>(k);
        r.F64(at, q.Price(q.bids[k]));
        r.F64(at + 8, q.Price(q.asks[k]));
        r.I32(at + 16, q.bidVolumes[k]);
        r.I32(at + 20, q.askVolumes[k]);
    }
    return r.Take();
}

std::string EncodeLevel1(const MarketQuote& q, int32_t updateTime, bool longForm) {
    const std::size_t size = longForm ? kLevel1LongSize : kLevel1ShortSize;
    Record r(size);
    r.U8(0, '1');
    r.U32(4, static_cast<uint32_t>(size));
    if (!longForm) r.I32(12, updateTime);
    r.Text(19, 30, q.code);
    r.U8(49, static_cast<uint8_t>(q.suspended));
    r.F32(52, Single(q.Price(q.settlement)));
    r.F32(60, Single(q.AveragePrice()));
    r.F32(64, Single(q.Price(q.close)));
    r.F32(72, Single(q.Price(q.open)));
    r.I32(80, q.openInterest);
    r.F32(84, Single(q.Price(q.last)));
    r.I32(88, q.volume);
    r.F64(96, q.turnover);
    r.F32(104, Single(q.Price(q.upper)));
    r.F32(108, Single(q.Price(q.lower)));
    r.F32(112, Single(q.Price(q.high)));
    r.F32(116, Single(q.Price(q.low)));
    for (int k = 0; k < kBookLevels; ++k) {
        const auto level = static_cast<std::size_t>(k);
        if (longForm) {
            r.F32(128 + 8 * level, Single(q.Price(q.bids[k])));
            r.I32(132 + 8 * level, q.bidVolumes[k]);
            r.F32(168 + 8 * level, Single(q.Price(q.asks[k])));
            r.I32(172 + 8 * level, q.askVolumes[k]);
        } else {
            r.F32(128 + 16 * level, Single(q.Price(q.bids[k])));
            r.F32(132 + 16 * level, Single(q.Price(q.asks[k])));
            r.I32(136 + 16 * level, q.bidVolumes[k]);
            r.I32(140 + 16 * level, q.askVolumes[k]);
        }
    }
    if (longForm) {
        r.I32(224, SumOf(q.bidVolumes));
        r.I32(228, SumOf(q.askVolumes));
        r.Text(252, 20, platform::FormatInt(updateTime));
    }
    return r.Take();
}

std::string EncodeOrderQueue(const MarketQuote& q) {
    Record r = Typed('4', kOrderQueueSize, q, 32);
    r.F64(40, q.Price(q.bids[0]));
    const auto buys = QueueOf(q.bidVolumes[0]);
    for (std::size_t i = 0; i < buys.size(); ++i) r.I32(48 + 4 * i, buys[i]);
    r.F64(88, q.Price(q.asks[0]));
    const auto sells = QueueOf(q.askVolumes[0]);
    for (std::size_t i = 0; i < sells.size(); ++i) r.I32(96 + 4 * i, sells[i]);
    return r.Take();
}

std::string EncodeBookTotals(const MarketQuote& q) {
    Record r = Typed('6', kBookTotalsSize, q, 32);
    r.I32(88, SumOf(q.bidVolumes));
    r.I32(92, SumOf(q.askVolumes));
    r.F64(96, WeightedPrice(q, q.bids, q.bidVolumes));
    r.F64(104, WeightedPrice(q, q.asks, q.askVolumes));
    return r.Take();
}

std::string EncodeSettlementPrice(const MarketQuote& q) {
    Record r = Typed('5', kSettlementPriceSize, q, 32);
    r.F64(88, q.Price(q.settlement));
    return r.Take();
}

std::string EncodeTradeStatistics(const MarketQuote& q) {
    Record r = Typed('7', kTradeStatisticsSize, q, 32);
    // Five prices around the last one, each with buy-open, buy-close, sell-open and sell-close
    // volumes that split the day's volume.
    const int32_t share = q.volume / 20;
    for (int k = 0; k < 5; ++k) {
        const std::size_t at = 88 + 24 * static_cast<std::size_t>(k);
        const int64_t price = std::clamp<int64_t>(q.last + 2 - k, q.lower, q.upper);
        r.F64(at, q.Price(price));
        for (int v = 0; v < 4; ++v)
            r.I32(at + 8 + 4 * static_cast<std::size_t>(v), share / (v + 1 + (k == 2 ? 0 : 1)));
    }
    return r.Take();
}

std::string EncodeCompactRecord(const MarketQuote& q, bool withLength) {
    uint8_t bitmap[5] = {};
    // Without a record length the bitmap has 32 bits: 1734 and 1806 do not fit.
    const std::size_t bitmapBytes = withLength ? 5 : 4;
    const std::size_t entries = std::min(kCompactEntries, 8 * bitmapBytes);
    std::string values;
    values.reserve(4 * entries);
    for (std::size_t k = 0; k < entries; ++k) {
        const int32_t tag = kCompactTags[k];
        double value = 0;
        if (!ValueOf(q, tag, value)) continue;
        uint32_t bits = 0;
        if (IsIntegerQuoteTag(tag)) {
            if (value >= std::numeric_limits<int32_t>::max() || value < -2147483647.0) continue;
            bits = static_cast<uint32_t>(static_cast<int32_t>(value));
        } else {
            if (!(std::fabs(value) < kSingleLimit)) continue;
            bits = std::bit_cast<uint32_t>(static_cast<float>(value));
        }
        bitmap[k / 8] = static_cast<uint8_t>(bitmap[k / 8] | (1u << (k % 8)));
        for (int i = 0; i < 4; ++i) values += static_cast<char>(bits >> (8 * i));
    }
    // The code ends at the first byte below 20, so a code holding one would swallow the
    // control byte: such bytes are cut off, as are codes beyond 63 bytes.
    std::string out;
    for (char c : q.code) {
        if (static_cast<signed char>(c) < 20 || out.size() == 63) break;
        out += c;
    }
    if (withLength) {
        const std::size_t length = out.size() + 1 + 2 + bitmapBytes + values.size();
        out += static_cast<char>(bitmapBytes);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
    } else {
        out += '\0';
    }
    out.append(reinterpret_cast<const char*>(bitmap), bitmapBytes);
    return out + values;
}

Row QuotePushRow(const MarketQuote& q) {
    Row row{{719, q.code}};
    row.reserve(36);
    for (std::size_t k = 0; k < kCompactEntries; ++k) {
        // The push form has 1806 before 1734.
        const int32_t tag = k == 32 ? 1806 : k == 33 ? 1734 : kCompactTags[k];
        double value = 0;
        if (!ValueOf(q, tag, value)) continue;
        std::string text;
        if (IsIntegerQuoteTag(tag))
            text = platform::FormatInt(static_cast<int64_t>(value));
        else if (tag == 524)
            text = platform::FormatFixed(value, 2);
        else if (tag == 1734)
            text = platform::FormatFixed(value, q.decimals + 2);
        else
            text = platform::FormatFixed(value, q.decimals);
        row.push_back({tag, std::move(text)});
    }
    return row;
}

Row CompactPushRow(std::string_view records) {
    return {{kTagRawLength, platform::FormatInt(static_cast<int64_t>(records.size()))},
            {kTagRawData, std::string(records)}};
}

std::string EncodeLevel2LoginAnswer(char type, std::string_view khh, int32_t mode,
                                    std::string_view group, int32_t port) {
    Record r(kLevel2LoginAnswerSize);
    r.U8(0, static_cast<uint8_t>(type));
    r.U32(4, kLevel2LoginAnswerSize);
    r.Text(8, 32, khh);
    r.I32(40, mode);
    r.Text(44, 20, group);
    r.I32(64, port);
    return r.Take();
}

std::string Level2LoginLine(std::string_view khh, int32_t mode, std::string_view group,
                            int32_t port) {
    std::string line = "4001|";
    line.append(khh);
    line += '|' + platform::FormatInt(mode) + '|';
    line.append(group);
    line += '|' + platform::FormatInt(port) + "\r\n";
    return line;
}

std::string EncodeLevel2SubscribeAnswer(char type, std::string_view error, int32_t count) {
    Record r(kLevel2SubscribeAnswerSize);
    r.U8(0, static_cast<uint8_t>(type));
    r.U32(4, kLevel2SubscribeAnswerSize);
    r.Text(8, 100, error);
    r.I32(108, count);
    return r.Take();
}

}  // namespace testserver
