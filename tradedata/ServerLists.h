// The trading and quote server lists of the installation profile (plain, Base64 or scrambled
// entries, and the binary records of older installations) with the server last used.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tradedata {

// The key the server texts are scrambled with.
inline constexpr char kServerScrambleKey[] = "brenlake";

// The text's GBK bytes in 8-byte blocks (the last one NUL-padded), each turned into 16
// letters; and back (blocks of fewer than 16 letters are dropped, the bytes end at the first
// NUL).
std::string ScrambleText(std::string_view key, std::string_view text);
std::string UnscrambleText(std::string_view key, std::string_view letters);

// The binary entry of older installations.
struct LegacyServerRecord {
    char name[34];
    unsigned char port[2];     // little-endian
    unsigned char address[4];  // IPv4, network byte order
    char protocol[8];          // "udp", anything else is TCP
};
static_assert(sizeof(LegacyServerRecord) == 48);

// Appends the entries of keys "<prefix>1", "<prefix>2", ... of the section up to the first
// missing or empty key. Each is a binary record, or a text taken as a plain entry, as Base64
// of one, or else unscrambled as it stands. With skipKnown an entry whose address text is
// already known is left out.
void LoadServerList(std::vector<std::string>* list, std::string_view section,
                    std::string_view prefix, bool skipKnown);

// The trading servers ("TradeServer", then unknown ones of "ACISVR") and the last used one:
// the per-user "TradeCommInfo"/"ServerName" as it is found in the list (plain, Base64 or
// scrambled), else "ACISVR"/"LASTSVRNAME" when set, else the name as read.
void LoadTradeServers(std::vector<std::string>* list, std::string* current);
// The quote servers ("QuoteServer") and "QuoteCommInfo"/"ServerName" found the same way.
void LoadQuoteServers(std::vector<std::string>* list, std::string* current);

}  // namespace tradedata
