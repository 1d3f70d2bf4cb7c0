// The run's dialogue on the console: the questions as the program writes
// them, the answers read as typed, and the count line at the end.
#pragma once

#include <cstdint>

#include "cli/console.hpp"
#include "core/answers.hpp"
#include "elab/answers.hpp"

namespace elab {

class ConsoleAsker final : public Asker {
 public:
  explicit ConsoleAsker(units::Console& console) : console_(console) {}
  void ask(Question question, std::int32_t& target) override;
  void ask(Question question, float& target) override;

 private:
  units::Console& console_;
};

// An asker that keeps each answer it hears in heard: a batch asks once and
// holds the answers for every later file.
class HeardAsker final : public Asker {
 public:
  HeardAsker(Asker& asker, Answers& heard) : asker_(asker), heard_(heard) {}
  void ask(Question question, std::int32_t& target) override {
    asker_.ask(question, target);
    hold_answer(heard_, question, target);
  }
  void ask(Question question, float& target) override {
    asker_.ask(question, target);
    hold_answer(heard_, question, target);
  }

 private:
  Asker& asker_;
  Answers& heard_;
};

void write_count_line(units::Console& console, std::int32_t IC);
// The test set's records, after the count line of the training set's and
// with its count in the same columns.
void write_test_count_line(units::Console& console, std::int32_t count);

}  // namespace elab
