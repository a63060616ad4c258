// The Cox-Ross-Rubinstein lattice: European or American exercise, carry-free or with the
// underlying growing at the rate, with the greeks read off the tree and the implied volatility.
#pragma once

#include <utility>

namespace options::pricing {

// A tree never has fewer steps than its greeks need, nor more than the installation profile
// allows (the cost grows with the square of the count).
inline constexpr int kMinBinomialSteps = 2;
inline constexpr int kMaxBinomialSteps = 4096;

// Passes of the lattice implied-volatility search before it gives up.
inline constexpr int kLatticeVolatilityPasses = 200;

class CBinomialModel {
public:
    virtual ~CBinomialModel() = default;

    // Builds one tree; steps is brought into [kMinBinomialSteps, kMaxBinomialSteps] and the
    // count used is left in it. Stores price, delta, gamma and theta (per year).
    double Calculate(int european, int kind, double S, double X, double r, double sigma, double T,
                     int& steps, bool carryFree);
    double Price(int european, int kind, double S, double X, double r, double sigma, double T,
                 int steps);
    // Both options on one tree, call first.
    std::pair<double, double> CalculateCallPut(int european, double S, double X, double r,
                                               double sigma, double T, int steps, bool carryFree);

    double EuropeanCall(double S, double X, double r, double sigma, double T, int steps);
    double EuropeanPut(double S, double X, double r, double sigma, double T, int steps);
    double AmericanCall(double S, double X, double r, double sigma, double T, int steps);
    double AmericanPut(double S, double X, double r, double sigma, double T, int steps);

    double Delta(int european, int kind, double S, double X, double r, double sigma, double T,
                 int steps);
    double Gamma(int european, int kind, double S, double X, double r, double sigma, double T,
                 int steps);
    double Theta(int european, int kind, double S, double X, double r, double sigma, double T,
                 int steps);
    // Forward differences of 0.01 in volatility and in rate, per 1.00; stored.
    double Vega(int european, int kind, double S, double X, double r, double sigma, double T,
                int steps);
    double Rho(int european, int kind, double S, double X, double r, double sigma, double T,
               int steps);

    // The volatility that reproduces target, or 0 when none in the search range does, when an
    // input is not a finite positive number, or when the search does not settle.
    double ImpliedVolatility(int european, int kind, double S, double X, double r, double target,
                             double T, int steps);

    double delta = 0, gamma = 0, theta = 0, vega = 0, rho = 0, price = 0;
};

}  // namespace options::pricing
