// A sources file: the price files of many series, each with the options of
// its own that a table cannot settle. A CSV whose header names its columns,
// in any order: file (required), and any of close, date_column,
// date_order, symbol and name. A cell left empty takes the command's
// option; a relative file is found from the sources file's folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "elab/table.hpp"

namespace elab {

struct Source {
  std::string file;
  std::int64_t line = 0;  // of the sources file
  std::optional<std::string> close, date_column, symbol, name;
  std::optional<DateOrder> date_order;

  // The command's choices with this source's given in their place.
  TableChoice over(TableChoice command) const;
};

// Why a sources file cannot serve: its line (0: not one line) and what is
// wrong.
struct SourcesError {
  std::int64_t line = 0;
  std::string message;
};

// The sources of a sources file's text; folder (empty: the current one)
// leads the relative files. Throws SourcesError.
std::vector<Source> read_sources(std::string_view text, std::string_view folder);

// The same of the file named path. Throws SourcesError.
std::vector<Source> read_sources_file(const std::string& path);

// The symbols of a price file of several series (--symbol=all), in the
// order first met; none for a file of one. Throws Error as a run on the
// file does.
std::vector<std::string> file_symbols(const std::string& path, const TableChoice& choice);

// The folder of a file's path, its last separator kept: "" for a bare name.
std::string folder_of(std::string_view path);

}  // namespace elab
