#!/usr/bin/env python3
"""Generates measure/demodata_tables.cpp, the built-in demonstration spectrum.

One machine turning at 32 Hz (line 68 at 0.47 Hz per line): its rotation
harmonics, a few gear/blade components near them, a falling background and a
broad high-frequency hump, with a fixed pseudo-random noise floor. The lines
fixed by the instrument's documented behaviour are set exactly and checked.

Usage: gen_demodata.py [output.cpp]   (default: measure/demodata_tables.cpp
beside this repository). Standard library only; the output is reproducible.
"""
import math
import os
import sys

LINES = 3200
TARGET_MEAN = 254
DIFF_K = 0.00785  # per line: the derivative grows with frequency
INTG_K = 85.4     # per line: the integral falls with frequency

HEAD = [0, 0, 149, 218, 335, 233, 205, 117, 787, 841, 584, 402, 450, 533, 1562, 653]
TAIL = [94, 80, 113, 139, 141, 86, 183, 129, 65, 113]  # lines 3190..3199
# Strongest lines, largest first.
PEAKS = [(68, 25040), (137, 21802), (98, 17847), (117, 16385), (136, 16292), (129, 12563),
         (118, 12053), (176, 10395), (175, 7205), (116, 6587), (166, 6437), (204, 5814)]
DIFF_HEAD = [0, 0, 3, 6, 11, 10, 10, 7, 50, 60, 46, 35, 43, 55, 172, 77]
INTG_HEAD = [0, 0, 6323, 6157, 7105, 3949, 2890, 1419, 8345, 7928, 4955, 3095, 3180, 3477, 9470, 3696]
DIFF_MAX = (137, 23459)
INTG_MAX = (68, 31256)
DIFF_LAST = 4228  # line 3200
SMALL_PEAK_CAP = PEAKS[-1][1] - 1  # nothing else reaches the 12th peak


class Rng:
    """xorshift32, so that the tables never depend on the library version."""

    def __init__(self, seed):
        self.s = seed & 0xFFFFFFFF

    def next(self):
        s = self.s
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.s = s
        return s / 4294967296.0


def background(rng):
    """Falling background with a hump near line 1800, noisy, before scaling."""
    out = []
    for k in range(LINES):
        base = 95.0 + 330.0 * math.exp(-k / 320.0) + 60.0 * math.exp(-((k - 1800.0) / 330.0) ** 2)
        noise = 0.45 + 1.1 * rng.next()  # spread of a noise floor
        out.append(base * noise)
    return out


def harmonics():
    """Rotation harmonics 4x and up with a little leakage to the neighbours."""
    extra = {}
    f0 = 68.33
    for h in range(4, 47):
        centre = h * f0
        k = int(round(centre))
        if k + 1 >= 3190:
            break
        amp = 4700.0 * (h / 4.0) ** -1.25
        for dk, share in ((-1, 0.32), (0, 1.0), (1, 0.32)):
            extra[k + dk] = extra.get(k + dk, 0.0) + amp * share
    # Leakage beside the listed peaks, kept well below the smallest of them.
    for k, v in PEAKS:
        for dk in (-2, -1, 1, 2):
            j = k + dk
            if all(j != p for p, _ in PEAKS):
                share = 0.18 if abs(dk) == 1 else 0.05
                extra[j] = max(extra.get(j, 0.0), min(v * share, 4500.0))
    return extra


def build_spec():
    rng = Rng(0x5EC7AB1E)
    bg = background(rng)
    extra = harmonics()
    fixed = {k: v for k, v in enumerate(HEAD)}
    fixed.update({3190 + i: v for i, v in enumerate(TAIL)})
    fixed.update(dict(PEAKS))
    free = [k for k in range(LINES) if k not in fixed]
    # Scale the background so that the table's mean comes out at the target.
    want = TARGET_MEAN * LINES - sum(fixed.values()) - sum(extra.get(k, 0.0) for k in free)
    f = want / sum(bg[k] for k in free)
    spec = [0] * LINES
    for k in range(LINES):
        if k in fixed:
            spec[k] = fixed[k]
        else:
            spec[k] = max(1, min(SMALL_PEAK_CAP, int(round(bg[k] * f + extra.get(k, 0.0)))))
    # Rounding leaves a few counts over or under the target sum; spread them
    # over background lines far from any peak.
    diff = TARGET_MEAN * LINES - sum(spec)
    k = 400
    while diff != 0:
        if k not in fixed and k not in extra:
            step = 1 if diff > 0 else -1
            if spec[k] + step >= 1:
                spec[k] += step
                diff -= step
        k = 400 + (k - 400 + 7) % 2700
    return spec


def build_diff(spec):
    d = [float(round(spec[k] * k * DIFF_K)) for k in range(LINES)] + [float(DIFF_LAST)]
    for k, v in enumerate(DIFF_HEAD):
        d[k] = float(v)
    d[DIFF_MAX[0]] = float(DIFF_MAX[1])
    return d


def build_intg(spec):
    g = [0.0, 0.0] + [float(round(spec[k] * INTG_K / k)) for k in range(2, LINES)]
    for k, v in enumerate(INTG_HEAD):
        g[k] = float(v)
    g[INTG_MAX[0]] = float(INTG_MAX[1])
    return g


def check(spec, diff, intg):
    assert len(spec) == LINES and len(diff) == LINES + 1 and len(intg) == LINES
    assert spec[0] == 0 and spec[1] == 0 and all(v > 0 for v in spec[2:])
    assert max(spec) == 25040 and min(spec) == 0
    assert spec[:16] == HEAD and spec[3190:] == TAIL
    order = sorted(range(LINES), key=lambda k: -spec[k])[:12]
    assert [(k, spec[k]) for k in order] == PEAKS, order
    others = [spec[k] for k in range(LINES) if k not in dict(PEAKS)]
    assert max(others) < PEAKS[-1][1]
    assert round(sum(spec) / LINES) == TARGET_MEAN
    for k in range(2, LINES):
        ref_d = spec[k] * k * DIFF_K
        ref_i = spec[k] * INTG_K / k
        assert abs(diff[k] - ref_d) <= max(1.0, 0.01 * ref_d), (k, diff[k], ref_d)
        assert abs(intg[k] - ref_i) <= max(1.0, 0.01 * ref_i), (k, intg[k], ref_i)
    assert diff[0] == diff[1] == 0 and intg[0] == intg[1] == 0
    assert max(diff) == DIFF_MAX[1] and diff.index(max(diff)) == DIFF_MAX[0]
    assert sum(1 for v in diff if v == DIFF_MAX[1]) == 1
    assert max(intg) == INTG_MAX[1] and intg.index(max(intg)) == INTG_MAX[0]
    assert sum(1 for v in intg if v == INTG_MAX[1]) == 1
    assert diff[LINES] == DIFF_LAST and max(diff) < 32768 and max(intg) < 32768


def emit(name, ctype, values, fmt):
    lines = [f"const {ctype} {name}[{len(values)}] = {{"]
    for i in range(0, len(values), 12):
        lines.append("    " + ", ".join(fmt(v) for v in values[i:i + 12]) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "measure", "demodata_tables.cpp")
    spec = build_spec()
    diff = build_diff(spec)
    intg = build_intg(spec)
    check(spec, diff, intg)
    text = "\n\n".join([
        "// Generated by tools/demodata/gen_demodata.py; do not edit.\n#include \"demodata.h\"",
        emit("SpecTab", "std::int16_t", spec, str),
        emit("SpecTabDiff", "float", diff, lambda v: f"{int(v)}.0f"),
        emit("SpecTabIntg", "float", intg, lambda v: f"{int(v)}.0f"),
    ]) + "\n"
    with open(out, "w", encoding="ascii", newline="\n") as fh:
        fh.write(text)
    print(f"{out}: mean {sum(spec) / LINES:.2f}, max diff {max(diff):.0f}, max intg {max(intg):.0f}")


if __name__ == "__main__":
    main()
