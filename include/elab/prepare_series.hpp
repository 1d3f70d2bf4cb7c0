// Every series of a long file, the file read once: for a front end that
// runs each symbol of a file, as the program's --symbol=all does.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "elab/prepare.hpp"
#include "numtext/vendor_table.hpp"

namespace prep {

// The series of the file at path by its symbol column, read once; nothing
// for a file of one series. Throws units::RunFailure as a run's reading
// does.
std::optional<numtext::SymbolRecords> file_series(const std::string& path, const numtext::TableChoice& choice);

// What prepare() of request (its price_file the table's file, its choice
// without a symbol) gives for the table's series, its failures named by the
// file as a read of the file for that symbol names them.
Result prepare_series(const Request& request, const numtext::SymbolRecords& table, std::size_t series);

}  // namespace prep
