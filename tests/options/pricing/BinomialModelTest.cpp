// Tests of the lattice and the drivers: exact two-step trees, convergence to the closed forms,
// the tree greeks, the implied-volatility search with its guards, and the model setting that
// chooses between the families.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "options/pricing/BinomialModel.h"
#include "options/pricing/OptionDrivers.h"

namespace options::pricing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(BinomialModelTest, TwoStepTreeHasItsExactValues) {
    CBinomialModel m;
    EXPECT_NEAR(m.EuropeanCall(100, 100, 0.05, 0.2, 1, 2), 6.715020, 1e-6);
    EXPECT_NEAR(m.AmericanPut(100, 100, 0.05, 0.2, 1, 2), 6.885011, 1e-6);

    // The greeks of a two-step tree come from its terminal nodes, worked by hand.
    const double u = std::exp(0.2 * std::sqrt(0.5)), d = 1 / u, p = (1 - d) / (u - d);
    const double df = std::exp(-0.05 * 0.5);
    const double v22 = 100 * u * u - 100, v21 = 0;
    const double v11 = df * (p * v22 + (1 - p) * v21), v10 = 0;
    const double v00 = df * (p * v11 + (1 - p) * v10);
    int steps = 2;
    EXPECT_NEAR(m.Calculate(1, 1, 100, 100, 0.05, 0.2, 1, steps, true), v00, 1e-12);
    EXPECT_NEAR(m.delta, (v11 - v10) / (100 * u - 100 * d), 1e-12);
    EXPECT_NEAR(m.gamma, ((v22 - v21) / (100 * u * u - 100)) / ((100 * u * u - 100 * d * d) / 2),
                1e-12);
    EXPECT_NEAR(m.theta, (v21 - v00) / (2 * 0.5), 1e-12);
}

TEST(BinomialModelTest, StepCountIsClampedAndReported) {
    CBinomialModel m;
    struct Case {
        int asked, used;
    };
    for (Case c : {Case{0, 2}, Case{-5, 2}, Case{1, 2}, Case{3, 3}, Case{1 << 30, 4096}}) {
        int steps = c.asked;
        const double price = m.Calculate(1, 2, 100, 100, 0.05, 0.2, 1, steps, true);
        EXPECT_EQ(steps, c.used) << c.asked;
        EXPECT_TRUE(std::isfinite(price));
    }
}

TEST(BinomialModelTest, ConvergesToTheClosedForms) {
    const COptionModel closed;
    CBinomialModel tree;
    struct Case {
        int kind;
        double S, X, sigma, T;
    };
    for (Case c :
         {Case{1, 100, 100, 0.2, 1}, Case{2, 100, 110, 0.3, 0.5}, Case{1, 50, 45, 0.5, 2}}) {
        SCOPED_TRACE(c.X);
        const double europe = closed.Price(1, c.kind, c.S, c.X, 0.05, c.sigma, c.T, 0);
        EXPECT_NEAR(tree.Price(1, c.kind, c.S, c.X, 0.05, c.sigma, c.T, 2000), europe, 2e-4 * c.S);
        const double quadratic = closed.Price(0, c.kind, c.S, c.X, 0.05, c.sigma, c.T, 0);
        EXPECT_NEAR(tree.Price(0, c.kind, c.S, c.X, 0.05, c.sigma, c.T, 2000), quadratic,
                    3e-3 * c.S);
        // The tree's greeks approach the closed forms.
        int steps = 2000;
        tree.Calculate(1, c.kind, c.S, c.X, 0.05, c.sigma, c.T, steps, true);
        const Greeks g = EuropeanGreeks(c.kind, c.S, c.X, 0.05, c.sigma, c.T, 0);
        EXPECT_NEAR(tree.delta, g.delta, 1e-3);
        EXPECT_NEAR(tree.gamma, g.gamma, 1e-3);
        EXPECT_NEAR(tree.theta, g.theta, 5e-3 * c.S);
        EXPECT_NEAR(tree.Vega(1, c.kind, c.S, c.X, 0.05, c.sigma, c.T, 2000), g.vega,
                    0.02 * g.vega);
    }
}

TEST(BinomialModelTest, CallAndPutOnOneTreeMatchTheSeparateTrees) {
    CBinomialModel m;
    for (int european : {0, 1}) {
        const auto [call, put] = m.CalculateCallPut(european, 100, 95, 0.05, 0.25, 0.8, 101, true);
        EXPECT_DOUBLE_EQ(call, m.Price(european, 1, 100, 95, 0.05, 0.25, 0.8, 101));
        EXPECT_DOUBLE_EQ(put, m.Price(european, 2, 100, 95, 0.05, 0.25, 0.8, 101));
    }
    // Growing at the rate, a European call on a non-dividend stock equals its American one.
    const auto grown = m.CalculateCallPut(0, 100, 95, 0.05, 0.25, 0.8, 101, false);
    const auto grownEuropean = m.CalculateCallPut(1, 100, 95, 0.05, 0.25, 0.8, 101, false);
    EXPECT_NEAR(grown.first, grownEuropean.first, 1e-12);
}

TEST(BinomialModelTest, FlatTreesGiveTheLimits) {
    CBinomialModel m;
    EXPECT_DOUBLE_EQ(m.AmericanPut(90, 100, 0.05, 0, 1, 50), 10);
    EXPECT_NEAR(m.EuropeanPut(90, 100, 0.05, 0, 1, 50), 10 * std::exp(-0.05), 1e-12);
    EXPECT_DOUBLE_EQ(m.EuropeanCall(110, 100, 0.05, 0.3, 0, 50), 10);
    EXPECT_DOUBLE_EQ(m.Delta(0, 2, 90, 100, 0.05, 0, 1, 50), -1);
}

TEST(BinomialModelTest, ImpliedVolatilityRoundTripsAndRefuses) {
    CBinomialModel m;
    for (int european : {0, 1}) {
        for (int kind : {1, 2}) {
            for (double sigma : {0.05, 0.3, 1.5}) {
                SCOPED_TRACE(::testing::Message() << european << kind << " sigma " << sigma);
                const double price = m.Price(european, kind, 100, 104, 0.04, sigma, 0.5, 200);
                EXPECT_NEAR(m.ImpliedVolatility(european, kind, 100, 104, 0.04, price, 0.5, 200),
                            sigma, 1e-5);
            }
        }
    }
    EXPECT_EQ(m.ImpliedVolatility(1, 1, 100, 100, 0.05, kNaN, 0.5, 200), 0);
    EXPECT_EQ(m.ImpliedVolatility(1, 1, 100, 100, 0.05, 1, 0, 200), 0);
    EXPECT_EQ(m.ImpliedVolatility(0, 2, 100, 100, 0.05, 1e-12, 0.5, 200), 0);
    EXPECT_EQ(m.ImpliedVolatility(0, 2, 100, 100, 0.05, 1000, 0.5, 200), 0);
    // Prices near the end of the double range: the search ends, with no answer.
    EXPECT_EQ(m.ImpliedVolatility(1, 1, 1e307, 1, 0.05, 1e306, 0.5, 200), 0);
    EXPECT_EQ(m.ImpliedVolatility(0, 2, 1, 1e307, -0.05, 1e306, 0.5, 200), 0);
}

class DriverTest : public ::testing::Test {
protected:
    void TearDown() override { SetOptionModelDefaults(1, 260); }
};

TEST_F(DriverTest, ModelSettingIsTakenOnlyInRange) {
    EXPECT_EQ(OptionModelChoice(), 1);
    EXPECT_EQ(OptionModelSteps(), 260);
    SetOptionModelDefaults(3, 2);
    EXPECT_EQ(OptionModelChoice(), 1);
    EXPECT_EQ(OptionModelSteps(), 260);
    SetOptionModelDefaults(-1, 5000);
    EXPECT_EQ(OptionModelChoice(), 1);
    EXPECT_EQ(OptionModelSteps(), 260);
    SetOptionModelDefaults(0, 3);
    EXPECT_EQ(OptionModelChoice(), 0);
    EXPECT_EQ(OptionModelSteps(), 3);
}

TEST_F(DriverTest, ModelChoiceRoutesEachExercise) {
    const COptionModel closed;
    CBinomialModel tree;
    struct Case {
        int model, european;
        bool lattice;
    };
    const Case cases[] = {{0, 1, false}, {0, 0, true}, {1, 1, false},
                          {1, 0, false}, {2, 1, true}, {2, 0, true}};
    for (const Case& c : cases) {
        SetOptionModelDefaults(c.model, 120);
        SCOPED_TRACE(::testing::Message() << "model " << c.model << " european " << c.european);
        const double expected = c.lattice
                                    ? tree.Price(c.european, 2, 100, 105, 0.05, 0.3, 0.5, 120)
                                    : closed.Price(c.european, 2, 100, 105, 0.05, 0.3, 0.5, 0.02);
        EXPECT_DOUBLE_EQ(CalcOptionValue(c.european, 2, 100, 105, 0.05, 0.3, 0.5, 0.02), expected);
    }
    // The lattice is carry-free: an index yield changes nothing.
    SetOptionModelDefaults(2, 120);
    EXPECT_DOUBLE_EQ(CalcOptionValue(1, 1, 3000, 3000, 0.03, 0.2, 0.5, 0.02, Underlying::Index),
                     CalcOptionValue(1, 1, 3000, 3000, 0.03, 0.2, 0.5, 0.05, Underlying::Index));
}

TEST_F(DriverTest, GreeksComeInDisplayUnits) {
    for (int model : {1, 2}) {
        SetOptionModelDefaults(model, 260);
        for (int european : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "model " << model << " european " << european);
            double delta = 0, gamma = 0, theta = 0, vega = 0, rho = 0;
            const double price = CalcOptionGreeks(european, 1, 100, 100, 0.05, 0.25, 0.5, 0, delta,
                                                  gamma, theta, vega, rho);
            EXPECT_DOUBLE_EQ(price, CalcOptionValue(european, 1, 100, 100, 0.05, 0.25, 0.5, 0));
            // Per calendar day, per volatility point and per rate point, checked against a
            // repricing with that change.
            const double later =
                CalcOptionValue(european, 1, 100, 100, 0.05, 0.25, 0.5 - 1.0 / 365, 0);
            EXPECT_NEAR(theta, later - price, 2e-3);
            const double volUp = CalcOptionValue(european, 1, 100, 100, 0.05, 0.26, 0.5, 0);
            EXPECT_NEAR(vega, volUp - price, 2e-3);
            const double rateUp = CalcOptionValue(european, 1, 100, 100, 0.06, 0.25, 0.5, 0);
            EXPECT_NEAR(rho, rateUp - price, 2e-3);
            EXPECT_NEAR(delta, 0.5, 0.06);
            EXPECT_GT(gamma, 0);
            EXPECT_NEAR(CalcImpliedVolatility(european, 1, 100, 100, 0.05, price, 0.5, 0), 0.25,
                        1e-5);
        }
    }
}

}  // namespace
}  // namespace options::pricing
