// The answer to each question of a run: the one given in advance (an option,
// a request), else obtained from the front end's asker.
#pragma once

#include <cstdint>

#include "elab/answers.hpp"

namespace elab {

// Keeps answer as the one given to question.
void hold_answer(Answers& answers, Question question, std::int32_t answer);
void hold_answer(Answers& answers, Question question, float answer);

class Questions {
 public:
  Questions(Asker& asker, const Answers& given) : asker_(&asker), given_(given) {}
  // Every answer given: nothing is asked.
  explicit Questions(const Answers& complete) : given_(complete) {}

  const Answers& given() const { return given_; }

  // target takes the given answer, or the asker's (which may leave target
  // as it is).
  void ask(Question question, std::int32_t& target) const;
  void ask(Question question, float& target) const;
  // As ask, asked again until the answer is one the question accepts; a
  // given answer must be one that is accepted.
  void ask_until(Question question, std::int32_t& target) const;

 private:
  Asker* asker_ = nullptr;
  Answers given_;
};

}  // namespace elab
