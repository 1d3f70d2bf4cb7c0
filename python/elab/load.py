#!/usr/bin/env python3
"""Load an elab.dat training file into named columns.

    python3 examples/load_elab.py elab.dat                  # layout, records, column summary
    python3 examples/load_elab.py elab.dat --plot elab.png  # every column against the record index
    python3 examples/load_elab.py elab.dat --dates dates.txt --plot elab.png  # ... against the day

The dates file is the one `elab --dates FILE` writes: the day of each record,
YYYY-MM-DD, one line per record in the same order.

From Python:

    import elab
    data = elab.load("elab.dat")
    data.layout            # "A", "B" or "C"
    data.columns["PREV"]   # numpy array, one value per record
    data.frame()           # the same as a pandas DataFrame (needs pandas)
    data = elab.load("elab.dat", dates="dates.txt")
    data.dates             # numpy datetime64[D], one day per record
    data.frame()           # indexed by the day

The layout is told by the record length: 96 characters for A (Monday flag
in columns 2-3) and B (one weekday, columns 2-3 blank), 109 for C (five
weekday dummies). A field written as asterisks (a value too wide for it)
loads as NaN. Needs numpy; pandas and matplotlib only for frame() and --plot.
"""

import argparse
import sys

import numpy as np

# The columns every layout has after its day indicators: the sign flag, then
# eleven fields of eight characters, one blank apart.
TAIL = ["DESM", "MOME", "RMM", "MAXMIN",
        "VPERC_4", "VPERC_3", "VPERC_2", "VPERC_1", "VPERC", "PREV"]


def _tail(sign_column, first_column):
    fields = [("VSEGNO", sign_column, 2)]
    fields += [(name, first_column + 9 * k, 8) for k, name in enumerate(TAIL)]
    return fields


# (name, first column counted from 1, width) of each field, by layout.
LAYOUTS = {
    "A": [("LUNE", 2, 2)] + _tail(5, 8),
    "B": _tail(5, 8),
    "C": [("GIORNO_%d" % d, 3 * d - 2, 3) for d in range(1, 6)] + _tail(18, 21),
}
RECORD_LENGTH = {"A": 96, "B": 96, "C": 109}


class ElabFile:
    def __init__(self, layout, columns, dates=None, series=None, sets=None):
        self.layout = layout
        self.columns = columns
        self.dates = dates
        self.series = series  # of a CSV: the Series of each record
        self.sets = sets      # of a CSV with a test date: "train" or "test"

    def __len__(self):
        return len(next(iter(self.columns.values()), []))

    def frame(self):
        """A pandas DataFrame indexed by the day; that of a CSV by (Series,
        Date), or (Series, Set, Date) with a test date, as elab.frame of
        many Results is."""
        import pandas as pd
        if self.series is None:
            index = None if self.dates is None else pd.DatetimeIndex(self.dates, name="date")
            return pd.DataFrame(self.columns, index=index)
        levels = [("Series", self.series)] + ([("Set", self.sets)] if self.sets is not None else [])
        levels.append(("Date", pd.DatetimeIndex(self.dates)))
        index = pd.MultiIndex.from_arrays([v for _, v in levels], names=[n for n, _ in levels])
        return pd.DataFrame(self.columns, index=index)


def _records(data):
    """The records as rows of a byte matrix, line ends (CR LF or LF) cut off."""
    first_end = data.find(b"\n")
    if first_end < 0:
        raise ValueError("no line end in the file")
    end = b"\r\n" if data[first_end - 1:first_end] == b"\r" else b"\n"
    width = first_end + 1
    length = width - len(end)
    if len(data) % width:
        raise ValueError("records of different lengths")
    rows = np.frombuffer(data, dtype=np.uint8).reshape(-1, width)
    if (rows[:, length:] != np.frombuffer(end, dtype=np.uint8)).any():
        raise ValueError("records of different lengths")
    return rows[:, :length]


def _layout_of(rows):
    length = rows.shape[1]
    if length == 109:
        return "C"
    if length != 96:
        raise ValueError("records of %d characters: not an elab.dat" % length)
    blank = (rows[:, 1:3] == ord(" ")).all(axis=1)
    if blank.all():
        return "B"
    if blank.any():
        raise ValueError("layouts A and B mixed in one file")
    return "A"


def _field(rows, first, width):
    cells = np.ascontiguousarray(rows[:, first - 1:first - 1 + width])
    text = cells.view("S%d" % width).ravel()
    stars = (cells == ord("*")).all(axis=1)
    return np.where(stars, b"nan", text).astype(np.float64)


def load_dates(path):
    """The days of a dates file; a day written as asterisks (not a whole
    number in the price file) loads as NaT."""
    with open(path, "rb") as f:
        lines = f.read().decode("ascii").splitlines()
    return np.array(["NaT" if "*" in line else line for line in lines],
                    dtype="datetime64[D]")


def _csv_number(text):
    return float("nan") if not text or "*" in text else float(text)


def _load_csv(path, data):
    """elab --format=csv: led by Series, Date (and Set with a test date), or,
    as a single file's was before it had a Series column, by Date alone:
    its records then take the file's stem as their Series."""
    import csv
    import io
    import os
    rows = [r for r in csv.reader(io.StringIO(data.decode("utf-8"))) if r]
    header, body = rows[0], rows[1:]
    lead = [n for n in ("Series", "Date", "Set") if n in header[:3]]
    names = header[len(lead):]
    if any(len(r) != len(header) for r in body):
        raise ValueError("lines of another number of fields than the header's")
    at = {n: header.index(n) for n in lead}
    stem = os.path.splitext(os.path.basename(os.fsdecode(path)))[0]
    series = np.array([r[at["Series"]] if "Series" in at else stem for r in body], dtype=object)
    sets = np.array([r[at["Set"]] for r in body], dtype=object) if "Set" in at else None
    dates = np.array([r[at["Date"]] for r in body], dtype="datetime64[D]")
    columns = {n: np.array([_csv_number(r[len(lead) + k]) for r in body]) for k, n in enumerate(names)}
    layout = "C" if "GIORNO_1" in names else "A" if "LUNE" in names else "B"
    return ElabFile(layout, columns, dates, series, sets)


def load(path, dates=None):
    """An elab.dat (with its dates file, where given), or a CSV that elab
    --format=csv wrote, of either shape."""
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith((b"Series,", b"Date,")):
        return _load_csv(path, data)
    days = None if dates is None else load_dates(dates)
    if not data:
        if days is not None and len(days):
            raise ValueError("%d dates for no record" % len(days))
        return ElabFile(None, {}, days)
    rows = _records(data)
    if days is not None and len(days) != len(rows):
        raise ValueError("%d dates for %d records" % (len(days), len(rows)))
    layout = _layout_of(rows)
    return ElabFile(layout, {name: _field(rows, first, width)
                             for name, first, width in LAYOUTS[layout]}, days)


def breaks(data):
    """Record indices k where record k is not the trading day after record
    k - 1: its older daily changes are not the previous record's latest ones,
    so days were left out there (screening). Layout B skips days by design."""
    if data.layout not in ("A", "C") or len(data) < 2:
        return np.array([], dtype=int)
    c = data.columns
    lags = ["VPERC_4", "VPERC_3", "VPERC_2", "VPERC_1", "VPERC"]
    follows = np.ones(len(data) - 1, dtype=bool)
    for older, newer in zip(lags, lags[1:]):
        follows &= c[older][1:] == c[newer][:-1]
    return np.flatnonzero(~follows) + 1


def summary(data, out):
    if data.layout is None:
        print("no records", file=out)
        return
    print("layout %s, %d records, %d breaks in the run of days"
          % (data.layout, len(data), len(breaks(data))), file=out)
    if data.dates is not None:
        print("days %s to %s" % (data.dates[0], data.dates[-1]), file=out)
    print("%-9s %10s %10s %10s %5s" % ("column", "min", "max", "mean", "NaN"), file=out)
    for name, values in data.columns.items():
        good = values[~np.isnan(values)]
        low, high, mean = ((good.min(), good.max(), good.mean()) if good.size
                           else (np.nan,) * 3)
        print("%-9s %10.4f %10.4f %10.4f %5d"
              % (name, low, high, mean, values.size - good.size), file=out)


def plot(data, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    names = list(data.columns)
    fig, axes = plt.subplots(len(names), 1, sharex=True,
                             figsize=(8, 0.62 * len(names) + 0.8))
    if data.dates is None:
        x, label = np.arange(len(data)), "record"
        gaps = breaks(data) - 0.5
    else:
        # A gap's line stands between the day before it and its day.
        x, label = data.dates, "day"
        k = breaks(data)
        gaps = data.dates[k - 1] + (data.dates[k] - data.dates[k - 1]) / 2
    for ax, name in zip(axes, names):
        for gap in gaps:
            ax.axvline(gap, color="tab:red", linewidth=0.6, alpha=0.6)
        ax.plot(x, data.columns[name], linewidth=0.7, color="tab:blue")
        ax.set_ylabel(name, rotation=0, ha="right", va="center", fontsize=7)
        ax.tick_params(labelsize=6)
    axes[0].set_title("elab.dat, layout %s: %d records (red: days left out)"
                      % (data.layout, len(data)), fontsize=8)
    axes[-1].set_xlabel(label, fontsize=7)
    if data.dates is not None:
        fig.autofmt_xdate()
    fig.subplots_adjust(left=0.12, right=0.98, top=0.96, bottom=0.05, hspace=0.15)
    _save_small_png(fig, path)


def _save_small_png(fig, path):
    # A few colours are drawn, so a palette keeps the file small.
    import io
    from PIL import Image
    buffer = io.BytesIO()
    fig.savefig(buffer, format="png", dpi=72)
    buffer.seek(0)
    image = Image.open(buffer).convert("RGB")
    image.convert("P", palette=Image.ADAPTIVE, colors=32).save(path, optimize=True)


def main(argv):
    parser = argparse.ArgumentParser(description="Load an elab.dat training file.")
    parser.add_argument("file", help="the elab.dat to load")
    parser.add_argument("--plot", metavar="FILE.png",
                        help="draw every column against the record index, "
                             "or the day with --dates")
    parser.add_argument("--dates", metavar="FILE",
                        help="the day of each record, as elab --dates writes it")
    args = parser.parse_args(argv)
    try:
        data = load(args.file, dates=args.dates)
    except (OSError, ValueError) as e:
        print("%s: %s: %s" % (parser.prog, args.file, e), file=sys.stderr)
        return 1
    summary(data, sys.stdout)
    if args.plot:
        if data.layout is None:
            print("%s: nothing to plot" % parser.prog, file=sys.stderr)
            return 1
        try:
            plot(data, args.plot)
        except ImportError:
            print("%s: --plot needs matplotlib "
                  "(Debian package python3-matplotlib)" % parser.prog, file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
