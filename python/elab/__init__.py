"""elab from Python: the training set of a price file or a DataFrame.

    import elab
    r = elab.prepare("prices.csv", variable=11, coefficient=2,
                     screen_output=True, screen_inputs=True, days=-1)
    r.text      # the bytes elab writes to elab.dat for the same answers
    r.values    # numpy.float32, (r.count, len(r.columns)), before the layout
    r.dates     # numpy.datetime64[D], the day of each record

Failures the program reports raise ElabError(code, message): code is the
report's number ("F6501", "M6103"), "INPUT" for a fault the program finds
in the prices, or "STOP" for its stops; str() of the failure of a run on
a path names the file. elab.load(path) reads an elab.dat.

Many series at once, on threads, the failed ones collected:

    rs = elab.prepare_many(["a.csv", "b.csv"], variable=11, coefficient=2,
                           screen_output=True, screen_inputs=True, days=-1)
    rs["a"], rs.errors  # Results by name in input order; failures by name
    elab.frame(rs)      # one DataFrame indexed by (Series, Date)
"""

import numbers
import os

import numpy as np

from . import many as _many
from .load import ElabFile, load


class ElabError(Exception):
    """A failure the program would report: code, message, and status, the
    program's exit status; file, the price file of a run on a path."""

    def __init__(self, code, message, status=1, file=None):
        super().__init__(code, message)
        self.code = code
        self.message = message
        self.status = status
        self.file = file

    def __str__(self):
        if self.file is not None and not self.message.startswith(self.file + ": "):
            return "%s: %s: %s" % (self.code, self.file, self.message)
        return "%s: %s" % (self.code, self.message)


from ._elab import prepare_file as _prepare_file, prepare_table as _prepare_table  # noqa: E402


class Result:
    """What prepare() gives: text, count, layout, columns, values, dates."""

    def __init__(self, raw):
        self.text = raw["text"]
        self.count = raw["count"]
        self.layout = raw["layout"]
        self.columns = raw["columns"]
        self.values = raw["values"]
        self.dates = raw["days"].view("datetime64[D]")
        self.warnings = raw["warnings"]

    def frame(self):
        """The values as a pandas DataFrame indexed by the dates."""
        import pandas as pd
        return pd.DataFrame(self.values, columns=self.columns,
                            index=pd.DatetimeIndex(self.dates, name="Date"))

    def __repr__(self):
        return "<elab.Result layout %s, %d records>" % (self.layout, self.count)


def _option_text(value):
    """A keyword as the command line would spell it."""
    if isinstance(value, (bool, np.bool_)):
        return "yes" if value else "no"
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        return repr(float(value))
    return str(value)


def _table(frame, close):
    import pandas as pd
    if "Date" in frame.columns:
        dates = pd.DatetimeIndex(pd.to_datetime(frame["Date"]))
    elif isinstance(frame.index, pd.DatetimeIndex):
        dates = frame.index
    else:
        raise ValueError("the DataFrame has no Date column and no datetime index")
    if close not in frame.columns:
        raise ValueError("the DataFrame has no column %r" % close)
    if dates.hasnans:
        raise ValueError("the DataFrame has a missing date")
    day = dates.values.astype("datetime64[D]")
    month = day.astype("datetime64[M]")
    years = month.astype("datetime64[Y]").astype(np.int64) + 1970
    months = month.astype(np.int64) % 12 + 1
    days = (day - month).astype(np.int64) + 1
    closes = pd.to_numeric(frame[close], errors="coerce").to_numpy(dtype=np.float64)
    return years, months, days, closes


def prepare(prices, *, start="all", end=0, variable, coefficient, screen_output,
            screen_inputs, days, close="Close"):
    """The training set of prices (a path to a price file in either form, or
    a pandas DataFrame with a Date column or a datetime index and a close
    column), for the answers the program asks: start and end as --from and
    --to, days as --days, booleans for the screenings. The interpreter's lock
    is released during the run."""
    answers = {
        "start": _option_text(start),
        "end": _option_text(end),
        "variable": _option_text(variable),
        "coefficient": _option_text(coefficient),
        "screen_output": _option_text(screen_output),
        "screen_inputs": _option_text(screen_inputs),
        "days": _option_text(days),
    }
    if isinstance(prices, (str, bytes, os.PathLike)):
        path = os.fsdecode(prices)
        try:
            return Result(_prepare_file(path, answers, None if close == "Close" else close))
        except ElabError as e:
            e.file = path
            raise
    return Result(_prepare_table(*_table(prices, close), answers))


def prepare_many(sources, *, workers=None, errors="collect", **answers):
    """prepare() of many series on worker threads (by default one for each
    processor this process may use): sources is a list of paths (named as
    the program's {name}), a mapping of names to paths, DataFrames or
    Series, or one long DataFrame with a symbol column (Symbol, Ticker,
    Name, Code, Instrument or ISIN, any case), split by it. Returns the
    Results by name in input order; with errors="collect" the failed ones
    are in .errors by name, with errors="raise" one ElabError lists them."""
    return _many.prepare_many(prepare, ElabError, sources, workers, errors, **answers)


frame = _many.frame

__all__ = ["ElabError", "ElabFile", "Result", "frame", "load", "prepare", "prepare_many"]
