// The closed-form option valuation family: generalised Black-Scholes with a continuous yield
// (Black-76 for futures), the carry-free quadratic approximation for American exercise, their
// greeks and the implied-volatility search.
#include "options/pricing/OptionModel.h"

#include <algorithm>
#include <cmath>

namespace options::pricing {
namespace {

// Abramowitz and Stegun 26.2.17; the constants are the house's, kept digit for digit so that
// prices match the ones traders already see.
constexpr double kP = 0.2316419;
constexpr double kB1 = 0.31938153, kB2 = -0.356563782, kB3 = 1.781477937, kB4 = -1.821255978,
                 kB5 = 1.330274429;
constexpr double kTwoPi = 6.28318530717958;
constexpr double kInvSqrtTwoPi = 0.398942280401433;

// N(|x|) as v; N(x) and N(-x) come from it without a second exponential.
struct NormalPair {
    double up;    // N(x)
    double down;  // N(-x)
};

NormalPair Normals(double x) {
    const double ax = std::fabs(x);
    const double k = 1.0 / (1.0 + kP * ax);
    const double poly = k * (kB1 + k * (kB2 + k * (kB3 + k * (kB4 + k * kB5))));
    const double v = 1.0 - std::exp(-ax * ax / 2.0) / std::sqrt(kTwoPi) * poly;
    return x >= 0 ? NormalPair{v, 1.0 - v} : NormalPair{1.0 - v, v};
}

// The yield actually used, and whether rho takes the futures form -T * price.
struct Carry {
    double q;
    bool futuresRho;
};

Carry ResolveCarry(double r, double q, Underlying u) {
    switch (u) {
        case Underlying::Futures:
            return {r, true};
        case Underlying::Index:
            return {q, false};
        case Underlying::Unspecified:
            break;
    }
    return {q == 0 ? r : q, q <= 0};
}

// Carry-free European value and the pieces the quadratic approximation needs at one price.
struct FuturesValue {
    double value;
    double d1;
    NormalPair n1;
};

FuturesValue FuturesEuropean(bool call, double S, double X, double disc, double sigma,
                             double sqrtT) {
    const double sv = sigma * sqrtT;
    const double d1 = (std::log(S / X) + sv * sv / 2.0) / sv;
    const NormalPair n1 = Normals(d1);
    const NormalPair n2 = Normals(d1 - sv);
    const double value = call ? disc * (S * n1.up - X * n2.up) : disc * (X * n2.down - S * n1.down);
    return {value, d1, n1};
}

// The quadratic approximation's critical price by Newton's method from its seed; the seed
// stands when the iteration does not settle or wanders off to a non-positive or non-finite
// price.
template <class F>
double CriticalPrice(double seed, F&& step) {
    double s = seed;
    double f = 1.0, fp = 1.0;
    for (int i = 0; i < 500; ++i) {
        if (std::fabs(f) < 0.000001 || std::fabs(fp) < 0.000001 || s <= 0 || !std::isfinite(s))
            break;
        step(s, f, fp);
        s -= f / fp;
    }
    if (std::fabs(f) < 0.000001 && s > 0 && std::isfinite(s)) return s;
    return seed;
}

double AmericanQuadratic(bool call, double S, double X, double r, double sigma, double T) {
    const double disc = std::exp(-r * T);
    const double sqrtT = std::sqrt(T);
    // No volatility or no time left: the value is the larger of the discounted and the
    // immediate exercise; no rate: a carry-free option is never exercised early.
    if (sigma <= 0 || T <= 0) {
        const double intrinsic = std::max(call ? S - X : X - S, 0.0);
        return std::max(intrinsic, (T > 0 ? disc : 1.0) * intrinsic);
    }
    const double european = FuturesEuropean(call, S, X, disc, sigma, sqrtT).value;
    if (r == 0) return european;

    const double sv = sigma * sqrtT;
    const double M = 2.0 * r / (sigma * sigma);
    const double K = 1.0 - disc;
    const double root = std::sqrt(1.0 + 4.0 * M / K);
    const double rootInf = std::sqrt(1.0 + 4.0 * M);
    if (call) {
        const double q2 = (1.0 + root) / 2.0;
        const double q2Inf = (1.0 + rootInf) / 2.0;
        const double su = X / (1.0 - 1.0 / q2Inf);
        const double h2 = -2.0 * sv * X / (su - X);
        const double seed = X + (su - X) * (1.0 - std::exp(h2));
        const double critical = CriticalPrice(seed, [&](double s, double& f, double& fp) {
            const FuturesValue c = FuturesEuropean(true, s, X, disc, sigma, sqrtT);
            f = (1.0 - 1.0 / q2) * s - X - c.value + disc * c.n1.up * s / q2;
            fp = (1.0 - 1.0 / q2) * (1.0 - disc * c.n1.up) +
                 disc * COptionModel::NormalDensity(c.d1) / (q2 * sv);
        });
        double value = S - X;
        if (S < critical) {
            const FuturesValue at = FuturesEuropean(true, critical, X, disc, sigma, sqrtT);
            const double a2 = (1.0 - disc * at.n1.up) * critical / q2;
            value = european + a2 * std::pow(S / critical, q2);
        }
        return value > european ? value : european;
    }
    const double q1 = (1.0 - root) / 2.0;
    const double q1Inf = (1.0 - rootInf) / 2.0;
    const double su = X / (1.0 - 1.0 / q1Inf);
    const double h1 = -2.0 * sv * X / (X - su);
    const double seed = su + (X - su) * std::exp(h1);
    const double critical = CriticalPrice(seed, [&](double s, double& f, double& fp) {
        const FuturesValue p = FuturesEuropean(false, s, X, disc, sigma, sqrtT);
        f = X - s - p.value + (1.0 - disc * p.n1.down) * s / q1;
        fp = (1.0 / q1 - 1.0) * (1.0 - disc * p.n1.down) +
             disc * COptionModel::NormalDensity(p.d1) / (q1 * sv);
    });
    double value = X - S;
    if (S > critical) {
        const FuturesValue at = FuturesEuropean(false, critical, X, disc, sigma, sqrtT);
        const double a1 = -(critical / q1) * (1.0 - disc * at.n1.down);
        value = european + a1 * std::pow(S / critical, q1);
    }
    return value > european ? value : european;
}

// A central difference of f around base: a relative bump, or an absolute one at 0 (where a
// relative bump would divide by zero).
template <class F>
double CentralDifference(double base, double relative, F&& f) {
    const double h = base != 0 ? base * relative : 0.0001;
    return (f(base + h) - f(base - h)) / (2.0 * h);
}

}  // namespace

double COptionModel::CumulativeNormal(double x) { return Normals(x).up; }

double COptionModel::NormalDensity(double x) { return kInvSqrtTwoPi * std::exp(-x * x / 2.0); }

double COptionModel::OptionLog(double x) { return std::log1p(x); }

Greeks EuropeanGreeks(int kind, double S, double X, double r, double sigma, double T, double q,
                      Underlying u) {
    const Carry carry = ResolveCarry(r, q, u);
    q = carry.q;
    // After expiry the option is worth what it pays now.
    const double t = T < 0 ? 0.0 : T;
    const double eq = std::exp(-q * t);
    const double er = std::exp(-r * t);
    const double Sq = S * eq;
    const double Xr = X * er;
    const double sqrtT = std::sqrt(t);
    const double sv = sigma * sqrtT;

    NormalPair n1, n2;
    double gamma = 0, decay = 0, vega = 0;
    if (sv > 0 || std::isnan(sv)) {
        const double d1 = (std::log(Sq / Xr) + sv * sv / 2.0) / sv;
        n1 = Normals(d1);
        n2 = Normals(d1 - sv);
        const double nd1 = COptionModel::NormalDensity(d1);
        gamma = nd1 * eq / (S * sv);
        decay = -Sq * nd1 * sigma / (2.0 * sqrtT);
        vega = Sq * nd1 * sqrtT;
    } else {
        // No volatility or no time: the forward decides, as the limits of the closed forms.
        const double step = Sq > Xr ? 1.0 : (Sq < Xr ? 0.0 : 0.5);
        n1 = n2 = NormalPair{step, 1.0 - step};
    }

    Greeks g;
    g.gamma = gamma;
    g.vega = vega;
    if (kind == 1) {
        g.price = Sq * n1.up - Xr * n2.up;
        g.delta = eq * n1.up;
        g.theta = decay + q * Sq * n1.up - r * Xr * n2.up;
        g.rho = X * t * er * n2.up;
    } else {
        g.price = Xr * n2.down - Sq * n1.down;
        g.delta = eq * (n1.up - 1.0);
        g.theta = decay - q * Sq * n1.down + r * Xr * n2.down;
        g.rho = -X * t * er * n2.down;
    }
    if (carry.futuresRho) {
        // The futures form moves the rate and the carry together; a negative yield still
        // takes it when the caller did not say what the underlying is.
        // (A futures call never comes back here, whatever a rate that is no number compares.)
        const double futuresPrice =
            u == Underlying::Futures || q == r
                ? g.price
                : EuropeanGreeks(kind, S, X, r, sigma, T, r, Underlying::Futures).price;
        g.rho = -t * futuresPrice;
    }
    return g;
}

Greeks ClosedFormGreeks(int european, int kind, double S, double X, double r, double sigma,
                        double T, double q, Underlying u) {
    if (european == 1) return EuropeanGreeks(kind, S, X, r, sigma, T, q, u);
    const COptionModel model;
    auto price = [&](double s, double x, double rate, double vol, double t) {
        return model.Price(european, kind, s, x, rate, vol, t, 0, u);
    };
    auto delta = [&](double s) {
        return CentralDifference(s, 0.001, [&](double b) { return price(b, X, r, sigma, T); });
    };
    Greeks g;
    g.price = price(S, X, r, sigma, T);
    g.delta = delta(S);
    g.gamma = CentralDifference(S, 0.01, delta);
    g.theta = -CentralDifference(T, 0.01, [&](double b) { return price(S, X, r, sigma, b); });
    g.vega = CentralDifference(sigma, 0.001, [&](double b) { return price(S, X, r, b, T); });
    g.rho = CentralDifference(r, 0.01, [&](double b) { return price(S, X, b, sigma, T); });
    return g;
}

double COptionModel::EuropeanCall(double S, double X, double r, double sigma, double T, double q,
                                  Underlying u) const {
    return EuropeanGreeks(1, S, X, r, sigma, T, q, u).price;
}

double COptionModel::EuropeanPut(double S, double X, double r, double sigma, double T, double q,
                                 Underlying u) const {
    return EuropeanGreeks(2, S, X, r, sigma, T, q, u).price;
}

double COptionModel::AmericanCall(double S, double X, double r, double sigma, double T) const {
    return AmericanQuadratic(true, S, X, r, sigma, T);
}

double COptionModel::AmericanPut(double S, double X, double r, double sigma, double T) const {
    return AmericanQuadratic(false, S, X, r, sigma, T);
}

double COptionModel::Price(int european, int kind, double S, double X, double r, double sigma,
                           double T, double q, Underlying u) const {
    if (european != 0) return EuropeanGreeks(kind, S, X, r, sigma, T, q, u).price;
    return AmericanQuadratic(kind == 1, S, X, r, sigma, T);
}

double COptionModel::Delta(int european, int kind, double S, double X, double r, double sigma,
                           double T, double q, Underlying u) const {
    return ClosedFormGreeks(european, kind, S, X, r, sigma, T, q, u).delta;
}

double COptionModel::Gamma(int european, int kind, double S, double X, double r, double sigma,
                           double T, double q, Underlying u) const {
    return ClosedFormGreeks(european, kind, S, X, r, sigma, T, q, u).gamma;
}

double COptionModel::Theta(int european, int kind, double S, double X, double r, double sigma,
                           double T, double q, Underlying u) const {
    return ClosedFormGreeks(european, kind, S, X, r, sigma, T, q, u).theta;
}

double COptionModel::Vega(int european, int kind, double S, double X, double r, double sigma,
                          double T, double q, Underlying u) const {
    if (european == 1) return EuropeanGreeks(kind, S, X, r, sigma, T, q, u).vega;
    return CentralDifference(sigma, 0.001,
                             [&](double b) { return Price(european, kind, S, X, r, b, T, 0, u); });
}

double COptionModel::Rho(int european, int kind, double S, double X, double r, double sigma,
                         double T, double q, Underlying u) const {
    return ClosedFormGreeks(european, kind, S, X, r, sigma, T, q, u).rho;
}

double COptionModel::ImpliedVolatility(int european, int kind, double S, double X, double r,
                                       double target, double T, double q, Underlying u) const {
    // A price that is no number, or an option past expiry, has no volatility; without this
    // the search below would never meet its stop tests.
    if (!(S > 0 && X > 0 && T > 0 && target > 0) || !std::isfinite(S) || !std::isfinite(X) ||
        !std::isfinite(T) || !std::isfinite(target) || !std::isfinite(r) || !std::isfinite(q))
        return 0;
    auto priceAndVega = [&](double sigma, double& vega) {
        if (european == 1) {
            const Greeks g = EuropeanGreeks(kind, S, X, r, sigma, T, q, u);
            vega = g.vega;
            return g.price;
        }
        vega = Vega(european, kind, S, X, r, sigma, T, q, u);
        return Price(european, kind, S, X, r, sigma, T, q, u);
    };
    if (Price(european, kind, S, X, r, kMinVolatility, T, q, u) > target) return 0;
    if (Price(european, kind, S, X, r, kMaxVolatility, T, q, u) < target) return 0;

    double sigma = 0.1, previous = 0, maxStep = 0.5;
    for (int pass = 0; pass < kClosedFormVolatilityPasses; ++pass) {
        double vega = 0;
        const double price = priceAndVega(sigma, vega);
        double step = (target - price) / (vega + 0.0001);
        if (step * previous < 0) maxStep /= 2;
        previous = step;
        step = std::clamp(step, -maxStep, maxStep);
        sigma = std::max(sigma + step, kMinVolatility);
        if (std::fabs(step) <= 0.00001 || std::fabs(price - target) <= 0.000001) return sigma;
    }
    return 0;
}

}  // namespace options::pricing
