#include "prep/answers.hpp"

#include <stdexcept>

#include "units/console_read.hpp"
#include "units/console_write.hpp"

namespace prep {

bool Answers::complete() const {
  return from && (*from == -1 || to) && variable && coefficient && screen_output &&
         screen_inputs && days;
}

bool accepts_variable(std::int32_t answer) { return answer >= 1 && answer <= 11; }

bool accepts_yes_no(std::int32_t answer) { return answer == 0 || answer == 1; }

bool accepts_days(std::int32_t answer) { return answer >= -1 && answer <= 6 && answer != 1; }

namespace {

template <class T>
void take_or_ask(units::Console* console, T& target, const std::optional<T>& given,
                 const numtext::EditList& question) {
  if (given) {
    target = *given;
    return;
  }
  if (console == nullptr) throw std::logic_error("a question without a console");
  units::write_console(*console, question);
  units::read_console(*console, target);
}

}  // namespace

// The answer heard for a question, found by the answer given that the
// caller passed: a member of given_.
void Questions::note(const std::optional<std::int32_t>& given, std::int32_t answer) const {
  if (heard_ == nullptr || given) return;
  for (std::optional<std::int32_t> Answers::*a :
       {&Answers::from, &Answers::to, &Answers::variable, &Answers::screen_output,
        &Answers::screen_inputs, &Answers::days}) {
    if (&(given_.*a) == &given) heard_->*a = answer;
  }
}

void Questions::note(const std::optional<float>& given, float answer) const {
  if (heard_ != nullptr && !given && &given == &given_.coefficient) heard_->coefficient = answer;
}

void Questions::ask(std::int32_t& target, const std::optional<std::int32_t>& given,
                    const numtext::EditList& question) const {
  take_or_ask(console_, target, given, question);
  note(given, target);
}

void Questions::ask(float& target, const std::optional<float>& given,
                    const numtext::EditList& question) const {
  take_or_ask(console_, target, given, question);
  note(given, target);
}

void Questions::ask_until(std::int32_t& target, const std::optional<std::int32_t>& given,
                          const numtext::EditList& question,
                          bool (*accepted)(std::int32_t)) const {
  if (given && !accepted(*given)) throw std::invalid_argument("an answer the question refuses");
  do {
    ask(target, given, question);
  } while (!accepted(target));
}

}  // namespace prep
