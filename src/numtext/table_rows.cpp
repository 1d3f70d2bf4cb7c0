#include "numtext/table_parts.hpp"

#include "numtext/messages.hpp"
#include "numtext/narrow.hpp"
#include "numtext/number_style.hpp"
#include "numtext/quoted_text.hpp"
#include "numtext/text_failure.hpp"

namespace numtext {
namespace {

struct Evidence {
  std::int64_t line = 0;
  bool seen() const { return line != 0; }
};

}  // namespace

std::vector<CivilDate> column_dates(std::span<const std::string_view> texts, std::span<const std::int64_t> lines,
                                    std::span<const std::size_t> rows, std::string_view name,
                                    const TableChoice& choice, std::vector<CsvDays::Note>* notes) {
  const DateOrder given = choice.date_order;
  const std::string orders = message(Msg::either_order, {option_text(TableOption::date_order, "dmy", choice.spelling),
                                                          option_text(TableOption::date_order, "mdy", choice.spelling)});
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
      throw CsvFailure{lines[k], std::string(name),
                       form ? message(Msg::not_a_date_of_form, {form_name(*form, given), quoted_text(text)})
                            : message(Msg::not_a_date, {quoted_text(text)})};
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
                       message(later_day ? Msg::day_before_month : Msg::month_before_day,
                               {std::to_string(later_day ? month_first.line : day_first.line), orders})};
    }
    if (!day_first.seen() && !month_first.seen()) {
      throw CsvFailure{0, std::string(name),
                       message(Msg::dates_alike, {form_name(*form, DateOrder::unknown), orders})};
    }
    order = day_first.seen() ? DateOrder::dmy : DateOrder::mdy;
  }
  std::vector<CivilDate> dates(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    dates[r] = date_of(parts[r], order);
    if (!is_calendar_date(dates[r]))
      throw CsvFailure{lines[rows[r]], std::string(name),
                       message(Msg::no_such_day, {quoted_text(trimmed(texts[rows[r]]))})};
  }
  if (notes != nullptr && form && form->year_digits == 2 && !rows.empty()) {
    notes->push_back(
        {lines[rows[0]], message(Msg::two_digit_years, {quoted_text(trimmed(texts[rows[0]])), iso_text(dates[0])})});
  }
  return dates;
}

std::vector<std::optional<float>> column_closes(std::span<const std::string_view> texts,
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
                       message(Msg::decimal_mark_differs, {quoted_text(trimmed(texts[k]))})};
    }
  }
  DecimalMark mark = DecimalMark::point;
  if (!marks.decided(mark)) {
    const std::int64_t line = marks.ambiguous_line();
    std::size_t at = 0;
    while (lines[rows[at]] != line) ++at;
    throw CsvFailure{line, std::string(name), message(Msg::comma_undecided, {quoted_text(trimmed(texts[rows[at]]))})};
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
bool is_footer_line(std::span<const std::string_view> fields, std::size_t width, std::size_t date_column) {
  return fields.size() < width && (fields.size() <= date_column || !date_parts(trimmed(fields[date_column])));
}

// The header of a whole table, or the report of the columns it misses.
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
TextColumns table_columns(std::string_view text, const TableChoice& choice, bool* taken) {
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
  each_row(text, header, [&](const std::vector<std::string_view>& fields, std::int64_t line, std::size_t) {
    cols.lines.push_back(line);
    cols.dates.push_back(kept(fields[*c.date], text, cols.quoted));
    cols.closes.push_back(kept(fields[*c.close], text, cols.quoted));
    if (c.symbol) cols.symbols.push_back(kept(fields[*c.symbol], text, cols.quoted));
  });
  return cols;
}


CsvDays read_table_days(std::string_view text, const TableChoice& choice) {
  bool taken = false;
  const TextColumns cols = table_columns(text, choice, &taken);
  if (!taken) return days_of_texts(cols, choice);
  TableChoice rest = choice;
  rest.symbol.reset();
  return days_of_texts(cols, rest);
}

}  // namespace numtext
