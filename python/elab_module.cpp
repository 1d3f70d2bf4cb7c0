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

#include "elab/answers.hpp"
#include "elab/prepare.hpp"
#include "units/run_failure.hpp"

namespace py = pybind11;

namespace {

// The answers, one keyword each as answer_table() names them, read as the
// command line reads its options; a refused one is a ValueError naming the
// keyword. An answer a run does not need (the last date after "all") is not
// read.
prep::Answers answers_of(const py::dict& given) {
  prep::Answers a;
  for (const prep::AnswerSpec& spec : prep::answer_table()) {
    if (!spec.needed(a)) continue;
    const std::string keyword(spec.keyword);
    const std::string text = given[keyword.c_str()].cast<std::string>();
    if (!spec.take(a, text)) throw py::value_error(keyword + ": " + text + " is not accepted");
  }
  return a;
}

// The table's keyword and option of each answer, in the order of the
// questions.
std::vector<std::pair<std::string, std::string>> answer_names() {
  std::vector<std::pair<std::string, std::string>> names;
  for (const prep::AnswerSpec& spec : prep::answer_table())
    names.emplace_back(std::string(spec.keyword), std::string(spec.option));
  return names;
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
  m.def("answer_names", &answer_names);
  m.def("prepare_file", &prepare_file, py::arg("path"), py::arg("answers"), py::arg("close"));
  m.def("prepare_table", &prepare_table, py::arg("years"), py::arg("months"), py::arg("days"),
        py::arg("closes"), py::arg("answers"));
}
