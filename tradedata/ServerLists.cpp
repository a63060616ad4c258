// Server lists read from the installation profile.
#include "tradedata/ServerLists.h"

#include <arpa/inet.h>

#include <cstring>
#include <optional>

#include "comm/ServerEntry.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "record/Base64.h"
#include "record/Configure.h"
#include "shell/services/SettingsWriters.h"
#include "tradedata/Scrambler.h"

namespace tradedata {

namespace {

constexpr int kDecodeRoom = 2048;

// The text of the first NUL-terminated bytes, as UTF-8.
std::string TextOf(std::string_view gbk) {
    return platform::GbkToUtf8(gbk.substr(0, gbk.find('\0')));
}

bool FitsDecodeRoom(std::string_view text) {
    return pavlet::base64_decodesize(static_cast<int>(text.size())) < kDecodeRoom;
}

// The bytes a Base64 text decodes to, up to the first NUL; nothing when it is no Base64.
std::optional<std::string> DecodeBase64Bytes(std::string_view text) {
    char decoded[kDecodeRoom] = {};
    if (pavlet::base64_decode(text.data(), static_cast<uint32_t>(text.size()), decoded,
                              kDecodeRoom - 1) < 0)
        return std::nullopt;
    return std::string(decoded, strnlen(decoded, sizeof decoded));
}

std::string DecodeBase64Text(std::string_view text) {
    return platform::GbkToUtf8(DecodeBase64Bytes(text).value_or(std::string()));
}

// A scrambled entry is all letters, and so Base64 too: its decoding is taken only when it
// is text (no control bytes, GBK that converts both ways). Without this check, about one
// scrambled entry in a thousand decoded to bytes that happened to hold ',' and '/', and the
// list offered that garbage as a server instead of unscrambling it.
std::string DecodeBase64Entry(std::string_view text) {
    if (!FitsDecodeRoom(text)) return std::string();
    const std::optional<std::string> bytes = DecodeBase64Bytes(text);
    if (!bytes) return std::string();
    for (const char c : *bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::string();
    const std::string text8 = platform::GbkToUtf8(*bytes);
    if (platform::Utf8ToGbk(text8) != *bytes) return std::string();
    return NoltComm::NormalizeServerEntry(text8);
}

std::string UnscrambleStored(std::string_view text) {
    return UnscrambleText(kServerScrambleKey, text.substr(0, kDecodeRoom - 1));
}

std::string LegacyEntry(const LegacyServerRecord& record) {
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, record.address, dotted, sizeof dotted);
    const int port = record.port[0] | (record.port[1] << 8);
    const bool udp = std::string_view(record.protocol, strnlen(record.protocol, 8)) == "udp";
    return TextOf(std::string_view(record.name, sizeof record.name)) + "," +
           NoltComm::FormatServerAddress(dotted, port, udp ? "udp" : "tcp");
}

// The server name the user last chose, as the list knows it: as read, Base64-decoded, or
// unscrambled (the latter two only when the text fits the decode room); the text as read
// when the list knows none of them.
bool ResolveCurrent(const std::vector<std::string>& list, std::string* current) {
    if (NoltComm::FindServerEntry(list, *current) >= 0) return true;
    if (!FitsDecodeRoom(*current)) return false;
    for (const std::string& candidate : {DecodeBase64Text(*current), UnscrambleStored(*current)}) {
        if (!candidate.empty() && NoltComm::FindServerEntry(list, candidate) >= 0) {
            *current = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ScrambleText(std::string_view key, std::string_view text) {
    const ScrambleKey schedule(key);
    const std::string bytes = platform::Utf8ToGbk(text);
    std::string letters;
    for (std::size_t at = 0; at < bytes.size(); at += 8)
        letters += schedule.Scramble(std::string_view(bytes).substr(at, 8));
    return letters;
}

std::string UnscrambleText(std::string_view key, std::string_view letters) {
    const ScrambleKey schedule(key);
    std::string bytes;
    for (std::size_t at = 0; at + 16 <= letters.size(); at += 16)
        bytes += schedule.Unscramble(letters.substr(at, 16));
    return TextOf(bytes);
}

void LoadServerList(std::vector<std::string>* list, std::string_view section,
                    std::string_view prefix, bool skipKnown) {
    const std::string profile = pavlet::GetProfileName();
    for (int n = 1;; ++n) {
        const std::string key = std::string(prefix) + platform::FormatInt(n);
        LegacyServerRecord record{};
        std::string entry;
        if (!profile.empty() &&
            platform::ReadProfileStruct(profile, section, key, &record, sizeof record)) {
            entry = LegacyEntry(record);
        } else {
            const std::string text = pavlet::ReadConfigure(section, key, "");
            if (text.empty()) return;
            entry = NoltComm::NormalizeServerEntry(text);
            if (entry.empty()) entry = DecodeBase64Entry(text);
            if (entry.empty()) entry = UnscrambleStored(text);
        }
        if (skipKnown) {
            const std::size_t comma = entry.find(',');
            const std::string addresses =
                comma == std::string::npos ? std::string() : entry.substr(comma + 1);
            if (NoltComm::FindServerEntry(*list, addresses) >= 0) continue;
        }
        if (!entry.empty()) list->push_back(std::move(entry));
    }
}

void LoadTradeServers(std::vector<std::string>* list, std::string* current) {
    list->clear();
    current->clear();
    LoadServerList(list, "TradeServer", "SERVER", false);
    LoadServerList(list, "ACISVR", "ACISVR", true);
    if (list->empty()) return;
    *current = shell::GetLocalizeString("TradeCommInfo", "ServerName");
    if (!current->empty() && ResolveCurrent(*list, current)) return;
    const std::string last = pavlet::ReadConfigure("ACISVR", "LASTSVRNAME", "");
    if (!last.empty()) *current = last;
}

void LoadQuoteServers(std::vector<std::string>* list, std::string* current) {
    list->clear();
    current->clear();
    LoadServerList(list, "QuoteServer", "SERVER", false);
    if (list->empty()) return;
    *current = shell::GetLocalizeString("QuoteCommInfo", "ServerName");
    if (!current->empty()) ResolveCurrent(*list, current);
}

}  // namespace tradedata
