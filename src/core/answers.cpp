#include "core/answers.hpp"

#include <algorithm>
#include <stdexcept>

#include "numtext/date_text.hpp"
#include "numtext/integer_text.hpp"
#include "numtext/real_text.hpp"

namespace elab {
namespace {

bool all_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// [sign]digits, read by the integer reader of the dialogue.
std::optional<std::int32_t> plain_integer(std::string_view text) {
  if (!all_digits(text.substr(!text.empty() && (text[0] == '-' || text[0] == '+')))) {
    return std::nullopt;
  }
  try {
    return numtext::parse_integer(text.data(), text.size());
  } catch (const numtext::IoFailure&) {
    return std::nullopt;  // beyond 32 bits
  }
}

// YYYY-MM-DD as a date key.
std::optional<std::int32_t> iso_date_key(std::string_view text) {
  const auto day = numtext::iso_date(text);
  if (!day) return std::nullopt;
  return numtext::date_key(static_cast<float>(day->year), static_cast<float>(day->month),
                           static_cast<float>(day->day));
}

// A name from a list, or its number as the dialogue takes it.
struct Named {
  std::string_view name;
  std::int32_t answer;
};

std::optional<std::int32_t> named_or_number(std::string_view text, std::span<const Named> names,
                                            bool (*accepted)(std::int32_t)) {
  for (const Named& n : names) {
    if (text == n.name) return n.answer;
  }
  const auto number = plain_integer(text);
  if (!number || !accepted(*number)) return std::nullopt;
  return number;
}

template <class T>
bool store(std::optional<T>& answer, std::optional<T> value) {
  if (!value) return false;
  answer = value;
  return true;
}

bool always(const Answers&) { return true; }
bool never(const Answers&) { return false; }

// A row whose answer is the member M, its text read by Parse.
template <auto M, auto Parse>
constexpr AnswerSpec row(Question question, std::string_view option, std::string_view keyword,
                         const OptionText& text, bool (*needed)(const Answers&) = always) {
  return {question,
          option,
          keyword,
          text,
          [](Answers& a, std::string_view value) { return store(a.*M, Parse(value)); },
          [](const Answers& a) { return (a.*M).has_value(); },
          needed};
}

// Python spells a keyword as the option, '_' for '-', and from_ for the
// word it keeps for itself.
constexpr AnswerSpec kAnswers[] = {
    row<&Answers::from, parse_from_option>(
        Question::from, "from", "from_",
        {{"DATE", "DATA"},
         {"first date: all = every row, 0 = from the start,\nYYYY-MM-DD, or YYMMDD as at the question",
          "prima data: all = tutti i dati, 0 = dall'inizio,\nAAAA-MM-GG, o AAMMGG come alla domanda"},
         "the first date: `all` (every row; the last date is then not asked), `0` (from the start), an ISO "
         "date *YYYY-MM-DD*, or a date key as typed at the question (`950703`, `1190601`)"}),
    row<&Answers::to, parse_date_option>(
        Question::to, "to", "to",
        {{"DATE", "DATA"},
         {"last date: 0 = to the end, YYYY-MM-DD,\nor YYMMDD as at the question",
          "ultima data: 0 = sino alla fine, AAAA-MM-GG,\no AAMMGG come alla domanda"},
         "the last date: `0` (to the end of the data), an ISO date, or a date key"},
        // the last date only once the first is given and is not all
        [](const Answers& a) { return a.from && *a.from != code(FirstDate::all); }),
    row<&Answers::variable, parse_variable_option>(
        Question::variable, "variable", "variable",
        {{"N", "N"},
         {"the output value, 1 to 11", "variabile in output, da 1 a 11"},
         "the output value, 1 to 11, or its name: `change-1d`, `change-5d`, `change-10d`, `change-20d` (the "
         "change in %, 1 to 4), `sign-1d` to `sign-20d` (its sign, 5 to 8), `mean-5d`, `mean-10d`, `mean-20d` "
         "(the mean daily change in %, 9 to 11)"}),
    row<&Answers::coefficient, parse_coefficient_option>(
        Question::coefficient, "coefficient", "coefficient",
        {{"X", "X"},
         {"the st.dev. coefficient, with a point (2.5)", "coeff. della st.dev., con il punto (2.5)"},
         "the screening coefficient, a decimal number with a point, any sign"}),
    row<&Answers::screen_output, parse_yes_no_option>(
        Question::screen_output, "screen-output", "screen_output",
        {{"yes|no", "yes|no"},
         {"screen the output value (also 1|0)", "outliers sul valore di output (anche 1|0)"},
         "screen the output value: `yes` or `no`, also `1` or `0`"}),
    row<&Answers::screen_inputs, parse_yes_no_option>(
        Question::screen_inputs, "screen-inputs", "screen_inputs",
        {{"yes|no", "yes|no"},
         {"screen the input values (also 1|0)", "outliers sui valori di input (anche 1|0)"},
         "screen the input values: `yes` or `no`, also `1` or `0`"}),
    row<&Answers::days, parse_days_option>(
        Question::days, "days", "days",
        {{"D", "G"},
         {"day: dummies (-1), monday-flag (0),\nmon, tue, wed, thu, fri (2..6)",
          "giorno: dummies (-1), monday-flag (0),\nmon, tue, wed, thu, fri (2..6)"},
         "the weekday question: `dummies` or `-1` (every day, five weekday dummies: layout C), `monday-flag` "
         "or `0` (every day, a Monday flag: layout A), `mon`, `tue`, `wed`, `thu`, `fri` or `2` to `6` (that "
         "weekday only: layout B)"}),
    row<&Answers::test_from, parse_date_option>(
        Question::test_from, "test-from", "test_from",
        {{"DATE", "DATA"},
         {"two sets: training (before the date) and\ntest (from the date on), YYYY-MM-DD\nor YYMMDD; -o and "
          "--dates with {set}",
          "divide in due insiemi: addestramento (prima\ndella data) e test (dalla data), AAAA-MM-GG\no AAMMGG; -o "
          "e --dates con {set}"},
         "a training and a test set from one run, split at *DATE* (an ISO date or a date key): the training "
         "set is, byte for byte, the run over the rows dated before *DATE* alone; the test set has a record for "
         "every row from *DATE* on that has 89 rows before it and 20 after it. `{set}` in `-o` and `--dates` "
         "stands for `train` or `test`; with `--format=csv` both sets go to one file with the columns "
         "`Series`, `Date`, `Set`. A date that leaves fewer than 110 training rows, or no test record, is an "
         "error naming the dates that would do"},
        never),
};

bool accepted(Question question, std::int32_t answer) {
  switch (question) {
    case Question::variable: return accepts_variable(answer);
    case Question::screen_output:
    case Question::screen_inputs: return accepts_yes_no(answer);
    case Question::days: return accepts_days(answer);
    default: return true;
  }
}

template <class T>
const std::optional<T>& given_of(const Answers& a, Question question);

template <>
const std::optional<std::int32_t>& given_of(const Answers& a, Question question) {
  switch (question) {
    case Question::from: return a.from;
    case Question::to: return a.to;
    case Question::variable: return a.variable;
    case Question::screen_output: return a.screen_output;
    case Question::screen_inputs: return a.screen_inputs;
    case Question::days: return a.days;
    case Question::test_from: return a.test_from;
    case Question::coefficient: break;
  }
  throw std::logic_error("the coefficient is a real answer");
}

template <>
const std::optional<float>& given_of(const Answers& a, Question question) {
  if (question != Question::coefficient) throw std::logic_error("an integer answer");
  return a.coefficient;
}

template <class T>
void take_or_ask(Asker* asker, Question question, T& target, const std::optional<T>& given) {
  if (given) {
    target = *given;
    return;
  }
  if (asker == nullptr) throw std::logic_error("a question without an asker");
  asker->ask(question, target);
}

}  // namespace

bool Answers::complete() const { return missing_answers(*this).empty(); }

bool accepts_variable(std::int32_t answer) {
  return answer >= code(Variable::change_1d) && answer <= code(Variable::mean_20d);
}

bool accepts_yes_no(std::int32_t answer) { return answer == code(Screen::no) || answer == code(Screen::yes); }

bool accepts_days(std::int32_t answer) {
  return answer >= code(Days::dummies) && answer <= code(Days::fri) && answer != code(Days::monday_flag) + 1;
}

std::span<const AnswerSpec> answer_table() { return kAnswers; }

const AnswerSpec& answer_spec(Question question) {
  return kAnswers[static_cast<std::size_t>(question)];
}

const AnswerSpec* answer_of_option(std::string_view option) {
  for (const AnswerSpec& a : kAnswers) {
    if (a.option == option) return &a;
  }
  return nullptr;
}

const AnswerSpec* answer_of_keyword(std::string_view keyword) {
  for (const AnswerSpec& a : kAnswers) {
    if (a.keyword == keyword) return &a;
  }
  return nullptr;
}

std::string spelled_name(const AnswerSpec& spec, Spelling spelling) {
  switch (spelling) {
    case Spelling::command_line: return "--" + std::string(spec.option);
    case Spelling::keyword: return std::string(spec.keyword);
    case Spelling::property: break;
  }
  std::string_view name = spec.keyword;
  if (name.ends_with('_')) name.remove_suffix(1);
  return std::string(name);
}

std::vector<const AnswerSpec*> missing_answers(const Answers& answers) {
  std::vector<const AnswerSpec*> missing;
  for (const AnswerSpec& a : kAnswers) {
    if (a.needed(answers) && !a.given(answers)) missing.push_back(&a);
  }
  return missing;
}

std::optional<std::int32_t> parse_date_option(std::string_view text) {
  if (const auto key = iso_date_key(text)) return key;
  return plain_integer(text);  // a key as the dialogue takes it: 1190601 is 1 June 2019
}

std::optional<std::int32_t> parse_from_option(std::string_view text) {
  if (text == "all") return code(FirstDate::all);
  return parse_date_option(text);
}

std::optional<std::int32_t> parse_variable_option(std::string_view text) {
  constexpr Named kNames[] = {
      {"change-1d", code(Variable::change_1d)}, {"change-5d", code(Variable::change_5d)},
      {"change-10d", code(Variable::change_10d)}, {"change-20d", code(Variable::change_20d)},
      {"sign-1d", code(Variable::sign_1d)},     {"sign-5d", code(Variable::sign_5d)},
      {"sign-10d", code(Variable::sign_10d)},   {"sign-20d", code(Variable::sign_20d)},
      {"mean-5d", code(Variable::mean_5d)},     {"mean-10d", code(Variable::mean_10d)},
      {"mean-20d", code(Variable::mean_20d)}};
  return named_or_number(text, kNames, accepts_variable);
}

std::optional<float> parse_coefficient_option(std::string_view text) {
  if (text.empty()) return std::nullopt;
  try {
    return numtext::whole_real(text.data(), text.data() + text.size());
  } catch (const numtext::IoFailure&) {
    return std::nullopt;
  }
}

std::optional<std::int32_t> parse_yes_no_option(std::string_view text) {
  constexpr Named kNames[] = {{"yes", code(Screen::yes)}, {"no", code(Screen::no)}};
  return named_or_number(text, kNames, accepts_yes_no);
}

std::optional<std::int32_t> parse_days_option(std::string_view text) {
  constexpr Named kNames[] = {{"dummies", code(Days::dummies)}, {"monday-flag", code(Days::monday_flag)},
                              {"mon", code(Days::mon)},         {"tue", code(Days::tue)},
                              {"wed", code(Days::wed)},         {"thu", code(Days::thu)},
                              {"fri", code(Days::fri)}};
  return named_or_number(text, kNames, accepts_days);
}

void hold_answer(Answers& answers, Question question, std::int32_t answer) {
  const_cast<std::optional<std::int32_t>&>(given_of<std::int32_t>(answers, question)) = answer;
}

void hold_answer(Answers& answers, Question question, float answer) {
  const_cast<std::optional<float>&>(given_of<float>(answers, question)) = answer;
}

void Questions::ask(Question question, std::int32_t& target) const {
  take_or_ask(asker_, question, target, given_of<std::int32_t>(given_, question));
}

void Questions::ask(Question question, float& target) const {
  take_or_ask(asker_, question, target, given_of<float>(given_, question));
}

void Questions::ask_until(Question question, std::int32_t& target) const {
  const auto& given = given_of<std::int32_t>(given_, question);
  if (given && !accepted(question, *given)) {
    throw std::invalid_argument("an answer the question refuses");
  }
  do {
    ask(question, target);
  } while (!accepted(question, target));
}

std::optional<DateOrder> parse_date_order_option(std::string_view text) {
  if (text == "dmy") return numtext::DateOrder::dmy;
  if (text == "mdy") return numtext::DateOrder::mdy;
  return std::nullopt;
}

std::optional<std::string> parse_symbol_option(std::string_view text) {
  if (text.empty()) return std::nullopt;
  return std::string(text);
}

}  // namespace elab
