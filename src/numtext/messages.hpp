// The program's texts, by the rule of doc/design.md ("Messages"): the old
// program's console texts stay in its language whatever the locale; every
// other text has one row in each language's table, chosen by the locale.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace numtext {

// The old console's own texts and the stops written in their style: the
// same bytes in every locale.
namespace old_text {
inline constexpr std::string_view kNoMemory = "Memoria insufficiente";
inline constexpr std::string_view kTooFewColumns = "Il file deve avere almeno 7 colonne";
inline constexpr std::string_view kRecordsWritten = " Record scritti: ";
inline constexpr std::string_view kReturnCode = "Return code ";
}  // namespace old_text

enum class Language { english, italian };

// The language of a locale's name: Italian for "it" and "it_*", English
// for any other, "C", "POSIX" and none.
Language language_of_locale(std::string_view locale);

// The language of the texts, for the whole process: set once by a front
// end at its start, English until then.
void set_language(Language language);
Language language();

// One row of each language's table.
enum class Msg : std::size_t {
  usage_head,
  usage_options,
  usage_tail,
  try_help,
  unknown_long_option,
  unknown_short_option,
  option_needs_value,
  option_takes_no_value,
  option_value_refused,
  check_needs_file,
  output_and_dates_same,
  stdin_needs_answers,
  batch_end_files,
  batch_end_series,
  refused_sources,
  at_line,
  // A vendor's table, a sources file and the library's refusals.
  quote_not_closed,
  text_after_quote,
  characters_cut,
  list_and_more,
  series_in_row,
  series_in_column,
  no_rows_of,
  symbol_needs_column,
  words_not_apart,
  no_date_column,
  no_close_column,
  no_column_named,
  columns_among,
  columns_no_names,
  name_both_columns,
  or_by_number,
  name_the_column,
  close_or_by_number,
  close_names_date,
  not_a_date,
  not_a_date_of_form,
  either_order,
  day_before_month,
  month_before_day,
  dates_alike,
  no_such_day,
  two_digit_years,
  decimal_mark_differs,
  comma_undecided,
  file_empty,
  file_blank,
  table_needs_names,
  option_needs_table,
  at_row,
  table_fault_in_field,
  table_fault_field,
  left_out_one,
  left_out_many,
  same_date_lines,
  same_date_rows,
  table_empty,
  no_dated_closes,
  too_many_rows,
  date_order_refused,
  sources_no_header,
  sources_unknown_column,
  sources_column_twice,
  sources_no_file_column,
  field_count,
  field_count_cut_short,
  sources_no_file_named,
  sources_no_file,
  sources_unreadable,
  dates_and_closes_differ,
  answer_missing,
  // The many files' lines, the batch's and the sets' usage errors, the test set's count line
  test_count_line,
  series_with_test_records,
  not_run_no_answers,
  empty_template_field,
  standard_input_among_several,
  blank_among_several,
  price_file_twice,
  two_series_one_name,
  symbol_template_needs_all,
  all_symbols_need_output_template,
  all_symbols_need_dates_template,
  files_and_symbols_need_both_templates,
  name_template_needs_price_file,
  files_need_output_template,
  files_need_dates_template,
  price_file_and_option_same,
  would_overwrite_price_file,
  written_twice,
  option_of_series,
  option_of_dataset,
  two_series_one_name_in_dataset,
  set_template_needs_test_from,
  csv_holds_both_sets,
  test_from_needs_output_set,
  test_from_needs_dates_set,
  options_name_same_file,
  of_training_set,
  of_test_set,

  // --check's findings and count line, the warnings of what it would find,
  // the test set's refusals and the notes after a report.
  check_read_as_two_values,
  check_values_short_one,
  check_values_short,
  check_values_long_one,
  check_values_long,
  check_two_digit_year,
  check_no_calendar_day,
  check_weekday_code,
  weekday_sunday,
  weekday_monday,
  weekday_tuesday,
  weekday_wednesday,
  weekday_thursday,
  weekday_friday,
  weekday_saturday,
  check_lines_after_one,
  check_lines_after,
  check_same_date,
  check_date_before_previous,
  check_close_not_positive,
  check_weekend,
  check_gap,
  check_equal_closes,
  check_few_rows_one,
  check_few_rows,
  finding_at_row_and_line,
  finding_at_row,
  finding_at_line,
  findings_one_in_one_row,
  findings_one_in_rows,
  findings_in_one_row,
  findings_in_rows,
  findings_in_one_row_first_shown,
  findings_in_rows_first_shown,
  days_weekend_one,
  days_weekend,
  days_gap_one,
  days_gap,
  days_equal_closes_one,
  days_equal_closes,
  days_check_lists_them,
  days_strict_refuses,
  test_from_refused,
  test_from_no_date_does,
  test_from_dates_that_do,
  test_from_out_of_order,
  test_from_few_training_rows,
  test_from_no_test_row,
  note_rows_too_few_one,
  note_rows_too_few,
  note_close_below_normal_at_line,
  note_close_below_normal_at_row,
  note_close_not_above_zero_at_line,
  note_close_not_above_zero_at_row,
  count_,
};

// The row of id in a language, its "{}" not yet filled.
std::string_view text_of(Msg id, Language language);

// The row of id in the language set, each "{}" replaced by the next of args.
std::string message(Msg id, std::initializer_list<std::string_view> args = {});

// The row of a sentence for a count n: one's where n is 1, many's otherwise.
// The two rows take the same arguments, the count among them, as another
// language's plurals may change more than a noun.
constexpr Msg for_count(long long n, Msg one, Msg many) { return n == 1 ? one : many; }

}  // namespace numtext
