// ELAB_THREADS set, or not, for the life of one object: a test runs the
// program, or asks for its second thread, on one thread and on two.
#pragma once

#include "support/variable_set.hpp"

namespace elab_test {

class ThreadsAsked : VariableSet {
 public:
  explicit ThreadsAsked(const char* value) : VariableSet("ELAB_THREADS", value) {}
};

}  // namespace elab_test
