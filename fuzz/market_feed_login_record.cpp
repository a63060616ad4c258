// Fuzz target: the level-2 login answer, framed as it arrives (the 68-byte record or a text
// line) and decoded in the form the framing chose.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "market/feed/Level2Framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace market::feed;
    // A copy of exactly the input's size, so a read past it is caught.
    std::vector<uint8_t> bytes(data, data + size);
    const ControlFrame frame = FrameLoginAnswer(bytes.data(), bytes.size());
    if (frame.size > bytes.size()) __builtin_trap();
    if (frame.kind == ControlFrameKind::kLoginAnswer) {
        Level2LoginAnswer answer;
        if (!DecodeLevel2LoginAnswer(bytes.data(), frame.size, answer)) __builtin_trap();
        if (answer.customer.size() > 32 || answer.group.size() > 20) __builtin_trap();
    }
    if (frame.kind != ControlFrameKind::kNeedMore)
        (void)DescribeControlFrame(frame.kind,
                                   {reinterpret_cast<const char*>(bytes.data()), frame.size});
    return 0;
}
