#!/usr/bin/env python3
"""A long file of K symbols against the same rows as K files: one
Symbol,Date,Close file of K x R rows run with --symbol=all, and the K files
of R rows (each named by its symbol) run in one command. The two take turns,
in rounds; median and fastest wall seconds of each, the ratio of the
medians, the peak memory of each (the children's largest resident set) and
the long file's peak above the program's baseline (a run on a file of a
few rows) against the file's size. Every training file is checked equal,
byte for byte, between the two ways.

    python3 bench/long_file_bench.py --program BUILD/elab [--dir /dev/shm/elab-long]
        [--rounds 5] [--jobs J] K R [K R ...]

Without sizes: 200 2500 and 2000 2500.
"""

import argparse
import datetime
import filecmp
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

ANSWERS = ["--from=all", "--to=0", "--variable=1", "--coefficient=2.5", "--screen-output=yes",
           "--screen-inputs=yes", "--days=-1"]


def business_days(count):
    day, out = datetime.date(2000, 1, 3), []
    while len(out) < count:
        if day.weekday() < 5:
            out.append(day.isoformat())
        day += datetime.timedelta(days=1)
    return out


def write_files(where, symbols, rows):
    """The long file and the directory of one file a symbol."""
    days = business_days(rows)
    rng = random.Random(7)
    long_path = os.path.join(where, "long.csv")
    files = os.path.join(where, "files")
    os.makedirs(files, exist_ok=True)
    with open(long_path, "w") as long_file:
        long_file.write("Symbol,Date,Close\n")
        for k in range(symbols):
            symbol = "S%05d" % k
            close, lines = 100.0, []
            for day in days:
                close *= 1.0 + rng.uniform(-0.02, 0.02)
                lines.append("%s,%.2f\n" % (day, close))
            long_file.write("".join(symbol + "," + line for line in lines))
            with open(os.path.join(files, symbol + ".csv"), "w") as one:
                one.write("Date,Close\n" + "".join(lines))
    return long_path, sorted(os.path.join(files, f) for f in os.listdir(files))


def run(command, cwd):
    """Wall seconds and the peak resident kilobytes of one run."""
    start = time.perf_counter()
    child = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        raise SystemExit("%s ended with status %d" % (command[0], status))
    return wall, usage.ru_maxrss


def same_outputs(a, b):
    names = sorted(os.listdir(a))
    if names != sorted(os.listdir(b)) or not names:
        return False
    return all(filecmp.cmp(os.path.join(a, n), os.path.join(b, n), shallow=False) for n in names)


def one_size(args, symbols, rows):
    where = os.path.join(args.dir, "%dx%d" % (symbols, rows))
    shutil.rmtree(where, ignore_errors=True)
    os.makedirs(where)
    long_path, files = write_files(where, symbols, rows)
    jobs = ["--jobs=%d" % args.jobs] if args.jobs else []
    ways = {
        "long": [args.program] + ANSWERS + jobs + ["--symbol=all", "-o", "out-long/{symbol}.dat", long_path],
        "files": [args.program] + ANSWERS + jobs + ["-o", "out-files/{name}.dat"] + files,
    }
    small = os.path.join(where, "files", os.path.basename(files[0]))
    _, baseline = run([args.program] + ANSWERS + ["-o", "baseline.dat", small], where)
    times = {name: [] for name in ways}
    peaks = {name: [] for name in ways}
    for k in range(args.rounds):
        order = list(ways.items())
        for name, command in order if k % 2 == 0 else reversed(order):
            out = os.path.join(where, "out-" + name)
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            wall, peak = run(command, where)
            times[name].append(wall)
            peaks[name].append(peak)
    if not same_outputs(os.path.join(where, "out-long"), os.path.join(where, "out-files")):
        print("the long file's training files differ from the files'", file=sys.stderr)
        return 1
    size_kb = os.path.getsize(long_path) / 1024
    print("%d symbols x %d rows (%.1f MB), %d rounds taking turns; seconds, fastest / median; peak MB"
          % (symbols, rows, size_kb / 1024, args.rounds))
    for name in ways:
        print("  %-6s %7.3f / %7.3f   %7.1f" % (name, min(times[name]), statistics.median(times[name]),
                                               max(peaks[name]) / 1024))
    ratio = statistics.median(times["long"]) / statistics.median(times["files"])
    above = (max(peaks["long"]) - baseline) / size_kb
    print("  long / files %.2f; the long file's peak above the baseline (%.1f MB): %.2f times its size"
          % (ratio, baseline / 1024, above))
    shutil.rmtree(where, ignore_errors=True)
    return 0


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--dir", default="/tmp/elab-long")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--jobs", type=int, default=0)
    parser.add_argument("sizes", nargs="*", type=int)
    args = parser.parse_args(argv)
    args.program = os.path.abspath(args.program)
    args.dir = os.path.abspath(args.dir)
    sizes = args.sizes or [200, 2500, 2000, 2500]
    if len(sizes) % 2 != 0:
        parser.error("sizes come in pairs: K R")
    status = 0
    for k in range(0, len(sizes), 2):
        status |= one_size(args, sizes[k], sizes[k + 1])
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
