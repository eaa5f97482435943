#!/usr/bin/env python3
"""Independent double-precision model of the biquad designer and magnitude evaluator.

Prints the magnitudes (dB) that tests/dsp/BiquadTest.cpp checks: single sections at
the listed probe frequencies and the four-section crossover cascades at 500, 1000 and
2000 Hz for a 1000 Hz crossover; then the pinned grid points that
tests/dsp/ResponseGridTest.cpp expects. With --cpp it prints instead the coefficient
rows of BiquadTest's reference table. Standard library only:

    python3 tests/dsp/reference/biquad_reference.py [--cpp]
"""
import math
import struct
import sys

TWO_PI = 6.283185307179586
PI = 3.141592653589793
FS = 48000.0
FIXED_Q_ANGLE = {14: 0.5235987755982988, 16: 1.5707963267948966,
                 18: 0.39269908169872414, 20: 1.1780972450961724}


def fixed_q(code):
    lp = code & ~1
    if lp == 8:
        return 1 / 3 ** 0.5
    if lp == 12:
        return 1 / 2 ** 0.5
    return 1 / (2 * math.sin(FIXED_Q_ANGLE[lp]))


def design(code, f0, gain, q, extra=0.0, fs=FS):
    w0 = TWO_PI * f0 / fs
    c, s = math.cos(w0), math.sin(w0)
    G = 10 ** (gain / 20)
    A = 10 ** (gain / 40)
    if code in (6, 7):
        K = math.tan(PI * f0 / fs)
        if code == 7:
            K = 1 / K
        eps = math.sqrt(10 ** 0.010000000000000002 - 1)
        v = 0.5 * math.sqrt(math.log(1 / eps ** 2 + 1 + 1 / eps))
        p = math.sinh(v) * K
        r = math.sin(2.356194490192345) * K
        k = math.cos(2.356194490192345)
        D = 1 - 2 * k * p + p * p + r * r
        a1 = 2 * (r * r + p * p - 1) / D
        if code == 7:
            a1 = -a1
        a2 = (1 + 2 * k * p + p * p + r * r) / D
        g = G * (r * r + p * p) / D * math.sqrt(1 / (1 + eps * eps))
        return g, (2 * g if code == 6 else -2 * g), g, a1, a2
    if code in (10, 11):
        a0 = 1 + c + s
        a1 = (s - c - 1) / a0
        if code == 10:
            b0 = G * s / a0
            return b0, b0, 0.0, a1, 0.0
        b0 = G * (1 + c) / a0
        return b0, -b0, 0.0, a1, 0.0
    if 8 <= code <= 21:
        q = fixed_q(code)
        code = 2 if code % 2 == 0 else 3
    alpha = s / (2 * q)
    if code == 1:
        E = 10 ** (extra / 20)
        a0 = 1 + alpha / A
        t = ((1 + alpha * A) * E, -2 * c * E, (1 - alpha * A) * E, -2 * c, 1 - alpha / A)
    elif code == 2:
        a0 = 1 + alpha
        t = (G * (1 - c) / 2, G * (1 - c), G * (1 - c) / 2, -2 * c, 1 - alpha)
    elif code == 3:
        a0 = 1 + alpha
        t = (G * (1 + c) / 2, -G * (1 + c), G * (1 + c) / 2, -2 * c, 1 - alpha)
    elif code in (4, 5):
        m = math.sqrt(A) * s / q
        if code == 4:
            a0 = (A + 1) + (A - 1) * c + m
            t = (A * ((A + 1) - (A - 1) * c + m), 2 * A * ((A - 1) - (A + 1) * c),
                 A * ((A + 1) - (A - 1) * c - m), -2 * ((A - 1) + (A + 1) * c),
                 (A + 1) + (A - 1) * c - m)
        else:
            a0 = (A + 1) - (A - 1) * c + m
            t = (A * ((A + 1) + (A - 1) * c + m), -2 * A * ((A - 1) + (A + 1) * c),
                 A * ((A + 1) + (A - 1) * c - m), 2 * ((A - 1) - (A + 1) * c),
                 (A + 1) - (A - 1) * c - m)
    else:
        I = 10 ** (extra / 40)
        a0 = 1 + alpha
        t = ((1 - alpha) * I, -2 * c * I, (1 + alpha) * I, -2 * c, 1 - alpha)
    return tuple(x / a0 for x in t)


def magnitude_db(co, f, fs=FS):
    b0, b1, b2, a1, a2 = co
    phi = math.sin(PI * f / fs) ** 2
    n = (b0 + b1 + b2) ** 2 - 4 * (b0 * b1 + 4 * b0 * b2 + b1 * b2) * phi + 16 * b0 * b2 * phi * phi
    d = (1 + a1 + a2) ** 2 - 4 * (a1 + 4 * a2 + a1 * a2) * phi + 16 * a2 * phi * phi
    return 10 * math.log10(n) - 10 * math.log10(d)


SECTIONS = [  # (code, f0, gain, q, probe Hz)
    (1, 1000, 0, 1.41, 1000), (1, 1000, 6, 1.41, 1000), (1, 1000, 6, 1.41, 500),
    (2, 1000, 0, 0.7071, 1000), (2, 1000, 6, 0.7071, 20),
    (12, 1000, 0, 5, 1000), (13, 1000, 0, 5, 1000), (16, 1000, 0, 5, 1000), (17, 1000, 0, 5, 1000),
    (8, 1000, 0, 5, 1000), (9, 1000, 0, 5, 1000), (10, 1000, 0, 5, 1000), (11, 1000, 0, 5, 1000),
    (14, 1000, 0, 5, 1000), (15, 1000, 0, 5, 1000), (18, 1000, 0, 5, 1000), (19, 1000, 0, 5, 1000),
    (20, 1000, 0, 5, 1000), (21, 1000, 0, 5, 1000),
    (6, 1000, 0, 5, 1000), (6, 1000, 0, 5, 20), (6, 1000, 0, 5, 10000),
    (7, 1000, 0, 5, 1000), (7, 1000, 0, 5, 100),
    (4, 100, 6, 0.7, 20), (4, 100, 6, 0.7, 10000), (5, 8000, 6, 0.7, 20000),
]

FAMILIES = [  # low-pass sections of crossover families 0..10
    (10, 10, 1, 1), (12, 12, 1, 1), (14, 10, 14, 10), (18, 20, 18, 20), (8, 1, 1, 1),
    (8, 10, 1, 1), (8, 8, 1, 1), (12, 1, 1, 1), (14, 10, 1, 1), (18, 20, 1, 1), (6, 1, 1, 1),
]


def cascade_db(codes, f):
    return sum(magnitude_db(design(code, 1000, 0, 1.41), f) for code in codes)


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def pinned_point(f0, f_min, f_max, plot_width):
    """Grid point pinned to a peaking band's gain: pixel column truncated, then divided
    by the single-precision width of one of the 512 grid steps."""
    column = math.trunc(plot_width * math.log10(f0 / f_min) / math.log10(f_max / f_min))
    return math.trunc(f32(f32(column) / f32(plot_width / 512)))


PINNED = [(1000, 18, 23000, 800), (1000, 18, 23000, 300), (100, 18, 23000, 1000),
          (5000, 18, 23000, 777), (20000, 18, 23000, 800), (1000, 20, 20000, 800)]


def print_summary():
    print("code f0 gain q probe -> dB")
    for code, f0, gain, q, probe in SECTIONS:
        print(f"{code:2d} {f0:5d} {gain:+d} {q:<6} {probe:5d} -> {magnitude_db(design(code, f0, gain, q), probe):+.4f}")
    print("family: LP@500 LP@1000 LP@2000 HP@1000")
    for fam, codes in enumerate(FAMILIES):
        hp = tuple(c if c == 1 else c + 1 for c in codes)
        print(f"{fam:2d}: {cascade_db(codes, 500):+.4f} {cascade_db(codes, 1000):+.4f} "
              f"{cascade_db(codes, 2000):+.4f} {cascade_db(hp, 1000):+.4f}")
    print("f0 fMin fMax plotWidth -> pinned point")
    for f0, f_min, f_max, width in PINNED:
        print(f"{f0} {f_min} {f_max} {width} -> {pinned_point(f0, f_min, f_max, width)}")


# Coefficient rows for BiquadTest's reference table: every code at one setting, plus
# the extra-gain paths and cut shelves. Printed as C++ initialisers with --cpp.
COEFFICIENT_ROWS = [(code, 1000.0, 3.0, 0.9, 0.0) for code in range(23)] + [
    (0, 1000.0, 3.0, 0.9, 2.0), (1, 1000.0, 3.0, 0.9, 2.0),
    (4, 100.0, -6.0, 0.7, 0.0), (5, 8000.0, -6.0, 0.7, 0.0),
]


def print_cpp_rows():
    for code, f0, gain, q, extra in COEFFICIENT_ROWS:
        co = ", ".join(repr(x) for x in design(code, f0, gain, q, extra))
        print(f"      {{{code}, {f0!r}, {gain!r}, {q!r}, {extra!r}, {{{co}}}}},")


if __name__ == "__main__":
    if "--cpp" in sys.argv:
        print_cpp_rows()
    else:
        print_summary()
