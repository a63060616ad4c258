// Byte layouts of the quote records that reach the contract tables (level-2 and multicast
// datagrams, compact records of pushes and the UDP link, tag=value quote pushes) and their
// decoders. Decoding only reads the bytes it is given; it never touches a table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace market::feed {

// An integer field holding this carries no value.
inline constexpr int32_t kNoValue = 0x7fffffff;
// Values must lie strictly inside these bounds; written as comparisons that NaN fails.
inline constexpr double kSingleLimit = 16777215.0;
inline constexpr double kDoubleLimit = 9007199254740991.0;  // 2^53 - 1
inline bool WithinSingleRange(double v) { return v > -kSingleLimit && v < kSingleLimit; }
inline bool WithinDoubleRange(double v) { return v > -kDoubleLimit && v < kDoubleLimit; }

// A contract code copied out of a record: at most 63 bytes, always terminated.
struct QuoteCode {
    static constexpr std::size_t kMaxBytes = 63;
    char text[kMaxBytes + 1] = {};
    uint8_t size = 0;
    std::string_view view() const { return {text, size}; }
    const char* c_str() const { return text; }
    // False (and the code left empty) for an empty text or one longer than kMaxBytes.
    bool Assign(std::string_view value);
};

// A fixed text field of a record: the bytes up to the first NUL inside the field. A field
// without its NUL is refused (false), as is an empty one.
bool ReadCodeField(const uint8_t* field, std::size_t width, QuoteCode& code);

// ---- level-2 and multicast datagrams ----

enum class Level2Kind : uint8_t {
    kNone,
    kSnapshot,        // 287 bytes, u32 287 at 0
    kLevel1Short,     // 208 bytes, type '1'
    kLevel1Long,      // 272 bytes, type '1'
    kOrderQueue,      // 152 bytes, type '4'
    kBookTotals,      // 112 bytes, type '6'
    kSettlement,      // 96 bytes, type '5'
    kTradeStatistics  // 208 bytes, type '7'
};

// The record a datagram of this size and header holds; kNone for anything else.
Level2Kind ClassifyLevel2(const uint8_t* data, std::size_t size);

struct BookLevel {
    double bid = 0;
    double ask = 0;
    int32_t bidVolume = 0;
    int32_t askVolume = 0;
};

struct Level2Snapshot {
    QuoteCode code;
    int32_t updateTime = 0;    // 1901
    uint8_t suspended = 0;     // 860
    double prevSettle = 0;     // 813
    double average = 0;        // 1734
    double prevClose = 0;      // 726
    double open = 0;           // 587
    int32_t openInterest = 0;  // 1807
    double last = 0;           // 729
    int32_t volume = 0;        // 528
    double turnover = 0;       // 524
    double upperLimit = 0;     // 706
    double lowerLimit = 0;     // 703
    double high = 0;           // 707
    double low = 0;            // 704
    BookLevel levels[5];
};

// Single-precision values of the record are widened to double, which is exact.
struct Level1Snapshot {
    QuoteCode code;
    bool longForm = false;
    int32_t updateTime = 0;    // 1901, short form
    char updateText[21] = {};  // 1901, long form (bounded copy, always terminated)
    uint8_t suspended = 0;     // 860
    double prevSettle = 0;     // 813
    double average = 0;        // 1734 (offset 60)
    double prevClose = 0;      // 726
    double open = 0;           // 587
    int32_t openInterest = 0;  // 1807
    double last = 0;           // 729
    int32_t volume = 0;        // 528
    double turnover = 0;       // 524 (double precision)
    double upperLimit = 0;     // 706
    double lowerLimit = 0;     // 703
    double high = 0;           // 707
    double low = 0;            // 704
    BookLevel levels[5];
    int32_t bidQuantity = 0;  // 2058, long form
    int32_t askQuantity = 0;  // 2059, long form
};

struct OrderQueueRecord {
    static constexpr std::size_t kSize = 152;
    QuoteCode code;
    double buyPrice = 0;
    int32_t buyVolumes[10] = {};
    double sellPrice = 0;
    int32_t sellVolumes[10] = {};
    std::array<uint8_t, kSize> bytes{};  // the record as received
};

struct BookTotalsRecord {
    QuoteCode code;
    double averageBid = 0;  // 636
    double averageAsk = 0;  // 626
    int32_t totalBid = 0;   // 638
    int32_t totalAsk = 0;   // 628
};

struct SettlementRecord {
    QuoteCode code;
    double price = 0;  // 1027
};

struct TradeStatisticsRecord {
    static constexpr std::size_t kSize = 208;
    struct Entry {
        double price = 0;
        int32_t volumes[4] = {};
    };
    QuoteCode code;
    Entry entries[5];
    std::array<uint8_t, kSize> bytes{};
};

// Each decoder checks the size and header itself and refuses (false) a record of another kind
// or one whose code has no terminator inside its field.
bool DecodeLevel2Snapshot(const uint8_t* data, std::size_t size, Level2Snapshot& out);
bool DecodeLevel1Snapshot(const uint8_t* data, std::size_t size, Level1Snapshot& out);
bool DecodeOrderQueue(const uint8_t* data, std::size_t size, OrderQueueRecord& out);
bool DecodeBookTotals(const uint8_t* data, std::size_t size, BookTotalsRecord& out);
bool DecodeSettlement(const uint8_t* data, std::size_t size, SettlementRecord& out);
bool DecodeTradeStatistics(const uint8_t* data, std::size_t size, TradeStatisticsRecord& out);

// ---- compact records and tag=value pushes ----

// The tag list by position: bit k of a compact bitmap names entry k.
inline constexpr int kCompactEntries = 38;
inline constexpr uint32_t kCompactTags[kCompactEntries] = {
    860, 813, 726,  587,  729,  528,  524,  706,  703,  707,  704,  1807, 842,
    850, 843, 851,  844,  852,  845,  853,  846,  854,  847,  855,  848,  856,
    849, 857, 1357, 1359, 1358, 1360, 1734, 1806, 1809, 1808, 1804, 1805};
// The push form: entries 0-31, then 1806, 1734 and 1803.
inline constexpr int kPushEntries = 35;
extern const uint32_t kPushTags[kPushEntries];

// Integer tags of both lists; every other tag is real.
bool IsIntegerQuoteTag(uint32_t tag);

struct CompactRecord {
    QuoteCode code;
    uint64_t present = 0;                // bit k: entry k carried a value
    uint32_t raw[kCompactEntries] = {};  // the 4 value bytes of entry k, little-endian
    int32_t IntValue(int k) const { return static_cast<int32_t>(raw[k]); }
    float RealValue(int k) const;
};

// Walks the records of one buffer. Next() gives the records in order; it stops for good at the
// end of the buffer or at the first malformed record (a code without its control byte within 63
// bytes, a header, bitmap or values running past the buffer, or a next-record offset that does
// not pass the record's header or leaves the buffer).
class CompactRecordReader {
public:
    enum class Step { kRecord, kEnd, kMalformed };
    CompactRecordReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    Step Next(CompactRecord& out);

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool done_ = false;
};

// The fields of the push being dispatched, by tag.
class QuotePushFields {
public:
    virtual ~QuotePushFields() = default;
    virtual bool Has(uint32_t tag) const = 0;
    // The field's text; empty when absent.
    virtual std::string_view Get(uint32_t tag) const = 0;
    // The raw body of the push (compact records when it has no field 719).
    virtual std::string_view Body() const = 0;
};

// Fields parsed from a body of "tag=value" items each ended by SOH (0x01), split as the
// connection splits them; a later item of the same tag replaces an earlier one; items without
// "=" or a positive tag are skipped.
class ParsedPushFields : public QuotePushFields {
public:
    explicit ParsedPushFields(std::string_view body);
    bool Has(uint32_t tag) const override;
    std::string_view Get(uint32_t tag) const override;
    std::string_view Body() const override { return body_; }

private:
    const std::string_view* find(uint32_t tag) const;

    std::string body_;
    std::vector<std::pair<uint32_t, std::string_view>> fields_;
};

struct PushQuote {
    QuoteCode code;
    uint64_t present = 0;  // bit k: entry k of kPushTags held a usable value
    double values[kPushEntries] = {};
    std::string pushedTime;  // the text of 1803 as pushed, when present
};

// The push's code (719) and its list values: integers saturating, reals as parsed. A value
// that is empty, not finite, or the integer "no value" is left out. False when the code is
// missing, empty or longer than 63 bytes.
bool DecodeQuotePush(const QuotePushFields& push, PushQuote& out);

}  // namespace market::feed
