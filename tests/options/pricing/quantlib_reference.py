#!/usr/bin/env python3
# Writes the table of reference option values that the pricing tests compare against, computed
# by QuantLib (an independent implementation); with --check, compares the committed table with
# a fresh one instead and exits 1 on a difference, 77 when QuantLib is not installed.
import argparse
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "QuantLibReference.inc")

try:
    import QuantLib as ql
except ImportError:
    ql = None

S = 100.0
R = 0.05
STRIKES = (90.0, 100.0, 110.0)
# Days to expiry on an Actual/365 count (T = days / 365), each with its own volatility.
TERMS = ((7, 0.30), (183, 0.25), (730, 0.20))
YIELDS = (0.0, 0.03)


def european(kind, x, days, sigma, q):
    # q = 0 is a futures underlying: it carries at the rate, and rho moves rate and carry at once.
    t = days / 365.0
    carry = R if q == 0 else q
    forward = S * math.exp((R - carry) * t)
    option = ql.Option.Call if kind == 1 else ql.Option.Put
    bc = ql.BlackCalculator(ql.PlainVanillaPayoff(option, x), forward, sigma * math.sqrt(t),
                            math.exp(-R * t))
    rho = bc.rho(t) + (bc.dividendRho(t) if q == 0 else 0.0)
    return (bc.value(), bc.delta(S), bc.gamma(S), bc.theta(S, t), bc.vega(t), rho)


def american(kind, x, days, sigma):
    # The quadratic approximation, carry-free (the yield equals the rate).
    today = ql.Date(1, ql.June, 2026)
    ql.Settings.instance().evaluationDate = today
    dc = ql.Actual365Fixed()
    spot = ql.QuoteHandle(ql.SimpleQuote(S))
    rate = ql.YieldTermStructureHandle(ql.FlatForward(today, R, dc))
    vol = ql.BlackVolTermStructureHandle(ql.BlackConstantVol(today, ql.NullCalendar(), sigma, dc))
    process = ql.BlackScholesMertonProcess(spot, rate, rate, vol)
    option = ql.VanillaOption(
        ql.PlainVanillaPayoff(ql.Option.Call if kind == 1 else ql.Option.Put, x),
        ql.AmericanExercise(today, today + days))
    option.setPricingEngine(ql.BaroneAdesiWhaleyApproximationEngine(process))
    return option.NPV()


def table():
    lines = [
        "// Reference option values computed by QuantLib %s with" % ql.__version__,
        "// tests/options/pricing/quantlib_reference.py (do not edit by hand). Columns: kind, S, X,",
        "// r, sigma, days, q; European price, delta, gamma, theta/year, vega, rho; American",
        "// (carry-free quadratic approximation) price, or -1 where q is not 0.",
    ]
    for kind in (1, 2):
        for x in STRIKES:
            for days, sigma in TERMS:
                for q in YIELDS:
                    e = european(kind, x, days, sigma, q)
                    a = american(kind, x, days, sigma) if q == 0 else -1.0
                    values = (kind, S, x, R, sigma, days, q) + e + (a,)
                    lines.append("{" + ", ".join(repr(float(v)) if i else str(v)
                                                 for i, v in enumerate(values)) + "},")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if ql is None:
        print("QuantLib for Python is not installed (Debian: quantlib-python); skipped")
        return 77 if args.check else 1
    fresh = table()
    if not args.check:
        with open(TABLE, "w") as f:
            f.write(fresh)
        return 0
    with open(TABLE) as f:
        committed = f.read()
    if committed != fresh:
        print("QuantLibReference.inc differs from what QuantLib %s computes; rerun %s"
              % (ql.__version__, os.path.basename(__file__)))
        return 1
    print("reference table matches QuantLib %s" % ql.__version__)
    return 0


if __name__ == "__main__":
    sys.exit(main())
