// The closed-form option valuation family: the cumulative normal, European prices with a
// continuous yield, American prices by the carry-free quadratic approximation, greeks and
// implied volatility. Pure functions; no input or output.
#pragma once

namespace options::pricing {

// What the underlying is, when the caller knows it. Unspecified keeps the old convention that a
// yield of exactly 0 marks a futures underlying (the yield is then taken equal to the rate);
// Futures always prices in the futures form; Index always uses the yield given, 0 included.
enum class Underlying { Unspecified, Futures, Index };

// The implied-volatility search range; a target outside it has no solution, reported as 0.
inline constexpr double kMinVolatility = 0.00001;
inline constexpr double kMaxVolatility = 2.5;

// The closed-form family. european: 1 European, 0 American; kind: 1 call, anything else put.
// Greeks are per unit: theta per year, vega per 1.00 of volatility, rho per 1.00 of rate.
class COptionModel {
public:
    virtual ~COptionModel() = default;

    static double CumulativeNormal(double x);
    static double NormalDensity(double x);

    double EuropeanCall(double S, double X, double r, double sigma, double T, double q,
                        Underlying u = Underlying::Unspecified) const;
    double EuropeanPut(double S, double X, double r, double sigma, double T, double q,
                       Underlying u = Underlying::Unspecified) const;
    double AmericanCall(double S, double X, double r, double sigma, double T) const;
    double AmericanPut(double S, double X, double r, double sigma, double T) const;

    double Price(int european, int kind, double S, double X, double r, double sigma, double T,
                 double q, Underlying u = Underlying::Unspecified) const;
    double Delta(int european, int kind, double S, double X, double r, double sigma, double T,
                 double q, Underlying u = Underlying::Unspecified) const;
    double Gamma(int european, int kind, double S, double X, double r, double sigma, double T,
                 double q, Underlying u = Underlying::Unspecified) const;
    double Theta(int european, int kind, double S, double X, double r, double sigma, double T,
                 double q, Underlying u = Underlying::Unspecified) const;
    double Vega(int european, int kind, double S, double X, double r, double sigma, double T,
                double q, Underlying u = Underlying::Unspecified) const;
    double Rho(int european, int kind, double S, double X, double r, double sigma, double T,
               double q, Underlying u = Underlying::Unspecified) const;

    // The volatility that reproduces target, or 0 when none in the search range does, when an
    // input is not a finite positive number, or when the search does not settle.
    double ImpliedVolatility(int european, int kind, double S, double X, double r, double target,
                             double T, double q, Underlying u = Underlying::Unspecified) const;

    // ln(1 + x): an annual simple rate as a continuous one.
    static double OptionLog(double x);
};

// A price and its five greeks, per unit as above.
struct Greeks {
    double price = 0, delta = 0, gamma = 0, theta = 0, vega = 0, rho = 0;
};

// All six numbers of a European option in one pass (the drivers' hot path).
Greeks EuropeanGreeks(int kind, double S, double X, double r, double sigma, double T, double q,
                      Underlying u = Underlying::Unspecified);

// All six numbers of the closed-form family: the closed forms for a European option, central
// differences over the quadratic approximation for an American one.
Greeks ClosedFormGreeks(int european, int kind, double S, double X, double r, double sigma,
                        double T, double q, Underlying u = Underlying::Unspecified);

// Passes of the closed-form implied-volatility search before it gives up.
inline constexpr int kClosedFormVolatilityPasses = 100;

}  // namespace options::pricing
