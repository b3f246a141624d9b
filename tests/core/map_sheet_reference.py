#!/usr/bin/python3
"""Sheet rows and columns by the numbering's own arithmetic, in exact fractions.

Reads lines "L B N" (L, B packed degrees DDD.MMSSsss as typed, N the scale's sheets along a
1:1,000,000 sheet's side) and writes "a b row column": the 1:1,000,000 row a = [B/4°] + 1 and
column b = [L/6°] + 31, then row = 4°/ΔB − [(B mod 4°)/ΔB] and column = [(L mod 6°)/ΔL] + 1.
"""
import sys
from fractions import Fraction
from math import floor


def packed(text):
    sign = -1 if text.startswith("-") else 1
    text = text.lstrip("-")
    whole, _, frac = text.partition(".")
    frac = frac.ljust(4, "0")
    seconds = Fraction(frac[2:4] + ("." + frac[4:] if len(frac) > 4 else ""))
    return sign * (int(whole) + Fraction(int(frac[0:2]), 60) + seconds / 3600)


for line in sys.stdin:
    L, B, n = line.split()
    L, B, n = packed(L), packed(B), int(n)
    if L == 180:
        L = Fraction(-180)
    dB, dL = Fraction(4, n), Fraction(6, n)
    a = floor(B / 4) + 1
    b = floor(L / 6) + 31
    row = n - floor((B % 4) / dB)
    column = floor((L % 6) / dL) + 1
    print(a, b, row, column)
