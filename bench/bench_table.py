#!/usr/bin/env python3
"""Runs every benchmark program and prints one table: figure, goal and verdict.

A benchmark with a goal carries the counter goal_ms (processor time per iteration, in ms, or of
the counter figure_ms when it has one); a
program may also print lines "GOAL<tab>figure<tab>value<tab>goal<tab>unit<tab>lower|higher" for
figures that are not a benchmark's time. The programs' own output is shown as it comes.
Usage: bench_table.py BENCH_DIR PROGRAM..."""

import json
import os
import subprocess
import sys
import tempfile


def run(path):
    rows = []
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as out:
        out_path = out.name
    try:
        proc = subprocess.run([path, "--benchmark_out=" + out_path, "--benchmark_out_format=json"],
                              stdout=subprocess.PIPE, text=True)
        for line in proc.stdout.splitlines():
            if line.startswith("GOAL\t"):
                _, figure, value, goal, unit, better = line.split("\t")
                rows.append((figure, float(value), float(goal), unit, better))
            else:
                print(line)
        sys.stdout.flush()
        if proc.returncode != 0:
            rows.append((os.path.basename(path) + " failed", float("nan"), 0, "", "lower"))
        try:
            with open(out_path, encoding="utf-8") as f:
                data = json.load(f)
        except (OSError, ValueError):
            return rows
        for b in data.get("benchmarks", []):
            if "goal_ms" not in b:
                continue
            if b.get("error_occurred"):
                rows.append((b["name"], float("nan"), b["goal_ms"], "ms", "lower"))
                continue
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
            # A figure other than the time per iteration (the longest stretch a window does not
            # answer) comes as its own counter.
            value = b["figure_ms"] if "figure_ms" in b else b["cpu_time"] * scale
            rows.append((b["name"], value, b["goal_ms"], "ms", "lower"))
    finally:
        os.unlink(out_path)
    return rows


def main():
    bench_dir = sys.argv[1]
    table = []
    for program in sys.argv[2:]:
        print("== " + program, flush=True)
        table += [(program,) + row for row in run(os.path.join(bench_dir, program))]
    width = max([len(r[0]) + len(r[1]) + 2 for r in table] + [10])
    print()
    print("%-*s %14s %14s  %s" % (width, "figure (processor time)", "value", "goal", "verdict"))
    failed = 0
    for program, figure, value, goal, unit, better in table:
        if value != value:
            verdict = "FAILED"
        elif better == "higher":
            verdict = "ok" if value >= goal else "MISSED"
        else:
            verdict = "ok" if value <= goal else "MISSED"
        failed += verdict != "ok"
        sign = ">=" if better == "higher" else "<="
        print("%-*s %11.4g %-2s %s %11.4g %-2s  %s" % (width, program + ": " + figure, value, unit,
                                                       sign, goal, unit, verdict))
    print("%d of %d goals met" % (len(table) - failed, len(table)))


if __name__ == "__main__":
    main()
