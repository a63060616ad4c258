// The pricing drivers and the program-wide model setting.
#include "options/pricing/OptionDrivers.h"

#include <atomic>

#include "options/pricing/BinomialModel.h"

namespace options::pricing {
namespace {

// Written at start-up before any window prices, read afterwards; atomic so that a test or a
// late writer never races a reader.
std::atomic<int> gModel{1};
std::atomic<int> gSteps{260};

bool ClosedForm(int european) {
    const int model = gModel.load(std::memory_order_relaxed);
    return model != 2 && (model != 0 || european != 0);
}

int Steps() { return gSteps.load(std::memory_order_relaxed); }

}  // namespace

void SetOptionModelDefaults(int model, int steps) {
    if (model >= 0 && model < 3) gModel.store(model, std::memory_order_relaxed);
    if (steps > 2 && steps <= kMaxBinomialSteps) gSteps.store(steps, std::memory_order_relaxed);
}

int OptionModelChoice() { return gModel.load(std::memory_order_relaxed); }

int OptionModelSteps() { return Steps(); }

double CalcOptionValue(int european, int kind, double S, double X, double r, double sigma, double T,
                       double q, Underlying u) {
    if (ClosedForm(european)) return COptionModel().Price(european, kind, S, X, r, sigma, T, q, u);
    return CBinomialModel().Price(european, kind, S, X, r, sigma, T, Steps());
}

double CalcOptionGreeks(int european, int kind, double S, double X, double r, double sigma,
                        double T, double q, double& delta, double& gamma, double& theta,
                        double& vega, double& rho, Underlying u) {
    if (ClosedForm(european)) {
        const Greeks g = ClosedFormGreeks(european, kind, S, X, r, sigma, T, q, u);
        delta = g.delta;
        gamma = g.gamma;
        theta = g.theta / 365;
        vega = g.vega / 100;
        rho = g.rho / 100;
        return g.price;
    }
    CBinomialModel tree;
    int steps = Steps();
    const double price = tree.Calculate(european, kind, S, X, r, sigma, T, steps, true);
    delta = tree.delta;
    gamma = tree.gamma;
    theta = tree.theta / 365;
    vega = tree.Calculate(european, kind, S, X, r, sigma + 0.01, T, steps, true) - price;
    rho = tree.Calculate(european, kind, S, X, r + 0.01, sigma, T, steps, true) - price;
    return price;
}

double CalcImpliedVolatility(int european, int kind, double S, double X, double r, double price,
                             double T, double q, Underlying u) {
    if (ClosedForm(european))
        return COptionModel().ImpliedVolatility(european, kind, S, X, r, price, T, q, u);
    return CBinomialModel().ImpliedVolatility(european, kind, S, X, r, price, T, Steps());
}

}  // namespace options::pricing
