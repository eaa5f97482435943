#!/usr/bin/env python3
"""Synthetic room measurements and an independent least-squares optimum for each.

A room is a level curve in dB: a flat base, a slope in dB per octave, an optional
speaker roll-off, room modes as peaks and dips of known frequency, Q and depth (the
peaking biquad's shape), and measurement noise. For each room the script writes a
measurement file in the export format dsptune reads, with the fit it is meant for and
the optimum in '#' comment lines:

    # fit: bands=9 low=20 high=300 max-boost=0 target=flat shelves=1
    # reference: before-rms=3.1416 optimum-rms=0.8123

The optimum is found here, independently of the C++ fit: scipy.optimize.least_squares
(trust-region reflective, box bounds) over the same bands (peaking, and low/high
shelves when allowed), the same limits (frequency in whole hertz inside the fit range
and 20..20000 Hz, gain -15 dB .. max boost, Q 0.1..30 peaking and 0.1..0.707 shelves),
and the same hold on the boost limit for the bands' sum (each point above it adds
10 x the excess as one more residual), on the same grid (48 points per octave from low to high, the measurement interpolated
linearly in log-frequency, aligned to the target by its mean over the grid), from many
starts; the best is kept. The biquads are tests/dsp/reference/biquad_reference.py's.

    python3 tests/autoeq/reference/make_rooms.py            # rewrites tests/autoeq/data
    python3 tests/autoeq/reference/make_rooms.py --examples DIR   # realistic rooms only
"""
import math
import os
import sys

import numpy as np
from scipy.optimize import least_squares

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "dsp", "reference"))
from biquad_reference import design  # noqa: E402

FS = 48000.0
PER_OCTAVE = 48
PEQ, LS, HS = 1, 4, 5
BOOST_WEIGHT = 10.0
MAX_Q = {PEQ: 30.0, LS: 0.707, HS: 0.707}


def magnitude_db(code, f0, gain, q, phi):
    b0, b1, b2, a1, a2 = design(code, f0, gain, q)
    n = (b0 + b1 + b2) ** 2 - 4 * (b0 * b1 + 4 * b0 * b2 + b1 * b2) * phi + 16 * b0 * b2 * phi * phi
    d = (1 + a1 + a2) ** 2 - 4 * (a1 + 4 * a2 + a1 * a2) * phi + 16 * a2 * phi * phi
    return 10 * np.log10(n) - 10 * np.log10(d)


def phi_of(hz):
    return np.sin(math.pi * hz / FS) ** 2


def log_grid(lo, hi, per_octave=PER_OCTAVE):
    steps = max(1, math.ceil(math.log2(hi / lo) * per_octave - 1e-9))
    return lo * (hi / lo) ** (np.arange(steps + 1) / steps)


def target_db(text, hz):
    if text == "flat":
        return np.zeros_like(hz)
    bass, corner, tilt = (float(x) for x in text[len("house:"):].split(","))
    return bass / (1 + (hz / corner) ** 2) + tilt * np.log2(hz / 1000.0)


class Room:
    def __init__(self, name, seed, modes, slope=0.0, rolloff=None, noise=0.3, bands=9, low=20.0, high=300.0,
                 max_boost=0.0, target="flat", shelves=True, start=15.0, stop=22000.0, level=75.0):
        self.__dict__.update(locals())
        del self.__dict__["self"]

    def sections(self):
        out = [design(PEQ, f0, depth, q) for f0, q, depth in self.modes]
        if self.rolloff:
            out.append(design(3, self.rolloff, 0.0, 0.707))
        return out

    def phase_deg(self, hz):
        z = np.exp(-2j * math.pi * hz / FS)
        h = np.ones_like(z)
        for b0, b1, b2, a1, a2 in self.sections():
            h = h * (b0 + b1 * z + b2 * z * z) / (1 + a1 * z + a2 * z * z)
        return np.degrees(np.angle(h))

    def level_db(self, hz):
        phi = phi_of(hz)
        out = self.level + self.slope * np.log2(hz / 1000.0)
        if self.rolloff:
            out = out + magnitude_db(3, self.rolloff, 0.0, 0.707, phi)  # the speaker's own high-pass
        for f0, q, depth in self.modes:
            out = out + magnitude_db(PEQ, f0, depth, q, phi)
        rng = np.random.default_rng(self.seed)
        noise = rng.normal(0.0, self.noise, hz.size)
        # Neighbouring points of a real measurement are not independent: a short moving average.
        noise = np.convolve(noise, np.ones(3) / 3, mode="same")
        return out + noise


ROOMS = [
    Room("bass-modes", 1, [(42, 6, 9), (68, 9, 6), (107, 7, -8), (156, 4, 5), (230, 5, 4)]),
    Room("bass-house-target", 2, [(38, 5, 7), (55, 8, 8), (90, 6, -6), (140, 5, 6)], target="house:6,120,-0.5"),
    Room("deep-null-cuts-only", 3, [(47, 6, 7), (88, 12, -30), (125, 6, 6), (190, 4, 4)]),
    Room("deep-null-small-boost", 4, [(52, 5, 6), (88, 12, -30), (150, 5, 5)], max_boost=3.0),
    Room("full-range-15", 5, [(45, 5, 8), (80, 7, -6), (120, 6, 5), (350, 3, 3), (900, 2, -3), (2500, 3, 4),
                               (6000, 2, -4), (11000, 3, 3)], slope=-0.4, rolloff=35, bands=15, high=20000.0,
         max_boost=6.0),
    Room("full-range-tilt-shelves", 6, [(60, 4, 6), (130, 5, -5), (700, 2, 3), (4000, 2, -3)], slope=-1.0,
         bands=15, high=20000.0, max_boost=6.0),
    Room("music-midrange", 7, [(150, 4, 5), (320, 6, -5), (600, 3, 4), (1200, 4, -3)], bands=10, low=100.0,
         high=2000.0, max_boost=6.0),
    Room("record-broad", 8, [(200, 1, 4), (3000, 1.5, -4)], slope=0.5, bands=5, high=20000.0, max_boost=6.0),
    Room("effect-midband", 9, [(90, 3, 5), (400, 4, -6), (1500, 3, 5), (3500, 5, 4)], bands=7, low=50.0,
         high=5000.0, max_boost=3.0),
    Room("narrow-low-modes", 10, [(24, 10, 8), (31, 12, 7), (48, 15, 6), (77, 10, -5)], bands=6, low=20.0,
         high=120.0),
]

# Realistic rooms for the examples: a living room's bass, a home-theatre sub, a full range.
# Each in another export style: spaces with '*' comments and phase; CSV with a header;
# tabs without phase.
EXAMPLES = [
    ("living-room-left.txt", Room("living-room-left", 21, [(38, 6, 8), (57, 9, 7), (86, 10, -12), (118, 5, 5),
                                                           (170, 4, -4), (240, 6, 3), (1800, 2, -2), (7000, 2, 2)],
                                  slope=-0.3, rolloff=30, noise=0.4, bands=15, high=20000.0, max_boost=3.0)),
    ("living-room-right.csv", Room("living-room-right", 22, [(36, 6, 6), (59, 9, 8), (84, 10, -9), (125, 5, 6),
                                                             (165, 4, -3), (250, 6, 4), (1900, 2, -2), (7500, 2, 2)],
                                   slope=-0.3, rolloff=30, noise=0.4, bands=15, high=20000.0, max_boost=3.0)),
    ("theatre-sub.txt", Room("theatre-sub", 23, [(29, 7, 9), (44, 10, -14), (63, 8, 7), (95, 6, 4)],
                             rolloff=22, noise=0.3, bands=9, high=200.0, stop=400.0)),
]


def measurement_points(room):
    return log_grid(room.start, room.stop)


def fit_inputs(room, hz_file, level_file):
    """What the fit sees on its grid: the interpolated, aligned measurement and the target."""
    grid = log_grid(room.low, room.high)
    meas = np.interp(np.log(grid), np.log(hz_file), level_file)
    target = target_db(room.target, grid)
    meas = meas + np.mean(target - meas)
    return grid, target - meas


def band_bounds(room, code):
    lo, hi = math.ceil(max(room.low, 20.0) - 1e-9), math.floor(min(room.high, 20000.0) + 1e-9)
    return ([math.log(lo), -15.0, math.log(0.1)], [math.log(hi), math.floor(room.max_boost * 10 + 1e-9) / 10,
                                                    math.log(MAX_Q[code])])


def solve(room, grid, wanted, codes, x0):
    phi = phi_of(grid)
    lows, highs = [], []
    for code in codes:
        lo, hi = band_bounds(room, code)
        lows += lo
        highs += hi
    lows, highs = np.array(lows), np.array(highs)
    x0 = np.clip(x0, lows + 1e-9, highs - 1e-9)

    def curve(k, code, x):
        return magnitude_db(code, math.exp(x[3 * k]), x[3 * k + 1], math.exp(x[3 * k + 2]), phi)

    max_boost = highs[1]
    holds_boost = max_boost > 0

    def eq_db(x):
        total = np.zeros_like(wanted)
        for k, code in enumerate(codes):
            total += curve(k, code, x)
        return total

    def residual(x):
        eq = eq_db(x)
        if not holds_boost:
            return eq - wanted
        return np.concatenate([eq - wanted, BOOST_WEIGHT * np.maximum(0.0, eq - max_boost)])

    steps = np.array([1e-6, 1e-5, 1e-6])

    def jacobian(x):
        # Central differences band by band: a band's parameters move only its own curve.
        jac = np.empty((grid.size, x.size))
        for k, code in enumerate(codes):
            for j in range(3):
                up, down = x.copy(), x.copy()
                up[3 * k + j] += steps[j]
                down[3 * k + j] -= steps[j]
                jac[:, 3 * k + j] = (curve(k, code, up) - curve(k, code, down)) / (2 * steps[j])
        if not holds_boost:
            return jac
        over = (eq_db(x) > max_boost)[:, None]
        return np.vstack([jac, np.where(over, BOOST_WEIGHT * jac, 0.0)])

    r = least_squares(residual, x0, jac=jacobian, bounds=(lows, highs), method="trf", max_nfev=300)
    return float(np.sum(r.fun ** 2)), float(np.sqrt(np.mean(r.fun[:grid.size] ** 2)))


def starts(room, grid, wanted, codes, rng, count):
    """Random starts, and one that puts each peaking band on the next-largest deviation."""
    lo, hi = band_bounds(room, PEQ)
    out = []
    order = np.argsort(-np.abs(wanted))
    peaks = []
    for i in order:  # largest deviations at least 1/6 octave apart
        if all(abs(math.log2(grid[i] / grid[j])) > 1 / 6 for j in peaks):
            peaks.append(i)
    x = []
    n = 0
    for code in codes:
        if code == LS:
            x += [math.log(grid[0] * 2), 0.0, math.log(0.7)]
        elif code == HS:
            x += [math.log(grid[-1] / 2), 0.0, math.log(0.7)]
        else:
            i = peaks[n % len(peaks)]
            n += 1
            x += [math.log(grid[i]), float(np.clip(wanted[i], -15, hi[1])), math.log(4.0)]
    out.append(np.array(x))
    for _ in range(count):
        x = []
        for code in codes:
            x += [rng.uniform(lo[0], hi[0]), rng.uniform(-6, min(hi[1], 6) if hi[1] > 0 else 0), rng.uniform(0, 2.5)]
        out.append(np.array(x))
    return out


def reference_optimum(room, grid, wanted, tries=6):
    rng = np.random.default_rng(1000 + room.seed)
    configs = [[PEQ] * room.bands]
    if room.shelves and room.bands >= 2:
        configs += [[LS] + [PEQ] * (room.bands - 1), [PEQ] * (room.bands - 1) + [HS]]
        if room.bands >= 3:
            configs.append([LS] + [PEQ] * (room.bands - 2) + [HS])
    best = (float(np.sum(wanted ** 2)), float(np.sqrt(np.mean(wanted ** 2))))
    for codes in configs:
        for x0 in starts(room, grid, wanted, codes, rng, tries):
            best = min(best, solve(room, grid, wanted, codes, x0))
    return best[1]  # the deviation of the least total (deviation and boost-limit) cost


def write_room(path, room, with_reference):
    hz = measurement_points(room)
    level = np.round(room.level_db(hz), 3)
    phase = np.round(room.phase_deg(hz), 1)
    if path.endswith(".csv"):
        lines = ["Frequency (Hz),SPL (dB),Phase (degrees)"]
        lines += [f"{f:.3f},{l:.3f},{p:.1f}" for f, l, p in zip(hz, level, phase)]
    else:
        lines = [f"* dsptune synthetic room '{room.name}' (tests/autoeq/reference/make_rooms.py)"]
        if with_reference:
            grid, wanted = fit_inputs(room, hz, level)
            before = float(np.sqrt(np.mean(wanted ** 2)))
            optimum = reference_optimum(room, grid, wanted)
            lines.append(f"# fit: bands={room.bands} low={room.low:g} high={room.high:g} "
                         f"max-boost={room.max_boost:g} target={room.target} shelves={int(room.shelves)}")
            lines.append(f"# reference: before-rms={before:.4f} optimum-rms={optimum:.4f}")
            print(f"{room.name:26s} before {before:6.3f} dB  reference optimum {optimum:6.3f} dB", flush=True)
        if room.name == "theatre-sub":
            lines.append("* Frequency (Hz)\tSPL (dB)")
            lines += [f"{f:.3f}\t{l:.3f}" for f, l in zip(hz, level)]
        else:
            lines.append("* Frequency (Hz), SPL (dB), phase (degrees)")
            lines += [f"{f:.3f} {l:.3f} {p:.1f}" for f, l, p in zip(hz, level, phase)]
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def main():
    if "--examples" in sys.argv:
        folder = sys.argv[sys.argv.index("--examples") + 1]
        os.makedirs(folder, exist_ok=True)
        for name, room in EXAMPLES:
            write_room(os.path.join(folder, name), room, False)
        return
    folder = os.path.join(HERE, "..", "data")
    os.makedirs(folder, exist_ok=True)
    only = sys.argv[1:]
    for room in ROOMS:
        if only and room.name not in only:
            continue
        write_room(os.path.join(folder, f"room-{room.name}.txt"), room, True)


if __name__ == "__main__":
    main()
