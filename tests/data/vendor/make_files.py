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
    # The world's names of the columns and its ways of writing a date.
    months = {
        "fr": "janv. févr. mars avr. mai juin juil. août sept. oct. nov. déc.".split(),
        "de": "Januar Februar März April Mai Juni Juli August September Oktober November Dezember".split(),
        "pl": "stycznia lutego marca kwietnia maja czerwca lipca sierpnia września października listopada grudnia".split(),
        "tr": "Ocak Şubat Mart Nisan Mayıs Haziran Temmuz Ağustos Eylül Ekim Kasım Aralık".split(),
        "ru": "янв фев мар апр мая июн июл авг сен окт ноя дек".split(),
        "el": "Ιαν Φεβ Μαρ Απρ Μαΐ Ιουν Ιουλ Αυγ Σεπ Οκτ Νοε Δεκ".split(),
        "sv": "jan feb mars apr maj juni juli aug sep okt nov dec".split(),
        "fi": "tammikuuta helmikuuta maaliskuuta huhtikuuta toukokuuta kesäkuuta heinäkuuta elokuuta syyskuuta "
              "lokakuuta marraskuuta joulukuuta".split(),
    }
    comma = lambda c: plain(c).replace(".", ",")
    write("dutch_slotkoers.csv", days(130, s, 24, 31.2), "Datum;Openingskoers;Hoogste;Laagste;Slotkoers;Volume",
          lambda d, c: "%s;%s;%s;%s;%s;1200" % (d.strftime("%d-%m-%Y"), *(comma(c) for _ in range(4))))
    write("portuguese_fecho.csv", days(130, s, 25, 4.1), "Data;Abertura;Máximo;Mínimo;Fecho",
          lambda d, c: "%s;%s;%s;%s;%s" % (d.strftime("%d/%m/%Y"), *(comma(c) for _ in range(4))), encoding="cp1252")
    write("french_clot.csv", days(130, s, 26, 61.3), "date;ouv;haut;bas;clot;vol",
          lambda d, c: "%d %s %d;%s;%s;%s;%s;300" % (d.day, months["fr"][d.month - 1], d.year, *(comma(c) for _ in range(4))))
    write("futures_settle.csv", days(130, s, 27, 71.9), "Trade Date,Open,High,Low,Settle,Volume",
          lambda d, c: "%s,%s,%s,%s,%s,5000" % (d.isoformat(), *(plain(c) for _ in range(4))))
    write("fund_nav.csv", days(130, s, 28, 10.4), "As Of,NAV,Change",
          lambda d, c: "%02d-%s-%02d,%s,0.01" % (d.day, MONTHS[d.month - 1], d.year % 100, plain(c)))
    write("german_kurs.csv", days(130, s, 29, 18.2), "Datum;Kurs",
          lambda d, c: "%d. %s %d;%s" % (d.day, months["de"][d.month - 1], d.year, comma(c)))
    write("french_cours.csv", days(130, s, 30, 18.2), "Jour;Date;Cours",
          lambda d, c: "x;%s;%s" % (d.strftime("%d/%m/%Y"), comma(c)))
    write("swedish.csv", days(130, s, 31, 120.5), "Datum;Stängningskurs;Omsättning",
          lambda d, c: "%d %s %d;%s;100" % (d.day, months["sv"][d.month - 1], d.year, comma(c)))
    write("norwegian.csv", days(130, s, 32, 120.5), "Dato;Siste;Volum",
          lambda d, c: "%s;%s;10" % (d.strftime("%d.%m.%Y"), comma(c)))
    write("danish.csv", days(130, s, 33, 120.5), "Dato;Lukkekurs",
          lambda d, c: "%s;%s" % (d.strftime("%d-%m-%Y"), comma(c)))
    write("finnish.csv", days(130, s, 34, 12.5), "Päivämäärä;Päätöskurssi",
          lambda d, c: "%d. %s %d;%s" % (d.day, months["fi"][d.month - 1], d.year, comma(c)))
    write("polish.csv", days(130, s, 35, 12.5), "Data;Otwarcie;Najwyższy;Najniższy;Zamknięcie;Wolumen",
          lambda d, c: "%d %s %d;%s;%s;%s;%s;10" % (d.day, months["pl"][d.month - 1], d.year, *(comma(c) for _ in range(4))))
    write("czech.csv", days(130, s, 36, 512.0), "Datum;Závěr;Objem",
          lambda d, c: "%s;%s;10" % (d.strftime("%d.%m.%Y"), grouped(c, " ", ",")))
    write("turkish.csv", days(130, s, 37, 35.6), "Tarih;Kapanış;Hacim",
          lambda d, c: "%02d %s %d;%s;10" % (d.day, months["tr"][d.month - 1], d.year, comma(c)), newest_first=True)
    write("greek.csv", days(130, s, 38, 8.6), "Ημερομηνία;Κλείσιμο",
          lambda d, c: "%02d %s %d;%s" % (d.day, months["el"][d.month - 1], d.year, comma(c)))
    write("russian.csv", days(130, s, 39, 250.0), "Дата;Откр;Макс;Мин;Закрытие",
          lambda d, c: "%02d %s %d;%s;%s;%s;%s" % (d.day, months["ru"][d.month - 1], d.year, *(comma(c) for _ in range(4))))
    write("japanese.csv", days(130, s, 40, 2400.0), "日付,始値,高値,安値,終値",
          lambda d, c: "%d年%d月%d日,%s,%s,%s,%s" % (d.year, d.month, d.day, *(plain(c) for _ in range(4))))
    write("chinese.csv", days(130, s, 41, 15.2), "日期,开盘价,收盘价",
          lambda d, c: "%s,%s,%s" % (d.isoformat(), plain(c), plain(c)))
    write("korean.csv", days(130, s, 42, 7100.0), "날짜,종가",
          lambda d, c: "%d년 %d월 %d일,%s" % (d.year, d.month, d.day, plain(c)))
    write("terminal_dt.csv", days(130, s, 43, 64.1), "<TICKER>,<DTYYYYMMDD>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>",
          lambda d, c: "TEST,%s,000000,%s,%s,%s,%s,10" % (d.strftime("%Y%m%d"), *(plain(c) for _ in range(4))))
    write("terminal_px_last.csv", days(130, s, 47, 98.6), "Date,PX_LAST,PX_VOLUME",
          lambda d, c: "%s,%s,1000" % (d.strftime("%m/%d/%Y"), plain(c)))
    write("portal_german_zuletzt.csv", days(130, s, 48, 98.6), '"Datum","Zuletzt","Eröffn.","Hoch","Tief","Vol.","+/- %"',
          lambda d, c: '"%s","%s","%s","%s","%s","1,2M","0,5%%"' % (d.strftime("%d.%m.%Y"), *(comma(c) for _ in range(4))))
    # Two digits of the year across the turn of the century; weekday names.
    write("two_digit_years.csv", days(130, datetime.date(1999, 10, 1), 44, 22.2), "Date,Price",
          lambda d, c: "%s,%s" % (d.strftime("%m/%d/%y"), plain(c)), newest_first=True)
    write("weekday_names.csv", days(130, s, 45, 22.2), "Date,Close",
          lambda d, c: "%s,%s" % (d.strftime("%a %d %b %Y"), plain(c)))
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
