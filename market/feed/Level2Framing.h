// Framing of the level-2 control connection's byte stream: the login answer (the 68-byte
// record or a text line), and in the TCP quote mode the quote records, the 112-byte
// subscription answers and the text answer lines as one stream, each cut at its own length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace market::feed {

inline constexpr std::size_t kLevel2LoginAnswerSize = 68;
inline constexpr std::size_t kLevel2SubscribeAnswerSize = 112;
// The longest text line taken: the login answer's read buffer, and the other answers'.
inline constexpr std::size_t kLoginLineLimit = 2048;
inline constexpr std::size_t kAnswerLineLimit = 4096;

enum class ControlFrameKind : uint8_t {
    kNeedMore,         // the frame at the start is not whole yet
    kLoginAnswer,      // the 68-byte login record
    kSubscribeAnswer,  // the 112-byte subscription answer
    kTextLine,         // a line up to and including its LF (CR LF normally)
    kQuoteRecord,      // a level-2 quote record, as a datagram would hold it
    kGarbage,          // no frame starts here: the connection cannot be followed any further
};

struct ControlFrame {
    ControlFrameKind kind = ControlFrameKind::kNeedMore;
    std::size_t size = 0;  // bytes of the frame at the start of the buffer
};

// The login answer: `len` 68 at offset 4 makes the 68-byte record, else a text line of at most
// kLoginLineLimit bytes.
ControlFrame FrameLoginAnswer(const uint8_t* data, std::size_t size);
// The stream after the login: quote records by their header (u32 287 at offset 0, or a record
// type with its size at offset 4), subscription answers (size 112 at offset 4 under another
// type), text lines of at most kAnswerLineLimit bytes.
ControlFrame FrameControlStream(const uint8_t* data, std::size_t size);

struct Level2LoginAnswer {
    char type = 0;
    int32_t len = 0;
    std::string customer;  // m_cKHH
    int32_t mode = 0;      // m_nDQMS
    std::string group;     // m_cIP
    int32_t port = 0;      // m_nDKH
};

struct Level2SubscribeAnswer {
    char type = 0;
    int32_t len = 0;
    std::string error;  // m_cERR
    int32_t count = 0;  // m_nCGBW
};

// Both need the whole record; texts are copied up to their NUL or the field's end.
bool DecodeLevel2LoginAnswer(const uint8_t* data, std::size_t size, Level2LoginAnswer& out);
bool DecodeLevel2SubscribeAnswer(const uint8_t* data, std::size_t size, Level2SubscribeAnswer& out);

// The items of a text between separators (one empty item for an empty text).
std::vector<std::string> SplitItems(std::string_view text, char separator);
// A text answer's line without its line end, split at "|" (items counted from 0).
inline std::vector<std::string> SplitAnswerLine(std::string_view line) {
    return SplitItems(line, '|');
}
// The line without its trailing CR LF (or LF).
std::string_view TrimLineEnd(std::string_view line);

// A login answer read as text: the quote mode and its port or group, from items 2, 3 and 4.
struct Level2TextLogin {
    int32_t mode = 0;
    std::string group;
    int32_t port = 0;
};
Level2TextLogin ParseTextLogin(std::string_view line);

// Bytes of the control connection kept until they make whole frames.
class ControlStreamBuffer {
public:
    void Append(const void* data, std::size_t size);
    // The next whole frame and its bytes (valid until the next call), kNeedMore when none is
    // whole yet. After kGarbage the buffer stays broken: every later call gives kGarbage.
    ControlFrame Next(std::string_view& bytes, bool login = false);
    std::size_t Pending() const { return data_.size() - start_; }
    bool Broken() const { return broken_; }
    void Clear();
    // The bytes not yet framed, taken out.
    std::string TakeRest();

private:
    std::string data_;
    std::size_t start_ = 0;
    bool broken_ = false;
};

// One line of the log describing a frame (what the debug output gets).
std::string DescribeControlFrame(ControlFrameKind kind, std::string_view bytes);

}  // namespace market::feed
