// Fuzz target: GBK <-> UTF-8 conversion, byte budgets and GBK collation over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/core/Encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);

    // Anything read from the wire becomes valid UTF-8 that converts back to GBK without loss
    // of length accounting.
    const std::string utf8 = platform::GbkToUtf8(in);
    const std::string gbk = platform::Utf8ToGbk(utf8);
    if (platform::GbkLength(utf8) != gbk.size()) std::abort();
    if (platform::GbkToUtf8(gbk) != platform::ToGbkRepertoire(utf8)) std::abort();

    // Budget cuts never exceed the budget and never split a character.
    const std::size_t budget = size ? data[0] : 0;
    const std::size_t cut = platform::CutToGbkBudget(in, budget);
    if (cut > in.size() || platform::GbkLength(in.substr(0, cut)) > budget) std::abort();

    // Collation is antisymmetric and agrees with the GBK bytes.
    const std::size_t half = size / 2;
    const std::string_view a = in.substr(0, half), b = in.substr(half);
    const int ab = platform::CompareGbkOrder(a, b);
    if (ab != -platform::CompareGbkOrder(b, a)) std::abort();
    const std::string ga = platform::Utf8ToGbk(a), gb = platform::Utf8ToGbk(b);
    const int bytes = ga < gb ? -1 : (ga == gb ? 0 : 1);
    if (ab != bytes) std::abort();
    return 0;
}
