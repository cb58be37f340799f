#!/usr/bin/env python3
"""Runs `kvarlo-cli solve --best` on figure lists and prints the medians.

    bench/run_bests.py [--cli build/default/cli/kvarlo-cli] [--against OTHER-CLI] [--runs 3]
                       [--time-limit 20] [--only NAME,...] [--json OUT] LIST.txt|FIGURE.t1a ...

A list is a file of lines "name slots" (bench/dense_figures.txt); a .t1a file is run as it is.
Each figure is solved --runs times with 2 threads; the table gives the best (the lowest of the
runs, and how many runs reached it), whether it was proven, and the medians of bestFoundMs (when
the run's best was found) and elapsedMs (when the search stopped: a proof, or the limit).
With --against, each run of --cli is paired with one of OTHER-CLI right before it, and both get
a line: on a busy machine, runs in turn see the same load.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile


def figures_of(path, workdir, cli):
    if path.endswith(".t1a"):
        yield os.path.splitext(os.path.basename(path))[0], path
        return
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            name, slots = line.split()
            out = os.path.join(workdir, name + ".t1a")
            subprocess.run([cli, "figure", "-o", out, "--slots", slots], check=True,
                           stdout=subprocess.DEVNULL)
            yield name, out


def solve(cli, figure, limit):
    out = subprocess.run([cli, "solve", figure, "--best", "--threads", "2", "--time-limit",
                          str(limit), "--json"], capture_output=True, text=True)
    # Exit status 1 says the limit came before a proof: the report is there all the same.
    if out.returncode not in (0, 1):
        raise RuntimeError(f"{figure}: {out.stderr.strip()}")
    r = json.loads(out.stdout)
    return {k: r[k] for k in ("matches", "best", "bestProven", "bestFoundMs", "elapsedMs")}


def print_row(name, runs):
    best = min(r["best"] for r in runs)
    reached = sum(r["best"] == best for r in runs)
    proven = sum(r["bestProven"] for r in runs)
    found = statistics.median(r["bestFoundMs"] for r in runs)
    end = statistics.median(r["elapsedMs"] for r in runs)
    print(f"{name:<18} {runs[0]['matches']:>3} {best:>3} {reached}/{len(runs)} "
          f"{proven}/{len(runs):<4} {found:>9.0f} {end:>7.0f}  "
          + " ".join(f"{r['best']}@{r['bestFoundMs']}" for r in runs), flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/default/cli/kvarlo-cli")
    ap.add_argument("--against", default="")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--time-limit", type=int, default=20)
    ap.add_argument("--only", default="")
    ap.add_argument("--json", default="")
    ap.add_argument("lists", nargs="+")
    args = ap.parse_args()
    only = set(filter(None, args.only.split(",")))
    rows = {}
    print(f"{'figure':<18} {'m':>3} {'best':>6} {'proven':>6} {'found ms':>9} {'end ms':>7}  runs")
    with tempfile.TemporaryDirectory() as workdir:
        for path in args.lists:
            for name, figure in figures_of(path, workdir, args.cli):
                if only and name not in only:
                    continue
                clis = [args.against, args.cli] if args.against else [args.cli]
                runs = {cli: [] for cli in clis}
                for _ in range(args.runs):
                    for cli in clis:
                        runs[cli].append(solve(cli, figure, args.time_limit))
                for cli in clis:
                    side = "against" if cli == args.against else "cli"
                    label = name if len(clis) == 1 else f"{name} ({side})"
                    rows[label] = runs[cli]
                    print_row(label, runs[cli])
    if args.json:
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump(rows, f, indent=1)


if __name__ == "__main__":
    sys.exit(main())
