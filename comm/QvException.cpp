// Exception classes of the toolkit and the system error texts.
#include "comm/QvException.h"

#include <string.h>

namespace NoltComm {

CWin32Exception::CWin32Exception(std::string where, uint32_t error)
    : CQvException(std::move(where), GetSystemErrorText(error)), error_(error) {}

namespace {
// strerror_r comes in two shapes; both are handled so the choice of feature macros does not
// matter.
[[maybe_unused]] const char* pick(int result, const char* buf) {
    return result == 0 ? buf : nullptr;
}
[[maybe_unused]] const char* pick(const char* result, const char*) { return result; }
}  // namespace

std::string GetSystemErrorText(uint32_t error) {
    char buf[512] = {};
    const char* text = pick(strerror_r(static_cast<int>(error), buf, sizeof buf), buf);
    if (text == nullptr || *text == '\0') return "Unknown error " + std::to_string(error);
    return std::string(text);
}

}  // namespace NoltComm
