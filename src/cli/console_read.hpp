// A free-form read statement on the console (the default unit).
#pragma once

#include <span>

#include "cli/console.hpp"
#include "numtext/free_form.hpp"

namespace units {

// A failure throws RunFailure with its report on READ(CON).
void read_console(Console& console, std::span<const numtext::Target> targets);

template <class T>
void read_console(Console& console, T& target) {
  const numtext::Target t = numtext::Target::of(target);
  read_console(console, std::span<const numtext::Target>(&t, 1));
}

}  // namespace units
