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

}  // namespace numtext
