// An environment variable set, or unset, for the life of one object.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace elab_test {

class VariableSet {
 public:
  VariableSet(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~VariableSet() { set(old_ ? old_->c_str() : nullptr); }
  VariableSet(const VariableSet&) = delete;
  VariableSet& operator=(const VariableSet&) = delete;

 private:
  void set(const char* value) const {
#if defined(_WIN32)
    _putenv_s(name_.c_str(), value != nullptr ? value : "");
#else
    if (value != nullptr) {
      setenv(name_.c_str(), value, 1);
    } else {
      unsetenv(name_.c_str());
    }
#endif
  }
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace elab_test
