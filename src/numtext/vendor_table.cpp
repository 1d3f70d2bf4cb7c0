#include "numtext/vendor_table.hpp"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "numtext/letter_fold.hpp"
#include "numtext/narrow.hpp"
#include "numtext/number_style.hpp"
#include "numtext/quoted_text.hpp"
#include "numtext/text_failure.hpp"

namespace numtext {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool all_digits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), is_digit); }

void put_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string from_utf16(std::string_view raw, bool big_endian) {
  std::string out;
  out.reserve(raw.size() / 2);
  const auto unit = [&](std::size_t k) -> std::uint32_t {
    const auto a = static_cast<unsigned char>(raw[k]), b = static_cast<unsigned char>(raw[k + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t k = 0; k + 1 < raw.size(); k += 2) {
    std::uint32_t cp = unit(k);
    if (cp >= 0xD800 && cp < 0xDC00 && k + 3 < raw.size() && unit(k + 2) >= 0xDC00 && unit(k + 2) < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(k + 2) - 0xDC00);
      k += 2;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    put_utf8(out, cp);
  }
  return out;
}

bool is_utf8(std::string_view s) {
  for (std::size_t k = 0; k < s.size();) {
    const auto c = static_cast<unsigned char>(s[k]);
    if (c < 0x80) {
      ++k;
      // A price file is ASCII nearly all through: eight bytes at a time.
      for (std::uint64_t word = 0; k + 8 <= s.size(); k += 8) {
        std::memcpy(&word, s.data() + k, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
      }
      continue;
    }
    const std::size_t n = c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 0;
    if (n == 0 || n >= s.size() - k) return false;
    for (std::size_t j = 1; j <= n; ++j)
      if ((static_cast<unsigned char>(s[k + j]) & 0xC0) != 0x80) return false;
    k += n + 1;
  }
  return true;
}

// Windows-1252's characters 0x80 to 0x9F; the five it leaves out stand for
// themselves.
constexpr std::uint16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string from_windows_1252(std::string_view raw) {
  std::string out;
  out.reserve(raw.size() + raw.size() / 8);
  for (const char ch : raw) {
    const auto c = static_cast<unsigned char>(ch);
    put_utf8(out, c < 0x80 ? c : c < 0xA0 ? kWindows1252[c - 0x80] : c);
  }
  return out;
}

// A lone CR ends a line as a LF does; CR LF is one line end.
void lf_line_ends(std::string& s) {
  if (s.find('\r') == std::string::npos) return;
  std::size_t out = 0;
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '\r') {
      if (k + 1 < s.size() && s[k + 1] == '\n') continue;
      s[out++] = '\n';
    } else {
      s[out++] = s[k];
    }
  }
  s.resize(out);
}

// The lines of a text, at most `most`, each with its number from 1, the
// number of its last line and where the next starts. A line whose quote is
// left open goes on over the next ones (a quoted name may hold a line end),
// as far as a few lines on close it.
struct Line {
  std::string_view text;
  std::int64_t number;
  std::size_t next;
  std::int64_t last = number;
};

constexpr std::size_t kMostLinesInAQuote = 4;

bool leaves_quote_open(std::string_view text) { return std::count(text.begin(), text.end(), '"') % 2 != 0; }

std::vector<Line> first_lines(std::string_view text, std::size_t most) {
  std::vector<Line> lines;
  std::size_t at = 0;
  std::int64_t number = 0;
  const auto line_end = [&](std::size_t from) { return std::min(text.find('\n', from), text.size()); };
  while (at < text.size() && lines.size() < most) {
    std::size_t end = line_end(at);
    std::int64_t last = ++number;
    for (std::size_t more = 1, until = end; leaves_quote_open(text.substr(at, until - at)) &&
                                            more < kMostLinesInAQuote && until < text.size();
         ++more) {
      until = line_end(until + 1);
      if (!leaves_quote_open(text.substr(at, until - at))) {
        end = until;
        last = number + static_cast<std::int64_t>(more);
      }
    }
    lines.push_back({text.substr(at, end - at), number, end + 1, last});
    number = last;
    at = end + 1;
  }
  return lines;
}

bool split(std::string_view line, char sep, std::vector<std::string>& fields) {
  try {
    CsvRecords records(line, sep);
    return records.next(fields);
  } catch (const CsvFailure&) {
    return false;
  }
}

// The names a column goes by, in the order of preference, as exports in
// many languages write them; compared as column keys are (without case,
// accents, quotes or <>).
constexpr std::string_view kDateNames[] = {
    "date", "datum", "data", "fecha", "day", "dato", "päivämäärä", "pvm", "tarih", "ημερομηνία", "дата",
    "日付", "年月日", "日期", "날짜", "일자", "dtyyyymmdd", "trade date", "tradedate", "as of", "as of date", "asof"};
constexpr std::string_view kTimeNames[] = {"time", "timestamp", "datetime"};
constexpr std::string_view kCloseNames[] = {
    "close", "close/last", "last", "price", "schluss", "schlusskurs", "chiusura", "ultimo", "cloture",
    "dernier", "cierre", "fechamento", "fecho", "slot", "slotkoers", "clot", "cours de clôture", "settle",
    "settlement", "settlement price", "nav", "stängningskurs", "stängning", "slutkurs", "sluttkurs", "lukkekurs",
    "päätöskurssi", "päätöshinta", "zamknięcie", "kurs zamknięcia", "závěr", "uzavírací cena", "zavírací cena",
    "kapanış", "kapanış fiyatı", "κλείσιμο", "τιμή κλεισίματος", "закрытие", "цена закрытия", "終値", "收盘价",
    "收盘", "收盤價", "收盤", "종가", "senast", "siste", "viimeisin", "son", "kurs", "cours", "cena", "цена"};
constexpr std::string_view kSymbolNames[] = {"symbol", "ticker", "name", "code", "instrument", "isin"};

std::optional<std::size_t> first_named(const std::vector<std::string>& keys, std::span<const std::string_view> names,
                                       std::optional<std::size_t> besides = std::nullopt) {
  for (const std::string_view name : names) {
    const std::string key = column_key(name);
    for (std::size_t k = 0; k < keys.size(); ++k)
      if (keys[k] == key && k != besides) return k;
  }
  return std::nullopt;
}

// A column the user names, by name or by place from 1.
std::optional<std::size_t> chosen(const std::vector<std::string>& keys, const std::string& given) {
  if (all_digits(given)) {
    if (given.size() > 9) return std::nullopt;
    const auto place = static_cast<std::size_t>(std::stoul(given));
    if (place == 0 || place > keys.size()) return std::nullopt;
    return place - 1;
  }
  const std::string key = column_key(given);
  for (std::size_t k = 0; k < keys.size(); ++k)
    if (keys[k] == key) return k;
  return std::nullopt;
}

struct Header {
  Line line;
  char separator = ',';
  std::vector<std::string> names;
  NamedColumns columns;
  bool symbol_taken = false;  // the symbol chose among the columns
  bool tickers = false;  // a row of tickers above the fields
};

std::string quoted_list(std::span<const std::string> items);

// The header pandas writes for (field, ticker) columns: the fields, the
// tickers, then the index's name alone:
//   Price,Close,Close,High,...   Ticker,AAA,BBB,AAA,...   Date,,,,...
// The close is the column of the ticker chosen (or of the only one).
std::optional<Header> stacked_header(const std::vector<Line>& lines, const TableChoice& choice) {
  std::vector<std::string> index, fields, tickers;
  for (std::size_t d = 1; d < lines.size(); ++d) {
    for (const std::size_t above : {2, 1}) {
    for (const char sep : {'\t', ';', ','}) {
      if (above > d) continue;
      if (!split(lines[d].text, sep, index) || index.size() < 2 ||
          std::any_of(index.begin() + 1, index.end(), [](const std::string& f) { return !trimmed(f).empty(); }))
        continue;
      const bool ticker_row = above == 2;
      if (!split(lines[d - above].text, sep, fields) || fields.size() != index.size()) continue;
      if (ticker_row && (!split(lines[d - 1].text, sep, tickers) || tickers.size() != index.size())) tickers.clear();
      fields[0] = index[0];
      Header h{lines[d], sep, fields, columns_named(fields, choice)};
      if (!h.columns.date || *h.columns.date != 0 || !h.columns.close) continue;
      if (tickers.empty()) return h;
      // The columns of the same field as the close, one for each ticker.
      const std::string field = column_key(fields[*h.columns.close]);
      std::vector<std::string> names;
      std::vector<std::size_t> places;
      for (std::size_t k = 1; k < fields.size(); ++k) {
        if (column_key(fields[k]) != field) continue;
        names.emplace_back(trimmed(tickers[k]));
        places.push_back(k);
      }
      h.symbol_taken = choice.symbol.has_value();
      h.tickers = true;
      const auto at = std::find(names.begin(), names.end(), choice.symbol ? trimmed(*choice.symbol) : names[0]);
      const bool several = std::any_of(names.begin(), names.end(), [&](const std::string& n) { return n != names[0]; });
      if (at == names.end() || (!choice.symbol && several)) {
        throw CsvFailure{lines[d - 1].number, {},
                         std::to_string(names.size()) + " series in row " + quoted_text(trimmed(tickers[0])) + ": " +
                             quoted_list(names) + "; choose one with " +
                             option_text(TableOption::symbol, "VALUE", choice.spelling)};
      }
      h.columns.close = places[static_cast<std::size_t>(at - names.begin())];
      return h;
    }
    }
  }
  return std::nullopt;
}

constexpr char kSeparators[] = {'\t', ';', ','};

std::optional<Header> find_header(std::string_view text, const TableChoice& choice) {
  std::vector<std::string> fields;
  for (const Line& line : first_lines(text, kHeaderLines)) {
    for (const char sep : kSeparators) {
      if (line.text.find(sep) == std::string_view::npos || !split(line.text, sep, fields)) continue;
      const NamedColumns c = columns_named(fields, choice);
      if (c.date && c.close) return Header{line, sep, fields, c};
    }
  }
  return stacked_header(first_lines(text, kHeaderLines), choice);
}

// The line a report of missing columns shows: the first that names one of
// the two, else the first that is not blank; split where it has most fields.
Header nearest_header(std::string_view text, const TableChoice& choice) {
  std::optional<Header> best;
  std::vector<std::string> fields;
  for (const Line& line : first_lines(text, kHeaderLines)) {
    if (trimmed(line.text).empty()) continue;
    Header h{line, ',', {std::string(line.text)}, {}};
    for (const char sep : kSeparators) {
      if (split(line.text, sep, fields) && fields.size() > h.names.size()) {
        h.separator = sep;
        h.names = fields;
      }
    }
    h.columns = columns_named(h.names, choice);
    if (h.columns.date || h.columns.close) return h;
    if (!best) best = h;
  }
  if (!best) return Header{{text.substr(0, 0), 1, 0}, ',', {}, {}};
  return *best;
}

std::string quoted_list(std::span<const std::string> items) {
  std::string s;
  for (std::size_t k = 0; k < items.size() && k < 10; ++k) s += (k == 0 ? "" : ", ") + quoted_text(items[k]);
  if (items.size() > 10) s += " and " + std::to_string(items.size() - 10) + " more";
  return s;
}

bool first_is_whole_number(std::string_view line) {
  line = trimmed(line);
  const std::size_t end = line.find_first_of(" \t,;");
  std::string_view token = line.substr(0, end);
  if (!token.empty() && (token[0] == '+' || token[0] == '-')) token.remove_prefix(1);
  return all_digits(token);
}

// Whether a code point is a letter of a script a header is written in:
// Latin, Greek, Cyrillic, Armenian, Hebrew, Arabic, the scripts of India and
// Thailand, kana, Hangul and the CJK ideographs. Symbols and punctuation
// (what Windows-1252 makes of binary junk, mostly) are not.
bool is_letter(std::uint32_t cp) {
  static constexpr std::uint32_t kLetters[][2] = {
      {'A', 'Z'},       {'a', 'z'},       {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x24F},
      {0x370, 0x3FF},   {0x400, 0x52F},   {0x531, 0x587},   {0x5D0, 0x5EA},   {0x620, 0x64A},
      {0x900, 0xDFF},   {0xE01, 0xE30},   {0x3041, 0x30FF}, {0x3400, 0x9FFF}, {0xAC00, 0xD7A3}};
  return std::any_of(std::begin(kLetters), std::end(kLetters),
                     [cp](const auto& range) { return cp >= range[0] && cp <= range[1]; });
}

// Whether UTF-8 text holds a letter.
bool holds_letter(std::string_view text) {
  for (std::size_t k = 0; k < text.size();) {
    const auto c = static_cast<unsigned char>(text[k]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (k + n > text.size()) return false;
    std::uint32_t cp = n == 1 ? c : c & (0xFFu >> (n + 1));
    for (std::size_t j = 1; j < n; ++j) cp = cp << 6 | (static_cast<unsigned char>(text[k + j]) & 0x3Fu);
    if (is_letter(cp)) return true;
    k += n;
  }
  return false;
}

// Names between separators: no control character, and two fields or more
// that hold a letter.
bool is_line_of_words(std::string_view line, std::span<const char> separators = kSeparators) {
  const auto control = [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F; };
  if (std::any_of(line.begin(), line.end(), control)) return false;
  std::vector<std::string> fields;
  for (const char sep : separators) {
    if (!split(line, sep, fields) || fields.size() < 2) continue;
    const auto named = std::count_if(fields.begin(), fields.end(), [](const std::string& f) { return holds_letter(f); });
    if (named >= 2) return true;
  }
  return false;
}

struct Evidence {
  std::int64_t line = 0;
  bool seen() const { return line != 0; }
};

}  // namespace

std::string utf8_text(std::string_view raw) {
  std::string text;
  if (raw.starts_with("\xFF\xFE")) {
    text = from_utf16(raw.substr(2), false);
  } else if (raw.starts_with("\xFE\xFF")) {
    text = from_utf16(raw.substr(2), true);
  } else {
    raw.remove_prefix(byte_order_mark(raw));
    text = is_utf8(raw) ? std::string(raw) : from_windows_1252(raw);
  }
  lf_line_ends(text);
  return text;
}

std::string utf8_text(std::string&& raw) {
  if (raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF") || !is_utf8(raw)) {
    return utf8_text(std::string_view(raw));
  }
  // The common case keeps its bytes where they are: a long file is not
  // held twice.
  std::string text = std::move(raw);
  text.erase(0, byte_order_mark(text));
  lf_line_ends(text);
  return text;
}

bool begins_as_own_format(std::string_view start) {
  if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return false;
  start.remove_prefix(byte_order_mark(start));
  while (!start.empty()) {
    const std::size_t end = std::min(start.find('\n'), start.size());
    const std::string_view line = start.substr(0, end);
    if (!trimmed(line).empty() && trimmed(line) != "\r") return first_is_whole_number(line);
    start.remove_prefix(std::min(end + 1, start.size()));
  }
  return false;
}

std::optional<std::string> words_apart_by_other_separators(std::string_view start) {
  if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return std::nullopt;
  const std::string text = utf8_text(start);
  const auto lines = first_lines(text, kHeaderLines);
  const auto first = std::find_if(lines.begin(), lines.end(), [](const Line& l) { return !trimmed(l.text).empty(); });
  static constexpr char kOthers[] = {' ', '|'};
  if (first == lines.end() || first_is_whole_number(first->text) || !is_line_of_words(first->text, kOthers)) {
    return std::nullopt;
  }
  return "line " + std::to_string(first->number) + ": " + quoted_text(trimmed(first->text)) +
         " names columns, but a table's columns are apart by ',', ';' or a tab";
}

bool is_table_start(std::string_view start, const TableChoice& choice) {
  if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return true;
  const std::string text = utf8_text(start);
  const auto lines = first_lines(text, kHeaderLines);
  const auto first = std::find_if(lines.begin(), lines.end(), [](const Line& l) { return !trimmed(l.text).empty(); });
  if (first == lines.end() || first_is_whole_number(first->text)) return false;
  try {
    if (find_header(text, choice)) return true;
  } catch (const CsvFailure&) {
    return true;  // a table, whose reading reports the fault
  }
  for (auto line = first; line != lines.end(); ++line)
    if (is_line_of_words(line->text)) return true;
  return false;
}

std::string column_key(std::string_view name) {
  name = trimmed(name);
  if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
    name = trimmed(name.substr(1, name.size() - 2));
  if (name.size() >= 2 && name.front() == '<' && name.back() == '>') name = trimmed(name.substr(1, name.size() - 2));
  while (!name.empty() && name.back() == '*') name.remove_suffix(1);
  return folded_letters(name);
}

NamedColumns columns_named(std::span<const std::string> names, const TableChoice& choice) {
  std::vector<std::string> keys;
  keys.reserve(names.size());
  for (const std::string& n : names) keys.push_back(column_key(n));
  NamedColumns c;
  c.date = choice.date_column ? chosen(keys, *choice.date_column) : first_named(keys, kDateNames);
  if (!choice.date_column && !c.date) c.date = first_named(keys, kTimeNames);
  // pandas writes an index without a name as a first column without one.
  if (!choice.date_column && !c.date && keys.size() > 1 && keys[0].empty()) c.date = 0;
  c.close = choice.close ? chosen(keys, *choice.close) : first_named(keys, kCloseNames, c.date);
  if (c.close && c.close == c.date) {
    c.close.reset();
    c.close_is_date = true;
  }
  for (const std::string_view name : kSymbolNames) {
    for (std::size_t k = 0; k < keys.size() && !c.symbol; ++k)
      if (keys[k] == name && k != c.date && k != c.close) c.symbol = k;
  }
  return c;
}

std::string missing_columns(std::span<const std::string> names, const NamedColumns& found,
                            const TableChoice& choice) {
  const std::string among = names.empty() ? std::string(" (the file has no line of names)") : " among " + quoted_list(names);
  const auto named = [](const std::optional<std::string>& given, std::string_view what) {
    if (!given) return "no " + std::string(what) + " column";
    return all_digits(*given) ? "no column " + *given : "no column " + quoted_text(*given);
  };
  const auto option = [&](TableOption o, std::string_view value) { return option_text(o, value, choice.spelling); };
  // A place offered as an example is one of the file's columns, and not
  // the date's.
  std::optional<std::size_t> example;
  for (std::size_t k = std::min<std::size_t>(names.size(), 5); k > 0 && !example; --k)
    if (found.date != k - 1) example = k;
  const std::string by_number = example ? option(TableOption::close, std::to_string(*example)) : std::string();
  if (!found.date && !found.close) {
    return named(choice.date_column, "date") + " and " + named(choice.close, "close") + among + ": name them with " +
           option(TableOption::date_column, "NAME") + " and " + option(TableOption::close, "NAME") +
           (example ? " (or a number, " + by_number + ")" : "");
  }
  if (!found.date) return named(choice.date_column, "date") + among + ": name it with " + option(TableOption::date_column, "NAME");
  const std::string way_out = option(TableOption::close, "NAME") + (example ? " or by its number, " + by_number : "");
  if (found.close_is_date) {
    return option(TableOption::close, choice.close.value_or("")) + " names the date column " +
           quoted_text(names[*found.date]) + among + ": name the close with " + way_out;
  }
  return named(choice.close, "close") + among + ": name it with " + way_out;
}

std::string symbols_listed(std::span<const std::string> symbols, std::string_view column, Spelling spelling) {
  return std::to_string(symbols.size()) + " series in column " + quoted_text(column) + ": " +
         quoted_list(symbols) + "; choose one with " + option_text(TableOption::symbol, "VALUE", spelling);
}

std::vector<CivilDate> column_dates(std::span<const std::string> texts, std::span<const std::int64_t> lines,
                                    std::span<const std::size_t> rows, std::string_view name,
                                    const TableChoice& choice, std::vector<CsvDays::Note>* notes) {
  const DateOrder given = choice.date_order;
  const std::string orders = option_text(TableOption::date_order, "dmy", choice.spelling) + " or " +
                             option_text(TableOption::date_order, "mdy", choice.spelling);
  // The column's form and order from every row, then each row's day.
  std::vector<DateParts> parts(rows.size());
  std::optional<DateParts> form;
  Evidence day_first, month_first;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::size_t k = rows[r];
    const std::string_view text = trimmed(texts[k]);
    // A column keeps to one form: the first row's layout is read at once.
    auto p = form ? same_layout_parts(text, *form) : std::nullopt;
    if (!p) p = date_parts(text);
    if (!p || (form && !same_form(*p, *form))) {
      const std::string wanted = form ? "not a date of the form " + form_name(*form, given) : "not a date";
      throw CsvFailure{lines[k], std::string(name), wanted + ": " + quoted_text(text)};
    }
    if (!form) form = p;
    parts[r] = *p;
    const DateOrder shown = order_shown(*p);
    Evidence& e = shown == DateOrder::dmy ? day_first : month_first;
    if (shown != DateOrder::unknown && !e.seen()) e.line = lines[k];
  }
  DateOrder order = given;
  if (order == DateOrder::unknown && form && form->form == DateForm::numbers_then_year) {
    if (day_first.seen() && month_first.seen()) {
      const bool later_day = day_first.line > month_first.line;
      throw CsvFailure{later_day ? day_first.line : month_first.line, std::string(name),
                       std::string(later_day ? "the day" : "the month") + " comes first, on line " +
                           std::to_string(later_day ? month_first.line : day_first.line) + " the " +
                           (later_day ? "month" : "day") + ": give " + orders};
    }
    if (!day_first.seen() && !month_first.seen()) {
      throw CsvFailure{0, std::string(name),
                       "every date reads as " + form_name(*form, DateOrder::unknown) +
                           " alike: give " + orders};
    }
    order = day_first.seen() ? DateOrder::dmy : DateOrder::mdy;
  }
  std::vector<CivilDate> dates(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    dates[r] = date_of(parts[r], order);
    if (!is_calendar_date(dates[r]))
      throw CsvFailure{lines[rows[r]], std::string(name), "no such day: " + quoted_text(trimmed(texts[rows[r]]))};
  }
  if (notes != nullptr && form && form->year_digits == 2 && !rows.empty()) {
    notes->push_back({lines[rows[0]], "years of two digits, read as 1969 to 1999 for 69 to 99 and as 2000 to 2068 "
                                      "for 00 to 68: " + quoted_text(trimmed(texts[rows[0]])) + " as " +
                                      iso_text(dates[0])});
  }
  return dates;
}

std::vector<std::optional<float>> column_closes(std::span<const std::string> texts,
                                                std::span<const std::int64_t> lines,
                                                std::span<const std::size_t> rows, std::string_view name,
                                                char separator) {
  // The column's decimal mark from every value, then each value.
  std::vector<std::string_view> numbers(rows.size());
  NumberColumn marks(separator);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::size_t k = rows[r];
    if (is_null_value(texts[k])) continue;
    numbers[r] = without_currency(trimmed(texts[k]));
    if (!marks.take(mark_shown(numbers[r]), lines[k])) {
      throw CsvFailure{lines[k], std::string(name),
                       "the decimal mark is not the one of the column's other values: " + quoted_text(trimmed(texts[k]))};
    }
  }
  DecimalMark mark = DecimalMark::point;
  if (!marks.decided(mark)) {
    const std::int64_t line = marks.ambiguous_line();
    std::size_t at = 0;
    while (lines[rows[at]] != line) ++at;
    throw CsvFailure{line, std::string(name),
                     quoted_text(trimmed(texts[rows[at]])) +
                         " has a comma before three digits, and no other value of the column tells "
                         "a thousands comma from a decimal comma"};
  }
  std::vector<std::optional<float>> closes(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::size_t k = rows[r];
    if (is_null_value(texts[k])) continue;
    try {
      closes[r] = styled_number(numbers[r], mark);
    } catch (const IoFailure& f) {
      throw CsvFailure{lines[k], std::string(name),
                       std::string(failure_message(f.number)) + ": " + quoted_text(trimmed(texts[k]))};
    }
    if (is_below_normal_float(*closes[r], numbers[r])) {
      throw CsvFailure{lines[k], std::string(name), std::string(kBelowNormalSingle) + ": " + quoted_text(trimmed(texts[k]))};
    }
  }
  return closes;
}

std::vector<std::size_t> symbol_rows(std::span<const std::string> symbols, std::string_view column,
                                     const TableChoice& choice) {
  const std::optional<std::string>& chosen_symbol = choice.symbol;
  std::vector<std::size_t> rows;
  std::vector<std::string> distinct;
  std::unordered_set<std::string_view> seen;
  for (std::size_t k = 0; k < symbols.size(); ++k) {
    const std::string_view s = trimmed(symbols[k]);
    if (!chosen_symbol || s == trimmed(*chosen_symbol)) rows.push_back(k);
    if (seen.insert(s).second) distinct.emplace_back(s);
  }
  if (chosen_symbol && rows.empty())
    throw CsvFailure{0, {}, "no rows of " + quoted_text(*chosen_symbol) + "; " + symbols_listed(distinct, column, choice.spelling)};
  if (!chosen_symbol && distinct.size() > 1) throw CsvFailure{0, {}, symbols_listed(distinct, column, choice.spelling)};
  return rows;
}

std::vector<std::size_t> rows_taken(std::span<const std::string> symbols, std::size_t count, std::string_view column,
                                    const TableChoice& choice) {
  if (choice.symbol && symbols.empty()) {
    throw CsvFailure{0, {}, option_text(TableOption::symbol, *choice.symbol, choice.spelling) +
                                " needs a column of symbols (Symbol, Ticker, Name, Code, Instrument or ISIN)"};
  }
  if (!symbols.empty()) return symbol_rows(symbols, column, choice);
  std::vector<std::size_t> rows(count);
  for (std::size_t k = 0; k < count; ++k) rows[k] = k;
  return rows;
}

CsvDays days_of_texts(const TextColumns& in, const TableChoice& choice) {
  const std::vector<std::size_t> rows = rows_taken(in.symbols, in.lines.size(), in.symbol_name, choice);
  std::vector<CsvDays::Note> notes;
  const auto dates = column_dates(in.dates, in.lines, rows, in.date_name, choice, &notes);
  const auto closes = column_closes(in.closes, in.lines, rows, in.close_name, in.separator);
  CsvDays out;
  out.notes = std::move(notes);
  out.close_name = in.close_name;
  out.days.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::int64_t line = in.lines[rows[r]];
    if (!closes[r]) {
      if (out.left_out++ == 0) out.first_left_out = line;
      continue;
    }
    out.days.push_back({dates[r], *closes[r], line});
  }
  return out;
}

namespace {

// Whether the record just read is the last: a download cut short ends in
// one with fewer fields.
bool is_last_record(const CsvRecords& records) {
  CsvRecords rest = records;
  std::vector<std::string> fields;
  try {
    return !rest.next(fields);
  } catch (const CsvFailure&) {
    return false;
  }
}

// Fewer fields than the header and no date where the date column is.
bool is_footer_line(const std::vector<std::string>& fields, std::size_t width, std::size_t date_column) {
  return fields.size() < width && (fields.size() <= date_column || !date_parts(trimmed(fields[date_column])));
}

// The header of a whole table, or the report of the columns it misses.
Header table_header(std::string_view text, const TableChoice& choice) {
  if (auto header = find_header(text, choice)) return std::move(*header);
  const Header near = nearest_header(text, choice);
  throw CsvFailure{near.line.number, {}, missing_columns(near.names, near.columns, choice)};
}

// Each row of a table after its header: take(fields, line, at), at where
// its record starts in text.
template <class Take>
void each_row(std::string_view text, const Header& header, Take take) {
  const std::size_t width = header.names.size();
  const std::size_t first = std::min(header.line.next, text.size());
  CsvRecords records(text.substr(first), header.separator, header.line.last + 1);
  std::vector<std::string> fields;
  // Lines after the last row that are no rows (a bank's "Downloaded on ...",
  // its disclaimer) end the table; a row after them makes the first of them
  // the fault it is.
  std::optional<CsvFailure> after_rows;
  while (records.next(fields)) {
    if (fields.size() != width) {
      CsvFailure fault{records.line(), {},
                       std::to_string(fields.size()) + " fields, the header has " + std::to_string(width)};
      if (fields.size() < width && is_last_record(records)) fault.message += ": the last line, the file looks cut short";
      if (!is_footer_line(fields, width, *header.columns.date)) throw after_rows.value_or(std::move(fault));
      if (!after_rows) after_rows = std::move(fault);
      continue;
    }
    if (after_rows) throw *after_rows;
    take(fields, records.line(), first + records.at());
  }
}

// The text columns of a table's rows, named as its header names them.
TextColumns named_columns(const Header& header) {
  TextColumns cols;
  const NamedColumns& c = header.columns;
  cols.separator = header.separator;
  cols.date_name = trimmed(header.names[*c.date]);
  cols.close_name = trimmed(header.names[*c.close]);
  if (c.symbol) cols.symbol_name = trimmed(header.names[*c.symbol]);
  return cols;
}

// The header and the text columns of a whole table; taken, whether the
// header chose the symbol's columns.
TextColumns table_columns(std::string_view text, const TableChoice& choice, bool* taken = nullptr) {
  const Header header = table_header(text, choice);
  if (taken != nullptr) *taken = header.symbol_taken;
  TextColumns cols = named_columns(header);
  const NamedColumns& c = header.columns;
  // At most a row a line: the columns grow once.
  const std::size_t most = static_cast<std::size_t>(
      std::count(text.begin() + static_cast<std::ptrdiff_t>(std::min(header.line.next, text.size())), text.end(), '\n') + 1);
  cols.lines.reserve(most);
  cols.dates.reserve(most);
  cols.closes.reserve(most);
  if (c.symbol) cols.symbols.reserve(most);
  each_row(text, header, [&](std::vector<std::string>& fields, std::int64_t line, std::size_t) {
    cols.lines.push_back(line);
    cols.dates.push_back(std::move(fields[*c.date]));
    cols.closes.push_back(std::move(fields[*c.close]));
    if (c.symbol) cols.symbols.push_back(std::move(fields[*c.symbol]));
  });
  return cols;
}

}  // namespace

CsvDays read_table_days(std::string_view text, const TableChoice& choice) {
  bool taken = false;
  const TextColumns cols = table_columns(text, choice, &taken);
  if (!taken) return days_of_texts(cols, choice);
  TableChoice rest = choice;
  rest.symbol.reset();
  return days_of_texts(cols, rest);
}

std::vector<std::string> table_symbols(std::string_view text, const TableChoice& choice) {
  const TextColumns cols = table_columns(text, choice);
  std::vector<std::string> distinct;
  std::unordered_set<std::string_view> seen;
  for (const std::string& s : cols.symbols)
    if (seen.insert(trimmed(s)).second) distinct.emplace_back(trimmed(s));
  return distinct;
}

}  // namespace numtext

namespace numtext {

std::optional<SymbolRecords> symbol_records(std::string text, const TableChoice& choice) {
  TableChoice every = choice;
  every.symbol.reset();
  const Header header = table_header(text, every);
  const NamedColumns& c = header.columns;
  if (!c.symbol || header.tickers) return std::nullopt;
  SymbolRecords out;
  out.columns = named_columns(header);
  out.date = *c.date;
  out.close = *c.close;
  // Rows of one symbol mostly follow one another: the last series is
  // tried before the index.
  std::unordered_map<std::string, std::size_t> index;
  std::size_t last = 0;
  std::string key;
  each_row(text, header, [&](const std::vector<std::string>& fields, std::int64_t line, std::size_t at) {
    key = trimmed(fields[*c.symbol]);
    if (out.series.empty() || out.series[last].symbol != key) {
      const auto [found, fresh] = index.try_emplace(key, out.series.size());
      if (fresh) out.series.push_back({key, {}});
      last = found->second;
    }
    out.series[last].records.push_back({at, line});
  });
  out.text = std::move(text);
  return out;
}

CsvDays series_days(const SymbolRecords& table, std::size_t series, const TableChoice& choice) {
  TextColumns cols = table.columns;
  const std::vector<SymbolRecords::Record>& records = table.series[series].records;
  cols.lines.reserve(records.size());
  cols.dates.reserve(records.size());
  cols.closes.reserve(records.size());
  std::vector<std::string> fields;
  for (const SymbolRecords::Record& r : records) {
    CsvRecords one(std::string_view(table.text).substr(r.at), cols.separator, r.line);
    (void)one.next(fields);
    cols.lines.push_back(r.line);
    cols.dates.push_back(std::move(fields[table.date]));
    cols.closes.push_back(std::move(fields[table.close]));
  }
  TableChoice one = choice;
  one.symbol.reset();
  return days_of_texts(cols, one);
}

}  // namespace numtext
