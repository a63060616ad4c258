// Test support for the quote feed: encoders that lay quote records out byte by byte from their
// documented layouts (independent of the decoders), and a fixture with filled contract tables,
// a manual clock, a recording receiver and captured log lines.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteRowNotifier.h"
#include "platform/core/Clock.h"
#include "shell/services/StartupSettings.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace market::feed::testing {

using Bytes = std::vector<uint8_t>;

// A zeroed buffer written at fixed offsets, little-endian as the wire is.
class ByteLayout {
public:
    explicit ByteLayout(std::size_t size) : bytes_(size, 0) {}
    template <typename T>
    ByteLayout& Put(std::size_t offset, T value) {
        std::memcpy(bytes_.data() + offset, &value, sizeof value);
        return *this;
    }
    ByteLayout& Text(std::size_t offset, const std::string& text) {
        std::memcpy(bytes_.data() + offset, text.data(), text.size());
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

struct Level {
    double bid = 0;
    double ask = 0;
    int32_t bidVolume = 0;
    int32_t askVolume = 0;
};

// The 287-byte snapshot: u32 287 at 0, fields at their documented offsets.
struct Level2Bytes {
    explicit Level2Bytes(std::string c) : code(std::move(c)) {}
    std::string code;
    int32_t time = 0;
    uint8_t suspended = 0;
    double prevSettle = 0, average = 0, prevClose = 0, open = 0;
    int32_t openInterest = 0;
    double last = 0;
    int32_t volume = 0;
    double turnover = 0, upper = 0, lower = 0, high = 0, low = 0;
    Level levels[5];
    Bytes Encode() const {
        ByteLayout b(287);
        b.Put<uint32_t>(0, 287).Put(5, time).Text(12, code).Put(42, suspended);
        b.Put(43, prevSettle).Put(59, average).Put(67, prevClose).Put(83, open);
        b.Put(95, openInterest).Put(99, last).Put(107, volume).Put(111, turnover);
        b.Put(119, upper).Put(127, lower).Put(135, high).Put(143, low);
        for (int k = 0; k < 5; ++k) {
            const std::size_t at = 167 + 24 * static_cast<std::size_t>(k);
            b.Put(at, levels[k].bid).Put(at + 8, levels[k].ask);
            b.Put(at + 16, levels[k].bidVolume).Put(at + 20, levels[k].askVolume);
        }
        return b.bytes();
    }
};

// The level-1 record, 208 bytes (short) or 272 bytes (long), type '1'.
struct Level1Bytes {
    explicit Level1Bytes(std::string c, bool longRecord = false)
        : code(std::move(c)), longForm(longRecord) {}
    std::string code;
    bool longForm = false;
    int32_t time = 0;
    std::string timeText;
    uint8_t suspended = 0;
    float prevSettle = 0, average = 0, prevClose = 0, open = 0;
    int32_t openInterest = 0;
    float last = 0;
    int32_t volume = 0;
    double turnover = 0;
    float upper = 0, lower = 0, high = 0, low = 0;
    struct {
        float bid = 0, ask = 0;
        int32_t bidVolume = 0, askVolume = 0;
    } levels[5];
    int32_t bidQuantity = 0, askQuantity = 0;
    Bytes Encode() const {
        const uint32_t size = longForm ? 272 : 208;
        ByteLayout b(size);
        b.Put<uint8_t>(0, '1').Put(4, size).Text(19, code).Put(49, suspended);
        b.Put(52, prevSettle).Put(60, average).Put(64, prevClose).Put(72, open);
        b.Put(80, openInterest).Put(84, last).Put(88, volume).Put(96, turnover);
        b.Put(104, upper).Put(108, lower).Put(112, high).Put(116, low);
        for (int k = 0; k < 5; ++k) {
            const auto& l = levels[k];
            const std::size_t i = static_cast<std::size_t>(k);
            if (longForm) {
                b.Put(128 + 8 * i, l.bid).Put(132 + 8 * i, l.bidVolume);
                b.Put(168 + 8 * i, l.ask).Put(172 + 8 * i, l.askVolume);
            } else {
                b.Put(128 + 16 * i, l.bid).Put(132 + 16 * i, l.ask);
                b.Put(136 + 16 * i, l.bidVolume).Put(140 + 16 * i, l.askVolume);
            }
        }
        if (longForm) {
            b.Put(224, bidQuantity).Put(228, askQuantity).Text(252, timeText);
        } else {
            b.Put(12, time);
        }
        return b.bytes();
    }
};

// The type '4', '5', '6' and '7' records: type at 0, length at 4, code at 8.
inline ByteLayout TypedRecord(char type, uint32_t size, const std::string& code) {
    ByteLayout b(size);
    b.Put<uint8_t>(0, static_cast<uint8_t>(type)).Put(4, size).Text(8, code);
    return b;
}

// One compact record: code, control byte, optional u16 length, bitmap, 4-byte values.
struct CompactBytes {
    explicit CompactBytes(std::string c, int8_t controlByte = 0, uint16_t recordLength = 0)
        : code(std::move(c)), control(controlByte), length(recordLength) {}
    std::string code;
    int8_t control = 0;  // 0: four bitmap bytes, no length
    uint16_t length = 0;
    std::vector<std::pair<int, uint32_t>> values;  // (entry, raw bytes), in entry order
    static uint32_t Real(float v) {
        uint32_t raw;
        std::memcpy(&raw, &v, sizeof raw);
        return raw;
    }
    static uint32_t Int(int32_t v) { return static_cast<uint32_t>(v); }
    CompactBytes& Add(int entry, uint32_t raw) {
        values.emplace_back(entry, raw);
        return *this;
    }
    Bytes Encode() const {
        Bytes out(code.begin(), code.end());
        out.push_back(static_cast<uint8_t>(control));
        if (control > 0) {
            out.push_back(static_cast<uint8_t>(length & 0xff));
            out.push_back(static_cast<uint8_t>(length >> 8));
        }
        const std::size_t bitmapBytes = control > 0 ? static_cast<std::size_t>(control) : 4;
        const std::size_t bitmapAt = out.size();
        out.resize(out.size() + bitmapBytes, 0);
        for (const auto& [entry, raw] : values) {
            const std::size_t byte = static_cast<std::size_t>(entry / 8);
            if (byte < bitmapBytes) out[bitmapAt + byte] |= static_cast<uint8_t>(1u << (entry % 8));
            for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(raw >> (8 * i)));
        }
        return out;
    }
};

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// "tag=value" items each ended by SOH.
inline std::string PushBody(std::initializer_list<std::pair<uint32_t, std::string>> items) {
    std::string body;
    for (const auto& [tag, value] : items) body += std::to_string(tag) + "=" + value + "\x01";
    return body;
}

// Remembers every wake-up; drains on demand as a window would when its message arrives.
class RecordingReceiver : public QuoteRowReceiver {
public:
    void Wake() override { wakes.fetch_add(1); }
    std::atomic<int> wakes{0};
};

// Contract tables with a few contracts, a manual clock at 100 s, the quote source choice
// "automatic" and captured log lines.
class QuoteFeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        using tradedata::testing::AddRow;
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable,
               {{719, "cu2501"}, {599, "SQ"}, {594, "10"}, {1752, "5"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "IF2501"}, {599, "ZJ"}, {594, "0.2"}, {1752, "300"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "SR501"}, {599, "ZZ"}, {594, "1"}, {1752, "10"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "au2506"}, {599, "SQ"}, {594, "0"}, {1752, "1000"}});
        tradedata::FuturesContractTable.GetMemRecord()->Sort(
            tradedata::FuturesContractTable.FindIndex(719), true);
        tradedata::CombinationContractTable.Create(tradedata::kCombinationContractLayout);
        AddRow(tradedata::CombinationContractTable,
               {{1060, "SP cu2501&cu2502"}, {599, "SQ"}, {594, "10"}});
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        AddRow(tradedata::OptionContractTable,
               {{9100, "cu2501C70000"}, {719, "cu2501"}, {599, "SQ"}, {594, "2"}, {1752, "5"}});
        shell::ReplaceQuoteSourceState(shell::kQuoteSourceChoiceMask, shell::kQuoteSourceAutomatic);
        notifier.AddReceiver(&workspace, kRowQuoteChannel);
        notifier.AddReceiver(&board, kRowDepthChannel);
    }
    void TearDown() override {
        shell::ReplaceQuoteSourceState(shell::kQuoteSourceChoiceMask, 0);
        tradedata::testing::ResetGlobalTables();
    }

    CQuoteProcessor::Hooks MakeHooks() {
        CQuoteProcessor::Hooks hooks;
        hooks.logOptions = [this] { return logOptions; };
        hooks.log = [this](std::string_view line) {
            std::lock_guard hold(linesLock);
            lines.emplace_back(line);
        };
        return hooks;
    }

    void ChooseSource(uint32_t choice) {
        shell::ReplaceQuoteSourceState(shell::kQuoteSourceChoiceMask, choice);
    }

    // The row of a code in its table, by tag.
    static double D(const char* code, uint32_t tag) {
        return tradedata::GetRowDouble(tag, tradedata::FindContract(code));
    }
    static int32_t L(const char* code, uint32_t tag) {
        return tradedata::GetRowLong(tag, tradedata::FindContract(code));
    }
    // Combination rows read through the table itself (the row accessors remap the book).
    static double CombinationD(uint32_t tag) {
        return tradedata::CombinationContractTable.GetDouble(tag, 0);
    }
    static void SetRow(const char* code, uint32_t tag, double value) {
        tradedata::SetRowDouble(tag, value, tradedata::FindContract(code));
    }

    void Level2(const Level2Bytes& r) {
        const Bytes b = r.Encode();
        processor.ProcessLevel2Datagram(b.data(), b.size());
    }
    void Level1(const Level1Bytes& r) {
        const Bytes b = r.Encode();
        processor.ProcessLevel2Datagram(b.data(), b.size());
    }
    void Compact(const Bytes& b) { processor.ProcessCompactQuotes(b.data(), b.size()); }
    void Push(std::initializer_list<std::pair<uint32_t, std::string>> items) {
        processor.ProcessQuotePush(ParsedPushFields(PushBody(items)));
    }

    platform::ManualClock clock{100'000'000};
    platform::ScopedClockSource clockGuard{clock};
    std::atomic<uint32_t> frameState{0};
    QuoteRowNotifier notifier;
    RecordingReceiver workspace;
    RecordingReceiver board;
    uint32_t logOptions = 0x20;
    std::mutex linesLock;
    std::vector<std::string> lines;
    CQuoteProcessor processor{frameState, notifier, MakeHooks()};
};

}  // namespace market::feed::testing
