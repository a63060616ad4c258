// Fuzz target: a text answer of the level-2 control connection: its line framing, its items
// and the quote mode, group and port a text login answer names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "market/feed/Level2Framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace market::feed;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ControlFrame frame =
        FrameControlStream(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (frame.size > text.size()) __builtin_trap();
    const std::string_view line = frame.kind == ControlFrameKind::kTextLine
                                      ? std::string_view(text).substr(0, frame.size)
                                      : std::string_view(text);
    const Level2TextLogin login = ParseTextLogin(line);
    (void)login;
    std::size_t total = 0;
    for (const std::string& item : SplitAnswerLine(TrimLineEnd(line))) total += item.size() + 1;
    if (total > line.size() + 1) __builtin_trap();
    return 0;
}
