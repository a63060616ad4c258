// Fuzz target: the pricing drivers and models over arbitrary doubles (NaN, infinities, zero,
// negatives, huge values); every call must return, and none may trap under UBSan.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "options/pricing/BinomialModel.h"
#include "options/pricing/OptionDrivers.h"

namespace {

// Reads the input as a stream of values; past its end, zeros.
class Reader {
public:
    Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    double Double() {
        double v = 0;
        Take(&v, sizeof v);
        return v;
    }
    uint8_t Byte() {
        uint8_t v = 0;
        Take(&v, 1);
        return v;
    }

private:
    void Take(void* out, std::size_t n) {
        const std::size_t k = std::min(n, size_ - pos_);
        std::memcpy(out, data_ + pos_, k);
        pos_ += k;
    }
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace options::pricing;
    Reader in(data, size);
    const uint8_t flags = in.Byte();
    const int european = flags & 1;
    const int kind = (flags >> 1) & 1 ? 1 : 2;
    const auto underlying = static_cast<Underlying>((flags >> 2) % 3);
    // Small trees keep each input quick; the clamps of the step count are tested elsewhere.
    SetOptionModelDefaults((flags >> 4) % 3, 3 + in.Byte() % 30);
    const double S = in.Double(), X = in.Double(), r = in.Double(), sigma = in.Double();
    const double T = in.Double(), q = in.Double(), target = in.Double();

    double delta, gamma, theta, vega, rho;
    volatile double sink = CalcOptionValue(european, kind, S, X, r, sigma, T, q, underlying);
    sink = CalcOptionGreeks(european, kind, S, X, r, sigma, T, q, delta, gamma, theta, vega, rho,
                            underlying);
    const double iv = CalcImpliedVolatility(european, kind, S, X, r, target, T, q, underlying);
    // Each pass moves at most 0.5, so the answer is bounded by the caps on the passes.
    if (!(iv == 0 || (iv >= kMinVolatility && iv <= 101))) __builtin_trap();
    CBinomialModel tree;
    sink = tree.CalculateCallPut(european, S, X, r, sigma, T, in.Byte(), flags & 0x80).first;
    sink = tree.ImpliedVolatility(european, kind, S, X, r, target, T, 1 + in.Byte() % 16);
    (void)sink;
    return 0;
}
