#include "elab/sources.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "numtext/csv_text.hpp"
#include "numtext/messages.hpp"
#include "core/price_file.hpp"
#include "elab/answers.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/run_failure.hpp"

namespace elab {

using numtext::message;
using numtext::Msg;

namespace {

constexpr std::string_view kFile = "file";
constexpr std::array<std::string_view, 6> kColumns = {kFile, "close", "date_column", "date_order", "symbol", "name"};

// The separator of the header line: a semicolon or a tab where the line
// holds one and no comma, as a spreadsheet of another locale writes it.
char header_separator(std::string_view text) {
  const std::string_view header = text.substr(0, text.find('\n'));
  if (header.find(',') != std::string_view::npos) return ',';
  if (header.find(';') != std::string_view::npos) return ';';
  if (header.find('\t') != std::string_view::npos) return '\t';
  return ',';
}

std::string trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(" \t") + 1 - first));
}

bool is_absolute(std::string_view file) {
  return file.starts_with('/') || file.starts_with('\\') || (file.size() > 1 && file[1] == ':');
}

// A source's values by the header's columns.
void take(Source& s, std::string_view column, std::string value) {
  if (value.empty()) return;
  if (column == "close") s.close = std::move(value);
  if (column == "date_column") s.date_column = std::move(value);
  if (column == "symbol") s.symbol = std::move(value);
  if (column == "name") s.name = std::move(value);
  if (column == "date_order") {
    s.date_order = parse_date_order_option(value);
    if (!s.date_order) throw SourcesError{s.line, message(Msg::date_order_refused, {value})};
  }
}

}  // namespace

numtext::TableChoice Source::over(numtext::TableChoice command) const {
  if (close) command.close = close;
  if (date_column) command.date_column = date_column;
  if (date_order) command.date_order = *date_order;
  if (symbol) command.symbol = symbol;
  return command;
}

std::vector<std::string> file_symbols(const std::string& path, const numtext::TableChoice& choice) {
  try {
    units::InputFile in(path, units::open_price_file(path));
    return price_file_symbols(in, choice);
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, path);
  }
}

std::string folder_of(std::string_view path) {
  const std::size_t last = path.find_last_of("/\\");
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::vector<Source> read_sources(std::string_view raw, std::string_view folder) {
  const std::string text = numtext::utf8_text(raw);
  std::vector<Source> sources;
  try {
    numtext::CsvRecords records(text, header_separator(text));
    std::vector<std::string> header, fields;
    if (!records.next(header)) throw SourcesError{0, message(Msg::sources_no_header)};
    for (std::string& name : header) {
      name = trimmed(name);
      if (std::find(kColumns.begin(), kColumns.end(), name) == kColumns.end()) {
        throw SourcesError{records.line(), message(Msg::sources_unknown_column, {name})};
      }
      if (std::count(header.begin(), header.end(), name) > 1) {
        throw SourcesError{records.line(), message(Msg::sources_column_twice, {name})};
      }
    }
    const auto at_file = std::find(header.begin(), header.end(), kFile);
    if (at_file == header.end()) throw SourcesError{records.line(), message(Msg::sources_no_file_column)};
    while (records.next(fields)) {
      Source s;
      s.line = records.line();
      if (fields.size() != header.size()) {
        throw SourcesError{s.line, message(Msg::field_count,
                                           {std::to_string(fields.size()), std::to_string(header.size())})};
      }
      for (std::size_t k = 0; k < header.size(); ++k) {
        if (header[k] != kFile) take(s, header[k], trimmed(fields[k]));
      }
      s.file = fields[static_cast<std::size_t>(at_file - header.begin())];
      if (trimmed(s.file).empty()) throw SourcesError{s.line, message(Msg::sources_no_file_named)};
      if (!is_absolute(s.file)) s.file = std::string(folder) + s.file;
      sources.push_back(std::move(s));
    }
  } catch (const numtext::CsvFailure& f) {
    throw SourcesError{f.line, f.message};
  }
  if (sources.empty()) throw SourcesError{0, message(Msg::sources_no_file)};
  return sources;
}

std::vector<Source> read_sources_file(const std::string& path) {
  std::string text;
  try {
    units::InputFile in(path, units::open_price_file(path));
    text = in.read_rest();
  } catch (const numtext::IoFailure&) {
    throw SourcesError{0, message(Msg::sources_unreadable)};
  } catch (const units::RunFailure&) {
    throw SourcesError{0, message(Msg::sources_unreadable)};
  }
  return read_sources(text, folder_of(path));
}

}  // namespace elab
