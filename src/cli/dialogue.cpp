#include "cli/dialogue.hpp"

#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console_read.hpp"
#include "cli/console_write.hpp"
#include "numtext/edit_list.hpp"
#include "numtext/record_writer.hpp"
#include "numtext/messages.hpp"

namespace elab {
namespace {

using numtext::EditList;

// The questions' texts as edit lists, in the order of Question.
constexpr const char* kQuestionFormats[] = {
    // from
    "(' Intervallo di tempo da elaborare (date=AAMMGG)'/"
    "' da (-1=tutti i dati; 0=dall''inizio)')",
    // to
    "(' sino a (0=sino alla fine)')",
    // variable
    "(' Quale variabile in output?'/"
    "17X,'1 - var. % a  1 g.'/"
    "17X,'2 - var. % a  5 g.'/"
    "17X,'3 - var. % a 10 g.'/"
    "17X,'4 - var. % a 20 g.'/"
    "17X,'5 - segno var. % a  1 g.'/"
    "17X,'6 - segno var. % a  5 g.'/"
    "17X,'7 - segno var. % a 10 g.'/"
    "17X,'8 - segno var. % a 20 g.'/"
    "17X,'9 - media var. % giornal. a  5 g.'/"
    "16X,'10 - media var. % giornal. a 10 g.'/"
    "16X,'11 - media var. % giornal. a 20 g.')",
    // coefficient
    "(' Coeff. da applicare alla st.dev. del valore da ','prevedere per eliminare'/"
    "' i valori eccezionali')",
    // screen_output
    "(' L''eliminazione degli outliers si applica al',' valore di out. (prev.)? (0=n; 1=s)')",
    // screen_inputs
    "(' L''eliminazione degli outliers si applica ai',' valori di input? (0=n; 1=s)')",
    // days
    "(' Quale giorno in output?',' -1=tutti con 5 dummy; 0=tutti; 2=lun., 3=mar. ecc.')",
};
static_assert(std::size(kQuestionFormats) == static_cast<std::size_t>(Question::days) + 1);

// All parsed once, when the first is asked.
const EditList& question_text(Question question) {
  static const std::vector<EditList> lists = [] {
    std::vector<EditList> parsed;
    for (const char* format : kQuestionFormats) parsed.push_back(EditList::parse(format));
    return parsed;
  }();
  return lists.at(static_cast<std::size_t>(question));
}

// Five positions up to 99,999, the count line's own width; a larger count is
// shown in full rather than as asterisks, in a field as wide as its digits.
int count_field_width(std::int32_t IC) {
  int width = 5;
  for (std::int64_t limit = 100000; IC >= limit; limit *= 10) ++width;
  return width;
}

}  // namespace

void ConsoleAsker::ask(Question question, std::int32_t& target) {
  units::write_console(console_, question_text(question));
  units::read_console(console_, target);
}

void ConsoleAsker::ask(Question question, float& target) {
  units::write_console(console_, question_text(question));
  units::read_console(console_, target);
}

namespace {

// The edit list of a text and a count: the text quoted, for a translation
// may hold an apostrophe.
std::string count_format(std::string_view text, std::int32_t n) {
  std::string format = "('";
  for (const char c : text) format.append(c == '\'' ? 2 : 1, c);
  format.append("',I").append(std::to_string(count_field_width(n))).append(")");
  return format;
}

void write_count(units::Console& console, std::string_view text, std::int32_t n) {
  const EditList count = EditList::parse(count_format(text, n));
  const numtext::FieldValue v = numtext::FieldValue::of(n);
  units::write_console(console, count, std::span<const numtext::FieldValue>(&v, 1));
}

}  // namespace

void write_count_line(units::Console& console, std::int32_t IC) { write_count(console, numtext::old_text::kRecordsWritten, IC); }

void write_test_count_line(units::Console& console, std::int32_t count) {
  write_count(console, numtext::message(numtext::Msg::test_count_line), count);
}

}  // namespace elab
