"""The module elab against the program: the same bytes for the same
answers, values and dates that agree with the text, ElabError for the
program's failures, threads, DataFrames. ELAB_PROGRAM names the program,
ELAB_SOURCE the source tree."""

import concurrent.futures
import decimal
import io
import os
import re
import shutil
import subprocess
import tempfile

import numpy as np
import pandas as pd
import pytest

import elab

SOURCE = os.environ.get("ELAB_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
PROGRAM = os.environ.get("ELAB_PROGRAM")
PRICES = os.path.join(SOURCE, "examples", "prices.txt")
PRICES_CSV = os.path.join(SOURCE, "examples", "prices.csv")

# (start, end, variable, coefficient, screen_output, screen_inputs, days):
# every layout, both screenings, ranges by key and by ISO date.
ANSWER_SETS = [
    ("all", 0, 1, 2, False, False, 0),
    ("all", 0, 11, 2, True, True, -1),
    (950101, 951231, 3, 1.5, True, False, 4),
    ("1995-07-03", 0, 6, 2, False, True, 2),
    (0, 960331, 9, 3, True, True, 6),
    ("all", 0, 5, 0.5, True, True, -1),
]


def keywords(answers):
    start, end, variable, coefficient, screen_output, screen_inputs, days = answers
    return dict(start=start, end=end, variable=variable, coefficient=coefficient,
                screen_output=screen_output, screen_inputs=screen_inputs, days=days)


def typed(value):
    """An answer as typed at the program's questions."""
    if isinstance(value, bool):
        return "1" if value else "0"
    if value == "all":
        return "-1"
    if isinstance(value, str):  # an ISO date: the key of the question
        y, m, d = (int(p) for p in value.split("-"))
        return str((y - 1900) * 10000 + m * 100 + d)
    return str(value)


def program_run(prices, answers):
    """elab.dat and the status of the program for the same answers."""
    if PROGRAM is None:
        pytest.skip("ELAB_PROGRAM not set")
    start, end = answers[0], answers[1]
    typed_answers = [typed(start)] + ([] if start == "all" else [typed(end)])
    typed_answers += [typed(a) for a in answers[2:]]
    with tempfile.TemporaryDirectory() as d:
        run = subprocess.run([PROGRAM, prices], cwd=d, input="\n".join(typed_answers) + "\n",
                             capture_output=True, text=True)
        with open(os.path.join(d, "elab.dat"), "rb") as f:
            return f.read(), run.returncode


@pytest.mark.parametrize("answers", ANSWER_SETS, ids=str)
def test_text_is_the_programs_elab_dat(answers):
    expected, status = program_run(PRICES, answers)
    assert status == 0
    r = elab.prepare(PRICES, **keywords(answers))
    assert type(r.text) is bytes and r.text == expected
    assert r.text is r.text  # made once
    assert r.count == expected.count(b"\r\n")


@pytest.mark.parametrize("answers", ANSWER_SETS, ids=str)
def test_values_lay_out_as_the_fields(answers):
    r = elab.prepare(PRICES, **keywords(answers))
    assert r.values.dtype == np.float32 and r.values.shape == (r.count, len(r.columns))
    assert r.columns[-1] == "PREV"
    if r.count == 0:  # every day screened out
        assert r.text == b""
        return
    with tempfile.NamedTemporaryFile(suffix=".dat") as f:
        f.write(r.text)
        f.flush()
        loaded = elab.load(f.name)
    assert loaded.layout == r.layout
    assert list(loaded.columns) == r.columns
    for k, name in enumerate(r.columns):
        field = loaded.columns[name]
        shown = ~np.isnan(field)
        # Four decimals: the field is the value rounded once.
        assert np.all(np.abs(field[shown] - r.values[shown, k]) <= 0.5e-4 * (1 + 1e-6)), name


@pytest.mark.parametrize("answers", ANSWER_SETS, ids=str)
def test_dates_are_the_records_days(answers):
    r = elab.prepare(PRICES, **keywords(answers))
    assert r.dates.dtype == np.dtype("datetime64[D]") and len(r.dates) == r.count
    table = np.loadtxt(PRICES, skiprows=1)
    file_days = np.array(["%04d-%02d-%02d" % tuple(row[:3]) for row in table],
                         dtype="datetime64[D]")
    assert np.isin(r.dates, file_days).all()
    assert (np.diff(r.dates) > np.timedelta64(0, "D")).all()
    weekday = (r.dates.astype(np.int64) + 3) % 7  # Monday 0
    if r.layout == "C":
        dummies = r.values[:, :5]
        assert (dummies[np.arange(r.count), weekday] == 1).all()
        assert (dummies.sum(axis=1) == 1).all()
    if r.layout == "A":
        assert ((r.values[:, 0] == 1) == (weekday == 0)).all()
    if r.layout == "B":
        assert (weekday == answers[6] - 2).all()


def write(directory, name, text):
    path = os.path.join(directory, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def price_text(closes):
    rows = ["%d %d" % (len(closes), 7)]
    day = np.datetime64("1995-01-02")
    for close in closes:
        while (day.astype(np.int64) + 3) % 7 >= 5:
            day += 1
        y, m, d = str(day).split("-")
        rows.append("%s %d %d 0 0 %s %d" % (y, int(m), int(d), close,
                                          (day.astype(np.int64) + 3) % 7 + 2))
        day += 1
    return "\n".join(rows) + "\n"


ORDINARY = ["%.2f" % (100 + (7 * i) % 11) for i in range(150)]

def test_a_record_of_no_calendar_day_has_no_date():
    """Rows 90 to 95, the first six records, on no day of the calendar."""
    lines = price_text(ORDINARY).split("\n")
    no_days = ["1995 2 30", "1995 13 1", "1995 6 0", "1995.5 6 1", "3000000000 1 1", "1900 2 29"]
    for row, ymd in enumerate(no_days, 90):
        lines[row] = " ".join([ymd] + lines[row].split()[3:])
    with tempfile.TemporaryDirectory() as directory:
        r = elab.prepare(write(directory, "p.txt", "\n".join(lines)), **keywords(ANSWER_SETS[0]))
    assert np.isnat(r.dates[:6]).all() and not np.isnat(r.dates[6:]).any()


# (name, price file text or None for a missing one, answers, code, status)
FAILURES = [
    ("missing file", None, {}, "F6416", 1),
    ("not a number", "150 7\n1995 1 2 0 0 x 2\n", {}, "F6103", 1),
    ("early end", "150 7\n1995 1 2 0 0 100 2\n", {}, "F6501", 1),
    ("zero close", price_text(["0"] + ORDINARY[1:]), {}, "M6103", 1),
    ("end before start", price_text(ORDINARY), dict(start=950601, end=950101), "STOP", 1),
    ("too few rows", price_text(ORDINARY[:100]), {}, "STOP", 1),
    ("six columns", "150 6\n", {}, "STOP", 1),
    ("strict: five equal closes", price_text(["100.00"] * 5 + ORDINARY[5:]), dict(strict=True), "INPUT", 1),
]


@pytest.mark.parametrize("name,text,answers,code,status", FAILURES, ids=[f[0] for f in FAILURES])
def test_failures_raise_elab_error_with_the_programs_number(name, text, answers, code, status):
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "missing.txt") if text is None else write(d, "p.txt", text)
        given = keywords(ANSWER_SETS[0])
        given.update(answers)
        with pytest.raises(elab.ElabError) as raised:
            elab.prepare(path, **given)
        assert raised.value.code == code and raised.value.status == status
        assert str(raised.value).count(path) == 1, str(raised.value)
        if PROGRAM is not None and code not in ("STOP", "INPUT"):
            run = subprocess.run([PROGRAM, path], cwd=d, input="-1\n1\n2\n0\n0\n0\n",
                                 capture_output=True, text=True)
            assert "run-time error %s" % code in run.stderr
            assert raised.value.message in run.stderr


@pytest.mark.parametrize("message,text", [
    ("file does not exist", "F6416: /d/p.csv: file does not exist"),
    ("/d/p.csv: line 2: bad", "F6416: /d/p.csv: line 2: bad"),
])
def test_the_text_of_an_error_names_its_file_once_before_the_message(message, text):
    assert str(elab.ElabError("F6416", message, 1, "/d/p.csv")) == text


@pytest.mark.parametrize("keyword,name,code", [
    ("days", "dummies", -1), ("days", "monday-flag", 0), ("days", "wed", 4), ("variable", "change-1d", 1),
    ("variable", "sign-20d", 8), ("variable", "mean-20d", 11), ("screen_output", "yes", 1), ("start", "all", -1)])
def test_a_named_answer_is_its_code(keyword, name, code):
    given = keywords(ANSWER_SETS[1])
    assert elab.prepare(PRICES, **dict(given, **{keyword: name})).text == \
        elab.prepare(PRICES, **dict(given, **{keyword: code})).text


@pytest.mark.parametrize("keyword,value", [("variable", 12), ("days", 1), ("screen_output", 2),
                                           ("start", "1995-02-30"), ("from_", "1995-02-30"),
                                           ("coefficient", "x")])
def test_a_refused_keyword_is_a_value_error(keyword, value):
    given = keywords(ANSWER_SETS[0])
    given[keyword] = value
    if keyword == "from_":
        del given["start"]
    with pytest.raises(ValueError):
        elab.prepare(PRICES, **given)


def test_the_keywords_are_the_programs_options_and_start_end_name_from_to():
    import inspect
    from elab import _elab
    table = _elab.answer_names()
    keyword_only = [name for name, p in inspect.signature(elab.prepare).parameters.items()
                    if p.kind == p.KEYWORD_ONLY]
    assert [keyword for keyword, _ in table] == keyword_only[:len(table)]
    for keyword, option in table:
        assert keyword.rstrip("_") == option.replace("-", "_")
    given = keywords(ANSWER_SETS[2])
    by_option = dict(given, from_=given.pop("start"), to=given.pop("end"))
    assert elab.prepare(PRICES, **by_option).text == elab.prepare(PRICES, **keywords(ANSWER_SETS[2])).text
    with pytest.raises(TypeError):
        elab.prepare(PRICES, **dict(by_option, start="all"))


@pytest.mark.parametrize("prices", [None, 3, 2.5, {"Close": [1.0]}, [1.0, 2.0]], ids=repr)
def test_prices_of_another_type_are_a_type_error_naming_what_is_taken(prices):
    with pytest.raises(TypeError, match="a path .*, a pandas DataFrame or a pandas Series"):
        elab.prepare(prices, **keywords(ANSWER_SETS[0]))


@pytest.mark.parametrize("path", [PRICES + "\0ignored", os.fsencode(PRICES) + b"\0x"], ids=repr)
def test_a_path_with_a_nul_is_a_value_error(path):
    with pytest.raises(ValueError, match="NUL"):
        elab.prepare(path, **keywords(ANSWER_SETS[0]))


def test_four_threads_give_the_results_of_one():
    alone = [elab.prepare(PRICES, **keywords(a)) for a in ANSWER_SETS]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for _ in range(3):
            together = list(pool.map(lambda a: elab.prepare(PRICES, **keywords(a)), ANSWER_SETS))
            for one, other in zip(alone, together):
                assert one.text == other.text
                assert np.array_equal(one.values, other.values)
                assert np.array_equal(one.dates, other.dates)


def test_four_threads_each_with_a_second_thread_give_the_results_of_one(monkeypatch):
    """Files large enough that each call makes a second thread of its own."""
    closes = ["%.2f" % (100 + 20 * np.sin(i / 40) + (7 * i) % 11) for i in range(100000)]
    answers = [ANSWER_SETS[1], ANSWER_SETS[5]]
    with tempfile.TemporaryDirectory() as d:
        path = write(d, "large.txt", price_text(closes))
        monkeypatch.setenv("ELAB_THREADS", "1")
        alone = [elab.prepare(path, **keywords(a)) for a in answers]
        monkeypatch.delenv("ELAB_THREADS")
        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            together = list(pool.map(lambda a: elab.prepare(path, **keywords(a)), answers * 2))
    for one, other in zip(alone * 2, together):
        assert one.text == other.text
        assert np.array_equal(one.values, other.values)


@pytest.mark.parametrize("answers", ANSWER_SETS[:3], ids=str)
def test_a_dataframe_gives_the_bytes_of_its_file(answers):
    frame = pd.read_csv(PRICES_CSV)
    from_file = elab.prepare(PRICES_CSV, **keywords(answers))
    assert elab.prepare(frame, **keywords(answers)).text == from_file.text
    indexed = frame.assign(Date=pd.to_datetime(frame["Date"])).set_index("Date")
    shuffled = indexed.sample(frac=1, random_state=1)
    assert elab.prepare(shuffled, **keywords(answers)).text == from_file.text
    # The same days as the program's own format.
    assert from_file.text == elab.prepare(PRICES, **keywords(answers)).text


def _frame():
    frame = pd.read_csv(PRICES_CSV)
    return frame.assign(Date=pd.to_datetime(frame["Date"]))


def _zoned(zone):
    """The days at midnight in a zone east or west of UTC."""
    frame = _frame()
    return frame.set_index(pd.DatetimeIndex(frame["Date"]).tz_localize(zone)).drop(columns="Date")


def _wide(frame):
    """(field, ticker) columns, the series asked for under "B"."""
    other = frame.assign(Close=frame["Close"] * 2)
    return pd.concat({"A": other.set_index("Date"), "B": frame.set_index("Date")}, axis=1).swaplevel(axis=1)


def _long(frame):
    other = frame.assign(Close=frame["Close"] * 2, Symbol="A")
    return pd.concat([other, frame.assign(Symbol="B")]).sort_values("Date")


# Each shape of the same days, and the keywords it needs.
SHAPES = [
    ("series", lambda: _frame().set_index("Date")["Close"], {}),
    ("lowercase names", lambda: _frame().rename(columns=str.lower), {}),
    ("zone east of utc", lambda: _zoned("Asia/Tokyo"), {}),
    ("zone west of utc", lambda: _zoned("America/New_York"), {}),
    ("zoned column", lambda: _frame().assign(Date=lambda f: f["Date"].dt.tz_localize("Europe/Berlin")), {}),
    ("field and ticker columns", lambda: _wide(_frame()), dict(symbol="B")),
    ("long frame", lambda: _long(_frame()), dict(symbol="B")),
    ("closes as text", lambda: _frame().assign(Close=lambda f: f["Close"].map("{:,.6f}".format).astype(object)), {}),
    ("dates as text, day first", lambda: _frame().assign(Date=lambda f: f["Date"].dt.strftime("%d.%m.%Y")), {}),
    ("close by name", lambda: _frame().rename(columns={"Close": "Settle"}), dict(close="settle")),
    ("index of date texts", lambda: pd.read_csv(PRICES_CSV, index_col="Date"), {}),
    ("symbol and date index", lambda: _long(_frame()).set_index(["Symbol", "Date"]), dict(symbol="B")),
    ("closes as decimals", lambda: _frame().assign(Close=lambda f: f["Close"].map(
        lambda c: decimal.Decimal(repr(c))).astype(object)), {}),
    ("numbers in an object column", lambda: _frame().assign(Close=lambda f: f["Close"].astype(object)), {}),
]


@pytest.mark.parametrize("name,make,given", SHAPES, ids=[s[0] for s in SHAPES])
def test_every_shape_gives_the_bytes_of_the_file(name, make, given):
    answers = keywords(ANSWER_SETS[1])
    from_file = elab.prepare(PRICES_CSV, **answers)
    r = elab.prepare(make(), **answers, **given)
    assert r.text == from_file.text
    assert np.array_equal(r.dates, from_file.dates)


def test_several_symbols_without_a_choice_are_listed():
    with pytest.raises(elab.ElabError, match='2 series in column "Symbol": "A", "B"'):
        elab.prepare(_long(_frame()), **keywords(ANSWER_SETS[1]))
    with pytest.raises(elab.ElabError, match='"A", "B"; choose one with symbol='):
        elab.prepare(_wide(_frame()), **keywords(ANSWER_SETS[1]))


def test_a_close_that_cannot_be_read_names_its_row():
    frame = _frame().assign(Close=lambda f: f["Close"].astype(str))
    frame.loc[4, "Close"] = "1O0.00"
    with pytest.raises(elab.ElabError, match='row 5, field "Close": invalid real value: "1O0.00"'):
        elab.prepare(frame, **keywords(ANSWER_SETS[1]))


@pytest.mark.parametrize("missing", [np.nan, None, ""], ids=["nan", "none", "empty"])
def test_a_close_left_out_is_warned_of(missing):
    frame = _frame().astype({"Close": object})
    frame.loc[[3, 7], "Close"] = missing
    with pytest.warns(UserWarning, match="table: 2 rows without a close left out, the first on row 4"):
        r = elab.prepare(frame, **keywords(ANSWER_SETS[1]))
    assert r.warnings == ["table: 2 rows without a close left out, the first on row 4"]


def test_what_check_finds_in_the_days_is_warned_of_as_the_program_does():
    with tempfile.TemporaryDirectory() as d:
        path = write(d, "p.txt", price_text(["100.00"] * 5 + ORDINARY[5:]))
        line = path + ": 1 run of 5 or more equal closes, the first from 1995-01-02: elab --check lists them"
        with pytest.warns(UserWarning, match=re.escape(line)):
            r = elab.prepare(path, **keywords(ANSWER_SETS[0]))
        assert r.warnings == [line]
        if PROGRAM is not None:
            run = subprocess.run([PROGRAM] + options_of(ANSWER_SETS[0]) + [path], cwd=d, capture_output=True)
            assert run.returncode == 0 and run.stderr == b"elab: warning: " + line.encode() + b"\r\n"
            strict = subprocess.run([PROGRAM, "--strict"] + options_of(ANSWER_SETS[0]) + ["-o", "s.dat", path],
                                    cwd=d, capture_output=True)
            assert strict.returncode == 1 and not os.path.exists(os.path.join(d, "s.dat"))


def test_an_empty_table_has_no_rows():
    with pytest.raises(elab.ElabError, match="table: the table is empty"):
        elab.prepare(_frame().iloc[:0], **keywords(ANSWER_SETS[1]))


def _with(frame, row, column, value):
    """frame with one value replaced, row counted from 1, the column as object."""
    frame = frame.astype({column: object}) if not isinstance(value, float) else frame.copy()
    frame.loc[row - 1, column] = value
    return frame


# (name, prices, keywords, code, what the message holds): every refusal
# names its row or line and the way out in the keywords' spelling.
REFUSALS = [
    ("zero close", lambda: _with(_frame(), 5, "Close", 0.0), {}, "M6103",
     r'floating-point error: divide by zero; table: row 5, date \d{4}-\d\d-\d\d, field "Close": the close 0 is '
     r'not above zero'),
    ("close under the smallest normal float", lambda: _with(_frame(), 5, "Close", 1e-50), {}, "INPUT",
     'table: row 5, field "Close": real value below the smallest normal single precision value'),
    ("date NaT", lambda: _with(_frame(), 5, "Date", pd.NaT), {}, "INPUT",
     'table: row 5, field "Date": no date'),
    ("too few rows", lambda: _frame().iloc[:100], {}, "STOP",
     "table: 100 rows selected of the 100 it has; a run takes at least 110"),
    ("close named wrong", _frame, dict(close="Last"), "INPUT", "name it with close=NAME or by its number, close=5"),
    ("close names the date", _frame, dict(close="Date"), "INPUT", 'close=Date names the date column "Date"'),
    ("no symbol chosen", lambda: _long(_frame()), {}, "INPUT", "choose one with symbol=VALUE"),
    ("symbol without its column", _frame, dict(symbol="A"), "INPUT", "symbol=A needs a column of symbols"),
    ("date order", lambda: pd.DataFrame({"Date": ["01/02/2024"] * 1, "Close": [1.0]}), {}, "INPUT",
     "give date_order=dmy or date_order=mdy"),
    ("table option on the own format", lambda: PRICES, dict(close="Close"), "INPUT",
     "close=Close needs a CSV price file"),
    # a date column named that is not there: the datetime index is no fallback
    ("date names a missing column", lambda: _frame().set_index(pd.DatetimeIndex(_frame()["Date"], name=None)),
     dict(date="When"), "INPUT", 'no column "When"'),
]


@pytest.mark.parametrize("name,make,given,code,holds", REFUSALS, ids=[r[0] for r in REFUSALS])
def test_a_refusal_names_its_row_and_the_keyword_that_mends_it(name, make, given, code, holds):
    with pytest.raises(elab.ElabError) as raised:
        elab.prepare(make(), **keywords(ANSWER_SETS[1]), **given)
    assert raised.value.code == code
    assert re.search(holds, str(raised.value)), str(raised.value)
    assert "--" not in str(raised.value)


@pytest.mark.parametrize("workers", [0, -1, 0.5])
def test_workers_below_one_are_a_value_error(workers):
    with pytest.raises(ValueError, match="workers"):
        elab.prepare_many([PRICES], workers=workers, **keywords(ANSWER_SETS[1]))


def test_the_frame_of_no_results_is_empty():
    assert elab.frame([]).empty and elab.frame({}).empty


def many_keywords():
    return keywords(ANSWER_SETS[1])


def test_prepare_many_gives_prepare_one_by_one_and_collects_the_failed():
    with tempfile.TemporaryDirectory() as d:
        short = write(d, "short.txt", price_text(ORDINARY[:100]))
        sources = [PRICES, os.path.join(d, "missing.txt"), PRICES_CSV, short]
        # prices.txt and prices.csv: one stem, told apart by the extension
        rs = elab.prepare_many(sources, **many_keywords())
        assert list(rs) == ["prices.txt", "prices.csv"] and list(rs.errors) == ["missing", "short"]
        named = {"txt": PRICES, "missing": sources[1], "csv": PRICES_CSV, "short": short}
        for workers in (1, 4):
            rs = elab.prepare_many(named, workers=workers, **many_keywords())
            assert list(rs) == ["txt", "csv"] and list(rs.errors) == ["missing", "short"]
            for name in rs:
                assert rs[name].text == elab.prepare(named[name], **many_keywords()).text
            assert "missing.txt" in str(rs.errors["missing"])
            assert rs.errors["short"].code == "STOP"
        with pytest.raises(elab.ElabError) as raised:
            elab.prepare_many(named, errors="raise", **many_keywords())
        assert "missing: " in raised.value.message and "short: " in raised.value.message


def test_prepare_many_splits_a_long_frame_by_its_symbol_column():
    one = pd.read_csv(PRICES_CSV)
    other = one.assign(Close=one["Close"] * 2)
    long = pd.concat([one.assign(TICKER="B"), other.assign(TICKER="A")]).sort_values("Date")
    rs = elab.prepare_many(long, **many_keywords())
    assert list(rs) == ["B", "A"]
    assert rs["B"].text == elab.prepare(one, **many_keywords()).text
    assert rs["A"].text == elab.prepare(other, **many_keywords()).text
    indexed = elab.prepare_many(long.set_index(["TICKER", "Date"]), **many_keywords())
    assert {n: r.text for n, r in indexed.items()} == {n: r.text for n, r in rs.items()}
    both = elab.frame(rs)
    assert both.index.names == ["Series", "Date"]
    assert np.array_equal(both.loc["A"].to_numpy(), rs["A"].values)


def test_prepare_many_takes_options_per_source_from_a_file_a_frame_or_a_mapping():
    with tempfile.TemporaryDirectory() as d:
        os.makedirs(os.path.join(d, "list"))
        mid = write(d, "mid.csv", open(PRICES_CSV).read().replace("Close", "Mid", 1))
        plain = write(d, "plain.csv", open(PRICES_CSV).read())
        expected = elab.prepare(PRICES_CSV, **many_keywords()).text
        listed = write(d, os.path.join("list", "s.csv"), "file,close,name\n../mid.csv,Mid,m\n../plain.csv,,\n")
        table = pd.DataFrame({"file": [mid, plain], "close": ["Mid", None], "name": ["m", None]})
        mapping = {"m": (mid, {"close": "Mid"}), "plain": plain}
        for sources in (listed, table, mapping):
            rs = elab.prepare_many(sources, close="Adj Close", **many_keywords())
            assert list(rs) == ["m", "plain"] and not rs.errors
            assert rs["m"].text == expected  # its own close over the call's
            assert rs["plain"].text == elab.prepare(plain, close="Adj Close", **many_keywords()).text
        bad = write(d, "bad.csv", "file,close\nmid.csv,Mid\nplain.csv\n")
        with pytest.raises(ValueError, match="bad.csv: line 3: 1 fields, the header has 2"):
            elab.prepare_many(bad, **many_keywords())


def test_symbol_all_gives_every_series_as_prepare_many_does():
    expected = elab.prepare(PRICES_CSV, **many_keywords()).text
    rs = elab.prepare(_wide(_frame()), symbol="all", **many_keywords())
    assert list(rs) == ["A", "B"] and rs["B"].text == expected
    with tempfile.TemporaryDirectory() as d:
        long = os.path.join(d, "long.csv")
        _long(_frame()).to_csv(long, index=False)
        rs = elab.prepare_many([long, PRICES], symbol="all", **many_keywords())
        assert list(rs) == ["A", "B", "prices"] and rs["B"].text == expected
        assert list(elab.prepare(long, symbol="all", **many_keywords())) == ["A", "B"]
    rs = elab.prepare_many({"w": _wide(_frame()), "p": PRICES_CSV}, symbol="all", **many_keywords())
    assert list(rs) == ["A", "B", "p"] and rs["p"].text == expected
    assert list(elab.prepare(PRICES_CSV, symbol="all", **many_keywords())) == ["prices"]


def test_prepare_many_reads_a_long_file_once_for_every_symbol():
    one = pd.read_csv(PRICES_CSV)
    long = pd.concat([one.assign(Symbol="B"), one.assign(Symbol="A", Close=one["Close"] * 2),
                      one.head(3).assign(Symbol="C")]).sort_values("Date")
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "long.csv")
        long.to_csv(path, index=False)
        flat = write(d, "flat.csv", open(PRICES_CSV).read())
        rs = elab.prepare_many([path, flat], symbol="all", workers=2, **many_keywords())
        assert list(rs) == ["B", "A", "flat"] and list(rs.errors) == ["C"]
        for symbol in ("A", "B"):
            assert rs[symbol].text == elab.prepare(path, symbol=symbol, **many_keywords()).text
        with pytest.raises(elab.ElabError) as alone:
            elab.prepare(path, symbol="C", **many_keywords())
        assert str(rs.errors["C"]) == str(alone.value)
        both = elab.prepare_many([path, shutil.copy(path, os.path.join(d, "again.csv"))], symbol="all",
                                 **many_keywords())
        assert list(both) == ["long/B", "long/A", "again/B", "again/A"]


def test_prepare_many_names_files_of_one_stem_as_the_program_does():
    with tempfile.TemporaryDirectory() as d:
        paths = [os.path.join(d, "a", "x.csv"), os.path.join(d, "b", "x.csv"), os.path.join(d, "x.txt"),
                 os.path.join(d, "y.csv")]
        for path in paths:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.copy(PRICES_CSV, path)
        rs = elab.prepare_many(paths, workers=2, **many_keywords())
        assert list(rs) == paths[:2] + ["x.txt", "y"] and not rs.errors
        # a name that is all extension keeps its dot
        dotted = os.path.join(d, ".z")
        shutil.copy(PRICES_CSV, dotted)
        assert list(elab.prepare_many([dotted, paths[3]], **many_keywords())) == [".z", "y"]


@pytest.mark.parametrize("sources, named", [
    ([PRICES, PRICES_CSV, PRICES], "price file '.*prices.txt' given twice"),
    (["1.csv", pd.DataFrame()], "two sources of one name '1': '1.csv' and Empty DataFrame"),
    ({1: PRICES, "1": PRICES_CSV}, "two keys of one name '1': 1 and '1'"),
    (pd.DataFrame({"Ticker": [1, "1"], "Date": ["2020-01-02"] * 2, "Close": [1.0] * 2}),
     "two symbols of one name '1': 1 and '1'"),
    (pd.DataFrame({"Ticker": ["A", None, float("nan")] * 3, "Date": ["2020-01-02"] * 9, "Close": [1.0] * 9}),
     "6 rows without a symbol in column 'Ticker' \\(row 2, 3, 5, 6, 8, ...\\)"),
])
def test_prepare_many_refuses_sources_of_one_name_and_rows_without_a_symbol(sources, named):
    with pytest.raises(ValueError, match=named):
        elab.prepare_many(sources, **many_keywords())


def test_csv_format_reads_as_the_loaded_training_file():
    if PROGRAM is None:
        pytest.skip("ELAB_PROGRAM not set")
    options = ["--from=all", "--variable=11", "--coefficient=2", "--screen-output=yes",
               "--screen-inputs=yes", "--days=dummies"]
    with tempfile.TemporaryDirectory() as d:
        for extra in (["-o", "p.dat", "--dates=p.days"], ["--format=csv", "-o", "p.csv"]):
            subprocess.run([PROGRAM] + options + extra + [PRICES], cwd=d, check=True, capture_output=True)
        csv = pd.read_csv(os.path.join(d, "p.csv"))
        dat = elab.load(os.path.join(d, "p.dat"))
        days = open(os.path.join(d, "p.days")).read().split()
        # The shape before the Series column, and the new: one frame.
        csv.drop(columns="Series").to_csv(os.path.join(d, "old.csv"), index=False)
        old, new = elab.frame(os.path.join(d, "old.csv")), elab.frame(os.path.join(d, "p.csv"))
        assert old.index.names == new.index.names == ["Series", "Date"]
        assert list(new.index.get_level_values("Series").unique()) == ["prices"]
        assert np.array_equal(old.to_numpy(), new.to_numpy(), equal_nan=True)
        assert elab.load(os.path.join(d, "p.csv")).layout == dat.layout
    assert list(csv.columns) == ["Series", "Date"] + list(dat.columns)
    assert list(csv["Date"]) == days
    for name in dat.columns:
        assert np.array_equal(csv[name].to_numpy(np.float32), np.asarray(dat.columns[name], np.float32),
                              equal_nan=True), name


def test_a_cluster_of_two_processes_gives_the_programs_text_and_collects_the_refused():
    distributed = pytest.importorskip("distributed")
    with tempfile.TemporaryDirectory() as d:
        named = {"txt": PRICES, "short": write(d, "short.txt", price_text(ORDINARY[:100])),
                 "csv": PRICES_CSV, "missing": os.path.join(d, "missing.txt")}
        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                      dashboard_address=None) as cluster, distributed.Client(cluster) as client:
            rs = elab.prepare_on(client, named, **many_keywords())
            with pytest.raises(elab.ElabError, match="(?s)short: .*missing: "):
                elab.prepare_on(client, named, errors="raise", **many_keywords())
        here = elab.prepare_many(named, **many_keywords())
    assert list(rs) == ["txt", "csv"] and list(rs.errors) == ["short", "missing"]
    for name in rs.errors:  # whole through pickle: code, status, file and text
        got, want = rs.errors[name], here.errors[name]
        assert (type(got), str(got), getattr(got, "status", None)) == (type(want), str(want), getattr(want, "status", None))
    for name in rs:
        expected, status = program_run(named[name], ANSWER_SETS[1])
        assert status == 0 and rs[name].text == expected


def options_of(answers):
    start, end, variable, coefficient, screen_output, screen_inputs, days = answers
    return (["--from=%s" % start] + ([] if start == "all" else ["--to=%s" % end]) +
            ["--variable=%d" % variable, "--coefficient=%s" % coefficient,
             "--screen-output=%s" % ("yes" if screen_output else "no"),
             "--screen-inputs=%s" % ("yes" if screen_inputs else "no"), "--days=%d" % days])


def program_sets(answers, test_from, extra=("-o", "{set}.dat")):
    """The files of the program's run with --test-from, by name."""
    if PROGRAM is None:
        pytest.skip("ELAB_PROGRAM not set")
    with tempfile.TemporaryDirectory() as d:
        subprocess.run([PROGRAM] + options_of(answers) + ["--test-from=" + test_from] + list(extra) + [PRICES],
                       cwd=d, check=True, capture_output=True)
        return {name: open(os.path.join(d, name), "rb").read() for name in os.listdir(d)}


@pytest.mark.parametrize("answers", ANSWER_SETS[:2] + ANSWER_SETS[3:], ids=str)
def test_a_split_gives_the_programs_sets_and_the_training_set_is_the_run_before_the_date(answers):
    s = elab.prepare(PRICES, test_from="1996-01-01", **keywords(answers))
    files = program_sets(answers, "1996-01-01")
    assert s.train.text == files["train.dat"] and s.test.text == files["test.dat"]
    assert s.train.count == s.train.text.count(b"\r\n") and s.test.count == s.test.text.count(b"\r\n")
    before = dict(keywords(answers), start=0 if answers[0] == "all" else answers[0], end="1995-12-29")
    assert s.train.text == elab.prepare(PRICES, **before).text
    assert (s.train.dates < np.datetime64("1996-01-01")).all() and (s.test.dates >= np.datetime64("1996-01-01")).all()
    if not answers[5]:  # no day screened out of the test set: the first row on or after the date
        assert s.test.dates[0] == np.datetime64("1996-01-01")
    frame = s.frame()
    assert frame.index.names == ["Set", "Date"] and len(frame) == s.train.count + s.test.count
    if s.test.count:  # not every day screened out
        assert np.array_equal(frame.loc["test"].to_numpy(), s.test.values)


def test_a_split_by_a_date_object_of_many_series_and_as_csv():
    import datetime
    split = dict(keywords(ANSWER_SETS[1]), test_from=datetime.date(1996, 1, 1))
    rs = elab.prepare_many({"a": PRICES, "b": PRICES_CSV}, **split)
    assert rs["a"].test.text == elab.prepare(PRICES, **dict(split, test_from="1996-01-01")).test.text
    both = elab.frame(rs)
    assert both.index.names == ["Series", "Set", "Date"]
    assert np.array_equal(both.loc[("b", "train")].to_numpy(), rs["b"].train.values)
    csv = pd.read_csv(io.BytesIO(program_sets(ANSWER_SETS[1], "1996-01-01", ("--format=csv", "-o", "p.csv"))["p.csv"]))
    assert list(csv.columns[:3]) == ["Series", "Date", "Set"] and list(csv.columns[3:]) == rs["a"].train.columns
    assert list(csv["Date"][csv["Set"] == "test"]) == [str(d) for d in rs["a"].test.dates]
    assert np.allclose(csv[csv["Set"] == "train"].iloc[:, 3:].to_numpy(np.float32), rs["a"].train.values, atol=0.5e-4)
    with pytest.raises(elab.ElabError, match="test_from: the date leaves no test row") as refused:  # Python's spelling
        elab.prepare(PRICES, **dict(split, test_from="2099-01-01"))
    assert "--test-from" not in str(refused.value)
