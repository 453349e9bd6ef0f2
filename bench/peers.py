#!/usr/bin/python3
"""Sinora's reconstructions timed beside other programs doing the same work, interleaved.

- OSEM 10 subsets x 4 iterations of one 128 slice (120 views) and of the whole 128^3 volume:
  scipy.sparse with a system matrix of Sinora's own geometry (its bin rule, pi as 3.1415), built
  once and not timed; the volume as one sparse x dense product for all rows at once.
- FBP of the slice: scikit-image's iradon with its ramp filter.

The study (the noisy Jaszczak phantom) and our OSEM slice come from sinora-recon-bench through a
pipe; nothing is written to disk. Each round times ours (Google Benchmark, JSON) and the peers in
turn; the figures are medians over the rounds. Ratios are peer time / ours (above 1: we are
faster). Each round also times our 256^3/120 volume in the same run as the 128^3/120 one, for
their ratio. After the rounds, our own goals: the 256/360 volumes, a new study's first slice,
and an OSEM slice against the processor's floor: 53 G adds/s a core with AVX-512 and 27 G with
AVX2 (measured on this machine when it ran fast) and, beside them, the rate sinora-floor-bench
measures in each round (the clock of a shared virtual machine wanders; the slice and its floor
then move together).

Usage: bench/peers.py [--build DIR] [--rounds N]   (Debian: python3-scipy, python3-skimage)
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import time

import numpy as np
import scipy.sparse as sp
from skimage.transform import iradon

ROOT = pathlib.Path(__file__).resolve().parent.parent
PI = 3.1415  # the program's pi for angles

# Pixel-bin additions per second of one core (this machine's floor, measured when it ran fast).
FLOOR_ADDS_PER_S = {"AVX-512": 53e9, "AVX2": 27e9}


def read_study(bench, what):
    out = subprocess.run([str(bench), "--write-study", what], check=True, capture_output=True).stdout
    head, rest = out.split(b"\n", 1)
    views, rows, bins = map(int, head.split())
    angles = []
    for _ in range(views):
        line, rest = rest.split(b"\n", 1)
        angles.append(float(line))
    n = views * rows * bins
    counts = np.frombuffer(rest[: 2 * n], dtype=np.uint16).reshape(views, rows, bins)
    ours = np.frombuffer(rest[2 * n: 2 * n + 8 * bins * bins], dtype=np.float64)
    return np.array(angles), counts, ours


def system_matrix(angles, bins):
    """A[k * B + bin, i * B + j] = 1 where pixel (i, j) falls in that bin of view k."""
    c = bins // 2
    i, j = np.meshgrid(np.arange(bins), np.arange(bins), indexing="ij")
    rows, cols = [], []
    for k, deg in enumerate(angles):
        theta = deg * PI / 180
        s = (j - c) * np.sin(theta) + (i - c) * np.cos(theta)
        b = np.where(s >= 0, np.trunc(s + 0.5), np.trunc(s - 0.5)).astype(int) + c
        ok = (b >= 0) & (b < bins)
        rows.append(k * bins + b[ok])
        cols.append((i * bins + j)[ok])
    rows, cols = np.concatenate(rows), np.concatenate(cols)
    return sp.csr_matrix((np.ones(rows.size), (rows, cols)), shape=(len(angles) * bins, bins * bins))


def subset_order(m):
    order, used = [0], {0}
    apart = lambda a, b: min(abs(a - b), m - abs(a - b))
    while len(order) < m:
        best = max((c for c in range(m) if c not in used),
                   key=lambda c: (min(apart(c, u) for u in order), apart(c, order[-1]), -c))
        order.append(best)
        used.add(best)
    return order


class Osem:
    """OSEM as Sinora defines it, for one image or the columns of a matrix of images."""

    def __init__(self, a, views, bins, subsets):
        self.order = subset_order(subsets)
        self.parts = []
        for m in range(subsets):
            idx = np.concatenate([np.arange(k * bins, (k + 1) * bins) for k in range(m, views, subsets)])
            am = a[idx].tocsr()
            amt = am.T.tocsr()
            self.parts.append((idx, am, amt, np.asarray(amt.sum(axis=1)).ravel()))
        c = bins // 2
        i, j = np.meshgrid(np.arange(bins), np.arange(bins), indexing="ij")
        self.start = (((i - c) ** 2 + (j - c) ** 2) < c * c).astype(float).ravel()

    def run(self, y, iterations):
        f = self.start.copy() if y.ndim == 1 else np.repeat(self.start[:, None], y.shape[1], axis=1)
        for _ in range(iterations):
            for m in self.order:
                idx, am, amt, s = self.parts[m]
                af = am @ f
                ratio = np.divide(y[idx], af, out=np.zeros_like(af), where=af > 0)
                back = amt @ ratio
                sb = s if f.ndim == 1 else np.broadcast_to(s[:, None], f.shape)
                f = np.divide(f, sb, out=np.zeros_like(f), where=sb > 0) * back
        return f


def timed(fn, repeat):
    walls, cpus = [], []
    for _ in range(repeat):
        w, c = time.perf_counter(), time.process_time()
        fn()
        walls.append(time.perf_counter() - w)
        cpus.append(time.process_time() - c)
    return statistics.median(walls), statistics.median(cpus)


def ours(bench, names, repetitions=3):
    """Median wall and CPU seconds of each named benchmark."""
    pattern = "^(" + "|".join(names) + ")(/(iterations|process_time|manual_time).*)?$"
    out = subprocess.run([str(bench), "--benchmark_filter=" + pattern, "--benchmark_format=json",
                          f"--benchmark_repetitions={repetitions}"],
                         check=True, capture_output=True, text=True).stdout
    runs = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
        name = "/".join(p for p in b["run_name"].split("/")
                        if not p.startswith(("iterations:", "process_time", "manual_time")))
        runs.setdefault(name, []).append((b["real_time"] * scale, b["cpu_time"] * scale))
    return {n: (statistics.median(w for w, _ in r), statistics.median(c for _, c in r)) for n, r in runs.items()}


def measured_adds(floor_bench):
    """Contiguous vector adds a second of one core, by instruction set, as measured now."""
    if not floor_bench.exists():
        return {}
    out = subprocess.run([str(floor_bench), "--benchmark_filter=^ContiguousAdds/", "--benchmark_format=json",
                          "--benchmark_repetitions=3"], check=True, capture_output=True, text=True).stdout
    rates = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") == "iteration" and "items_per_second" in b:
            isa = {"avx512": "AVX-512", "avx2": "AVX2"}[b["run_name"].split("/")[1]]
            rates.setdefault(isa, []).append(b["items_per_second"])
    return {isa: max(r) for isa, r in rates.items()}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=str(ROOT / "build"))
    ap.add_argument("--rounds", type=int, default=5)
    args = ap.parse_args()
    bench = pathlib.Path(args.build) / "bench" / "sinora-recon-bench"
    if not bench.exists():
        sys.exit(f"peers.py: {bench} is missing (build first)")
    print(f"load before: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f}")

    angles, counts, our_slice = read_study(bench, "128x120")
    views, rows, bins = counts.shape
    a = system_matrix(angles, bins)  # built once, not timed
    osem = Osem(a, views, bins, 10)
    row = rows // 2
    y_slice = counts[:, row, :].astype(float).ravel()
    y_volume = counts.transpose(0, 2, 1).reshape(views * bins, rows).astype(float)
    peer_slice = osem.run(y_slice, 4)
    print(f"scipy.sparse OSEM slice vs ours: largest difference {np.max(np.abs(peer_slice - our_slice)):.3g} "
          f"(of values up to {our_slice.max():.4g})")
    sinogram = counts[:, row, :].astype(float).T  # bins x views, as iradon takes it

    names = {"osem slice": "OsemSlice/128x120/threads:1", "osem volume": "OsemVolume/128x120",
             "fbp slice": "FbpSlice/128x120"}
    peers = {"osem slice": (lambda: osem.run(y_slice, 4), 5),
             "osem volume": (lambda: osem.run(y_volume, 4), 1),
             "fbp slice": (lambda: iradon(sinogram, theta=angles, filter_name="ramp", circle=True), 5)}
    got = {k: {"ours": [], "peer": []} for k in names}
    floor_bench = bench.parent / "sinora-floor-bench"
    rates = {}  # the measured adds a second, each round
    big_over_small = []  # OsemVolume/256x120 over OsemVolume/128x120, each round (one run of ours)
    for r in range(args.rounds):
        first_ours = r % 2 == 0
        if not first_ours:
            for k, (fn, rep) in peers.items():
                got[k]["peer"].append(timed(fn, rep))
        mine = ours(bench, list(names.values()) + ["OsemVolume/256x120"])
        for isa, rate in measured_adds(floor_bench).items():
            rates.setdefault(isa, []).append(rate)
        for k, n in names.items():
            got[k]["ours"].append(mine[n])
        big_over_small.append([mine["OsemVolume/256x120"][i] / mine["OsemVolume/128x120"][i] for i in (0, 1)])
        if first_ours:
            for k, (fn, rep) in peers.items():
                got[k]["peer"].append(timed(fn, rep))

    med = lambda xs, i: statistics.median(x[i] for x in xs)
    print(f"\n{'task':<14}{'ours wall':>12}{'peer wall':>12}{'ratio':>8}{'ours cpu':>12}{'peer cpu':>12}{'ratio':>8}  goal")
    goals = {"osem slice": 5, "osem volume": 15, "fbp slice": 30}
    for k in names:
        ow, pw = med(got[k]["ours"], 0), med(got[k]["peer"], 0)
        oc, pc = med(got[k]["ours"], 1), med(got[k]["peer"], 1)
        print(f"{k:<14}{ow * 1e3:>10.2f}ms{pw * 1e3:>10.2f}ms{pw / ow:>8.1f}{oc * 1e3:>10.2f}ms{pc * 1e3:>10.2f}ms"
              f"{pc / oc:>8.1f}  >= {goals[k]}")

    # Our own goals, once.
    extra = ours(bench, ["OsemVolume/256x360", "FbpVolume/256x360", "FirstSliceOfNewStudy/256x360"],
                 repetitions=1)
    ratio, ratio_cpu = (statistics.median(x[i] for x in big_over_small) for i in (0, 1))
    print(f"\nOSEM volume 256^3/120 over 128^3/120 (median of the rounds' ratios): {ratio:.1f} wall, "
          f"{ratio_cpu:.1f} CPU (goal at most 10; bins^{np.log(ratio) / np.log(2):.2f} with the rows)")
    allslices = extra["OsemVolume/256x360"][0] + extra["FbpVolume/256x360"][0]
    print(f"全スライス 256^3/360 (FBP + OSEM volumes): {allslices:.2f} s (goal under 10 s)")
    print(f"first slice of a new 256/360 study: {extra['FirstSliceOfNewStudy/256x360'][0] * 1e3:.0f} ms"
          " (goal under 300 ms)")
    inside = osem.start.astype(bool)
    adds = 2 * 4 * a[:, inside].nnz  # a projection and a backprojection per iteration
    slice_wall, slice_cpu = med(got["osem slice"]["ours"], 0), med(got["osem slice"]["ours"], 1)
    for isa, rate in FLOOR_ADDS_PER_S.items():
        floor = adds / rate
        print(f"OSEM slice floor ({isa}, {adds / 1e6:.1f} M pixel-bin adds): {floor * 1e3:.3f} ms; ours "
              f"{slice_cpu / floor:.1f}x it (CPU), {slice_wall / floor:.1f}x (wall) (goal within 8x)")
        if rates.get(isa):
            now = statistics.median(rates[isa])
            print(f"  this run's measured rate {now / 1e9:.1f} G adds/s: floor {adds / now * 1e3:.3f} ms; "
                  f"ours {slice_cpu / (adds / now):.1f}x it (CPU)")
    print(f"load after: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f}")


if __name__ == "__main__":
    main()
