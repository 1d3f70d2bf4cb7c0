"""Many series at once: prepare_many() and frame()."""

import concurrent.futures
import os

from . import _elab as _core

# The program's own names of a symbol column, as column keys.
SYMBOL_COLUMNS = tuple(_core.symbol_column_names())


def _is_path(source):
    return isinstance(source, (str, bytes, os.PathLike))


def _symbol_column(frame):
    for column in frame.columns:
        if isinstance(column, str) and column.strip().lower() in SYMBOL_COLUMNS:
            return column
    return None


def _one_name_each(pairs, what):
    """The pairs, refused where two names are equal as texts."""
    seen = {}
    for name, given, _ in pairs:
        twice = name in seen and _is_path(given) and _is_path(seen[name])
        if twice and os.fsdecode(given) == os.fsdecode(seen[name]):
            raise ValueError("price file %r given twice: give each file once" % os.fsdecode(given))
        if name in seen:
            raise ValueError("two %s of one name %r: %r and %r" % (what, name, seen[name], given))
        seen[name] = given
    return [(name, source) for name, _, source in pairs]


def _split_by_symbol(frame):
    column = _symbol_column(frame)
    if column is None:
        raise ValueError("a single DataFrame needs a symbol column (%s)"
                         % ", ".join(c.capitalize() for c in SYMBOL_COLUMNS))
    missing = frame[column].isna().to_numpy()
    if missing.any():
        rows = [str(k + 1) for k in missing.nonzero()[0][:5]]
        raise ValueError("%d rows without a symbol in column %r (row %s%s): give them one or leave them out"
                         % (missing.sum(), column, ", ".join(rows), ", ..." if missing.sum() > 5 else ""))
    return _one_name_each([(str(symbol), symbol, group.drop(columns=[column]))
                           for symbol, group in frame.groupby(column, sort=False)], "symbols")


SOURCE_KEYWORDS = ("close", "date", "date_order", "symbol")
# The columns of a sources file or table, by the keyword each gives.
SOURCE_COLUMNS = {"close": "close", "date_column": "date", "date_order": "date_order", "symbol": "symbol",
                  "name": "name"}


def _sources_table(frame):
    """The (name, source, keywords) of a DataFrame of sources: a file column
    and any of close, date_column, date_order, symbol and name."""
    import pandas as pd
    unknown = [c for c in frame.columns if c != "file" and c not in SOURCE_COLUMNS]
    if unknown:
        raise ValueError("sources: no column %r is known: file, %s" % (unknown[0], ", ".join(SOURCE_COLUMNS)))
    rows = []
    for _, row in frame.iterrows():
        given = {SOURCE_COLUMNS[c]: str(row[c]).strip() for c in SOURCE_COLUMNS
                 if c in frame.columns and not pd.isna(row[c]) and str(row[c]).strip()}
        rows.append(dict(given, file=os.fsdecode(row["file"])))
    return rows


def _from_rows(rows):
    """The (name, given, source, keywords) of sources given as rows, paths
    named by the program's rule where no name is given."""
    from . import _elab
    names = iter(_elab.series_names([r["file"] for r in rows]))
    out = []
    for r in rows:
        rule = next(names)
        keywords = {k: r[k] for k in SOURCE_KEYWORDS if k in r}
        out.append((r.get("name", rule), r["file"], (r["file"], keywords)))
    return out


def _is_sources_table(sources):
    return hasattr(sources, "columns") and "file" in list(sources.columns)


def _tickers(frame):
    """(ticker, its columns) of (field, ticker) columns, in their order."""
    from . import _elab
    fields = [str(v) for v in frame.columns.get_level_values(0)]
    level = 0 if _elab.table_columns(list(dict.fromkeys(fields)), None, None)[1] is None else 1
    return [(str(t), frame.xs(t, axis=1, level=level)) for t in dict.fromkeys(frame.columns.get_level_values(level))]


def is_long_frame(prices):
    """A DataFrame of several series: a symbol column, or (field, ticker)
    columns."""
    import sys
    pd = sys.modules.get("pandas")
    if pd is None or not isinstance(prices, pd.DataFrame):
        return False
    return isinstance(prices.columns, pd.MultiIndex) or _symbol_column(prices) is not None


def _frame_series(frame):
    """(name, frame) of each series of a long frame; none for another."""
    if not is_long_frame(frame):
        return []
    import pandas as pd
    return _tickers(frame) if isinstance(frame.columns, pd.MultiIndex) else _split_by_symbol(frame)


def _named_sources(sources):
    """(name, source, keywords) in input order; the names of paths by the
    program's rule for {name}."""
    import pandas as pd
    if isinstance(sources, pd.DataFrame) and isinstance(sources.index, pd.MultiIndex):
        sources = sources.reset_index()  # a (Symbol, Date) index: a long frame
    from . import _elab
    if _is_path(sources) or _is_sources_table(sources):
        rows = _elab.read_sources(os.fsdecode(sources)) if _is_path(sources) else _sources_table(sources)
        return [(n, s, k) for n, (s, k) in _one_name_each(_from_rows(rows), "sources")]
    if isinstance(sources, pd.DataFrame):
        series = _frame_series(sources) or _split_by_symbol(sources)  # the latter tells what is missing
        return [(n, s, {}) for n, s in series]
    if hasattr(sources, "items"):
        named = []
        for name, source in sources.items():
            keywords = {}
            if isinstance(source, tuple):
                source, keywords = source
            named.append((str(name), name, (source, dict(keywords))))
        return [(n, s, k) for n, (s, k) in _one_name_each(named, "keys")]
    sources = list(sources)
    paths = [os.fsdecode(s) for s in sources if _is_path(s)]
    path_names = iter(_elab.series_names(paths))
    named = [(next(path_names) if _is_path(s) else str(k), s, s) for k, s in enumerate(sources)]
    return [(n, s, {}) for n, s in _one_name_each(named, "sources")]


def _each_symbol(triples, answers, read_once=True):
    """symbol="all": every symbol of each long file a series of its own,
    named by the symbol, or by its file's name and the symbol where two
    files hold it. read_once: a long file's rows grouped by symbol in one
    reading, each series a OneSeries of it (which stays in this process);
    otherwise each symbol's run reads the file."""
    from . import _elab
    expanded = []
    for name, source, keywords in triples:
        symbol = keywords.get("symbol", answers.get("symbol"))
        symbols = []
        if symbol == "all" and _is_path(source):
            path = os.fsdecode(source)
            choice = [_text_or_none(keywords.get(k, answers.get(k))) for k in ("close", "date", "date_order")]
            table = _elab.file_series(path, *choice) if read_once else None
            if table is not None:
                symbols = [(s, OneSeries(table, k, path), s) for k, s in enumerate(_elab.series_symbols(table))]
            else:
                symbols = [(s, source, s) for s in _elab.file_symbols(path, *choice)]
        elif symbol == "all":
            symbols = [(s, frame, None) for s, frame in _frame_series(source)]
        if not symbols:
            # A file of one series, or one whose run tells why not.
            expanded.append((name, None, source, dict(keywords, symbol=None) if symbol == "all" else keywords))
        for s, part, chosen in symbols:
            expanded.append((name, s, part, dict(keywords, symbol=chosen)))
    holders = {}
    for name, symbol, _, _ in expanded:
        holders[symbol if symbol is not None else name] = holders.get(symbol if symbol is not None else name, 0) + 1
    out = []
    for name, symbol, source, keywords in expanded:
        label = name if symbol is None else symbol if holders[symbol] == 1 else name + "/" + symbol
        out.append((label, source, keywords))
    return out


class OneSeries:
    """One symbol's series of a long file read once (prepare_many with
    symbol="all")."""

    def __init__(self, table, series, path):
        self.table, self.series, self.path = table, series, path


def _text_or_none(value):
    return None if value is None else str(value)


class Results(dict):
    """The Results of prepare_many by name, in input order; errors holds the
    failed ones' exceptions by name."""

    def __init__(self, results, errors):
        super().__init__(results)
        self.errors = errors


def prepare_many(prepare, error_class, sources, workers=None, errors="collect", **answers):
    if errors not in ("collect", "raise"):
        raise ValueError("errors is 'collect' or 'raise', not %r" % (errors,))
    if workers is not None and not workers >= 1:
        raise ValueError("workers is 1 or more, not %r" % (workers,))
    triples = _each_symbol(_named_sources(sources), answers)
    if workers is None:
        workers = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    outcomes = {}

    def one(triple):
        name, source, keywords = triple
        try:
            outcomes[name] = prepare(source, **dict(answers, **keywords))
        except refusals(error_class) as e:
            outcomes[name] = e

    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, workers or 1)) as pool:
        list(pool.map(one, triples))
    return ended(error_class, triples, outcomes, errors)


def refusals(error_class):
    """The failures of one series that the others go on past."""
    return (error_class, ValueError, TypeError, OSError)


def ended(error_class, triples, outcomes, errors):
    """The Results of (name, source, keywords) triples from each name's
    Result or refusal, as errors asks."""
    names = [n for n, _, _ in triples]
    results = {n: outcomes[n] for n in names if not isinstance(outcomes[n], Exception)}
    failed = {n: outcomes[n] for n in names if isinstance(outcomes[n], Exception)}
    if failed and errors == "raise":
        raise error_class("MANY", "%d of %d failed:\n" % (len(failed), len(triples)) +
                          "\n".join("%s: %s" % (n, e) for n, e in failed.items()), 1)
    return Results(results, failed)


def frame(results):
    """One DataFrame of every Result, indexed by (name, date); of every
    Split, by (name, set, date). A path of a CSV that elab --format=csv
    wrote, of either shape, gives the same index."""
    import pandas as pd
    if _is_path(results):
        from .load import load
        return load(results).frame()
    named = results.items() if hasattr(results, "items") else ((str(k), r) for k, r in enumerate(results))
    frames = {name: r.frame() for name, r in named}
    if not frames:
        return pd.DataFrame()
    return pd.concat(frames, names=["Series"] + list(next(iter(frames.values())).index.names))
