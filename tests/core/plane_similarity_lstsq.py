#!/usr/bin/env python3
"""Independent least squares of the 4-parameter plane similarity, for the core's tests.

Reads lines "X Y X' Y'" (northing, easting of a point on each side) and fits
X' = dX + a*X - b*Y, Y' = dY + b*X + a*Y by numpy's SVD solver. Writes
"dX dY rotation_arcsec m" and then "sigma0", with m = hypot(a, b) and the rotation atan2(b, a).

Solved for the shifts X' - X on coordinates taken from the mean of the sources and divided by
their spread: on the raw coordinates (millions of metres) the solver loses a part in 1e9 of the
translations, the very agreement the test asks for.
"""
import sys

import numpy as np

rows = np.loadtxt(sys.stdin, ndmin=2)
x, y, x2, y2 = rows.T
n = len(x)
x0, y0 = x.mean(), y.mean()
u, v = x - x0, y - y0
spread = np.sqrt((u @ u + v @ v) / n)
u, v = u / spread, v / spread
design = np.zeros((2 * n, 4))
design[0::2, 0] = 1
design[0::2, 2] = u
design[0::2, 3] = -v
design[1::2, 1] = 1
design[1::2, 2] = v
design[1::2, 3] = u
shifts = np.empty(2 * n)
shifts[0::2] = x2 - x
shifts[1::2] = y2 - y
solution, _, rank, _ = np.linalg.lstsq(design, shifts, rcond=None)
assert rank == 4
residuals = shifts - design @ solution
sigma0 = np.sqrt(residuals @ residuals / (2 * n - 4))
tx, ty, a1, b = solution[0], solution[1], solution[2] / spread, solution[3] / spread
a = 1 + a1
# X' - X = tx + (a - 1)(X - x0) - b (Y - y0), so dX = tx - (a - 1) x0 + b y0.
dx, dy = tx - a1 * x0 + b * y0, ty - b * x0 - a1 * y0
print(repr(dx), repr(dy), repr(np.degrees(np.arctan2(b, a)) * 3600), repr(np.hypot(a, b)))
print(repr(sigma0))
