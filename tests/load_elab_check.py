"""Checks of examples/load_elab.py on the training files that
load_elab_test.sh wrote into SCRATCH/A, SCRATCH/B and SCRATCH/C.

    load_elab_check.py EXAMPLES_DIR SCRATCH
"""

import os
import subprocess
import sys

import numpy as np

examples, scratch = sys.argv[1], sys.argv[2]
sys.path.insert(0, examples)
from load_elab import load_elab  # noqa: E402

# Columns (first, last, counted from 1) of every field, as the writer lays
# them out; listed here on their own, not derived like the loader's.
TAIL_AB = [("VSEGNO", 5, 6), ("DESM", 8, 15), ("MOME", 17, 24), ("RMM", 26, 33),
           ("MAXMIN", 35, 42), ("VPERC_4", 44, 51), ("VPERC_3", 53, 60),
           ("VPERC_2", 62, 69), ("VPERC_1", 71, 78), ("VPERC", 80, 87),
           ("PREV", 89, 96)]
COLUMNS = {
    "A": [("LUNE", 2, 3)] + TAIL_AB,
    "B": TAIL_AB,
    "C": [("GIORNO_1", 1, 3), ("GIORNO_2", 4, 6), ("GIORNO_3", 7, 9),
          ("GIORNO_4", 10, 12), ("GIORNO_5", 13, 15), ("VSEGNO", 18, 19),
          ("DESM", 21, 28), ("MOME", 30, 37), ("RMM", 39, 46), ("MAXMIN", 48, 55),
          ("VPERC_4", 57, 64), ("VPERC_3", 66, 73), ("VPERC_2", 75, 82),
          ("VPERC_1", 84, 91), ("VPERC", 93, 100), ("PREV", 102, 109)],
}
# The first record of the unscreened layout-A run, as the golden file has it.
FIRST_A = {"LUNE": 0.0, "VSEGNO": 1.0, "DESM": 1.0710, "MOME": 0.9990,
           "RMM": 0.9924, "MAXMIN": 0.3879, "VPERC_4": -0.2848,
           "VPERC_3": -1.8534, "VPERC_2": 0.1542, "VPERC_1": -0.9697,
           "VPERC": 1.5814, "PREV": -0.9830}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def records(path):
    with open(path, "rb") as f:
        return f.read().decode("ascii").split("\r\n")[:-1]


def field(line, first, last):
    text = line[first - 1:last]
    return float("nan") if set(text) == {"*"} else float(text)


def same(a, b):
    return a == b or (np.isnan(a) and np.isnan(b))


def check_record(layout, data, lines, k):
    names = [name for name, _, _ in COLUMNS[layout]]
    check(list(data.columns) == names, "%s: columns %s" % (layout, list(data.columns)))
    for name, first, last in COLUMNS[layout]:
        got, want = data.columns[name][k], field(lines[k], first, last)
        check(same(got, want), "%s record %d %s: %r, columns say %r"
              % (layout, k, name, got, want))


for layout in "ABC":
    path = os.path.join(scratch, layout, "elab.dat")
    lines = records(path)
    data = load_elab(path)
    check(data.layout == layout, "%s detected as %s" % (layout, data.layout))
    check(len(data) == len(lines), "%s: %d records of %d" % (layout, len(data), len(lines)))
    for k in (0, len(lines) // 2, len(lines) - 1):
        check_record(layout, data, lines, k)

    # A value too wide for its field: asterisks load as NaN, the rest unchanged.
    k = len(lines) // 3
    name, first, last = COLUMNS[layout][-3]
    lines[k] = lines[k][:first - 1] + "*" * (last - first + 1) + lines[k][last:]
    starred = os.path.join(scratch, layout, "starred.dat")
    with open(starred, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("ascii"))
    data = load_elab(starred)
    check(np.isnan(data.columns[name][k]), "%s: asterisks not NaN" % layout)
    check(np.isnan(data.columns[name]).sum() == 1, "%s: more than one NaN" % layout)
    check_record(layout, data, lines, k)

first_a = load_elab(os.path.join(scratch, "A", "elab.dat"))
for name, want in FIRST_A.items():
    check(first_a.columns[name][0] == want,
          "A first record %s: %r, not %r" % (name, first_a.columns[name][0], want))

# The days of the records: one each, in order, on the weekday of the record's
# dummy (GIORNO_1 Monday .. GIORNO_5 Friday).
dates_path = os.path.join(scratch, "C", "dates.txt")
dated = load_elab(os.path.join(scratch, "C", "elab.dat"), dates=dates_path)
check(len(dated.dates) == len(dated), "%d dates, %d records" % (len(dated.dates), len(dated)))
check((np.diff(dated.dates) > np.timedelta64(0, "D")).all(), "dates not increasing")
weekday = (dated.dates.astype("datetime64[D]").view("int64") + 3) % 7  # 0 Monday
dummies = np.stack([dated.columns["GIORNO_%d" % d] for d in range(1, 6)], axis=1)
check((dummies.argmax(axis=1) == weekday).all(), "a date on another weekday than its dummy")
try:
    import pandas as pd
    check(dated.frame().index[0] == pd.Timestamp(str(dated.dates[0])),
          "frame not indexed by the day")
except ImportError:
    pass
try:
    load_elab(os.path.join(scratch, "A", "elab.dat"), dates=dates_path)
    check(False, "dates of another run taken")
except ValueError:
    pass

# The CSV of that run, and of the shape before its Series column: the
# values, days and layout of the training file, named by the file's stem.
csv_path = os.path.join(scratch, "C", "scripted.csv")
with open(csv_path) as f:
    lines_csv = f.read().split("\n")
old_path = os.path.join(scratch, "C", "old.csv")
with open(old_path, "w") as f:
    f.write("\n".join(line.split(",", 1)[-1] for line in lines_csv))
for path, series in ((csv_path, "prices"), (old_path, "old")):
    from_csv = load_elab(path)
    check(from_csv.layout == "C", "%s: layout %s" % (path, from_csv.layout))
    check(list(from_csv.columns) == list(dated.columns), "%s: columns %s" % (path, list(from_csv.columns)))
    for name in dated.columns:
        check(np.array_equal(from_csv.columns[name], dated.columns[name], equal_nan=True), "%s: %s" % (path, name))
    check(np.array_equal(from_csv.dates, dated.dates), "%s: dates" % path)
    check(set(from_csv.series) == {series}, "%s: series %s" % (path, set(from_csv.series)))

# The command line: a summary, and a PNG when matplotlib is there.
script = os.path.join(examples, "load_elab.py")
png = os.path.join(scratch, "C.png")
run = subprocess.run([sys.executable, script, os.path.join(scratch, "C", "elab.dat"),
                      "--dates", dates_path, "--plot", png], capture_output=True, text=True)
check(run.stdout.startswith("layout C, "), "summary: %r" % run.stdout[:40])
check("days 1995-" in run.stdout, "summary without days: %r" % run.stdout[:120])
try:
    import matplotlib  # noqa: F401
    check(run.returncode == 0, "--plot failed: %s" % run.stderr)
    with open(png, "rb") as f:
        check(f.read(8) == b"\x89PNG\r\n\x1a\n", "--plot wrote no PNG")
except ImportError:
    check(run.returncode == 1 and "matplotlib" in run.stderr,
          "--plot without matplotlib: %r" % run.stderr)
    print("matplotlib not installed: --plot checked for its message only")

for f in failures:
    print("FAIL:", f)
print("ok" if not failures else "%d failures" % len(failures))
sys.exit(1 if failures else 0)
