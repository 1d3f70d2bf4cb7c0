#include "numtext/table_parts.hpp"

#include <unordered_map>
#include <unordered_set>

#include "numtext/messages.hpp"
#include "numtext/quoted_text.hpp"

namespace numtext {

std::string symbols_listed(std::span<const std::string> symbols, std::string_view column, Spelling spelling) {
  return message(Msg::series_in_column, {std::to_string(symbols.size()), quoted_text(column), quoted_list(symbols),
                                         option_text(TableOption::symbol, "VALUE", spelling)});
}
std::vector<std::size_t> symbol_rows(std::span<const std::string_view> symbols, std::string_view column,
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
    throw CsvFailure{0, {},
                     message(Msg::no_rows_of, {quoted_text(*chosen_symbol), symbols_listed(distinct, column, choice.spelling)})};
  if (!chosen_symbol && distinct.size() > 1) throw CsvFailure{0, {}, symbols_listed(distinct, column, choice.spelling)};
  return rows;
}

std::vector<std::size_t> rows_taken(std::span<const std::string_view> symbols, std::size_t count, std::string_view column,
                                    const TableChoice& choice) {
  if (choice.symbol && symbols.empty()) {
    throw CsvFailure{0, {},
                     message(Msg::symbol_needs_column, {option_text(TableOption::symbol, *choice.symbol, choice.spelling)})};
  }
  if (!symbols.empty()) return symbol_rows(symbols, column, choice);
  std::vector<std::size_t> rows(count);
  for (std::size_t k = 0; k < count; ++k) rows[k] = k;
  return rows;
}

std::vector<std::string> table_symbols(std::string_view text, const TableChoice& choice) {
  std::vector<std::string> distinct;
  std::unordered_set<std::string_view> seen;
  // pandas' (field, ticker) columns: a ticker a series.
  std::vector<std::string> tickers;
  (void)find_header(text, choice, &tickers);
  if (!tickers.empty()) {
    for (const std::string& s : tickers)
      if (seen.insert(trimmed(s)).second) distinct.emplace_back(trimmed(s));
    return distinct;
  }
  const TextColumns cols = table_columns(text, choice);
  for (const std::string_view s : cols.symbols)
    if (seen.insert(trimmed(s)).second) distinct.emplace_back(trimmed(s));
  return distinct;
}

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
  each_row(text, header, [&](const std::vector<std::string_view>& fields, std::int64_t line, std::size_t at) {
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
  std::vector<std::string_view> fields;
  std::deque<std::string> held;
  for (const SymbolRecords::Record& r : records) {
    CsvRecords one(std::string_view(table.text).substr(r.at), cols.separator, r.line);
    (void)one.next(fields, held);
    cols.lines.push_back(r.line);
    cols.dates.push_back(kept(fields[table.date], table.text, cols.quoted));
    cols.closes.push_back(kept(fields[table.close], table.text, cols.quoted));
  }
  TableChoice one = choice;
  one.symbol.reset();
  return days_of_texts(cols, one);
}

}  // namespace numtext
