#!/usr/bin/env python3
# Independent computation of the position revaluation and funds formulas: reads one case per
# line ("kind name=value ...") and writes one result line per case ("name=value ...").
import math
import sys


def R(v):
    step = math.pow(10.0, -2)
    x = v / step
    r = math.floor(x + 0.5) if x >= 0 else math.ceil(x - 0.5)
    return step * r


def futures_or_option(c):
    s = 3 - 2 * c["side"]
    q = c["n757"] - c["n1722"]
    p, z, u, rate = c["p"], c["z"], c["u"], c["rate"]
    out = {}
    rule = c["dbzcy"] == 16 and rate > 1e-6
    if not rule:
        out["1773"] = (p * q * u - c["a524"]) * s
    else:
        up, uz = R(u * p * rate), R(u * z * rate)
        out["1773"] = ((up * c["n845"] - c["a2040"]) + (up - uz) * c["n853"]) * s + c["a1210"]
    if c["kind"] == 0:
        if not rule:
            out["1774"] = ((u * p * c["n845"] - c["a2040"]) + (p - z) * u * c["n853"]) * s
        else:
            up, uz = R(u * p * rate), R(u * z * rate)
            out["1774"] = ((up * c["n845"] - c["a2040"]) + (up - uz) * c["n853"]) * s
        return out
    cp = 3 - 2 * c["cp"]
    n = c["n757"]
    C, X, U = c["C"], c["X"], c["U"]
    a, b, e, f = c["a"], c["b"], c["e"], c["f"]
    out["9137"] = p * s * q * u
    out["3678"] = C / n / u
    out["2016"] = (s * p * u * n - C) - (a * p * u + b) * n
    out["1098"] = 0.0 if s - a == 0 else ((b * n + C) / (n * u)) / (s - a) * s
    if c["zj"] == 0:
        out["2017"] = ((U - X) * cp * s * u * n - C) - (e * X * u + f) * n if U > 1e-6 else 0.0
        out["2019"] = ((C + (e * X * u + f) * n) / (u * n * cp * s) + X) * cp * s
    else:
        out["2017"] = 0.0
        out["2019"] = 0.0
    return out


def combination(c):
    s = 3 - 2 * c["side"]
    n = c["n757"]
    p1, p2, z1, z2, u1, u2 = c["p1"], c["p2"], c["z1"], c["z2"], c["u1"], c["u2"]
    out = {"1773": (p1 * n * u1 - c["a2027"]) * s + (p2 * n * u2 - c["a2028"]) * (-s)}
    A = 0.0
    if z1 > 1e-6 and z2 > 1e-6:
        A = (p1 - z1) * c["n2029"] * u1 * s + (p2 - z2) * c["n2030"] * u2 * (-s)
    B = (u1 * p1 * c["n2031"] - c["a2035"]) * s + (u2 * p2 * c["n2032"] - c["a2036"]) * (-s)
    out["1774"] = R(A + B)
    out["729"] = p1 - p2
    return out


def funds(c):
    F, G, k = int(c["F"]), int(c["G"]), c["k"]
    v = lambda tag: c["f" + str(tag)]
    A = (v(709) - v(764) + v(652) - v(1720) + v(1776) - v(1746) + v(9125) - v(9126)
         - v(2569))
    x = v(1236) - v(827)
    xp = max(x, 0.0)
    W = (v(709) - (v(1720) + v(542)) - (v(764) - x) - xp - v(1746)
         - (v(1720) + v(1740) + ((v(764) - x) - v(827)) + v(684)) * k - v(9126) - v(2569))
    if F & 4:
        A -= v(542)
    if F & 2:
        A += v(1774)
    elif not F & 64:
        A += min(v(1774), 0.0)
    if F & 8:
        W += v(542)
    W += v(1776) if F & 128 else min(v(1776), 0.0)
    W += v(1774) if F & 16 else min(v(1774), 0.0)
    if F & 256:
        W += v(9125)
    z1 = z2 = 0.0
    if v(2570) > 0:
        z1 = v(2570)
        P = Q = 0.0
        if G & 1:
            P = v(2573) - v(2576) + (v(2576) if F & 4 else 0.0)
            Q = v(2573) - (v(2576) if F & 8 else 0.0)
        if G & 2:
            P += v(2575) - min(v(2577), 0.0)
            if F & 2:
                P -= v(1792)
            elif not F & 64:
                P -= min(v(1792), 0.0)
            Q += v(2575) - min(v(2577), 0.0)
            if F & 128:
                Q -= min(v(1792), 0.0)
            elif F & 16:
                Q -= v(1792)
            else:
                Q -= min(v(1792), 0.0)
        P = min(P, v(2570))
        Q = min(Q, v(2570))
        if P > 0:
            A += P
            z1 = v(2570) - P
        if Q > 0:
            W += Q
        z2 = min(z1 + max(A, 0.0), v(2570))
    W = min(W, v(709) + v(1774) + v(1776) - v(1746) + v(652) + v(9125) - v(9126) + v(2570)
            - v(2569))
    A, W, z1, z2 = R(A), R(W), R(z1), R(z2)
    W, z1, z2 = max(W, 0.0), max(z1, 0.0), max(z2, 0.0)
    if v(2570) <= 0:
        z1 = z2 = 0.0
    return {"619": A, "617": W, "2571": z1, "2572": z2}


def main():
    for line in sys.stdin:
        parts = line.split()
        if not parts:
            continue
        case = {}
        for item in parts[1:]:
            name, value = item.split("=", 1)
            case[name] = float(value)
        if parts[0] == "position":
            case["kind"] = int(case["kind"])
            case["side"] = int(case["side"])
            case["cp"] = int(case.get("cp", 1))
            out = futures_or_option(case)
        elif parts[0] == "combination":
            case["side"] = int(case["side"])
            out = combination(case)
        else:
            out = funds(case)
        print(" ".join("%s=%r" % (name, value) for name, value in sorted(out.items())))


if __name__ == "__main__":
    main()
