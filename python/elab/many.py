"""Many series at once: prepare_many() and frame()."""

import concurrent.futures
import os

SYMBOL_COLUMNS = ("symbol", "ticker", "name", "code", "instrument", "isin")


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


def _named_sources(sources):
    """(name, source) pairs in input order; the names of paths by the
    program's rule for {name}."""
    import pandas as pd
    if isinstance(sources, pd.DataFrame) and isinstance(sources.index, pd.MultiIndex):
        sources = sources.reset_index()  # a (Symbol, Date) index: a long frame
    if isinstance(sources, pd.DataFrame):
        return _split_by_symbol(sources)
    if hasattr(sources, "items"):
        return _one_name_each([(str(name), name, source) for name, source in sources.items()], "keys")
    from . import _elab
    sources = list(sources)
    paths = [os.fsdecode(s) for s in sources if _is_path(s)]
    path_names = iter(_elab.series_names(paths))
    named = [(next(path_names) if _is_path(s) else str(k), s, s) for k, s in enumerate(sources)]
    return _one_name_each(named, "sources")


class OneSeries:
    """One symbol's series of a long file read once (prepare_many with
    symbol="all")."""

    def __init__(self, table, series, path):
        self.table, self.series, self.path = table, series, path


def each_symbol(sources, read, symbols_of):
    """The series of each path's symbols by name, as the program's
    --symbol=all names them: a symbol as it is, led by its file's name
    (name/symbol) where two files hold it; a file without a symbol column
    is one series of its own name."""
    from . import _elab
    paths = [os.fsdecode(s) for s in sources]
    series = []
    for name, path in zip(_elab.series_names(paths), paths):
        table = read(path)
        if table is None:
            series.append((name, None, path))
        else:
            series += [(name, symbol, OneSeries(table, k, path)) for k, symbol in enumerate(symbols_of(table))]
    holders = {}
    for name, symbol, _ in series:
        key = name if symbol is None else symbol
        holders[key] = holders.get(key, 0) + 1
    named = {}
    for name, symbol, source in series:
        label = name if symbol is None else symbol if holders[symbol] == 1 else name + "/" + symbol
        named[label] = source
    return named


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
    pairs = _named_sources(sources)
    if workers is None:
        workers = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    outcomes = {}

    def one(pair):
        name, source = pair
        try:
            outcomes[name] = prepare(source, **answers)
        except refusals(error_class) as e:
            outcomes[name] = e

    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, workers or 1)) as pool:
        list(pool.map(one, pairs))
    return ended(error_class, pairs, outcomes, errors)


def refusals(error_class):
    """The failures of one series that the others go on past."""
    return (error_class, ValueError, TypeError, OSError)


def ended(error_class, pairs, outcomes, errors):
    """The Results of (name, source) pairs from each name's Result or
    refusal, as errors asks."""
    results = {n: outcomes[n] for n, _ in pairs if not isinstance(outcomes[n], Exception)}
    failed = {n: outcomes[n] for n, _ in pairs if isinstance(outcomes[n], Exception)}
    if failed and errors == "raise":
        raise error_class("MANY", "%d of %d failed:\n" % (len(failed), len(pairs)) +
                          "\n".join("%s: %s" % (n, e) for n, e in failed.items()), 1)
    return Results(results, failed)


def frame(results):
    """One DataFrame of every Result, indexed by (name, date); of every
    Split, by (name, set, date)."""
    import pandas as pd
    named = results.items() if hasattr(results, "items") else ((str(k), r) for k, r in enumerate(results))
    frames = {name: r.frame() for name, r in named}
    if not frames:
        return pd.DataFrame()
    return pd.concat(frames, names=["Series"] + list(next(iter(frames.values())).index.names))
