#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns benchmark output into the tables our speed targets are stated in.

  summarise.py RUN...   RUN: JSON from lz_bench or picture_bench
                        (--benchmark_out=FILE --benchmark_out_format=json), or
                        lz_bench_win32's text output

lz_bench: one table per stream decoder, MB/s for ours, the plain decoder and memcpy, the
ratios, and the geometric mean of ours/plain over the pictures.
picture_bench: plain's time / our time per picture, their geometric mean per mode and over
every mode, and the lowest picture.

A benchmark's figure in one RUN is the median of its repetitions (--benchmark_repetitions).
lz_bench's figures are the medians over every RUN given; picture_bench's ratios are the
median of each RUN's ratio, with their lowest and highest value when there are several. On a
shared machine both decoders' speeds drift over seconds and from one process to the next, so
give several runs, each made with --benchmark_enable_random_interleaving=true."""
import json
import math
import statistics
import sys
from collections import defaultdict


def read_json(text):
    """{benchmark name: [MB/s or ns of each run]}, and whether it is a picture_bench run."""
    benchmarks = json.loads(text)["benchmarks"]
    samples = defaultdict(list)
    pictures = False
    for b in benchmarks:
        if b.get("run_type") == "aggregate":
            continue
        name = b.get("run_name", b["name"])
        if not name.startswith("BM_Decode"):
            if name.startswith("api/") or not name.endswith(("/ours", "/plain")):
                continue
            pictures = True
            samples[name].append(b["real_time"])  # same unit in every run of one name
        else:
            samples[name].append(b["bytes_per_second"] / 1e6)
    return samples, pictures


def read_text(text):
    """lz_bench_win32's table: a header naming the columns (variant, picture, ours, one per
    path, plain, memcpy, ratio), then a line per variant and picture; "-" for a path the
    variant does not have."""
    lines = text.splitlines()
    header = lines[0].split() if lines else []
    samples = defaultdict(list)
    for line in lines[1:]:
        f = line.split()
        if len(f) != len(header):
            continue
        for kind, value in zip(header[2:], f[2:]):
            if kind != "ratio" and value != "-":
                samples[f"BM_Decode{f[0]}/{f[1]}/{kind}"].append(float(value))
    return samples


def geometric_mean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values))


def summarise_streams(medians):
    rows = defaultdict(dict)  # (variant, picture) -> {kind: MB/s}
    for name, value in medians.items():
        variant, picture, kind = name.split("/")
        rows[(variant.replace("BM_Decode", ""), picture)][kind] = value
    by_variant = defaultdict(list)
    for (variant, picture), r in rows.items():
        by_variant[variant].append((picture, r))
    print("| variant | picture | ours MB/s | plain MB/s | memcpy MB/s | ours/plain | ours/memcpy |")
    print("|---|---|---:|---:|---:|---:|---:|")
    means = {}
    for variant, entries in by_variant.items():
        ratios = []
        for picture, r in sorted(entries):
            ratios.append(r["ours"] / r["plain"])
            memcpy = r.get("memcpy", math.nan)
            print(f"| {variant} | {picture} | {r['ours']:.0f} | {r['plain']:.0f} | "
                  f"{memcpy:.0f} | {ratios[-1]:.2f} | {r['ours'] / memcpy:.2f} |")
        means[variant] = geometric_mean(ratios)
    print()
    print("| variant | geometric mean ours/plain |")
    print("|---|---:|")
    for variant, mean in means.items():
        print(f"| {variant} | {mean:.2f} |")


def picture_ratios(times):
    """{(mode, picture): plain time / our time} for the pictures measured both ways."""
    ratios = {}
    for name, ours in times.items():
        mode, picture, kind = name.split("/")
        plain = times.get(f"{mode}/{picture}/plain")
        if kind == "ours" and plain is not None:
            ratios[(mode, picture)] = plain / ours
    return ratios


def summarise_pictures(runs):
    per_run = [picture_ratios({n: statistics.median(v) for n, v in run.items()}) for run in runs]
    ratios = {key: statistics.median(r[key] for r in per_run if key in r)
              for key in set().union(*per_run)}
    spread = len(runs) > 1
    print("| mode | picture | plain time / our time |" + (" lowest, highest over the runs |"
                                                           if spread else ""))
    print("|---|---|---:|" + ("---:|" if spread else ""))
    by_mode = defaultdict(list)
    for (mode, picture), ratio in sorted(ratios.items()):
        by_mode[mode].append(ratio)
        line = f"| {mode} | {picture} | {ratio:.2f} |"
        if spread:
            seen = [r[(mode, picture)] for r in per_run if (mode, picture) in r]
            line += f" {min(seen):.2f}, {max(seen):.2f} |"
        print(line)
    print()
    print("| mode | geometric mean |")
    print("|---|---:|")
    for mode, values in sorted(by_mode.items()):
        print(f"| {mode} | {geometric_mean(values):.2f} |")
    lowest = min(ratios, key=ratios.get)
    print(f"| **every mode** | **{geometric_mean(list(ratios.values())):.2f}** |")
    print(f"\nlowest picture: {lowest[0]}/{lowest[1]} at {ratios[lowest]:.2f}")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    runs, kinds = [], set()
    for path in sys.argv[1:]:
        text = open(path).read()
        if text.lstrip().startswith("{"):
            samples, pictures = read_json(text)
        else:
            samples, pictures = read_text(text), False
        runs.append(samples)
        kinds.add(pictures)
    if len(kinds) > 1:
        sys.exit("summarise.py: give runs of one benchmark program at a time")
    if kinds == {True}:
        summarise_pictures(runs)
        return
    pooled = defaultdict(list)
    for run in runs:
        for name, values in run.items():
            pooled[name].extend(values)
    summarise_streams({name: statistics.median(values) for name, values in pooled.items()})


if __name__ == "__main__":
    main()
