// prepare() of one series of a long file read once (price_file_series()):
// for the front ends that run every symbol of a file, as the batch does.
#pragma once

#include <cstddef>

#include "elab/prepare.hpp"
#include "numtext/vendor_table.hpp"

namespace prep {

// What prepare() of request (its price_file the table's file, its choice
// without a symbol) gives for the table's series, its failures named by the
// file as a read of the file for that symbol names them.
Result prepare_series(const Request& request, const numtext::SymbolRecords& table, std::size_t series);

}  // namespace prep
