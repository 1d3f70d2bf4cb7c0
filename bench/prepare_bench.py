#!/usr/bin/env python3
"""elab.prepare against the program on the same price file: all rows,
variable 11, coefficient 2, both screenings, layout C. The two take turns,
in rounds; fastest and median wall seconds of each, their processor seconds
(user and system, all threads), and the ratios of the medians.

    PYTHONPATH=BUILD/python/site python3 bench/prepare_bench.py \\
        --program BUILD/elab --gen BUILD-BENCH/bench/gen_prices [--dir /dev/shm] [--rounds 15] [ROWS]
    ... --program BUILD/elab --prices FILE [--dir /dev/shm] [--rounds 15]

ROWS defaults to 1,000,000. The price file, the answers and the program's
elab.dat are kept in DIR (default /tmp/elab-bench).
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import time

import elab

ANSWERS = dict(start="all", variable=11, coefficient=2, screen_output=True,
               screen_inputs=True, days=-1)
TYPED = "-1\n11\n2\n1\n1\n-1\n"


def processor_seconds():
    """Of this process and of its children that ended."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def timed(work):
    """Wall and processor seconds of work()."""
    start, start_cpu = time.perf_counter(), processor_seconds()
    work()
    return time.perf_counter() - start, processor_seconds() - start_cpu


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--gen", help="bench/gen_prices")
    parser.add_argument("--prices", help="a price file of either form instead of one made by --gen")
    parser.add_argument("--dir", default="/tmp/elab-bench")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("rows", nargs="?", type=int, default=1000000)
    args = parser.parse_args(argv)

    os.makedirs(args.dir, exist_ok=True)
    if not args.prices and not args.gen:
        parser.error("--gen or --prices is needed")
    prices = os.path.abspath(args.prices or os.path.join(args.dir, "prices_%d.txt" % args.rows))
    if not os.path.exists(prices):
        with open(prices, "w") as f:
            subprocess.run([args.gen, str(args.rows)], stdout=f, check=True)

    def program():
        subprocess.run([args.program, prices], cwd=args.dir, input=TYPED, text=True,
                       stdout=subprocess.DEVNULL, check=True)

    def prepare():
        elab.prepare(prices, **ANSWERS)

    program()
    with open(os.path.join(args.dir, "elab.dat"), "rb") as f:
        if f.read() != elab.prepare(prices, **ANSWERS).text:
            print("prepare's text differs from the program's elab.dat", file=sys.stderr)
            return 1

    times = {"program": [], "prepare": []}
    for k in range(args.rounds):
        order = [("program", program), ("prepare", prepare)]
        for name, work in order if k % 2 == 0 else reversed(order):
            times[name].append(timed(work))
    print("%s, %d rounds taking turns; seconds, fastest / median"
          % (os.path.basename(prices) if args.prices else "%d rows" % args.rows, args.rounds))
    median = {}
    for name, t in times.items():
        wall, cpu = [w for w, _ in t], [c for _, c in t]
        median[name] = statistics.median(wall), statistics.median(cpu)
        print("  %-8s wall %.3f / %.3f   processor %.3f / %.3f"
              % (name, min(wall), median[name][0], min(cpu), median[name][1]))
    print("  prepare / program, medians: wall %.2f, processor %.2f"
          % tuple(median["prepare"][k] / median["program"][k] for k in (0, 1)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
