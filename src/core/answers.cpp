#include "core/answers.hpp"

#include <stdexcept>

#include "cli/console_read.hpp"
#include "cli/console_write.hpp"

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

void Questions::ask(std::int32_t& target, const std::optional<std::int32_t>& given,
                    const numtext::EditList& question) const {
  take_or_ask(console_, target, given, question);
}

void Questions::ask(float& target, const std::optional<float>& given,
                    const numtext::EditList& question) const {
  take_or_ask(console_, target, given, question);
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
