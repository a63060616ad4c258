// The three pricing drivers that the windows call, and the program-wide model setting that
// chooses between the closed-form family and the lattice.
#pragma once

#include "options/pricing/OptionModel.h"

namespace options::pricing {

// Model choice: 0 closed forms for European options and the lattice for American ones, 1 the
// closed forms and the quadratic approximation for all (the initial choice), 2 the lattice for
// all. Set once at start-up; a model outside 0..2 or a step count outside 3..4096 is ignored.
void SetOptionModelDefaults(int model, int steps);
int OptionModelChoice();
int OptionModelSteps();

// european: 1 European, 0 American; kind: 1 call, 2 put. The lattice is carry-free and ignores
// q and the underlying's kind.
double CalcOptionValue(int european, int kind, double S, double X, double r, double sigma, double T,
                       double q, Underlying u = Underlying::Unspecified);

// The price; the greeks in display units: theta per calendar day, vega per volatility point,
// rho per rate point.
double CalcOptionGreeks(int european, int kind, double S, double X, double r, double sigma,
                        double T, double q, double& delta, double& gamma, double& theta,
                        double& vega, double& rho, Underlying u = Underlying::Unspecified);

// Volatility as a fraction; 0 when none in the search range reproduces price.
double CalcImpliedVolatility(int european, int kind, double S, double X, double r, double price,
                             double T, double q, Underlying u = Underlying::Unspecified);

}  // namespace options::pricing
