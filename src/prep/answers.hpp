// The seven answers of the dialogue and where they come from: each may be
// given in advance (an option, a request); a missing one is asked on the
// console, written and read as in the dialogue.
#pragma once

#include <cstdint>
#include <optional>

#include "numtext/edit_list.hpp"
#include "units/console.hpp"

namespace prep {

struct Answers {
  std::optional<std::int32_t> from;           // first date key; -1 all, 0 the start
  std::optional<std::int32_t> to;             // last date key; 0 the end
  std::optional<std::int32_t> variable;       // 1..11
  std::optional<float> coefficient;           // the screening coefficient
  std::optional<std::int32_t> screen_output;  // 0 or 1
  std::optional<std::int32_t> screen_inputs;  // 0 or 1
  std::optional<std::int32_t> days;           // -1, 0 or 2..6

  // Whether a run needs no question: the last date only when the first is
  // not "all".
  bool complete() const;
};

// The answers the dialogue takes; any other is asked again.
bool accepts_variable(std::int32_t answer);
bool accepts_yes_no(std::int32_t answer);
bool accepts_days(std::int32_t answer);

// The answer to each question: the one given, else asked on the console.
class Questions {
 public:
  Questions(units::Console& console, const Answers& given) : console_(&console), given_(given) {}
  // Every answer given: no console is touched.
  explicit Questions(const Answers& complete) : given_(complete) {}

  const Answers& given() const { return given_; }
  // Each answer read at the console is also kept in heard: a batch asks
  // once and holds the answers for every later file.
  void keep_heard(Answers& heard) { heard_ = &heard; }

  // target takes the given answer, or the question is written and the
  // answer read into it (a null answer leaves target as it is).
  void ask(std::int32_t& target, const std::optional<std::int32_t>& given,
           const numtext::EditList& question) const;
  void ask(float& target, const std::optional<float>& given,
           const numtext::EditList& question) const;
  // As ask, the question repeated until accepted; a given answer must be one
  // that is accepted.
  void ask_until(std::int32_t& target, const std::optional<std::int32_t>& given,
                 const numtext::EditList& question, bool (*accepted)(std::int32_t)) const;

 private:
  void note(const std::optional<std::int32_t>& given, std::int32_t answer) const;
  void note(const std::optional<float>& given, float answer) const;

  units::Console* console_ = nullptr;
  Answers given_;
  Answers* heard_ = nullptr;
};

}  // namespace prep
