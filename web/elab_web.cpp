// The module of the page: prepare() and --check of the core on a price file
// the page has put in the memory file system. A failure comes back as a
// value, {error: {code, message, status}}, which elab.js throws as an Error:
// an exception crossing into JavaScript would arrive as a bare number.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/answers.hpp"
#include "core/core.hpp"
#include "core/csv_records.hpp"
#include "core/price_check.hpp"
#include "core/price_file.hpp"
#include "core/record_dates.hpp"
#include "core/run_state.hpp"
#include "elab/answers.hpp"
#include "elab/prepare.hpp"
#include "numtext/date_text.hpp"
#include "numtext/messages.hpp"
#include "numtext/vendor_table.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/run_failure.hpp"

using emscripten::val;

namespace {

// A refusal of what the page asked, as the program's own failures are told.
struct Refused {
  std::string message;
};

// A copy in a Float64Array: one call, where pushing each value would be
// one call per value.
val float64_array(const std::vector<double>& values) {
  return val::global("Float64Array").new_(emscripten::typed_memory_view(values.size(), values.data()));
}

// Days since 1970-01-01, NaN for no calendar day.
constexpr double kNoCalendarDay = std::numeric_limits<double>::quiet_NaN();

val array_of(const std::vector<std::string>& texts) {
  val a = val::array();
  for (const std::string& t : texts) a.call<void>("push", t);
  return a;
}

// The failure's text as the program shows it, all its lines.
std::string shown_text(const units::RunFailure& f) {
  if (f.form() != units::RunFailure::Form::Stop) return f.report();
  if (f.shows_code()) return f.message() + "\nReturn code " + std::to_string(f.status());
  return f.message();
}

val failure_of(const std::string& code, const std::string& message, int status) {
  val error = val::object();
  error.set("code", code);
  error.set("message", message);
  error.set("status", status);
  val out = val::object();
  out.set("error", error);
  return out;
}

// Runs body, its failures given back as values.
template <class Body>
val guarded(Body&& body) {
  try {
    try {
      return body();
    } catch (const std::bad_alloc&) {
      throw units::RunFailure::stop_for_memory(numtext::old_text::kNoMemory);
    }
  } catch (const units::RunFailure& f) {
    return failure_of(f.code(), shown_text(f), f.status());
  } catch (const Refused& r) {
    return failure_of("OPTION", r.message, 2);
  } catch (const std::invalid_argument& e) {
    return failure_of("OPTION", e.what(), 2);
  }
}

std::optional<std::string> text_of(const val& options, const char* name) {
  const val v = options[name];
  if (v.isUndefined() || v.isNull()) return std::nullopt;
  return v.as<std::string>();
}

// This API's name of an answer.
std::string name_of(const elab::AnswerSpec& spec) { return elab::spelled_name(spec, elab::Spelling::property); }

// The answers by this API's names, each value already spelt as the command
// line spells its option (elab.js turns true into "yes" and so on).
elab::Answers answers_of(const val& given) {
  elab::Answers a;
  for (const elab::AnswerSpec& spec : elab::answer_table()) {
    const std::string name = name_of(spec);
    const std::optional<std::string> text = text_of(given, name.c_str());
    if (!spec.needed(a) && !text) continue;  // an answer only ever given, such as test_from
    if (!text) throw Refused{name + ": no answer"};
    if (!spec.take(a, *text)) throw Refused{name + ": " + *text + " is not accepted"};
  }
  return a;
}

numtext::TableChoice choice_of(const val& options) {
  numtext::TableChoice c;
  c.spelling = elab::Spelling::property;
  c.close = text_of(options, "close");
  c.date_column = text_of(options, "date");
  c.symbol = text_of(options, "symbol");
  if (const auto order = text_of(options, "date_order")) {
    const auto taken = elab::parse_date_order_option(*order);
    if (!taken) throw Refused{"date_order: " + *order + " is not accepted"};
    c.date_order = *taken;
  }
  return c;
}

// This API's name and the option of each answer, in the order of the
// questions.
val answer_names() {
  val names = val::array();
  for (const elab::AnswerSpec& spec : elab::answer_table()) {
    val pair = val::array();
    pair.call<void>("push", name_of(spec));
    pair.call<void>("push", std::string(spec.option));
    names.call<void>("push", pair);
  }
  return names;
}

// The training file and its records, as elab.prepare gives them.
val result_value(const elab::Result& r) {
  val out = val::object();
  // A copy: the view of the module's memory dies as the result does.
  out.set("text", val::global("Uint8Array").new_(emscripten::typed_memory_view(r.text.size(),
      reinterpret_cast<const std::uint8_t*>(r.text.data()))));
  std::vector<double> days;
  days.reserve(r.days.size());
  for (const std::int64_t d : r.days) days.push_back(d == elab::kNoDay ? kNoCalendarDay : static_cast<double>(d));
  out.set("days", float64_array(days));
  out.set("count", r.count);
  out.set("layout", std::string(1, r.layout));
  out.set("columns", array_of(r.columns));
  out.set("warnings", array_of(r.warnings));
  return out;
}

val prepare(const std::string& path, const val& answers, const val& options) {
  return guarded([&] {
    elab::Request request;
    request.answers = answers_of(answers);
    request.price_file = path;
    request.choice = choice_of(options);
    const elab::Result r = elab::prepare(request);
    if (!r.test) return result_value(r);
    // A split run: the training set and the test set, each a result.
    val out = val::object();
    out.set("train", result_value(r));
    out.set("test", result_value(*r.test));
    return out;
  });
}


std::unique_ptr<units::InputFile> opened(const std::string& path) {
  try {
    return std::make_unique<units::InputFile>(path, units::open_price_file(path));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, path);
  }
}

// The records as the program's --format=csv writes them, each line led by
// series where one is given (the lines of several files make one dataset),
// and the days as --dates writes them: {header, lines, dates}.
val dataset(const std::string& path, const val& answers, const val& options, const val& series) {
  return guarded([&] {
    const elab::Answers given = answers_of(answers);
    const numtext::TableChoice choice = choice_of(options);
    const std::optional<std::string> name =
        series.isUndefined() || series.isNull() ? std::nullopt : std::optional(series.as<std::string>());
    elab::RunState st;
    const std::unique_ptr<units::InputFile> input = opened(path);
    elab::PriceFile prices(*input, choice);
    // No second thread is to be had here: the page runs on one.
    const auto second = elab::read_price_matrix(st, prices);
    elab::select_and_derive(st, elab::Questions(given), second.get(), choice.spelling);
    val out = val::object();
    out.set("header", elab::csv_header(st.IGIO, name.has_value()));
    out.set("dates", elab::record_dates_text(st));
    out.set("lines", name ? elab::csv_records(st, *name) : elab::csv_records(st));
    return out;
  });
}

// The rows as read, for the page's plot: days since 1970-01-01 (NaN for no
// calendar day) and closes.
val rows_of(const elab::RunState& st) {
  std::vector<double> days, closes;
  days.reserve(static_cast<std::size_t>(st.NR));
  closes.reserve(static_cast<std::size_t>(st.NR));
  for (std::int64_t i = 1; i <= st.NR; ++i) {
    const auto day = numtext::calendar_day(st.MM(i, 1), st.MM(i, 2), st.MM(i, 3));
    days.push_back(day ? static_cast<double>(numtext::days_from_civil(*day)) : kNoCalendarDay);
    closes.push_back(st.NC >= 6 ? static_cast<double>(st.MM(i, 6)) : 0.0);
  }
  val rows = val::object();
  rows.set("days", float64_array(days));
  rows.set("closes", float64_array(closes));
  return rows;
}

val check(const std::string& path, const val& options) {
  return guarded([&] {
    const numtext::TableChoice choice = choice_of(options);
    const std::unique_ptr<units::InputFile> input = opened(path);
    const bool table = elab::is_table_file(*input, choice);
    elab::RunState st;
    std::vector<std::string> warnings;
    const elab::Findings findings =
        elab::check_price_file(st, *input, choice, [&](const std::string& w) { warnings.push_back(w); });
    val shown = val::array();
    for (const elab::Finding& f : findings.shown()) {
      val one = val::object();
      one.set("row", static_cast<double>(f.row));
      one.set("line", static_cast<double>(f.line));
      one.set("what", f.what);
      shown.call<void>("push", one);
    }
    val out = val::object();
    out.set("lines", array_of(elab::findings_report(findings, st.NR)));
    out.set("count", static_cast<double>(findings.size()));
    out.set("findings", shown);
    out.set("warnings", array_of(warnings));
    out.set("form", std::string(table ? "table" : "own"));
    out.set("rows", rows_of(st));
    return out;
  });
}

// The places of the date and close columns among a table's names (null
// where none), and the program's text when one is missing.
val columns_named(const val& names, const val& options) {
  return guarded([&] {
    const auto list = emscripten::vecFromJSArray<std::string>(names);
    const numtext::NamedColumns found = numtext::columns_named(list, choice_of(options));
    const auto place = [](std::optional<std::size_t> k) { return k ? val(static_cast<double>(*k)) : val::null(); };
    val out = val::object();
    out.set("date", place(found.date));
    out.set("close", place(found.close));
    out.set("symbol", place(found.symbol));
    out.set("missing", numtext::missing_columns(list, found, choice_of(options)));
    return out;
  });
}

// The language of the core's texts, "it" or "en", as a locale's name gives
// it: the page passes the one it chose from the browser's.
std::string language_code() { return numtext::language() == numtext::Language::italian ? "it" : "en"; }

std::string set_language(const std::string& language) {
  numtext::set_language(numtext::language_of_locale(language));
  return language_code();
}

}  // namespace

EMSCRIPTEN_BINDINGS(elab_web) {
  emscripten::function("setLanguage", &set_language);
  emscripten::function("language", &language_code);
  emscripten::function("answerNames", &answer_names);
  emscripten::function("prepare", &prepare);
  emscripten::function("check", &check);
  emscripten::function("dataset", &dataset);
  emscripten::function("columnsNamed", &columns_named);
}
