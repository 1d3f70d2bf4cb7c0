"""Many series at once: prepare_many() and frame()."""

import concurrent.futures
import os

SYMBOL_COLUMNS = ("symbol", "ticker", "name", "code", "instrument", "isin")


def series_name(path):
    """A price file's name without its directory and last extension, as the
    program's {name} gives it."""
    base = os.path.basename(os.fsdecode(path))
    stem, dot, _ = base.rpartition(".")
    return stem if dot and stem else base


def _is_path(source):
    return isinstance(source, (str, bytes, os.PathLike))


def _symbol_column(frame):
    for column in frame.columns:
        if isinstance(column, str) and column.strip().lower() in SYMBOL_COLUMNS:
            return column
    return None


def _named_sources(sources):
    """(name, source) pairs in input order."""
    import pandas as pd
    if isinstance(sources, pd.DataFrame) and isinstance(sources.index, pd.MultiIndex):
        sources = sources.reset_index()  # a (Symbol, Date) index: a long frame
    if isinstance(sources, pd.DataFrame):
        column = _symbol_column(sources)
        if column is None:
            raise ValueError("a single DataFrame needs a symbol column (%s)"
                             % ", ".join(c.capitalize() for c in SYMBOL_COLUMNS))
        return [(str(symbol), group.drop(columns=[column]))
                for symbol, group in sources.groupby(column, sort=False)]
    if hasattr(sources, "items"):
        return [(str(name), source) for name, source in sources.items()]
    pairs = []
    for k, source in enumerate(sources):
        pairs.append((series_name(source) if _is_path(source) else str(k), source))
    seen = {}
    for name, source in pairs:
        if name in seen:
            raise ValueError("two sources of one name %r: %r and %r" % (name, seen[name], source))
        seen[name] = source
    return pairs


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
    """One DataFrame of every Result, indexed by (name, date)."""
    import pandas as pd
    named = results.items() if hasattr(results, "items") else ((str(k), r) for k, r in enumerate(results))
    frames = {name: r.frame() for name, r in named}
    if not frames:
        return pd.DataFrame()
    return pd.concat(frames, names=["Series", "Date"])
