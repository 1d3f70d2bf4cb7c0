// The module elab._elab: prepare() of the core with its failures raised as
// elab.ElabError. The run itself goes on without the interpreter's lock.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.hpp"
#include "elab/prepare.hpp"
#include "units/run_failure.hpp"

namespace py = pybind11;

namespace {

// An option's value read as the command line reads it; a refused one is a
// ValueError naming the keyword.
template <class T>
T option_value(std::optional<T> (*parse)(std::string_view), const std::string& text,
               const char* keyword) {
  const std::optional<T> value = parse(text);
  if (!value) throw py::value_error(std::string(keyword) + ": " + text + " is not accepted");
  return *value;
}

prep::Answers answers_of(const py::dict& given) {
  const auto text = [&](const char* key) { return given[key].cast<std::string>(); };
  prep::Answers a;
  a.from = option_value(prep::parse_from_option, text("start"), "start");
  if (*a.from != -1) a.to = option_value(prep::parse_date_option, text("end"), "end");
  a.variable = option_value(prep::parse_variable_option, text("variable"), "variable");
  a.coefficient = option_value(prep::parse_coefficient_option, text("coefficient"), "coefficient");
  a.screen_output = option_value(prep::parse_yes_no_option, text("screen_output"), "screen_output");
  a.screen_inputs = option_value(prep::parse_yes_no_option, text("screen_inputs"), "screen_inputs");
  a.days = option_value(prep::parse_days_option, text("days"), "days");
  return a;
}

// A vector handed to numpy without a copy: the array owns it.
template <class T>
py::array_t<T> owned_array(std::vector<T>&& v, std::vector<py::ssize_t> shape) {
  auto* held = new std::vector<T>(std::move(v));
  py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array_t<T>(shape, held->data(), owner);
}

py::dict run(prep::Request request) {
  prep::Result r;
  {
    py::gil_scoped_release unlocked;
    r = prep::prepare(request);
  }
  py::dict out;
  out["text"] = py::bytes(r.text);
  out["count"] = r.count;
  out["layout"] = std::string(1, r.layout);
  const auto columns = static_cast<py::ssize_t>(r.columns.size());
  out["columns"] = r.columns;
  out["values"] = owned_array(std::move(r.values), {static_cast<py::ssize_t>(r.count), columns});
  out["days"] = owned_array(std::move(r.days), {static_cast<py::ssize_t>(r.count)});
  out["warnings"] = r.warnings;
  return out;
}

py::dict prepare_file(const std::string& path, const py::dict& answers,
                      std::optional<std::string> close) {
  prep::Request request;
  request.answers = answers_of(answers);
  request.price_file = path;
  request.close = std::move(close);
  return run(std::move(request));
}

py::dict prepare_table(py::array_t<std::int32_t, py::array::c_style | py::array::forcecast> years,
                       py::array_t<std::int32_t, py::array::c_style | py::array::forcecast> months,
                       py::array_t<std::int32_t, py::array::c_style | py::array::forcecast> days,
                       py::array_t<double, py::array::c_style | py::array::forcecast> closes,
                       const py::dict& answers) {
  const py::ssize_t n = closes.size();
  if (years.size() != n || months.size() != n || days.size() != n)
    throw py::value_error("as many dates as closes");
  prep::Request request;
  request.answers = answers_of(answers);
  prep::PriceTable table;
  table.dates.reserve(static_cast<std::size_t>(n));
  for (py::ssize_t k = 0; k < n; ++k) table.dates.push_back({years.at(k), months.at(k), days.at(k)});
  table.closes.assign(closes.data(), closes.data() + n);
  request.table = std::move(table);
  return run(std::move(request));
}

}  // namespace

PYBIND11_MODULE(_elab, m) {
  m.doc() = "The core of elab: prepare() from a price file or a table of dates and closes.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const units::RunFailure& f) {
      const py::object error_class = py::module_::import("elab").attr("ElabError");
      const py::object error = error_class(f.code(), f.message(), f.status());
      PyErr_SetObject(error_class.ptr(), error.ptr());
    }
  });
  m.def("prepare_file", &prepare_file, py::arg("path"), py::arg("answers"), py::arg("close"));
  m.def("prepare_table", &prepare_table, py::arg("years"), py::arg("months"), py::arg("days"),
        py::arg("closes"), py::arg("answers"));
}
