// The Cox-Ross-Rubinstein lattice, its tree greeks and the implied-volatility search on it.
#include "options/pricing/BinomialModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "options/pricing/OptionModel.h"

namespace options::pricing {
namespace {

// The nodes of steps 1 and 2 that the greeks are read from.
struct Nodes {
    double s10 = 0, s11 = 0, v10 = 0, v11 = 0;
    double s20 = 0, s21 = 0, s22 = 0, v20 = 0, v21 = 0, v22 = 0;
};

struct Leg {
    bool call;
    std::vector<double> v;
};

double Exercise(bool call, double s, double X) { return call ? s - X : X - s; }

// Rolls every leg back through one tree of n steps; the nodes of steps 1 and 2 are kept for
// the first leg. Returns false when the tree has no spread (no volatility or no time).
template <size_t Legs>
bool Roll(bool american, double S, double X, double r, double sigma, double T, int n,
          bool carryFree, std::array<Leg, Legs>& legs, Nodes& nodes) {
    if ((sigma <= 0 || T <= 0) && !std::isnan(sigma) && !std::isnan(T)) return false;
    const double dt = T / n;
    const double df = std::exp(-r * dt);
    const double u = std::exp(sigma * std::sqrt(dt));
    const double d = 1.0 / u;
    const double growth = carryFree ? 1.0 : std::exp(r * dt);
    const double p = (growth - d) / (u - d);
    const double up = df * p, down = df * (1.0 - p);

    // Every node's price is S * u^m for some m in -n..n: one grid serves all levels, node i of
    // level j sitting at m = 2i - j.
    std::vector<double> grid(2 * n + 1);
    grid[n] = S;
    for (int m = 1; m <= n; ++m) {
        grid[n + m] = grid[n + m - 1] * u;
        grid[n - m] = grid[n - m + 1] * d;
    }
    auto at = [&](int j, int i) { return grid[n + 2 * i - j]; };
    for (Leg& leg : legs) {
        leg.v.resize(n + 1);
        for (int i = 0; i <= n; ++i) leg.v[i] = std::max(Exercise(leg.call, at(n, i), X), 0.0);
    }
    auto keep = [&](int j) {
        const std::vector<double>& v = legs[0].v;
        if (j == 2) {
            nodes.s20 = at(2, 0), nodes.s21 = at(2, 1), nodes.s22 = at(2, 2);
            nodes.v20 = v[0], nodes.v21 = v[1], nodes.v22 = v[2];
        } else if (j == 1) {
            nodes.s10 = at(1, 0), nodes.s11 = at(1, 1), nodes.v10 = v[0], nodes.v11 = v[1];
        }
    };
    keep(n);
    for (int j = n - 1; j >= 0; --j) {
        for (Leg& leg : legs) {
            double* v = leg.v.data();
            if (american) {
                const double sign = leg.call ? 1.0 : -1.0;
                const double* level = grid.data() + n - j;
                for (int i = 0; i <= j; ++i)
                    v[i] = std::max(up * v[i + 1] + down * v[i], sign * (level[2 * i] - X));
            } else {
                for (int i = 0; i <= j; ++i) v[i] = up * v[i + 1] + down * v[i];
            }
        }
        keep(j);
    }
    return true;
}

// A tree without spread: the option is worth its discounted payoff, or its exercise value now
// when that is more and exercise is allowed.
double Flat(bool american, bool call, double S, double X, double r, double T, double& delta,
            double& theta) {
    const double t = T > 0 ? T : 0.0;
    const double disc = std::exp(-r * t);
    const double intrinsic = std::max(Exercise(call, S, X), 0.0);
    const double side = intrinsic > 0 ? (call ? 1.0 : -1.0) : 0.0;
    if (american && intrinsic >= disc * intrinsic) {
        delta = side, theta = 0;
        return intrinsic;
    }
    delta = side * disc;
    theta = r * disc * intrinsic;
    return disc * intrinsic;
}

}  // namespace

double CBinomialModel::Calculate(int european, int kind, double S, double X, double r, double sigma,
                                 double T, int& steps, bool carryFree) {
    steps = std::clamp(steps, kMinBinomialSteps, kMaxBinomialSteps);
    const bool american = european == 0;
    std::array<Leg, 1> legs{Leg{kind == 1, {}}};
    Nodes k;
    if (!Roll(american, S, X, r, sigma, T, steps, carryFree, legs, k)) {
        gamma = 0;
        price = Flat(american, kind == 1, S, X, r, T, delta, theta);
        return price;
    }
    const double dt = T / steps;
    price = legs[0].v[0];
    delta = (k.v11 - k.v10) / (k.s11 - k.s10);
    gamma = ((k.v22 - k.v21) / (k.s22 - k.s21) - (k.v21 - k.v20) / (k.s21 - k.s20)) /
            ((k.s22 - k.s20) / 2.0);
    theta = (k.v21 - price) / (2.0 * dt);
    return price;
}

double CBinomialModel::Price(int european, int kind, double S, double X, double r, double sigma,
                             double T, int steps) {
    return Calculate(european, kind, S, X, r, sigma, T, steps, true);
}

std::pair<double, double> CBinomialModel::CalculateCallPut(int european, double S, double X,
                                                           double r, double sigma, double T,
                                                           int steps, bool carryFree) {
    steps = std::clamp(steps, kMinBinomialSteps, kMaxBinomialSteps);
    const bool american = european == 0;
    std::array<Leg, 2> legs{Leg{true, {}}, Leg{false, {}}};
    Nodes k;
    if (!Roll(american, S, X, r, sigma, T, steps, carryFree, legs, k)) {
        double dl = 0, th = 0;
        const double call = Flat(american, true, S, X, r, T, dl, th);
        return {call, Flat(american, false, S, X, r, T, dl, th)};
    }
    return {legs[0].v[0], legs[1].v[0]};
}

double CBinomialModel::EuropeanCall(double S, double X, double r, double sigma, double T,
                                    int steps) {
    return Price(1, 1, S, X, r, sigma, T, steps);
}

double CBinomialModel::EuropeanPut(double S, double X, double r, double sigma, double T,
                                   int steps) {
    return Price(1, 2, S, X, r, sigma, T, steps);
}

double CBinomialModel::AmericanCall(double S, double X, double r, double sigma, double T,
                                    int steps) {
    return Price(0, 1, S, X, r, sigma, T, steps);
}

double CBinomialModel::AmericanPut(double S, double X, double r, double sigma, double T,
                                   int steps) {
    return Price(0, 2, S, X, r, sigma, T, steps);
}

double CBinomialModel::Delta(int european, int kind, double S, double X, double r, double sigma,
                             double T, int steps) {
    Calculate(european, kind, S, X, r, sigma, T, steps, true);
    return delta;
}

double CBinomialModel::Gamma(int european, int kind, double S, double X, double r, double sigma,
                             double T, int steps) {
    Calculate(european, kind, S, X, r, sigma, T, steps, true);
    return gamma;
}

double CBinomialModel::Theta(int european, int kind, double S, double X, double r, double sigma,
                             double T, int steps) {
    Calculate(european, kind, S, X, r, sigma, T, steps, true);
    return theta;
}

double CBinomialModel::Vega(int european, int kind, double S, double X, double r, double sigma,
                            double T, int steps) {
    CBinomialModel tree;
    const double base = tree.Price(european, kind, S, X, r, sigma, T, steps);
    vega = (tree.Price(european, kind, S, X, r, sigma + 0.01, T, steps) - base) / 0.01;
    return vega;
}

double CBinomialModel::Rho(int european, int kind, double S, double X, double r, double sigma,
                           double T, int steps) {
    CBinomialModel tree;
    const double base = tree.Price(european, kind, S, X, r, sigma, T, steps);
    rho = (tree.Price(european, kind, S, X, r + 0.01, sigma, T, steps) - base) / 0.01;
    return rho;
}

double CBinomialModel::ImpliedVolatility(int european, int kind, double S, double X, double r,
                                         double target, double T, int steps) {
    if (!(S > 0 && X > 0 && T > 0 && target > 0) || !std::isfinite(S) || !std::isfinite(X) ||
        !std::isfinite(T) || !std::isfinite(target) || !std::isfinite(r))
        return 0;
    const int full = std::clamp(steps, kMinBinomialSteps, kMaxBinomialSteps);
    // A coarse tree finds the neighbourhood cheaply; the full tree then refines it.
    int working = std::min(full, 8);
    CBinomialModel tree;
    if (tree.Price(european, kind, S, X, r, kMinVolatility, T, working) > target) return 0;
    if (tree.Price(european, kind, S, X, r, kMaxVolatility, T, working) < target) return 0;

    double sigma = 0.1, previous = 0, maxStep = 0.5;
    for (int pass = 0; pass < kLatticeVolatilityPasses; ++pass) {
        const double p = tree.Price(european, kind, S, X, r, sigma, T, working);
        const double v = tree.Vega(european, kind, S, X, r, sigma, T, 10);
        double step = (target - p) / (v + 0.0001);
        if (step * previous < 0) maxStep /= 2;
        previous = step;
        step = std::clamp(step, -maxStep, maxStep);
        sigma = std::max(sigma + step, kMinVolatility);
        if (std::fabs(step) <= 0.00001) {
            if (working == full) return sigma;
            working = full;
            maxStep = 0.1;
            previous = 0;
        }
    }
    return 0;
}

}  // namespace options::pricing
