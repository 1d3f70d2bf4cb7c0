// The run's dialogue on the console: the questions as the program writes
// them, the answers read as typed, and the count line at the end.
#pragma once

#include <cstdint>

#include "cli/console.hpp"
#include "elab/answers.hpp"

namespace prep {

class ConsoleAsker final : public Asker {
 public:
  explicit ConsoleAsker(units::Console& console) : console_(console) {}
  void ask(Question question, std::int32_t& target) override;
  void ask(Question question, float& target) override;

 private:
  units::Console& console_;
};

void write_count_line(units::Console& console, std::int32_t IC);

}  // namespace prep
