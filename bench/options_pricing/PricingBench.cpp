// Pricing benchmarks: a European price with its greeks, the quadratic approximation, a lattice
// of 260 steps, the closed-form implied volatility and a T-shaped board of 400 options; with
// QuantLib's time for the same work beside each when QuantLib is installed.
#include <benchmark/benchmark.h>

#include "options/pricing/BinomialModel.h"
#include "options/pricing/OptionDrivers.h"

#ifdef KELMON_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/methods/lattices/binomialtree.hpp>
#include <ql/pricingengines/blackcalculator.hpp>
#include <ql/pricingengines/blackformula.hpp>
#include <ql/pricingengines/vanilla/baroneadesiwhaleyengine.hpp>
#include <ql/pricingengines/vanilla/binomialengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

#include <cmath>

namespace {

using namespace options::pricing;

constexpr double kS = 100, kX = 105, kR = 0.03, kSigma = 0.25, kT = 0.5;

void BM_EuropeanPriceAndGreeks(benchmark::State& state) {
    double s = kS;
    for (auto _ : state) {
        double d, g, t, v, r;
        benchmark::DoNotOptimize(CalcOptionGreeks(1, 1, s, kX, kR, kSigma, kT, 0, d, g, t, v, r));
        benchmark::DoNotOptimize(d + g + t + v + r);
        s = s == kS ? kS + 0.5 : kS;
    }
}
BENCHMARK(BM_EuropeanPriceAndGreeks);

void BM_QuadraticApproximation(benchmark::State& state) {
    const COptionModel m;
    double s = kS;
    for (auto _ : state) {
        benchmark::DoNotOptimize(m.AmericanPut(s, kX, kR, kSigma, kT));
        s = s == kS ? kS + 0.5 : kS;
    }
}
BENCHMARK(BM_QuadraticApproximation);

void BM_Lattice260(benchmark::State& state) {
    CBinomialModel tree;
    for (auto _ : state) benchmark::DoNotOptimize(tree.AmericanPut(kS, kX, kR, kSigma, kT, 260));
}
BENCHMARK(BM_Lattice260);

void BM_ImpliedVolatilityClosedForm(benchmark::State& state) {
    const COptionModel m;
    const double price = m.EuropeanCall(kS, kX, kR, kSigma, kT, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(m.ImpliedVolatility(1, 1, kS, kX, kR, price, kT, 0));
}
BENCHMARK(BM_ImpliedVolatilityClosedForm);

// A T-shaped board: 200 strikes around the money, a call and a put on each, priced with greeks.
void BM_Board400(benchmark::State& state) {
    for (auto _ : state) {
        double sum = 0;
        for (int i = 0; i < 200; ++i) {
            const double x = 60 + 0.4 * i;
            for (int kind : {1, 2}) {
                double d, g, t, v, r;
                sum += CalcOptionGreeks(1, kind, kS, x, kR, kSigma, kT, 0, d, g, t, v, r) + d;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Board400);

#ifdef KELMON_HAVE_QUANTLIB
namespace ql = QuantLib;

void BM_QuantLib_EuropeanPriceAndGreeks(benchmark::State& state) {
    const auto payoff = ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Call, kX);
    const double disc = std::exp(-kR * kT), stdDev = kSigma * std::sqrt(kT);
    double s = kS;
    for (auto _ : state) {
        ql::BlackCalculator bc(payoff, s, stdDev, disc);
        benchmark::DoNotOptimize(bc.value() + bc.delta(s) + bc.gamma(s) + bc.theta(s, kT) +
                                 bc.vega(kT) + bc.rho(kT) + bc.dividendRho(kT));
        s = s == kS ? kS + 0.5 : kS;
    }
}
BENCHMARK(BM_QuantLib_EuropeanPriceAndGreeks);

// An American put on a futures price, its engine recalculating on each change of the spot.
struct QuantLibAmerican {
    ql::ext::shared_ptr<ql::SimpleQuote> spot = ql::ext::make_shared<ql::SimpleQuote>(kS);
    ql::ext::shared_ptr<ql::BlackScholesMertonProcess> process;
    ql::ext::shared_ptr<ql::VanillaOption> option;
    QuantLibAmerican() {
        const ql::Date today(1, ql::June, 2026);
        ql::Settings::instance().evaluationDate() = today;
        const ql::Actual365Fixed dc;
        const ql::Handle<ql::YieldTermStructure> rate(
            ql::ext::make_shared<ql::FlatForward>(today, kR, dc));
        const ql::Handle<ql::BlackVolTermStructure> vol(
            ql::ext::make_shared<ql::BlackConstantVol>(today, ql::NullCalendar(), kSigma, dc));
        process = ql::ext::make_shared<ql::BlackScholesMertonProcess>(ql::Handle<ql::Quote>(spot),
                                                                      rate, rate, vol);
        option = ql::ext::make_shared<ql::VanillaOption>(
            ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Put, kX),
            ql::ext::make_shared<ql::AmericanExercise>(today, today + 183));
    }
    // Prices with engine, the spot moving between two values so nothing is served from cache.
    void Time(benchmark::State& state, const ql::ext::shared_ptr<ql::PricingEngine>& engine) {
        option->setPricingEngine(engine);
        double s = kS;
        for (auto _ : state) {
            spot->setValue(s);
            benchmark::DoNotOptimize(option->NPV());
            s = s == kS ? kS + 0.5 : kS;
        }
    }
};

void BM_QuantLib_QuadraticApproximation(benchmark::State& state) {
    QuantLibAmerican a;
    a.Time(state, ql::ext::make_shared<ql::BaroneAdesiWhaleyApproximationEngine>(a.process));
}
BENCHMARK(BM_QuantLib_QuadraticApproximation);

void BM_QuantLib_Lattice260(benchmark::State& state) {
    QuantLibAmerican a;
    a.Time(state,
           ql::ext::make_shared<ql::BinomialVanillaEngine<ql::CoxRossRubinstein>>(a.process, 260));
}
BENCHMARK(BM_QuantLib_Lattice260);

void BM_QuantLib_ImpliedVolatilityClosedForm(benchmark::State& state) {
    const double disc = std::exp(-kR * kT);
    const double price = ql::blackFormula(ql::Option::Call, kX, kS, kSigma * std::sqrt(kT), disc);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ql::blackFormulaImpliedStdDev(ql::Option::Call, kX, kS, price, disc) / std::sqrt(kT));
    }
}
BENCHMARK(BM_QuantLib_ImpliedVolatilityClosedForm);

void BM_QuantLib_Board400(benchmark::State& state) {
    const double disc = std::exp(-kR * kT), stdDev = kSigma * std::sqrt(kT);
    for (auto _ : state) {
        double sum = 0;
        for (int i = 0; i < 200; ++i) {
            const double x = 60 + 0.4 * i;
            for (auto type : {ql::Option::Call, ql::Option::Put}) {
                ql::BlackCalculator bc(type, x, kS, stdDev, disc);
                sum += bc.value() + bc.delta(kS) + bc.gamma(kS) + bc.theta(kS, kT) + bc.vega(kT) +
                       bc.rho(kT) + bc.dividendRho(kT);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_QuantLib_Board400);
#endif

}  // namespace
