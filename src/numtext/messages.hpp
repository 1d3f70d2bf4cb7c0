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
  count_,
};

// The row of id in a language, its "{}" not yet filled.
std::string_view text_of(Msg id, Language language);

// The row of id in the language set, each "{}" replaced by the next of args.
std::string message(Msg id, std::initializer_list<std::string_view> args = {});

}  // namespace numtext
