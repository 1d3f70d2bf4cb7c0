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

A training and a test set from one run, nothing of the test days seen by
the training set:

    s = elab.prepare("prices.csv", variable=11, coefficient=2, screen_output=True,
                     screen_inputs=True, days=-1, test_from="2023-01-01")
    s.train, s.test     # Results: fit on the one, score on the other
    s.frame()           # indexed by (Set, Date)

The same on a cluster of the package distributed: elab.prepare_on(client,
sources, ...).
"""

import decimal
import numbers
import os
import sys
import warnings

import numpy as np

from . import cluster as _cluster
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

    def __reduce__(self):
        # Whole through pickle, as a cluster's workers send it back.
        return (type(self), (self.code, self.message, self.status, self.file))

    def __str__(self):
        if self.file is not None and not self.message.startswith(self.file + ": "):
            return "%s: %s: %s" % (self.code, self.file, self.message)
        return "%s: %s" % (self.code, self.message)


from ._elab import (  # noqa: E402
    answer_names as _answer_names, prepare_file as _prepare_file, prepare_series as _prepare_series,
    prepare_table as _prepare_table,
    table_columns as _table_columns)


class Result:
    """What prepare() gives: text, count, layout, columns, values, dates."""

    def __init__(self, raw):
        self._text = raw["text"]
        self.count = raw["count"]
        self.layout = raw["layout"]
        self.columns = raw["columns"]
        self.values = raw["values"]
        self.dates = raw["days"].view("datetime64[D]")
        self.warnings = raw["warnings"]

    @property
    def text(self):
        """The bytes elab writes to elab.dat, made from the run's own text
        when first asked for."""
        if not isinstance(self._text, bytes):
            self._text = self._text.tobytes()
        return self._text

    def frame(self):
        """The values as a pandas DataFrame indexed by the dates."""
        import pandas as pd
        return pd.DataFrame(self.values, columns=self.columns,
                            index=pd.DatetimeIndex(self.dates, name="Date"))

    def __repr__(self):
        return "<elab.Result layout %s, %d records>" % (self.layout, self.count)


class Split:
    """What prepare(..., test_from=DATE) gives: train, the Result of the rows
    before DATE (that of a run over them alone), and test, the Result of the
    rows from DATE on (their inputs from the whole history, their true output
    values, the inputs screened by the training set's statistics)."""

    def __init__(self, raw):
        self.train = Result(raw)
        self.test = Result(raw["test"])
        self.warnings = self.train.warnings

    def frame(self):
        """Both sets as one pandas DataFrame indexed by (Set, Date)."""
        import pandas as pd
        return pd.concat({"train": self.train.frame(), "test": self.test.frame()}, names=["Set", "Date"])

    def __repr__(self):
        return "<elab.Split layout %s, %d training and %d test records>" % (
            self.train.layout, self.train.count, self.test.count)


def _option_text(value):
    """A keyword as the command line would spell it."""
    if hasattr(value, "strftime"):
        return value.strftime("%Y-%m-%d")  # a date, datetime or Timestamp
    if isinstance(value, np.datetime64):
        return str(value.astype("datetime64[D]"))
    if isinstance(value, (bool, np.bool_)):
        return "yes" if value else "no"
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        return repr(float(value))
    return str(value)


def _number_text(v):
    """A number as a close's text: a Decimal's own digits, any other number
    as Python writes the float it is; a missing one empty."""
    if isinstance(v, decimal.Decimal):
        return str(v) if v.is_finite() else ""
    v = float(v)
    return "" if v != v else repr(v)


def _texts(values):
    """A column as texts: empty for a missing value, a number as a number."""
    out = []
    for v in values:
        if hasattr(v, "item") and not isinstance(v, str):
            v = v.item()
        if v is None:
            out.append("")
        elif isinstance(v, str):
            out.append(v)
        elif isinstance(v, (numbers.Number, decimal.Decimal)) and not isinstance(v, (bool, complex)):
            out.append(_number_text(v))
        else:
            out.append(repr(v))
    return out


def _days(values, name):
    """Years, months and days of datetimes, each in its own zone: the date as
    written, never the UTC date."""
    import pandas as pd
    dates = pd.DatetimeIndex(values)
    if dates.tz is not None:
        dates = dates.tz_localize(None)
    if dates.hasnans:
        row = int(np.flatnonzero(dates.isna())[0]) + 1
        raise ElabError("INPUT", 'table: row %d, field "%s": no date (NaT): give the row its date or drop it'
                        % (row, name), 1)
    day = dates.values.astype("datetime64[D]")
    month = day.astype("datetime64[M]")
    years = month.astype("datetime64[Y]").astype(np.int64) + 1970
    months = month.astype(np.int64) % 12 + 1
    return years, months, (day - month).astype(np.int64) + 1


def _one_ticker(frame, symbol):
    """The columns of one ticker of (field, ticker) columns."""
    fields = [str(v) for v in frame.columns.get_level_values(0)]
    level = 0 if _table_columns(list(dict.fromkeys(fields)), None, None)[1] is None else 1
    tickers = list(dict.fromkeys(frame.columns.get_level_values(level)))
    if symbol is None and len(tickers) > 1:
        raise ElabError("INPUT", "table: %d series in the columns: %s; choose one with symbol=" % (
            len(tickers), ", ".join('"%s"' % t for t in tickers[:10]) + (
                " and %d more" % (len(tickers) - 10) if len(tickers) > 10 else "")), 1)
    wanted = tickers[0] if symbol is None else symbol
    if wanted not in tickers:
        raise ElabError("INPUT", 'table: no columns of "%s"' % wanted, 1)
    return frame.xs(wanted, axis=1, level=level)


def _table(prices, close, date, symbol):
    """The keywords of _prepare_table for a DataFrame or a Series."""
    import pandas as pd
    if isinstance(prices, pd.Series):
        prices = prices.to_frame(name="Close" if prices.name is None else prices.name)
        close = prices.columns[0] if close is None else close
    frame = prices
    if isinstance(frame.index, pd.MultiIndex):
        # A (Symbol, Date) index holds the columns of a long frame.
        frame = frame.reset_index()
    if isinstance(frame.columns, pd.MultiIndex):
        frame = _one_ticker(frame, symbol)
        symbol = None
    names = [str(c) for c in frame.columns]
    at_date, at_close, at_symbol, missing = _table_columns(
        names, None if close is None else str(close), None if date is None else str(date))
    # The index serves as the dates when it holds datetimes or is named as a
    # date column is (pd.read_csv(..., index_col="Date")).
    index_name = None if frame.index.name is None else str(frame.index.name)
    named = index_name is not None and _table_columns(
        [index_name, ""], None, None if date is None else str(date))[0] == 0
    by_index = at_date is None and (named or (date is None and isinstance(frame.index, pd.DatetimeIndex)))
    if at_close is None or (at_date is None and not by_index):
        raise ElabError("INPUT", "table: " + missing, 1)
    table = dict(years=None, months=None, days=None, date_texts=None, closes=None,
                 close_texts=None, symbols=None, symbol_name="Symbol",
                 date_name=(index_name or "Date") if by_index else names[at_date], close_name=names[at_close])
    dates = frame.index if by_index else frame.iloc[:, at_date]
    if dates.dtype == object and all(isinstance(v, str) for v in dates):
        table["date_texts"] = list(dates)
    else:
        table["years"], table["months"], table["days"] = _days(dates, table["date_name"])
    closes = frame.iloc[:, at_close]
    if closes.dtype == object:
        table["close_texts"] = _texts(closes)
    else:
        table["closes"] = pd.to_numeric(closes).to_numpy(dtype=np.float64)
    if at_symbol is not None:
        table["symbols"] = [str(v) for v in frame.iloc[:, at_symbol]]
        table["symbol_name"] = names[at_symbol]
    return table, symbol


def _either(name, value, alias, alias_value, default):
    if value is not None and alias_value is not None:
        raise TypeError("prepare() takes %s or %s, not both" % (name, alias))
    for v in (value, alias_value):
        if v is not None:
            return v
    return default


def prepare(prices, *, from_=None, to=None, variable, coefficient, screen_output,
            screen_inputs, days, test_from=None, close=None, date=None, symbol=None,
            date_order=None, start=None, end=None, strict=False):
    """The training set of prices (a path to a price file in either form, a
    pandas DataFrame with a date column or a datetime index and a close
    column, or a Series of closes on a datetime index), for the answers the
    program asks, named as its options are: from_ and to as --from and --to
    ("all" and 0 when not given; start and end are the same), days as
    --days, booleans for the screenings; close, date, symbol and date_order
    as --close, --date-column, --symbol and --date-order. With test_from (a
    date, or its text as --test-from takes it) a Split of a training and a
    test set. Rows left out for want of a close are also warned of, and so
    are weekend rows, gaps of more than 10 days and runs of five equal
    closes among the rows taken, as the program warns of them; strict=True
    makes those an ElabError, as --strict does. symbol="all" runs every
    series of a file or table of several and returns what prepare_many
    returns. The interpreter's lock is released during the run."""
    if symbol == "all":
        many = prices if _many.is_long_frame(prices) else [prices]
        return prepare_many(many, from_=from_, to=to,
                            variable=variable, coefficient=coefficient, screen_output=screen_output,
                            screen_inputs=screen_inputs, days=days, test_from=test_from, close=close, date=date,
                            symbol="all", date_order=date_order, start=start, end=end, strict=strict,
                            errors="raise")
    given = dict(from_=_either("from_", from_, "start", start, "all"),
                 to=_either("to", to, "end", end, 0),
                 variable=variable, coefficient=coefficient, screen_output=screen_output,
                 screen_inputs=screen_inputs, days=days, test_from=test_from)
    answers = {keyword: _option_text(given[keyword]) for keyword, _ in _answer_names()
               if given[keyword] is not None}
    order = None if date_order is None else str(date_order)
    if isinstance(prices, _many.OneSeries):
        try:
            result = _result(_prepare_series(prices.table, prices.series, prices.path, answers,
                                             None if close is None else str(close),
                                             None if date is None else str(date), order))
        except ElabError as e:
            e.file = prices.path
            raise
    elif isinstance(prices, (str, bytes, os.PathLike)):
        path = os.fsdecode(prices)
        if "\0" in path:
            # The system would read the name only up to it: another file.
            raise ValueError("prices: a path with a NUL character: %r" % path)
        try:
            result = _result(_prepare_file(path, answers, None if close is None else str(close),
                                          None if date is None else str(date),
                                          None if symbol is None else str(symbol), order, strict))
        except ElabError as e:
            e.file = path
            raise
    elif isinstance(prices, _table_types()):
        table, symbol = _table(prices, close, date, symbol)
        result = _result(_prepare_table(answers=answers, symbol=None if symbol is None else str(symbol),
                                       date_order=order, strict=strict, **table))
    else:
        raise TypeError("prices must be a path (str, bytes or os.PathLike), a pandas DataFrame or a "
                        "pandas Series, not %s" % type(prices).__name__)
    for text in result.warnings:
        warnings.warn(text, stacklevel=2)
    return result


def _result(raw):
    return Split(raw) if "test" in raw else Result(raw)


def _table_types():
    """The tables prepare takes; none without pandas."""
    pd = sys.modules.get("pandas")
    return (pd.DataFrame, pd.Series) if pd is not None else ()


def prepare_many(sources, *, workers=None, errors="collect", **answers):
    """prepare() of many series on worker threads (by default one for each
    processor this process may use): sources is a list of paths (named as
    the program's {name}), a mapping of names to paths, DataFrames or
    Series, or to (source, {keywords}) whose keywords go over the call's,
    one long DataFrame with a symbol column (Symbol, Ticker, Name, Code,
    Instrument or ISIN, any case), split by it, or (field, ticker)
    columns, a ticker each, or a sources file as --sources takes it (a
    path, or a DataFrame with a file column). symbol="all" makes each long
    file one series a symbol, a file read once for all. Returns the
    Results by name in input order; with errors="collect" the failed ones
    are in .errors by name, with errors="raise" one ElabError lists them."""
    return _many.prepare_many(prepare, ElabError, sources, workers, errors, **answers)


def prepare_on(client, sources, *, errors="collect", **answers):
    """prepare_many() on a cluster of the package distributed: each call on
    one of the client's workers, the sources named and the failed ones
    collected (or raised) as prepare_many names and collects them."""
    return _cluster.prepare_on(client, prepare, ElabError, sources, errors, **answers)


frame = _many.frame

__all__ = ["ElabError", "ElabFile", "Result", "Split", "frame", "load", "prepare", "prepare_many", "prepare_on"]
