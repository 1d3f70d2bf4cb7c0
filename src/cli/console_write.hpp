// A formatted write on the console: the records of an edit list, each shown
// with carriage control.
#pragma once

#include <span>

#include "cli/console.hpp"
#include "numtext/edit_list.hpp"
#include "numtext/record_writer.hpp"

namespace units {

inline void write_console(Console& console, const numtext::EditList& list,
                          std::span<const numtext::FieldValue> values = {}) {
  numtext::RecordWriter writer;
  writer.write(list, values, [&](std::string_view record) { console.write_record(record); });
}

}  // namespace units
