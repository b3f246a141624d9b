#!/usr/bin/env python3
"""Independent least squares of a height anomaly surface, for the core's tests.

Takes the number of terms (1 fixed, 3 plane, 6 quadratic) as its argument and reads lines
"X Y zeta". Fits zeta = a0 + a1 u + a2 v + a3 u^2 + a4 u v + a5 v^2 on u = (X - x0) / s,
v = (Y - y0) / s, (x0, y0) the points' mean and s their RMS distance from it, by numpy's SVD
solver. Writes "a0 a1 a2", "a3 a4 a5" (unused terms 0), then "sigma0" (nan without redundancy).
"""
import sys

import numpy as np

terms = int(sys.argv[1])
rows = np.loadtxt(sys.stdin, ndmin=2)
x, y, zeta = rows.T
n = len(x)
u, v = x - x.mean(), y - y.mean()
spread = np.sqrt((u @ u + v @ v) / n)
u, v = u / spread, v / spread
design = np.column_stack([np.ones(n), u, v, u * u, u * v, v * v])[:, :terms]
solution, _, rank, _ = np.linalg.lstsq(design, zeta, rcond=None)
assert rank == terms
residuals = zeta - design @ solution
sigma0 = np.sqrt(residuals @ residuals / (n - terms)) if n > terms else float("nan")
a = np.zeros(6)
a[:terms] = solution
print("%.17g %.17g %.17g" % tuple(a[:3]))
print("%.17g %.17g %.17g" % tuple(a[3:]))
print("%.17g" % sigma0)
