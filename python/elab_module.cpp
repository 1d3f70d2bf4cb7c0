// The module elab._elab: prepare() of the core with its failures raised as
// elab.ElabError. The run itself goes on without the interpreter's lock.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "elab/answers.hpp"
#include "elab/prepare.hpp"
#include "elab/series_names.hpp"
#include "elab/prepare_series.hpp"
#include "elab/sources.hpp"
#include "numtext/vendor_table.hpp"

namespace py = pybind11;

namespace {

// The answers, one keyword each as answer_table() names them, read as the
// command line reads its options; a refused one is a ValueError naming the
// keyword. An answer a run does not need (the last date after "all") is not
// read, unless it is one never needed (the test date) and given.
elab::Answers answers_of(const py::dict& given) {
  elab::Answers a;
  for (const elab::AnswerSpec& spec : elab::answer_table()) {
    const std::string keyword(spec.keyword);
    const bool optional = spec.question == elab::Question::test_from;
    if (!spec.needed(a) && !(optional && given.contains(keyword.c_str()))) continue;
    const std::string text = given[keyword.c_str()].cast<std::string>();
    if (!spec.take(a, text)) throw py::value_error(keyword + ": " + text + " is not accepted");
  }
  return a;
}

// The table's keyword and option of each answer, in the order of the
// questions.
std::vector<std::pair<std::string, std::string>> answer_names() {
  std::vector<std::pair<std::string, std::string>> names;
  for (const elab::AnswerSpec& spec : elab::answer_table())
    names.emplace_back(std::string(spec.keyword), std::string(spec.option));
  return names;
}

// Records handed to numpy without a copy: the array owns them.
template <class T>
py::array_t<T> owned_array(elab::Records<T>&& v, std::vector<py::ssize_t> shape) {
  auto* held = new elab::Records<T>(std::move(v));
  py::capsule owner(held, [](void* p) { delete static_cast<elab::Records<T>*>(p); });
  return py::array_t<T>(shape, held->data(), owner);
}

py::dict dict_of(elab::Result& r) {
  py::dict out;
  // The training file's text without a copy: Python makes its bytes when
  // they are first asked for.
  const auto size = static_cast<py::ssize_t>(r.text.size());
  auto* text = new elab::Records<char>(std::move(r.text));
  py::capsule text_owner(text, [](void* p) { delete static_cast<elab::Records<char>*>(p); });
  out["text"] = py::array_t<std::uint8_t>({size}, reinterpret_cast<const std::uint8_t*>(text->data()), text_owner);
  out["count"] = r.count;
  out["layout"] = std::string(1, r.layout);
  const auto columns = static_cast<py::ssize_t>(r.columns.size());
  out["columns"] = r.columns;
  out["values"] = owned_array(std::move(r.values), {static_cast<py::ssize_t>(r.count), columns});
  out["days"] = owned_array(std::move(r.days), {static_cast<py::ssize_t>(r.count)});
  out["warnings"] = r.warnings;
  if (r.test) out["test"] = dict_of(*r.test);
  return out;
}

py::dict run(elab::Request request) {
  elab::Result r;
  {
    py::gil_scoped_release unlocked;
    r = elab::prepare(request);
  }
  return dict_of(r);
}

elab::TableChoice choice_of(const std::optional<std::string>& close, const std::optional<std::string>& date,
                               const std::optional<std::string>& symbol, const std::optional<std::string>& order) {
  elab::TableChoice c;
  c.spelling = elab::Spelling::keyword;
  c.close = close;
  c.date_column = date;
  c.symbol = symbol;
  if (order) {
    const auto taken = elab::parse_date_order_option(*order);
    if (!taken) throw py::value_error("date_order: " + *order + " is not accepted");
    c.date_order = *taken;
  }
  return c;
}

py::dict prepare_file(const std::string& path, const py::dict& answers, std::optional<std::string> close,
                      std::optional<std::string> date, std::optional<std::string> symbol,
                      std::optional<std::string> date_order, bool strict) {
  elab::Request request;
  request.answers = answers_of(answers);
  request.strict = strict;
  request.price_file = path;
  request.choice = choice_of(close, date, symbol, date_order);
  return run(std::move(request));
}

using IntArray = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;
using RealArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Dates as years, months and days or as texts; closes as numbers or as
// texts; symbols where the table has a column of them.
py::dict prepare_table(std::optional<IntArray> years, std::optional<IntArray> months, std::optional<IntArray> days,
                       std::optional<std::vector<std::string>> date_texts, std::optional<RealArray> closes,
                       std::optional<std::vector<std::string>> close_texts,
                       std::optional<std::vector<std::string>> symbols, std::string symbol_name,
                       std::string date_name, std::string close_name, const py::dict& answers,
                       std::optional<std::string> symbol, std::optional<std::string> date_order, bool strict) {
  elab::Request request;
  request.answers = answers_of(answers);
  request.strict = strict;
  request.choice = choice_of(std::nullopt, std::nullopt, symbol, date_order);
  elab::PriceTable table;
  if (years && months && days) {
    const py::ssize_t n = years->size();
    if (months->size() != n || days->size() != n) throw py::value_error("as many years as months and days");
    table.dates.reserve(static_cast<std::size_t>(n));
    for (py::ssize_t k = 0; k < n; ++k) table.dates.push_back({years->at(k), months->at(k), days->at(k)});
  } else if (date_texts) {
    table.date_texts = std::move(*date_texts);
  }
  if (closes) {
    table.closes.assign(closes->data(), closes->data() + closes->size());
  } else if (close_texts) {
    table.close_texts = std::move(*close_texts);
  }
  if (symbols) table.symbols = std::move(*symbols);
  table.symbol_name = std::move(symbol_name);
  table.date_name = std::move(date_name);
  table.close_name = std::move(close_name);
  request.table = std::move(table);
  return run(std::move(request));
}

// A long file read once: its series by symbol, each prepared on its own.
using elab::SeriesTable;

// The file's series, or None for a file without a symbol column.
std::optional<SeriesTable> file_series(const std::string& path, std::optional<std::string> close,
                                       std::optional<std::string> date, std::optional<std::string> date_order) {
  const auto choice = choice_of(close, date, std::nullopt, date_order);
  py::gil_scoped_release unlocked;
  return elab::file_series(path, choice);
}

std::vector<std::string> series_symbols(const SeriesTable& table) { return table.symbols(); }

py::dict prepare_series(const SeriesTable& table, std::size_t series, const std::string& path, const py::dict& answers,
                        std::optional<std::string> close, std::optional<std::string> date,
                        std::optional<std::string> date_order) {
  elab::Request request;
  request.answers = answers_of(answers);
  request.price_file = path;
  request.choice = choice_of(close, date, std::nullopt, date_order);
  elab::Result r;
  {
    py::gil_scoped_release unlocked;
    r = elab::prepare_series(request, table, series);
  }
  return dict_of(r);
}

// The places of the date, close and symbol columns among names (None where
// there is none), and the report when the date or the close is missing.
py::tuple table_columns(const std::vector<std::string>& names, std::optional<std::string> close,
                        std::optional<std::string> date) {
  const elab::TableChoice c = choice_of(close, date, std::nullopt, std::nullopt);
  const numtext::NamedColumns found = numtext::columns_named(names, c);
  const auto place = [](std::optional<std::size_t> k) { return k ? py::object(py::int_(*k)) : py::object(py::none()); };
  return py::make_tuple(place(found.date), place(found.close), place(found.symbol),
                        numtext::missing_columns(names, found, c));
}

// The sources of a sources file, each a dict of the keywords of prepare()
// it gives (close, date, date_order, symbol), its file and name, and line.
py::list read_sources(const std::string& path) {
  std::vector<elab::Source> sources;
  try {
    sources = elab::read_sources_file(path);
  } catch (const elab::SourcesError& e) {
    throw py::value_error(path + ": " + (e.line > 0 ? "line " + std::to_string(e.line) + ": " : "") + e.message);
  }
  py::list out;
  for (const elab::Source& s : sources) {
    py::dict d;
    d["file"] = s.file;
    d["line"] = s.line;
    if (s.name) d["name"] = *s.name;
    if (s.close) d["close"] = *s.close;
    if (s.date_column) d["date"] = *s.date_column;
    if (s.symbol) d["symbol"] = *s.symbol;
    if (s.date_order) d["date_order"] = *s.date_order == numtext::DateOrder::dmy ? "dmy" : "mdy";
    out.append(d);
  }
  return out;
}

// The symbols of a price file of several series, in the order first met;
// none for a file of one.
std::vector<std::string> file_symbols(const std::string& path, std::optional<std::string> close,
                                      std::optional<std::string> date, std::optional<std::string> date_order) {
  return elab::file_symbols(path, choice_of(close, date, std::nullopt, date_order));
}

}  // namespace

PYBIND11_MODULE(_elab, m) {
  m.doc() = "The core of elab: prepare() from a price file or a table of dates and closes.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const elab::Error& f) {
      const py::object error_class = py::module_::import("elab").attr("ElabError");
      // A stop's Italian text is the console's; its note says it in English.
      std::string message = f.text();
      if (!f.note().empty()) message = f.kind() == elab::Error::Kind::stop ? f.note() : message + "; " + f.note();
      const py::object error = error_class(f.code(), message, f.status());
      PyErr_SetObject(error_class.ptr(), error.ptr());
    }
  });
  m.def("answer_names", &answer_names);
  m.def("series_names", &elab::series_names, py::arg("files"));
  m.def("prepare_file", &prepare_file, py::arg("path"), py::arg("answers"), py::arg("close"), py::arg("date"),
        py::arg("symbol"), py::arg("date_order"), py::arg("strict") = false);
  m.def("prepare_table", &prepare_table, py::arg("years"), py::arg("months"), py::arg("days"),
        py::arg("date_texts"), py::arg("closes"), py::arg("close_texts"), py::arg("symbols"),
        py::arg("symbol_name"), py::arg("date_name"), py::arg("close_name"), py::arg("answers"), py::arg("symbol"),
        py::arg("date_order"), py::arg("strict") = false);
  m.def("read_sources", &read_sources, py::arg("path"));
  m.def("symbol_column_names", [] {
    std::vector<std::string> names;
    for (const std::string_view n : numtext::symbol_column_names()) names.emplace_back(n);
    return names;
  });
  m.def("file_symbols", &file_symbols, py::arg("path"), py::arg("close"), py::arg("date"), py::arg("date_order"));
  m.def("table_columns", &table_columns, py::arg("names"), py::arg("close"), py::arg("date"));
  py::class_<SeriesTable>(m, "SeriesTable");
  m.def("file_series", &file_series, py::arg("path"), py::arg("close"), py::arg("date"), py::arg("date_order"));
  m.def("series_symbols", &series_symbols, py::arg("table"));
  m.def("prepare_series", &prepare_series, py::arg("table"), py::arg("series"), py::arg("path"), py::arg("answers"),
        py::arg("close"), py::arg("date"), py::arg("date_order"));
}
