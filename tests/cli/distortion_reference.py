#!/usr/bin/env python3
"""Length distortion from the formula alone, for the tests: the point scale factor of the
transverse Mercator from Snyder's series (USGS Professional Paper 1395, eq. 8-11), not
GeographicLib's; the height reduction through the Gaussian mean radius sqrt(MN).

Each input line: a rf k0 lo H0 L B H (degrees, metres); each output line: the distortion in
cm/km, k (R + H0)/(R + H) - 1 times 1e5."""
import math
import sys

for line in sys.stdin:
    if not line.strip():
        continue
    a, rf, k0, lo, H0, L, B, H = map(float, line.split())
    f = 1 / rf
    e2 = f * (2 - f)
    ep2 = e2 / (1 - e2)
    phi = math.radians(B)
    A = math.radians(L - lo) * math.cos(phi)
    T = math.tan(phi) ** 2
    C = ep2 * math.cos(phi) ** 2
    k = k0 * (1 + (1 + C) * A**2 / 2
              + (5 - 4 * T + 42 * C + 13 * C**2 - 28 * ep2) * A**4 / 24
              + (61 - 148 * T + 16 * T**2) * A**6 / 720)
    R = a * math.sqrt(1 - e2) / (1 - e2 * math.sin(phi) ** 2)
    print("%.9f" % ((k * (R + H0) / (R + H) - 1) * 1e5))
