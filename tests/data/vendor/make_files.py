#!/usr/bin/env python3
"""Writes the vendor-style price files of this folder, each with its twin
NAME.iso.csv: the same days as a plain Date,Close file. Run it here."""
import datetime
import random


def days(n, start, seed, level):
    rng = random.Random(seed)
    d, out, cents = start, [], int(level * 100)
    while len(out) < n:
        if d.weekday() < 5:
            cents = max(100, cents + rng.randint(-cents // 60, cents // 60) or 1)
            out.append((d, cents))
        d += datetime.timedelta(days=1)
    return out


def plain(c):
    return "%d.%02d" % (c // 100, c % 100)


def grouped(c, group, dec):
    whole = "{:,}".format(c // 100).replace(",", group)
    return "%s%s%02d" % (whole, dec, c % 100)


MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def write(name, rows, header, line, encoding="utf-8", end="\n", before="", newest_first=False):
    body = [line(d, c) for d, c in (reversed(rows) if newest_first else rows)]
    text = before + end.join([header] + body) + end
    with open(name, "wb") as f:
        f.write(text.encode(encoding))
    with open(name.rsplit(".", 1)[0] + ".iso.csv", "w", newline="") as f:
        f.write("Date,Close\n" + "".join("%s,%s\n" % (d.isoformat(), plain(c)) for d, c in rows))


def main():
    s = datetime.date(2025, 1, 2)
    write("german_semicolon.csv", days(130, s, 1, 1785.6), "Datum;Eröffnung;Hoch;Tief;Schlusskurs;Volumen",
          lambda d, c: "%s;%s;%s;%s;%s;12.500" % (d.strftime("%d.%m.%Y"), *(grouped(c, ".", ",") for _ in range(4))),
          encoding="cp1252", end="\r\n", before="Kursdaten\r\nWertpapier: Muster AG\r\nISIN: DE000TEST0001\r\n\r\n",
          newest_first=True)
    write("italian_bank.csv", days(130, s, 2, 27.4), "\ufeffData;Apertura;Massimo;Minimo;Chiusura;Volume",
          lambda d, c: "%s;%s;%s;%s;%s;100" % (d.strftime("%d/%m/%Y"), *(plain(c).replace(".", ",") for _ in range(4))))
    write("us_portal.csv", days(130, s, 3, 273.7), "Date,Close/Last,Volume,Open,High,Low",
          lambda d, c: "%s,$%s,1000,$%s,$%s,$%s" % (d.strftime("%m/%d/%Y"), *(plain(c) for _ in range(4))),
          newest_first=True)
    write("terminal_tab.txt", days(130, s, 4, 64.1), "<TICKER>\t<PER>\t<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<VOL>",
          lambda d, c: "TEST\tD\t%s\t000000\t%s\t%s\t%s\t%s\t10" % (d.strftime("%Y%m%d"), *(plain(c) for _ in range(4))))
    write("spreadsheet_utf16.txt", days(130, s, 5, 12.5), "Day\tLast",
          lambda d, c: "%s\t%s" % (d.strftime("%Y.%m.%d"), plain(c)), encoding="utf-16", end="\r\n")
    write("pandas_tz.csv", days(130, s, 6, 150.2), "Date,Open,High,Low,Close,Volume,Dividends,Stock Splits",
          lambda d, c: "%s 00:00:00-05:00,%s,%s,%s,%s,100,0.0,0.0" % (d.isoformat(), *(plain(c) for _ in range(4))))
    write("month_names.csv", days(130, s, 7, 1198.7), '"Date","Price","Open","High","Low","Vol.","Change %"',
          lambda d, c: '"%s %02d, %d","%s","%s","%s","%s","1.2M","0.5%%"' % (
              MONTHS[d.month - 1], d.day, d.year, *(grouped(c, ",", ".") for _ in range(4))), newest_first=True)
    write("dash_month.csv", days(130, s, 8, 42.0), "Date,Open,Close",
          lambda d, c: "%02d-%s-%d,%s,%s" % (d.day, MONTHS[d.month - 1], d.year, plain(c), plain(c)))
    write("swiss_apostrophe.csv", days(130, s, 9, 1785.6), "Datum;Schluss",
          lambda d, c: "%s;%s" % (d.strftime("%d.%m.%Y"), grouped(c, "'", ".")))
    write("french_space.csv", days(130, s, 10, 1785.6), "Date;Ouverture;Clôture",
          lambda d, c: "%s;%s €;%s €" % (d.strftime("%d/%m/%Y"), grouped(c, " ", ","), grouped(c, " ", ",")),
          encoding="cp1252")
    write("spanish_dash.csv", days(130, s, 11, 1785.6), "Fecha;Último",
          lambda d, c: "%s;EUR %s" % (d.strftime("%d-%m-%Y"), grouped(c, ".", ",")))
    write("portuguese.csv", days(130, s, 12, 33.3), "Data;Abertura;Fechamento",
          lambda d, c: "%s;%s;%s" % (d.strftime("%d/%m/%Y"), plain(c).replace(".", ","), plain(c).replace(".", ",")))
    write("dutch_compact.csv", days(130, s, 13, 88.8), "Datum,Slot", lambda d, c: "%s,%s" % (d.strftime("%Y%m%d"), plain(c)))
    write("iso_timestamp.csv", days(130, s, 14, 5.5), "Timestamp,Last",
          lambda d, c: "%sT16:00:00Z,%s" % (d.isoformat(), plain(c)))
    write("cr_only.csv", days(130, s, 15, 77.7), "Date,Close",
          lambda d, c: "%d %s %d,%s" % (d.day, MONTHS[d.month - 1], d.year, plain(c)), end="\r")
    # Several series: the one asked for (--symbol=BBB) is the twin's.
    a, b = days(130, s, 16, 10.0), days(130, s, 17, 20.0)
    rows = [("AAA", d, c) for d, c in a] + [("BBB", d, c) for d, c in b]
    with open("long_by_symbol.iso.csv", "w") as f:
        f.write("Date,Close\n" + "".join("%s,%s\n" % (d.isoformat(), plain(c)) for d, c in b))
    with open("long_by_symbol.csv", "w") as f:
        f.write("Symbol,Date,Close\n" + "".join("%s,%s,%s\n" % (t, d.isoformat(), plain(c)) for t, d, c in rows))
    rows.sort(key=lambda r: (r[1], r[0]))
    with open("long_by_date.csv", "w") as f:
        f.write("Date;Ticker;Close\n" + "".join("%s;%s;%s\n" % (d.strftime("%d.%m.%Y"), t, plain(c).replace(".", ","))
                                                  for t, d, c in rows))
    with open("long_by_date.iso.csv", "w") as f:
        f.write(open("long_by_symbol.iso.csv").read())
    # pandas' (field, ticker) columns: the series asked for (--symbol=BBB)
    # is the twin's; an index without a name.
    a, b = days(130, s, 21, 30.0), days(130, s, 22, 60.0)
    with open("pandas_tickers.csv", "w") as f:
        f.write("Price,Close,Close,Volume,Volume\nTicker,AAA,BBB,AAA,BBB\nDate,,,,\n" + "".join(
            "%s,%s,%s,10,20\n" % (d.isoformat(), plain(c), plain(e)) for (d, c), (_, e) in zip(a, b)))
    with open("pandas_tickers.iso.csv", "w") as f:
        f.write("Date,Close\n" + "".join("%s,%s\n" % (d.isoformat(), plain(c)) for d, c in b))
    write("pandas_unnamed_index.csv", days(130, s, 23, 99.9), ",Open,Close",
          lambda d, c: "%s,%s,%s" % (d.isoformat(), plain(c), plain(c)))
    # For --check: every calendar day, weekends too; and months missing.
    # A quoted name may hold a line end (RFC 4180).
    write("quoted_line_end.csv", days(130, s, 21, 80.0), 'Date,Close,"Vol\nume"',
          lambda d, c: "%s,%s,1000" % (d.isoformat(), plain(c)))
    walk = days(276, s, 20, 10.0)
    every = [(s + datetime.timedelta(days=k), c) for k, (_, c) in enumerate(walk)]
    with open("weekend_rows.csv", "w") as f:
        f.write("Date,Close\n" + "".join("%s,%s\n" % (d.isoformat(), plain(c)) for d, c in every))
    gap = days(60, s, 18, 50.0) + days(60, datetime.date(2025, 7, 1), 19, 50.0)
    with open("months_gap.csv", "w") as f:
        f.write("Date,Close\n" + "".join("%s,%s\n" % (d.isoformat(), plain(c)) for d, c in gap))


main()
