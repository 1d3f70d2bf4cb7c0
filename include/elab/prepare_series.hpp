// Every series of a long file, the file read once: for a front end that
// runs each symbol of a file, as the program's --symbol=all does.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "elab/prepare.hpp"
#include "elab/table.hpp"

namespace elab {

// A long file read once: its rows grouped by symbol. What it holds is the
// core's own; a copy shares it.
class SeriesTable {
 public:
  struct Rows;
  explicit SeriesTable(std::shared_ptr<const Rows> rows);

  // The symbols, in the order first met.
  std::vector<std::string> symbols() const;
  const Rows& rows() const { return *rows_; }

 private:
  std::shared_ptr<const Rows> rows_;
};

// The series of the file at path by its symbol column, read once; nothing
// for a file of one series. Throws Error as a run's reading does.
std::optional<SeriesTable> file_series(const std::string& path, const TableChoice& choice);

// What prepare() of request (its price_file the table's file, its choice
// without a symbol) gives for the table's series, its failures named by the
// file as a read of the file for that symbol names them.
Result prepare_series(const Request& request, const SeriesTable& table, std::size_t series);

}  // namespace elab
