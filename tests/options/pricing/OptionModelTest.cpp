// Tests of the closed-form family: the cumulative normal, the European prices and greeks and
// the quadratic approximation against QuantLib's table, parity and bounds, the underlying's
// kind, the bumps at zero and the implied-volatility search with its guards.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "options/pricing/OptionModel.h"

namespace options::pricing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Reference {
    int kind;
    double S, X, r, sigma, days, q;
    double price, delta, gamma, theta, vega, rho;
    double american;
};

constexpr Reference kQuantLib[] = {
#include "tests/options/pricing/QuantLibReference.inc"
};

TEST(OptionModelTest, CumulativeNormalIsWithinItsErrorOfErfc) {
    double worst = 0;
    for (int i = -800; i <= 800; ++i) {
        const double x = i / 100.0;
        const double exact = 0.5 * std::erfc(-x / std::sqrt(2.0));
        worst = std::max(worst, std::fabs(COptionModel::CumulativeNormal(x) - exact));
        // Symmetric away from 0 (at 0 both halves take the positive branch).
        if (i != 0) {
            EXPECT_DOUBLE_EQ(COptionModel::CumulativeNormal(x) + COptionModel::CumulativeNormal(-x),
                             1.0)
                << x;
        }
    }
    EXPECT_LT(worst, 7.5e-8);
    EXPECT_NEAR(COptionModel::NormalDensity(0), 0.398942280401433, 1e-15);
    EXPECT_EQ(COptionModel::CumulativeNormal(-kInf), 0.0);
    EXPECT_EQ(COptionModel::CumulativeNormal(kInf), 1.0);
}

TEST(OptionModelTest, Black76TextbookCase) {
    // A futures option at the money: call and put are worth the same, to within the error of
    // the cumulative normal (2e-7 of the price of the underlying).
    const COptionModel m;
    const double T = 4.0 / 12.0;
    for (Underlying u : {Underlying::Unspecified, Underlying::Futures}) {
        EXPECT_NEAR(m.EuropeanCall(20, 20, 0.09, 0.25, T, 0, u), 1.116641, 4e-6);
        EXPECT_NEAR(m.EuropeanPut(20, 20, 0.09, 0.25, T, 0, u), 1.116641, 4e-6);
        EXPECT_DOUBLE_EQ(m.EuropeanCall(20, 20, 0.09, 0.25, T, 0, u),
                         m.EuropeanPut(20, 20, 0.09, 0.25, T, 0, u));
    }
}

TEST(OptionModelTest, EuropeanPricesAndGreeksAgreeWithQuantLib) {
    for (const Reference& c : kQuantLib) {
        SCOPED_TRACE(::testing::Message()
                     << "kind " << c.kind << " X " << c.X << " days " << c.days << " q " << c.q);
        const double T = c.days / 365.0;
        const Greeks g = EuropeanGreeks(c.kind, c.S, c.X, c.r, c.sigma, T, c.q);
        // The cumulative normal is good to 7.5e-8; prices scale with the underlying.
        const double priceTolerance = 2e-7 * c.S;
        EXPECT_NEAR(g.price, c.price, priceTolerance);
        EXPECT_NEAR(g.delta, c.delta, 2e-7);
        EXPECT_NEAR(g.gamma, c.gamma, 2e-7 * std::max(1.0, std::fabs(c.gamma)));
        EXPECT_NEAR(g.theta, c.theta, 2e-7 * c.S / T);
        EXPECT_NEAR(g.vega, c.vega, 2e-7 * c.S * std::sqrt(T));
        EXPECT_NEAR(g.rho, c.rho, 2e-7 * c.S * T);
    }
}

TEST(OptionModelTest, QuadraticApproximationAgreesWithQuantLib) {
    const COptionModel m;
    int compared = 0;
    for (const Reference& c : kQuantLib) {
        if (c.american < 0) continue;
        SCOPED_TRACE(::testing::Message()
                     << "kind " << c.kind << " X " << c.X << " days " << c.days);
        const double T = c.days / 365.0;
        EXPECT_NEAR(m.Price(0, c.kind, c.S, c.X, c.r, c.sigma, T, 0), c.american, 1e-5 * c.S);
        ++compared;
    }
    EXPECT_EQ(compared, 18);
}

TEST(OptionModelTest, ParityAndAmericanBounds) {
    const COptionModel m;
    struct Case {
        double S, X, r, sigma, T, q;
        Underlying u;
    };
    const Case cases[] = {
        {100, 90, 0.05, 0.25, 0.5, 0, Underlying::Unspecified},
        {100, 110, 0.03, 0.4, 2, 0.03, Underlying::Unspecified},
        {3500, 3600, 0.02, 0.2, 0.1, 0, Underlying::Index},
        {50, 50, 0.08, 0.6, 1, 0.01, Underlying::Futures},
        {100, 100, -0.01, 0.3, 1, -0.02, Underlying::Unspecified},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.S);
        const double q =
            c.u == Underlying::Futures || (c.u == Underlying::Unspecified && c.q == 0) ? c.r : c.q;
        const double call = m.EuropeanCall(c.S, c.X, c.r, c.sigma, c.T, c.q, c.u);
        const double put = m.EuropeanPut(c.S, c.X, c.r, c.sigma, c.T, c.q, c.u);
        EXPECT_NEAR(call - put, c.S * std::exp(-q * c.T) - c.X * std::exp(-c.r * c.T), 1e-6 * c.S);
        // American exercise is carry-free: compare with the futures form.
        const double fcall = m.EuropeanCall(c.S, c.X, c.r, c.sigma, c.T, 0, Underlying::Futures);
        const double fput = m.EuropeanPut(c.S, c.X, c.r, c.sigma, c.T, 0, Underlying::Futures);
        const double acall = m.AmericanCall(c.S, c.X, c.r, c.sigma, c.T);
        const double aput = m.AmericanPut(c.S, c.X, c.r, c.sigma, c.T);
        EXPECT_GE(acall, fcall);
        EXPECT_GE(aput, fput);
        EXPECT_GE(acall, c.S - c.X - 1e-12);
        EXPECT_GE(aput, c.X - c.S - 1e-12);
        EXPECT_TRUE(std::isfinite(acall) && std::isfinite(aput));
    }
}

TEST(OptionModelTest, UnderlyingKindDecidesTheCarry) {
    const COptionModel m;
    const double S = 100, X = 95, r = 0.04, sigma = 0.3, T = 0.75;
    const double futures = m.EuropeanCall(S, X, r, sigma, T, 0, Underlying::Futures);
    // Without a kind, a yield of 0 is the futures flag; an index may really yield nothing.
    EXPECT_DOUBLE_EQ(m.EuropeanCall(S, X, r, sigma, T, 0), futures);
    const double noYield = m.EuropeanCall(S, X, r, sigma, T, 0, Underlying::Index);
    EXPECT_GT(noYield, futures + 1.0);
    EXPECT_DOUBLE_EQ(m.EuropeanCall(S, X, r, sigma, T, 0.07, Underlying::Futures), futures);

    // Rho: the futures form -T * price with a negative yield and no kind; the yield form for
    // an index whatever its yield.
    const double fput = m.EuropeanPut(S, X, r, sigma, T, 0, Underlying::Futures);
    EXPECT_NEAR(m.Rho(1, 2, S, X, r, sigma, T, -0.01), -T * fput, 1e-12);
    const Greeks idx = EuropeanGreeks(2, S, X, r, sigma, T, -0.01, Underlying::Index);
    const Greeks plain = EuropeanGreeks(2, S, X, r, sigma, T, -0.01);
    EXPECT_LT(idx.rho, 0);
    EXPECT_NE(idx.rho, plain.rho);
    EXPECT_DOUBLE_EQ(idx.delta, plain.delta);  // the other greeks use the negative yield
    // The yield form's rho: -X T e^(-rT) N(-d2) with the yield held.
    const double sv = sigma * std::sqrt(T);
    const double d2 = (std::log(S / X) + (r + 0.01) * T) / sv - sv / 2;
    const double exact = -X * T * std::exp(-r * T) * 0.5 * std::erfc(d2 / std::sqrt(2.0));
    EXPECT_NEAR(idx.rho, exact, 2e-7 * S * T);
}

TEST(OptionModelTest, AmericanGreeksByCentralDifferencesStayFiniteAtZero) {
    struct Case {
        const char* name;
        double S, r, sigma;
    };
    const Case cases[] = {
        {"ordinary", 100, 0.05, 0.3},
        {"rate 0", 100, 0.0, 0.3},
        {"volatility 0", 100, 0.05, 0.0},
    };
    const COptionModel m;
    for (const Case& c : cases) {
        for (int kind : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << c.name << " kind " << kind);
            const Greeks g = ClosedFormGreeks(0, kind, c.S, 100, c.r, c.sigma, 0.5, 0);
            for (double v : {g.price, g.delta, g.gamma, g.theta, g.vega, g.rho})
                EXPECT_TRUE(std::isfinite(v)) << v;
            EXPECT_DOUBLE_EQ(g.rho, m.Rho(0, kind, c.S, 100, c.r, c.sigma, 0.5, 0));
        }
    }
    // Far from the early-exercise boundary the differences match the European closed forms.
    const Greeks a = ClosedFormGreeks(0, 1, 80, 100, 0.0, 0.3, 0.5, 0);
    const Greeks e = EuropeanGreeks(1, 80, 100, 0.0, 0.3, 0.5, 0, Underlying::Futures);
    EXPECT_NEAR(a.price, e.price, 1e-12);  // no rate: no early exercise premium
    EXPECT_NEAR(a.delta, e.delta, 1e-5);
    EXPECT_NEAR(a.vega, e.vega, 1e-3);
    EXPECT_NEAR(a.theta, e.theta, 1e-3);
}

TEST(OptionModelTest, InputsThatAreNoNumbersGiveNoNumbers) {
    // A rate that is no number with a negative yield once sent the futures rho round in
    // circles; every input of this table must simply come back.
    const double rates[] = {kNaN, kInf, -kInf};
    for (double r : rates) {
        for (Underlying u : {Underlying::Unspecified, Underlying::Futures, Underlying::Index}) {
            const Greeks g = EuropeanGreeks(2, 100, 100, r, 0.2, 1, -0.01, u);
            EXPECT_FALSE(std::isfinite(g.rho) && std::isfinite(g.price) && std::isfinite(g.theta));
            // The American differences must come back too, and a rate that is no number must
            // not turn into a price.
            const Greeks a = ClosedFormGreeks(0, 1, 100, 100, r, 0.2, 1, -0.01, u);
            if (std::isnan(r)) {
                EXPECT_TRUE(std::isnan(a.price));
            }
        }
    }
    EXPECT_TRUE(std::isnan(COptionModel().EuropeanCall(kNaN, 100, 0.05, 0.2, 1, 0)));
}

TEST(OptionModelTest, NoVolatilityOrNoTimeGivesTheLimits) {
    const COptionModel m;
    // After expiry (or at it) the option pays its intrinsic value; with no volatility the
    // discounted forward decides.
    EXPECT_DOUBLE_EQ(m.EuropeanCall(110, 100, 0.05, 0.3, 0, 0), 10);
    EXPECT_DOUBLE_EQ(m.EuropeanPut(110, 100, 0.05, 0.3, 0, 0), 0);
    EXPECT_DOUBLE_EQ(m.EuropeanCall(100, 100, 0.05, 0.3, 0, 0), 0);
    EXPECT_NEAR(m.EuropeanCall(110, 100, 0.05, 0, 1, 0.02, Underlying::Index),
                110 * std::exp(-0.02) - 100 * std::exp(-0.05), 1e-12);
    EXPECT_DOUBLE_EQ(m.AmericanPut(90, 100, 0.05, 0, 1), 10);
    EXPECT_DOUBLE_EQ(m.AmericanCall(90, 100, 0.05, 0.3, 0), 0);
    const Greeks g = EuropeanGreeks(1, 110, 100, 0.05, 0, 1, 0);
    EXPECT_DOUBLE_EQ(g.delta, std::exp(-0.05));
    EXPECT_EQ(g.gamma, 0);
    EXPECT_EQ(g.vega, 0);
}

TEST(OptionModelTest, ImpliedVolatilityRoundTrips) {
    const COptionModel m;
    struct Case {
        int european, kind;
        double S, X, T, q;
        Underlying u;
    };
    const Case cases[] = {
        {1, 1, 100, 100, 0.5, 0, Underlying::Unspecified},
        {1, 2, 100, 90, 1, 0.03, Underlying::Unspecified},
        {1, 1, 3000, 3100, 0.25, 0, Underlying::Index},
        {0, 1, 100, 105, 0.5, 0, Underlying::Unspecified},
        {0, 2, 100, 95, 1, 0, Underlying::Unspecified},
    };
    for (const Case& c : cases) {
        for (double sigma : {0.05, 0.3, 1.5}) {
            SCOPED_TRACE(::testing::Message() << "european " << c.european << " kind " << c.kind
                                              << " X " << c.X << " sigma " << sigma);
            const double price = m.Price(c.european, c.kind, c.S, c.X, 0.04, sigma, c.T, c.q, c.u);
            if (price < 1e-4) continue;  // nothing left to invert
            EXPECT_NEAR(
                m.ImpliedVolatility(c.european, c.kind, c.S, c.X, 0.04, price, c.T, c.q, c.u),
                sigma, 1e-6);
        }
    }
}

TEST(OptionModelTest, ImpliedVolatilityRefusesWhatHasNoAnswer) {
    const COptionModel m;
    struct Case {
        const char* name;
        int european;
        double S, X, r, target, T, q;
    };
    const Case cases[] = {
        {"target below the floor price", 1, 100, 100, 0.05, 1e-9, 0.5, 0},
        {"target above the ceiling price", 1, 100, 100, 0.05, 99, 0.5, 0},
        {"not a number", 1, 100, 100, 0.05, kNaN, 0.5, 0},
        {"infinite target", 0, 100, 100, 0.05, kInf, 0.5, 0},
        {"expired, at the money", 1, 100, 100, 0.05, 1, 0, 0},
        {"past expiry", 0, 100, 100, 0.05, 1, -0.5, 0},
        {"negative underlying", 1, -100, 100, 0.05, 1, 0.5, 0},
        {"zero strike", 1, 100, 0, 0.05, 1, 0.5, 0},
        {"rate not a number", 1, 100, 100, kNaN, 1, 0.5, 0},
        {"yield infinite", 1, 100, 100, 0.05, 1, 0.5, kInf},
        {"zero target", 0, 100, 100, 0.05, 0, 0.5, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m.ImpliedVolatility(c.european, 1, c.S, c.X, c.r, c.target, c.T, c.q), 0)
            << c.name;
    }
}

TEST(OptionModelTest, OptionLogTurnsASimpleRateContinuous) {
    EXPECT_DOUBLE_EQ(COptionModel::OptionLog(0), 0);
    EXPECT_NEAR(COptionModel::OptionLog(0.05), 0.04879016416943205, 1e-15);
}

}  // namespace
}  // namespace options::pricing
