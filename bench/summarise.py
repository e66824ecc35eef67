#!/usr/bin/env python3
"""Turns lz_bench's JSON output (--benchmark_out=FILE --benchmark_out_format=json) or
lz_bench_win32's text output into one table per variant: MB/s for ours, the plain decoder and
memcpy, the ratios, and the geometric mean of ours/plain over the pictures."""
import json
import math
import sys
from collections import defaultdict


def read(path):
    rows = defaultdict(dict)  # (variant, picture) -> {kind: MB/s}
    text = open(path).read()
    if text.lstrip().startswith("{"):
        for b in json.loads(text)["benchmarks"]:
            # Single runs, or the median of repeated ones (--benchmark_repetitions).
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") != "median":
                    continue
            elif any(x.get("run_type") == "aggregate" for x in json.loads(text)["benchmarks"]):
                continue
            variant, picture, kind = b["run_name"].split("/") if "run_name" in b else b["name"].split("/")
            variant = variant.replace("BM_Decode", "")
            rows[(variant, picture)][kind] = b["bytes_per_second"] / 1e6
    else:
        for line in text.splitlines()[1:]:
            f = line.split()
            if len(f) == 6:
                rows[(f[0], f[1])] = {"ours": float(f[2]), "plain": float(f[3]), "memcpy": float(f[4])}
    return rows


def main():
    rows = read(sys.argv[1])
    by_variant = defaultdict(list)
    for (variant, picture), r in rows.items():
        by_variant[variant].append((picture, r))
    print("| variant | picture | ours MB/s | plain MB/s | memcpy MB/s | ours/plain | ours/memcpy |")
    print("|---|---|---:|---:|---:|---:|---:|")
    means = {}
    for variant, entries in by_variant.items():
        logs = []
        for picture, r in sorted(entries):
            ratio = r["ours"] / r["plain"]
            logs.append(math.log(ratio))
            print(f"| {variant} | {picture} | {r['ours']:.0f} | {r['plain']:.0f} | "
                  f"{r['memcpy']:.0f} | {ratio:.2f} | {r['ours'] / r['memcpy']:.2f} |")
        means[variant] = math.exp(sum(logs) / len(logs))
    print()
    print("| variant | geometric mean ours/plain |")
    print("|---|---:|")
    for variant, mean in means.items():
        print(f"| {variant} | {mean:.2f} |")


if __name__ == "__main__":
    main()
