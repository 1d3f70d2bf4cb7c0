#include "numtext/table_parts.hpp"

#include <algorithm>

#include "numtext/letter_fold.hpp"
#include "numtext/messages.hpp"
#include "numtext/quoted_text.hpp"
#include "numtext/text_encoding.hpp"

namespace numtext {
namespace {

constexpr std::size_t kMostLinesInAQuote = 4;

bool leaves_quote_open(std::string_view text) { return std::count(text.begin(), text.end(), '"') % 2 != 0; }

}  // namespace

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

namespace {

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
    "日付", "日付け", "年月日", "日期", "날짜", "일자", "tanggal", "dtyyyymmdd", "trade date", "tradedate",
    "exchange date", "observation_date", "as of", "as of date", "asof"};
constexpr std::string_view kTimeNames[] = {"time", "timestamp", "datetime"};
constexpr std::string_view kCloseNames[] = {
    "close", "close/last", "last", "price", "schluss", "schlusskurs", "chiusura", "ultimo", "cloture",
    "dernier", "cierre", "fechamento", "fecho", "slot", "slotkoers", "clot", "cours de clôture", "settle",
    "settlement", "settlement price", "closing price", "close price", "closing", "last price", "px_last",
    "nav", "nav per share", "net asset value", "stängningskurs", "stängning", "slutkurs", "sluttkurs", "lukkekurs",
    "päätöskurssi", "päätöshinta", "zamknięcie", "kurs zamknięcia", "závěr", "uzavírací cena", "zavírací cena",
    "kapanış", "kapanış fiyatı", "κλείσιμο", "τιμή κλεισίματος", "закрытие", "цена закрытия", "終値", "收盘价",
    "收盘", "收盤價", "收盤", "종가", "senast", "senaste", "siste", "seneste", "viimeisin", "laatste", "zuletzt",
    "ostatnio", "poslední", "şimdi", "terakhir", "son", "kurs", "cours", "cena", "τιμή", "цена"};
constexpr std::string_view kSymbolNames[] = {"symbol", "ticker", "name", "code", "instrument", "isin"};

}  // namespace

std::span<const std::string_view> symbol_column_names() { return kSymbolNames; }

namespace {

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


// The header pandas writes for (field, ticker) columns: the fields, the
// tickers, then the index's name alone:
//   Price,Close,Close,High,...   Ticker,AAA,BBB,AAA,...   Date,,,,...
// The close is the column of the ticker chosen (or of the only one). Where
// tickers is given, it takes the tickers of the close's field, and several
// without a choice are no fault.
std::optional<Header> stacked_header(const std::vector<Line>& lines, const TableChoice& choice,
                                     std::vector<std::string>* tickers_out) {
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
      if (tickers_out != nullptr) *tickers_out = names;
      if (at == names.end() || (!choice.symbol && several && tickers_out == nullptr)) {
        throw CsvFailure{lines[d - 1].number, {},
                         message(Msg::series_in_row, {std::to_string(names.size()), quoted_text(trimmed(tickers[0])),
                                                      quoted_list(names),
                                                      option_text(TableOption::symbol, "VALUE", choice.spelling)})};
      }
      h.columns.close = places[static_cast<std::size_t>(at - names.begin())];
      return h;
    }
    }
  }
  return std::nullopt;
}

}  // namespace

constexpr char kSeparators[] = {'\t', ';', ','};

std::optional<Header> find_header(std::string_view text, const TableChoice& choice,
                                  std::vector<std::string>* tickers) {
  std::vector<std::string> fields;
  for (const Line& line : first_lines(text, kHeaderLines)) {
    for (const char sep : kSeparators) {
      if (line.text.find(sep) == std::string_view::npos || !split(line.text, sep, fields)) continue;
      const NamedColumns c = columns_named(fields, choice);
      if (c.date && c.close) return Header{line, sep, fields, c};
    }
  }
  return stacked_header(first_lines(text, kHeaderLines), choice, tickers);
}

namespace {

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


}  // namespace

std::string quoted_list(std::span<const std::string> items) {
  std::string s;
  for (std::size_t k = 0; k < items.size() && k < 10; ++k) s += (k == 0 ? "" : ", ") + quoted_text(items[k]);
  if (items.size() > 10) return message(Msg::list_and_more, {s, std::to_string(items.size() - 10)});
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
namespace {

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


}  // namespace

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
  return message(Msg::words_not_apart, {std::to_string(first->number), quoted_text(trimmed(first->text))});
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

namespace {

// The first symbol column by the names' order, neither the date's nor the
// close's.
std::optional<std::size_t> symbol_column(const std::vector<std::string>& keys, std::optional<std::size_t> date,
                                         std::optional<std::size_t> close) {
  for (const std::string_view name : kSymbolNames) {
    for (std::size_t k = 0; k < keys.size(); ++k)
      if (keys[k] == name && k != date && k != close) return k;
  }
  return std::nullopt;
}

}  // namespace

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
  c.symbol = symbol_column(keys, c.date, c.close);
  return c;
}

std::string missing_columns(std::span<const std::string> names, const NamedColumns& found,
                            const TableChoice& choice) {
  const std::string among =
      names.empty() ? message(Msg::columns_no_names) : message(Msg::columns_among, {quoted_list(names)});
  const auto named = [](const std::optional<std::string>& given, Msg none) {
    if (!given) return message(none);
    return message(Msg::no_column_named, {all_digits(*given) ? *given : quoted_text(*given)});
  };
  const auto option = [&](TableOption o, std::string_view value) { return option_text(o, value, choice.spelling); };
  // A place offered as an example is one of the file's columns, and not
  // the date's.
  std::optional<std::size_t> example;
  for (std::size_t k = std::min<std::size_t>(names.size(), 5); k > 0 && !example; --k)
    if (found.date != k - 1) example = k;
  const std::string by_number = example ? option(TableOption::close, std::to_string(*example)) : std::string();
  const std::string no_date = named(choice.date_column, Msg::no_date_column);
  const std::string no_close = named(choice.close, Msg::no_close_column);
  if (!found.date && !found.close) {
    return message(Msg::name_both_columns, {no_date, no_close, among, option(TableOption::date_column, "NAME"),
                                            option(TableOption::close, "NAME")}) +
           (example ? message(Msg::or_by_number, {by_number}) : "");
  }
  if (!found.date) return message(Msg::name_the_column, {no_date, among, option(TableOption::date_column, "NAME")});
  const std::string way_out = example ? message(Msg::close_or_by_number, {option(TableOption::close, "NAME"), by_number})
                                      : option(TableOption::close, "NAME");
  if (found.close_is_date) {
    return message(Msg::close_names_date, {option(TableOption::close, choice.close.value_or("")),
                                           quoted_text(names[*found.date]), among, way_out});
  }
  return message(Msg::name_the_column, {no_close, among, way_out});
}

Header table_header(std::string_view text, const TableChoice& choice) {
  if (auto header = find_header(text, choice)) return std::move(*header);
  const Header near = nearest_header(text, choice);
  throw CsvFailure{near.line.number, {}, missing_columns(near.names, near.columns, choice)};
}

// Each row of a table after its header: take(fields, line, at), at where

}  // namespace numtext
