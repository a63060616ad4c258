// The test server's own encoders of the quote records a client reads: the level-2 datagrams
// (snapshot, level 1, order queue, book totals, settlement price, trade statistics), compact
// records, tag=value quote pushes, and the level-2 control answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "testserver/Market.h"
#include "testserver/Packet.h"

namespace testserver {

inline constexpr std::size_t kLevel2SnapshotSize = 287;
inline constexpr std::size_t kLevel1ShortSize = 208;
inline constexpr std::size_t kLevel1LongSize = 272;
inline constexpr std::size_t kOrderQueueSize = 152;
inline constexpr std::size_t kBookTotalsSize = 112;
inline constexpr std::size_t kSettlementPriceSize = 96;
inline constexpr std::size_t kTradeStatisticsSize = 208;
inline constexpr std::size_t kLevel2LoginAnswerSize = 68;
inline constexpr std::size_t kLevel2SubscribeAnswerSize = 112;

// Entries of the compact bitmap, by bit; the push form swaps entries 32 and 33 and sends
// neither 1808, 1809, 1804 nor 1805, which hold nothing this server knows.
inline constexpr int32_t kCompactTags[38] = {
    860, 813, 726,  587,  729,  528,  524,  706,  703,  707,  704,  1807, 842,
    850, 843, 851,  844,  852,  845,  853,  846,  854,  847,  855,  848,  856,
    849, 857, 1357, 1359, 1358, 1360, 1734, 1806, 1809, 1808, 1804, 1805};
bool IsIntegerQuoteTag(int32_t tag);

// The update time the records carry (1901): the market's time of day as HHMMSSmmm.
int32_t UpdateTimeOf(const Market& market, const MarketQuote& quote);

std::string EncodeLevel2Snapshot(const MarketQuote& quote, int32_t updateTime);
// Type '1', 208 bytes (five levels of bid, ask and their volumes side by side) or 272 bytes
// (bids and asks apart, with 2058, 2059 and the update time as text).
std::string EncodeLevel1(const MarketQuote& quote, int32_t updateTime, bool longForm);
std::string EncodeOrderQueue(const MarketQuote& quote);
std::string EncodeBookTotals(const MarketQuote& quote);
std::string EncodeSettlementPrice(const MarketQuote& quote);
std::string EncodeTradeStatistics(const MarketQuote& quote);

// One compact record: the code, the control byte, the record length when the control byte is
// positive, the bitmap and a 4-byte value per set bit. `withLength` picks control byte 5
// (40 bitmap bits after a u16 length) over control byte 0 (4 bitmap bytes, no length, so
// without 1734 and 1806). Values a 4-byte field cannot hold (beyond the single-precision
// range) are left out.
std::string EncodeCompactRecord(const MarketQuote& quote, bool withLength = true);

// A tag=value quote push: 719 and the push form's tags.
Row QuotePushRow(const MarketQuote& quote);
// A quote push without 719 whose raw data (items 95 and 96) holds compact records.
Row CompactPushRow(std::string_view records);

// The level-2 login answer record. The customer number and the group are cut to their fields.
std::string EncodeLevel2LoginAnswer(char type, std::string_view khh, int32_t mode,
                                    std::string_view group, int32_t port);
// The level-2 login answer as a text line: "4001|khh|mode|group|port\r\n".
std::string Level2LoginLine(std::string_view khh, int32_t mode, std::string_view group,
                            int32_t port);
std::string EncodeLevel2SubscribeAnswer(char type, std::string_view error, int32_t count);

}  // namespace testserver
