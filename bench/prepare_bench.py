#!/usr/bin/env python3
"""elab.prepare against the program on the same price file: all rows,
variable 11, coefficient 2, both screenings, layout C. The two take turns,
in rounds; fastest and median wall seconds of each, their processor seconds
(user and system, all threads), and the ratios of the medians.

    PYTHONPATH=BUILD/python/site python3 bench/prepare_bench.py \\
        --program BUILD/elab --gen BUILD-BENCH/bench/gen_prices [--dir /dev/shm] [--rounds 15] [ROWS]
    ... --program BUILD/elab --prices FILE [--dir /dev/shm] [--rounds 15]

ROWS defaults to 1,000,000. The price file, the answers and the program's
elab.dat are kept in DIR (default /tmp/elab-bench). With --other SITE
another build's module (its python/site) takes its turns too, in an
interpreter of its own started once, its start left out as this one's is.
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


# The other build's side: one prepare per line read, its wall and processor
# seconds written back.
OTHER = """
import resource, sys, time, elab
def cpu():
    u = resource.getrusage(resource.RUSAGE_SELF)
    return u.ru_utime + u.ru_stime
for line in sys.stdin:
    start, start_cpu = time.perf_counter(), cpu()
    elab.prepare(line.rstrip("\\n"), **%r)
    print(time.perf_counter() - start, cpu() - start_cpu, flush=True)
""" % ANSWERS


class Other:
    """A prepare of another build, in an interpreter of its own."""

    def __init__(self, site):
        env = dict(os.environ, PYTHONPATH=site)
        self.worker = subprocess.Popen([sys.executable, "-c", OTHER], env=env, text=True,
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def timed(self, prices):
        self.worker.stdin.write(prices + "\n")
        self.worker.stdin.flush()
        wall, cpu = self.worker.stdout.readline().split()
        return float(wall), float(cpu)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--gen", help="bench/gen_prices")
    parser.add_argument("--prices", help="a price file of either form instead of one made by --gen")
    parser.add_argument("--dir", default="/tmp/elab-bench")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--other", help="another build's python/site, its prepare taking turns too")
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

    ways = [("program", lambda: timed(program)), ("prepare", lambda: timed(prepare))]
    if args.other:
        other = Other(args.other)
        ways.append(("other", lambda: other.timed(prices)))
    times = {name: [] for name, _ in ways}
    for k in range(args.rounds):
        # Each way first in turn, so none always follows the same other.
        for name, work in ways[k % len(ways):] + ways[:k % len(ways)]:
            times[name].append(work())
    print("%s, %d rounds taking turns; seconds, fastest / median"
          % (os.path.basename(prices) if args.prices else "%d rows" % args.rows, args.rounds))
    median = {}
    for name, t in times.items():
        wall, cpu = [w for w, _ in t], [c for _, c in t]
        median[name] = statistics.median(wall), statistics.median(cpu)
        print("  %-8s wall %.3f / %.3f   processor %.3f / %.3f"
              % (name, min(wall), median[name][0], min(cpu), median[name][1]))
    for name in ("prepare", "other")[:len(ways) - 1]:
        print("  %s / program, medians: wall %.2f, processor %.2f"
              % ((name,) + tuple(median[name][k] / median["program"][k] for k in (0, 1))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
