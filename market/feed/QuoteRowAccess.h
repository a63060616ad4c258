// Typed access to the quote fields of one contract row while its table's exclusive lock is
// held: the columns of a table layout are looked up once and then read and written in the row
// image directly, and the changed fields get the table's change marks in one step at the end.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

class CMemRecord;

namespace market::feed {

// The fields this library reads or writes, in one dense numbering.
enum class QuoteField : uint8_t {
    kLast,
    kPrevSettle,
    kPrevClose,
    kOpen,
    kHigh,
    kLow,
    kUpperLimit,
    kLowerLimit,
    kAverage,
    kTurnover,
    kVolume,
    kOpenInterest,
    kPrevOpenInterest,
    kSuspended,
    kBid1,
    kBid2,
    kBid3,
    kBid4,
    kBid5,
    kBidVol1,
    kBidVol2,
    kBidVol3,
    kBidVol4,
    kBidVol5,
    kAsk1,
    kAsk2,
    kAsk3,
    kAsk4,
    kAsk5,
    kAskVol1,
    kAskVol2,
    kAskVol3,
    kAskVol4,
    kAskVol5,
    kBidHist1,
    kBidVolHist1,
    kAskHist1,
    kAskVolHist1,
    kBidHist2,
    kBidVolHist2,
    kAskHist2,
    kAskVolHist2,
    kBidHist3,
    kBidVolHist3,
    kAskHist3,
    kAskVolHist3,
    kBidHist4,
    kBidVolHist4,
    kAskHist4,
    kAskVolHist4,
    kBidQuantity,
    kAskQuantity,
    kAverageBid,
    kAverageAsk,
    kTotalBid,
    kTotalAsk,
    kSettlement,
    kSourceTime,
    kPushTime,
    kLevel1Time,
    kQueueTime,
    kUpdateTime,
    kBidTime,
    kAskTime,
    kTick,
    kMultiplier,
    kCurrencyKind,
    kCurrencyRate,
    kFlags,
    kExchange,
    kCode,
    kCombinationCode,
    kOptionCode,
    kCount
};
inline constexpr int kQuoteFieldCount = static_cast<int>(QuoteField::kCount);

// The protocol tag of each field, indexed by QuoteField.
extern const uint32_t kQuoteFieldTags[kQuoteFieldCount];
// The field of a tag, kCount when this library does not know it.
QuoteField QuoteFieldOfTag(uint32_t tag);

// Column positions of one table layout: offset in the row image and type letter per field
// (0 when the table has no column for it).
struct QuoteColumns {
    int32_t fieldCount = -1;
    uint32_t rowSize = 0;
    uint32_t firstIdentity = 0;
    uint32_t lastIdentity = 0;
    std::array<int32_t, kQuoteFieldCount> offset{};
    std::array<int32_t, kQuoteFieldCount> column{};
    std::array<char, kQuoteFieldCount> type{};
    // Rebuilds the positions when the table's layout is not the one they were taken from.
    // Call with the table's exclusive lock held.
    void Refresh(CMemRecord& table);
};

class QuoteRowAccess {
public:
    // The table's exclusive lock must be held for the life of the object; columns must have
    // been refreshed under the same hold. False when the row does not exist.
    bool Bind(CMemRecord& table, QuoteColumns& columns, int row);

    double Double(QuoteField f) const;
    int32_t Long(QuoteField f) const;
    // A text column's bytes (up to its NUL); empty for other types.
    std::string_view Text(QuoteField f) const;
    void SetDouble(QuoteField f, double value);
    void SetLong(QuoteField f, int32_t value);
    // Text as the table takes it: numbers parsed for numeric columns.
    void SetText(QuoteField f, std::string_view value);

    // Sets the change marks of the row and of every field whose value changed; returns
    // whether anything changed.
    bool Commit();

private:
    static int Index(QuoteField f) { return static_cast<int>(f); }
    void MarkChanged(QuoteField f) { changed_ |= uint128(1) << Index(f); }
    using uint128 = unsigned __int128;

    CMemRecord* table_ = nullptr;
    QuoteColumns* columns_ = nullptr;
    char* image_ = nullptr;
    int row_ = -1;
    uint128 changed_ = 0;
};

}  // namespace market::feed
