// A formatted write on the console: the records of an edit list, each shown
// with carriage control.
#pragma once

#include <span>

#include "textio/console.hpp"
#include "textio/edit_list.hpp"
#include "textio/record_writer.hpp"

namespace textio {

inline void write_console(Console& console, const EditList& list,
                          std::span<const FieldValue> values = {}) {
  RecordWriter writer;
  writer.write(list, values, [&](std::string_view record) { console.write_record(record); });
}

}  // namespace textio
