#!/usr/bin/env python3
"""The same days in three forms, run taking turns: the program's own format,
an ISO CSV (Date,Close; 2024-01-02,1234.56) and a vendor's form (Datum;
Schlusskurs; 02.01.2024;1.234,56: day-first dates, a decimal comma and
thousands points). Median and fastest wall seconds of each, and the ratios
of the medians: ISO / own and vendor / ISO. Every elab.dat is checked equal
to the own format's, byte for byte.

    python3 bench/table_bench.py --program BUILD/elab [--dir /dev/shm/elab-table] [--rounds 9] [ROWS ...]

Without ROWS: 5000 and 1000000.
"""

import argparse
import datetime
import filecmp
import os
import random
import statistics
import subprocess
import sys
import time

ANSWERS = ["--from=all", "--to=0", "--variable=11", "--coefficient=2", "--screen-output=yes",
           "--screen-inputs=yes", "--days=-1"]


def thousands(whole):
    groups = []
    while len(whole) > 3:
        groups.insert(0, whole[-3:])
        whole = whole[:-3]
    return ".".join([whole] + groups)


def write_files(where, rows):
    """The three files of the same days: business days from 1900 on, closes
    a walk kept between 50 and 50,000."""
    rng = random.Random(3)
    day, close = datetime.date(1900, 1, 1), 1500.0
    own, iso, vendor = [], ["Date,Close"], ["Datum;Schlusskurs"]
    while len(own) < rows:
        if day.weekday() < 5:
            close *= 1.0 + rng.uniform(-0.01, 0.01)
            if not 50.0 < close < 50000.0:
                close = 1500.0
            text = "%.2f" % close
            whole, cents = text.split(".")
            own.append("%d %d %d 0 0 %s %d" % (day.year, day.month, day.day, text, day.isoweekday() % 7 + 1))
            iso.append("%s,%s" % (day.isoformat(), text))
            vendor.append("%02d.%02d.%d;%s,%s" % (day.day, day.month, day.year, thousands(whole), cents))
        day += datetime.timedelta(days=1)
    paths = {}
    for name, lines in (("own", ["%d 7" % rows] + own), ("iso", iso), ("vendor", vendor)):
        paths[name] = os.path.join(where, "%s_%d.%s" % (name, rows, "txt" if name == "own" else "csv"))
        with open(paths[name], "w") as f:
            f.write("\n".join(lines) + "\n")
    return paths


def one_size(args, rows):
    where = os.path.join(args.dir, str(rows))
    os.makedirs(where, exist_ok=True)
    paths = write_files(where, rows)
    outputs = {name: os.path.join(where, name + ".dat") for name in paths}
    times = {name: [] for name in paths}
    for k in range(args.rounds):
        order = list(paths)
        for name in order if k % 2 == 0 else reversed(order):
            start = time.perf_counter()
            subprocess.run([args.program] + ANSWERS + ["-o", outputs[name], paths[name]],
                           stdout=subprocess.DEVNULL, check=True)
            times[name].append(time.perf_counter() - start)
    for name in ("iso", "vendor"):
        if not filecmp.cmp(outputs[name], outputs["own"], shallow=False):
            print("the %s file's elab.dat differs from the own format's" % name, file=sys.stderr)
            return 1
    median = {name: statistics.median(t) for name, t in times.items()}
    print("%d rows, %d rounds taking turns; seconds, fastest / median" % (rows, args.rounds))
    for name, t in times.items():
        print("  %-6s %8.4f / %8.4f" % (name, min(t), median[name]))
    print("  iso / own %.2f, vendor / iso %.2f" % (median["iso"] / median["own"], median["vendor"] / median["iso"]))
    return 0


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--dir", default="/tmp/elab-table")
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("rows", nargs="*", type=int)
    args = parser.parse_args(argv)
    args.program = os.path.abspath(args.program)
    return max(one_size(args, rows) for rows in args.rows or [5000, 1000000])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
