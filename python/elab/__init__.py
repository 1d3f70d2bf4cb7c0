"""elab from Python: the training set of a price file or a DataFrame.

    import elab
    r = elab.prepare("prices.csv", variable=11, coefficient=2,
                     screen_output=True, screen_inputs=True, days=-1)
    r.text      # the bytes elab writes to elab.dat for the same answers
    r.values    # numpy.float32, (r.count, len(r.columns)), before the layout
    r.dates     # numpy.datetime64[D], the day of each record

Failures the program reports raise ElabError(code, message): code is the
report's number ("F6501", "M6103"), "INPUT" for a fault the program finds
in the prices, or "STOP" for its stops. elab.load(path) reads an elab.dat.
"""

import numbers
import os

import numpy as np

from .load import ElabFile, load


class ElabError(Exception):
    """A failure the program would report: code, message, and status, the
    program's exit status."""

    def __init__(self, code, message, status=1):
        super().__init__(code, message)
        self.code = code
        self.message = message
        self.status = status

    def __str__(self):
        return "%s: %s" % (self.code, self.message)


from ._elab import (  # noqa: E402
    answer_names as _answer_names, prepare_file as _prepare_file, prepare_table as _prepare_table)


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


def _either(name, value, alias, alias_value, default):
    if value is not None and alias_value is not None:
        raise TypeError("prepare() takes %s or %s, not both" % (name, alias))
    for v in (value, alias_value):
        if v is not None:
            return v
    return default


def prepare(prices, *, from_=None, to=None, variable, coefficient, screen_output,
            screen_inputs, days, close="Close", start=None, end=None):
    """The training set of prices (a path to a price file in either form, or
    a pandas DataFrame with a Date column or a datetime index and a close
    column), for the answers the program asks, named as its options are:
    from_ and to as --from and --to ("all" and 0 when not given; start and
    end are the same), days as --days, booleans for the screenings. The
    interpreter's lock is released during the run."""
    given = dict(from_=_either("from_", from_, "start", start, "all"),
                 to=_either("to", to, "end", end, 0),
                 variable=variable, coefficient=coefficient, screen_output=screen_output,
                 screen_inputs=screen_inputs, days=days)
    answers = {keyword: _option_text(given[keyword]) for keyword, _ in _answer_names()}
    if isinstance(prices, (str, bytes, os.PathLike)):
        path = os.fsdecode(prices)
        return Result(_prepare_file(path, answers, None if close == "Close" else close))
    return Result(_prepare_table(*_table(prices, close), answers))


__all__ = ["ElabError", "ElabFile", "Result", "load", "prepare"]
