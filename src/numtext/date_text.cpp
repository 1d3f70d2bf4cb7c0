#include "numtext/date_text.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numtext/edit_list.hpp"
#include "numtext/letter_fold.hpp"
#include "numtext/messages.hpp"
#include "numtext/record_writer.hpp"

namespace numtext {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The largest whole float magnitude a date part can take: beyond it no
// part fits 32 bits.
constexpr float kPartLimit = 2147483648.0f;

bool is_part_value(float x) { return x == std::trunc(x) && x > -kPartLimit && x < kPartLimit; }


// Reads the text from a position on; every reading function leaves the
// position after what it took, or where it was when it took nothing.
struct Scan {
  std::string_view s;
  std::size_t at = 0;

  bool done() const { return at == s.size(); }
  char peek() const { return done() ? '\0' : s[at]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at;
    return true;
  }
  bool take(std::string_view text) {
    if (!s.substr(at).starts_with(text)) return false;
    at += text.size();
    return true;
  }
  // 1 to most digits; their count in n.
  std::optional<std::int32_t> number(std::size_t most, std::size_t& n) {
    std::int32_t v = 0;
    n = 0;
    while (!done() && is_digit(s[at]) && n < most + 1) v = v * 10 + (s[at++] - '0'), ++n;
    if (n == 0 || n > most) return std::nullopt;
    return v;
  }
  // Letters of any script: the bytes of UTF-8 beyond ASCII count as such.
  std::string_view word() {
    const std::size_t from = at;
    while (!done() && (is_letter(s[at]) || static_cast<unsigned char>(s[at]) >= 0x80)) ++at;
    return s.substr(from, at - from);
  }
  void blanks() {
    while (peek() == ' ') ++at;
  }
};

// A year of two digits by the POSIX rule: 69 to 99 are 1969 to 1999, 00 to
// 68 are 2000 to 2068.
std::int32_t year_of_two_digits(std::int32_t yy) { return yy >= 69 ? 1900 + yy : 2000 + yy; }

// A year of four digits, or of two by the rule above; the digits in parts.
bool take_year(Scan& sc, DateParts& parts) {
  std::size_t n = 0;
  const auto y = sc.number(4, n);
  if (!y || (n != 4 && n != 2)) return false;
  parts.year = n == 2 ? year_of_two_digits(*y) : *y;
  parts.year_digits = static_cast<std::uint8_t>(n);
  return true;
}

// The names of the months, as exports in the languages read here write
// them, whole, declined or shortened; compared without case or accents.
constexpr std::string_view kMonthNames[12] = {
    "january jan janvier janv gennaio gen enero ene janeiro januar januari jänner jän tammikuu tammikuuta tammik "
    "tammi styczeń stycznia sty leden ledna led ocak oca ιανουάριος ιανουαρίου ιαν январь января янв",
    "february feb février févr fevr febbraio febrero fevereiro fev februar februari helmikuu helmikuuta helmik "
    "helmi luty lutego lut únor února úno şubat şub φεβρουάριος φεβρουαρίου φεβ февраль февраля фев",
    "march mar mars mär märz mrz marts marzo março maart maaliskuu maaliskuuta maalisk maalis marzec marca březen "
    "března bře mart μάρτιος μαρτίου μαρ март марта мар",
    "april apr avril avr aprile abril abr kwiecień kwietnia kwi huhtikuu huhtikuuta huhtik huhti duben dubna dub "
    "nisan nis απρίλιος απριλίου απρ апрель апреля апр",
    "may mai maggio mag mayo maio mei maj toukokuu toukokuuta toukok touko maja květen května kvě mayıs μάιος "
    "μαΐου μαΐ μαϊ май мая",
    "june jun juin giugno giu junio junho juni kesäkuu kesäkuuta kesäk kesä czerwiec czerwca cze červen června "
    "čvn haziran haz ιούνιος ιουνίου ιουν июнь июня июн",
    "july jul juillet juil luglio lug julio julho juli heinäkuu heinäkuuta heinäk heinä lipiec lipca lip "
    "červenec července čvc temmuz tem ιούλιος ιουλίου ιουλ июль июля июл",
    "august aug août agosto ago augustus augusti elokuu elokuuta elok elo sierpień sierpnia sie srpen srpna srp "
    "ağustos ağu αύγουστος αυγούστου αυγ август августа авг",
    "september sep sept septembre settembre set septiembre setiembre setembro syyskuu syyskuuta syysk syys "
    "wrzesień września wrz září zář eylül eyl σεπτέμβριος σεπτεμβρίου σεπ сентябрь сентября сен сент",
    "october oct octobre ottobre ott octubre outubro out oktober okt lokakuu lokakuuta lokak loka październik "
    "października paź říjen října říj ekim eki οκτώβριος οκτωβρίου οκτ октябрь октября окт",
    "november nov novembre novembro noviembre marraskuu marraskuuta marrask marras listopad listopada lis "
    "listopadu kasım kas νοέμβριος νοεμβρίου νοε ноябрь ноября ноя",
    "december dec décembre dicembre dic diciembre dezembro dez dezember desember joulukuu joulukuuta jouluk joulu "
    "grudzień grudnia gru prosinec prosince pro aralık ara δεκέμβριος δεκεμβρίου δεκ декабрь декабря дек",
};

// The names of the days of the week that may lead a date (Tue 02 Jan 2024).
constexpr std::string_view kWeekdayNames =
    "monday mon tuesday tue tues wednesday wed thursday thu thur thurs friday fri saturday sat sunday sun "
    "montag dienstag mittwoch donnerstag freitag samstag sonntag mo di mi do fr sa so "
    "lundi mardi mercredi jeudi vendredi samedi dimanche lun mar mer jeu ven sam dim "
    "lunedì martedì mercoledì giovedì venerdì sabato domenica gio "
    "lunes martes miércoles jueves viernes sábado domingo mié vie sáb dom "
    "segunda terça quarta quinta sexta seg ter qua qui sex "
    "maandag dinsdag woensdag donderdag vrijdag zaterdag zondag ma wo vr za zo "
    "måndag tisdag onsdag torsdag fredag lördag söndag mån tis ons tor fre lör sön "
    "mandag tirsdag lørdag søndag man tir lør søn";

// Each name of a list apart by blanks, as a name is compared.
std::vector<std::string> folded_names(std::string_view list) {
  std::vector<std::string> names;
  for (std::size_t at = 0; at < list.size();) {
    std::size_t end = list.find(' ', at);
    if (end == std::string_view::npos) end = list.size();
    names.push_back(folded_letters(list.substr(at, end - at)));
    at = end + 1;
  }
  return names;
}

std::optional<std::int32_t> month_named(std::string_view w) {
  static const auto months = [] {
    std::vector<std::vector<std::string>> all;
    for (const std::string_view list : kMonthNames) all.push_back(folded_names(list));
    return all;
  }();
  const std::string key = folded_letters(w);
  for (std::size_t m = 0; m < months.size(); ++m)
    for (const std::string& name : months[m])
      if (key == name) return static_cast<std::int32_t>(m + 1);
  return std::nullopt;
}

bool is_weekday_name(std::string_view w) {
  static const auto names = folded_names(kWeekdayNames);
  const std::string key = folded_letters(w);
  return std::find(names.begin(), names.end(), key) != names.end();
}

// What may follow a date: nothing, or a time of day after a blank or T,
// with seconds, fractions, AM/PM, and an offset, Z or UTC.
bool time_of_day(std::string_view rest) {
  if (rest.empty()) return true;
  if (rest[0] != ' ' && rest[0] != 'T') return false;
  rest.remove_prefix(1);
  while (!rest.empty() && rest[0] == ' ') rest.remove_prefix(1);
  if (rest.empty() || !is_digit(rest[0])) return false;
  bool colon = false;
  for (std::size_t k = 0; k < rest.size(); ++k) {
    const char c = rest[k];
    if (c == ':') {
      colon = true;
    } else if (is_letter(c)) {
      if (std::string_view("AMPZUTCG").find(c) == std::string_view::npos) return false;
    } else if (!is_digit(c) && c != '.' && c != '+' && c != '-' && c != ' ') {
      return false;
    }
  }
  return colon;
}

// The year, month and day marks of Chinese and Japanese (年 月 日) and of
// Korean (년 월 일, a blank after each but the last).
struct DayMarks {
  char code;
  std::string_view year, month, day;
};
constexpr DayMarks kDayMarks[] = {{'J', "\xE5\xB9\xB4", "\xE6\x9C\x88", "\xE6\x97\xA5"},
                                  {'K', "\xEB\x85\x84", "\xEC\x9B\x94", "\xEC\x9D\xBC"}};

// 2026年12月8日, 2026년 12월 8일.
std::optional<DateParts> marked_year_first(Scan sc, std::int32_t year) {
  for (const DayMarks& marks : kDayMarks) {
    Scan at = sc;
    std::size_t n = 0;
    if (!at.take(marks.year)) continue;
    at.blanks();
    const auto m = at.number(2, n);
    if (!m || !at.take(marks.month)) continue;
    at.blanks();
    const auto d = at.number(2, n);
    if (!d || !at.take(marks.day) || !time_of_day(at.s.substr(at.at))) continue;
    return DateParts{DateForm::year_first_marked, marks.code, year, *m, *d};
  }
  return std::nullopt;
}

std::optional<DateParts> numbers_first(Scan sc) {
  std::size_t n1 = 0, n2 = 0;
  const auto a = sc.number(8, n1);
  if (!a) return std::nullopt;
  DateParts p;
  if (n1 == 8) {
    p = {DateForm::compact, '\0', *a / 10000, *a / 100 % 100, *a % 100};
  } else if (n1 == 4 && !is_digit(sc.peek()) && static_cast<unsigned char>(sc.peek()) >= 0x80) {
    return marked_year_first(sc, *a);
  } else {
    const char sep = sc.peek();
    if (sep != '-' && sep != '/' && sep != '.') return std::nullopt;
    ++sc.at;
    const auto b = sc.number(2, n2);
    if (!b || !sc.take(sep)) return std::nullopt;
    if (n1 == 4) {
      std::size_t n3 = 0;
      const auto c = sc.number(2, n3);
      if (!c) return std::nullopt;
      p = {DateForm::year_first, sep, *a, *b, *c};
    } else if (n1 <= 2) {
      p = {DateForm::numbers_then_year, sep, 0, *a, *b};
      if (!take_year(sc, p)) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!time_of_day(sc.s.substr(sc.at))) return std::nullopt;
  return p;
}

// Dec 08, 2026; December 8 2026; 08-Dec-2026; 8 Dec 2026; 8. Dezember
// 2026; 08-Dec-26.
std::optional<DateParts> with_month_name(Scan sc) {
  DateParts p;
  std::size_t n = 0;
  if (!is_digit(sc.peek())) {
    const auto m = month_named(sc.word());
    if (!m) return std::nullopt;
    sc.take('.');
    sc.blanks();
    const auto d = sc.number(2, n);
    if (!d) return std::nullopt;
    sc.take(',');
    if (!sc.take(' ')) return std::nullopt;
    sc.blanks();
    p = {DateForm::month_name_first, ' ', 0, *m, *d};
  } else {
    const auto d = sc.number(2, n);
    if (!d) return std::nullopt;
    sc.take('.');  // 8. Dezember 2026
    const char sep = sc.peek();
    if (sep != '-' && sep != ' ' && sep != '/') return std::nullopt;
    ++sc.at;
    sc.blanks();
    const auto m = month_named(sc.word());
    if (!m) return std::nullopt;
    sc.take('.');
    if (sep == ' ') {
      if (!sc.take(' ')) return std::nullopt;
      sc.blanks();
    } else if (!sc.take(sep)) {
      return std::nullopt;
    }
    p = {DateForm::day_then_month_name, sep, 0, *m, *d};
  }
  if (!take_year(sc, p) || !time_of_day(sc.s.substr(sc.at))) return std::nullopt;
  return p;
}

std::optional<DateParts> date_written(Scan sc) {
  if (is_digit(sc.peek())) {
    if (auto p = numbers_first(sc)) return p;
  }
  return with_month_name(sc);
}

// A weekday's name before the date: Tue 02 Jan 2024, Tuesday, January 2,
// 2024, mar. 02/01/2024.
std::optional<DateParts> after_weekday(Scan sc) {
  if (!is_weekday_name(sc.word())) return std::nullopt;
  sc.take('.');
  const bool comma = sc.take(',');
  if (!sc.take(' ') && !comma) return std::nullopt;
  sc.blanks();
  return date_written(sc);
}

std::string two(char a) { return std::string(2, a); }

}  // namespace

std::optional<std::int32_t> date_key(float year, float month, float day) {
  const double key = (static_cast<double>(year) - 1900.0) * 10000.0 +
                     static_cast<double>(month) * 100.0 + static_cast<double>(day);
  // Truncation toward zero fits exactly when -2^31 - 1 < key < 2^31.
  if (!(key > -2147483649.0 && key < 2147483648.0)) return std::nullopt;
  return static_cast<std::int32_t>(key);
}

bool is_date_part(float x) { return is_part_value(x); }

// A whole number as an integer field; anything else shows as asterisks.
FieldValue date_field(float x) {
  if (is_date_part(x)) return FieldValue::of(static_cast<std::int32_t>(x));
  return FieldValue::of(x);
}

std::optional<CivilDate> calendar_day(float year, float month, float day) {
  if (!is_date_part(year) || !is_date_part(month) || !is_date_part(day)) return std::nullopt;
  const CivilDate d{static_cast<std::int32_t>(year), static_cast<std::int32_t>(month),
                    static_cast<std::int32_t>(day)};
  if (!is_calendar_date(d)) return std::nullopt;
  return d;
}

const EditList& iso_date_layout() {
  static const auto list = EditList::parse("(I4.4,'-',I2.2,'-',I2.2)");
  return list;
}

std::string iso_text(float year, float month, float day) {
  RecordWriter writer;
  const FieldValue parts[] = {date_field(year), date_field(month), date_field(day)};
  std::string text;
  writer.write(iso_date_layout(), parts, [&](std::string_view record) { text = record; });
  return text;
}

std::string iso_text(const CivilDate& date) {
  RecordWriter writer;
  const FieldValue parts[] = {FieldValue::of(date.year), FieldValue::of(date.month), FieldValue::of(date.day)};
  std::string text;
  writer.write(iso_date_layout(), parts, [&](std::string_view record) { text = record; });
  return text;
}

std::optional<CivilDate> iso_date(std::string_view text) {
  const auto parts = date_parts(text);
  if (!parts || parts->form != DateForm::year_first || parts->separator != '-' || text.size() != 10)
    return std::nullopt;
  const CivilDate d = date_of(*parts, DateOrder::unknown);
  if (!is_calendar_date(d)) return std::nullopt;
  return d;
}

std::optional<DateParts> date_parts(std::string_view text) {
  const Scan sc{text, 0};
  if (auto p = date_written(sc)) return p;
  return after_weekday(sc);
}

namespace {

// The value of the digits of text at [from, from + n), or -1 where one is
// no digit.
std::int32_t digits_at(std::string_view text, std::size_t from, std::size_t n) {
  std::int32_t v = 0;
  for (std::size_t k = from; k < from + n; ++k) {
    if (!is_digit(text[k])) return -1;
    v = v * 10 + (text[k] - '0');
  }
  return v;
}

}  // namespace

std::optional<DateParts> same_layout_parts(std::string_view text, const DateParts& form) {
  if (form.year_digits != 4) return std::nullopt;
  const auto parts = [&](std::int32_t a, std::int32_t b, std::int32_t c) -> std::optional<DateParts> {
    if (a < 0 || b < 0 || c < 0) return std::nullopt;
    DateParts p = form;
    if (form.form == DateForm::numbers_then_year) {
      p.first = a, p.second = b, p.year = c;
    } else {
      p.year = a, p.first = b, p.second = c;
    }
    return p;
  };
  if (form.form == DateForm::compact) {
    if (text.size() != 8) return std::nullopt;
    return parts(digits_at(text, 0, 4), digits_at(text, 4, 2), digits_at(text, 6, 2));
  }
  if (text.size() != 10) return std::nullopt;
  if (form.form == DateForm::year_first) {
    if (text[4] != form.separator || text[7] != form.separator) return std::nullopt;
    return parts(digits_at(text, 0, 4), digits_at(text, 5, 2), digits_at(text, 8, 2));
  }
  if (form.form == DateForm::numbers_then_year) {
    if (text[2] != form.separator || text[5] != form.separator) return std::nullopt;
    return parts(digits_at(text, 0, 2), digits_at(text, 3, 2), digits_at(text, 6, 4));
  }
  return std::nullopt;
}

std::string form_name(const DateParts& p, DateOrder order) {
  const std::string sep(1, p.separator);
  const std::string year = p.year_digits == 2 ? "YY" : "YYYY";
  switch (p.form) {
    case DateForm::year_first: return "YYYY" + sep + "MM" + sep + "DD";
    case DateForm::compact: return "YYYYMMDD";
    case DateForm::month_name_first: return "Mon DD, " + year;
    case DateForm::day_then_month_name: return "DD" + sep + "Mon" + sep + year;
    case DateForm::year_first_marked: {
      const DayMarks& marks = kDayMarks[p.separator == 'J' ? 0 : 1];
      const std::string blank = p.separator == 'J' ? "" : " ";
      return "YYYY" + std::string(marks.year) + blank + "MM" + std::string(marks.month) + blank + "DD" +
             std::string(marks.day);
    }
    case DateForm::numbers_then_year: break;
  }
  const std::string dmy = two('D') + sep + two('M') + sep + year;
  const std::string mdy = two('M') + sep + two('D') + sep + year;
  if (order == DateOrder::dmy) return dmy;
  if (order == DateOrder::mdy) return mdy;
  return message(Msg::either_order, {dmy, mdy});
}

DateOrder order_shown(const DateParts& p) {
  if (p.form != DateForm::numbers_then_year) return DateOrder::unknown;
  if (p.first > 12 && p.second <= 12) return DateOrder::dmy;
  if (p.second > 12 && p.first <= 12) return DateOrder::mdy;
  return DateOrder::unknown;
}

CivilDate date_of(const DateParts& p, DateOrder order) {
  if (p.form == DateForm::numbers_then_year && order == DateOrder::dmy) return {p.year, p.second, p.first};
  return {p.year, p.first, p.second};
}

}  // namespace numtext
