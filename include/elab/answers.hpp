// The seven answers of a run and the test date, the one table that names them, and the asker
// through which the core obtains an answer it was not given.
//
// Every front end reads answers through answer_table(): the program's
// options, the missing-answer rule, the Python keywords and the manual
// page's option list all come from (or are tested against) its rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "elab/table.hpp"

namespace elab {

// The answers' named values, each the code the dialogue takes and an
// Answers member holds: answers.days = code(Days::dummies).
enum class Variable : std::int32_t {
  change_1d = 1, change_5d, change_10d, change_20d,  // the change in %, 1 to 20 days on
  sign_1d, sign_5d, sign_10d, sign_20d,              // its sign
  mean_5d, mean_10d, mean_20d,                       // the mean daily change in %
};
enum class Days : std::int32_t { dummies = -1, monday_flag = 0, mon = 2, tue, wed, thu, fri };
enum class Screen : std::int32_t { no = 0, yes = 1 };
// The dates that are no day: every row, the data's start and its end.
enum class FirstDate : std::int32_t { all = -1, start = 0 };
enum class LastDate : std::int32_t { end = 0 };

template <class Named>
constexpr std::int32_t code(Named value) {
  return static_cast<std::int32_t>(value);
}

struct Answers {
  std::optional<std::int32_t> from;           // first date key, or a FirstDate's code
  std::optional<std::int32_t> to;             // last date key, or a LastDate's code
  std::optional<std::int32_t> variable;       // a Variable's code
  std::optional<float> coefficient;           // the screening coefficient
  std::optional<std::int32_t> screen_output;  // a Screen's code
  std::optional<std::int32_t> screen_inputs;  // a Screen's code
  std::optional<std::int32_t> days;           // a Days' code
  // The first date key of a test set: the rows before it make the training
  // set, the rows from it on the test set. Never asked.
  std::optional<std::int32_t> test_from;

  // Whether a run needs no question: every answer a run needs is given.
  bool complete() const;
};

// The questions of a run, in the order the core asks them.
// test_from is no question: it is only ever given.
enum class Question { from, to, variable, coefficient, screen_output, screen_inputs, days, test_from };

// The answers the dialogue takes; any other is asked again.
bool accepts_variable(std::int32_t answer);
bool accepts_yes_no(std::int32_t answer);
bool accepts_days(std::int32_t answer);

// An option's texts: its value's name and its line in the usage, in
// English and in Italian (the usage follows the locale), and its longer
// text, from which the manual page's OPTIONS and the guide's table of
// options are made: `x` is a literal, *x* a name that stands for one.
struct OptionText {
  std::string_view value_name[2];  // empty: the option takes no value
  std::string_view help[2];        // '\n' starts another line
  std::string_view doc;
};

// One answer: its names, its texts. take reads text into the answer (false
// when refused); given says whether it is there; needed whether a run needs
// it, given the answers before it in the table.
struct AnswerSpec {
  Question question;
  std::string_view option;   // the long option, without "--"
  std::string_view keyword;  // the Python keyword
  OptionText text;
  bool (*take)(Answers& answers, std::string_view text);
  bool (*given)(const Answers& answers);
  bool (*needed)(const Answers& answers);
};

// In the order of the questions.
std::span<const AnswerSpec> answer_table();

// The row of a question, of an option name, of a Python keyword (null when
// none).
const AnswerSpec& answer_spec(Question question);
const AnswerSpec* answer_of_option(std::string_view option);
const AnswerSpec* answer_of_keyword(std::string_view keyword);

// The answer's name as a front end spells it: "--test-from", "test_from",
// and the page's property, the keyword without Python's trailing _ ("from").
std::string spelled_name(const AnswerSpec& spec, Spelling spelling);

// The rows a run needs and lacks, in the table's order.
std::vector<const AnswerSpec*> missing_answers(const Answers& answers);

// The values of the answers, as the options and keywords spell them: nothing
// for a value refused. A date is an ISO date YYYY-MM-DD of a real day or a
// key as the dialogue takes it (any whole number: 0, 1190601); the first
// date is also "all".
std::optional<std::int32_t> parse_date_option(std::string_view text);
std::optional<std::int32_t> parse_from_option(std::string_view text);
std::optional<std::int32_t> parse_variable_option(std::string_view text);
std::optional<float> parse_coefficient_option(std::string_view text);
std::optional<std::int32_t> parse_yes_no_option(std::string_view text);
std::optional<std::int32_t> parse_days_option(std::string_view text);
// The choices of a table that a file cannot settle: dmy or mdy; a symbol of
// its symbol column, as written there.
std::optional<DateOrder> parse_date_order_option(std::string_view text);
std::optional<std::string> parse_symbol_option(std::string_view text);

// How the core obtains an answer it was not given: the program asks on its
// console. A null answer leaves target as it is.
class Asker {
 public:
  virtual ~Asker() = default;
  virtual void ask(Question question, std::int32_t& target) = 0;
  virtual void ask(Question question, float& target) = 0;
};

}  // namespace elab
