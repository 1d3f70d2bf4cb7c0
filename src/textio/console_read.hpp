// A free-form read statement on the console (the default unit).
#pragma once

#include <span>

#include "textio/console.hpp"
#include "textio/free_form.hpp"

namespace textio {

// A failure ends the run with its report on READ(CON).
void read_console(Console& console, std::span<const Target> targets);

template <class T>
void read_console(Console& console, T& target) {
  const Target t = Target::of(target);
  read_console(console, std::span<const Target>(&t, 1));
}

}  // namespace textio
