#!/usr/bin/python3
"""The solver under node (standing in for the page) against the native one: kvarlo-cli solve of
one figure, the desktop build's and the web build's one after another, `runs` times, with the
wall time, the CPU time and the engine's own clock (elapsedMs), their medians and ratios; says
when a result differs (with --best: the best ending, its proof and its sequence; otherwise the
whole report less its times).
Usage: bench/web_solver.py FIGURE RUNS [solve options...]  e.g. assets/default.t1a 3"""
import json
import pathlib
import resource
import statistics
import subprocess
import sys
import time

SOURCE = pathlib.Path(__file__).resolve().parent.parent
PROGRAMS = {
    "native": [str(SOURCE / "build/default/cli/kvarlo-cli")],
    "node": ["node", "--no-experimental-fetch", str(SOURCE / "build/web/cli/kvarlo-cli.js")],
}
TIMES = {"elapsedMs", "bestFoundMs"}


def solve(program, figure, options):
    """(wall s, CPU s, engine s, report) of one run."""
    before, start = resource.getrusage(resource.RUSAGE_CHILDREN), time.monotonic()
    out = subprocess.run(program + ["solve", figure, "--json"] + options, capture_output=True,
                         text=True, check=True).stdout
    wall, after = time.monotonic() - start, resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
    report = json.loads(out)
    return wall, cpu, report["elapsedMs"] / 1000, report


def result(report, options):
    if "--best" in options:
        return {k: report[k] for k in ("best", "bestProven", "moves")}
    return {k: v for k, v in report.items() if k not in TIMES}


def main():
    figure, runs, options = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    print("load average:", open("/proc/loadavg").read().split()[:3])
    measured = {name: [] for name in PROGRAMS}
    first = None
    for _ in range(runs):
        for name, program in PROGRAMS.items():
            wall, cpu, engine, report = solve(program, figure, options)
            if first is None:
                first = result(report, options)
            elif result(report, options) != first:
                print(f"{name}: a different result")
            measured[name].append((wall, cpu, engine))
            print(f"{name:6} wall {wall:5.2f} s  cpu {cpu:5.2f} s  engine {engine:5.2f} s", flush=True)
    native = [statistics.median(m[i] for m in measured["native"]) for i in range(3)]
    for name, rows in measured.items():
        median = [statistics.median(m[i] for m in rows) for i in range(3)]
        print(f"median {name:6}" + "".join(
            f"  {what} {m:.2f} s ({m / n:.2f} x)"
            for what, m, n in zip(("wall", "cpu", "engine"), median, native)))


if __name__ == "__main__":
    main()
