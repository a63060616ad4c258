// The owned text of posted frame messages and the quote value checks.
#include "shell/FrameMessages.h"

#include "platform/ui/Messages.h"

namespace shell {

BOOL PostFrameText(HWND hwnd, UINT message, WPARAM code, std::string_view text) {
    auto copy = std::make_unique<std::string>(text);
    const BOOL posted =
        PostMessage(hwnd, message, code, static_cast<LPARAM>(reinterpret_cast<intptr_t>(copy.get())));
    // Only a queued message owns the copy; a refused post leaves it with us to free.
    if (posted) copy.release();
    return posted;
}

std::unique_ptr<std::string> TakeFrameText(LPARAM lParam) {
    return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam));
}

bool IsValidLong(int32_t value) { return value != kNoQuoteValue; }

bool IsInFloatRange(double value) { return value > -16777215.0 && value < 16777215.0; }

bool IsInDoubleRange(double value) {
    constexpr double kLimit = 9007199254740991.0;
    return value > -kLimit && value < kLimit;
}

}  // namespace shell
